#include "platform/qt/qt_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "platform/core/clock.h"
#include "platform/qt/qt_art.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_host.h"
#include "platform/ui/progress_times.h"

namespace platform::qt {

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

// The closed height of a drop-down list; the template's height is that of
// the list when it is open.
int ComboHeight(const BaseUnits& units) { return units.charHeight + 8; }

}  // namespace

QtDialogWindow::QtDialogWindow(QtHost& host, const ui::DialogTemplate& tmpl, ui::DialogEvents& events,
                               QtDialogWindow* parent)
    : host_(host), events_(events), parent_(parent),
      widget_(new DialogWidget(*this, parent ? parent->Widget() : nullptr)) {
  Build(tmpl);
}

QtDialogWindow::~QtDialogWindow() {
  if (loop_) loop_->exit();
  for (const auto& [id, qtId] : timers_) widget_->killTimer(qtId);
  delete widget_;
}

void QtDialogWindow::Build(const ui::DialogTemplate& tmpl) {
  templateId_ = tmpl.id;
  widget_->setWindowTitle(ToQ(tmpl.caption));
  const QFont font = DialogFont(tmpl.fontName, tmpl.fontPoints);
  widget_->setFont(font);
  units_ = MeasureBaseUnits(font);

  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (tmpl.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (!parent_) flags |= Qt::WindowMinimizeButtonHint;
  widget_->setWindowFlags(flags);
  widget_->setWindowModality(Qt::ApplicationModal);
  widget_->setAcceptDrops(parent_ == nullptr);
  widget_->setFixedSize(DialogUnitsToPixels(units_, 0, 0, tmpl.width, tmpl.height).size());

  for (const ui::ControlTemplate& c : tmpl.controls) {
    const QRect rect = DialogUnitsToPixels(units_, c.x, c.y, c.width, c.height);
    QWidget* control = nullptr;
    const int id = c.id;
    switch (c.kind) {
      case ui::ControlKind::Label:
        control = new StaticText(ToQ(c.text), c.align, [this, id] { return events_.OnCtlColor(id); }, widget_);
        control->setGeometry(rect);
        break;
      case ui::ControlKind::Icon: {
        auto* icon = new QLabel(widget_);
        icon->setPixmap(QPixmap::fromImage(DrawProgramIcon(32)));
        icon->setGeometry(rect.x(), rect.y(), 32, 32);
        control = icon;
        break;
      }
      case ui::ControlKind::ComboBox: {
        auto* combo = new QComboBox(widget_);
        combo->setMaxVisibleItems(std::max(1, rect.height() / std::max(1, units_.charHeight + 2)));
        combo->setGeometry(rect.x(), rect.y(), rect.width(), ComboHeight(units_));
        // The logic hears of the user's changes only, after the list has closed.
        QObject::connect(combo, &QComboBox::currentIndexChanged, widget_, [this, id](int) {
          if (comboQuiet_ > 0) return;
          QMetaObject::invokeMethod(widget_, [this, id] { events_.OnSelChange(id); }, Qt::QueuedConnection);
        });
        control = combo;
        break;
      }
      case ui::ControlKind::Button:
      case ui::ControlKind::DefaultButton: {
        auto* button = new QPushButton(ToQ(c.text), widget_);
        button->setGeometry(rect);
        button->setAutoDefault(true);
        button->setDefault(c.kind == ui::ControlKind::DefaultButton);
        QObject::connect(button, &QPushButton::clicked, widget_, [this, id] { Command(id); });
        control = button;
        break;
      }
      case ui::ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(widget_);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setGeometry(rect);
        control = bar;
        break;
      }
      case ui::ControlKind::Edit: {
        auto* edit = new LimitedEdit(c.digitsOnly, [this, id] { events_.OnTextLimit(id); }, widget_);
        edit->setText(ToQ(c.text));
        edit->setGeometry(rect);
        control = edit;
        break;
      }
    }
    if (!c.visible) control->hide();
    if (id != ui::kNoId) controls_[id] = control;
  }
  // Focus starts on the first control that takes it, as in a dialog.
  for (QWidget* child : widget_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->focusPolicy() & Qt::TabFocus) {
      child->setFocus();
      break;
    }
  }
}

void QtDialogWindow::Centre() {
  QRect area;
  if (parent_) {
    area = parent_->Widget()->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (!area.isValid()) return;
  QRect frame = widget_->frameGeometry();
  frame.moveCenter(area.center());
  widget_->move(frame.topLeft());
}

QWidget* QtDialogWindow::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

template <class Widget>
Widget* QtDialogWindow::Find(int id) const {
  return qobject_cast<Widget*>(Control(id));
}

void QtDialogWindow::SetText(int id, const std::string& text) {
  QWidget* control = Control(id);
  if (auto* label = qobject_cast<QLabel*>(control)) {
    if (label->pixmap().isNull()) label->setText(ToQ(text));
  } else if (auto* button = qobject_cast<QPushButton*>(control)) {
    button->setText(ToQ(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(ToQ(text));
  }
}

std::string QtDialogWindow::GetText(int id) {
  QWidget* control = Control(id);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text().toStdString();
  if (auto* button = qobject_cast<QPushButton*>(control)) return button->text().toStdString();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText().toStdString();
  return {};
}

void QtDialogWindow::Show(int id, bool visible) {
  if (QWidget* control = Control(id)) control->setVisible(visible);
}

bool QtDialogWindow::IsVisible(int id) {
  QWidget* control = Control(id);
  return control != nullptr && !control->isHidden();
}

void QtDialogWindow::SetFont(int id, ui::FontKind font) {
  QWidget* control = Control(id);
  if (!control) return;
  if (font == ui::FontKind::Bold)
    control->setFont(BoldFont());
  else
    control->setFont(widget_->font());
}

void QtDialogWindow::SetTextLimit(int id, int chars) {
  if (auto* edit = dynamic_cast<LimitedEdit*>(Control(id))) edit->SetLimit(chars);
}

int QtDialogWindow::ComboAdd(int id, const std::string& text) {
  auto* combo = Find<QComboBox>(id);
  if (!combo) return -1;
  ++comboQuiet_;
  combo->addItem(ToQ(text), QVariant::fromValue<uint>(0));
  --comboQuiet_;
  return combo->count() - 1;
}

int QtDialogWindow::ComboInsert(int id, int index, const std::string& text) {
  auto* combo = Find<QComboBox>(id);
  if (!combo) return -1;
  if (index < 0 || index > combo->count()) index = combo->count();
  ++comboQuiet_;
  combo->insertItem(index, ToQ(text), QVariant::fromValue<uint>(0));
  --comboQuiet_;
  return index;
}

void QtDialogWindow::ComboDelete(int id, int index) {
  auto* combo = Find<QComboBox>(id);
  if (!combo || index < 0 || index >= combo->count()) return;
  ++comboQuiet_;
  combo->removeItem(index);
  --comboQuiet_;
}

int QtDialogWindow::ComboCount(int id) {
  auto* combo = Find<QComboBox>(id);
  return combo ? combo->count() : 0;
}

std::string QtDialogWindow::ComboText(int id, int index) {
  auto* combo = Find<QComboBox>(id);
  if (!combo || index < 0 || index >= combo->count()) return {};
  return combo->itemText(index).toStdString();
}

void QtDialogWindow::ComboSetData(int id, int index, uint32_t data) {
  auto* combo = Find<QComboBox>(id);
  if (!combo || index < 0 || index >= combo->count()) return;
  combo->setItemData(index, QVariant::fromValue<uint>(data));
}

uint32_t QtDialogWindow::ComboData(int id, int index) {
  auto* combo = Find<QComboBox>(id);
  if (!combo || index < 0 || index >= combo->count()) return 0;
  return combo->itemData(index).value<uint>();
}

void QtDialogWindow::ComboSetSel(int id, int index) {
  auto* combo = Find<QComboBox>(id);
  if (!combo) return;
  if (index < -1 || index >= combo->count()) index = -1;
  ++comboQuiet_;
  combo->setCurrentIndex(index);
  --comboQuiet_;
}

int QtDialogWindow::ComboSel(int id) {
  auto* combo = Find<QComboBox>(id);
  return combo ? combo->currentIndex() : -1;
}

// Each new range starts a phase; its bar then shows the percentage with the
// time elapsed and, once something is done, the time left.
void QtDialogWindow::ProgressRange(int id, int low, int high) {
  auto* bar = Find<QProgressBar>(id);
  if (!bar) return;
  bar->setRange(low, std::max(low, high));
  bar->setTextVisible(false);
  progressStart_[id] = TickCount();
}

void QtDialogWindow::ProgressPos(int id, int pos) {
  auto* bar = Find<QProgressBar>(id);
  if (!bar) return;
  bar->setValue(std::clamp(pos, bar->minimum(), bar->maximum()));
  const auto start = progressStart_.find(id);
  const int span = bar->maximum() - bar->minimum();
  if (start == progressStart_.end() || span <= 0) return;
  const int percent = static_cast<int>(int64_t{bar->value() - bar->minimum()} * 100 / span);
  const uint32_t elapsed = TickCount() - start->second;
  const std::string times = ui::FormatProgressTimes(elapsed, ui::EstimateLeftMs(elapsed, percent));
  bar->setFormat(QStringLiteral("%p% \u2014 ") + ToQ(times));
  bar->setTextVisible(true);
}

void QtDialogWindow::SetTimer(int timerId, unsigned ms) {
  KillTimer(timerId);
  const int qtId = widget_->startTimer(static_cast<int>(std::min(ms, 0x7FFFFFFFu)), Qt::PreciseTimer);
  if (qtId != 0) timers_[timerId] = qtId;
}

void QtDialogWindow::KillTimer(int timerId) {
  auto it = timers_.find(timerId);
  if (it == timers_.end()) return;
  widget_->killTimer(it->second);
  timers_.erase(it);
}

int QtDialogWindow::TimerIdFor(int qtTimerId) const {
  for (const auto& [id, qtId] : timers_)
    if (qtId == qtTimerId) return id;
  return -1;
}

void QtDialogWindow::OfferTargetChanges(bool offered) {
  for (QComboBox* combo : widget_->findChildren<QComboBox*>()) combo->setEnabled(offered);
  widget_->setAcceptDrops(offered && parent_ == nullptr);
  widget_->SetMenuEnabled(offered);
}

void QtDialogWindow::AddSystemMenuItem(int commandId, const std::string& text) {
  widget_->AddMenuItem(commandId, ToQ(text));
}

void QtDialogWindow::SetBackgroundPicture() {
  widget_->SetPicture(QPixmap::fromImage(BackgroundPicture()));
}

int QtDialogWindow::RunModal() {
  ended_ = false;
  result_ = 0;
  if (!events_.OnInitDialog() || ended_) return result_;
  widget_->show();
  Centre();
  QEventLoop loop;
  loop_ = &loop;
  if (!ended_) loop.exec(QEventLoop::DialogExec);
  loop_ = nullptr;
  widget_->hide();
  return result_;
}

void QtDialogWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (loop_) loop_->exit();
}

ui::Answer QtDialogWindow::MessageBox(const ui::MessageBoxRequest& request) {
  return host_.ShowMessageBox(request, widget_->isVisible() ? widget_ : nullptr);
}

void QtDialogWindow::Command(int id) { events_.OnCommand(id); }

bool QtDialogWindow::MayCancel() const {
  QWidget* close = Control(1);
  QWidget* cancel = Control(2);
  if (!close && !cancel) return true;
  return (close && !close->isHidden()) || (cancel && !cancel->isHidden());
}

}  // namespace platform::qt
