// The calculator's floating panel: the formula field, the function and
// operator buttons, the result field and the evaluate button. The panel
// holds no calculator logic: every button becomes one command to the
// kernel's dialog procedure with the button's identifier, a change of the
// formula text one notification, and closing it by its frame one close
// command.
#pragma once

#include <QDialog>
#include <QWidget>

#include "platform/kelvo_wrap_machine.h"

class QLineEdit;

// Draws the kernel's result text on white; a click on a shown result
// starts placing it in the figure.
class KPResultTextField : public QWidget {
 public:
  explicit KPResultTextField(QWidget* parent);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // The kernel hears the pointer moving over the field and says whether it
  // shows the result cursor.
  void mouseMoveEvent(QMouseEvent* event) override;
};

class KPCalculatorPanel : public QDialog, public KPMessageTarget {
 public:
  explicit KPCalculatorPanel(WNDPROC procedure);
  HWND handle() { return static_cast<void*>(static_cast<QObject*>(this)); }
  QLineEdit* formulaField() const { return formula_; }
  KPResultTextField* resultField() const { return result_; }
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // The panel stays above the window of the current figure.
  void keepAboveFigure();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  LRESULT command(int id, int note = 0);
  WNDPROC procedure_;
  QLineEdit* formula_;
  KPResultTextField* result_;
};

// The panel the calculator opens (made on first use, then shown again).
HWND open_calculator_panel(const char* template_name, WNDPROC procedure);
// The panel while it exists, else null.
KPCalculatorPanel* calculator_panel();
// Closes the panel if it is shown (the kernel hears the close and leaves
// calculator mode) and destroys it: a hidden panel that outlived its figures
// could otherwise be activated and bring calculator mode back to the next
// figure.
void free_calculator_panel();
