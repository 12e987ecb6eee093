#include "tool_fixture.h"

namespace {
constexpr int32_t kAnywhere = 0;
}

class FilterTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    hits_ = std::make_unique<hit_everything>(std::initializer_list<type*>{&type_point, &type_axes, &type_circle});
  }
  void TearDown() override {
    hits_.reset();
    ToolTest::TearDown();
  }
  void hold(std::initializer_list<uint32_t> codes) {
    services_seen().modifiers = 0;
    for (uint32_t c : codes) services_seen().modifiers |= 1u << c;
  }
  std::unique_ptr<hit_everything> hits_;
};

TEST_F(FilterTest, CommonFilterRefusesWhatCannotBePicked) {
  object* p = shown_point(10, 10);
  EXPECT_TRUE(manip_tool_common(p, kAnywhere));
  p->settings.visible = 0;
  EXPECT_FALSE(manip_tool_common(p, kAnywhere));
  p->settings.visible = 1;
  p->state |= OBJ_AT_INFINITY;
  EXPECT_FALSE(manip_tool_common(p, kAnywhere));
  p->state = OBJ_UNDEFINED;
  EXPECT_FALSE(manip_tool_common(p, kAnywhere));
  p->state = 0;
  p->final_no = 0;
  EXPECT_FALSE(manip_tool_common(p, kAnywhere));
  // An undefined coordinate system can still be picked by the pointer.
  object* axes = fig_->first->next;
  axes->settings.visible = 1;
  axes->state |= OBJ_UNDEFINED;
  EXPECT_TRUE(manip_tool_common(axes, kAnywhere));
  EXPECT_FALSE(appearance_filter(axes, kAnywhere));
}

TEST_F(FilterTest, HideShowTakesHiddenObjectsButNeverTheOriginAndAxes) {
  object* p = shown_point(10, 10);
  p->settings.visible = 0;
  EXPECT_TRUE(hide_show_filter(p, kAnywhere));
  EXPECT_FALSE(manip_tool_common(p, kAnywhere));
  EXPECT_FALSE(hide_show_filter(fig_->first, kAnywhere));
  EXPECT_FALSE(hide_show_filter(fig_->first->next, kAnywhere));
  hold({8});
  EXPECT_FALSE(hide_show_filter(p, kAnywhere));  // Option: shown objects only
  hold({8, 3});
  EXPECT_TRUE(hide_show_filter(p, kAnywhere));  // Option and Shift: hidden ones only
  p->settings.visible = 1;
  EXPECT_FALSE(hide_show_filter(p, kAnywhere));
  p->aux2 |= 2;  // a number living in a text
  hold({});
  EXPECT_FALSE(hide_show_filter(p, kAnywhere));
}

TEST_F(FilterTest, FixFreeWithOptionTakesFixedAndWithShiftFreeObjects) {
  object* fixed = shown_point(1, 1);
  object* free = shown_point(2, 2);
  fixed->settings.sticky = 1;
  EXPECT_TRUE(fix_free_filter(fixed, kAnywhere));
  EXPECT_TRUE(fix_free_filter(free, kAnywhere));
  hold({8});
  EXPECT_TRUE(fix_free_filter(fixed, kAnywhere));
  EXPECT_FALSE(fix_free_filter(free, kAnywhere));
  hold({8, 3});
  EXPECT_FALSE(fix_free_filter(fixed, kAnywhere));
  EXPECT_TRUE(fix_free_filter(free, kAnywhere));
}

TEST_F(FilterTest, AppearanceToolsTakeOnlyWhatTheyWouldChange) {
  object* p = shown_point(1, 1);
  select_tool(make_tool_id(138, 3));  // Color
  current_attrs->settings.Color = 0x0000FF;
  p->settings.Color = 0x0000FF;
  EXPECT_FALSE(appearance_filter(p, kAnywhere));
  p->settings.Color = 0xFF0000;
  EXPECT_TRUE(appearance_filter(p, kAnywhere));
  EXPECT_EQ(tool_cursors[1], kernel_cursors[CURSOR_PAINT]);

  select_tool(make_tool_id(138, 4));  // Fill: points take none
  EXPECT_FALSE(appearance_filter(p, kAnywhere));
  EXPECT_EQ(tool_cursors[2], kernel_cursors[CURSOR_FILL]);

  select_tool(make_tool_id(138, 7));  // Dotted never takes a point
  EXPECT_FALSE(appearance_filter(p, kAnywhere));

  select_tool(make_tool_id(138, 8));  // Modify Appearance: point style
  current_attrs->point_style = 3;
  p->settings.graph_type = 3;
  EXPECT_FALSE(appearance_filter(p, kAnywhere));
  p->settings.graph_type = 1;
  EXPECT_TRUE(appearance_filter(p, kAnywhere));

  // Modify Appearance takes a coordinate system whose display (the axes
  // style) differs from the current one, whatever its other bytes hold.
  object* axes = fig_->first->next;
  axes->settings.visible = 1;
  current_attrs->axes_style = 2;
  axes->math.equa.typeunite = 2;
  axes->math.equa.format = 0;
  EXPECT_FALSE(appearance_filter(axes, kAnywhere));
  axes->math.equa.typeunite = 0;
  axes->math.equa.format = 2;
  EXPECT_TRUE(appearance_filter(axes, kAnywhere));
}

TEST_F(FilterTest, CircleOfAPointMustBeUnique) {
  object* centre = shown_point(0, 0);
  object* p = shown_point(10, 0);
  object* c1 = make2(&classe_cercle, 0, centre, p);
  ASSERT_NE(c1, nullptr);
  EXPECT_EQ(circle_of_point(p), c1);
  EXPECT_EQ(circle_of_point(centre), nullptr);
  object* other = shown_point(5, 5);
  make2(&classe_cercle, 0, other, p);
  EXPECT_EQ(circle_of_point(p), nullptr);

  // Measurement transfer: a point on two circles is taken only with
  // Option; one on a single circle, or on none (its value then waits for a
  // placing click), without it too.
  select_tool(make_tool_id(132, 8));
  EXPECT_FALSE(transfer_filter(p, kAnywhere));
  EXPECT_TRUE(transfer_filter(centre, kAnywhere));
  hold({8});
  EXPECT_TRUE(transfer_filter(p, kAnywhere));
  hold({});
  objlist_add(fig_->inputs, c1, 0);
  EXPECT_TRUE(transfer_filter(p, kAnywhere));  // c1's own point
  EXPECT_FALSE(transfer_filter(other, kAnywhere));
}

// An intersection point lies on the two objects of its intersection set:
// the circle among them is its circle, for the compass and the transfer.
TEST_F(FilterTest, AnIntersectionPointFindsItsCircleThroughItsSet) {
  object* centre = shown_point(0, 0);
  object* through = shown_point(10, 0);
  object* c = make2(&classe_cercle, 0, centre, through);
  ASSERT_NE(c, nullptr);
  object* line = shown_point(50, 50);
  object* set = shown_point(60, 60);
  object* set_parents[] = {line, c};
  set->classe = &classe_interset;
  set->parents = set_parents;
  set->nbparents = 2;
  object* crossing = shown_point(0, 10);
  object* crossing_parents[] = {set};
  crossing->classe = &classe_ptint;
  crossing->parents = crossing_parents;
  crossing->nbparents = 1;
  EXPECT_EQ(circle_of_point(crossing), c);

  select_tool(make_tool_id(132, 8));
  objlist_add(fig_->inputs, c, 0);
  EXPECT_TRUE(transfer_filter(crossing, kAnywhere)) << "the circle's intersection point is refused";
  objlist_clear(fig_->inputs);
  object* other = make2(&classe_cercle, 0, shown_point(90, 90), shown_point(95, 90));
  objlist_add(fig_->inputs, other, 0);
  EXPECT_FALSE(transfer_filter(crossing, kAnywhere));
  objlist_clear(fig_->inputs);
  for (object* o : {set, crossing}) {
    o->parents = nullptr;
    o->nbparents = 0;
  }
}

TEST_F(FilterTest, CalculatorRefusesNumbersThatDependOnTheEditedOne) {
  static type number_type = type_number;
  number_type.hit_test = [](object*, tagPOINT*) { return true; };
  object* a = shown_point(0, 0);
  object* b = shown_point(1, 1);
  object* c = shown_point(2, 2);
  for (object* o : {a, b, c}) o->otype = &number_type;
  object* parents[] = {a};
  b->parents = parents;
  b->nbparents = 1;
  services_seen().calculator_edited = a;
  EXPECT_FALSE(formula_filter(a, kAnywhere));
  EXPECT_FALSE(formula_filter(b, kAnywhere));
  EXPECT_TRUE(formula_filter(c, kAnywhere));
  EXPECT_FALSE(formula_filter(fig_->first, kAnywhere));  // not a number
  b->parents = nullptr;
  b->nbparents = 0;
  for (object* o : {a, b, c}) o->otype = &type_number;
}

TEST_F(FilterTest, RedefinitionAndPointOnObjectRules) {
  object* p = shown_point(1, 1);
  fig_->first->settings.visible = 1;
  EXPECT_FALSE(redefinition_filter(fig_->first, kAnywhere));
  designation_allows_base_objects = 1;
  EXPECT_TRUE(redefinition_filter(fig_->first, kAnywhere));
  designation_allows_base_objects = 0;
  EXPECT_TRUE(redefinition_filter(p, kAnywhere));
  p->classe = &classe_interset;
  EXPECT_FALSE(redefinition_filter(p, kAnywhere));
  p->classe = &classe_point;
  p->otype = &type_locus;
  EXPECT_FALSE(point_on_object_filter(p, kAnywhere));  // not a valid traced locus
  p->otype = &type_point;
}
