#include "platform/qt/qt_controls.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QStyleFactory>
#include <QStylePainter>
#include <algorithm>

namespace platform::qt {

namespace {

Qt::Alignment ToQt(ui::Align align) {
  switch (align) {
    case ui::Align::Right:
      return Qt::AlignRight | Qt::AlignTop;
    case ui::Align::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
    case ui::Align::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

}  // namespace

StaticText::StaticText(const QString& text, ui::Align align, ColourQuery colours, QWidget* parent)
    : QLabel(text, parent), colours_(std::move(colours)) {
  setTextFormat(Qt::PlainText);
  setAlignment(ToQt(align));
  setWordWrap(true);
  setAutoFillBackground(false);
}

void StaticText::paintEvent(QPaintEvent*) {
  const ui::ControlColors colours = colours_ ? colours_() : ui::ControlColors{};
  QPainter painter(this);
  QPalette palette = this->palette();
  if (colours.transparent && pictureText_) palette.setColor(QPalette::WindowText, *pictureText_);
  if (colours.blueText) palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
  if (!colours.transparent) painter.fillRect(rect(), palette.window());
  painter.setFont(font());
  style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, palette,
                        isEnabled(), text(), QPalette::WindowText);
}

LimitedEdit::LimitedEdit(bool digitsOnly, std::function<void()> onLimit, QWidget* parent)
    : QLineEdit(parent), digitsOnly_(digitsOnly), onLimit_(std::move(onLimit)) {
  if (digitsOnly_)
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
}

void LimitedEdit::SetLimit(int chars) {
  limit_ = chars > 0 ? chars : 0;
  setMaxLength(limit_ > 0 ? limit_ : 32767);
}

void LimitedEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
  if (limit_ > 0 && printable) {
    bool accepted = true;
    if (digitsOnly_) {
      for (QChar c : typed) accepted = accepted && c.isDigit();
    }
    const qsizetype after = text().size() - selectedText().size() + typed.size();
    if (accepted && after > limit_) {
      event->accept();
      if (onLimit_) onLimit_();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}


ElidingCombo::ElidingCombo(QWidget* parent) : QComboBox(parent) {
  view()->setTextElideMode(Qt::ElideRight);
  connect(this, &QComboBox::currentIndexChanged, this, [this](int) { Retip(); });
  // Items rebuilt in place (the selected entry's text is replaced) keep
  // their tooltip and the list's in step.
  connect(model(), &QAbstractItemModel::dataChanged, this, [this] { Retip(); });
  connect(model(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    for (int i = first; i <= last; ++i) setItemData(i, itemText(i), Qt::ToolTipRole);
    Retip();
  });
}

void ElidingCombo::Retip() {
  const QString text = currentText();
  setToolTip(text);
}

QString ElidingCombo::DisplayedText() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  return fontMetrics().elidedText(currentText(), Qt::ElideRight, field.width());
}

void ElidingCombo::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = DisplayedText();
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ElidingCombo::showPopup() {
  int widest = width();
  const QFontMetrics metrics(view()->font());
  for (int i = 0; i < count(); ++i) widest = std::max(widest, metrics.horizontalAdvance(itemText(i)) + 32);
  if (const QScreen* shown = screen()) widest = std::min(widest, shown->availableGeometry().width());
  view()->setMinimumWidth(widest);
  QComboBox::showPopup();
}

TextProgressBar::TextProgressBar(QWidget* parent) : QProgressBar(parent) {
  // One style object for every bar, owned by the application.
  static QPointer<QStyle> barStyle;
  if (!barStyle) {
    barStyle = QStyleFactory::create(QStringLiteral("Fusion"));
    if (barStyle) barStyle->setParent(QCoreApplication::instance());
  }
  if (barStyle) setStyle(barStyle);
}

}  // namespace platform::qt
