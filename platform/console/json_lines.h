#pragma once
// --json: one JSON object per line on standard output, one per event of the
// run. Every event carries "event" (its kind) and "time_ms" (milliseconds
// since the run began on the program's clock). docs/json.md lists them.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::console {

// One JSON object under construction; the order of its keys carries no
// meaning.
class JsonObject {
 public:
  JsonObject();
  ~JsonObject();
  JsonObject(const JsonObject& other);
  JsonObject& operator=(const JsonObject& other);

  JsonObject& Text(const std::string& key, const std::string& value);
  JsonObject& Number(const std::string& key, int64_t value);
  JsonObject& Bool(const std::string& key, bool value);
  JsonObject& Null(const std::string& key);
  JsonObject& Object(const std::string& key, const JsonObject& value);
  // Appends `item` to the array under `key` (made when missing).
  JsonObject& Append(const std::string& key, const JsonObject& item);

  // The object as one line of JSON (UTF-8; invalid bytes are replaced).
  std::string Dump() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes events to a stream, one line each, flushed as they happen. A
// closed pipe loses the lines, not the run.
class JsonLines {
 public:
  explicit JsonLines(std::ostream& out);
  // Adds "event" and "time_ms" to `fields` and writes the line.
  void Emit(const std::string& event, JsonObject fields = {});
  // `emit` runs (once) before the next event other than a "notice": an
  // event that must precede whatever the run does next (the unit list,
  // before a write that happens while the window is still starting). An
  // empty function withdraws it.
  void BeforeNext(std::function<void()> emit) { pending_ = std::move(emit); }

 private:
  std::ostream& out_;
  uint32_t start_;
  std::function<void()> pending_;
};

}  // namespace platform::console
