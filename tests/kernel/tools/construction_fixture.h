// A figure with a moving device, a current construction tool whose
// accepted types are filled from its class, and clicks scripted as the
// figure window does them: a designation pass at the point, then the
// handler loop of the click.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../model/geometry_fixture.h"
#include "app/kernel_iface/ambiguity_menu.h"
#include "kernel/model/object_store.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/tool_handler.h"

class ConstructionTest : public GeometryTest {
 public:
  void SetUp() override {
    GeometryTest::SetUp();
    ASSERT_EQ(create_default_objects(), 0);  // the hidden origin and axes of a new figure
    init_color_table();
    pixel_pen = PixelPen{};
    moving_display = make_device(400, 300);
    std::vector<const char*> rows(kKernelStringCount, "");
    rows[48] = "this";
    rows[52] = "this graduation";
    rows[190] = "Which object?";
    rows[192] = "intersection of these objects";
    rows[193] = "point on these objects";
    rows[194] = "intersection point";
    rows[195] = "point on this object";
    rows[219] = "segment";
    rows[223] = "regular polygon";
    lang_fill_kernel_strings(rows.data(), kKernelStringCount);
    designation_hooks() = designation_services{};
    bind_tool_handlers();
    last_mouse = tagPOINT{-1000, -1000};
  }

  void TearDown() override {
    while (pop_tool_argument_state()) {
    }
    for (designation_list* l : {&designation_args, &designation_carriers, &designation_intersectables}) {
      GlobalFreeAndNull(&l->entries);
      l->capacity = 0;
    }
    objlist_clear(&picked);
    objlist_clear(&carrier_candidates);
    objlist_clear(&intersection_candidates);
    install_ambiguity_chooser(nullptr);
    placing_text = 0;
    double_click = 0;
    ambiguous_designation = 0;
    pending_point_kind = 0;
    pending_multi_point = 0;
    designated_crossing = 0;
    destroy_display_device(moving_display);
    moving_display = nullptr;
    lang_reset_kernel_strings();
    reset_tool_handler_flags();
    GeometryTest::TearDown();
  }

  static DisplayDevice* make_device(int w, int h) {
    DisplayDevice* d = dd_create();
    ensure_display_dc(d);
    d->portRect = {0, 0, w, h};
    dd_select_bitmap(d, create_dib_record(d, w, h));
    d->ratio = 1.0;
    dd_draw_background(d);
    return d;
  }

  static void add_code(designation_list* list, uint16_t code) {
    if (!list->entries) {
      list->entries = alloc_block<designation_entry>(64);
      list->capacity = 64;
    }
    int n = 0;
    while (list->entries[n].code) {
      if (list->entries[n].code == code) return;
      ++n;
    }
    list->entries[n].code = code;
  }

  static void add_class_codes(designation_list* list, const construct_class* cls) {
    for (int i = 0; const construct_method* m = class_method(cls, i); ++i)
      for (const TYPEOBJ* c = m->args; c && *c; ++c) {
        const TYPEOBJ code = *c & 0x3FFF;
        if (code != ARG_REPEAT && code < ARG_ONE_OF) add_code(list, code);
      }
  }

  // Makes the class the current tool, as the tool dispatch does.
  void use_tool(construct_class* cls) {
    current_class = cls;
    objlist_clear(fig_->inputs);
    prepare();
  }

  // Fills the accepted types of the current class (again after a nested
  // construction changed it).
  void prepare() {
    for (designation_list* l : {&designation_args, &designation_carriers, &designation_intersectables})
      if (l->entries) l->entries[0].code = 0;
    if (!current_class) return;
    add_class_codes(&designation_args, current_class);
    bool points = current_class == &classe_point;
    for (const designation_entry* e = designation_args.entries; e && e->code; ++e)
      if (e->code == TYPE_POINT) points = true;
    if (points && current_class != &classe_length && current_class != &classe_compas3) {
      add_class_codes(&designation_carriers, &classe_ptsur);
      add_class_codes(&designation_intersectables, &classe_interset);
    }
  }

  void hover(int x, int y) {
    designation_force = 1;
    designate_under_cursor(x, y);
  }

  // One click of the current tool at (x, y); the object built or designated.
  object* click(int x, int y) {
    hover(x, y);
    object* o = run_construction_click(tagPOINT{x, y});
    prepare();
    return o;
  }

  int count_class(const construct_class* cls) const {
    int n = 0;
    for (object* o = fig_->first; o; o = o->next) n += o->classe == cls;
    return n;
  }

  int inked_pixels() const {
    int n = 0;
    const KPBitmap* bm = moving_display->bm;
    for (int i = 0; i < bm->height * bm->pitch; ++i) n += color_of_pixel(bm->pixels[i]) != back_color;
    return n;
  }

  object* free_point(double h, double v) { return point(h, v); }
  object* segment(object* a, object* b) { return make(classe_segment, 0, {a, b}); }
  object* line(object* a, object* b) { return make(classe_droite, 1, {a, b}); }
};
