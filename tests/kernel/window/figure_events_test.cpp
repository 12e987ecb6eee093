#include <algorithm>

#include "kernel/model/object_store.h"
#include "kernel/tools/designation.h"
#include "window_fixture.h"

using FigureEventsTest = WindowTest;

namespace {

bool contains(const std::vector<object*>& v, const object* o) { return std::find(v.begin(), v.end(), o) != v.end(); }

}  // namespace

TEST_F(FigureEventsTest, ARubberBandSelectsByType) {
  object* a = shown_point(20, 20);
  object* b = shown_point(60, 40);
  object* outside = shown_point(300, 300);
  object* seg = make2(&classe_segment, 0, a, b);
  object* half_out = make2(&classe_segment, 0, a, outside);
  object* line = make2(&classe_droite, 0, a, b);
  for (object* o : {seg, half_out, line}) o->settings.visible = 1;

  band(10, 10, 100, 100);
  const std::vector<object*> sel = selected();
  EXPECT_TRUE(contains(sel, a));
  EXPECT_TRUE(contains(sel, b));
  EXPECT_TRUE(contains(sel, seg));
  EXPECT_FALSE(contains(sel, outside));
  EXPECT_FALSE(contains(sel, half_out));
  EXPECT_FALSE(contains(sel, line));  // lines are never selected by the band
  EXPECT_EQ(selection_rect_shown, 1);  // the completed band is remembered
  EXPECT_EQ(selection_rect.left, 10);
  EXPECT_EQ(selection_rect.bottom, 100);
  EXPECT_EQ(rubber_band_tracking, 0);
}

TEST_F(FigureEventsTest, ABandDrawnBackwardsIsOrderedAndItsEdgesCount) {
  object* a = shown_point(40, 40);
  band(40, 40, 10, 10);  // the point lies on the anchor corner
  EXPECT_EQ(selection_rect.left, 10);
  EXPECT_EQ(selection_rect.right, 40);
  EXPECT_EQ(selected(), std::vector<object*>{a});
}

TEST_F(FigureEventsTest, ABandOfFivePixelsOrLessIsAClick) {
  shown_point(12, 12);
  band(10, 10, 15, 40);
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(selection_rect_shown, 0);
  band(10, 10, 40, 15);
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(selection_rect_shown, 0);
}

TEST_F(FigureEventsTest, APressOnTheSheetClearsTheSelectionUnlessExtended) {
  object* a = shown_point(20, 20);
  select_figure_object(a, 0, 0);
  kel_EventRecord down = press(200, 200, 1);  // a selection-extending key
  figure_mouse_pointer(&down);
  EXPECT_EQ(selected().size(), 1u);
  kel_EventRecord up = release(200, 200);
  figure_mouse_track(&up, 1);

  down = press(200, 200);
  figure_mouse_pointer(&down);
  EXPECT_TRUE(selected().empty());
  up = release(200, 200);
  figure_mouse_track(&up, 1);
}

TEST_F(FigureEventsTest, HoldingTheButtonJustOverASecondSelectsFreePoints) {
  object* a = shown_point(20, 20);
  object* b = shown_point(60, 40);
  object* mid = make2(&classe_milieu, 0, a, b);
  ASSERT_NE(mid, nullptr);

  kel_EventRecord down = press(200, 200);
  figure_mouse_pointer(&down);
  kel_EventRecord still = move(201, 200);
  window_seen().now = press_tick + 1000;
  figure_mouse_track(&still, 0);
  EXPECT_TRUE(selected().empty());  // exactly one second is not enough
  window_seen().now = press_tick + 1001;
  figure_mouse_track(&still, 0);
  EXPECT_EQ(selected(), (std::vector<object*>{a, b}));  // the midpoint is not free

  kel_EventRecord drag = move(240, 230);  // the held points now follow the designation
  figure_mouse_track(&drag, 0);
  EXPECT_EQ(selected().size(), 2u);
  kel_EventRecord up = release(240, 230);
  figure_mouse_track(&up, 1);
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(rubber_band_tracking, 0);
  EXPECT_EQ(rubber_band.points_selected, 0);
}

TEST_F(FigureEventsTest, APressBecomesADragPastTheThresholds) {
  struct threshold_case {
    bool tool;
    int32_t dx;
    uint32_t held;
    bool drag;
  };
  const threshold_case cases[] = {
      {false, 6, 0, false},   {false, 7, 0, true},     {false, 0, 500, false}, {false, 0, 501, true},
      {true, 20, 0, false},   {true, 21, 0, true},     {true, 0, 1000, false}, {true, 0, 1001, true},
      {true, 12, 999, false},
  };
  for (const threshold_case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.tool << " " << c.dx << " " << c.held);
    select_tool(c.tool ? make_tool_id(130, 2) : 0);
    press(100, 100);
    window_seen().now = press_tick + c.held;
    // The distance is |dx| + |dy|.
    EXPECT_EQ(press_became_drag(tagPOINT{100 + c.dx / 2, 100 - (c.dx - c.dx / 2)}), c.drag);
    release(100, 100);
    EXPECT_FALSE(press_became_drag(tagPOINT{300, 300}));  // never once the button is up
  }
}

TEST_F(FigureEventsTest, BackspaceWithThePointerDeletesTheSelection) {
  object* a = shown_point(20, 20);
  select_figure_object(a, 0, 0);
  kel_EventRecord key{kEventKey, 8, 0, 0, 0, 0, nullptr};
  figure_key_down(&key);
  EXPECT_EQ(window_seen().count("delete"), 1);
  EXPECT_EQ(window_seen().actions, std::vector<int>{ACTION_SUPPRESSION});
  EXPECT_GE(services_seen().count("dirty"), 1);
}

TEST_F(FigureEventsTest, BackspaceDuringAConstructionTakesBackTheLastArgument) {
  object* a = shown_point(20, 20);
  select_tool(make_tool_id(130, 2));
  objlist_add(fig_->inputs, a, 0);
  int cancelled = 0;
  static int* seen = nullptr;
  seen = &cancelled;
  window_services().cancel_last_selection = [](int, int) { ++*seen; };
  EXPECT_EQ(clear_command(), 1);
  EXPECT_EQ(cancelled, 1);
  EXPECT_EQ(designation_force, 1);  // the designation runs again at the click
  EXPECT_EQ(window_seen().count("delete"), 0);
  objlist_clear(fig_->inputs);
  select_tool(0);
}

TEST_F(FigureEventsTest, EscapeClearsTheSelectionAndAsksThePaletteForThePointer) {
  object* a = shown_point(20, 20);
  select_figure_object(a, 0, 0);
  figure_special_key(27);
  EXPECT_TRUE(selected().empty());
  ASSERT_EQ(window_seen().tools_posts.size(), 1u);
  EXPECT_EQ(window_seen().tools_posts[0], (std::pair<WPARAM, LPARAM>{101, 0x800001}));
}

TEST_F(FigureEventsTest, ReturnStartsTheSpringsOrEvaluatesTheCalculator) {
  kel_EventRecord key{kEventKey, 13, 0, 0, 0, 0, nullptr};
  figure_key_down(&key);
  EXPECT_EQ(window_seen().count("calculator"), 1);
  window_seen().spring = true;
  figure_key_down(&key);
  EXPECT_EQ(window_seen().count("spring event"), 1);
  EXPECT_EQ(window_seen().count("calculator"), 1);
}

TEST_F(FigureEventsTest, TabRecomputesTheObjectBeingBuilt) {
  object* a = shown_point(20, 20);
  fig_->moving = a;
  kel_EventRecord key{kEventKey, 9, 0, 0, 0, 0, nullptr};
  figure_key_down(&key);
  EXPECT_EQ(window_seen().actions, std::vector<int>{ACTION_TABULATE});
  fig_->moving = nullptr;
}

TEST_F(FigureEventsTest, AClickOnAPickedObjectSelectsIt) {
  object* a = shown_point(20, 20);
  object* b = shown_point(30, 30);
  objlist_add(&picked, a, 0);
  kel_EventRecord down = press(20, 20);
  figure_mouse_pointer(&down);
  EXPECT_EQ(selected(), std::vector<object*>{a});
  picked.items[0] = b;
  kel_EventRecord extended = press(30, 30, 1);
  figure_mouse_pointer(&extended);
  EXPECT_EQ(selected(), (std::vector<object*>{a, b}));
  release(20, 20);
}

TEST_F(FigureEventsTest, ACompletedConstructionIsBuiltRecordedAndUndoable) {
  object* a = shown_point(20, 20);
  object* b = shown_point(60, 40);
  save_undo_state(0);
  remembered_object_count = fig_->nbobj;
  select_tool(make_tool_id(130, 2));
  objlist_add(fig_->inputs, a, 0);
  objlist_add(fig_->inputs, b, 0);
  const class_select_fn saved = classe_segment.select;
  classe_segment.select = [](uint16_t* method, object** designated) {
    *method = 0;
    *designated = nullptr;
    return true;
  };
  const uint32_t before = fig_->nbobj;
  kel_EventRecord up = release(60, 40);
  figure_mouse_construct(&up);
  classe_segment.select = saved;

  ASSERT_EQ(fig_->nbobj, before + 1);
  object* seg = find_object_by_number(fig_->nbobj);
  EXPECT_EQ(seg->classe, &classe_segment);
  EXPECT_EQ(seg->state & OBJ_NEW, 0u);
  EXPECT_EQ(remembered_object_count, fig_->nbobj);
  EXPECT_EQ(window_seen().actions, std::vector<int>{ACTION_CONSTRUCTION});
  objlist_clear(fig_->inputs);
  select_tool(0);
}

TEST_F(FigureEventsTest, AHandlerThatWaitsEndsTheClick) {
  select_tool(make_tool_id(130, 2));
  const class_select_fn saved = classe_segment.select;
  classe_segment.select = [](uint16_t*, object** designated) {
    *designated = nullptr;
    return false;
  };
  const uint32_t before = fig_->nbobj;
  kel_EventRecord up = release(60, 40);
  figure_mouse_construct(&up);
  classe_segment.select = saved;
  EXPECT_EQ(fig_->nbobj, before);
  EXPECT_TRUE(window_seen().actions.empty());
  select_tool(0);
}

TEST_F(FigureEventsTest, AttributeClicksApplyToThePickedObjects) {
  object* a = shown_point(20, 20);
  select_tool(make_tool_id(138, 1));  // hide/show
  objlist_add(&picked, a, 0);
  kel_EventRecord up = release(20, 20);
  attribute_tool_click(&up);
  EXPECT_EQ(a->settings.visible, 0);
  EXPECT_EQ(window_seen().actions, std::vector<int>{ACTION_CHANGE_ASPECT});

  objlist_clear(&picked);
  kel_EventRecord extended{kEventMouseUp, 0, 1, 0, 0, 0, nullptr};
  attribute_tool_click(&extended);  // an extending key on the sheet shows every hidden object
  EXPECT_EQ(a->settings.visible, 1);
  select_tool(0);
}

TEST_F(FigureEventsTest, TheCaptureFlagFollowsTheButton) {
  press(5, 5);
  EXPECT_EQ(mouse_tracking, 1);
  window_seen().now = press_tick + 300;
  EXPECT_TRUE(elapsed_ticks_exceed(299));
  EXPECT_FALSE(elapsed_ticks_exceed(300));
  release(5, 5);
  EXPECT_EQ(mouse_tracking, 0);
  EXPECT_FALSE(elapsed_ticks_exceed(0));
}

TEST_F(FigureEventsTest, MouseSpeedIsComparedInCentimetresPerSecond) {
  previous_mouse_point = {0, 0};
  mouse_point = {38, 0};  // one centimetre at 96 dots per inch
  previous_mouse_tick = 1000;
  mouse_tick = 2000;
  EXPECT_TRUE(is_mouse_speed_below(1.5));
  EXPECT_FALSE(is_mouse_speed_below(0.5));
  mouse_tick = previous_mouse_tick;
  EXPECT_FALSE(is_mouse_speed_below(100));  // no time passed
}
