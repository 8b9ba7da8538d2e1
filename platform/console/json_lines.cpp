#include "platform/console/json_lines.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "platform/core/clock.h"

namespace platform::console {

struct JsonObject::Impl {
  nlohmann::json value = nlohmann::json::object();
};

JsonObject::JsonObject() : impl_(std::make_unique<Impl>()) {}
JsonObject::~JsonObject() = default;
JsonObject::JsonObject(const JsonObject& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
JsonObject& JsonObject::operator=(const JsonObject& other) {
  *impl_ = *other.impl_;
  return *this;
}

JsonObject& JsonObject::Text(const std::string& key, const std::string& value) {
  impl_->value[key] = value;
  return *this;
}

JsonObject& JsonObject::Number(const std::string& key, int64_t value) {
  impl_->value[key] = value;
  return *this;
}

JsonObject& JsonObject::Bool(const std::string& key, bool value) {
  impl_->value[key] = value;
  return *this;
}

JsonObject& JsonObject::Null(const std::string& key) {
  impl_->value[key] = nullptr;
  return *this;
}

JsonObject& JsonObject::Object(const std::string& key, const JsonObject& value) {
  impl_->value[key] = value.impl_->value;
  return *this;
}

JsonObject& JsonObject::Append(const std::string& key, const JsonObject& item) {
  nlohmann::json& array = impl_->value[key];
  if (!array.is_array()) array = nlohmann::json::array();
  array.push_back(item.impl_->value);
  return *this;
}

std::string JsonObject::Dump() const {
  // Device names and file names come from outside; a stray byte must not
  // make the whole line unreadable.
  return impl_->value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

JsonLines::JsonLines(std::ostream& out) : out_(out), start_(TickCount()) {}

void JsonLines::Emit(const std::string& event, JsonObject fields) {
  if (pending_ && event != "notice") {
    std::function<void()> first = std::move(pending_);
    pending_ = nullptr;
    first();
  }
  fields.Text("event", event);
  fields.Number("time_ms", static_cast<int64_t>(TickCount() - start_));
  out_ << fields.Dump() << '\n' << std::flush;
}

}  // namespace platform::console
