#include "kernel/text/text_drawing.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/table.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/labels.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/window_hooks.h"

uint8_t table_draw_mask = 0xFF;

namespace {

// Second flag word: a number shown inside a text, and linked to a text
// (framed with it when selected).
constexpr uint32_t kShownInText = 4;
constexpr uint32_t kLinkedToText = 2;
// Second flag word of buttons: pushed.
constexpr uint32_t kButtonPushed = 32;
constexpr int32_t kWholeWidth = 0xFFFFFFF;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

bool is_active_text(const object* obj) {
  kelvo_win_info* fig = figure();
  return fig && fig->cur_text == obj;
}

// The in-figure editor shows the active text while it is open.
bool editor_open_on(const object* obj) {
  if (!is_active_text(obj)) return false;
  const window_hooks& h = window_services();
  int32_t a = 0, b = 0, n = 0;
  return h.text_editor_selection && h.text_editor_selection(&a, &b, &n);
}

bool label_is_framed(const label_settings* l) {
  return l && (l->opaque || l->Color != back_color || l->FillColor != back_color);
}

bool text_is_framed(const object* o) {
  return o->settings.opaque || o->settings.FillColor != back_color || o->settings.Color != back_color;
}

void refresh_strings(object* obj) {
  if (text_handle_ops().refresh) text_handle_ops().refresh(obj, true);
}

}  // namespace

bool is_text_like_object(const object* obj) {
  if (!obj || !obj->otype) return false;
  switch (obj->otype->id) {
    case TYPE_TEXT:
    case TYPE_NUMBER:
    case TYPE_PROPERTY:
    case TYPE_EQUATION:
    case TYPE_TABLE:
    case TYPE_EXPRESSION:
    case TYPE_BUTTON:
      return true;
    default:
      return false;
  }
}

bool has_displayed_text(const object* obj) {
  if (!obj) return false;
  if (is_labelable_object(obj) && obj->te && obj->te->text) return true;
  const construct_class* c = obj->classe;
  if (c == &classe_nombre || c == &classe_text || c == &classe_exp_num || c == &classe_table ||
      c == &classe_alignement || c == &classe_parallelism || c == &classe_perpendism || c == &classe_equidistant ||
      c == &classe_membership)
    return true;
  return c == &classe_equation && obj->methode == 0;
}

bool object_has_label_text(const object* obj) { return obj && obj->te && obj->te->text && obj->te->text[0] != '\0'; }

bool is_measure_object(const object* obj) {
  if (!obj) return false;
  const construct_class* c = obj->classe;
  return c == &classe_length || c == &classe_aire || c == &classe_equation || c == &classe_pente ||
         c == &classe_angleMes || c == &classe_calculate || c == &classe_nombre;
}

object* find_single_number_object(object* obj) {
  if (!obj) return nullptr;
  if (type_of(obj) == TYPE_NUMBER) return obj;
  object* found = nullptr;
  for (insert_object* n = obj->inserted; n; n = n->next)
    if (type_of(n->obj) == TYPE_NUMBER) {
      if (found && found != n->obj) return nullptr;
      found = n->obj;
    }
  return found;
}

object* find_text_containing_number(object* obj) {
  if (type_of(obj) != TYPE_NUMBER) return obj;
  object* text = find_referencing_text(obj);
  return text ? text : obj;
}

bool selection_has_text_record() {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->selection || !fig->selection->items) return false;
  for (int i = 0; fig->selection->items[i]; ++i)
    if (fig->selection->items[i]->te) return true;
  return false;
}

bool is_current_text_tool_target(const object* obj) {
  if (!obj || !is_active_text(obj)) return false;
  const construct_class* c = current_class;
  return c == &classe_label || c == &classe_text || c == &classe_table || c == &classe_exp_num ||
         c == &classe_nombre;
}

bool is_number_in_active_text(const object* obj) {
  kelvo_win_info* fig = figure();
  object* text = fig ? fig->cur_text : nullptr;
  return obj && type_of(text) == TYPE_TEXT && text->inserted && find_text_reference(0, obj, text->inserted) != nullptr;
}

object* selected_number_in_active_text(int* count) {
  kelvo_win_info* fig = figure();
  object* found = nullptr;
  int n = 0;
  if (fig && fig->selection && fig->selection->items)
    for (int i = 0; fig->selection->items[i]; ++i) {
      object* o = fig->selection->items[i];
      if (type_of(o) == TYPE_NUMBER && is_number_in_active_text(o)) {
        found = o;
        ++n;
      }
    }
  if (count) *count = n;
  return n == 1 ? found : nullptr;
}

namespace {

// A text read from a file may stand at the very end of the pixel range:
// its edges stop there rather than wrap round to the other end.
int32_t pixel_sum(int64_t a, int64_t b) { return static_cast<int32_t>(std::clamp<int64_t>(a + b, INT32_MIN, INT32_MAX)); }

}  // namespace

void text_frame_rect(const object* obj, tagRECT* r) {
  *r = tagRECT{};
  if (!obj || !obj->te) return;
  const TErec* te = obj->te;
  *r = tagRECT{te->pos.x, te->pos.y, pixel_sum(te->pos.x, te->size.w), pixel_sum(te->pos.y, te->size.h)};
  int32_t grow = -1;
  if (is_text_like_object(obj)) {
    if (text_is_framed(obj)) grow = obj->settings.thickness + 3;
  } else if (label_is_framed(obj->label)) {
    grow = obj->label->thickness + 3;
  }
  if (grow >= 0) {
    r->left = pixel_sum(r->left, -grow);
    r->top = pixel_sum(r->top, -grow);
    r->right = pixel_sum(r->right, grow);
    r->bottom = pixel_sum(r->bottom, grow);
  }
}

void get_text_range_rect(object* obj, tagRECT* r) {
  text_frame_rect(obj, r);
  if (!obj || !obj->te || obj->settings.opaque || !text_handle_ops().text_extent) return;
  int32_t w = 0, h = 0;
  if (!text_handle_ops().text_extent(obj, &w, &h)) return;
  *r = tagRECT{obj->te->pos.x, obj->te->pos.y, pixel_sum(obj->te->pos.x, int64_t{w} + 1), pixel_sum(obj->te->pos.y, int64_t{h} + 1)};
}

void DrawKPTexte(DisplayDevice* dd, object* obj) {
  kelvo_win_info* fig = figure();
  if (!fig || !dd || !obj) return;
  TErec* te = obj->te;
  const uint32_t color = te ? te->format.color : 0;
  // Texts are drawn into every device, printed pages included: there is
  // no page-image preview whose texts would be shown apart.
  if (!te || !te->text) return;
  if ((obj->aux2 & kShownInText) && type_of(obj) == TYPE_NUMBER) return;
  if (editor_open_on(obj)) return;
  // The strings are brought up to date first: the frame follows them.
  refresh_strings(obj);
  tagRECT r;
  text_frame_rect(obj, &r);
  if (obj->state & OBJ_ERASE) {
    dd_rect_scaled(dd, r.left - 1, r.top - 1, r.right, r.bottom, back_color, 1);
    return;
  }
  if (!is_active_text(obj)) {
    if (obj->settings.opaque)
      dd_rect_scaled(dd, r.left - 1, r.top - 1, r.right, r.bottom, object_effective_fill_color(obj), 1);
    if (obj->settings.Color != back_color)
      draw_rect_outline(dd, r.left, r.top, r.right, r.bottom, object_effective_color(obj), obj->settings.thickness,
                        &obj->settings.dot_style);
  }
  if (text_handle_ops().draw) text_handle_ops().draw(dd, obj, color);
}

void redraw_text_object(DisplayDevice* dd, object* obj) {
  if (!obj || !obj->te || is_text_like_object(obj)) return;
  const object_settings saved = obj->settings;
  param_color* pcolor = obj->pcolor;
  param_color* pfill = obj->pfill;
  if (const label_settings* l = obj->label) {
    obj->settings.Color = l->Color;
    obj->settings.FillColor = l->FillColor;
    obj->settings.opaque = l->opaque;
    obj->settings.thickness = l->thickness;
    obj->settings.dot_style = l->dot_style;
  } else {
    obj->settings.Color = back_color;
    obj->settings.FillColor = back_color;
    obj->settings.opaque = 0;
    obj->settings.thickness = 0;
    obj->settings.dot_style = dot{};
  }
  obj->pcolor = obj->pfill = nullptr;
  // The label's frame rule applies while the object wears its settings.
  label_settings* label = obj->label;
  label_settings own{obj->settings.Color, obj->settings.FillColor, obj->settings.thickness, obj->settings.opaque,
                     obj->settings.dot_style};
  obj->label = &own;
  DrawKPTexte(dd, obj);
  obj->label = label;
  obj->pcolor = pcolor;
  obj->pfill = pfill;
  obj->settings = saved;
}

void reference_area_rect(const TErec* te, const insert_object* ref, int which, tagRECT* r) {
  // Points 1 and 2 give the first rectangle, points 4 and 3 the second.
  const tagPOINT a = ref->area[which == 0 ? 0 : 3];
  const tagPOINT c = ref->area[which == 0 ? 1 : 2];
  r->left = te->pos.x + a.x;
  r->top = te->pos.y + a.y;
  r->right = te->pos.x + (c.x == kWholeWidth ? te->size.w : c.x);
  r->bottom = te->pos.y + (c.y == kWholeWidth ? te->size.h : c.y);
}

bool hit_test_text_frame(object* obj, tagPOINT* p) {
  if (!obj || !obj->te || !p) return false;
  tagRECT R;
  text_frame_rect(obj, &R);
  const int32_t l = R.left, t = R.top, r = R.right, b = R.bottom, x = p->x, y = p->y;
  if (l - 8 < x && x < r + 8 && t - 8 < y && y < b + 8) {
    const bool top = t - 8 < y && y <= t - 1;
    const bool bottom = b + 1 <= y && y < b + 8;
    const bool left = l - 8 < x && x <= l - 1;
    const bool right = r + 1 <= x && x < r + 8;
    const bool ccol = std::abs(x - (l + r) / 2) <= 4;
    const bool crow = std::abs(y - (t + b) / 2) <= 4;
    uint16_t code = 0;
    if (top) {
      code = left ? 262 : right ? 260 : ccol ? 261 : 0;
    } else if (bottom) {
      code = left ? 264 : right ? 257 : ccol ? 265 : 0;
    } else {
      code = left && crow ? 263 : right && crow ? 259 : 0;
    }
    if (code) {
      hit_part = code;
      return true;
    }
  }
  if ((obj->aux2 & kShownInText) && type_of(obj) != TYPE_TEXT) return false;
  if (!(l < x && x < r && t < y && y < b)) return false;
  const TErec* te = obj->te;
  hit_part = 258;
  for (const insert_object* n = obj->inserted; n; n = n->next) {
    auto inside = [&](int which) {
      tagRECT area;
      reference_area_rect(te, n, which, &area);
      return area.left <= x && x < area.right && area.top <= y && y < area.bottom;
    };
    if (inside(0) || inside(1)) {
      hit_part = static_cast<uint16_t>(258 + n->number);
      break;
    }
  }
  return true;
}

bool hit_test_button_object(object* obj, tagPOINT* p) { return static_cast<int8_t>(hit_test_text_frame(obj, p)) != 0; }

void draw_button_object(DisplayDevice* dd, object* obj) {
  if (!dd || !obj || !obj->te) return;
  TErec* te = obj->te;
  int32_t left = te->pos.x - 4, top = te->pos.y - 4, right = te->pos.x + te->size.w + 3,
          bottom = te->pos.y + te->size.h + 3;
  const bool pushed = obj->aux2 & kButtonPushed;
  const bool smoothing = dd->dc && dd->dc->antialiasing();
  if (dd->dc) dd->dc->allowsAntialiasing(false);
  const uint32_t c = object_effective_color(obj);
  const bool blank = c == back_color;
  const uint32_t gray = blank ? back_color : color_by_name("Gray");
  dd_frame_rect_scaled(dd, left, top, right, bottom, blank ? back_color : default_color);
  ++left, ++top, --right, --bottom;
  if (pushed) {
    dd_frame_rect_scaled(dd, left, top, right, bottom, gray);
    ++left, ++top;
    dd_rect_scaled(dd, left, top, right, bottom, back_color, 1);
  } else {
    dd_frame_rect_scaled(dd, left, top, right, bottom, back_color);
    ++left, ++top;
    dd_frame_rect_scaled(dd, left, top, right, bottom, gray);
    --right, --bottom;
    dd_rect_scaled(dd, left, top, right, bottom, blank ? back_color : object_effective_fill_color(obj), 1);
  }
  if (obj->bitmap && obj->bitmap->image)
    blit_object_image(dd, te->pos.x + te->size.w / 2 + (pushed ? 1 : 0), te->pos.y + te->size.h / 2 + (pushed ? 1 : 0),
                      static_cast<const KPUniversalBitmap*>(obj->bitmap->image), 1, 1);
  if (dd->dc) dd->dc->allowsAntialiasing(smoothing);
  const uint32_t color = obj->settings.Color, fill = obj->settings.FillColor;
  const te_point pos = te->pos;
  const te_size size = te->size;
  obj->settings.Color = obj->settings.FillColor = back_color;
  const int8_t opaque = obj->settings.opaque;
  obj->settings.opaque = 0;
  if (pushed) ++te->pos.x, ++te->pos.y;
  DrawKPTexte(dd, obj);
  obj->settings.Color = color;
  obj->settings.FillColor = fill;
  obj->settings.opaque = opaque;
  te->pos = pos;
  te->size = size;
}

void draw_table_object(DisplayDevice* dd, object* obj) {
  if (!dd || !obj || !obj->te) return;
  TErec* te = obj->te;
  if (editor_open_on(obj)) return;
  const uint8_t mask = table_draw_mask;
  const int32_t left = te->pos.x, top = te->pos.y;
  if (obj->state & OBJ_ERASE) {
    const int32_t t = obj->settings.thickness;
    dd_rect_scaled(dd, left - t, top - t, left + te->size.w + t, top + te->size.h + t, back_color, 1);
    return;
  }
  // Everything is laid out in figure pixels, the font measured on this
  // device at its zoom: rows, texts and lines keep together at any zoom.
  const table_font_metrics metrics = table_metrics_on(dd, te);
  // The cells, headers and row numbers in the table's own font.
  const dd_selected_text_font in_table_font(dd);
  const int32_t w0 = metrics.first_column, h = metrics.line_height, ascent = metrics.ascent;
  const double ratio = dd->ratio > 0 ? dd->ratio : 1;
  auto text_width = [&](const char* s) { return static_cast<int32_t>(std::lround(dd_text_width(dd, s) / ratio)); };
  // The baseline of the texts of the row starting at row_top. At a zoom
  // they are drawn in the font made at that zoom, whose digits keep to
  // whole pixels while the rows shrink or grow exactly: placed as at 100 %
  // they would fall on a row line. Each row's digits are put in the middle
  // between its two lines on the device's pixels instead, clear of both.
  auto baseline = [&](int32_t row_top) {
    const double cap = dd->fi.cap_height;
    if (ratio == 1 || dd->orientation != 1 || cap <= 0) return row_top + ascent;
    // A line at a whole device ordinate covers that pixel row and the one
    // above it; the glyphs sit the fraction of the font's ascent below the
    // baseline given.
    const int32_t line = dd_y(dd, row_top), next = dd_y(dd, row_top + h);
    const double drop = std::clamp(dd->fi.exact_ascent - dd->fi.ascent, 0.0, 1.0);
    const auto wanted = static_cast<int32_t>(std::lround((line + next + cap) / 2.0 - drop));
    // dd_draw_text puts the baseline at the device ordinate of the figure
    // ordinate given: the first whole figure ordinate that lands there.
    return dd->portRect.top + static_cast<int32_t>(std::ceil((wanted - 0.5) / ratio));
  };
  const bool active = is_active_text(obj);
  const int32_t columns = obj->nbparents > 0 ? obj->nbparents / 2 : 0;
  if (!active && (mask & 1)) {
    // The frame grows to hold the row numbers and every column, so that
    // the screen, an export and a print all show the same table.
    te->size.w = std::max(te->size.w, w0 + table_columns_width(te, columns));
    if (obj->settings.opaque || obj->settings.FillColor != back_color)
      dd_rect_scaled(dd, left, top, left + te->size.w, top + te->size.h, object_effective_fill_color(obj), 1);
  }
  const int32_t right = left + te->size.w, bottom = top + te->size.h;
  // Column widths: the array grows on demand; 0 means 70.
  if (columns > 0 && (!te->column_widths || te->column_widths[0] <= columns)) {
    const int32_t n = columns + 1;
    auto* widths = alloc_block<int32_t>(static_cast<uint32_t>(n));
    if (widths) {
      widths[0] = n;
      const int32_t old = te->column_widths ? te->column_widths[0] : 0;
      for (int32_t i = 1; i < n; ++i) widths[i] = i < old ? te->column_widths[i] : 0;
      GlobalFreeAndNull(&te->column_widths);
      te->column_widths = widths;
    }
  }
  auto width_of = [&](int32_t k) { return table_column_width(te, k); };
  const uint32_t color = object_effective_color(obj);
  const uint32_t ink = color == back_color ? back_color : te->format.color;
  if (active && (mask & 1)) {
    const uint32_t bar = color == back_color ? back_color : light_gray_color;
    if (te->sel_start == 0 && te->sel_end > 0 && te->sel_end <= columns) {
      int32_t x = left + w0;
      for (int32_t k = 1; k < te->sel_end; ++k) x += width_of(k);
      dd_rect_scaled(dd, x, top, std::min(right, x + width_of(te->sel_end)), bottom, bar, 1);
    } else if (te->sel_start > 0) {
      const int32_t y = top + h * te->sel_start;
      if (y < bottom) dd_rect_scaled(dd, left, y, right, std::min(bottom, y + h), bar, 1);
    }
  }
  const dot dotted{1, 2};
  if ((mask & 1) && obj->settings.dot_style.lg < 2) {
    draw_rect_outline(dd, left, top, right, bottom, color, obj->settings.thickness, nullptr);
    int32_t x = left + w0;
    draw_segment_styled(dd, x, top, x, bottom, color, 0, nullptr, 2);
    for (int32_t k = 1; k < columns && x < right; ++k) {
      x += width_of(k);
      if (x < right) draw_segment_styled(dd, x, top, x, bottom, color, 0, &dotted, 2);
    }
    int32_t row = 0;
    // Lines below the device's port are not seen: drawing stops there.
    const int32_t seen_bottom = std::min(bottom, dd->portRect.bottom + h);
    for (int32_t y = top + h; y < seen_bottom; y += h, ++row) {
      draw_segment_styled(dd, left, y, right, y, color, 0, row == 0 ? nullptr : &dotted, 2);
      if (row >= 1 && row <= 999) {
        char number[8];
        std::snprintf(number, sizeof number, "%d", row);
        dd_draw_text(dd, left + w0 - 7 - text_width(number), baseline(y - h), number, ink);
      }
    }
    // The last line's number (when the frame ends on a line boundary).
  }
  const int32_t cells = obj->nbvaleurs > 0 ? obj->nbvaleurs * columns : 0;
  if (mask & 8) {
    int32_t x = left + w0;
    for (int32_t k = 0; k < columns && x < right; ++k) {
      object* number = obj->parents ? obj->parents[2 * k + 1] : nullptr;
      object* text = number ? find_referencing_text(number) : nullptr;
      if (text && text->te && text->te->text) {
        const char* s = text->te->text;
        const char* marker = std::strchr(s, '$');
        const int32_t n = marker ? static_cast<int32_t>(marker - s) : static_cast<int32_t>(std::strlen(s));
        char head[256];
        const int32_t m = std::min<int32_t>(n, sizeof head - 1);
        std::memcpy(head, s, static_cast<size_t>(m));
        head[m] = '\0';
        text_field_width = std::max(0, width_of(k + 1) - 2);
        dd_draw_text(dd, x + 1, baseline(top), head, ink);
        text_field_width = 0;
      }
      x += width_of(k + 1);
    }
  }
  if ((mask & 6) && cells > 0 && te->text) {
    const int32_t size = static_cast<int32_t>(GlobalSize(te->text));
    int32_t at = 0;
    const int32_t first_row = (mask & 2) ? 0 : obj->nbvaleurs - 1;
    for (int32_t k = 0; k < cells && at < size; ++k) {
      const char* cell = te->text + at;
      const void* nul = std::memchr(cell, '\0', static_cast<size_t>(size - at));
      const int32_t len = nul ? static_cast<int32_t>(static_cast<const char*>(nul) - cell) : size - at;
      at += len + 1;
      const int32_t row = k / columns, col = k % columns;
      if (row < first_row) continue;
      const int32_t y = top + h * (row + 1);
      if (y + h > bottom || y > dd->portRect.bottom) break;
      int32_t x = left + w0;
      for (int32_t j = 1; j <= col; ++j) x += width_of(j);
      const int32_t cw = width_of(col + 1);
      if (x >= right) continue;
      char buffer[64];
      const int32_t m = std::min<int32_t>(len, sizeof buffer - 1);
      std::memcpy(buffer, cell, static_cast<size_t>(m));
      buffer[m] = '\0';
      const int32_t tw = std::min(text_width(buffer), cw - 5);
      text_field_width = std::max(0, cw - 5);
      dd_draw_text(dd, x + cw - 11 - tw, baseline(y), buffer, ink);
      text_field_width = 0;
    }
  }
}

namespace {

bool has_dependants(const kelvo_win_info* fig, const object* obj) {
  for (const object* o = fig->first; o; o = o->next)
    for (int i = 0; i < o->nbparents; ++i)
      if (o->parents && o->parents[i] == obj) return true;
  return false;
}

}  // namespace

void delete_empty_text_objects() {
  kelvo_win_info* fig = figure();
  if (!fig) return;
  for (bool deleted = true; deleted;) {
    deleted = false;
    for (object* o = fig->first; o; o = o->next) {
      const uint16_t t = type_of(o);
      bool empty = false;
      if (t == TYPE_NUMBER && (!o->te || (o->te->size.w == 0 && o->te->size.h == 0))) {
        empty = true;
      } else if ((t == TYPE_TEXT || t == TYPE_EXPRESSION || o->classe == &classe_nombre) && !is_active_text(o)) {
        const bool no_parents = t == TYPE_TEXT ? o->inserted == nullptr : o->nbparents == 0;
        const char* s = o->te && o->te->text ? o->te->text : "";
        bool blank = s[0] == '\0';
        if (!blank && t == TYPE_EXPRESSION) {
          blank = true;
          for (const char* c = s; *c; ++c)
            if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\n') blank = false;
        }
        empty = no_parents && blank;
      }
      if (!empty && t == TYPE_NUMBER && (o->aux2 & kShownInText) && current_class != &classe_text &&
          !find_referencing_text(o)) {
        // No text shows it any longer. What still depends on it must not
        // go with it: such a number shows by itself instead.
        if (has_dependants(fig, o)) {
          o->aux2 &= ~(kShownInText | kLinkedToText);
          if (o->te && o->valeurs && o->nbvaleurs > 0) {
            o->valeurs[0].h = o->te->pos.x;
            o->valeurs[0].v = o->te->pos.y;
          }
        } else {
          empty = true;
        }
      }
      if (empty) {
        delete_object_quietly(o);
        deleted = true;
        break;
      }
    }
  }
}

void bind_text_operations() {
  for (type* t : {&type_text, &type_number, &type_property, &type_equation, &type_expression}) {
    t->draw = DrawKPTexte;
    t->hit_test = hit_test_text_frame;
  }
  type_table.draw = draw_table_object;
  type_table.hit_test = hit_test_text_frame;
  type_button.draw = draw_button_object;
  type_button.hit_test = hit_test_button_object;
}
