// Coordinates, numbers, calculations and the five property checks. The
// checks are compared with exact rational decisions on integer figures on
// and just off each property (tests/data/measure/checks.txt).
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "../conics/reference_table.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/formula.h"
#include "kernel/model/compute_values.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"

namespace {

class ValueObjects : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    second_separator = ',';
    pixels_per_unit = 38;
  }
  static std::string text(const object* m) { return m->te && m->te->text ? m->te->text : ""; }
  // Axes with their origin at (100, 100) and units of 40 pixels.
  object* axes() { return make(classe_axe, 1, {point(100, 100), point(140, 100), point(100, 60)}); }
  object* coordinate(object* p, object* ax, uint8_t form, uint8_t which) {
    object* c = make(classe_equation, 0, {p, ax});
    c->math.equa.typeunite = form;
    c->math.equa.format = which;
    c->settings.nbre_decimales = 2;
    recompute_object(c);
    return c;
  }
  object* number(const char* shown) {
    object* n = make(classe_nombre, 0, {});
    set_text_record_text(n->te, shown);
    recompute_object(n);
    return n;
  }
  static bool holds(const object* check) { return check->te == reinterpret_cast<TErec**>(check->valeurs)[0]; }
};

TEST_F(ValueObjects, ThePolarAngleOfTheOriginIsAnErrorForEveryDependant) {
  object* ax = axes();
  object* p = point(100, 100);
  object* angle = coordinate(p, ax, 1, 1);
  EXPECT_TRUE(angle->aux2 & 16);
  EXPECT_EQ(text(angle), kernel_string(305));
  object* turned = make(classe_rotation, 0, {point(0, 0), point(10, 10), angle});
  EXPECT_TRUE(turned->state & OBJ_UNDEFINED);
  // Away from the origin the angle is back, and so is the dependant.
  move(p, 100, 60);
  EXPECT_FALSE(angle->aux2 & 16);
  EXPECT_EQ(text(angle), "90.00 \xFB");
  EXPECT_FALSE(turned->state & OBJ_UNDEFINED);
}

TEST_F(ValueObjects, CartesianAndPolarCoordinates) {
  object* ax = axes();
  object* tiny = coordinate(point(100 + 40e-11, 100), ax, 0, 0);
  EXPECT_EQ(tiny->valeurs[0].info.rayon, 0);
  EXPECT_EQ(text(tiny), "0.00");
  object* p = point(100 + 40 * 3, 100 - 40 * 4);
  EXPECT_EQ(text(coordinate(p, ax, 0, 0)), "3.00");
  EXPECT_EQ(text(coordinate(p, ax, 0, 1)), "4.00");
  EXPECT_EQ(text(coordinate(p, ax, 1, 0)), "5.00");
  object* grads = coordinate(p, ax, 2, 1);
  EXPECT_EQ(grads->settings.unite, 130);
  EXPECT_NEAR(grads->valeurs[0].info.rayon, std::atan2(4.0, 3.0), 1e-12);
  // The default axes count pixels_per_unit pixels a unit, upwards.
  object* standard = make(classe_axe, 0, {point(0, 0)});
  standard->valeurs[1].h = 38;
  standard->valeurs[2].v = -38;
  recompute_object(standard);
  ASSERT_TRUE(standard->math.equa.standard);
  EXPECT_EQ(text(coordinate(point(76, -19), standard, 0, 1)), "0.50");
}

TEST_F(ValueObjects, NumbersReadTheirTextWithTheUsersSeparators) {
  decimal_separator = ',';
  second_separator = '.';
  EXPECT_EQ(number("1 234,5")->valeurs[0].info.rayon, 1234.5);
  EXPECT_EQ(number("1.234.567,25")->valeurs[0].info.rayon, 1234567.25);
  EXPECT_EQ(number("12abc")->valeurs[0].info.rayon, 12);
  EXPECT_EQ(number("-7")->valeurs[0].info.rayon, -7);
  EXPECT_EQ(number("abc")->valeurs[0].info.rayon, 0);
  EXPECT_EQ(number("-")->valeurs[0].info.rayon, 0);
  // A very long text is read up to its first 63 characters.
  const std::string digits(300, '9');
  const double read = number(digits.c_str())->valeurs[0].info.rayon;
  EXPECT_NEAR(read, 1e63, 1e50);
  // In a unit: the internal value is in pixels.
  object* cm = make(classe_nombre, 0, {});
  cm->settings.unite = 33;
  set_text_record_text(cm->te, "2,5 cm");
  recompute_object(cm);
  EXPECT_EQ(cm->valeurs[0].info.rayon, 95);
}

TEST_F(ValueObjects, CalculationsComputeTheirFormula) {
  object* a = number("2");
  auto calculation = [&](const char* formula) {
    auto* text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(formula) + 1)));
    std::strcpy(text, formula);
    pending_extra[0] = text;
    return make(classe_calculate, 0, {a});
  };
  // The text alone: compiled at the first computation.
  object* f = calculation("3*a+1");
  ASSERT_NE(f->parents[2], nullptr);
  EXPECT_FALSE(f->aux2 & 16);
  EXPECT_EQ(f->valeurs[0].info.rayon, 7);
  // An evaluation that fails: no value, and the dependants follow.
  object* failing = calculation("1/(a-2)");
  EXPECT_TRUE(failing->aux2 & 16);
  EXPECT_EQ(text(failing), kernel_string(306));
  EXPECT_TRUE(failing->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST);
  object* turned = make(classe_rotation, 0, {point(0, 0), point(10, 10), failing});
  EXPECT_TRUE(turned->state & OBJ_UNDEFINED);
  // A text that does not compile, an empty program, no text: the text that
  // says there is no code.
  object* bad = calculation("3*");
  EXPECT_EQ(bad->parents[2], nullptr);
  EXPECT_EQ(text(bad), kernel_string(320));
  pending_extra[1] = GlobalAlloc(GPTR, sizeof(formula_cell));
  object* empty = calculation("");
  EXPECT_TRUE(empty->aux2 & 16);
  EXPECT_EQ(text(empty), kernel_string(320));
  object* none = make(classe_calculate, 0, {a});
  EXPECT_TRUE(none->aux2 & 16);
  EXPECT_EQ(text(none), kernel_string(320));
}

TEST_F(ValueObjects, AnOverflowShowsTheSignedInfinity) {
  object* f = make(classe_calculate, 0, {number("2")});
  show_calculation_failure(f, -HUGE_VAL, ERANGE);
  EXPECT_EQ(text(f), "-\xB0");
  EXPECT_TRUE(f->valeurs[0].infini_inexist_indetermine & VAL_AT_INFINITY);
  EXPECT_TRUE(f->aux2 & 16);
  show_calculation_failure(f, HUGE_VAL, ERANGE);
  EXPECT_EQ(text(f), "\xB0");
  show_calculation_failure(f, 3, ERANGE);
  EXPECT_EQ(text(f), kernel_string(306));
  show_calculation_failure(f, 3, EDOM);
  EXPECT_EQ(text(f), kernel_string(306));
  EXPECT_TRUE(f->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST);
}

TEST_F(ValueObjects, PropertyChecksAgreeWithExactRationals) {
  const auto cases = read_reference_table("../measure/checks.txt");
  ASSERT_GE(cases.size(), 200u);
  for (const reference_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "checks.txt line " << c.line << " " << c.word);
    const std::vector<double>& f = c.fields[0];
    const bool expected = c.fields[1][0] != 0;
    auto pt = [&](size_t i) { return point(f[i], f[i + 1]); };
    object* check = nullptr;
    if (c.word == "collinear") {
      check = make(classe_alignement, 0, {pt(0), pt(2), pt(4)});
    } else if (c.word == "parallel" || c.word == "perpendicular") {
      object* s1 = make(classe_segment, 0, {pt(0), pt(2)});
      object* s2 = make(classe_segment, 0, {pt(4), pt(6)});
      check = make(c.word == "parallel" ? classe_parallelism : classe_perpendism, 0, {s1, s2});
    } else if (c.word == "equidistant") {
      check = make(classe_equidistant, 0, {pt(0), pt(2), pt(4)});
    } else if (c.word == "segment" || c.word == "ray" || c.word == "line") {
      object* a = pt(2);
      object* b = pt(4);
      object* x = c.word == "segment" ? make(classe_segment, 0, {a, b})
                  : c.word == "ray"   ? make(classe_demidroite, 1, {a, b})
                                      : make(classe_droite, 1, {a, b});
      check = make(classe_membership, 0, {pt(0), x});
    } else if (c.word == "circle") {
      check = make(classe_membership, 0, {pt(0), make(classe_cercle, 1, {pt(2), pt(4)})});
    }
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(holds(check), expected);
  }
}

TEST_F(ValueObjects, MembershipOfDefiningPointsRaysPolygonsAndArcs) {
  object* a = point(0, 0);
  object* b = point(100, 0);
  object* ray = make(classe_demidroite, 1, {a, b});
  EXPECT_TRUE(holds(make(classe_membership, 0, {a, ray})));
  EXPECT_FALSE(holds(make(classe_membership, 0, {point(-1, 0), ray})));
  EXPECT_TRUE(holds(make(classe_membership, 0, {point(1e6, 0), ray})));
  object* on = point(30, 40);
  object* circle = make(classe_cercle, 1, {a, on});
  EXPECT_TRUE(holds(make(classe_membership, 0, {on, circle})));
  object* poly = make(classe_triangle, 0, {a, b, point(0, 100)});
  EXPECT_TRUE(holds(make(classe_membership, 0, {point(50, 50), poly})));
  EXPECT_TRUE(holds(make(classe_membership, 0, {b, poly})));
  EXPECT_FALSE(holds(make(classe_membership, 0, {point(50, 51), poly})));
  // The upper half of the circle of radius 50 (the screen's v points down).
  object* arc = make(classe_arc, 0, {point(50, 0), point(0, -50), point(-50, 0)});
  EXPECT_TRUE(holds(make(classe_membership, 0, {point(30, -40), arc})));
  EXPECT_FALSE(holds(make(classe_membership, 0, {point(30, 40), arc})));
}

TEST_F(ValueObjects, ParallelSidesOfPolygonsAndAxes) {
  object* rect = make(classe_polygone, 0, {point(0, 0), point(100, 0), point(100, 50), point(0, 50)}, 5);
  object* ax = axes();
  object* par = make(classe_parallelism, 0, {rect, ax});
  par->math.equa.format = 2;    // side 2 of the rectangle
  par->math.equa.typeunite = 1;  // the first axis
  recompute_object(par);
  EXPECT_TRUE(holds(par));
  par->math.equa.typeunite = 2;
  recompute_object(par);
  EXPECT_FALSE(holds(par));
  EXPECT_TRUE(direction_relation(par, 1));
}

}  // namespace
