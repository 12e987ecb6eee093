// Transformed points and measurement transfers: images checked against a
// table worked out once with numpy (tests/data/geometry/make_reference.py),
// the identities each transformation must keep, and the edge cases.
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "../conics/reference_table.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/compute_transform.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"

namespace {

constexpr double kPi = std::numbers::pi;

class Transforms : public GeometryTest {
 protected:
  // A number holding `value` in internal units, of kind `kind` (unite >> 5).
  object* number(double value, uint8_t kind = 0, uint8_t unit = 0) {
    object* n = make(classe_nombre, 0, {});
    n->settings.unite = static_cast<uint8_t>(kind << 5 | unit);
    n->valeurs[0].info.rayon = value;
    return n;
  }
  object* pt(const std::vector<double>& f, size_t i) { return point(f[i], f[i + 1]); }
  object* line(object* a, object* b) { return make(classe_droite, 1, {a, b}); }
  object* circle(object* c, object* on) { return make(classe_cercle, 1, {c, on}); }
  object* polygon(const std::vector<object*>& v) {
    current_class = &classe_polygone;
    objlist_clear(fig_->inputs);
    for (object* p : v) objlist_add(fig_->inputs, p, 0);
    variable_nb_values = static_cast<int16_t>(v.size() + 1);
    object* o = create_object(0, nullptr, 1, 1, 1);
    EXPECT_NE(o, nullptr);
    return o;
  }
  object* transfer(int method, std::initializer_list<object*> parents, valeur first = {}) {
    return make(classe_compas3, method, parents, method == 2 ? 2 : 1, first);
  }
  static std::vector<reference_case> table() { return read_reference_table("../geometry/transform_reference.txt"); }
};

TEST_F(Transforms, ImagesMatchTheReferenceTable) {
  const auto cases = table();
  ASSERT_GE(cases.size(), 280u);
  for (const reference_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "transform_reference.txt line " << c.line << " " << c.word);
    const std::vector<double>& want = c.fields.back();
    object* image = nullptr;
    if (c.word == "reflect") {
      image = make(classe_symetriquedr, 0, {pt(c.fields[0], 0), line(pt(c.fields[1], 0), pt(c.fields[1], 2))});
    } else if (c.word == "symmetry") {
      image = make(classe_symetrique, 0, {pt(c.fields[0], 0), pt(c.fields[1], 0)});
    } else if (c.word == "rotate") {
      image = make(classe_rotation, 0, {pt(c.fields[0], 0), pt(c.fields[1], 0), number(c.fields[1][2], 4)});
    } else if (c.word == "dilate") {
      image = make(classe_dilatation, 0, {pt(c.fields[0], 0), pt(c.fields[1], 0), number(c.fields[1][2])});
    } else if (c.word == "similar") {
      const auto& f = c.fields[1];
      image = make(classe_dilatation, 1, {pt(c.fields[0], 0), pt(f, 0), pt(f, 2), pt(f, 4)});
    } else if (c.word == "invert") {
      const auto& f = c.fields[1];
      image = make(classe_inverse, 0, {pt(c.fields[0], 0), circle(pt(f, 0), pt(f, 2))});
    } else if (c.word == "translate") {
      const auto& f = c.fields[1];
      image = make(classe_translation, 0, {pt(c.fields[0], 0), make(classe_vecteur, 0, {pt(f, 0), pt(f, 2)})});
    } else if (c.word == "circle") {
      const auto& f = c.fields[0];
      image = transfer(1, {circle(pt(f, 0), pt(f, 2)), pt(f, 4), number(f[6], 1, 1)});
    } else if (c.word == "polygon") {
      const auto& f = c.fields[0];
      std::vector<object*> v;
      for (size_t i = 0; i + 1 < f.size(); i += 2) v.push_back(pt(f, i));
      image = transfer(3, {polygon(v), number(c.fields[1][0], 1, 1)});
    } else {
      ADD_FAILURE() << "unknown case";
      continue;
    }
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY), 0u);
    const double tol = 1e-9 * (1 + std::fabs(want[0]) + std::fabs(want[1]));
    EXPECT_NEAR(image->valeurs[0].h, want[0], tol);
    EXPECT_NEAR(image->valeurs[0].v, want[1], tol);
  }
}

// Seeded random points; tolerances relative to the coordinates' size.
TEST_F(Transforms, IdentitiesHold) {
  std::mt19937 rng(27);
  std::uniform_real_distribution<double> u(-300, 300);
  for (int i = 0; i < 25; ++i) {
    object* p = point(u(rng), u(rng));
    object* a = point(u(rng), u(rng));
    object* b = point(u(rng), u(rng));
    const valeur& pv = p->valeurs[0];
    // Reflection, symmetry and inversion are involutions.
    object* mirror = line(a, b);
    object* r1 = make(classe_symetriquedr, 0, {p, mirror});
    object* r2 = make(classe_symetriquedr, 0, {r1, mirror});
    EXPECT_AT(r2->valeurs[0], pv.h, pv.v);
    object* s2 = make(classe_symetrique, 0, {make(classe_symetrique, 0, {p, a}), a});
    EXPECT_AT(s2->valeurs[0], pv.h, pv.v);
    object* k = circle(a, b);
    object* i1 = make(classe_inverse, 0, {p, k});
    object* i2 = make(classe_inverse, 0, {i1, k});
    EXPECT_NEAR(i2->valeurs[0].h, pv.h, 1e-7);
    EXPECT_NEAR(i2->valeurs[0].v, pv.v, 1e-7);
    // |QP| |QP'| = r^2 with Q, P, P' collinear.
    const valeur &q = a->valeurs[0], &ip = i1->valeurs[0];
    const double r = k->valeurs[1].info.rayon;
    const double qp = std::hypot(pv.h - q.h, pv.v - q.v), qi = std::hypot(ip.h - q.h, ip.v - q.v);
    EXPECT_NEAR(qp * qi, r * r, 1e-9 * r * r);
    EXPECT_NEAR((pv.h - q.h) * (ip.v - q.v) - (pv.v - q.v) * (ip.h - q.h), 0, 1e-7 * qp * qi);
    // A rotation keeps |CP| and turns by theta (v down: towards v).
    const double theta = u(rng) / 100;
    object* rot = make(classe_rotation, 0, {p, a, number(-theta, 4)});
    const valeur& rp = rot->valeurs[0];
    EXPECT_NEAR(std::hypot(rp.h - q.h, rp.v - q.v), qp, 1e-9 * qp);
    double turned = std::atan2(rp.v - q.v, rp.h - q.h) - std::atan2(pv.v - q.v, pv.h - q.h) - theta;
    turned = std::remainder(turned, 2 * kPi);
    EXPECT_NEAR(turned, 0, 1e-9);
    // Dilation: CP' = k CP.
    const double factor = u(rng) / 100;
    object* dil = make(classe_dilatation, 0, {p, a, number(factor)});
    EXPECT_AT(dil->valeurs[0], q.h + factor * (pv.h - q.h), q.v + factor * (pv.v - q.v));
    // A transfer on a circle: the chord is 2 r sin(d / 2r).
    const double d = u(rng);
    object* on = transfer(1, {k, b, number(d, 1, 1)});
    const valeur &bv = b->valeurs[0], &ov = on->valeurs[0];
    EXPECT_NEAR(std::hypot(ov.h - bv.h, ov.v - bv.v), std::fabs(2 * r * std::sin(d / (2 * r))), 1e-9 * (1 + r));
  }
}

TEST_F(Transforms, EdgeCases) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  // A point on the mirror is its own image; a zero-length mirror gives none.
  object* on_mirror = point(40, 0);
  EXPECT_AT(make(classe_symetriquedr, 0, {on_mirror, make(classe_segment, 0, {a, b})})->valeurs[0], 40, 0);
  object* flat = make(classe_symetriquedr, 0, {point(3, 4), make(classe_segment, 0, {a, point(0, 0)})});
  EXPECT_TRUE(flat->state & OBJ_UNDEFINED);

  // The centre of inversion goes to infinity and back.
  object* k = circle(point(10, 10), point(20, 10));
  object* centre_image = make(classe_inverse, 0, {point(10, 10), k});
  EXPECT_TRUE(centre_image->state & OBJ_AT_INFINITY);
  object* back = make(classe_inverse, 0, {centre_image, k});
  EXPECT_EQ(back->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED), 0u);
  EXPECT_AT(back->valeurs[0], 10, 10);

  // A rotation by a whole turn about a centre at infinity keeps the point.
  object* far = far_point(1, 1);
  object* kept = make(classe_rotation, 0, {point(5, 6), far, number(-2 * kPi, 4)});
  EXPECT_EQ(kept->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED), 0u);
  EXPECT_AT(kept->valeurs[0], 5, 6);

  // Transfers along a polygon: 0 gives vertex 0, a longer one wraps, a
  // negative one walks backwards.
  object* square = polygon({point(0, 0), point(10, 0), point(10, 10), point(0, 10)});
  EXPECT_AT(transfer(3, {square, number(0, 1, 1)})->valeurs[0], 0, 0);
  object* wrapped = transfer(3, {square, number(45, 1, 1)});
  EXPECT_AT(wrapped->valeurs[0], 5, 0);
  EXPECT_EQ(wrapped->math.side.index, 0);
  object* backwards = transfer(3, {square, number(-5, 1, 1)});
  EXPECT_AT(backwards->valeurs[0], 0, 5);
  EXPECT_EQ(backwards->math.side.index, 3);
  // Huge distances end, and keep their place modulo the perimeter.
  object* huge = transfer(3, {square, number(4e9 + 15, 1, 1)});
  EXPECT_AT(huge->valeurs[0], 10, 5);
  EXPECT_EQ(transfer(3, {square, number(1e300, 1, 1)})->state & OBJ_UNDEFINED, 0u);
  // A polygon of no perimeter carries nothing.
  object* dot = polygon({point(7, 7), point(7, 7), point(7, 7)});
  EXPECT_TRUE(transfer(3, {dot, number(5, 1, 1)})->state & OBJ_UNDEFINED);
  EXPECT_TRUE(transfer(3, {square, number(NAN, 1, 1)})->state & OBJ_UNDEFINED);

  // A transfer from a point with no direction goes along (1, -1).
  object* from = transfer(2, {point(0, 0), number(2, 1, 1)});
  EXPECT_AT(from->valeurs[1], 1, -1);
  EXPECT_AT(from->valeurs[0], std::sqrt(2.0), -std::sqrt(2.0));
  // On a coordinate system, the distance counts in the number's unit.
  object* axes = make(classe_axe, 1, {point(0, 0), point(30, 0), point(0, -30)});
  object* along = transfer(0, {axes, number(2 * pixels_per_unit, 1, 1)});
  along->math.side.index = 1;  // the first axis
  recompute_object(along);
  EXPECT_AT(along->valeurs[0], 60, 0);
  along->math.side.index = 2;
  recompute_object(along);
  EXPECT_AT(along->valeurs[0], 0, -60);
}

TEST(UnitFactor, FollowsKindAndUnit) {
  object o{};
  const double g = pixels_per_unit;
  const struct {
    uint8_t unite;
    double factor;
  } cases[] = {
      {0, 1},           {1 << 5 | 0, 0.1 * g}, {1 << 5 | 1, g},          {1 << 5 | 2, 100 * g},
      {1 << 5 | 3, 1e5 * g}, {2 << 5 | 1, g * g}, {2 << 5 | 0, 0.01 * g * g}, {4 << 5 | 0, 1},
      {4 << 5 | 1, kPi / 180}, {4 << 5 | 2, kPi / 200}, {4 << 5 | 3, kPi}, {5 << 5, std::sqrt(g)},
      {3 << 5, 1},      {7 << 5 | 4, 1},
  };
  for (const auto& c : cases) {
    o.settings.unite = c.unite;
    EXPECT_NEAR(measure_unit_factor(&o), c.factor, 1e-12 * c.factor) << int(c.unite);
  }
}

}  // namespace
