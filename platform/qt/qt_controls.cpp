#include "platform/qt/qt_controls.h"

#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyle>

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

}  // namespace platform::qt
