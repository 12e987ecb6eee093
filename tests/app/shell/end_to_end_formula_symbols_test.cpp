// The signs a user types into the calculator's formula: pi, infinity, the
// division sign and the degree sign, typed as characters, are the formula
// language's own.
#include <QKeyEvent>
#include <QLineEdit>

#include "app/panels/calculator_panel.h"
#include "app/support/figure_test.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"

namespace {

using EndToEndFormulaSymbols = FigureTest;

// Types a text into a field key by key, as a keyboard layout that has the
// signs sends them.
void type(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
  }
}

TEST_F(EndToEndFormulaSymbols, TypedSignsAreReadAsTheirValues) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_calculate);
  spin(10);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  const struct {
    QString typed;
    const char* shown;
  } cases[] = {
      {QStringLiteral("2*3"), "6"},
      {QStringLiteral("2*\u03C0"), "6.28"},
      {QStringLiteral("9\u00F73"), "3"},
      {QStringLiteral("1/\u221E"), "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    panel->formulaField()->clear();
    type(panel->formulaField(), c.typed);
    ASSERT_EQ(panel->formulaField()->text(), c.typed);
    QTest::keyClick(panel->formulaField(), Qt::Key_Return);
    spin(10);
    EXPECT_EQ(calculator.result.substr(0, std::strlen(c.shown)), c.shown) << calculator.result;
  }
  panel->close();
  spin(10);
}

}  // namespace
