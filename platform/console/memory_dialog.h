#pragma once
// A dialog window that exists only as data: control texts, visibility,
// fonts, combo box items, progress bar and timers, kept per control of its
// template. The console host draws it as text; the scripted test host
// inspects it. Running the dialog (RunModal) and message boxes are the
// host's business, so subclasses supply them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ui_host.h"

namespace platform::console {

struct ControlState {
  ui::ControlTemplate tmpl;
  std::string text;
  bool visible = true;
  ui::FontKind font = ui::FontKind::Dialog;
  int textLimit = 0;  // edit fields; 0 = no limit
  std::vector<std::pair<std::string, uint32_t>> items;  // combo box: text, data
  int selection = -1;
  int low = 0, high = 100, pos = 0;  // progress bar
};

struct TimerState {
  int id = 0;
  unsigned intervalMs = 0;
  uint32_t lastFired = 0;
};

// Everything a dialog shows. Shared, so a test can look at a dialog after
// its window object is gone.
struct DialogState {
  ui::DialogTemplate tmpl;
  std::vector<ControlState> controls;
  std::vector<std::pair<int, std::string>> systemMenu;
  std::vector<TimerState> timers;
  bool ended = false;
  int result = 0;
  bool targetChangesOffered = true;  // OfferTargetChanges

  // The control with this id, or null (controls without an id are never found).
  ControlState* Find(int id);
  const ControlState* Find(int id) const;
};

class DialogRegistry;

class MemoryDialog : public ui::DialogWindow {
 public:
  // Joins `registry` (when given) for its lifetime, so pumping fires its timers.
  MemoryDialog(const ui::DialogTemplate& tmpl, ui::DialogEvents& events, DialogRegistry* registry = nullptr);
  ~MemoryDialog() override;

  PLATFORM_UI_CONTROL_OPERATIONS
  void EndDialog(int result) override;
  void OfferTargetChanges(bool offered) override { state_->targetChangesOffered = offered; }

  // What a user does, delivered as the window system would.
  // Selects combo item `index` and reports the change.
  void UserSelect(int comboId, int index);
  // Types `text` into edit field `id` one character at a time; a character
  // past the limit is refused and raises OnTextLimit instead. Non-digits are
  // refused by digits-only fields.
  void UserType(int id, const std::string& text);

  // Fires the first timer that is due at `now` and not already running
  // (a timer handler may pump). Returns true when one fired.
  bool FireDueTimer(uint32_t now);

  ui::DialogEvents& Events() { return events_; }
  DialogState& State() { return *state_; }
  std::shared_ptr<DialogState> SharedState() { return state_; }
  bool Ended() const { return state_->ended; }

 protected:
  // Hooks for hosts that draw: called after a control's text, visibility
  // or progress position changed (only when the value really changed).
  virtual void TextChanged(ControlState& control) { (void)control; }
  virtual void VisibilityChanged(ControlState& control) { (void)control; }
  virtual void ProgressChanged(ControlState& control) { (void)control; }

  // Runs OnInitDialog; false when the run is over already (init refused or
  // EndDialog called during it).
  bool Initialise();

 private:
  std::shared_ptr<DialogState> state_;
  ui::DialogEvents& events_;
  DialogRegistry* registry_;
  std::vector<int> firing_;  // timers whose handler is running
};

// The open dialogs of a host, innermost last; pumping fires their timers.
class DialogRegistry {
 public:
  void Add(MemoryDialog* dialog) { open_.push_back(dialog); }
  void Remove(MemoryDialog* dialog);
  // One pending "message": the first due timer of any open dialog.
  bool PumpOne(uint32_t now);
  MemoryDialog* Innermost() { return open_.empty() ? nullptr : open_.back(); }

 private:
  std::vector<MemoryDialog*> open_;
};

}  // namespace platform::console
