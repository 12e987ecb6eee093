// Measures through the whole program: the measure tool on a segment, the
// length shown in its unit and following a drag of an end.
#include <QTest>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/files/text_convert.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndMeasures : public ShellTest {
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
    // What the window shows, the text editor open over a new measure's
    // text included.
    view->invalidateFigure();
    const QImage image = view->grab().toImage();
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

TEST_F(EndToEndMeasures, TheLengthOfASegmentIsShownAndFollowsItsEnd) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  kelvo_win_info* fig = view->info();
  object* segment = only(fig, &classe_segment);
  ASSERT_NE(segment, nullptr);

  chooseTool(view, &classe_length);
  ASSERT_EQ(current_class, &classe_length);
  click(view, QPoint(200, 200));
  object* length = only(fig, &classe_length);
  ASSERT_NE(length, nullptr);
  ASSERT_NE(length->te, nullptr);
  const valeur& a = segment->parents[0]->valeurs[0];
  const valeur& b = segment->parents[1]->valeurs[0];
  const double decimals = std::pow(10.0, -(length->settings.nbre_decimales & 127));
  EXPECT_NEAR(shownNumber(length), std::hypot(a.h - b.h, a.v - b.v) / pixels_per_unit, decimals);
  EXPECT_TRUE(text(length).ends_with(" cm")) << text(length);
  // The text that shows the measure quotes it.
  object* shown = only(fig, &classe_text);
  ASSERT_NE(shown, nullptr);
  ASSERT_NE(shown->inserted, nullptr);
  EXPECT_EQ(shown->inserted->obj, length);
  // The view shows it: ink inside the text's frame, none there before.
  EXPECT_GT(inkInFrame(view, shown), 0);
  // The text stands where the measure tool clicked on the segment.
  tagPOINT corner{shown->te->pos.x, shown->te->pos.y};
  view->localToGlobalDDM(&corner);
  EXPECT_NEAR(corner.x, 200, 8);
  EXPECT_NEAR(corner.y, 200, 8);

  // An end dragged 114 pixels further: the shown length follows.
  chooseTool(view, nullptr);
  drag(view, QPoint(300, 200), QPoint(414, 200));
  EXPECT_NEAR(std::hypot(a.h - b.h, a.v - b.v), 314, 1);
  EXPECT_NEAR(shownNumber(length), std::hypot(a.h - b.h, a.v - b.v) / pixels_per_unit, decimals);
}

// The measure is chosen by a click on the text that shows it; keys pressed
// in the view then act on it, each key on its own.
TEST_F(EndToEndMeasures, KeysOnTheSelectedMeasureChangeItsDecimalsAndItKeepsItsLength) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 200));
  click(view, QPoint(300, 200));
  kelvo_win_info* fig = view->info();
  object* segment = only(fig, &classe_segment);
  chooseTool(view, &classe_length);
  click(view, QPoint(200, 200));
  object* length = only(fig, &classe_length);
  object* shown = only(fig, &classe_text);
  ASSERT_NE(segment, nullptr);
  ASSERT_NE(length, nullptr);
  ASSERT_NE(shown, nullptr);
  chooseTool(view, nullptr);
  tagPOINT middle{shown->te->pos.x + shown->te->size.w / 2, shown->te->pos.y + shown->te->size.h / 2};
  view->localToGlobalDDM(&middle);
  click(view, QPoint(middle.x, middle.y));
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(resolve_text_reference(fig->selection->items[0], fig->selection->tags[0]), length);

  const valeur& a = segment->parents[0]->valeurs[0];
  const valeur& b = segment->parents[1]->valeurs[0];
  const double cm = std::hypot(a.h - b.h, a.v - b.v) / pixels_per_unit;
  auto decimals_shown = [&] {
    const std::string t = text(length);
    const size_t sep = t.find(decimal_separator), unit = t.find(' ');
    return sep == std::string::npos || unit == std::string::npos ? 0 : static_cast<int>(unit - sep - 1);
  };
  const int first = length->settings.nbre_decimales & 127;
  EXPECT_EQ(decimals_shown(), first) << text(length);
  // A key is applied at the figure timer's next step and its gesture ends
  // at the step after; a key typed while a gesture goes on is not taken. A
  // loaded machine delays both: wait for them rather than for a fixed time.
  auto shows = [&](int decimals) {
    for (int waited = 0; (decimals_shown() != decimals || manipulating) && waited < 3000; waited += 20) spin(20);
    return decimals_shown();
  };
  // '+' twice: two more decimals, kept by the measure and shown.
  for (int k = 1; k <= 2; ++k) {
    QTest::keyClick(view, Qt::Key_Plus);
    EXPECT_EQ(shows(first + k), first + k) << text(length);
    EXPECT_EQ(length->settings.nbre_decimales & 127, first + k);
  }
  QTest::keyClick(view, Qt::Key_Minus);
  EXPECT_EQ(shows(first + 1), first + 1) << text(length);
  EXPECT_NEAR(shownNumber(length), cm, std::pow(10.0, -(first + 1)));
  // The up arrow does not make a measure lie: recomputed from its segment,
  // it shows the segment's length.
  const std::string before = text(length);
  QTest::keyClick(view, Qt::Key_Up);
  spin(60);
  for (int waited = 0; manipulating && waited < 3000; waited += 20) spin(20);
  EXPECT_EQ(text(length), before);
  EXPECT_NEAR(shownNumber(length), cm, std::pow(10.0, -(first + 1)));
  // Still each key on its own: one more '+' after the arrow.
  QTest::keyClick(view, Qt::Key_Plus);
  EXPECT_EQ(shows(first + 2), first + 2) << text(length);
}

}  // namespace
