// The tool fixture with the figure window's services recording what the
// event handlers ask of the rest of the program, and a clock the test sets.
#pragma once

#include <string>
#include <vector>

#include "../tools/tool_fixture.h"
#include "kernel/tools/selection.h"
#include "kernel/window/figure_events.h"
#include "kernel/window/window_hooks.h"

struct window_log {
  uint32_t now = 10000;
  std::vector<int> actions;
  std::vector<std::string> calls;
  std::vector<std::pair<WPARAM, LPARAM>> tools_posts;
  bool spring = false;

  int count(const std::string& name) const {
    int n = 0;
    for (const std::string& c : calls) n += c == name;
    return n;
  }
};

inline window_log& window_seen() {
  static window_log log;
  return log;
}

inline window_hooks recording_window_hooks() {
  window_hooks h;
  h.tick_count = [] { return window_seen().now; };
  h.session_record_action = [](kelvo_win_info*, int action) { window_seen().actions.push_back(action); };
  h.delete_objects = [](object**) { window_seen().calls.emplace_back("delete"); };
  h.evaluate_calculator = [] { window_seen().calls.emplace_back("calculator"); };
  h.start_spring_animation = [] { return window_seen().spring; };
  h.dispatch_object_event = [](kel_EventRecord*, object* obj) -> int16_t {
    window_seen().calls.emplace_back(obj ? "object event" : "spring event");
    return 1;
  };
  h.post_tools_palette = [](UINT, WPARAM w, LPARAM l) { window_seen().tools_posts.emplace_back(w, l); };
  return h;
}

class WindowTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    window_seen() = window_log{};
    install_window_services(recording_window_hooks());
    mouse_tracking = 0;
    rubber_band_tracking = 0;
    selection_rect_shown = 0;
  }

  void TearDown() override {
    install_window_services(window_hooks{});
    mouse_tracking = 0;
    objlist_clear(&picked);
    ToolTest::TearDown();
  }

  // Building an object leaves its class current; the sheet has no tool.
  object* shown_point(double x, double y) {
    object* p = ToolTest::shown_point(x, y);
    current_class = nullptr;
    return p;
  }

  // The view's press: the capture flag, the press time and point.
  kel_EventRecord press(int32_t x, int32_t y, uint16_t modifiers = 0) {
    kel_EventRecord e{kEventMouseDown, 0, modifiers, x, y, 0, nullptr};
    figure_view_track_mouse(nullptr, &e);
    press_tick = window_seen().now;
    press_point = mouse_point = tagPOINT{e.x, e.y};
    return e;
  }
  kel_EventRecord release(int32_t x, int32_t y, uint16_t modifiers = 0) {
    kel_EventRecord e{kEventMouseUp, 0, modifiers, x, y, 0, nullptr};
    figure_view_track_mouse(nullptr, &e);
    return e;
  }
  kel_EventRecord move(int32_t x, int32_t y) { return kel_EventRecord{kEventDragStep, 0, 0, x, y, 0, nullptr}; }

  // A pointer press-drag-release on the empty sheet, as the view sends it.
  void band(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    kel_EventRecord down = press(x1, y1);
    figure_mouse_pointer(&down);
    kel_EventRecord m = move(x2, y2);
    figure_mouse_track(&m, 0);
    kel_EventRecord up = release(x2, y2);
    figure_mouse_track(&up, 1);
  }

  std::vector<object*> selected() const {
    std::vector<object*> out;
    for (int i = 0; fig_->selection->items[i]; ++i) out.push_back(fig_->selection->items[i]);
    return out;
  }
};
