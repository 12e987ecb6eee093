// The whole program driven from its own window: a figure file opened at
// launch, tools chosen as the palette chooses them, clicks and drags in the
// figure view, and saving and reopening. Each check reads the figure the
// kernel holds and the picture the view shows.
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEnd : public ShellTest {
 protected:
  KPFigureView* openView() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    spin(50);
    return view;
  }

  // Chooses a tool the way a palette button does.
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : kPointerTool;
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }

  static void moveTo(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    spin(5);
  }

  static void click(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p, 10);
    spin(10);
  }

  // Press at `from`, move in steps to `to` (waiting past the drag threshold),
  // release there.
  static void drag(KPFigureView* view, QPoint from, QPoint to) {
    moveTo(view, from);
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    spin(20);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
      const QPoint p = from + (to - from) * i / kSteps;
      QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(view, &move);
      spin(10);
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, to, 10);
    spin(20);
  }

  static std::vector<object*> objectsOf(kelvo_win_info* fig, construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
    return found;
  }

  static QImage shown(KPFigureView* view) {
    view->grab();
    return view->viewImage();
  }

  // Pixels of the view's picture that differ from the background colour
  // within `radius` of p.
  static int inkNear(const QImage& image, QPoint p, int radius = 2) {
    const QColor background = image.pixelColor(2, 2);
    int count = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (image.rect().contains(q) && image.pixelColor(q) != background) ++count;
      }
    return count;
  }
};

}  // namespace

TEST_F(EndToEnd, TheSegmentToolBuildsASegmentFromTwoClicks) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  EXPECT_EQ(current_class, &classe_segment);
  const QImage before = shown(view);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  kelvo_win_info* fig = view->info();
  ASSERT_EQ(objectsOf(fig, &classe_segment).size(), 1u);
  EXPECT_EQ(objectsOf(fig, &classe_point).size(), 3u);  // the hidden origin and the two ends
  const QImage after = shown(view);
  EXPECT_EQ(inkNear(before, QPoint(160, 130)), 0);
  EXPECT_GT(inkNear(after, QPoint(160, 130)), 0);
}
