#include "kernel/conics/conic_tool.h"

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/conics/conic.h"
#include "kernel/conics/conic_draw.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/conics/conic_trace.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/previews.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_state.h"

uint8_t conic_preview_near = 1;
tagPOINT conic_preview_remembered{0, 0};

namespace {

// The value of picked argument i, or null.
const valeur* picked_point(const kelvo_win_info* fig, int i) {
  if (!fig || i >= objlist_count(fig->inputs)) return nullptr;
  const object* o = fig->inputs->items[i];
  return o && o->valeurs && o->nbvaleurs > 0 ? &o->valeurs[0] : nullptr;
}

double manhattan(const valeur& p, const tagPOINT& c) { return std::fabs(p.h - c.x) + std::fabs(p.v - c.y); }

valeur point_value(const tagPOINT& c) {
  valeur v{};
  v.h = c.x;
  v.v = c.y;
  return v;
}

// The conic through the five points, drawn with the curve drawing of the
// conic type and the default conic attributes.
void draw_preview_conic(DisplayDevice* dev, const valeur* const p[4], const tagPOINT& c) {
  const object_settings& s = default_attrs[ATTRS_CIRCLE_CONIC].settings;
  const double x[5] = {p[0]->h, p[1]->h, p[2]->h, p[3]->h, double(c.x)};
  const double y[5] = {p[0]->v, p[1]->v, p[2]->v, p[3]->v, double(c.y)};
  conic_color = s.Color;
  conic_kind = conic_through_five_points(x, y, 0);
  // A circle is drawn through its radius to a point of it.
  if (conic_kind == kConicCircle) conic_axis_point = dpoint{x[0], y[0]};
  const dot style = s.dot_style;
  set_dash_pattern(&style.lg);
  draw_conic_curve(dev, nullptr, &style);
  pixel_pen.dash_active = 0;
}

}  // namespace

bool conic_tool_handler(uint16_t* method, object** designated) { return take_tool_argument(method, designated); }

void conic_preview(tagPOINT* cursor) {
  DisplayDevice* dev = moving_display;
  if (dev) {
    conic_window[0] = dev->portRect.left;
    conic_window[1] = dev->portRect.top;
    conic_window[2] = dev->portRect.right;
    conic_window[3] = dev->portRect.bottom;
  }
  rubber_points[0] = point_value(*cursor);
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const int n = fig ? objlist_count(fig->inputs) : 0;
  const valeur* p[4] = {picked_point(fig, 0), picked_point(fig, 1), picked_point(fig, 2), picked_point(fig, 3)};
  if (n == 0) {
    conic_preview_near = 1;
    return;
  }
  for (int i = 0; i < n && i < 4; ++i)
    if (!p[i]) return;
  const object_settings& s = default_attrs[ATTRS_CIRCLE_CONIC].settings;
  const valeur c = point_value(*cursor);
  const valeur remembered = point_value(conic_preview_remembered);
  switch (n) {
    case 1:
      if (!conic_preview_near) {
        if (manhattan(*p[0], *cursor) < kGuideDistance) conic_preview_near = 1;
        draw_arc_through_points(*p[0], remembered, c, 1, s);
      } else {
        if (manhattan(*p[0], *cursor) > kGuideDistance) {
          conic_preview_near = 0;
          conic_preview_remembered = *cursor;
        }
        if (dev) draw_segment_styled(dev, p[0]->h, p[0]->v, c.h, c.v, s.Color, s.thickness, &s.dot_style, kExtentSegment);
      }
      return;
    case 2:
      draw_arc_through_points(*p[0], *p[1], c, 1, s);
      return;
    case 3:
      if (!conic_preview_near) {
        const valeur* q[4] = {p[0], p[1], p[2], &remembered};
        if (dev) draw_preview_conic(dev, q, *cursor);
      } else if (manhattan(*p[2], *cursor) > kGuideDistance) {
        conic_preview_near = 0;
        conic_preview_remembered = *cursor;
      } else {
        object_settings mixed = s;
        mixed.Color = default_attrs[ATTRS_POINT].settings.Color;
        draw_arc_through_points(*p[0], *p[1], *p[2], 2, mixed);
        if (dev)
          draw_segment_styled(dev, p[2]->h, p[2]->v, c.h, c.v, mixed.Color, s.thickness, &s.dot_style, kExtentSegment);
      }
      return;
    default:
      if (dev) draw_preview_conic(dev, p, *cursor);
      return;
  }
}
