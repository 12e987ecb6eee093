// Axes with their graduation codes, grids, angle marks, springs and
// buttons computed from their parents.
#include <cmath>
#include <numbers>

#include "../conics/reference_table.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/text/text_record.h"

namespace {

bool g_printing = false;

class AxesCompute : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    graduation_spacing = 29;
    g_printing = false;
    KPGeoDocument::installHooks({.printing_in_progress = [] { return g_printing; }});
  }
  void TearDown() override {
    KPGeoDocument::installHooks({});
    GeometryTest::TearDown();
  }
  object* axes(double ox, double oy, double ih, double iv, double jh, double jv) {
    return make(classe_axe, 1, {point(ox, oy), point(ox + ih, oy + iv), point(ox + jh, oy + jv)});
  }
  object* mark(double ah, double av, double oh, double ov, double bh, double bv) {
    object* m = make(classe_angle, 0, {point(ah, av), point(oh, ov), point(bh, bv)});
    return m;
  }
};

TEST(Graduation, ListedCodesAndClosedForm) {
  graduation_spacing = 29;
  EXPECT_EQ(graduation_code_for_length(30), 1);
  EXPECT_EQ(graduation_code_for_length(100), 2);
  EXPECT_EQ(graduation_code_for_length(300), -7);
  EXPECT_EQ(graduation_code_for_length(3), 9);
  EXPECT_DOUBLE_EQ(graduation_step(2), 0.5);
  EXPECT_DOUBLE_EQ(graduation_step(9), 10);
  EXPECT_DOUBLE_EQ(graduation_step(-7), 0.1);
  const auto cases = read_reference_table("../geometry/graduation_reference.txt");
  ASSERT_GE(cases.size(), 10000u);
  for (const auto& c : cases)
    EXPECT_EQ(graduation_code_for_length(c.fields[0][0]), static_cast<int32_t>(c.fields[1][0]))
        << "unit of " << c.fields[0][0] << " px";
  // A spacing of 0 means the default.
  graduation_spacing = 0;
  EXPECT_EQ(graduation_code_for_length(100), 2);
  EXPECT_EQ(graduation_spacing, 29);
}

// Codes come from files: nothing in them may divide by zero, loop or turn
// NaN into an integer. Such codes act as 1.
TEST(Graduation, DamagedCodesActAsOne) {
  for (int32_t code : {0, 8, -8, 16, INT32_MIN, INT32_MAX & ~7, 1000 * 8 + 1, -1000 * 8 + 5, 0x7FFF * 8 + 2})
    EXPECT_EQ(graduation_step(code), 1) << code;
  for (double length : {0.0, -5.0, double(NAN), double(INFINITY), 1e-320})
    EXPECT_EQ(graduation_code_for_length(length), 1) << length;
}

TEST_F(AxesCompute, DefaultAxesAreMarkedAndCoded) {
  const double u = pixels_per_unit;
  object* a = axes(0, 0, u, 0, 0, -u);
  EXPECT_EQ(a->state & OBJ_UNDEFINED, 0u);
  EXPECT_EQ(a->math.equa.standard, 1);
  EXPECT_EQ(a->valeurs[1].info.entier, graduation_code_for_length(u));
  object* moved = axes(1, 0, u, 0, 0, -u);
  EXPECT_EQ(moved->math.equa.standard, 0);
  object* codes = axes(0, 0, 100, 0, 0, -300);
  EXPECT_EQ(codes->valeurs[1].info.entier, 2);
  EXPECT_EQ(codes->valeurs[2].info.entier, -7);
}

TEST_F(AxesCompute, DegenerateUnitsMakeUndefinedAxesThatKeepTheirCodes) {
  object* a = axes(0, 0, 100, 0, 0, -100);
  ASSERT_EQ(a->valeurs[1].info.entier, 2);
  // The unit points collapse on the origin: undefined, codes as they were.
  object* i = a->parents[1];
  i->valeurs[0].h = 0;
  recompute_object(a);
  EXPECT_TRUE(a->state & OBJ_UNDEFINED);
  EXPECT_EQ(a->valeurs[1].info.entier, 2);
  object* parallel = axes(0, 0, 50, 50, -20, -20);
  EXPECT_TRUE(parallel->state & OBJ_UNDEFINED);
  // A far origin leaves the axes undefined.
  object* far = make(classe_axe, 0, {far_point(1, 0)});
  EXPECT_TRUE(far->state & OBJ_UNDEFINED);
}

TEST_F(AxesCompute, GridScalesUnitsToOneStep) {
  object* a = axes(10, 20, 100, 0, 0, -300);
  object* g = make(classe_grid, 0, {a});
  EXPECT_AT(g->valeurs[0], 10, 20);
  EXPECT_AT(g->valeurs[1], 50, 0);
  EXPECT_AT(g->valeurs[2], 0, -30);
  const struct {
    uint8_t kind;
    double step;
  } kinds[] = {{1, std::numbers::pi / 6}, {2, std::numbers::pi / 10}, {3, 0.5}, {9, std::numbers::pi / 6}};
  for (const auto& k : kinds) {
    g->math.equa.typeunite = k.kind;
    recompute_object(g);
    EXPECT_DOUBLE_EQ(g->valeurs[0].info.rayon, k.step) << int(k.kind);
  }
  // A code read from a file with low bits 0 acts as 1.
  a->valeurs[1].info.entier = 16;
  g->math.equa.typeunite = 0;
  compute_grid(g);
  EXPECT_AT(g->valeurs[1], 100, 0);
  // Grids of undefined axes are undefined.
  a->parents[1]->valeurs[0].h = 10;
  recompute_all();
  EXPECT_TRUE(g->state & OBJ_UNDEFINED);
}

TEST_F(AxesCompute, AngleMarkRadiusStaysWithinItsBounds) {
  valeur o{}, a{}, b{};
  double r = 0, len[2];
  const struct {
    double arm;
    double radius;
  } cases[] = {{40, 10}, {200, 25}, {1000, 50}};
  for (const auto& c : cases) {
    a.h = c.arm;
    b.v = c.arm * 2;
    ASSERT_TRUE(angle_mark_radius(&a, &o, &b, &r, len));
    EXPECT_DOUBLE_EQ(r, c.radius);
    EXPECT_DOUBLE_EQ(len[0], c.arm);
  }
  g_printing = true;
  a.h = 40;
  ASSERT_TRUE(angle_mark_radius(&a, &o, &b, &r, len));
  EXPECT_DOUBLE_EQ(r, 5);
  b.v = 0;
  EXPECT_FALSE(angle_mark_radius(&a, &o, &b, &r, len));
}

TEST_F(AxesCompute, AngleMarkValues) {
  object* m = mark(100, 0, 0, 0, 0, -100);
  const valeur* v = m->valeurs;
  const double r = 100.0 / 8;
  EXPECT_AT(v[0], r, 0);
  EXPECT_AT(v[2], 0, -r);
  EXPECT_AT(v[1], r / std::sqrt(2.0), -r / std::sqrt(2.0));
  EXPECT_AT(v[3], 0, 0);
  EXPECT_DOUBLE_EQ(v[3].info.rayon, r);
  EXPECT_EQ(v[2].info.rayon, 1);  // a right angle
  // Not right: no flag. A negative size factor never flags.
  object* acute = mark(100, 0, 0, 0, 100, -100);
  EXPECT_EQ(acute->valeurs[2].info.rayon, 0);
  m->valeurs[1].info.rayon = -1;
  recompute_object(m);
  EXPECT_EQ(m->valeurs[2].info.rayon, 0);
  // Never below 3 pixels: the size factor is brought back.
  m->valeurs[1].info.rayon = 0.01;
  recompute_object(m);
  EXPECT_DOUBLE_EQ(m->valeurs[3].info.rayon, 3);
  EXPECT_DOUBLE_EQ(m->valeurs[1].info.rayon, 3 / r);
  // A straight angle puts the middle point square to the arms.
  object* straight = mark(100, 0, 0, 0, -100, 0);
  EXPECT_AT(straight->valeurs[1], 0, -r);
  // Coincident points, or a vertex at infinity: no mark.
  EXPECT_TRUE(mark(0, 0, 0, 0, 0, 0)->state & OBJ_UNDEFINED);
  EXPECT_TRUE(make(classe_angle, 0, {point(1, 0), far_point(1, 1), point(0, 1)})->state & OBJ_UNDEFINED);
}

TEST_F(AxesCompute, SpringsFollowTheirObjectAndButtonsTheirValue) {
  object* n = make(classe_nombre, 0, {});
  ASSERT_NE(n->te, nullptr);
  n->te->pos = {100, 40};
  n->te->size = {31, 15};
  object* anchor = point(10, 10);
  object* spring = make(classe_spring, 0, {n, anchor});
  EXPECT_AT(spring->valeurs[0], 115, 47);
  EXPECT_AT(spring->valeurs[1], 105, 37);
  n->te->pos = {0, 0};
  recompute_object(spring);
  EXPECT_AT(spring->valeurs[0], 15, 7);
  object* p = point(50, 60);
  object* on_point = make(classe_spring, 0, {p, anchor});
  EXPECT_AT(on_point->valeurs[1], 40, 50);

  valeur at{};
  at.h = 33.9;
  at.v = -12.7;
  object* button = make(classe_button, 0, {}, 0, at);
  ASSERT_NE(button->te, nullptr);
  button->te->size = {10, 10};
  bitmap_info picture{};
  uint8_t pixels[4] = {};
  picture.image = &picture;
  picture.pixels = pixels;
  picture.width = 64;
  picture.height = 5;
  button->bitmap = &picture;
  button->valeurs[0] = at;
  recompute_object(button);
  button->bitmap = nullptr;
  {
    EXPECT_EQ(button->te->size.w, 64);
    EXPECT_EQ(button->te->size.h, 10);
    EXPECT_EQ(button->te->pos.x, 33);
    EXPECT_EQ(button->te->pos.y, -12);
  }
}

}  // namespace
