// The plane routines of the measures (distances, crossings, the box of an
// arc) and the placing of texts beside their objects.
#include <cmath>
#include <numbers>
#include <cfloat>
#include <random>

#include "kernel/measure/plane_routines.h"
#include "kernel/measure/text_placement.h"
#include "kernel/measure/vector_measures.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/memory.h"
#include "kernel/text/text_record.h"

namespace {

constexpr double kPi = std::numbers::pi;

valeur at(double h, double v, double r = 0) {
  valeur x{};
  x.h = h;
  x.v = v;
  x.info.rayon = r;
  return x;
}

TEST(PlaneRoutines, DistancesToLinesAndCircles) {
  const valeur line[2] = {at(0, 0), at(3, 4)};
  double d = 0;
  const valeur off = at(4, -3);
  point_line_distance(&off, line, &d);
  EXPECT_NEAR(d, 5, 1e-12);
  const valeur null_line[2] = {at(0, 0), at(0, 0)};
  point_line_distance(&line[1], null_line, &d);
  EXPECT_EQ(d, DBL_MAX);
  const valeur circle[2] = {at(10, 10), at(15, 10, 5)};
  const valeur on = at(13, 14), centre = at(10, 10);
  point_circle_distance(&on, circle, &d);
  EXPECT_NEAR(d, 0, 1e-12);
  point_circle_distance(&centre, circle, &d);
  EXPECT_NEAR(d, 5, 1e-12);
  double sum = 1;
  add_point_distance(&on, &centre, &sum);
  EXPECT_NEAR(sum, 6, 1e-12);
  EXPECT_EQ(vector_cross_normalized(2, 4, -1, -2), 0);
  EXPECT_EQ(vector_cross_normalized(1, 0, 0, 1), 1);
  EXPECT_EQ(vector_cross_normalized(0, 0, 0, 0), 0);
}

TEST(PlaneRoutines, LinesAndCirclesCross) {
  valeur lines[4] = {at(0, 0), at(1, 0), at(5, -5), at(0, 1)};
  valeur out{};
  EXPECT_EQ(line_intersection(lines, &out), 0);
  EXPECT_NEAR(out.h, 5, 1e-12);
  EXPECT_NEAR(out.v, 0, 1e-12);
  lines[3] = at(2, 0);
  EXPECT_EQ(line_intersection(lines, &out), 0);
  EXPECT_TRUE(out.infini_inexist_indetermine & VAL_AT_INFINITY);
  lines[2] = at(7, 0);
  EXPECT_EQ(line_intersection(lines, &out), 1);  // the same line
  // A tangent gives its point of contact on both sides.
  const valeur tangent[4] = {at(-10, 5), at(1, 0), at(0, 0), at(5, 0, 5)};
  for (uint8_t side : {0, 1}) {
    ASSERT_EQ(line_circle_point(tangent, &out, side), 0);
    EXPECT_NEAR(out.h, 0, 1e-6);
    EXPECT_NEAR(out.v, 5, 1e-12);
  }
  const valeur apart[4] = {at(-10, 6), at(1, 0), at(0, 0), at(5, 0, 5)};
  EXPECT_EQ(line_circle_point(apart, &out, 0), 1);
  const valeur across[4] = {at(-10, 3), at(1, 0), at(0, 0), at(5, 0, 5)};
  valeur other{};
  ASSERT_EQ(line_circle_point(across, &out, 0), 0);
  ASSERT_EQ(line_circle_point(across, &other, 1), 0);
  EXPECT_NEAR(std::fabs(out.h - other.h), 8, 1e-12);
  EXPECT_NEAR(out.v, 3, 1e-12);
}

TEST(PlaneRoutines, RectanglesInside) {
  const tagRECT small{10, 10, 20, 20}, big{0, 0, 30, 30}, touching{10, 0, 30, 30};
  EXPECT_TRUE(is_rect_inside(&small, &big));
  EXPECT_FALSE(is_rect_inside(&big, &small));
  EXPECT_FALSE(is_rect_inside(&small, &touching));
}

class Placement : public GeometryTest {
 protected:
  // A text of three values on the given parents, its anchor at (h, v).
  object* text_on(std::initializer_list<object*> parents, double h, double v) {
    object* t = make(classe_text, 0, {}, 3);
    t->parents = alloc_block<object*>(static_cast<uint32_t>(parents.size()));
    int i = 0;
    for (object* p : parents) t->parents[i++] = p;
    t->nbparents = static_cast<int16_t>(parents.size());
    t->valeurs[0] = t->valeurs[1] = at(h, v);
    place_measure_text(t, false);
    return t;
  }
  static void drag_text(object* t, double h, double v) {
    t->valeurs[0].h = h;
    t->valeurs[0].v = v;
    place_measure_text(t, false);
  }
};

TEST_F(Placement, ATextStaysAttachedUpToSixtyPixelsAndComesLooseBeyond) {
  object* seg = make(classe_segment, 0, {point(0, 0), point(200, 0)});
  object* t = text_on({seg}, 100, 0);
  EXPECT_AT(t->valeurs[0], 100, 0);
  drag_text(t, 100, 30);
  EXPECT_FALSE(t->aux1 & kTextDetached);
  EXPECT_AT(t->valeurs[0], 100, 0);
  EXPECT_EQ(t->pos.x, 0);
  EXPECT_EQ(t->pos.y, 20);
  drag_text(t, 100, 75);
  EXPECT_TRUE(t->aux1 & kTextDetached);
  EXPECT_EQ(t->pos.x, 0);
  EXPECT_EQ(t->pos.y, 0);
  EXPECT_AT(t->valeurs[0], 100, 75);
  EXPECT_EQ(t->te->pos.y, 75);
  // Brought back near its object it attaches again.
  t->valeurs[1] = at(100, 0);
  drag_text(t, 100, 10);
  EXPECT_FALSE(t->aux1 & kTextDetached);
  EXPECT_EQ(t->pos.y, 10);
}

TEST_F(Placement, ADistanceTextKeepsItsPlaceBetweenThePointAndItsFoot) {
  object* p = point(0, 100);
  object* line = make(classe_droite, 1, {point(-50, 0), point(50, 0)});
  object* t = text_on({p, line}, 0, 0);
  t->valeurs[1] = at(0, 0);
  drag_text(t, 0, 40);
  EXPECT_AT(t->valeurs[0], 0, 40);
  EXPECT_NEAR(t->valeurs[2].info.rayon, 0.6, 1e-12);
  // The figure moves: the text keeps 60 % of the way from the point.
  move(p, 50, 200);
  place_measure_text(t, false);
  EXPECT_AT(t->valeurs[0], 50, 80);
  // Dragged past the foot it stays at the foot, past the point at the point.
  drag_text(t, 50, -30);
  EXPECT_AT(t->valeurs[0], 50, 0);
  drag_text(t, 50, 260);
  EXPECT_AT(t->valeurs[0], 50, 200);
}

TEST_F(Placement, ASinglePointTextDraggedFiftyPixelsEndsThirtyFromIt) {
  object* p = point(10, 10);
  object* t = text_on({p}, 10, 10);
  drag_text(t, 60, 10);
  EXPECT_AT(t->valeurs[0], 40, 10);
  move(p, 20, 20);
  place_measure_text(t, false);
  EXPECT_AT(t->valeurs[0], 50, 20);
}

TEST_F(Placement, AnAngleTextSitsSixtyPixelsAlongTheBisector) {
  object* t = text_on({point(100, 0), point(0, 0), point(0, 100)}, 1, 1);
  EXPECT_AT(t->valeurs[0], 60 / std::sqrt(2.0), 60 / std::sqrt(2.0));
}

TEST_F(Placement, TheBoxOfAnArcHoldsEveryPointOfIt) {
  std::mt19937 rng(32);
  std::uniform_real_distribution<double> coord(-300, 300);
  int checked = 0;
  for (int k = 0; k < 200; ++k) {
    object* arc = make(classe_arc, 0, {point(coord(rng), coord(rng)), point(coord(rng), coord(rng)),
                                       point(coord(rng), coord(rng))});
    if (arc->state & OBJ_UNDEFINED) continue;
    tagRECT box{};
    ASSERT_TRUE(arc_bounding_rect(arc, &box));
    const valeur* v = arc->valeurs;
    if (v[3].infini_inexist_indetermine & VAL_AT_INFINITY) continue;
    const double r = v[3].info.rayon;
    // Walk the arc from its first end through the middle to the last.
    const double a0 = std::atan2(v[0].v - v[3].v, v[0].h - v[3].h);
    const double a1 = std::atan2(v[1].v - v[3].v, v[1].h - v[3].h);
    const double a2 = std::atan2(v[2].v - v[3].v, v[2].h - v[3].h);
    auto turn = [](double from, double to) {
      double d = std::fmod(to - from, 2 * kPi);
      return d < 0 ? d + 2 * kPi : d;
    };
    const bool forward = turn(a0, a1) <= turn(a0, a2);
    const double span = forward ? turn(a0, a2) : -turn(a2, a0);
    for (int i = 0; i <= 400; ++i) {
      const double a = a0 + span * i / 400;
      const double h = v[3].h + r * std::cos(a), vv = v[3].v + r * std::sin(a);
      EXPECT_GE(h, box.left - 1.0);
      EXPECT_LE(h, box.right + 1.0);
      EXPECT_GE(vv, box.top - 1.0);
      EXPECT_LE(vv, box.bottom + 1.0);
    }
    ++checked;
  }
  EXPECT_GT(checked, 150);
  // Flat arcs: the ends' box, or everything.
  tagRECT box{};
  ASSERT_TRUE(arc_bounding_rect(make(classe_arc, 0, {point(0, 0), point(10, 5), point(30, 15)}), &box));
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 30);
  EXPECT_EQ(box.bottom, 15);
  ASSERT_TRUE(arc_bounding_rect(make(classe_arc, 0, {point(0, 0), point(40, 20), point(30, 15)}), &box));
  EXPECT_EQ(box.left, -32000);
  EXPECT_EQ(box.bottom, 32000);
}

}  // namespace
