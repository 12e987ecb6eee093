// Keys on values: digit stepping against decimal.Decimal
// (tests/data/measure/stepping.txt), decimals, cursor moves, typing,
// equation forms, axes modes, and coordinates typed into their point.
#include <cmath>
#include <numbers>
#include <string>

#include "../measure/text_table.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/measure_text.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/units.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/window/drag_free.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/object_events.h"
#include "kernel/window/value_keys.h"
#include "app/kernel_iface/kel_event_record.h"

namespace {

constexpr double kPi = std::numbers::pi;

class ValueKeys : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    decimal_separator = '.';
    second_separator = ',';
    pixels_per_unit = 38;
  }
  // A number showing `text` with the cursor at `cursor`.
  object* number(const char* text, int32_t cursor, uint8_t unit = 0) {
    object* n = make(classe_nombre, 0, {});
    n->settings.unite = unit;
    set_text_record_text(n->te, text);
    n->te->sel_start = n->te->sel_end = cursor;
    recompute_object(n);
    return n;
  }
  static std::string text(const object* m) { return m->te && m->te->text ? m->te->text : ""; }
  static int32_t cursor(const object* m) { return m->te->sel_start; }
  object* axes() { return make(classe_axe, 1, {point(100, 100), point(140, 100), point(100, 60)}); }
};

TEST_F(ValueKeys, ArrowsStepTheDigitLeftOfTheCursorAsDecimalDoes) {
  const auto cases = read_text_table("stepping.txt");
  ASSERT_GE(cases.size(), 150u);
  for (const text_case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stepping.txt line " << c.line << ": " << c.fields[0] << " at "
                                    << c.fields[1] << " " << c.fields[2]);
    object* n = number(c.fields[0].c_str(), std::stoi(c.fields[1]));
    step_number_by_key(n, c.fields[2] == "up" ? kValueKeyUp : kValueKeyDown);
    EXPECT_EQ(text(n), c.fields[3]);
    recompute_object(n);
    EXPECT_NEAR(n->valeurs[0].info.rayon, table_number([&] {
                  std::string s = c.fields[3];
                  std::erase(s, ',');
                  return s;
                }()),
                1e-9);
  }
}

TEST_F(ValueKeys, TheViewsArrowCodesStepNumbersToo) {
  object* n = number("9.5", 1);
  step_number_by_key(n, 0);  // up, as the figure view hands it over
  EXPECT_EQ(text(n), "10.5");
  EXPECT_EQ(cursor(n), 2);
  step_number_by_key(n, 1);  // down
  EXPECT_EQ(text(n), "9.5");
  EXPECT_TRUE(key_accepted(n, 0));
  EXPECT_TRUE(key_accepted(n, kValueKeyUp));
}

TEST_F(ValueKeys, TheObjectEventOfAValueTakesTheKeyAndStepsIt) {
  object* n = number("2.50", 3);
  kel_EventRecord up{};
  up.what = kEventKey;
  up.message = 63232;  // the up arrow as the figure view sends it
  object* ref = n;
  ASSERT_EQ(event_value_object(0, &ref, &up), 1);
  ASSERT_EQ(event_value_object(1, &ref, &up), 1);
  EXPECT_EQ(text(n), "2.60");
  // A measure shows the step, and its next computation its own value again.
  object* length = make(classe_length, 1, {point(0, 0), point(95, 0)});
  length->settings.unite = 33;
  length->settings.nbre_decimales = 1;
  recompute_object(length);
  EXPECT_EQ(text(length), "2.5 cm");
  length->te->sel_start = length->te->sel_end = 3;
  ref = length;
  ASSERT_EQ(event_value_object(0, &ref, &up), 1);
  event_value_object(1, &ref, &up);
  EXPECT_EQ(text(length), "2.6 cm");
  recompute_object(length);
  EXPECT_EQ(text(length), "2.5 cm");
}

TEST_F(ValueKeys, RightLeftPlusAndMinusMoveTheCursorAndChangeTheDecimals) {
  object* n = number("1.25", 4);
  step_number_by_key(n, kValueKeyRight);
  EXPECT_EQ(text(n), "1.250");
  EXPECT_EQ(cursor(n), 5);
  EXPECT_EQ(n->settings.nbre_decimales & 127, 3);
  step_number_by_key(n, kValueKeyLeft);
  EXPECT_EQ(cursor(n), 4);
  step_number_by_key(n, kValueKeyRight);  // not at the end: only the cursor moves
  EXPECT_EQ(text(n), "1.250");
  EXPECT_EQ(cursor(n), 5);

  object* m = number("1.26", 4);
  m->settings.nbre_decimales = 128 | 2;
  step_number_by_key(m, '-');
  EXPECT_EQ(text(m), "1.3");
  EXPECT_EQ(cursor(m), 3);
  EXPECT_EQ(m->settings.nbre_decimales, 128 | 1);
  step_number_by_key(m, '-');
  EXPECT_EQ(text(m), "1");
  step_number_by_key(m, '-');  // no decimals left: nothing changes
  EXPECT_EQ(text(m), "1");
  step_number_by_key(m, '+');
  EXPECT_EQ(text(m), "1.0");

  object* negative = number("-4.5", 1);
  step_number_by_key(negative, kValueKeyLeft);  // just after the sign: nothing moves
  EXPECT_EQ(cursor(negative), 1);
}

TEST_F(ValueKeys, PlusAfterAChangeOfUnitRevealsTheTrueDigits) {
  object* n = number("1", 1, 32 + 1);  // 1 cm
  n->aux2 |= 1;
  n->settings.nbre_decimales = 0;
  // Metres chosen from the unit pop-up of the selected number: 0.01 m with
  // no decimals shows "0 m".
  objlist_add(fig_->selection, n, 0);
  main_command_hooks& h = main_command_services();
  const main_command_hooks saved = h;
  h.unit_popup_menu = [](int32_t, int32_t, object*) { return uint8_t{32 + 2}; };
  h.update_measure_text = &update_measure_text;
  main_menu_command(nullptr, command_id::kNumberUnit, 0);
  h = saved;
  EXPECT_EQ(text(n), "0 m");
  step_number_by_key(n, '+');
  step_number_by_key(n, '+');
  EXPECT_EQ(text(n), "0.01 m");
  // A step of the digits ends it: the next decimals pad the text.
  step_number_by_key(n, kValueKeyUp);
  step_number_by_key(n, '+');
  EXPECT_EQ(text(n), "1.010 m");
}

TEST_F(ValueKeys, TypingDigitsUpToTenAndTheGateOfMeasures) {
  object* n = number("123456789", 9);
  step_number_by_key(n, '0');
  EXPECT_EQ(text(n), "1,234,567,890");
  step_number_by_key(n, '1');  // an eleventh digit is refused
  EXPECT_EQ(text(n), "1,234,567,890");
  recompute_object(n);
  EXPECT_EQ(n->valeurs[0].info.rayon, 1234567890);

  object* typed = number("12", 2);
  step_number_by_key(typed, '.');
  step_number_by_key(typed, '5');
  EXPECT_EQ(text(typed), "12.5");
  step_number_by_key(typed, '.');  // a second separator
  EXPECT_EQ(text(typed), "12.5");
  step_number_by_key(typed, 8);
  EXPECT_EQ(text(typed), "12.");
  typed->te->sel_start = typed->te->sel_end = 0;
  step_number_by_key(typed, '-');
  EXPECT_EQ(text(typed), "-12.");

  // Digits do not edit a measure.
  object* length = make(classe_length, 1, {point(0, 0), point(38, 0)});
  length->settings.unite = 33;
  recompute_object(length);
  const std::string before = text(length);
  length->te->sel_start = length->te->sel_end = 1;
  step_number_by_key(length, '7');
  EXPECT_EQ(text(length), before);
}

TEST_F(ValueKeys, EquationsChangeDecimalsAndCycleTheirForms) {
  object* ax = axes();
  object* line = make(classe_droite, 1, {point(0, 0), point(50, 20)});
  object* eq = make(classe_equation, 1, {line, ax});
  eq->settings.nbre_decimales = 15;
  value_key_command_impl(eq, '+');
  EXPECT_EQ(eq->settings.nbre_decimales, 15);
  eq->settings.nbre_decimales = 2;
  value_key_command_impl(eq, '-');
  EXPECT_EQ(eq->settings.nbre_decimales, 2);
  value_key_command_impl(eq, '+');
  EXPECT_EQ(eq->settings.nbre_decimales, 3);
  eq->math.equa.format = 0;
  for (int expected : {1, 0, 1}) {
    value_key_command_impl(eq, 9);
    EXPECT_EQ(eq->math.equa.format, expected);
  }
  object* circle_eq = make(classe_equation, 1, {make(classe_cercle, 1, {point(0, 0), point(30, 0)}), ax});
  circle_eq->math.equa.format = 0;
  for (int expected : {2, 0, 2}) {
    value_key_command_impl(circle_eq, 9);
    EXPECT_EQ(circle_eq->math.equa.format, expected);
  }
  for (int expected : {1, 2, 3, 0}) {
    value_key_command_impl(ax, 9);
    EXPECT_EQ(ax->math.equa.typeunite, expected);
  }
  value_key_command_impl(ax, 2);
  EXPECT_EQ(ax->math.equa.typeunite, 2);
}

TEST_F(ValueKeys, WhichKeysEachObjectTakes) {
  object* n = number("1", 1);
  object* ax = axes();
  struct {
    object* obj;
    uint32_t key;
    bool taken;
  } cases[] = {
      {n, '5', true}, {n, '.', true}, {n, ',', false}, {n, 8, true}, {n, '+', true}, {n, 'a', false},
      {n, 9, false},  {ax, 9, true},  {ax, 3, true},   {ax, 4, false}, {ax, '+', false},
      {point(0, 0), 'a', true}, {point(0, 0), 13, true}, {point(0, 0), 9, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key);
    EXPECT_EQ(key_accepted(c.obj, c.key), c.taken);
  }
}

class TypedCoordinates : public ValueKeys {
 protected:
  // A coordinate of p in axes with their origin at (100, 100) and a
  // unit of 40 pixels.
  object* coordinate(object* p, object* ax, uint8_t form, uint8_t which) {
    object* c = make(classe_equation, 0, {p, ax});
    c->math.equa.typeunite = form;
    c->math.equa.format = which;
    c->settings.nbre_decimales = 2;
    recompute_object(c);
    return c;
  }
};

TEST_F(TypedCoordinates, APolarRadiusKeepsThePointOnItsRayFromTheOrigin) {
  object* ax = axes();
  object* p = point(100 + 40 * 3, 100 - 40 * 4);  // (3, 4): radius 5
  object* r = coordinate(p, ax, 1, 0);
  EXPECT_NEAR(r->valeurs[0].info.rayon, 5, 1e-12);
  ASSERT_TRUE(set_point_coordinate_value(r, 10, false));
  EXPECT_AT(p->valeurs[0], 100 + 40 * 6, 100 - 40 * 8);
  // Typed from the keyboard: the units digit up.
  recompute_object(r);
  r->te->sel_start = r->te->sel_end = 2;
  step_number_by_key(r, kValueKeyUp);
  EXPECT_AT(p->valeurs[0], 100 + 40 * 6.6, 100 - 40 * 8.8);
}

TEST_F(TypedCoordinates, AnAngleTurnsThePointAndACartesianValueSlidesIt) {
  object* ax = axes();
  object* p = point(140, 100);  // (1, 0)
  object* angle = coordinate(p, ax, 3, 1);  // radians
  ASSERT_TRUE(set_point_coordinate_value(angle, kPi / 2, false));
  EXPECT_AT(p->valeurs[0], 100, 60);
  object* q = point(180, 100);  // (2, 0)
  object* y = coordinate(q, ax, 0, 1);
  ASSERT_TRUE(set_point_coordinate_value(y, 1.5, false));
  EXPECT_AT(q->valeurs[0], 180, 40);
}

TEST_F(ValueKeys, TheSingleNumberOfAText) {
  object* a = number("1", 1);
  object* b = number("2", 1);
  EXPECT_EQ(find_single_number_object(a), a);
  object* t = make(classe_text, 0, {}, 3);
  EXPECT_EQ(find_single_number_object(t), nullptr);
  add_text_reference(a, &t->inserted);
  EXPECT_EQ(find_single_number_object(t), a);
  add_text_reference(a, &t->inserted);
  EXPECT_EQ(find_single_number_object(t), a);
  add_text_reference(b, &t->inserted);
  EXPECT_EQ(find_single_number_object(t), nullptr);
}

}  // namespace
