// Redefining an object through the application: the tool chosen on the
// palette, its menu answered as a user answers it, the new definition
// clicked in the view.
#include <QMenu>
#include <QTimer>
#include <cmath>

#include "app/panels/figure_description_drawer.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/redefine_tool.h"
#include "platform/kp_qt_bridge.h"

namespace {

class EndToEndRedefine : public FigureTest {};

TEST_F(EndToEndRedefine, AFreePointPutOnACircleShowsThereAndFollowsItsCentre) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(90, 150), b(150, 260), centre(260, 150), through(340, 150), onCircle(260, 70);
  chooseTool(view, &classe_segment);
  click(view, a);
  click(view, b);
  chooseTool(view, &classe_cercle);
  click(view, centre);
  click(view, through);
  chooseTool(view, nullptr);
  kelvo_win_info* fig = view->info();
  const auto segments = objectsOf(fig, &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* seg = segments[0];
  object* old = seg->parents[0];
  ASSERT_EQ(old->classe, &classe_point);
  old->settings.Color = 0x00C00000;
  const uint32_t style = old->settings.Color;
  const std::string name = old->te && old->te->text ? old->te->text : "";
  ASSERT_GT(inkNear(shown(view), a), 0);

  pickFromPalette(&classe_redefine);
  ASSERT_EQ(current_class, &classe_redefine);
  bool chosen = false;
  chooseClassInMenu(&classe_ptsur, &chosen);
  // The menu opens on the press and takes the release itself, as a pop-up
  // menu does.
  moveTo(view, a);
  QTest::mousePress(view, Qt::LeftButton, {}, a);
  spin(20);
  ASSERT_TRUE(chosen);
  ASSERT_EQ(current_class, &classe_ptsur);
  click(view, onCircle);
  spin(20);
  EXPECT_EQ(current_class, &classe_redefine);
  EXPECT_TRUE(redefinition_waiting());

  object* n = seg->parents[0];
  ASSERT_NE(n, old);
  EXPECT_EQ(n->classe, &classe_ptsur);
  EXPECT_EQ(n->settings.Color, style);
  EXPECT_EQ(std::string(n->te && n->te->text ? n->te->text : ""), name);
  const QImage after = shown(view);
  EXPECT_EQ(inkNear(after, a), 0);
  EXPECT_GT(inkNear(after, onCircle), 0);

  // Its line in the description names the new construction.
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("View"), QStringLiteral("Show Figure Description")));
  spin(20);
  NSFigureDescDataSource* source = w->getFigureDescDataSource();
  source->refresh(false);
  const int line = source->lineOfObject(n);
  ASSERT_GT(line, 0);
  const QString kind = source->index(line - 1, 1).data().toString();
  const char* ptsur_name = classe_ptsur.name && *classe_ptsur.name ? classe_ptsur.name : classe_ptsur.english_name;
  EXPECT_TRUE(kind.contains(QString::fromLatin1(ptsur_name), Qt::CaseInsensitive)) << kind.toStdString();

  // Dragging the centre carries the point along the circle.
  chooseTool(view, nullptr);
  const QPoint moved = centre + QPoint(30, 0);
  drag(view, centre, moved);
  const auto circles = objectsOf(fig, &classe_cercle);
  ASSERT_EQ(circles.size(), 1u);
  object* circle = circles[0];
  const valeur c = circle->valeurs[0];  // the centre
  const tagPOINT c0 = figurePoint(view, centre), r0 = figurePoint(view, through);
  ASSERT_GT(std::abs(c.h - c0.x), 10);  // the centre did move
  // The circle keeps its radius; the point stays on it.
  EXPECT_NEAR(std::hypot(n->valeurs[0].h - c.h, n->valeurs[0].v - c.v), std::hypot(r0.x - c0.x, r0.y - c0.y), 1.5);
  EXPECT_NEAR(seg->valeurs[0].h, n->valeurs[0].h, 1e-9);
  EXPECT_NEAR(seg->valeurs[0].v, n->valeurs[0].v, 1e-9);
}

}  // namespace
