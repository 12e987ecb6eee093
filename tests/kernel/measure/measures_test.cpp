// Measures computed from their parents: angles against math.atan2, areas
// against exact shoelace sums, ellipse perimeters against mpmath's complete
// elliptic integral (tables in tests/data/measure), and the degenerate
// cases: half turns, vertical slopes, points at infinity, walks along a
// polygon.
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "../conics/reference_table.h"
#include "kernel/conics/plane_numerics.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/measure_compute.h"
#include "kernel/measure/measure_text.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"

namespace {

constexpr double kPi = std::numbers::pi;

class Measures : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    second_separator = ',';
    pixels_per_unit = 38;
  }

  // A measure of the class on the parents, with its unit byte and
  // decimals, computed.
  object* measure(construct_class& cls, int method, std::initializer_list<object*> parents, uint8_t unit = 0,
                  uint8_t decimals = 2) {
    object* m = make(cls, method, parents);
    if (!m) return nullptr;
    m->settings.unite = unit;
    m->settings.nbre_decimales = decimals;
    recompute_object(m);
    return m;
  }
  object* polygon(const std::vector<object*>& v) {
    current_class = &classe_polygone;
    objlist_clear(fig_->inputs);
    for (object* p : v) objlist_add(fig_->inputs, p, 0);
    variable_nb_values = static_cast<int16_t>(v.size() + 1);
    object* o = create_object(0, nullptr, 1, 1, 1);
    EXPECT_NE(o, nullptr);
    return o;
  }
  static double value(const object* m) { return m->valeurs[0].info.rayon; }
  static bool infinite(const object* m) { return (m->valeurs[0].infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }
  static std::string text(const object* m) { return m->te && m->te->text ? m->te->text : ""; }
  static std::vector<reference_case> table() { return read_reference_table("../measure/measure_reference.txt"); }
};

TEST_F(Measures, AnglesAtAVertexMatchAtan2AndAHalfTurnIsPlusPi) {
  int count = 0;
  for (const reference_case& c : table()) {
    if (c.word != "angle") continue;
    SCOPED_TRACE(testing::Message() << "measure_reference.txt line " << c.line);
    const std::vector<double>& f = c.fields[0];
    object* m = measure(classe_angleMes, 0, {point(f[0], f[1]), point(f[2], f[3]), point(f[4], f[5])});
    ASSERT_FALSE(m->state & OBJ_UNDEFINED);
    EXPECT_NEAR(value(m), c.fields[1][0], 1e-12);
    EXPECT_GT(value(m), -kPi);
    ++count;
  }
  EXPECT_GE(count, 150);
}

TEST_F(Measures, OrientedAreasMatchTheShoelaceSumAndFlipWithTheVertexOrder) {
  int count = 0;
  for (const reference_case& c : table()) {
    if (c.word != "area") continue;
    SCOPED_TRACE(testing::Message() << "measure_reference.txt line " << c.line);
    const std::vector<double>& f = c.fields[0];
    std::vector<object*> vertices, reversed;
    for (size_t i = 0; i + 1 < f.size(); i += 2) vertices.push_back(point(f[i], f[i + 1]));
    reversed.assign(vertices.rbegin(), vertices.rend());
    object* oriented = make(classe_aire, 0, {polygon(vertices)});
    oriented->math.polyarea = 1;
    recompute_object(oriented);
    EXPECT_NEAR(value(oriented), c.fields[1][0], 1e-9 * (1 + std::fabs(c.fields[1][0])));
    object* back = make(classe_aire, 0, {polygon(reversed)});
    back->math.polyarea = 1;
    recompute_object(back);
    EXPECT_NEAR(value(back), -c.fields[1][0], 1e-9 * (1 + std::fabs(c.fields[1][0])));
    // Without the orientation a simple polygon has the size of its area.
    object* plain = measure(classe_aire, 0, {polygon(vertices)});
    EXPECT_NEAR(value(plain), std::fabs(c.fields[1][0]), 1e-6 * (1 + std::fabs(c.fields[1][0])));
    ++count;
  }
  EXPECT_GE(count, 60);
}

TEST_F(Measures, ASelfCrossingPolygonTakesTheAreaOfItsOuterBoundary) {
  // A bow tie: the oriented sum cancels, the enclosed area does not.
  std::vector<object*> v = {point(0, 0), point(100, 100), point(100, 0), point(0, 100)};
  object* plain = measure(classe_aire, 0, {polygon(v)});
  const dpoint pts[5] = {{0, 0}, {100, 100}, {100, 0}, {0, 100}, {0, 0}};
  EXPECT_NEAR(value(plain), polygon_area(5, pts), 1e-9);
  EXPECT_NEAR(value(plain), 5000, 1e-6);
  object* oriented = make(classe_aire, 0, {polygon(v)});
  oriented->math.polyarea = 1;
  recompute_object(oriented);
  EXPECT_EQ(value(oriented), 0);
}

TEST_F(Measures, EllipsePerimetersStayWithinTheBoundOfTheSeries) {
  int count = 0;
  for (const reference_case& c : table()) {
    if (c.word != "ellipse") continue;
    SCOPED_TRACE(testing::Message() << "measure_reference.txt line " << c.line);
    const double p = c.fields[0][0], q = c.fields[0][1], cx = c.fields[0][2], cy = c.fields[0][3];
    std::vector<object*> pts;
    for (double t : {0.3, 1.4, 2.6, 3.9, 5.1}) pts.push_back(point(cx + p * std::cos(t), cy + q * std::sin(t)));
    object* conic = make(classe_conic, 0, {pts[0], pts[1], pts[2], pts[3], pts[4]});
    object* length = measure(classe_length, 0, {conic}, 33);
    object* area = measure(classe_aire, 0, {conic}, 65);
    ASSERT_FALSE(infinite(length));
    const double exact = c.fields[1][0], bound = c.fields[1][1];
    EXPECT_LE(std::fabs(value(length) - exact), bound + 1e-7 * exact);
    EXPECT_NEAR(value(area), kPi * p * q, 1e-7 * p * q);
    ++count;
  }
  EXPECT_GE(count, 30);
}

TEST_F(Measures, SlopesOfVerticalAndHorizontalSegments) {
  object* a = point(100, 100);
  object* vertical = measure(classe_pente, 0, {make(classe_segment, 0, {a, point(100 + 5e-11, 200)})});
  EXPECT_TRUE(infinite(vertical));
  EXPECT_EQ(text(vertical), "\xB0");
  object* horizontal = measure(classe_pente, 0, {make(classe_segment, 0, {a, point(300, 100)})});
  EXPECT_FALSE(infinite(horizontal));
  EXPECT_EQ(value(horizontal), 0);
  EXPECT_FALSE(std::signbit(value(horizontal)));
  EXPECT_EQ(text(horizontal), "0.00");
  // Up and to the right on the screen is a positive slope.
  object* rising = measure(classe_pente, 0, {make(classe_segment, 0, {a, point(110, 90)})});
  EXPECT_NEAR(value(rising), 1, 1e-12);
  object* line = measure(classe_pente, 0, {make(classe_droite, 1, {a, point(120, 90)})});
  EXPECT_NEAR(value(line), 0.5, 1e-12);
}

TEST_F(Measures, LengthsPerimetersAndDistances) {
  object* a = point(0, 0);
  object* b = point(30, 40);
  EXPECT_NEAR(value(measure(classe_length, 0, {make(classe_segment, 0, {a, b})}, 32)), 50, 1e-12);
  object* circle = make(classe_cercle, 1, {a, b});
  EXPECT_NEAR(value(measure(classe_length, 0, {circle}, 32)), 100 * kPi, 1e-9);
  EXPECT_NEAR(value(measure(classe_aire, 0, {circle}, 64)), 2500 * kPi, 1e-9);
  object* tri = make(classe_triangle, 0, {a, b, point(30, 0)});
  EXPECT_NEAR(value(measure(classe_length, 0, {tri}, 32)), 120, 1e-9);
  EXPECT_NEAR(std::fabs(value(measure(classe_aire, 0, {tri}, 64))), 600, 1e-9);
  // A point and a point, a line, a circle.
  EXPECT_NEAR(value(measure(classe_length, 1, {a, b}, 32)), 50, 1e-12);
  object* line = make(classe_droite, 1, {point(0, 100), point(50, 100)});
  EXPECT_NEAR(value(measure(classe_length, 1, {b, line}, 32)), 60, 1e-12);
  EXPECT_NEAR(value(measure(classe_length, 1, {point(60, 80), circle}, 32)), 50, 1e-9);
  EXPECT_NEAR(value(measure(classe_length, 1, {point(0, 0), make(classe_cercle, 1, {point(0, 0), b})}, 32)), 50, 1e-9);
}

TEST_F(Measures, ArcsAndAngleMarks) {
  // A quarter of the circle of radius 50 about the origin, through its middle.
  const double s = 50 / std::sqrt(2.0);
  object* arc = make(classe_arc, 0, {point(50, 0), point(s, -s), point(0, -50)});
  EXPECT_NEAR(value(measure(classe_length, 0, {arc}, 32)), 25 * kPi, 1e-9);
  // The three quarters that pass the other way.
  object* major = make(classe_arc, 0, {point(50, 0), point(-s, s), point(0, -50)});
  EXPECT_NEAR(value(measure(classe_length, 0, {major}, 32)), 75 * kPi, 1e-9);
  // Flat arcs: the segment between the ends, or the rest of the line.
  object* flat = make(classe_arc, 0, {point(0, 0), point(10, 0), point(30, 0)});
  EXPECT_NEAR(value(measure(classe_length, 0, {flat}, 32)), 30, 1e-9);
  object* outside = make(classe_arc, 0, {point(0, 0), point(40, 0), point(30, 0)});
  EXPECT_TRUE(infinite(measure(classe_length, 0, {outside}, 32)));
  object* mark = make(classe_angle, 0, {point(100, 0), point(0, 0), point(0, -100)});
  object* angle = measure(classe_angleMes, 1, {mark}, 128);
  EXPECT_NEAR(std::fabs(value(angle)), kPi / 2, 1e-9);
}

TEST_F(Measures, AZeroArmLeavesTheAngleUndefinedAndItsTextAlone) {
  object* b = point(10, 10);
  object* m = measure(classe_angleMes, 0, {point(50, 10), b, point(10, -30)}, 129, 0);
  EXPECT_EQ(text(m), "90 \xFB");
  object* c = point(10, 10);
  m->parents[2] = c;
  recompute_object(m);
  EXPECT_TRUE(m->state & OBJ_UNDEFINED);
  EXPECT_EQ(text(m), "90 \xFB");
}

TEST_F(Measures, TheAbsoluteValueBitShowsMinusThirtyDegreesAsThirty) {
  object* b = point(0, 0);
  object* a = point(100, 0);
  // 30 degrees clockwise on the screen: -30 in the usual orientation.
  object* c = point(100 * std::cos(kPi / 6), 100 * std::sin(kPi / 6));
  object* plain = measure(classe_angleMes, 0, {a, b, c}, 129, 1);
  EXPECT_EQ(text(plain), "-30.0 \xFB");
  object* absolute = measure(classe_angleMes, 0, {a, b, c}, 129, 128 | 1);
  EXPECT_NEAR(value(absolute), kPi / 6, 1e-12);
  EXPECT_EQ(text(absolute), "30.0 \xFB");
}

TEST_F(Measures, DistancesBetweenPointsAtInfinity) {
  object* same1 = far_point(1, 2);
  object* same2 = far_point(-2, -4);
  object* other = far_point(1, 0);
  EXPECT_EQ(value(measure(classe_length, 1, {same1, same2}, 32)), 0);
  EXPECT_TRUE(infinite(measure(classe_length, 1, {same1, other}, 32)));
  object* finite = measure(classe_length, 1, {same1, point(0, 0)}, 32);
  EXPECT_TRUE(infinite(finite));
  EXPECT_EQ(text(finite), "\xB0 mm");
}

class AlongPolygon : public Measures {
 protected:
  // A 100 x 50 rectangle (perimeter 300) and a measure from p to q along it.
  void SetUp() override {
    Measures::SetUp();
    rect_ = polygon({point(0, 0), point(100, 0), point(100, 50), point(0, 50)});
  }
  double along(object* p, object* q) {
    object* m = make(classe_length, 1, {p, q});
    m->settings.unite = 32;
    GlobalEnsureSize(&m->parents, 3, sizeof(object*));
    m->parents[2] = rect_;
    m->nbparents = 3;
    recompute_object(m);
    EXPECT_FALSE(m->state & OBJ_UNDEFINED);
    return value(m);
  }
  object* on_rect(double h, double v) { return point_on(rect_, 2, h, v); }
  object* rect_ = nullptr;
};

TEST_F(AlongPolygon, APointToItselfIsZeroAndJustBehindItIsAlmostTheWholeWay) {
  object* p = on_rect(40, 0);
  object* behind = on_rect(39, 0);
  EXPECT_NEAR(along(p, p), 0, 1e-9);
  EXPECT_NEAR(along(p, behind), 299, 1e-9);
  EXPECT_NEAR(along(behind, p), 1, 1e-9);
  // Across sides, and from a vertex.
  EXPECT_NEAR(along(p, on_rect(100, 20)), 80, 1e-9);
  EXPECT_NEAR(along(on_rect(0, 30), p), 70, 1e-9);
  EXPECT_NEAR(along(rect_->parents[1], on_rect(50, 50)), 100, 1e-9);
}

TEST_F(AlongPolygon, SideIndicesFromFilesAreBroughtIntoThePolygon) {
  object* p = on_rect(40, 0);
  ASSERT_NE(p->data, nullptr);
  for (double s : {-3.6, 4.4, 1e300, -1e300, std::nan("")}) {
    SCOPED_TRACE(s);
    *static_cast<double*>(p->data) = s;
    const int side = polygon_side_of_point(p, rect_);
    EXPECT_GE(side, 0);
    EXPECT_LT(side, 4);
  }
  *static_cast<double*>(p->data) = -3.6;
  EXPECT_EQ(polygon_side_of_point(p, rect_), 0);
  *static_cast<double*>(p->data) = 6.5;
  EXPECT_EQ(polygon_side_of_point(p, rect_), 2);
}

}  // namespace
