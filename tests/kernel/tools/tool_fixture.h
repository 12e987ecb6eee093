// A registered class list, the built toolboxes and cursors, a current
// figure with its origin and axes, and services that record each call the
// tool code makes to the rest of the program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../model/engine_fixture.h"
#include "kernel/support/main_menu.h"
#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/designation_filters.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"

// What the services saw.
struct service_log {
  std::vector<std::string> calls;
  std::vector<std::pair<WPARAM, LPARAM>> palette;
  std::vector<UINT> editor;
  std::vector<std::pair<int16_t, int16_t>> selected_items;
  uint32_t modifiers = 0;  // bit n set: modifier code n is held
  bool calculator_window = false;
  object* calculator_edited = nullptr;
  construct_class* macro = nullptr;

  int count(const std::string& name) const {
    int n = 0;
    for (const std::string& c : calls) n += c == name;
    return n;
  }
};

inline service_log& services_seen() {
  static service_log log;
  return log;
}

inline tool_hooks recording_hooks() {
  tool_hooks h;
#define NOTE(slot, name) h.slot = [] { services_seen().calls.emplace_back(name); }
  NOTE(cut_selection_command, "cut");
  NOTE(paste_from_clipboard, "paste");
  NOTE(start_replay_construction, "replay");
  NOTE(open_anim_panel, "anim_panel");
  NOTE(check_figure_timer, "check_timer");
#undef NOTE
  h.copy_to_clipboard = [](int) { services_seen().calls.emplace_back("copy"); };
  h.redraw_figure = [](int, int) { services_seen().calls.emplace_back("redraw"); };
  h.open_calculator = [](object*) { services_seen().calls.emplace_back("calculator"); };
  h.apply_style_change = [](uint16_t c) { services_seen().calls.emplace_back("style " + std::to_string(c)); };
  h.send_tools_palette = [](UINT, WPARAM w, LPARAM l) {
    services_seen().palette.emplace_back(w, l);
    return true;
  };
  h.select_tool_item = [](int16_t id, int16_t item) { services_seen().selected_items.emplace_back(id, item); };
  h.send_text_editor = [](UINT m, WPARAM, LPARAM) {
    services_seen().editor.push_back(m);
    return true;
  };
  h.modifier_key_down = [](uint32_t code) { return (services_seen().modifiers >> code & 1) != 0; };
  h.calculator_window_exists = [] { return services_seen().calculator_window; };
  h.calculator_edited_object = [] { return services_seen().calculator_edited; };
  h.define_macro = [] {
    services_seen().calls.emplace_back("define_macro");
    return services_seen().macro;
  };
  return h;
}

class ToolTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    services_seen() = service_log{};
    install_tool_services(recording_hooks());
    KPGeoDocument::installHooks(
        {.do_dirty = [](kelvo_win_info*) { services_seen().calls.emplace_back("dirty"); }});
    init_object_lists();
    ASSERT_TRUE(NSKelvoCursorsLoader::initWithFile(KELVO_TEST_DATA "/../../resources/Cursors.xml"));
    load_cursors();
    install_test_main_menu();
    build_all_toolboxes();
    ASSERT_EQ(create_default_objects(), 0);
    current_figure_view = &view_token_;
    select_tool(0);
    services_seen() = service_log{};
  }

  void TearDown() override {
    end_tool_action();
    current_figure_view = nullptr;
    free_all_toolboxes();
    free_attribute_menus();
    free_tool_record(&trash_toolbox);
    free_object_lists();
    install_tool_services(tool_hooks{});
    KPGeoDocument::installHooks({});
    free_cursors();
    EngineTest::TearDown();
  }

  // A visible point that every hit test finds.
  object* shown_point(double x, double y) {
    object* p = point(x, y);
    p->settings.visible = 1;
    return p;
  }

  int view_token_ = 0;
};

// Hit tests that find every object of the types they are installed on.
struct hit_everything {
  explicit hit_everything(std::initializer_list<type*> types) {
    for (type* t : types) {
      saved.emplace_back(t, t->hit_test);
      t->hit_test = [](object*, tagPOINT*) { return true; };
    }
  }
  ~hit_everything() {
    for (auto& [t, f] : saved) t->hit_test = f;
  }
  std::vector<std::pair<type*, type_hit_test_fn>> saved;
};
