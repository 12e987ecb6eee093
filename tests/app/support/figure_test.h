// Shell tests that drive a figure window as a user does: tools chosen as the
// palette chooses them, clicks and drags in the figure view, and what the
// view shows.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_qt_bridge.h"

// The control of a window or panel that carries the item identifier `id`.
template <typename T>
T* child_with_id(QObject* root, int id) {
  if (!root) return nullptr;
  for (T* c : root->findChildren<T*>()) {
    int found = 0;
    if (kp_item_id(c, &found) && found == id) return c;
  }
  return nullptr;
}

class FigureTest : public ShellTest {
 protected:
  KPFigureView* openView() {
    KPDocument* doc = KPDocument::openUntitledDocument();
    KPFigureView* view = doc ? doc->figureView() : nullptr;
    EXPECT_TRUE(waitForView(view));
    return view;
  }

  // Chooses a tool the way a palette button does.
  static void chooseTool(KPFigureView* view, construct_class* cls) {
    const uint32_t id = cls ? find_tool_id_by_name(cls->name) : kPointerTool;
    ASSERT_NE(id, 0u);
    view->sendCurrentToolAction(id, 0, true);
  }

  // The pointer moves over the view with no button down.
  static void moveTo(KPFigureView* view, QPoint p) {
    QTest::mouseMove(view, p);
    QMouseEvent move(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
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

  // Chooses a tool with the mouse on the tools palette: a click on its
  // group's button for the group's first tool, else the group's list opened
  // by a second click and a release on the tool's line.
  static void pickFromPalette(construct_class* cls) { pickFromPalette(find_tool_id_by_name(cls->name)); }
  static void pickFromPalette(uint32_t id) {
    ASSERT_NE(id, 0u);
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(id)));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    // A click on the button of the group in use opens its list at once.
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    if (!list) {
      // The button gives its group's tool in use, the first one only until
      // another was chosen from its list.
      const bool chosen = current_class ? find_tool_id_by_name(current_class->name) == id : id == kPointerTool;
      if (tool_item(id) == 1 && chosen) return;
      QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
      spin(10);
      list = NSGeoToolsPullDownController::openPullDown();
    }
    ASSERT_NE(list, nullptr);
    QPoint global;
    for (const auto& cell : list->cells())
      if (cell->tag() == tool_item(id)) global = list->view()->mapToGlobal(cell->getRect().center().toPoint());
    NSGeoToolsPullDown* pull = list->view();
    const QPoint at = pull->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pull, &move);
    QTest::mouseRelease(pull, Qt::LeftButton, {}, at);
    spin(10);
  }

  // The figure point under a point of the view.
  static tagPOINT figurePoint(KPFigureView* view, QPoint p) {
    tagPOINT q{p.x(), p.y()};
    view->globalToLocalDDM(&q);
    return q;
  }

  static std::vector<object*> objectsOf(kelvo_win_info* fig, construct_class* cls) {
    std::vector<object*> found;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      if (o->classe == cls) found.push_back(o);
    return found;
  }

  // The view painted anew, the figure drawn again.
  static QImage shown(KPFigureView* view) {
    view->invalidateFigure();
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
