#include <cmath>

#include "construction_fixture.h"
#include "kernel/model/units.h"
#include "kernel/tools/handler_helpers.h"

namespace {

using Hover = ConstructionTest;

TEST_F(Hover, APointOnASegmentWinsWhateverTheOrder) {
  object* a = point(0, 100);
  object* b = point(200, 100);
  object* early = segment(a, b);
  object* p = point(100, 100);
  segment(point(100, 0), point(100, 200));  // a later segment through p
  use_tool(&classe_milieu);
  hover(101, 101);
  ASSERT_EQ(objlist_count(&picked), 1);
  EXPECT_EQ(picked.items[0], p);
  EXPECT_EQ(ambiguous_designation, 0);
  (void)early;
}

TEST_F(Hover, TwoPlainPointsAreAmbiguousUnlessOneIsSelected) {
  point(100, 100);
  object* b = point(103, 100);
  use_tool(&classe_segment);
  hover(101, 100);
  EXPECT_EQ(ambiguous_designation, 1);
  EXPECT_EQ(designation_cursor_id, CURSOR_ID_WHICH);
  EXPECT_EQ(shown_designation_text(), "Which object?");

  objlist_add(fig_->selection, b, 0);
  hover(101, 100);
  EXPECT_EQ(ambiguous_designation, 0);
  ASSERT_EQ(objlist_count(&picked), 1);
  EXPECT_EQ(picked.items[0], b);
}

TEST_F(Hover, CrossingsMakeIntersectionPoints) {
  line(point(0, 0), point(200, 200));
  line(point(0, 200), point(200, 0));
  use_tool(&classe_segment);
  hover(100, 101);
  EXPECT_EQ(pending_point_kind, 1);
  EXPECT_EQ(designated_crossing, 1);
  EXPECT_EQ(shown_designation_text(), "intersection point");
  EXPECT_EQ(designation_cursor_id, CURSOR_ID_POINT_ON);

  line(point(100, 0), point(100, 300));
  hover(101, 100);
  EXPECT_EQ(pending_point_kind, 0);
  EXPECT_EQ(pending_multi_point, 1);
  EXPECT_EQ(pending_multi_point_kind, 1);
  EXPECT_EQ(shown_designation_text(), "intersection of these objects");
}

TEST_F(Hover, OnlyTinyShapesStandBesideAPlainPoint) {
  object* p = point(100, 100);
  object* tiny = make(classe_triangle, 0, {point(100, 100), point(110, 100), point(105, 108)}, 4);
  object* big = segment(point(0, 100), point(300, 100));
  object* n = make(classe_nombre, 0, {});
  dyn_array_object list{};
  objlist_init(&list);
  objlist_add(&list, p, 0);
  EXPECT_TRUE(admit_candidate(tiny, 0, &list));
  EXPECT_FALSE(admit_candidate(big, 0, &list));
  EXPECT_FALSE(admit_candidate(n, 0, &list));
  EXPECT_EQ(objlist_count(&list), 1);
  // A point empties a list without plain points.
  objlist_clear(&list);
  objlist_add(&list, big, 0);
  EXPECT_TRUE(admit_candidate(p, 0, &list));
  EXPECT_EQ(objlist_count(&list), 0);
  GlobalFreeAndNull(&list.items);
  GlobalFreeAndNull(&list.tags);
}

TEST_F(Hover, AnUnchangedTextIsNotDrawnAgain) {
  point(100, 100);
  use_tool(&classe_segment);
  hover(300, 250);
  const uint32_t drawn = designation_text_draw_count();
  hover(102, 101);
  EXPECT_EQ(designation_text_draw_count(), drawn + 1);
  EXPECT_EQ(shown_designation_text(), "point");
  hover(102, 101);
  EXPECT_EQ(designation_text_draw_count(), drawn + 1);
  designate_under_cursor(102, 101);  // the mouse did not move: no pass at all
  EXPECT_EQ(designation_text_draw_count(), drawn + 1);
}

TEST_F(Hover, TextsNearTheRightEdgeMoveLeft) {
  const char* text = "a rather long designation text";
  draw_designation_text(text, tagPOINT{395, 100}, default_color);
  const int32_t width = dd_text_width(moving_display, text);
  EXPECT_EQ(shown_designation_position().x + width + 25, moving_display->portRect.right);
  draw_designation_text(nullptr, tagPOINT{}, 0);
  EXPECT_TRUE(shown_designation_text().empty());
}

TEST_F(Hover, GivenNamesReplaceTheObjectWord) {
  object* p = point(0, 0);
  static char name[] = "\x01" "Apex";
  p->str = name;
  EXPECT_STREQ(personalise_designation_text("take this point", p), "take apex");
  EXPECT_STREQ(personalise_designation_text("no determiner", p), "no determiner");
  p->str = nullptr;
  EXPECT_STREQ(personalise_designation_text("take this point", p), "take this point");
}

TEST_F(Hover, GroupCodesAreMatchedThenTakenAsPlainCodes) {
  static TYPEOBJ codes[] = {0x2002, TYPE_CIRCLE, TYPE_ARC, TYPE_POINT, 0};
  static construct_method m = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, codes, nullptr};
  static construct_method* list[] = {&m, nullptr};
  construct_class cls{};
  cls.methods = list;
  match_argument_type(&cls, 0, TYPE_POINT);
  EXPECT_EQ(codes[0], 0x2002 | 0x8000);
  EXPECT_EQ(codes[1], TYPE_CIRCLE);
  EXPECT_EQ(codes[2], TYPE_ARC);
  EXPECT_EQ(codes[3], 1 | 0x8000);
  match_argument_type(&cls, 0, TYPE_SEGMENT);
  for (TYPEOBJ c : {codes[0], codes[1], codes[2], codes[3]}) EXPECT_TRUE(c & ARG_RULED_OUT);
  cls.methods = nullptr;
}

TEST_F(Hover, ReferenceCursorsFollowTheFrameHandles) {
  const struct {
    uint16_t tag;
    int cursor;
  } cases[] = {{257, 195}, {262, 195}, {260, 2040}, {264, 2040}, {259, 2010}, {261, 2020}, {263, 2000}, {265, 2030}};
  for (const auto& c : cases) {
    designation_cursor_id = 0;
    set_reference_cursor(c.tag);
    EXPECT_EQ(designation_cursor_id, c.cursor) << c.tag;
  }
  designation_cursor_id = 7;
  set_reference_cursor(258);
  EXPECT_EQ(designation_cursor_id, 7);
}

TEST_F(Hover, DependencyChains) {
  object* a = point(0, 0);
  object* b = point(50, 0);
  object* m = make(classe_milieu, 0, {a, b});
  object* c = make(classe_cercle, 1, {m, point(80, 80)});
  object* lone = point(300, 300);
  EXPECT_EQ(collect_dependency_chain(a, lone), 0);
  EXPECT_EQ(collect_dependency_chain(a, m), 2);
  ASSERT_EQ(collect_dependency_chain(a, c), 3);
  EXPECT_EQ(fig_->inputs->items[1], m);
  EXPECT_EQ(fig_->inputs->items[2], c);
  EXPECT_EQ(comparable_parent_count(c, c), 2);
  EXPECT_EQ(comparable_parent_count(make(classe_droite, 1, {a, b}), make(classe_demidroite, 1, {a, b})), 0);
}

// ---------------------------------------------------------------- previews

using Previews = ConstructionTest;

TEST_F(Previews, EveryDrawingPreviewInksTheMovingDevice) {
  struct Case {
    construct_class* cls;
    int picked;
  };
  const Case cases[] = {{&classe_segment, 1}, {&classe_vecteur, 1}, {&classe_droite, 1}, {&classe_demidroite, 1},
                        {&classe_axe, 1},     {&classe_triangle, 2}, {&classe_polygone, 2}, {&classe_cercle, 1},
                        {&classe_arc, 2},     {&classe_angle, 2},    {&classe_polyreg, 2}};
  object* p[2] = {point(150, 150), point(220, 150)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls->short_name);
    dd_draw_background(moving_display);
    current_class = c.cls;
    objlist_clear(fig_->inputs);
    for (int i = 0; i < c.picked; ++i) objlist_add(fig_->inputs, p[i], 0);
    tagPOINT mouse{260, 90};
    c.cls->fil(&mouse);
    EXPECT_GT(inked_pixels(), 0);
    EXPECT_EQ(rubber_points[0].h, mouse.x);
    EXPECT_EQ(rubber_points[0].v, mouse.y);
  }
  objlist_clear(fig_->inputs);
}

TEST_F(Previews, ShiftSnapsToFifteenDegrees) {
  double dx = 100, dy = 100 * std::tan(10 * M_PI / 180), length = 0;
  snap_direction(&dx, &dy, &length, false);
  EXPECT_NEAR(std::atan2(dy, dx) * 180 / M_PI, 15, 1e-9);
  EXPECT_NEAR(length, 100, 1e-9);
  dx = 40, dy = 41;
  snap_direction(&dx, &dy, &length, false);
  EXPECT_EQ(dx, dy);
  EXPECT_NEAR(length, dx * std::sqrt(2.0), 1e-9);
  dx = 3, dy = 1;
  snap_direction(&dx, &dy, &length, true);
  EXPECT_NEAR(length, pixels_per_unit, 1e-9);  // never 0 units
}

TEST_F(Previews, StarPolygonsAndTheSideLimit) {
  EXPECT_EQ(build_star_polygon_table(), 110);
  current_class = &classe_polyreg;
  objlist_clear(fig_->inputs);
  tagPOINT mouse{0, 0};
  regular_polygon_preview(&mouse);
  EXPECT_EQ(regular_polygon_side_limit, 12);
  object* c = point(200, 150);
  object* v = point(300, 150);
  current_class = &classe_polyreg;
  objlist_add(fig_->inputs, c, 0);
  objlist_add(fig_->inputs, v, 0);
  mouse = tagPOINT{300, 147};  // a tiny angle: as many sides as allowed
  regular_polygon_preview(&mouse);
  EXPECT_EQ(rubber_points[2].h, 12);
  EXPECT_EQ(rubber_points[2].v, 1);
  objlist_clear(fig_->inputs);
}

TEST_F(Previews, ThreeCollinearArcPointsDrawASegment) {
  const valeur a{10, 10, {0}, 0}, b{50, 10, {0}, 0}, c{90, 10, {0}, 0};
  draw_arc_through_points(a, b, c, 1, default_attrs[ATTRS_ARC].settings);
  EXPECT_GT(inked_pixels(), 30);
}

TEST_F(Previews, TheTextBoxStaysInsideThePort) {
  placing_text = 1;
  text_box_width = 150;
  text_box_height = 20;
  tagPOINT mouse{395, 295};
  test_preview(&mouse);
  EXPECT_LE(rubber_rect.right, moving_display->portRect.right - 1);
  EXPECT_LE(rubber_rect.bottom, moving_display->portRect.bottom - 1);
  EXPECT_EQ(rubber_rect.right - rubber_rect.left, 150);
}

}  // namespace
