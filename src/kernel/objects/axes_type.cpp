#include "kernel/objects/axes_type.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_state.h"

double hit_graduation_value = 0;

namespace {

constexpr double kSmall = 1e-10;
// Kernel string rows of the designation texts of an axis and of a tick.
constexpr int kRowAxisForTool = 234;
constexpr int kRowAxis = 235;
constexpr int kRowTick = 236;

bool tool_current_not_grid() { return current_class && current_class != &classe_grid; }
bool pointer_at_rest() { return interaction_state == kInteractionPointerAtRest; }

// The rectangle an axis is clipped to on this device: the shared layers
// span the whole view whatever part of it they were last asked to draw.
tagRECT axes_rect(DisplayDevice* dd) {
  tagRECT r = dd->portRect;
  if ((dd == static_display || dd == moving_display) && display_device_hooks.view_bounds) {
    int w = 0, h = 0;
    if (display_device_hooks.view_bounds(dd, &w, &h)) {
      r.right = r.left + w;
      r.bottom = r.top + h;
    }
  }
  return r;
}

void select_number_font(DisplayDevice* dd) {
  const int32_t size = default_attrs[ATTRS_NUMBER].text_size;
  car_info font{};
  font.size = size > 0 ? size : 10;
  dd_select_text_font(dd, &font);
}

axis_point_param* param_block(void** param) {
  if (*param && GlobalSize(*param) >= sizeof(axis_point_param)) return static_cast<axis_point_param*>(*param);
  // A smaller block (a bare parameter) keeps its position.
  double t = *param && GlobalSize(*param) >= sizeof(double) ? *static_cast<double*>(*param) : 0;
  auto* block = alloc_block<axis_point_param>();
  if (!block) return nullptr;
  block->t = t;
  GlobalFreeAndNull(param);
  *param = block;
  return block;
}

}  // namespace

bool graduation_tick_range(const tagRECT& r, double ox, double oy, double dx, double dy, double* first,
                           int64_t* count, int* step) {
  if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(dx) || !std::isfinite(dy)) return false;
  // Ticks closer than a pixel would only blacken the line (and a damaged
  // code could ask for billions of them).
  if (std::hypot(dx, dy) < 1) return false;
  double k0, k1;
  if (std::fabs(dx) > std::fabs(dy)) {
    k0 = std::floor((r.left - ox) / dx);
    k1 = std::floor((r.right - ox) / dx);
  } else {
    k0 = std::floor((r.top - oy) / dy);
    k1 = std::floor((r.bottom - oy) / dy);
  }
  if (!std::isfinite(k0) || !std::isfinite(k1)) return false;
  *step = 1;
  if (k1 > k0) {
    k0 += 1;
  } else if (k1 < k0) {
    k1 += 1;
    *step = -1;
  }
  const double n = std::fabs(k1 - k0) + 1;
  if (n > 1e7) return false;
  *first = k0;
  *count = static_cast<int64_t>(n);
  return true;
}

bool clip_axis_to_rect(object* axes, int16_t k, double* dx, double* dy, double ends[4], const tagRECT* r) {
  const valeur* v = axes->valeurs;
  *dx = v[k + 1].h;
  *dy = v[k + 1].v;
  if (std::fabs(*dx) < kSmall && std::fabs(*dy) < kSmall) return false;
  double xmin = r->left + 1, xmax = r->right - 2, ymin = r->top + 1, ymax = r->bottom - 2;
  if (KPGeoDocument::printingInProgress()) {
    xmin = r->left + 11, xmax = r->right - 11, ymin = r->top + 11, ymax = r->bottom - 11;
  }
  const double ox = v[0].h, oy = v[0].v;
  if (std::fabs(*dy) > kSmall && std::fabs(*dx) > kSmall) {
    int found = 0;
    const auto keep = [&](double x, double y) {
      if (found < 2) {
        ends[2 * found] = x;
        ends[2 * found + 1] = y;
        ++found;
      }
    };
    double x = *dx * (ymin - oy) / *dy + ox;
    if (x >= xmin && x <= xmax) keep(x, ymin);
    x = *dx * (ymax - oy) / *dy + ox;
    if (x >= xmin && x <= xmax) keep(x, ymax);
    double y = *dy * (xmin - ox) / *dx + oy;
    if (y >= ymin && y <= ymax) keep(xmin, y);
    y = *dy * (xmax - ox) / *dx + oy;
    if (y >= ymin && y <= ymax) keep(xmax, y);
    return found == 2;
  }
  if (std::fabs(*dy) > kSmall) {
    if (xmin <= ox && ox <= xmax) {
      ends[0] = ox, ends[1] = ymin, ends[2] = ox, ends[3] = ymax;
      return true;
    }
    return false;
  }
  if (ymin <= oy && oy <= ymax) {
    ends[0] = xmin, ends[1] = oy, ends[2] = xmax, ends[3] = oy;
    return true;
  }
  return false;
}

void graduation_label(int32_t code, char out[32]) {
  if (code == 1)
    std::snprintf(out, 32, "1");
  else
    std::snprintf(out, 32, "%g", graduation_step(code));
}

void draw_axis_number(DisplayDevice* dd, double ox, double oy, double dx, double dy, uint32_t colour, int32_t code) {
  const double s = graduation_step(code);
  if (code != 1) {
    dx *= s;
    dy *= s;
  }
  double t = 0;
  int64_t n = 0;
  int step = 1;
  if (!graduation_tick_range(dd->portRect, ox, oy, dx, dy, &t, &n, &step)) return;
  const int16_t angle = direction_degrees(dx, dy);
  for (int64_t i = 0; i < n; ++i, t += step) {
    const double x = ox + t * dx, y = oy + t * dy;
    draw_point_mark(dd, x, y, angle, 0, colour, kShapeShortTick, nullptr);
    if (t == 1) {
      char text[32];
      graduation_label(code, text);
      select_number_font(dd);
      // In that font, at the figure's zoom.
      const dd_selected_text_font in_number_font(dd);
      dd_draw_text(dd, round_pixel(std::floor(x + 2.5)), round_pixel(std::floor(y + 2.5)), text, colour);
    }
  }
}

namespace {

void draw_axes_common(DisplayDevice* dd, object* axes, bool single) {
  if (!dd || !axes->valeurs || axes->nbvaleurs < 3) return;
  tagRECT r = single ? axes_rect(dd) : dd->portRect;
  if (!single) {
    if (KPGeoDocument::printingInProgress()) {
      int w = 0, h = 0;
      if (display_device_hooks.view_bounds && display_device_hooks.view_bounds(dd, &w, &h)) {
        r.right = r.left + w;
        r.bottom = r.top + h;
      }
    } else {
      r = axes_rect(dd);
    }
  }
  uint8_t pattern[2] = {0, 0};
  const bool dashed = pixel_pen.dash_active != 0;
  if (dashed) {
    pattern[0] = pixel_pen.on_length;
    pattern[1] = pixel_pen.period;
  }
  const uint32_t colour = object_effective_color(axes);
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint32_t background = fig ? fig->bgcolor : back_color;
  const uint32_t g = colour == background ? background : color_by_name("Red");
  const valeur& o = axes->valeurs[0];
  for (int16_t k = 0; k < (single ? 1 : 2); ++k) {
    double dx, dy, ends[4];
    if (!clip_axis_to_rect(axes, k, &dx, &dy, ends, &r)) continue;
    if (dashed) set_dash_pattern(pattern);
    draw_segment_styled(dd, o.h, o.v, o.h + dx, o.v + dy, colour, axes->settings.thickness,
                        &axes->settings.dot_style, kExtentLine);
    draw_axis_number(dd, o.h, o.v, dx, dy, g, axes->valeurs[k + 1].info.entier);
    if (ends[0] == ends[2] && ends[1] == ends[3]) continue;
    const bool second = (ends[2] - ends[0]) * dx + (ends[3] - ends[1]) * dy > 0;
    double x = second ? ends[2] : ends[0], y = second ? ends[3] : ends[1];
    const int16_t angle = direction_degrees(dx, dy);
    if (single) {
      draw_arrow_head(dd, x, y, g, 'r', angle, false);
      continue;
    }
    const bool thick = axes->settings.thickness != 0;
    const double back = thick ? 6 : 3, len = std::hypot(dx, dy);
    x -= back * dx / len;
    y -= back * dy / len;
    draw_arrow_head(dd, x, y, g, k == 0 ? 'x' : 'y', angle, thick);
  }
}

}  // namespace

void draw_axes(DisplayDevice* dd, object* axes) { draw_axes_common(dd, axes, is_single_axis(axes)); }

bool axes_hit_test(object* axes, tagPOINT* m) {
  hit_part = 0;
  if (axes->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED)) return false;
  if (!axes->valeurs || axes->nbvaleurs < 3) return false;
  if (hit_test_object_label(axes, m)) return true;
  const valeur& o = axes->valeurs[0];
  const bool named = axes->str && axes->str[0] == 1;
  for (int k = is_single_axis(axes) ? 0 : 1; k >= 0; --k) {
    const valeur& u = axes->valeurs[k + 1];
    const double s = graduation_step(u.info.entier);
    const double dx = u.h * s, dy = u.v * s;
    // The ticks near the pointer: the nearest index along the dominant
    // coordinate and its neighbours (what a walk over the visible ticks
    // would meet first).
    if (std::isfinite(dx) && std::isfinite(dy) && std::hypot(dx, dy) >= 1) {
      const double p = std::fabs(dx) > std::fabs(dy) ? (m->x - o.h) / dx : (m->y - o.v) / dy;
      if (std::isfinite(p)) {
        const double base = std::floor(p);
        for (double t = base - 1; t <= base + 2; ++t) {
          if (t == 0) continue;
          if (std::fabs(o.h + t * dx - m->x) + std::fabs(o.v + t * dy - m->y) < pick_tolerance) {
            hit_part = static_cast<uint16_t>(k == 0 ? 3 : 4);
            hit_graduation_value = t;
            if (!named)
              axes->str = kernel_strings[pointer_at_rest() ? kRowTick
                                         : tool_current_not_grid() ? kRowAxisForTool
                                                                   : kRowAxis];
            return true;
          }
        }
      }
    }
    valeur line[2] = {o, u};
    line[1].h = dx;
    line[1].v = dy;
    line[0].infini_inexist_indetermine = 0;
    if (near_line(line, m)) {
      hit_part = static_cast<uint16_t>(k == 0 ? 1 : 2);
      if (!named)
        axes->str = kernel_strings[tool_current_not_grid() || (pointer_at_rest() && hit_part == 2) ? kRowAxisForTool
                                                                                                   : kRowAxis];
      return true;
    }
  }
  return false;
}

void axes_point_on(object* axes, valeur* io, void** param, int mode) {
  const bool fresh = *param == nullptr;
  axis_point_param* b = param_block(param);
  if (!b || !axes->valeurs || axes->nbvaleurs < 3) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (fresh) {
    b->axis = b->snap = 0;
    if (mode != 3) mode = 2;
    tagPOINT at{round_pixel(io->h), round_pixel(io->v)};
    char* name = axes->str;
    axes_hit_test(axes, &at);
    axes->str = name;
    if (hit_part == 2 || hit_part == 4) b->axis = 1;
    // A tick under the point holds it there, except while a locus samples
    // its driver along the axes.
    if ((hit_part == 3 || hit_part == 4) && !locus_busy) b->snap = 1;
  }
  if (b->axis > 1) b->axis = 1;
  if (is_single_axis(axes)) b->axis = 0;
  const valeur& o = axes->valeurs[0];
  const valeur& d = axes->valeurs[b->axis + 1];
  const double s = graduation_step(d.info.entier);
  const double len = std::hypot(d.h, d.v);
  if (!(len >= kSmall) || !std::isfinite(len)) {
    io->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  if (mode == 3) {
    const double n = io->h, k = io->v;
    io->infini_inexist_indetermine = 0;
    if (b->snap) {
      b->t = (k - n / 2) * s;
    } else if (!(n > 0)) {
      io->infini_inexist_indetermine = VAL_NOT_EXIST;
      return;
    } else if (k != 0 && k != n) {
      b->t = pixels_per_unit * 10 * std::tan((k / n - 0.5) * std::numbers::pi) / len;
    } else {
      b->t = pixels_per_unit * 10 * (k == 0 ? -1000 : 1000);
      io->infini_inexist_indetermine = VAL_AT_INFINITY;
    }
    io->h = o.h + b->t * d.h;
    io->v = o.v + b->t * d.v;
    return;
  }
  if (axes->state & OBJ_AT_INFINITY) {
    io->infini_inexist_indetermine |= VAL_AT_INFINITY;
    return;
  }
  io->infini_inexist_indetermine = 0;
  if (mode == 2) {
    b->t = std::fabs(d.h) > std::fabs(d.v) ? (io->h - o.h) / d.h : (io->v - o.v) / d.v;
    if (b->snap) b->t = d.info.entier == 1 ? std::floor(b->t + 0.5) : std::floor(b->t / s + 0.5) * s;
  }
  io->h = o.h + b->t * d.h;
  io->v = o.v + b->t * d.v;
}

void axes_graduation_to_object(object* pt) {
  if (!pt->data || GlobalSize(pt->data) < sizeof(axis_point_param)) return;
  const auto* b = static_cast<const axis_point_param*>(pt->data);
  pt->math.side.index = static_cast<uint8_t>(b->axis + 1);
  pt->math.side.force_grad = static_cast<int8_t>(b->snap);
}

void init_axes_graduation(object* pt) {
  axis_point_param* b = param_block(&pt->data);
  if (!b) return;
  b->t = 2.5;
  b->axis = pt->math.side.index != 1 ? 1 : 0;
  b->snap = pt->math.side.force_grad ? 1 : 0;
}
