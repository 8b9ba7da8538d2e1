#include "platform/console/window_text.h"

#include <cstdlib>
#include <sstream>

#include "platform/core/outside_text.h"

namespace platform::console {
namespace {

using ui::ControlKind;

bool IsLabel(const ControlState& c) { return c.tmpl.kind == ControlKind::Label; }

// A row's label ends with a colon; its value sits to its right on the same
// line of the template (a few dialog units of slack).
bool IsKey(const ControlState& c) { return IsLabel(c) && !c.text.empty() && c.text.back() == ':'; }

bool SameRow(const ControlState& a, const ControlState& b) { return std::abs(a.tmpl.y - b.tmpl.y) <= 3; }

const ControlState* ValueOf(const DialogState& state, const ControlState& key) {
  const ControlState* best = nullptr;
  for (const auto& c : state.controls) {
    if (&c == &key || IsKey(c) || !SameRow(c, key) || c.tmpl.x <= key.tmpl.x) continue;
    if (!IsLabel(c) && c.tmpl.kind != ControlKind::ComboBox && c.tmpl.kind != ControlKind::Edit) continue;
    if (!best || c.tmpl.x < best->tmpl.x) best = &c;
  }
  return best;
}

bool IsValue(const DialogState& state, const ControlState& control) {
  for (const auto& c : state.controls) {
    if (IsKey(c) && ValueOf(state, c) == &control) return true;
  }
  return false;
}

std::string StripAmpersand(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch != '&') out.push_back(ch);
  }
  return out;
}

void AppendLines(std::ostringstream& out, const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) out << line << "\n";
}

void AppendItems(std::ostringstream& out, const ControlState& combo) {
  for (size_t i = 0; i < combo.items.size(); ++i) {
    out << (static_cast<int>(i) == combo.selection ? "  > [" : "    [") << i << "] "
        << EscapeOutsideText(combo.items[i].first) << "\n";
  }
}

}  // namespace

// Entries and values may carry outside text (port and file names); escaping
// twice changes nothing, so text the window logic escaped already is safe.
std::string RenderWindow(const DialogState& state) {
  std::ostringstream out;
  out << "== " << state.tmpl.caption << " ==\n";
  for (const auto& c : state.controls) {
    if (!c.visible) continue;
    if (IsKey(c)) {
      const ControlState* value = ValueOf(state, c);
      if (!value) {
        AppendLines(out, c.text);
      } else if (value->tmpl.kind == ControlKind::ComboBox) {
        out << c.text << "\n";
        AppendItems(out, *value);
      } else if (value->visible) {
        out << c.text << " " << EscapeOutsideText(value->text) << "\n";
      }
    } else if (IsValue(state, c)) {
      continue;
    } else if (IsLabel(c)) {
      if (!c.text.empty()) AppendLines(out, c.text);
    } else if (c.tmpl.kind == ControlKind::ComboBox) {
      AppendItems(out, c);
    }
  }
  bool anyButton = false;
  for (const auto& c : state.controls) {
    if (!c.visible || (c.tmpl.kind != ControlKind::Button && c.tmpl.kind != ControlKind::DefaultButton)) continue;
    out << (anyButton ? " " : "") << "[" << StripAmpersand(c.text) << "]";
    anyButton = true;
  }
  if (anyButton) out << "\n";
  return out.str();
}

std::vector<std::pair<std::string, std::string>> WindowRows(const DialogState& state) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const auto& c : state.controls) {
    if (!c.visible || !IsKey(c)) continue;
    const ControlState* value = ValueOf(state, c);
    if (!value || !value->visible || value->tmpl.kind == ControlKind::ComboBox) continue;
    rows.emplace_back(c.text.substr(0, c.text.size() - 1), value->text);
  }
  return rows;
}

std::string RenderMessageBox(const ui::MessageBoxRequest& request) {
  std::ostringstream out;
  std::string text = request.text;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  out << request.caption.value_or("Error") << ": ";
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    out << (first ? "" : "  ") << line << "\n";
    first = false;
  }
  if (first) out << "\n";
  out << (request.buttons == ui::Buttons::OkCancel ? "  [OK] [Cancel]" : "  [OK]");
  return out.str();
}

}  // namespace platform::console
