#pragma once
// The control widgets a dialog template asks for, where plain Qt widgets
// do not behave as the dialogs expect.
#include <QLabel>
#include <QLineEdit>
#include <functional>

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

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ColourQuery colours_;
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
