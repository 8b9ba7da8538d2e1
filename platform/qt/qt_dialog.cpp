#include "platform/qt/qt_dialog.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
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

// What a window manager's frame takes around the client area, roughly; a
// dialog is fitted into the screen's free area less this.
constexpr int kFrameWidth = 12;
constexpr int kFrameHeight = 36;
// Below this the text would no longer be readable; a dialog that does not
// fit even so is left larger than its screen.
constexpr int kMinFontPixels = 7;

// Whether `colour` is light enough that dark text shows on it.
bool IsLight(const QColor& colour) { return qGray(colour.rgb()) >= 128; }

QColor AverageColour(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  qint64 r = 0, g = 0, b = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QRgb p = rgb.pixel(x, y);
      r += qRed(p);
      g += qGreen(p);
      b += qBlue(p);
    }
  const qint64 n = std::max<qint64>(1, qint64{rgb.width()} * rgb.height());
  return QColor(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n));
}

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
  QFont font = DialogFont(tmpl.fontName, tmpl.fontPoints);
  const int templatePixels = font.pixelSize();
  const QScreen* screen = parent_ ? parent_->Widget()->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QSize room = screen->availableGeometry().size() - QSize(kFrameWidth, kFrameHeight);
    font.setPixelSize(FittingPixelSize(font, tmpl.width, tmpl.height, room, kMinFontPixels));
  }
  fontPixels_ = font.pixelSize();
  boldCell_ = (13 * fontPixels_ + templatePixels / 2) / std::max(1, templatePixels);
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
        auto* combo = new ElidingCombo(widget_);
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
        auto* bar = new TextProgressBar(widget_);
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

void QtDialogWindow::ShowCentred() {
  widget_->show();
  Centre();
}

void QtDialogWindow::KeepFocus() {
  QWidget* focus = widget_->focusWidget();
  if (focus && focus != widget_ && !focus->isHidden() && focus->isEnabled()) return;
  QPushButton* choice = nullptr;
  for (QPushButton* button : widget_->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
    if (button->isHidden() || !button->isEnabled()) continue;
    if (!choice || button->isDefault()) choice = button;
  }
  if (choice) {
    choice->setFocus(Qt::OtherFocusReason);
  } else {
    widget_->setFocus(Qt::OtherFocusReason);
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
  QWidget* control = Control(id);
  if (!control) return;
  control->setVisible(visible);
  KeepFocus();
}

bool QtDialogWindow::IsVisible(int id) {
  QWidget* control = Control(id);
  return control != nullptr && !control->isHidden();
}

void QtDialogWindow::SetFont(int id, ui::FontKind font) {
  QWidget* control = Control(id);
  if (!control) return;
  if (font == ui::FontKind::Bold)
    control->setFont(BoldFont(boldCell_));
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

// Locking a list that has the keyboard sends the keyboard elsewhere (to
// Cancel, where Enter quits); unlocking gives it back where it was.
void QtDialogWindow::OfferTargetChanges(bool offered) {
  if (!offered && !focusBeforeLock_) focusBeforeLock_ = widget_->focusWidget();
  for (QComboBox* combo : widget_->findChildren<QComboBox*>()) combo->setEnabled(offered);
  widget_->setAcceptDrops(offered && parent_ == nullptr);
  widget_->SetMenuEnabled(offered);
  if (offered) {
    QPointer<QWidget> before = focusBeforeLock_;
    focusBeforeLock_ = nullptr;
    if (before && before != widget_ && !before->isHidden() && before->isEnabled())
      before->setFocus(Qt::OtherFocusReason);
  }
  KeepFocus();
}

void QtDialogWindow::AddSystemMenuItem(int commandId, const std::string& text) {
  widget_->AddMenuItem(commandId, ToQ(text));
}

void QtDialogWindow::SetBackgroundPicture() {
  const QImage picture = BackgroundPicture();
  widget_->SetPicture(QPixmap::fromImage(picture));
  // Text drawn on the picture is coloured for the picture, not for the
  // theme's window colour, which a dark theme makes dark.
  const QColor text = IsLight(AverageColour(picture)) ? QColor(Qt::black) : QColor(Qt::white);
  for (StaticText* label : widget_->findChildren<StaticText*>()) label->SetPictureTextColour(text);
}

int QtDialogWindow::RunModal() {
  ended_ = false;
  result_ = 0;
  if (!events_.OnInitDialog() || ended_) return result_;
  // A dialog that opens while its owner is still being set up (the
  // serial-number prompt at start) is centred on its owner, not on a
  // window not yet shown.
  if (parent_ && !parent_->Widget()->isVisible()) parent_->ShowCentred();
  ShowCentred();
  KeepFocus();
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

// A window of the dialog's own: the dialog's modality does not block it,
// and the run that the dialog's logic is in goes on while it is open.
void QtDialogWindow::ShowNote(const ui::MessageBoxRequest& request) {
  if (request.text.empty()) {
    if (note_) note_->close();
    return;
  }
  if (!note_) {
    note_ = new QMessageBox(widget_);
    note_->setAttribute(Qt::WA_DeleteOnClose);
    note_->setWindowModality(Qt::NonModal);
    note_->setTextFormat(Qt::PlainText);
    note_->setStandardButtons(QMessageBox::Ok);
  }
  note_->setWindowTitle(ToQ(request.caption.value_or("Error")));
  note_->setIcon(request.icon == ui::Icon::None ? QMessageBox::NoIcon : QMessageBox::Information);
  note_->setText(ToQ(request.text));
  note_->show();
  note_->raise();
  note_->activateWindow();
}

void QtDialogWindow::Command(int id) { events_.OnCommand(id); }



}  // namespace platform::qt
