// The tools that place texts, numbers, buttons, coordinates, expressions and
// tables: scripted clicks with the candidate under the cursor given as the
// designation step leaves it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "construction_fixture.h"
#include "kernel/model/recompute.h"
#include "kernel/model/table.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/text_tool_handlers.h"
#include "kernel/tools/tool_hooks.h"

namespace {

class TextTools : public ConstructionTest {
 public:
  void TearDown() override {
    text_frame_cancel();
    formula_variable_count = 0;
    ConstructionTest::TearDown();
  }

  // A click of the current tool at (x, y) whose designation found `obj`
  // (none when null).
  object* click_on(object* obj, int x = 0, int y = 0, uint16_t tag = 0) {
    objlist_clear(&picked);
    if (obj) objlist_add(&picked, obj, tag);
    last_mouse = tagPOINT{x, y};
    rubber_points[0].h = x;
    rubber_points[0].v = y;
    object* o = run_construction_click(tagPOINT{x, y});
    objlist_clear(&picked);
    return o;
  }

  object* number(double value) {
    object* n = make(classe_nombre, 0, {});
    n->valeurs[0].info.rayon = value;
    return n;
  }

  object* expression(const char* text) {
    object* e = make(classe_exp_num, 0, {});
    EXPECT_NE(e->te, nullptr);
    set_text_record_text(e->te, text);
    return e;
  }

  object* axes() const {
    for (object* o = fig_->first; o; o = o->next)
      if (o->otype && o->otype->id == TYPE_AXES) return o;
    return nullptr;
  }

  // What the tool set-up does for the equation tool of a figure with one
  // coordinate system: the system is taken for granted.
  void take_the_only_axes() {
    for (int m = 0; const construct_method* cm = class_method(&classe_equation, m); ++m)
      for (TYPEOBJ* a = cm->args; a && *a; ++a)
        if (*a == TYPE_AXES) *a |= ARG_MATCHED;
  }

  int rows(const object* table) const { return table->nbvaleurs; }
  // The cells of a table, row after row, joined by '|'.
  static std::string cells(const object* table) {
    std::string s;
    const TErec* te = table->te;
    for (int32_t i = 0; i < te->length; ++i) s += te->text[i] ? te->text[i] : '|';
    return s;
  }
};

TEST_F(TextTools, AFrameIsNeverSmallerThanTheToolsMinimum) {
  struct frame_case {
    tagPOINT press, release;
    tagRECT text;   // what the text tool builds
    tagRECT table;  // what the table tool builds
  };
  const frame_case cases[] = {
      {{50, 60}, {80, 65}, {50, 60, 150, 80}, {50, 60, 150, 160}},      // 30 by 5
      {{50, 60}, {250, 140}, {50, 60, 250, 140}, {50, 60, 250, 160}},   // larger: kept
      {{250, 140}, {50, 60}, {50, 60, 250, 140}, {50, 60, 250, 160}},   // dragged up-left
      {{70, 70}, {70, 70}, {70, 70, 170, 90}, {70, 70, 170, 170}},      // a click
  };
  for (const frame_case& c : cases) {
    for (construct_class* cls : {&classe_text, &classe_table}) {
      fig_->moving = nullptr;
      use_tool(cls);
      text_frame_press(c.press);
      text_frame_move(tagPOINT{(c.press.x + c.release.x) / 2, c.press.y});
      text_frame_move(c.release);
      object* made = click_on(nullptr, c.release.x, c.release.y);
      if (cls == &classe_table) made = fig_->moving;
      ASSERT_NE(made, nullptr);
      ASSERT_NE(made->te, nullptr);
      const tagRECT want = cls == &classe_text ? c.text : c.table;
      const TErec* te = made->te;
      EXPECT_EQ(te->pos.x, want.left) << cls->short_name;
      EXPECT_EQ(te->pos.y, want.top) << cls->short_name;
      EXPECT_EQ(te->size.w, want.right - want.left) << cls->short_name;
      EXPECT_EQ(te->size.h, want.bottom - want.top) << cls->short_name;
      EXPECT_FALSE(text_frame_active());
    }
  }
}

TEST_F(TextTools, ANumberIsPlacedAtTheClick) {
  use_tool(&classe_nombre);
  object* n = click_on(nullptr, 120, 45);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->classe, &classe_nombre);
  EXPECT_EQ(n->te->pos.x, 120);
  EXPECT_EQ(n->te->pos.y, 45);
}

TEST_F(TextTools, CoordinatesReuseTheNumbersOfThePoint) {
  object* p = point(76, -38);
  take_the_only_axes();
  use_tool(&classe_equation);
  take_the_only_axes();
  object* text = click_on(p, 76, -38);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->classe, &classe_text);
  EXPECT_EQ(count_class(&classe_equation), 2);
  ASSERT_NE(text->te, nullptr);
  EXPECT_STREQ(text->te->text, "($1$; $2$)");
  // The first reference shows the abscissa, the second the ordinate.
  ASSERT_NE(text->inserted, nullptr);
  object* x = find_text_reference(1, nullptr, text->inserted)->obj;
  object* y = find_text_reference(2, nullptr, text->inserted)->obj;
  EXPECT_EQ(x->math.equa.format, 0);
  EXPECT_EQ(y->math.equa.format, 1);
  EXPECT_EQ(x->parents[0], p);
  EXPECT_EQ(x->parents[1], axes());

  take_the_only_axes();
  object* again = click_on(p, 76, -38);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, text);
  EXPECT_EQ(count_class(&classe_equation), 2);
  EXPECT_EQ(count_class(&classe_text), 2);
  EXPECT_EQ(find_text_reference(1, nullptr, again->inserted)->obj, x);
  EXPECT_EQ(find_text_reference(2, nullptr, again->inserted)->obj, y);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
}

TEST_F(TextTools, AnExpressionInTwoVariablesTakesTwoNumbersThenAPlacingClick) {
  object* e = expression("a*b+1");
  object* a = number(2);
  object* b = number(3);
  use_tool(&classe_exp_num_app);
  click_on(e);
  EXPECT_EQ(formula_variable_count, 2);
  EXPECT_TRUE(expression_wants_number());
  EXPECT_TRUE(expression_wants_axes());
  click_on(a);
  EXPECT_TRUE(expression_wants_number());
  click_on(b);
  EXPECT_TRUE(placing_text);
  EXPECT_FALSE(expression_wants_number());
  EXPECT_FALSE(expression_wants_axes());
  EXPECT_EQ(count_class(&classe_exp_num_app), 0);
  object* applied = click_on(nullptr, 200, 100);
  ASSERT_NE(applied, nullptr);
  EXPECT_EQ(applied->classe, &classe_exp_num_app);
  ASSERT_EQ(applied->nbparents, 3);
  EXPECT_EQ(applied->parents[0], a);
  EXPECT_EQ(applied->parents[1], b);
  EXPECT_EQ(applied->parents[2], e);
  EXPECT_FALSE(placing_text);
  ASSERT_NE(applied->te, nullptr);
  EXPECT_EQ(applied->te->pos.x, 200 - 75);
  EXPECT_EQ(applied->te->pos.y, 100 - 10);
}

TEST_F(TextTools, WithAxesAnExpressionInTwoVariablesTakesOneNumber) {
  object* e = expression("a*b");
  object* a = number(2);
  use_tool(&classe_exp_num_app);
  for (object* o : {e, a}) {
    objlist_clear(&picked);
    objlist_add(&picked, o, 0);
    uint16_t method = 9;
    object* designated = nullptr;
    EXPECT_FALSE(expression_apply_tool_handler(&method, &designated));
  }
  EXPECT_TRUE(expression_wants_axes());
  // With the axes the remaining variable runs along them: no more numbers.
  objlist_clear(&picked);
  objlist_add(&picked, axes(), 1);
  uint16_t method = 9;
  object* designated = nullptr;
  EXPECT_TRUE(expression_apply_tool_handler(&method, &designated));
  EXPECT_EQ(method, 1);
  EXPECT_FALSE(expression_wants_number());
  objlist_clear(&picked);
}

TEST_F(TextTools, TheButtonToolTogglesTargets) {
  use_tool(&classe_button);
  EXPECT_EQ(click_on(nullptr, 40, 40), nullptr);
  EXPECT_TRUE(placing_text);
  object* button = click_on(nullptr, 120, 70);
  ASSERT_NE(button, nullptr);
  ASSERT_EQ(button->classe, &classe_button);
  EXPECT_EQ(button->te->pos.x, 40);
  EXPECT_EQ(button->te->size.w, 80);

  object* p = point(10, 10);
  object* q = point(20, 10);
  use_tool(&classe_button);
  click_on(button);  // editing the button
  ASSERT_EQ(objlist_count(fig_->inputs), 1);
  click_on(p);
  click_on(q);
  auto targets = [&] {
    std::vector<object*> v;
    for (objectptrlist* n = button->associated; n; n = n->next) v.push_back(n->obj);
    return v;
  };
  EXPECT_EQ(targets(), (std::vector<object*>{p, q}));
  EXPECT_EQ(objlist_count(fig_->inputs), 3);
  click_on(p);
  EXPECT_EQ(targets(), (std::vector<object*>{q}));
  EXPECT_EQ(objlist_find(fig_->inputs, p), -1);
  click_on(p);
  EXPECT_EQ(targets(), (std::vector<object*>{q, p}));

  // Editing again lists the button and then its targets.
  objlist_clear(fig_->inputs);
  click_on(button);
  ASSERT_EQ(objlist_count(fig_->inputs), 3);
  EXPECT_EQ(fig_->inputs->items[0], button);
  EXPECT_EQ(fig_->inputs->items[1], q);
  EXPECT_EQ(fig_->inputs->items[2], p);

  remove_dependant(q, button);
  remove_dependant(q, button);  // absent: nothing
  EXPECT_EQ(targets(), (std::vector<object*>{p}));
  free_object_list(&button->associated);
  EXPECT_EQ(button->associated, nullptr);
}

TEST_F(TextTools, ATargetNeedsAButtonAtTheHeadOfTheArguments) {
  use_tool(&classe_button);
  object* p = point(10, 10);
  click_on(p);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
}

TEST_F(TextTools, AddingAColumnNeverDropsARecordedRow) {
  object* a = number(1);
  object* b = number(2);
  object* c = number(3);
  use_tool(&classe_table);
  click_on(nullptr, 10, 10);
  object* first = fig_->moving;
  ASSERT_NE(first, nullptr);
  click_on(a);
  EXPECT_EQ(rows(first), 1);
  // A second column at once: the row recorded for the first column showed
  // the same moment and is recorded again with both columns.
  click_on(b);
  EXPECT_EQ(rows(first), 1);
  EXPECT_EQ(first->nbparents, 4);

  // A second table gets a column: that says nothing of the first one.
  fig_->moving = nullptr;
  click_on(nullptr, 200, 10);
  object* second = fig_->moving;
  ASSERT_NE(second, first);
  click_on(a);
  EXPECT_EQ(rows(second), 1);

  // The end of a drag records a row in each table.
  for (object* t : {first, second}) {
    tabulate_ready = 1;
    recompute_object(t);
  }
  EXPECT_EQ(rows(first), 2);
  EXPECT_EQ(rows(second), 2);

  fig_->moving = first;
  click_on(c);
  EXPECT_EQ(rows(first), 3);
  EXPECT_EQ(first->nbparents, 6);
  // Earlier rows show "-" in the new column.
  const std::string s = cells(first);
  EXPECT_EQ(std::count(s.begin(), s.end(), '-'), 2) << s;
  fig_->moving = second;
  click_on(b);
  EXPECT_EQ(rows(second), 3);
}

TEST_F(TextTools, AxesFromAnOriginAndTwoDirections) {
  object* o = point(100, 100);
  use_tool(&classe_axe);
  click_on(o, 100, 100);
  EXPECT_EQ(objlist_count(fig_->inputs), 1);
  rubber_points[1] = valeur{40, 0, {}, 0};
  click_on(nullptr, 140, 100);
  EXPECT_TRUE(axes_direction_set);
  // A second direction along the first one is refused.
  rubber_points[2] = valeur{80, 0, {}, 0};
  EXPECT_EQ(click_on(nullptr, 180, 100), nullptr);
  EXPECT_EQ(count_class(&classe_axe), 1);  // the figure's own system
  rubber_points[2] = valeur{0, -40, {}, 0};
  object* made = click_on(nullptr, 100, 60);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->classe, &classe_axe);
  EXPECT_EQ(made->methode, 0);
  EXPECT_FALSE(axes_direction_set);
}

TEST_F(TextTools, ALocusWhoseTracedObjectIgnoresTheDriverIsRefused) {
  object* c = make(classe_cercle, 1, {point(0, 0), point(50, 0)});
  object* driver = point_on(c, 0, 50, 0);
  object* other = point(200, 200);
  use_tool(&classe_locus);
  click_on(other);
  EXPECT_EQ(click_on(driver), nullptr);
  EXPECT_EQ(objlist_count(fig_->inputs), 0);
  EXPECT_EQ(count_class(&classe_locus), 0);

  object* traced = make(classe_milieu, 0, {driver, other});
  use_tool(&classe_locus);
  click_on(traced);
  object* locus = click_on(driver);
  ASSERT_NE(locus, nullptr);
  EXPECT_EQ(locus->classe, &classe_locus);
  EXPECT_EQ(locus->parents[0], driver);
  EXPECT_EQ(locus->parents[locus->nbparents - 1], traced);
}

}  // namespace

namespace {

TEST_F(TextTools, TheLabelToolGivesAnObjectALabelAtTheClick) {
  object* p = point(100, 100);
  ASSERT_EQ(p->te, nullptr);
  p->settings.visible = 1;
  use_tool(&classe_label);
  EXPECT_EQ(click_on(p, 130, 90), p);
  ASSERT_NE(p->te, nullptr);
  // The label is pulled near its point, on the side of the click.
  const double cx = p->te->pos.x + p->te->size.w / 2.0;
  const double cy = p->te->pos.y + p->te->size.h / 2.0;
  EXPECT_GT(cx, 100);
  EXPECT_LT(cy, 100);
  EXPECT_LT(std::hypot(cx - 100, cy - 100), 30 + std::hypot(p->te->size.w, p->te->size.h));
}

TEST_F(TextTools, TheNumberToolOnATextHandsOverToTheTextTool) {
  object* text = make(classe_text, 0, {}, 1);
  ASSERT_NE(text, nullptr);
  use_tool(&classe_nombre);
  const int numbers = count_class(&classe_nombre);
  click_on(text, 10, 10, 258);
  EXPECT_EQ(current_class, &classe_text);
  EXPECT_EQ(count_class(&classe_nombre), numbers);
}

}  // namespace
