#include "kernel/text/labels.h"

#include <cmath>
#include <cstring>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/text/text_drawing.h"
#include "kernel/tools/label_settings.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_state.h"

namespace {

constexpr int32_t kMaxLabelLength = 500;

int32_t round_half(double v) {
  if (!std::isfinite(v)) return 0;
  const double r = std::floor(v + 0.5);
  if (r > 1e9) return 1000000000;
  if (r < -1e9) return -1000000000;
  return static_cast<int32_t>(r);
}

}  // namespace

bool is_labelable_object(const object* obj) {
  if (!obj || !obj->otype) return false;
  const construct_method* m = class_method(&classe_label, 0);
  if (!m || !m->args) return false;
  const TYPEOBJ* code = m->args;
  if ((*code % 0x4000) < ARG_ONE_OF) return false;
  const int n = (*code % 0x4000) - ARG_ONE_OF;
  for (int i = 1; i <= n && code[i]; ++i)
    if (code[i] % 0x4000 == obj->otype->id) return true;
  return false;
}

void place_object_label(object* obj, unsigned char force) {
  if (!obj || !obj->te || !obj->otype) return;
  if ((obj->state & OBJ_UNDEFINED) || !obj->settings.visible) return;
  const bool point = obj->otype->id == TYPE_POINT;
  if (!point && !obj->otype->point_on) return;
  TErec* te = obj->te;
  const int32_t hw = te->size.w / 2, hh = te->size.h / 2;
  const double cx = static_cast<double>(te->pos.x) + hw, cy = static_cast<double>(te->pos.y) + hh;
  valeur anchor{};
  if (point) {
    if (!obj->valeurs || obj->nbvaleurs < 1) return;
    anchor = obj->valeurs[0];
  } else {
    anchor.h = cx;
    anchor.v = cy;
    void* param = obj->pdata;
    obj->otype->point_on(obj, &anchor, &param, force ? 2 : 1);
    obj->pdata = static_cast<double*>(param);
  }
  obj->val = anchor;
  if (!std::isfinite(anchor.h) || !std::isfinite(anchor.v) ||
      (anchor.infini_inexist_indetermine & (VAL_AT_INFINITY | VAL_NOT_EXIST)))
    return;
  if (force) {
    const double dx = cx - anchor.h, dy = cy - anchor.v;
    const double d = std::hypot(dx, dy);
    // With the centre on the anchor there is no direction to keep: the
    // label stays where it is.
    if (d == 0 || !std::isfinite(d)) return;
    const double len = std::min(d, std::sqrt(static_cast<double>(hw) * hw + static_cast<double>(hh) * hh) + 30);
    obj->pos.x = round_half(dx * len / d);
    obj->pos.y = round_half(dy * len / d);
  }
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && fig->cur_text == obj) return;
  te->pos.x = round_half(anchor.h + obj->pos.x - hw);
  te->pos.y = round_half(anchor.v + obj->pos.y - hh);
}

void restore_label_place(object* obj) {
  if (!obj || !obj->te || !obj->otype || (obj->state & OBJ_UNDEFINED) || !obj->settings.visible) return;
  if (obj->otype->id != TYPE_POINT && !obj->otype->point_on) return;
  const te_point read = obj->te->pos;
  place_object_label(obj, 1);
  const valeur& anchor = obj->val;
  if (!std::isfinite(anchor.h) || !std::isfinite(anchor.v) ||
      (anchor.infini_inexist_indetermine & (VAL_AT_INFINITY | VAL_NOT_EXIST)))
    return;
  // The offset the label was shown at, even one further than a new
  // placement would allow.
  obj->pos.x = round_half(read.x + obj->te->size.w / 2 - anchor.h);
  obj->pos.y = round_half(read.y + obj->te->size.h / 2 - anchor.v);
  obj->te->pos = read;
}

bool hit_test_object_label(object* obj, tagPOINT* p) {
  if (!obj || !obj->te || is_text_like_object(obj)) return false;
  return hit_test_text_frame(obj, p);
}

bool object_label_style(const object* obj, uint32_t* color, uint8_t* thickness, uint8_t dots[2]) {
  if (!obj || !obj->te || !obj->label || is_text_like_object(obj)) return false;
  const label_settings& l = *obj->label;
  if (color) *color = l.Color;
  if (thickness) *thickness = l.thickness;
  if (dots) {
    dots[0] = l.dot_style.lg;
    dots[1] = l.dot_style.cycle;
  }
  return true;
}

void default_label_anchor(const object* obj, int32_t* x, int32_t* y) {
  *x = *y = 0;
  if (!obj || !obj->otype || !obj->valeurs || obj->nbvaleurs < 1) return;
  const valeur* v = obj->valeurs;
  const uint16_t t = obj->otype->id;
  const bool at_rest = interaction_state == kInteractionPointerAtRest;
  if (t == TYPE_POINT) {
    *x = round_half(v[0].h + 5);
    *y = round_half(v[0].v - 5);
  } else if (t >= TYPE_SEGMENT && t <= 6 && obj->nbvaleurs >= 2) {
    *x = round_half((v[0].h + v[1].h) / 2);
    *y = round_half((v[0].v + v[1].v) / 2);
  } else if (t == TYPE_LINE && obj->nbvaleurs >= 2) {
    const double d = std::hypot(v[1].h, v[1].v);
    *x = round_half(v[0].h + (d > 0 ? 50 * v[1].h / d : 0));
    *y = round_half(v[0].v + (d > 0 ? 50 * v[1].v / d : 0));
  } else if ((t == TYPE_CIRCLE || obj->nbvaleurs > 1) && at_rest && obj->nbvaleurs > 1) {
    *x = round_half(v[1].h);
    *y = round_half(v[1].v);
  } else {
    *x = round_half(rubber_points[1].h);
    *y = round_half(rubber_points[1].v);
  }
}

bool type_into_label(char c) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  object* obj = fig ? fig->cur_text : nullptr;
  if (!obj) return false;
  const auto byte = static_cast<unsigned char>(c);
  const bool control = byte < 32 || byte == 127;
  if (control && (!obj->te || !obj->te->text || obj->te->text[0] == '\0')) return false;
  bool first = false;
  if (!obj->te) {
    if (!init_object_text_records(obj) || !obj->te) return false;
    obj->te->rich = 0;
    default_label_anchor(obj, &obj->te->pos.x, &obj->te->pos.y);
  }
  TErec* te = obj->te;
  const int32_t length = te->text ? static_cast<int32_t>(std::strlen(te->text)) : 0;
  if (!control) {
    if (length >= kMaxLabelLength) return false;
  } else if (byte != 8 || length == 0) {
    return false;
  }
  if (te->size.w < 40) te->size.w = 40;
  if (!control) {
    first = length == 0;
    const uint32_t need = static_cast<uint32_t>(length) + 2;
    if (!te->text || GlobalSize(te->text) < need) {
      char* grown = alloc_block<char>(static_cast<uint32_t>(length) + 10);
      if (!grown) return false;
      if (te->text) std::memcpy(grown, te->text, static_cast<size_t>(length));
      GlobalFreeAndNull(&te->text);
      te->text = grown;
    }
    te->text[length] = c;
    te->text[length + 1] = '\0';
    te->length = length + 1;
  } else {
    // Kernel texts are single-byte Mac Roman: the last character is a byte.
    te->text[length - 1] = '\0';
    te->length = length - 1;
  }
  te->needs_regen = 1;
  te->regen_pending = 1;
  if (text_handle_ops().refresh) text_handle_ops().refresh(obj, true);
  place_object_label(obj, first ? 1 : 0);
  redraw_figure(2);
  copy_static_display();
  if (current_figure_view) refresh_figure_description(current_figure_view);
  return true;
}
