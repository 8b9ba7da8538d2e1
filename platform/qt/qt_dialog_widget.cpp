#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_host.h"

namespace platform::qt {

namespace {

std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  return paths;
}

}  // namespace

DialogWidget::DialogWidget(QtDialogWindow& owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

void DialogWidget::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void DialogWidget::AddMenuItem(int commandId, const QString& text) {
  menuItems_.emplace_back(commandId, text);
  delete menu_;
  menu_ = nullptr;
}

QMenu* DialogWidget::BuildMenu() {
  if (menuItems_.empty() || !menuEnabled_) return nullptr;
  if (!menu_) {
    menu_ = new QMenu(this);
    for (const auto& [commandId, text] : menuItems_) {
      // Each item follows a separator, as appended to a system menu; a
      // separator at the top of the menu is not drawn.
      menu_->addSeparator();
      QAction* action = menu_->addAction(text);
      const int id = commandId;
      connect(action, &QAction::triggered, this, [this, id] { owner_.Events().OnSysCommand(id); });
    }
  }
  return menu_;
}

// The logic decides: Cancel as in any dialog, or, during a run that must
// not be left, a note saying why the window stays.
void DialogWidget::reject() { owner_.Events().OnClose(); }

void DialogWidget::paintEvent(QPaintEvent* event) {
  if (picture_.isNull()) {
    QDialog::paintEvent(event);
    return;
  }
  // Whole tiles from the top-left corner; the last row and column are cut
  // off by the client area.
  QPainter painter(this);
  for (int x = 0; x < width(); x += picture_.width())
    for (int y = 0; y < height(); y += picture_.height()) painter.drawPixmap(x, y, picture_);
}

void DialogWidget::timerEvent(QTimerEvent* event) {
  const int id = owner_.TimerIdFor(event->timerId());
  if (id >= 0)
    owner_.Events().OnTimer(id);
  else
    QDialog::timerEvent(event);
}

void DialogWidget::PopUpMenu(const QPoint& global) {
  QMenu* menu = BuildMenu();
  if (menu && !menu->isVisible()) menu->popup(global);
}

void DialogWidget::contextMenuEvent(QContextMenuEvent* event) {
  if (!BuildMenu()) {
    event->ignore();
    return;
  }
  // From the keyboard the menu opens at the window's corner, where a
  // window menu sits, rather than wherever the mouse happens to be.
  PopUpMenu(event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(0, 0)) : event->globalPos());
  event->accept();
}

// The menu key and Shift+F10 open the menu from the keyboard on every
// platform (the controls pass these keys on to the window).
void DialogWidget::keyPressEvent(QKeyEvent* event) {
  const bool shiftF10 = event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier);
  if ((event->key() == Qt::Key_Menu || shiftF10) && BuildMenu()) {
    PopUpMenu(mapToGlobal(QPoint(0, 0)));
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void DialogWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void DialogWidget::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = LocalFiles(event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  // The drag source waits for the drop to finish: handle it afterwards.
  QTimer::singleShot(0, this, [this, paths = std::move(paths)] { owner_.Events().OnDropFiles(paths); });
}

void DialogWidget::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (announced_) return;
  announced_ = true;
  QTimer::singleShot(0, this, [this] { owner_.host_.NotifyShown(owner_); });
}

}  // namespace platform::qt
