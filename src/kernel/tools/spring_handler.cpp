#include "kernel/tools/spring_handler.h"

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_state.h"

namespace {

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

int argument_total(const kelvo_win_info* fig) { return objlist_count(fig->inputs); }

// A position block that a first click computed and no spring took.
void drop_pending_spring_data() {
  if (pending_spring_data == kNoPendingSpringData) pending_spring_data = nullptr;
  GlobalFreeAndNull(&pending_spring_data);
}

// Whether a press on the object could move it, as a drag would start.
bool can_be_moved(object* obj) {
  kel_EventRecord event{};
  event.what = kEventMouseDown;
  double x = last_mouse.x, y = last_mouse.y;
  if (drag_hooks().figure_to_window) drag_hooks().figure_to_window(&x, &y);
  event.x = static_cast<int32_t>(x);
  event.y = static_cast<int32_t>(y);
  const bool movable = try_pick_object(&event, obj, false, false);
  clear_pick_marks();
  return movable;
}

// Erases and deletes every spring that the object drives, looking again
// from the first object after each deletion.
void delete_springs_on(kelvo_win_info* fig, object* driver) {
  for (bool again = true; again;) {
    again = false;
    for (object* o = fig->first; o; o = o->next) {
      if (type_of(o) != TYPE_SPRING || o->nbparents < 1 || !o->parents || o->parents[0] != driver) continue;
      o->state |= OBJ_ERASE;
      draw_object(static_display, o);
      o->state &= ~OBJ_ERASE;
      delete_objects(o);
      again = true;
      break;
    }
  }
}

}  // namespace

bool spring_tool_handler(uint16_t* method, object** designated) {
  *method = 0;
  *designated = nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->inputs) return false;

  if (picked.items && picked.items[0] && type_of(picked.items[0]) == TYPE_SPRING) {
    if (ambiguous_designation) highlight_candidate();
    if (picked.items && picked.items[0] && type_of(picked.items[0]) == TYPE_SPRING) delete_objects(picked.items[0]);
    if (picked.items) picked.items[0] = nullptr;
    return false;
  }

  if (argument_total(fig) == 0) drop_pending_spring_data();
  if (take_tool_argument(method, designated)) return true;

  if (argument_total(fig) > 0) {
    object* obj = fig->inputs->items[0];
    if (!can_be_moved(obj)) {
      obj->state &= ~OBJ_CHOSEN;
      reset_class_type_marks(current_class);
      objlist_clear(fig->inputs);
    }
  }

  if (argument_total(fig) > 0 && pending_spring_data == nullptr) {
    object* obj = fig->inputs->items[0];
    const uint16_t t = type_of(obj);
    pending_spring_data = kNoPendingSpringData;
    if (t != TYPE_POINT && t != TYPE_NUMBER && obj->otype && obj->otype->point_on) {
      // Where on the object the spring is attached: the click, in whole
      // pixels, projected onto it.
      valeur at{};
      at.h = std::floor(last_mouse.x + 0.5);
      at.v = std::floor(last_mouse.y + 0.5);
      void* param = nullptr;
      obj->otype->point_on(obj, &at, &param, 2);
      if (param) pending_spring_data = param;
    }
    delete_springs_on(fig, obj);
    return false;
  }
  return argument_total(fig) > 0;
}
