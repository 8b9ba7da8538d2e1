#pragma once
// The control widgets a dialog template asks for, where plain Qt widgets
// do not behave as the dialogs expect.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <functional>
#include <optional>

#include "platform/ui/ui_host.h"

namespace platform::qt {

// Static text. Asks the dialog's logic for its colours each time it paints:
// blue text for notices, and either the window's own background or none at
// all so that a background picture shows through. Words wrap and line ends
// are kept, as in any dialog's static text.
class StaticText final : public QLabel {
 public:
  using ColourQuery = std::function<ui::ControlColors()>;
  StaticText(const QString& text, ui::Align align, ColourQuery colours, QWidget* parent);
  // The colour for text drawn straight onto the window's picture. The
  // theme's text colour is chosen for the theme's window colour, and a
  // dark theme's light text vanishes on a light picture.
  void SetPictureTextColour(const QColor& colour) { pictureText_ = colour; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ColourQuery colours_;
  std::optional<QColor> pictureText_;
};

// A drop-down list that marks a current text too long for it with an
// ellipsis and offers the whole text as its tooltip; the open list is as
// wide as its longest entry (within the screen).
class ElidingCombo final : public QComboBox {
 public:
  explicit ElidingCombo(QWidget* parent);
  // The current text as the closed list shows it.
  QString DisplayedText() const;
  void showPopup() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Retip();
};

// A progress bar that shows its text on the bar in every theme. Some
// styles draw a thin line and put the text beside it, where a bar as wide
// as the window leaves it no room; this bar is drawn by the style that
// draws the text on the bar, in the colours of the theme's palette.
class TextProgressBar final : public QProgressBar {
 public:
  explicit TextProgressBar(QWidget* parent);
};

// A single-line edit field. With a text limit set, a character typed when
// the field is full is not inserted and `onLimit` runs instead; with
// digits only, other characters are refused.
class LimitedEdit final : public QLineEdit {
 public:
  LimitedEdit(bool digitsOnly, std::function<void()> onLimit, QWidget* parent);
  void SetLimit(int chars);
  int Limit() const { return limit_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool digitsOnly_;
  int limit_ = 0;  // 0: none
  std::function<void()> onLimit_;
};

}  // namespace platform::qt
