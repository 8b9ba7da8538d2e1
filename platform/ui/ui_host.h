#pragma once
// The UI host seam: everything the update window and its dialogs need from
// a window system. CReflashDlg and its dialogs are written once against
// these classes; the Qt host, the console host and the scripted test host
// implement them. Control ids, texts and positions come from the dialog
// templates (app/resources), which are plain data.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/service.h"

namespace platform::ui {

// ---------------------------------------------------------------- templates

enum class ControlKind {
  Label,        // static text
  Icon,         // the program icon
  ComboBox,     // drop-down list
  Button,
  DefaultButton,
  ProgressBar,  // smooth
  Edit,         // single-line edit
};

enum class Align { Left, Right, Center };

constexpr int kNoId = -1;  // static controls without an id

struct ControlTemplate {
  int id = kNoId;
  ControlKind kind = ControlKind::Label;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  Align align = Align::Left;
  bool visible = true;
  bool digitsOnly = false;  // edit fields: accept digits only
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  std::string fontName;  // "Tahoma", "MS Sans Serif"
  int fontPoints = 8;
  int width = 0, height = 0;  // dialog units
  bool systemMenu = true;
  std::vector<ControlTemplate> controls;
};

// ------------------------------------------------------------ message boxes

enum class Buttons { Ok, OkCancel };
enum class Icon { None, Warning, Exclamation, Error, Information, Question };
enum class Answer { Ok = 1, Cancel = 2 };

struct MessageBoxRequest {
  std::string text;
  std::optional<std::string> caption;  // none: the system's default caption
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  int defaultButton = 0;  // 0 first button, 1 second
};

// ------------------------------------------------------------------ window

enum class FontKind { Dialog, Bold };

struct ControlColors {
  bool blueText = false;    // notices
  bool transparent = false; // let the background picture show through
};

// What a dialog's logic receives from its host. All calls arrive on the one
// window thread, possibly nested inside a wait loop that pumps messages.
class DialogEvents {
 public:
  virtual ~DialogEvents() = default;
  // Once, before the dialog is shown. False ends the modal run at once
  // (with whatever result EndDialog set, else 0).
  virtual bool OnInitDialog() = 0;
  // A button was pressed (1 OK/Close, 2 Cancel, others by id). The host
  // does nothing else: ending the dialog is the logic's decision.
  virtual void OnCommand(int id) = 0;
  // The user asked the window itself to close (Esc, the close box, the
  // window manager). As in any dialog this is Cancel unless the logic
  // knows better (a run that must not be left).
  virtual void OnClose() { OnCommand(2); }
  // The selection of combo box `id` changed by the user.
  virtual void OnSelChange(int id) { (void)id; }
  // The edit field `id` reached its text limit and more was typed.
  virtual void OnTextLimit(int id) { (void)id; }
  // Timer `timerId` fired.
  virtual void OnTimer(int timerId) { (void)timerId; }
  // Files were dropped on the window, in the order the host got them.
  virtual void OnDropFiles(const std::vector<std::string>& paths) { (void)paths; }
  // A system-menu command (the about entry is 16).
  virtual void OnSysCommand(int commandId) { (void)commandId; }
  // How control `id` is coloured (asked by hosts that paint).
  virtual ControlColors OnCtlColor(int id) {
    (void)id;
    return {};
  }
};

// One dialog window built from a template. Operations on an unknown id do
// nothing (getters return empty values).
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string GetText(int id) = 0;
  virtual void Show(int id, bool visible) = 0;
  virtual bool IsVisible(int id) = 0;
  virtual void SetFont(int id, FontKind font) = 0;
  // Edit fields: at most `chars` characters; typing past it raises OnTextLimit.
  virtual void SetTextLimit(int id, int chars) = 0;

  // Combo box. Indexes are 0-based; -1 means none.
  virtual int ComboAdd(int id, const std::string& text) = 0;
  virtual int ComboInsert(int id, int index, const std::string& text) = 0;
  virtual void ComboDelete(int id, int index) = 0;
  virtual int ComboCount(int id) = 0;
  virtual std::string ComboText(int id, int index) = 0;
  virtual void ComboSetData(int id, int index, uint32_t data) = 0;
  virtual uint32_t ComboData(int id, int index) = 0;
  virtual void ComboSetSel(int id, int index) = 0;
  virtual int ComboSel(int id) = 0;

  // Progress bar.
  virtual void ProgressRange(int id, int low, int high) = 0;
  virtual void ProgressPos(int id, int pos) = 0;

  // Timers raise OnTimer every `ms` until killed.
  virtual void SetTimer(int timerId, unsigned ms) = 0;
  virtual void KillTimer(int timerId) = 0;

  // Appends a separator and a system-menu item (the about entry).
  virtual void AddSystemMenuItem(int commandId, const std::string& text) = 0;

  // Tiles the program's background picture over the client area from the
  // top-left corner (the main window's look; called while it is
  // decorated). Hosts that draw no pictures ignore it.
  virtual void SetBackgroundPicture() {}

  // Runs the dialog modally: OnInitDialog, then events until EndDialog.
  // Returns the result given to EndDialog.
  virtual int RunModal() = 0;
  // Ends the modal run with `result` once control returns to the run loop.
  virtual void EndDialog(int result) = 0;

  // A message box owned by this window.
  virtual Answer MessageBox(const MessageBoxRequest& request) = 0;
  // A message that does not wait for an answer, for when the logic must go
  // on meanwhile (a transfer in progress). A newer note replaces the one
  // shown; an empty text takes it away. Hosts without windows may print it.
  virtual void ShowNote(const MessageBoxRequest& request) { (void)request; }

  // While a run must keep its target, the window stops offering what could
  // change it: its lists, file drops and system-menu items (false), until
  // offered again (true). The logic refuses such events either way; this
  // only keeps the host from inviting them.
  virtual void OfferTargetChanges(bool offered) { (void)offered; }
};

// Declare, in the body of a class that implements DialogWindow, its
// operations (documented above); the class defines them. Every dialog has
// the control operations; a window a person sees has them all.
#define PLATFORM_UI_CONTROL_OPERATIONS                                  \
  void SetText(int id, const std::string& text) override;               \
  std::string GetText(int id) override;                                 \
  void Show(int id, bool visible) override;                             \
  bool IsVisible(int id) override;                                      \
  void SetFont(int id, ::platform::ui::FontKind font) override;         \
  void SetTextLimit(int id, int chars) override;                        \
  int ComboAdd(int id, const std::string& text) override;               \
  int ComboInsert(int id, int index, const std::string& text) override; \
  void ComboDelete(int id, int index) override;                         \
  int ComboCount(int id) override;                                      \
  std::string ComboText(int id, int index) override;                    \
  void ComboSetData(int id, int index, uint32_t data) override;         \
  uint32_t ComboData(int id, int index) override;                       \
  void ComboSetSel(int id, int index) override;                         \
  int ComboSel(int id) override;                                        \
  void ProgressRange(int id, int low, int high) override;               \
  void ProgressPos(int id, int pos) override;                           \
  void SetTimer(int timerId, unsigned ms) override;                     \
  void KillTimer(int timerId) override;                                 \
  void AddSystemMenuItem(int commandId, const std::string& text) override;
#define PLATFORM_UI_WINDOW_OPERATIONS                                                           \
  PLATFORM_UI_CONTROL_OPERATIONS                                                                \
  void SetBackgroundPicture() override;                                                         \
  int RunModal() override;                                                                      \
  void EndDialog(int result) override;                                                          \
  ::platform::ui::Answer MessageBox(const ::platform::ui::MessageBoxRequest& request) override; \
  void ShowNote(const ::platform::ui::MessageBoxRequest& request) override;                     \
  void OfferTargetChanges(bool offered) override;

// The window system. Installed as a platform service by main() (Qt or
// console) or by a test (scripted); without one, the fallback host of
// fallback_host.h is in force.
class Host {
 public:
  virtual ~Host() = default;
  // Builds a dialog from its template; `parent` is null for the main window.
  virtual std::unique_ptr<DialogWindow> CreateDialog(const DialogTemplate& tmpl, DialogEvents& events,
                                                     DialogWindow* parent) = 0;
  // A message box without an owner window (start-up checks, the engine).
  virtual Answer MessageBox(const MessageBoxRequest& request) = 0;
  // Shows or restores the wait cursor.
  virtual void SetWaitCursor(bool wait) = 0;
};

// Shorthand for an ownerless message box through the host in force.
Answer ShowMessage(const std::string& text, std::optional<std::string> caption, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::None, int defaultButton = 0);

}  // namespace platform::ui
