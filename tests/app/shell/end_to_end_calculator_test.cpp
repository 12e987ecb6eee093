// The calculator and the equation texts through the whole program: the
// Formula tool opens the calculator panel, and the equation of a line is
// written in its slope form and follows the line when it is dragged.
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/calculator_panel.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndCalculator : public ShellTest {
 protected:
  KPFigureView* openView() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    EXPECT_TRUE(waitForView(view));
    return view;
  }
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : kPointerTool;
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }
  static void click(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    spin(5);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(10);
  }
  static void drag(KPFigureView* view, QPoint from, QPoint to) {
    QTest::mouseMove(view, from);
    spin(5);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    spin(20);
    for (int i = 1; i <= 8; ++i) {
      const QPoint p = from + (to - from) * i / 8;
      QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(view, &move);
      spin(10);
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
    spin(20);
  }
  static object* only(kelvo_win_info* fig, construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
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
  // Typing goes to the formula field; Return in the figure evaluates, and
  // while no formula language is built the user is told it cannot be.
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
  // The equation object, built as its tool builds it from the line and
  // the coordinate system.
  current_class = &classe_equation;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, line, 0);
  objlist_add(fig->inputs, axes, 0);
  object* eq = create_object(1, nullptr, 1, 1, 1);
  objlist_clear(fig->inputs);
  current_class = nullptr;
  ASSERT_NE(eq, nullptr);
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


}  // namespace
