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
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

class EndToEnd : public FigureTest {};

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
