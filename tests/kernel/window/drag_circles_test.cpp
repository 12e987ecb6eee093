// Drags involving circles and intersection points.
#include <cmath>

#include "drag_fixture.h"
#include "kernel/support/intersection_clicks.h"

namespace {

class DragCircles : public DragTest {
 protected:
  object* circle(object* centre, object* through) { return make(classe_cercle, 1, {centre, through}); }
};

TEST_F(DragCircles, APointOnACircleSlidesAlongIt) {
  object* o = point(0, 0);
  object* a = point(100, 0);
  object* c = circle(o, a);
  object* p = point_on(c, 3, 0, 100);
  ASSERT_EQ(press(p, 0, 100), 1);
  drag(300, 300);
  const double r = std::hypot(p->valeurs[0].h, p->valeurs[0].v);
  EXPECT_NEAR(r, 100, 1e-9);
  EXPECT_NEAR(p->valeurs[0].h, p->valeurs[0].v, 1e-9);
  EXPECT_AT(o->valeurs[0], 0, 0);
}

TEST_F(DragCircles, DraggingTheCentreMovesTheCircleAndDraggingTheCircleMovesBothPoints) {
  object* o = point(0, 0);
  object* a = point(100, 0);
  object* c = circle(o, a);
  ASSERT_EQ(press(o, 0, 0), 1);
  drag(50, 20);
  release(50, 20);
  EXPECT_AT(c->valeurs[0], 50, 20);
  EXPECT_NEAR(c->valeurs[1].info.rayon, std::hypot(50, 20), 1e-9);
  ASSERT_EQ(press(c, 150, 0), 1);
  drag(160, 10);
  EXPECT_AT(o->valeurs[0], 60, 30);
  EXPECT_AT(a->valeurs[0], 110, 10);
  EXPECT_NEAR(c->valeurs[1].info.rayon, std::hypot(50, 20), 1e-9);
}

TEST_F(DragCircles, AnIntersectionPointCannotBeDraggedButItsParentsCan) {
  object* o = point(0, 0);
  object* a = point(100, 0);
  object* c = circle(o, a);
  object* b = point(0, -200);
  object* d = point(0, 200);
  object* l = make(classe_droite, 1, {b, d});
  object* x = intersection_by_clicks(l, c);
  ASSERT_NE(x, nullptr);
  const valeur before = x->valeurs[0];
  EXPECT_EQ(press(x, static_cast<int32_t>(before.h), static_cast<int32_t>(before.v)), 0);
  EXPECT_EQ(manipulating, 0);
  ASSERT_EQ(press(l, 0, 0), 1);
  drag(30, 0);
  EXPECT_AT(b->valeurs[0], 30, -200);
  EXPECT_NEAR(x->valeurs[0].h, 30, 1e-9);
  EXPECT_NEAR(std::hypot(x->valeurs[0].h, x->valeurs[0].v), 100, 1e-9);
}

}  // namespace
