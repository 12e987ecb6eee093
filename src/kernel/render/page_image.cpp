#include "kernel/render/page_image.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/window/figure_scroll.h"
#include "kernel/model/classes.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/text/text_drawing.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/window/main_commands.h"

namespace {

// The cached device of the thumbnail and its numbers, made at the first call
// from the drawing page of that moment.
struct page_cache {
  DisplayDevice* dd = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  double scale = 0;
};

page_cache& cache() {
  static page_cache c;
  return c;
}

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

int32_t rounded(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

void scale_value(valeur* v, double k) {
  v->h *= k;
  v->v *= k;
}

// The values a scaling pass changes on one object.
void scale_object(object* o, double k) {
  if (o->te && (is_property_check(o) || !is_text_like_object(o))) {
    // A label keeps its place beside its object.
    o->pos.x += static_cast<int32_t>(std::floor(o->pos.x * k - o->pos.x));
    o->pos.y += static_cast<int32_t>(std::floor(o->pos.y * k - o->pos.y));
  }
  const bool text_like = is_text_like_object(o) && !is_property_check(o);
  if (text_like) {
    if (o->valeurs && o->nbvaleurs > 0) {
      scale_value(&o->valeurs[0], k);
      if (type_id(o) == TYPE_EQUATION && o->nbvaleurs > 1) o->valeurs[1] = o->valeurs[0];
    }
    if (type_id(o) != TYPE_NUMBER) return;
  }
  if (!o->valeurs || o->nbvaleurs < 1) return;
  const uint16_t t = type_id(o);
  if (o->classe == &classe_point) {
    scale_value(&o->valeurs[0], k);
  } else if (t == TYPE_AXES || t == TYPE_GRID) {
    for (int i = 0; i < 3 && i < o->nbvaleurs; ++i) scale_value(&o->valeurs[i], k);
  } else if (o->classe == &classe_cercle && o->methode == 0) {
    // A circle given by its centre and radius keeps the radius in its
    // second value (the first is the centre, computed again).
    if (o->nbvaleurs > 1) o->valeurs[1].info.rayon *= k;
  } else if (o->classe == &classe_angle) {
    // The mark's size is the factor kept in its second value.
    if (o->nbvaleurs > 1 && !KPGeoDocument::printingInProgress()) o->valeurs[1].info.rayon *= k;
  } else if (o->classe == &classe_ptsur && o->nbparents > 0 && o->parents[0]) {
    const uint16_t carrier = type_id(o->parents[0]);
    if (carrier == TYPE_LINE || carrier == TYPE_RAY || carrier == TYPE_AXES) scale_value(&o->valeurs[0], k);
  } else if (o->settings.smartline_type) {
    if (t == TYPE_LINE && o->nbvaleurs > 3) {
      scale_value(&o->valeurs[2], k);
      scale_value(&o->valeurs[3], k);
    } else if (t == TYPE_RAY && o->nbvaleurs > 2) {
      scale_value(&o->valeurs[2], k);
    }
  }
  if (t == TYPE_AXES || t == TYPE_GRID) return;
  const uint32_t kept = o->state & 1u;
  recompute_object(o);
  o->state = (o->state & ~1u) | kept;
}

// The text record of an object: a measure recomputed under the scaled unit
// formats its text anew, which the restoring pass puts back.
struct kept_text {
  bool has = false;
  std::string text;
  int32_t sel_start = 0;
  int32_t sel_end = 0;
  te_point pos{};
  te_size size{};
};

kept_text keep_text(const object* o) {
  kept_text k;
  if (const TErec* te = o->te) {
    k.has = true;
    k.text = te->text ? std::string(te->text) : std::string();
    k.sel_start = te->sel_start;
    k.sel_end = te->sel_end;
    k.pos = te->pos;
    k.size = te->size;
  }
  return k;
}

void restore_text(object* o, const kept_text& k) {
  TErec* te = o->te;
  if (!k.has || !te) return;
  te->pos = k.pos;
  te->size = k.size;
  if (te->text && k.text == te->text) return;
  if (!set_text_record_text(te, k.text.c_str())) return;
  te->length = static_cast<int32_t>(k.text.size());
  te->sel_start = k.sel_start;
  te->sel_end = k.sel_end;
  mark_text_needs_regen(o);
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(o);
}

}  // namespace

// Everything a pass may change, copied before it: put back as it was, so
// nothing drifts and an interrupted pass leaves the figure whole.
struct scale_figure_for_printing::saved {
  struct one {
    object* obj;
    std::vector<valeur> values;
    object_pos pos;
    uint32_t state;
    uint32_t aux1;
    uint32_t aux2;
    object_settings settings;
    kept_text text;
  };
  // A calculation compiled again under the scaled unit: its text and program
  // blocks (after its parents) as they were.
  struct formula {
    object* obj;
    object* text;
    object* program;
  };
  kelvo_win_info* fig = nullptr;
  double unit = 0;
  std::vector<one> objects;
  std::vector<formula> formulas;
};

scale_figure_for_printing::scale_figure_for_printing(double k) : saved_(new saved) {
  saved_->fig = KPGeoDocument::currentInfo();
  saved_->unit = pixels_per_unit;
  if (!saved_->fig || !(k > 0) || !std::isfinite(k)) return;
  for (object* o = saved_->fig->first; o; o = o->next) {
    saved::one s{o, {}, o->pos, o->state, o->aux1, o->aux2, o->settings};
    if (o->valeurs && o->nbvaleurs > 0) s.values.assign(o->valeurs, o->valeurs + o->nbvaleurs);
    s.text = keep_text(o);
    saved_->objects.push_back(std::move(s));
  }
  pixels_per_unit *= k;
  // Units in formulas are compiled against the unit length: compile them
  // again under the scaled one, keeping the blocks they had.
  for (object* o = saved_->fig->first; o; o = o->next) {
    if (!has_formula_blocks(o) || !o->parents || o->nbparents < 0) continue;
    const uint32_t n = static_cast<uint32_t>(o->nbparents);
    if (GlobalSize(o->parents) / sizeof(object*) < n + 2) continue;
    saved_->formulas.push_back({o, o->parents[n], o->parents[n + 1]});
    o->parents[n + 1] = nullptr;
    compile_calculation(o);
  }
  for (object* o = saved_->fig->first; o; o = o->next) scale_object(o, k);
}

scale_figure_for_printing::~scale_figure_for_printing() {
  pixels_per_unit = saved_->unit;
  for (const saved::formula& f : saved_->formulas) {
    object** slots = f.obj->parents + f.obj->nbparents;
    if (slots[1] != f.program) GlobalFreeAndNull(&slots[1]);
    if (slots[0] != f.text) GlobalFreeAndNull(&slots[0]);
    slots[0] = f.text;
    slots[1] = f.program;
  }
  for (saved::one& s : saved_->objects) {
    object* o = s.obj;
    if (o->valeurs && static_cast<size_t>(o->nbvaleurs) == s.values.size())
      std::copy(s.values.begin(), s.values.end(), o->valeurs);
    o->pos = s.pos;
    o->state = s.state;
    o->aux1 = s.aux1;
    o->aux2 = s.aux2;
    o->settings = s.settings;
    restore_text(o, s.text);
  }
  delete saved_;
}

page_image make_figure_page_image(double print_scale, int32_t* width, int32_t* height, double* scale) {
  page_image image;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!current_figure_view || !fig || !(print_scale > 0) || !std::isfinite(print_scale)) return image;
  page_cache& c = cache();
  if (!c.dd) {
    const double s = 300.0 / (drawing_page.bottom - drawing_page.top);
    c.scale = s;
    c.height = rounded((drawing_page.bottom - drawing_page.top) * s);
    c.width = rounded((drawing_page.right - drawing_page.left) * s);
    c.dd = dd_create();
    ensure_display_dc(c.dd);
    c.dd->portRect = {rounded(drawing_page.left * s), rounded(drawing_page.top * s), 0, 0};
    dd_select_bitmap(c.dd, create_dib_record(c.dd, c.width, c.height));
    if (!c.dd->bm) {
      destroy_display_device(c.dd);
      c = page_cache{};
      return image;
    }
  }
  if (width) *width = c.width;
  if (height) *height = c.height;
  if (scale) *scale = c.scale;
  const double s = c.scale;
  DisplayDevice* dd = c.dd;
  {
    const scale_figure_for_printing scaled(s * print_scale);
    const wide_lines_cleared plain_lines;
    draw_figure_plain(dd, fig, s, s * print_scale);
  }
  image.pixels = dd->bm->pixels;
  image.width = dd->bm->width;
  image.height = dd->bm->height;
  image.pitch = dd->bm->pitch;
  return image;
}

void draw_figure_plain(DisplayDevice* dd, kelvo_win_info* fig, double text_box_scale, double label_box_scale) {
  if (!dd || !fig) return;
  dd_draw_background(dd);
  if (fig->bgcolor != back_color) dd_fill_background(dd, fig->bgcolor);
  const uint32_t grey = color_by_name("LightGray");
  for (object* o = fig->first; o; o = o->next) {
    if (text_box_scale > 0 && is_text_like_object(o)) {
      if (!o->te) continue;
      const double k = text_box_scale;
      const int32_t left = static_cast<int32_t>(o->te->pos.x * k);
      const int32_t top = static_cast<int32_t>(o->te->pos.y * k);
      const tagRECT box{left, top, left + static_cast<int32_t>(o->te->size.w * k),
                        top + static_cast<int32_t>(o->te->size.h * k)};
      dd_rect_scaled_r(dd, &box, grey, 1);
      continue;
    }
    // A label is laid out in the screen's font and kept at its place in the
    // figure as it is: its box is drawn instead, its centre and size scaled
    // with the figure, so that it stays beside its object on the page.
    TErec* label = label_box_scale > 0 && !is_text_like_object(o) ? o->te : nullptr;
    bitmap_info* picture = o->bitmap;
    const uint8_t thickness = o->settings.thickness;
    o->bitmap = nullptr;
    o->settings.thickness = 0;
    o->te = label ? nullptr : o->te;
    draw_object(dd, o);
    o->te = label ? label : o->te;
    o->bitmap = picture;
    o->settings.thickness = thickness;
    if (label && label->text && *label->text && o->settings.visible && !(o->state & OBJ_UNDEFINED) &&
        o->final_no != 0) {
      const double k = label_box_scale;
      const double cx = (label->pos.x + label->size.w / 2.0) * k;
      const double cy = (label->pos.y + label->size.h / 2.0) * k;
      const double hw = label->size.w * k / 2, hh = label->size.h * k / 2;
      const tagRECT box{rounded(cx - hw), rounded(cy - hh), rounded(cx + hw), rounded(cy + hh)};
      dd_rect_scaled_r(dd, &box, grey, 1);
    }
  }
}

DisplayDevice* render_figure_image(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!current_figure_view || !fig) return nullptr;
  const int64_t w = int64_t{right} - left;
  const int64_t h = int64_t{bottom} - top;
  if (w <= 0 || h <= 0 || w * h > (int64_t{1} << 26)) return nullptr;
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd->portRect = {left, top, 0, 0};
  dd_select_bitmap(dd, create_dib_record(dd, static_cast<int32_t>(w), static_cast<int32_t>(h)));
  if (!dd->bm) {
    destroy_display_device(dd);
    return nullptr;
  }
  draw_figure_plain(dd, fig, 0, 0);
  return dd;
}

void free_page_image_cache() {
  destroy_display_device(cache().dd);
  cache() = page_cache{};
}
