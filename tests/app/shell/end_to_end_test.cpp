// The whole program driven from its own window: a figure file opened at
// launch, tools chosen as the palette chooses them, clicks and drags in the
// figure view, and saving and reopening. Each check reads the figure the
// kernel holds and the picture the view shows.
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "app/panels/tools_palette.h"
#include "app/shell/figure_window.h"
#include "app/panels/tools_pull_down.h"
#include "app/support/shell_fixture.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEnd : public ShellTest {
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

  // Chooses a tool with the mouse on the tools palette: a click on its
  // group's button for the group's first tool, else the group's list opened
  // by a second click and a release on the tool's line.
  static void pickFromPalette(construct_class* cls) {
    const uint32_t id = find_tool_id_by_name(cls->name);
    ASSERT_NE(id, 0u);
    menu* group = find_tool_menu(static_cast<int16_t>(tool_group(id)));
    ASSERT_NE(group, nullptr);
    auto* button = static_cast<QWidget*>(group->view);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    if (tool_item(id) == 1) return;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    spin(10);
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
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

TEST_F(EndToEnd, ThePaletteChoosesTheCircleToolAndTwoClicksMakeACircle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  pickFromPalette(&classe_cercle);
  ASSERT_EQ(current_class, &classe_cercle);
  click(view, QPoint(300, 250));
  click(view, QPoint(360, 250));
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  const tagPOINT centre = figurePoint(view, QPoint(300, 250));
  EXPECT_DOUBLE_EQ(circles[0]->parents[0]->valeurs[0].h, centre.x);
  EXPECT_DOUBLE_EQ(circles[0]->parents[0]->valeurs[0].v, centre.y);
  // The circle passes through the second click, 60 pixels away.
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(300, 190)), 0);
  EXPECT_GT(inkNear(image, QPoint(240, 250)), 0);
  EXPECT_EQ(inkNear(image, QPoint(330, 220), 1), 0);
}

TEST_F(EndToEnd, APointerDragOnTheEmptySheetDrawsAndKeepsASelectionRectangle) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, nullptr);
  ASSERT_EQ(interaction_state, STATE_POINTER);
  const QPoint from(100, 100), to(260, 200);
  drag(view, from, to);
  EXPECT_EQ(rubber_band_tracking, 0);
  EXPECT_EQ(selection_rect_shown, 1);
  const tagPOINT a = figurePoint(view, from), b = figurePoint(view, to);
  EXPECT_NEAR(selection_rect.left, a.x, 1);
  EXPECT_NEAR(selection_rect.top, a.y, 1);
  EXPECT_NEAR(selection_rect.right, b.x, 1);
  EXPECT_NEAR(selection_rect.bottom, b.y, 1);
  // The blinking outline reaches the view; the inside stays clear.
  spin(150);
  const QImage image = view->viewImage();
  EXPECT_GT(inkNear(image, QPoint(180, 100), 4), 0);
  EXPECT_GT(inkNear(image, QPoint(100, 150), 4), 0);
  EXPECT_EQ(inkNear(image, QPoint(180, 150), 4), 0);
}

TEST_F(EndToEnd, DraggingTheCentreMovesTheCircleOnScreen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_cercle);
  click(view, QPoint(200, 200));
  click(view, QPoint(250, 200));
  const std::vector<object*> circles = objectsOf(view->info(), &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  object* centre = circles[0]->parents[0];
  const double x0 = centre->valeurs[0].h, y0 = centre->valeurs[0].v;

  chooseTool(view, nullptr);
  drag(view, QPoint(200, 200), QPoint(320, 260));
  EXPECT_EQ(manipulating, 0);
  EXPECT_NEAR(centre->valeurs[0].h - x0, 120, 1);
  EXPECT_NEAR(centre->valeurs[0].v - y0, 60, 1);
  // The circle, radius 50 around its new centre, follows on screen.
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(370, 260)), 0);
  EXPECT_GT(inkNear(image, QPoint(320, 210)), 0);
  EXPECT_EQ(inkNear(image, QPoint(150, 200)), 0);
  EXPECT_EQ(inkNear(image, QPoint(200, 150)), 0);
}

TEST_F(EndToEnd, AFigureSavedClosedAndOpenedAgainHoldsTheSameObjects) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(120, 110));
  click(view, QPoint(260, 180));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(400, 300));
  click(view, QPoint(450, 330));
  chooseTool(view, nullptr);

  struct seen {
    construct_class* cls;
    double h, v;
  };
  auto summary = [](kelvo_win_info* fig) {
    std::vector<seen> list;
    for (object* o = fig ? fig->first : nullptr; o; o = o->next)
      list.push_back({o->classe, o->valeurs ? o->valeurs[0].h : 0, o->valeurs ? o->valeurs[0].v : 0});
    return list;
  };
  const std::vector<seen> before = summary(view->info());
  // The origin and the axes, two points and their segment, a centre and its
  // circle (the second click gives the radius).
  ASSERT_EQ(before.size(), 7u);

  KPDocument* doc = KPDocument::currentDocument();
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath("two shapes.fig");
  KPDocument::setSavePanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(doc->saveDocument());
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  doc->close();
  spin(20);
  ASSERT_TRUE(KPDocument::liveDocuments().empty());

  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_NE(reopened->figureView(), nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  const std::vector<seen> after = summary(reopened->figureView()->info());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].cls, before[i].cls) << i;
    EXPECT_NEAR(after[i].h, before[i].h, 1e-3) << i;
    EXPECT_NEAR(after[i].v, before[i].v, 1e-3) << i;
  }
  EXPECT_FALSE(reopened->figureView()->info()->wflags & kFigureChanged);
}

TEST_F(EndToEnd, AFigureNamedAtLaunchOpensAndIsDrawn) {
  const QString path = dir.filePath("launch.fig");
  {
    KPFigureView* view = openView();
    ASSERT_NE(view, nullptr);
    chooseTool(view, &classe_segment);
    click(view, QPoint(100, 300));
    click(view, QPoint(300, 300));
    chooseTool(view, nullptr);
    ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
    closeAll();
  }
  app()->openLaunchArguments({QStringLiteral("-psn_0_1"), path});
  spin(50);
  ASSERT_EQ(KPDocument::liveDocuments().size(), 1u);
  KPDocument* doc = KPDocument::liveDocuments().front();
  KPFigureView* view = doc->figureView();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(waitForView(view));
  EXPECT_EQ(objectsOf(view->info(), &classe_segment).size(), 1u);
  EXPECT_EQ(doc->figureWindow()->windowTitle(), QStringLiteral("launch.fig"));
  const QImage image = shown(view);
  EXPECT_GT(inkNear(image, QPoint(200, 300)), 0);
  EXPECT_EQ(inkNear(image, QPoint(200, 250)), 0);
}

TEST_F(EndToEnd, AnEmptyOrCutFigureNamedAtLaunchSaysWhyItCannotBeRead) {
  struct Case {
    const char* name;
    QByteArray bytes;
    QString reason;
  } cases[] = {
      {"empty.fig", QByteArray(), QStringLiteral("the file is empty")},
      {"cut.fig",
       QByteArray("Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nWindow center x: 10.71cm y: -7.5"),
       QStringLiteral("the file ends inside the window line, at line 3")},
  };
  for (const Case& c : cases) {
    closeAll();
    messages().clear();
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.bytes);
    file.close();
    app()->openLaunchArguments({path});
    spin(50);
    for (KPDocument* doc : KPDocument::liveDocuments())
      if (doc->figureView() != nullptr) waitForView(doc->figureView());
    ASSERT_EQ(messages().size(), 1) << c.name;
    EXPECT_EQ(messages()[0].trimmed().toStdString(), ("The figure cannot be read: " + c.reason).toStdString());
  }
}
