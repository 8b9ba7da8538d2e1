#include "platform/console/memory_dialog.h"

#include <algorithm>
#include <cctype>

#include "platform/core/clock.h"

namespace platform::console {

ControlState* DialogState::Find(int id) {
  if (id == ui::kNoId) return nullptr;
  for (auto& c : controls) {
    if (c.tmpl.id == id) return &c;
  }
  return nullptr;
}

const ControlState* DialogState::Find(int id) const { return const_cast<DialogState*>(this)->Find(id); }

MemoryDialog::MemoryDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events, DialogRegistry* registry)
    : state_(std::make_shared<DialogState>()), events_(events), registry_(registry) {
  state_->tmpl = tmpl;
  for (const auto& t : tmpl.controls) {
    ControlState c;
    c.tmpl = t;
    c.text = t.text;
    c.visible = t.visible;
    state_->controls.push_back(std::move(c));
  }
  if (registry_) registry_->Add(this);
}

MemoryDialog::~MemoryDialog() {
  if (registry_) registry_->Remove(this);
}

void MemoryDialog::SetText(int id, const std::string& text) {
  ControlState* c = state_->Find(id);
  if (!c || c->text == text) return;
  c->text = text;
  TextChanged(*c);
}

std::string MemoryDialog::GetText(int id) {
  const ControlState* c = state_->Find(id);
  return c ? c->text : std::string();
}

void MemoryDialog::Show(int id, bool visible) {
  ControlState* c = state_->Find(id);
  if (!c || c->visible == visible) return;
  c->visible = visible;
  VisibilityChanged(*c);
}

bool MemoryDialog::IsVisible(int id) {
  const ControlState* c = state_->Find(id);
  return c && c->visible;
}

void MemoryDialog::SetFont(int id, ui::FontKind font) {
  if (ControlState* c = state_->Find(id)) c->font = font;
}

void MemoryDialog::SetTextLimit(int id, int chars) {
  if (ControlState* c = state_->Find(id)) {
    c->textLimit = chars < 0 ? 0 : chars;
    if (c->textLimit > 0 && static_cast<int>(c->text.size()) > c->textLimit) c->text.resize(c->textLimit);
  }
}

int MemoryDialog::ComboAdd(int id, const std::string& text) {
  ControlState* c = state_->Find(id);
  if (!c) return -1;
  c->items.emplace_back(text, 0);
  return static_cast<int>(c->items.size()) - 1;
}

int MemoryDialog::ComboInsert(int id, int index, const std::string& text) {
  ControlState* c = state_->Find(id);
  if (!c) return -1;
  // -1 appends, as a list box does.
  if (index < 0 || index > static_cast<int>(c->items.size())) index = static_cast<int>(c->items.size());
  c->items.insert(c->items.begin() + index, {text, 0});
  if (c->selection >= index) ++c->selection;
  return index;
}

void MemoryDialog::ComboDelete(int id, int index) {
  ControlState* c = state_->Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
  c->items.erase(c->items.begin() + index);
  if (c->selection == index) {
    c->selection = -1;
  } else if (c->selection > index) {
    --c->selection;
  }
}

int MemoryDialog::ComboCount(int id) {
  const ControlState* c = state_->Find(id);
  return c ? static_cast<int>(c->items.size()) : 0;
}

std::string MemoryDialog::ComboText(int id, int index) {
  const ControlState* c = state_->Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[index].first;
}

void MemoryDialog::ComboSetData(int id, int index, uint32_t data) {
  ControlState* c = state_->Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
  c->items[index].second = data;
}

uint32_t MemoryDialog::ComboData(int id, int index) {
  const ControlState* c = state_->Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return 0;
  return c->items[index].second;
}

void MemoryDialog::ComboSetSel(int id, int index) {
  ControlState* c = state_->Find(id);
  if (!c) return;
  c->selection = (index >= 0 && index < static_cast<int>(c->items.size())) ? index : -1;
}

int MemoryDialog::ComboSel(int id) {
  const ControlState* c = state_->Find(id);
  return c ? c->selection : -1;
}

void MemoryDialog::ProgressRange(int id, int low, int high) {
  ControlState* c = state_->Find(id);
  if (!c) return;
  c->low = low;
  c->high = high;
  int pos = std::clamp(c->pos, low, std::max(low, high));
  if (pos != c->pos) {
    c->pos = pos;
    ProgressChanged(*c);
  }
}

void MemoryDialog::ProgressPos(int id, int pos) {
  ControlState* c = state_->Find(id);
  if (!c) return;
  pos = std::clamp(pos, c->low, std::max(c->low, c->high));
  if (pos == c->pos) return;
  c->pos = pos;
  ProgressChanged(*c);
}

void MemoryDialog::SetTimer(int timerId, unsigned ms) {
  uint32_t now = TickCount();
  for (auto& t : state_->timers) {
    if (t.id == timerId) {
      t.intervalMs = ms;
      t.lastFired = now;
      return;
    }
  }
  state_->timers.push_back({timerId, ms, now});
}

void MemoryDialog::KillTimer(int timerId) {
  auto& timers = state_->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const TimerState& t) { return t.id == timerId; }),
               timers.end());
}

void MemoryDialog::AddSystemMenuItem(int commandId, const std::string& text) {
  state_->systemMenu.emplace_back(commandId, text);
}

void MemoryDialog::EndDialog(int result) {
  state_->ended = true;
  state_->result = result;
}

void MemoryDialog::UserSelect(int comboId, int index) {
  ControlState* c = state_->Find(comboId);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
  c->selection = index;
  events_.OnSelChange(comboId);
}

void MemoryDialog::UserType(int id, const std::string& text) {
  for (char ch : text) {
    ControlState* c = state_->Find(id);
    if (!c || state_->ended) return;
    if (c->tmpl.digitsOnly && !std::isdigit(static_cast<unsigned char>(ch))) continue;
    if (c->textLimit > 0 && static_cast<int>(c->text.size()) >= c->textLimit) {
      events_.OnTextLimit(id);
      continue;
    }
    c->text.push_back(ch);
    TextChanged(*c);
  }
}

bool MemoryDialog::FireDueTimer(uint32_t now) {
  // Copy: a handler may set or kill timers.
  std::vector<TimerState> timers = state_->timers;
  for (const auto& t : timers) {
    if (now - t.lastFired < t.intervalMs) continue;
    if (std::find(firing_.begin(), firing_.end(), t.id) != firing_.end()) continue;
    for (auto& live : state_->timers) {
      if (live.id == t.id) live.lastFired = now;
    }
    firing_.push_back(t.id);
    events_.OnTimer(t.id);
    firing_.erase(std::find(firing_.begin(), firing_.end(), t.id));
    return true;
  }
  return false;
}

bool MemoryDialog::Initialise() {
  bool ok = events_.OnInitDialog();
  return ok && !state_->ended;
}

void DialogRegistry::Remove(MemoryDialog* dialog) {
  open_.erase(std::remove(open_.begin(), open_.end(), dialog), open_.end());
}

bool DialogRegistry::PumpOne(uint32_t now) {
  // Copy: a timer handler may open or close dialogs.
  std::vector<MemoryDialog*> open = open_;
  for (auto* d : open) {
    if (std::find(open_.begin(), open_.end(), d) == open_.end()) continue;
    if (d->FireDueTimer(now)) return true;
  }
  return false;
}

}  // namespace platform::console
