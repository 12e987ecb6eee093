// The calculator and the equation texts through the whole program: the
// Formula tool opens the calculator panel; two measures clicked and added
// there give a calculation placed in the figure, which follows a drag; the
// equation of a line is written in its slope form and follows the line.
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/calculator_panel.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "platform/kp_dialog.h"

namespace {

class EndToEndCalculator : public FigureTest {
 protected:
  static object* only(kelvo_win_info* fig, construct_class* cls) {
    const std::vector<object*> found = objectsOf(fig, cls);
    EXPECT_EQ(found.size(), 1u);
    return found.empty() ? nullptr : found[0];
  }
  // The number a measure's text shows, read in the user's separators.
  static double shownNumber(const object* m) {
    std::string s;
    for (const char* p = m->te->text; *p; ++p) {
      if (*p == decimal_separator) s += '.';
      else if (*p == '-' || (*p >= '0' && *p <= '9')) s += *p;
      else if (*p != second_separator) break;
    }
    double v = std::nan("");
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
  }
  // Pixels of the view's picture that differ from the background inside
  // the text frame of an object.
  static int inkInFrame(KPFigureView* view, const object* o) {
    view->invalidateFigure();
    view->grab();
    const QImage image = view->viewImage();
    tagPOINT corner{o->te->pos.x, o->te->pos.y};
    view->localToGlobalDDM(&corner);
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int y = corner.y; y < corner.y + o->te->size.h; ++y)
      for (int x = corner.x; x < corner.x + o->te->size.w; ++x)
        if (image.rect().contains(x, y) && image.pixelColor(x, y) != background) ++count;
    return count;
  }
  static std::string text(const object* m) { return m && m->te && m->te->text ? m->te->text : ""; }
};

TEST_F(EndToEndCalculator, TheFormulaToolOpensThePanelAndClosingItEndsCalculatorMode) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_calculate);
  spin(10);
  EXPECT_EQ(current_class, &classe_calculate);
  ASSERT_NE(calculator_window, nullptr);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  // Typing goes to the formula field.
  QTest::keyClicks(panel->formulaField(), "2*(3");
  EXPECT_EQ(panel->formulaField()->text(), "2*(3");
  panel->close();
  spin(10);
  EXPECT_EQ(calculator_window, nullptr);
  EXPECT_NE(current_class, &classe_calculate);
}

TEST_F(EndToEndCalculator, TheEquationOfALineFollowsTheLine) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_droite);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 200));
  kelvo_win_info* fig = view->info();
  object* line = only(fig, &classe_droite);
  ASSERT_NE(line, nullptr);
  object* axes = nullptr;
  for (object* o = fig->first; o; o = o->next)
    if (o->otype && o->otype->id == TYPE_AXES) axes = o;
  ASSERT_NE(axes, nullptr);
  // The equation tool on the line: the figure's one coordinate system is
  // taken as the second argument.
  pickFromPalette(&classe_equation);
  click(view, QPoint(200, 250));
  object* eq = nullptr;
  for (object* o : objectsOf(fig, &classe_equation))
    if (o->nbparents > 0 && o->parents[0] == line) eq = o;
  ASSERT_NE(eq, nullptr);
  EXPECT_EQ(eq->parents[1], axes);
  // Its slope form, as the equation's format menu sets it.
  eq->math.equa.format = 1;
  recompute_object(eq);
  const std::string before = text(eq);
  EXPECT_TRUE(before.starts_with("y = ")) << before;
  const int ink = inkInFrame(view, eq);
  EXPECT_GT(ink, 0);
  chooseTool(view, nullptr);
  drag(view, QPoint(300, 200), QPoint(300, 100));
  const std::string after = text(eq);
  EXPECT_TRUE(after.starts_with("y = ")) << after;
  EXPECT_NE(after, before);
}

TEST_F(EndToEndCalculator, TwoMeasuresAddedInTheCalculatorGiveACalculationThatFollowsTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  // Two segments, each measured by the length tool.
  pickFromPalette(&classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(250, 100));
  click(view, QPoint(100, 300));
  click(view, QPoint(200, 300));
  ASSERT_EQ(objectsOf(fig, &classe_segment).size(), 2u);
  pickFromPalette(&classe_length);
  click(view, QPoint(175, 100));
  click(view, QPoint(150, 300));
  const std::vector<object*> lengths = objectsOf(fig, &classe_length);
  ASSERT_EQ(lengths.size(), 2u);
  object* first = lengths[0];
  object* second = lengths[1];
  object* first_text = textShowing(fig, first);
  object* second_text = textShowing(fig, second);
  ASSERT_NE(first_text, nullptr);
  ASSERT_NE(second_text, nullptr);
  const double sum = shownNumber(first) + shownNumber(second);

  // The Formula tool opens the calculator; each measure clicked takes a
  // letter, typed into the formula.
  pickFromPalette(&classe_calculate);
  KPCalculatorPanel* panel = calculator_panel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->isVisible());
  click(view, frameCentre(view, first_text));
  QTest::keyClicks(panel->formulaField(), "+");
  click(view, frameCentre(view, second_text));
  EXPECT_EQ(panel->formulaField()->text(), "a+b");
  ASSERT_EQ(objlist_count(calculator_list()), 2);
  EXPECT_EQ(calculator_list()->items[0], first);
  EXPECT_EQ(calculator_list()->items[1], second);

  // Return shows the sum with its unit.
  QTest::keyClick(panel->formulaField(), Qt::Key_Return);
  spin(10);
  const std::string unit = text(first).substr(text(first).find(' '));
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.2f", sum);
  for (char* p = expected; *p; ++p)
    if (*p == '.') *p = decimal_separator;
  EXPECT_EQ(calculator.result, expected + unit);

  // A click on the result, then one in the figure, places it there.
  QTest::mouseClick(panel->resultField(), Qt::LeftButton);
  spin(10);
  moveTo(view, QPoint(400, 200));
  click(view, QPoint(400, 200));
  object* calc = only(fig, &classe_calculate);
  ASSERT_NE(calc, nullptr);
  ASSERT_EQ(calc->nbparents, 2);
  EXPECT_EQ(calc->parents[0], first);
  EXPECT_EQ(calc->parents[1], second);
  EXPECT_NEAR(shownNumber(calc), sum, 1e-9) << text(calc);
  object* calc_text = textShowing(fig, calc);
  ASSERT_NE(calc_text, nullptr);
  EXPECT_TRUE(QRect(frameCentre(view, calc_text) - QPoint(60, 20), QSize(120, 40)).contains(QPoint(400, 200)));
  EXPECT_EQ(panel->formulaField()->text(), "");
  const int ink = inkInFrame(view, calc_text);
  EXPECT_GT(ink, 0);
  view->grab();
  const QImage before = view->viewImage();

  // Dragging the end of the first segment changes its length, and the
  // calculation follows in the figure and on screen.
  chooseTool(view, nullptr);
  drag(view, QPoint(250, 100), QPoint(320, 100));
  const double moved = shownNumber(first) + shownNumber(second);
  EXPECT_GT(moved, sum + 1);
  EXPECT_NEAR(shownNumber(calc), moved, 1e-9) << text(calc);

  const QRect frame(frameCentre(view, calc_text) - QPoint(calc_text->te->size.w / 2, calc_text->te->size.h / 2),
                    QSize(calc_text->te->size.w, calc_text->te->size.h));
  view->grab();
  EXPECT_NE(before.copy(frame), view->viewImage().copy(frame));

  // With the Formula tool again, a second click on the calculation opens
  // it: its objects come back as a and b, and a changed formula is saved
  // into it.
  pickFromPalette(&classe_calculate);
  click(view, frameCentre(view, calc_text));
  EXPECT_EQ(panel->formulaField()->text(), "a");
  click(view, frameCentre(view, calc_text));
  EXPECT_EQ(panel->formulaField()->text(), "a+b");
  QTest::keyClicks(panel->formulaField(), "*2");
  QTest::keyClick(panel->formulaField(), Qt::Key_Return);
  spin(10);
  EXPECT_EQ(only(fig, &classe_calculate), calc);
  EXPECT_STREQ(reinterpret_cast<const char*>(calc->parents[calc->nbparents]), "a+b*2");
  const double edited = shownNumber(first) + 2 * shownNumber(second);
  EXPECT_NEAR(shownNumber(calc), edited, 1e-9) << text(calc);
}

}  // namespace

namespace {

// The calculator over the figures of several windows and the panel's own
// behaviour: the formula belongs to the figure it was typed for, a shown
// result takes the result cursor, a button hands the clicks back to the
// figure, and a units notice is said once.
class CalculatorPanelBehaviour : public FigureTest {
 protected:
  void TearDown() override {
    if (KPCalculatorPanel* panel = calculator_panel()) panel->close();
    spin(10);
    FigureTest::TearDown();
  }
  // The Formula tool chosen on the palette opens the panel.
  static KPCalculatorPanel* openCalculator() {
    pickFromPalette(&classe_calculate);
    return calculator_panel();
  }
  // A number of the Numerical Edit tool, typed in at `at`.
  static object* typedNumber(KPFigureView* view, QPoint at, const char* keys) {
    pickFromPalette(&classe_nombre);
    click(view, at);
    const std::vector<object*> numbers = objectsOf(view->info(), &classe_nombre);
    EXPECT_FALSE(numbers.empty());
    if (numbers.empty() || !view->textEditor()) return nullptr;
    QTest::keyClicks(view->textEditor(), keys);
    pickFromPalette(kPointerTool);
    spin(20);
    return numbers.back();
  }
  static QPushButton* button(KPCalculatorPanel* panel, int id) { return child_with_id<QPushButton>(panel, id); }
  static void press(KPCalculatorPanel* panel, int id) {
    QPushButton* b = button(panel, id);
    ASSERT_NE(b, nullptr) << id;
    QTest::mouseClick(b, Qt::LeftButton);
    spin(20);
  }
};

TEST_F(CalculatorPanelBehaviour, AnotherFigureFindsItsOwnEmptyFormula) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  object* two = typedNumber(first, QPoint(120, 120), "2");
  ASSERT_NE(two, nullptr);
  KPCalculatorPanel* panel = openCalculator();
  ASSERT_NE(panel, nullptr);
  click(first, frameCentre(first, two));
  ASSERT_EQ(panel->formulaField()->text(), "a");

  // A second window: the formula typed over the first figure's number is
  // not offered for it, and "=" has nothing to complain about.
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  ASSERT_NE(second->info(), first->info());
  EXPECT_EQ(panel->formulaField()->text(), "");
  press(panel, kCalcEvaluateButton);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_TRUE(calculator.result.empty()) << calculator.result;
  // The first figure keeps the number its formula named.
  EXPECT_EQ(objlist_count(first->info()->list3), 1);

  // The second figure's own number, clicked, is its "a".
  object* five = typedNumber(second, QPoint(150, 150), "5");
  ASSERT_NE(five, nullptr);
  pickFromPalette(&classe_calculate);
  click(second, frameCentre(second, five));
  EXPECT_EQ(panel->formulaField()->text(), "a");
  press(panel, kCalcEvaluateButton);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  char expected[16];
  std::snprintf(expected, sizeof expected, "5%c00", decimal_separator);
  EXPECT_EQ(calculator.result, expected);
}

TEST_F(CalculatorPanelBehaviour, AShownResultTakesTheResultCursor) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPCalculatorPanel* panel = openCalculator();
  ASSERT_NE(panel, nullptr);
  KPResultTextField* field = panel->resultField();
  auto hover = [field] {
    const QPoint p = field->rect().center();
    QMouseEvent move(QEvent::MouseMove, p, field->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(field, &move);
  };
  QTest::keyClicks(panel->formulaField(), "2+3");
  hover();
  EXPECT_NE(field->cursor().shape(), Qt::OpenHandCursor) << "no result yet";
  QTest::keyClick(panel->formulaField(), Qt::Key_Return);
  spin(10);
  ASSERT_FALSE(calculator.result.empty());
  hover();
  EXPECT_EQ(field->cursor().shape(), Qt::OpenHandCursor);
  // Changed, the formula drops its result, and the cursor its hand.
  QTest::keyClicks(panel->formulaField(), "*2");
  hover();
  EXPECT_NE(field->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(CalculatorPanelBehaviour, AButtonHandsTheClicksBackToTheFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPCalculatorPanel* panel = openCalculator();
  ASSERT_NE(panel, nullptr);
  panel->activateWindow();
  spin(20);
  ASSERT_EQ(QApplication::activeWindow(), panel);
  press(panel, kCalcSin);
  EXPECT_EQ(panel->formulaField()->text(), "sin(");
  EXPECT_EQ(QApplication::activeWindow(), view->window()) << "the figure does not take the next click";
  EXPECT_EQ(current_class, &classe_calculate);
}

TEST_F(CalculatorPanelBehaviour, IncompatibleUnitsAreToldOnce) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPCalculatorPanel* panel = openCalculator();
  ASSERT_NE(panel, nullptr);
  // A length plus an angle: the compiler's notice is the units question,
  // which the user closes without its OK; nothing more is said about the
  // units.
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& request) {
    messages() << QString::fromStdString(request.message);
    return -1;
  });
  panel->formulaField()->setText(QString::fromUtf8("2cm + 30\u00B0"));
  press(panel, kCalcEvaluateButton);
  ASSERT_EQ(messages().size(), 1) << messages().join('\n').toStdString();
  EXPECT_TRUE(calculator.result.empty());
}

}  // namespace
