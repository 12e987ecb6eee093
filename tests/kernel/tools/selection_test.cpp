#include "../window/window_fixture.h"
#include "kernel/model/memory.h"

using SelectionTest = WindowTest;

namespace {

// Makes the object a button whose targets are the given objects.
void make_button(object* b, std::initializer_list<object*> targets) {
  b->otype = &type_button;
  for (object* t : targets) {
    auto* node = alloc_block<objectptrlist>();
    node->obj = t;
    node->next = b->associated;
    b->associated = node;
  }
}

}  // namespace

TEST_F(SelectionTest, ClickSelectsAndExtendTogglesMembership) {
  object* a = shown_point(10, 10);
  object* b = shown_point(20, 20);
  select_figure_object(a, 0, 0);
  select_figure_object(b, 0, 0);
  EXPECT_EQ(selected(), std::vector<object*>{b});

  select_figure_object(a, 0, 1);
  EXPECT_EQ(selected(), (std::vector<object*>{b, a}));
  select_figure_object(b, 0, 1);  // a selected object clicked with extend leaves
  EXPECT_EQ(selected(), std::vector<object*>{a});
  select_figure_object(b, 0, 1);  // and comes back
  EXPECT_EQ(selected(), (std::vector<object*>{a, b}));

  select_figure_object(nullptr, 0, 0);
  EXPECT_EQ(selected().size(), 2u);
}

TEST_F(SelectionTest, SelectAllSkipsTheOriginAndAxes) {
  select_all_objects();
  EXPECT_TRUE(selected().empty());  // a new figure holds only the origin and the axes

  object* a = shown_point(10, 10);
  object* b = shown_point(20, 20);
  select_all_objects();
  EXPECT_EQ(selected(), (std::vector<object*>{a, b}));
}

TEST_F(SelectionTest, InstalledListsRestoreTheFiguresOwnSelection) {
  object* a = shown_point(10, 10);
  select_figure_object(a, 0, 0);
  dyn_array_object* own = fig_->selection;
  dyn_array_object* first = objlist_new();
  dyn_array_object* second = objlist_new();
  install_selection_list(first);
  install_selection_list(second);
  EXPECT_EQ(fig_->selection, second);
  EXPECT_FALSE(has_no_saved_selection());
  restore_selection_list();
  EXPECT_EQ(fig_->selection, own);
  EXPECT_TRUE(has_no_saved_selection());
  EXPECT_EQ(selected(), std::vector<object*>{a});
  objlist_free(&first);
  objlist_free(&second);
}

TEST_F(SelectionTest, AButtonClickTogglesItsTargetsUnlessAToolIsCurrent) {
  object* target = shown_point(10, 10);
  object* button = shown_point(50, 50);
  make_button(button, {target});

  select_figure_object(button, 0, 0);
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(button->aux2 & 32, 32u);
  EXPECT_EQ(target->settings.visible, 0);
  EXPECT_EQ(services_seen().count("redraw"), 1);
  select_figure_object(button, 0, 0);
  EXPECT_EQ(button->aux2 & 32, 0u);
  EXPECT_EQ(target->settings.visible, 1);

  select_figure_object(button, 0, 1);  // with extend: selected like any object
  EXPECT_EQ(selected(), std::vector<object*>{button});
  select_tool(make_tool_id(130, 2));
  select_figure_object(button, 0, 0);
  EXPECT_EQ(target->settings.visible, 1);
  EXPECT_EQ(button->aux2 & 32, 0u);
}

TEST_F(SelectionTest, BlinkStepsAreAtLeast100MillisecondsApart) {
  object* a = shown_point(10, 10);
  select_figure_object(a, 0, 0);  // the selection time is now
  const uint8_t phase = selection_blink_phase;
  window_seen().now += 100;
  EXPECT_FALSE(blink_selection_marks());
  window_seen().now += 1;
  EXPECT_TRUE(blink_selection_marks());
  EXPECT_EQ(selection_blink_phase, (phase + 1) % 8);
  window_seen().now += 50;
  EXPECT_FALSE(blink_selection_marks());
  for (int i = 0; i < 8; ++i) {
    window_seen().now += 101;
    EXPECT_TRUE(blink_selection_marks());
  }
  EXPECT_EQ(selection_blink_phase, (phase + 1) % 8);  // the phase wraps with the dash period
}

TEST_F(SelectionTest, TraceStateClicksFlipTheMarkedFlag) {
  object* a = shown_point(10, 10);
  interaction_state = STATE_TRACE;
  select_figure_object(a, 0, 1);
  EXPECT_EQ(a->settings.marked, 1);
  select_figure_object(a, 0, 1);
  EXPECT_EQ(a->settings.marked, 0);
  interaction_state = STATE_POINTER;
}

TEST_F(SelectionTest, TheSelectionRectangleIsRemovedOnce) {
  selection_rect_shown = 1;
  EXPECT_TRUE(remove_selection_rect());
  EXPECT_FALSE(remove_selection_rect());
  selection_rect_shown = 1;
  end_tool_action();  // ending the tool takes the rectangle away
  EXPECT_EQ(selection_rect_shown, 0);
}
