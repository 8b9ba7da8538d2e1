#pragma once
// One dialog of the UI host seam as a Qt widget: built from its template,
// laid out in dialog units of its own font, fixed size, centred.
#include <QDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/qt_units.h"
#include "platform/ui/ui_host.h"

class QEventLoop;
class QMenu;


namespace platform::qt {

class QtHost;
class QtDialogWindow;

// The top-level widget of a dialog. It turns Qt's window events into the
// dialog's events and paints the background picture when asked to.
class DialogWidget final : public QDialog {
 public:
  DialogWidget(QtDialogWindow& owner, QWidget* parent);

  void SetPicture(const QPixmap& picture);
  bool HasPicture() const { return !picture_.isNull(); }
  void AddMenuItem(int commandId, const QString& text);
  // A disabled menu is not offered (the about entry while a run is busy).
  void SetMenuEnabled(bool enabled) { menuEnabled_ = enabled; }
  // The about entry and any other system-menu items, in order.
  const std::vector<std::pair<int, QString>>& MenuItems() const { return menuItems_; }
  // The menu that a right click, the menu key or Shift+F10 opens (built on
  // demand; none without items or while not offered).
  QMenu* BuildMenu();

  // Esc and the close box act as Cancel (id 2), as in any dialog.
  void reject() override;
  void accept() override {}

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QtDialogWindow& owner_;
  QPixmap picture_;
  std::vector<std::pair<int, QString>> menuItems_;
  QMenu* menu_ = nullptr;
  bool announced_ = false;
  bool menuEnabled_ = true;

  // Opens the menu at `global` unless it is open already.
  void PopUpMenu(const QPoint& global);
};

class QtDialogWindow final : public ui::DialogWindow {
 public:
  QtDialogWindow(QtHost& host, const ui::DialogTemplate& tmpl, ui::DialogEvents& events, QtDialogWindow* parent);
  ~QtDialogWindow() override;

  // ---- ui::DialogWindow
  PLATFORM_UI_WINDOW_OPERATIONS

  // ---- for the host, tests and screenshots
  DialogWidget* Widget() const { return widget_; }
  QWidget* Control(int id) const;
  int TemplateId() const { return templateId_; }
  const BaseUnits& Units() const { return units_; }
  ui::DialogEvents& Events() { return events_; }
  bool IsTopLevel() const { return parent_ == nullptr; }
  // True between the start of the modal loop and EndDialog.
  bool IsRunning() const { return loop_ != nullptr && !ended_; }
  // Delivers a command as a click of button `id` would.
  void Command(int id);
  // The note on show, or null.
  QMessageBox* Note() const { return note_; }
  // The font size that the layout settled on (smaller than the template's
  // when the screen has no room for it).
  int FontPixels() const { return fontPixels_; }
  // Timer bookkeeping for DialogWidget::timerEvent: our id for Qt's, or -1.
  int TimerIdFor(int qtTimerId) const;

 private:
  void Build(const ui::DialogTemplate& tmpl);
  void Centre();
  // Shows the window centred, before its own modal run when a dialog it
  // owns opens first.
  void ShowCentred();
  // Keeps the keyboard on a control a user can see and use: after a
  // control is hidden or the lists are locked, focus goes to the default
  // button shown, else another button, else the window itself (so that no
  // key reaches a hidden button).
  void KeepFocus();
  template <class Widget>
  Widget* Find(int id) const;

  QtHost& host_;
  ui::DialogEvents& events_;
  QtDialogWindow* parent_;
  DialogWidget* widget_;  // owned; deleted with its controls
  BaseUnits units_;
  int templateId_ = 0;
  std::map<int, QWidget*> controls_;
  std::map<int, int> timers_;  // our timer id -> Qt timer id
  std::map<int, uint32_t> progressStart_;  // bar id -> tick at which its phase began
  int comboQuiet_ = 0;         // >0 while the logic itself changes a combo box
  QPointer<QWidget> focusBeforeLock_;  // where the keyboard was when the lists were locked
  QPointer<QMessageBox> note_;
  int fontPixels_ = 0;
  int boldCell_ = 13;  // the bold font's cell height, scaled with the dialog font
  QEventLoop* loop_ = nullptr;
  bool ended_ = false;
  int result_ = 0;

  friend class DialogWidget;
};

}  // namespace platform::qt
