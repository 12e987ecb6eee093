// A figure ready for drags: the tool state at rest with the pointer, two
// display devices standing for the static and moving layers, and the draw
// operations of every type replaced by one that records what is drawn
// where. Helpers send a press, drag steps and a release as the figure
// window does.
#pragma once

#include <utility>
#include <vector>

#include "../model/geometry_fixture.h"
#include "app/kernel_iface/kel_event_record.h"
#include "kernel/render/display_device.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"
#include "kernel/window/drag_free.h"

class DragTest : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    interaction_state = 2;
    drag_mode = 1;
    motion = {};
    motion.rot_cos = 1;
    drag_kind = -1;
    manipulating = 0;
    drag_in_progress = 0;
    hit_part = 0;
    step_interval = 33;
    drawn().clear();
    for (type* t : all_types()) {
      saved_draw_.push_back(t->draw);
      t->draw = &record_draw;
    }
    saved_static_ = static_display;
    saved_moving_ = moving_display;
    static_display = &static_dev_;
    moving_display = &moving_dev_;
  }

  void TearDown() override {
    if (manipulating) release(0, 0);
    clear_pick_marks();
    size_t i = 0;
    for (type* t : all_types()) t->draw = saved_draw_[i++];
    static_display = saved_static_;
    moving_display = saved_moving_;
    drag_mode = 1;
    interaction_state = 2;
    GeometryTest::TearDown();
  }

  static std::vector<type*> all_types() {
    std::vector<type*> v(type_slots, type_slots + kTypeTableSize);
    v.push_back(&type_interset);
    v.push_back(&type_button);
    return v;
  }

  static std::vector<std::pair<DisplayDevice*, object*>>& drawn() {
    static std::vector<std::pair<DisplayDevice*, object*>> list;
    return list;
  }
  static void record_draw(DisplayDevice* dd, object* obj) { drawn().emplace_back(dd, obj); }

  std::vector<object*> drawn_on(DisplayDevice* dd) {
    std::vector<object*> v;
    for (auto& [d, o] : drawn())
      if (d == dd) v.push_back(o);
    return v;
  }

  static kel_EventRecord event(int16_t kind, int32_t x, int32_t y, uint16_t modifiers = 0, uint32_t message = 0) {
    kel_EventRecord e{};
    e.what = kind;
    e.x = x;
    e.y = y;
    e.modifiers = modifiers;
    e.message = message;
    return e;
  }

  int press(object* obj, int32_t x, int32_t y, uint16_t modifiers = 0) {
    pressed_ = obj;
    kel_EventRecord e = event(kEventMouseDown, x, y, modifiers);
    return dispatch_object_event(&e, obj);
  }
  int drag(int32_t x, int32_t y, uint16_t modifiers = 0) {
    kel_EventRecord e = event(kEventDragStep, x, y, modifiers);
    return handle_manipulation_event(&e, pressed_);
  }
  int release(int32_t x, int32_t y) {
    kel_EventRecord e = event(kEventMouseUp, x, y);
    return handle_manipulation_event(&e, pressed_);
  }
  int key(char c) {
    kel_EventRecord e = event(kEventKey, 0, 0, 0, static_cast<uint8_t>(c));
    return handle_manipulation_event(&e, pressed_);
  }

  void select(std::initializer_list<object*> objects) {
    objlist_clear(fig_->selection);
    for (object* o : objects) objlist_add(fig_->selection, o, 0);
  }

  DisplayDevice static_dev_{};
  DisplayDevice moving_dev_{};
  DisplayDevice* saved_static_ = nullptr;
  DisplayDevice* saved_moving_ = nullptr;
  std::vector<type_draw_fn> saved_draw_;
  object* pressed_ = nullptr;
};
