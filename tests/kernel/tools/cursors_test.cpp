#include "tool_fixture.h"

namespace {

struct place {
  bool link = false;
  bool splash = false;
  bool window = true;
  figure_window_mouse mouse{false, {50, 50}, {0, 0, 100, 100}, false, 0};
};

place& here() {
  static place p;
  return p;
}

void install_here() {
  cursor_environment env;
  env.in_link_text_field = [] { return here().link; };
  env.splash_visible = [] { return here().splash; };
  env.figure_window_mouse = [](figure_window_mouse* out) {
    *out = here().mouse;
    return here().window;
  };
  install_cursor_environment(env);
}

}  // namespace

using CursorTest = ToolTest;

TEST_F(CursorTest, LoadedSlotsFollowTheTable) {
  EXPECT_EQ(cursors_loaded, 1);
  EXPECT_EQ(kernel_cursors[CURSOR_TAKE]->resID(), 118);
  EXPECT_EQ(kernel_cursors[CURSOR_FILL]->resID(), 120);
  EXPECT_EQ(kernel_cursors[CURSOR_MANIP_2040]->resID(), 2040);
  EXPECT_EQ(kernel_cursors[CURSOR_TEXT]->resID(), 32513);
  EXPECT_EQ(kernel_cursors[CURSOR_APPEARANCE], kernel_cursors[CURSOR_APPEARANCE_2]);
  EXPECT_EQ(current_cursor, kernel_cursors[CURSOR_ARROW]);
}

TEST_F(CursorTest, TheWindowsUnderTheMouseDecideTheCursor) {
  install_here();
  HCURSOR take = kernel_cursors[CURSOR_TAKE];
  here() = place{};
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), 118);
  here().mouse.help_shown = true;  // over the tool-help field along the bottom
  here().mouse.help_height = 20;
  here().mouse.mouse = {50, 90};
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), kCursorArrow);
  here().mouse.mouse = {50, 79};
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), 118);
  here().mouse.in_aux_window = true;
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), kCursorArrow);
  here().window = false;
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), kCursorArrow);
  here().splash = true;  // the busy cursor whatever the tool
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->name(), "AppStarting");
  here().link = true;
  update_cursor(take);
  EXPECT_EQ(KPCursor::lastSet()->resID(), kCursorHand);
  install_cursor_environment({});
}

TEST_F(CursorTest, EachToolSetsItsCursors) {
  struct expected {
    uint32_t tool;
    kernel_cursor_slot first, second, third;
  };
  const expected table[] = {
      {make_tool_id(128, 1), CURSOR_ARROW, CURSOR_TAKE, CURSOR_TAKE_AMONG},
      {make_tool_id(129, 1), CURSOR_CONSTRUCT, CURSOR_TAKE, CURSOR_TAKE_AMONG},
      {make_tool_id(129, 2), CURSOR_CONSTRUCT, CURSOR_POINT_ON_OBJECT, CURSOR_POINT_ON_OBJECT},
      {make_tool_id(136, 1), CURSOR_APPEARANCE, CURSOR_TAKE, CURSOR_TAKE_AMONG},
      {make_tool_id(132, 10), CURSOR_APPEARANCE, CURSOR_TAKE, CURSOR_TAKE_AMONG},
      {make_tool_id(137, 1), CURSOR_APPEARANCE, CURSOR_TEXT, CURSOR_TEXT},
      {make_tool_id(137, 2), CURSOR_TEXT, CURSOR_TEXT, CURSOR_TEXT},
      {make_tool_id(137, 3), CURSOR_TEXT, CURSOR_TEXT, CURSOR_TEXT},
      {make_tool_id(138, 1), CURSOR_ARROW, CURSOR_TAKE, CURSOR_TAKE_AMONG},
      {make_tool_id(138, 3), CURSOR_APPEARANCE, CURSOR_PAINT, CURSOR_PAINT},
      {make_tool_id(138, 4), CURSOR_APPEARANCE, CURSOR_FILL, CURSOR_FILL},
  };
  for (const expected& e : table) {
    SCOPED_TRACE(e.tool);
    select_tool(e.tool);
    EXPECT_EQ(tool_cursors[0], kernel_cursors[e.first]);
    EXPECT_EQ(tool_cursors[1], kernel_cursors[e.second]);
    EXPECT_EQ(tool_cursors[2], kernel_cursors[e.third]);
  }
}

TEST(CursorPoints, PackedAndFloatPointsConvertWithTheirSigns) {
  const tagPOINT p = point_from_packed(static_cast<int32_t>(0x0005FFFDu));
  EXPECT_EQ(p.x, -3);
  EXPECT_EQ(p.y, 5);
  const tagPOINT q = point_from_packed(static_cast<int32_t>(0xFFFE0007u));
  EXPECT_EQ(q.x, 7);
  EXPECT_EQ(q.y, -2);
  const tagPOINT r = point_from_floats(-2.7f, 3.9f);
  EXPECT_EQ(r.x, -2);
  EXPECT_EQ(r.y, 3);
  EXPECT_FALSE(platform_query_false());
}
