// A tool left half-way through the palette: what it made on the fly goes,
// and nothing of the figure keeps naming it.
#include <set>

#include "app/support/figure_test.h"
#include "kernel/objects/intersection_set.h"

namespace {

class EndToEndAbandonedTool : public FigureTest {
 protected:
  // Two lines crossing at `crossing`.
  static void crossingLines(KPFigureView* view, QPoint crossing) {
    chooseTool(view, &classe_droite);
    click(view, crossing + QPoint(-80, -60));
    click(view, crossing + QPoint(80, 60));
    click(view, crossing + QPoint(-80, 60));
    click(view, crossing + QPoint(80, -60));
  }

  // Every owner of every record of every intersection set is an object of
  // the figure.
  static void expectRecordsNameLiveObjects(kelvo_win_info* fig) {
    std::set<const object*> live;
    for (object* o = fig->first; o; o = o->next) live.insert(o);
    for (object* set : objectsOf(fig, &classe_interset))
      for (auto* r = static_cast<inter_rec*>(set->data); r && r->owner; ++r)
        EXPECT_TRUE(live.count(r->owner)) << "a record names an object that is gone";
  }
};

TEST_F(EndToEndAbandonedTool, APointMadeOnACrossingGoesWithTheToolAndComesBackAsAnIntersection) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const QPoint crossing(220, 170);
  crossingLines(view, crossing);
  ASSERT_EQ(objectsOf(fig, &classe_droite).size(), 2u);

  pickFromPalette(&classe_segment);
  click(view, crossing);
  ASSERT_EQ(objectsOf(fig, &classe_ptint).size(), 1u);
  const int with_point = fig->nbobj;
  pickFromPalette(kPointerTool);
  EXPECT_TRUE(objectsOf(fig, &classe_ptint).empty());
  EXPECT_TRUE(objectsOf(fig, &classe_interset).empty()) << "an empty intersection set stays behind";
  EXPECT_LT(fig->nbobj, with_point);
  expectRecordsNameLiveObjects(fig);

  // A free point takes the memory the intersection point had.
  chooseTool(view, &classe_point);
  click(view, QPoint(60, 300));
  // The crossing gives an intersection point again, not that free point.
  pickFromPalette(&classe_segment);
  click(view, crossing);
  click(view, QPoint(380, 60));
  const auto segments = objectsOf(fig, &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* end = segments[0]->parents[0];
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->classe, &classe_ptint);
  const tagPOINT at = figurePoint(view, crossing);
  EXPECT_NEAR(end->valeurs[0].h, at.x, 3);
  EXPECT_NEAR(end->valeurs[0].v, at.y, 3);
  expectRecordsNameLiveObjects(fig);
}

}  // namespace
