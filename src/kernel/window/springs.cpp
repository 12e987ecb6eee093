#include "kernel/window/springs.h"

#include <cmath>
#include <cstdlib>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/straight_types.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/render_switches.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/anim_panel.h"
#include "platform/kp_gdi_objects.h"

namespace {

constexpr int kDots = 100;
constexpr int kDotsPerTurn = 20;
constexpr double kCrossHalfWidth = 5;

bool has_pixels(const DisplayDevice* dd) { return dd->bm && dd->bm->pixels && dd->ratio == 1; }

void set_pixel(const DisplayDevice* dd, int32_t x, int32_t y, uint32_t pixel) {
  const KPBitmap* bm = dd->bm;
  if (x < 0 || y < 0 || x >= bm->width || y >= bm->height) return;
  bm->pixels[static_cast<size_t>(y) * bm->pitch + x] = pixel;
}

void draw_record_spring(DisplayDevice* dd, const motion_record* r, double d) {
  const int32_t n = std::abs(r->start_x - r->end_x) + std::abs(r->start_y - r->end_y);
  const double t = n ? d / n : 0;
  draw_spring(dd, r->start_x, r->start_y, r->end_x + (r->start_x - r->end_x) * t, r->end_y + (r->start_y - r->end_y) * t,
              default_color);
}

void draw_hook_spring(DisplayDevice* dd, double x0, double y0, double x1, double y1, object* spring) {
  uint32_t color = default_color;
  if (spring) {
    const kelvo_win_info* fig = KPGeoDocument::currentInfo();
    color = (spring->state & OBJ_ERASE) ? (fig ? fig->bgcolor : back_color) : object_effective_color(spring);
  }
  draw_spring(dd, x0, y0, x1, y1, color);
}

}  // namespace

void draw_spring(DisplayDevice* dd, double x0, double y0, double x1, double y1, uint32_t color) {
  if (!dd) return;
  const double dx = x1 - x0, dy = y1 - y0;
  const double length = std::sqrt(dx * dx + dy * dy);
  double nx = 0, ny = kCrossHalfWidth;
  if (length > 1e-10) {
    nx = -kCrossHalfWidth * dy / length;
    ny = kCrossHalfWidth * dx / length;
  }
  // One turn: the cross vector turned by steps of pi/10, twice as long
  // along the spring as across it.
  double off_x[kDotsPerTurn], off_y[kDotsPerTurn];
  const double cr = std::cos(M_PI / 10), sr = std::sin(M_PI / 10);
  double c = 1, s = 0;
  for (int k = 0; k < kDotsPerTurn; ++k) {
    const double nc = c * cr - s * sr;
    s = s * cr + c * sr;
    c = nc;
    off_x[k] = nx * c - 2 * ny * s;
    off_y[k] = ny * c + 2 * nx * s;
  }
  const bool pixels = has_pixels(dd);
  KPPen* pen = nullptr;
  KPGdiObject* previous = nullptr;
  if (!pixels) {
    if (!dd->dc) return;
    pen = pen_from_color(color);
    previous = dd->dc->selectObject(pen);
  }
  figure_changed = 1;
  const uint32_t pixel = pixel_of_color(color);
  const bool thick = thicken_strokes != 0;
  double x = x0, y = y0;
  for (int i = 0; i < kDots; ++i) {
    const auto px = static_cast<int32_t>(std::floor(off_x[i % kDotsPerTurn] + x + 0.5)) - dd->portRect.left;
    const auto py = static_cast<int32_t>(std::floor(off_y[i % kDotsPerTurn] + y + 0.5)) - dd->portRect.top;
    auto plot = [&](int32_t ax, int32_t ay) {
      if (pixels) set_pixel(dd, ax, ay, pixel);
      else dd->dc->setPixel(ax, ay, color);
    };
    plot(px, py);
    if (thick) {
      plot(px, py + 1);
      plot(px - 1, py);
      plot(px - 1, py - 1);
    }
    x += dx / kDots;
    y += dy / kDots;
  }
  if (pen) {
    if (previous) dd->dc->selectObject(previous);
    DeleteObject(pen);
  }
}

void draw_spring_object(DisplayDevice* dd, object* spring) {
  if (!spring || !spring->valeurs || spring->nbvaleurs < 2) return;
  const valeur& p = spring->valeurs[0];
  const valeur& v = spring->valeurs[1];
  draw_hook_spring(dd, p.h, p.v, p.h - v.h, p.v - v.v, spring);
}

bool hit_test_spring(object* spring, tagPOINT* point) {
  hit_part = 0;
  if (!spring || !point || (spring->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY))) return false;
  if (!spring->valeurs || spring->nbvaleurs < 2) return false;
  const valeur a = spring->valeurs[0];
  valeur b = spring->valeurs[1];
  b.h = a.h - b.h;
  b.v = a.v - b.v;
  if (point_near(&a, point) || point_near(&b, point)) return true;
  const double along = (a.h - point->x) * (b.h - point->x) + (a.v - point->y) * (b.v - point->y);
  return along <= 0 && near_segment(&a, &b, point);
}

void draw_all_springs() {
  for (const motion_record* r = anim_records; r; r = r->next)
    draw_spring(static_display, r->start_x, r->start_y, r->end_x, r->end_y, default_color);
}

std::vector<int32_t> spring_release_frames(int32_t bound) {
  std::vector<int32_t> frames;
  int32_t d = 0, v = 1, a = 1;
  while (d < bound) {
    frames.push_back(d);
    d += v;
    v += a;
    a += 1;
  }
  return frames;
}

void draw_animation_springs() {
  for (const int32_t d : spring_release_frames(kAllSpringsReleaseBound)) {
    for (const motion_record* r = anim_records; r; r = r->next) {
      const int32_t n = std::abs(r->start_x - r->end_x) + std::abs(r->start_y - r->end_y);
      if (n >= 4) draw_record_spring(moving_display, r, d);
    }
    flush_moving_display(16);
  }
  flush_moving_display(17);
}

void draw_spring_between_points(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int32_t n = std::abs(x0 - x1) + std::abs(y0 - y1);
  if (n < 4) return;
  motion_record r{};
  r.start_x = x0;
  r.start_y = y0;
  r.end_x = x1;
  r.end_y = y1;
  for (const int32_t d : spring_release_frames(spring_release_bound(n))) {
    draw_record_spring(moving_display, &r, d);
    flush_moving_display(14);
  }
  flush_moving_display(15);
}

void bind_spring_operations() {
  type_spring.draw = draw_spring_object;
  type_spring.hit_test = hit_test_spring;
  drag_hooks().draw_spring = draw_hook_spring;
  drag_hooks().stop_anim_panel = stop_anim_panel;
  tool_services().open_anim_panel = open_anim_panel;
  bind_anim_panel_services();
}
