#include "kernel/model/point_type.h"

#include <cmath>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/model/classes.h"
#include "kernel/model/units.h"
#include "kernel/objects/axes_type.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

type_point_on_fn carrier_point_on(const object* pt) {
  if (!pt->parents || pt->nbparents < 1 || !pt->parents[0] || !pt->parents[0]->otype) return nullptr;
  return pt->parents[0]->otype->point_on;
}

bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// How far a place lies inside the file cell about c (see file_cell_depth);
// a place that is not a finite point lies outside.
double depth_in_cell(const valeur& at, double ch, double cv) {
  if (at.infini_inexist_indetermine & (VAL_AT_INFINITY | VAL_NOT_EXIST)) return -HUGE_VAL;
  return file_cell_depth(at.h, at.v, ch, cv);
}

// A point placed for the first time from a position on its carrier (read
// from a file, pasted) takes its place along the carrier from a point of the
// grid cell of that position whose own place falls deepest inside the
// cell: computed again and written, it is the value read, to the last
// digit. A position that is not on the carrier (a click beside it) keeps
// its plain projection.
void settle_in_file_cell(object* pt, type_point_on_fn point_on, const valeur asked[2]) {
  valeur* v = pt->valeurs;
  const double ch = file_grid_value(asked[0].h), cv = file_grid_value(asked[0].v);
  const double found = depth_in_cell(v[0], ch, cv);
  if (found >= kFileCellDeepEnough || found < -1.5) return;
  double best = found, best_h = asked[0].h, best_v = asked[0].v;
  deepest_in_file_cell(ch, cv, best, [&](double th, double tv) {
    valeur w[2] = {asked[0], asked[1]};
    w[0].h = th;
    w[0].v = tv;
    w[0].infini_inexist_indetermine = 0;
    point_on(pt->parents[0], &w[0], &pt->data, 2);
    return depth_in_cell(w[0], ch, cv);
  }, &best_h, &best_v);
  // The carrier keeps the place of the point last asked: the best one.
  valeur w[2] = {asked[0], asked[1]};
  w[0].h = best_h;
  w[0].v = best_v;
  w[0].infini_inexist_indetermine = 0;
  point_on(pt->parents[0], &w[0], &pt->data, 2);
  v[0] = w[0];
}

}  // namespace

bool point_near(const valeur* val, const tagPOINT* p) {
  if (!val || (val->infini_inexist_indetermine & (VAL_AT_INFINITY | VAL_NOT_EXIST))) return false;
  return std::fabs(val->h - p->x) + std::fabs(val->v - p->y) < pick_tolerance;
}

bool point_hit_test(object* pt, tagPOINT* p) {
  hit_part = 0;
  if (pt->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY)) return false;
  if (!pt->valeurs) return false;
  const valeur& v = pt->valeurs[0];
  if (point_near(&v, p)) return true;
  const bitmap_info* bm = pt->bitmap;
  if (bm && bm->image && bm->pixels) {
    const int32_t w = bm->width / 2, h = bm->height / 2;
    return v.h - w < p->x && p->x < v.h + w && v.v - h < p->y && p->y < v.v + h;
  }
  return hit_test_object_label(pt, p);
}

void point_on_object_place(object* pt, int n, double i) {
  const type_point_on_fn point_on = carrier_point_on(pt);
  if (!point_on || !pt->valeurs) return;
  valeur& v = pt->valeurs[0];
  v.h = n;
  v.v = i;
  point_on(pt->parents[0], &v, &pt->data, 3);
  if (v.infini_inexist_indetermine & VAL_AT_INFINITY) pt->state |= OBJ_AT_INFINITY;
}

void point_on_object_compute(object* pt) {
  pt->state &= ~OBJ_UNDEFINED;
  const type_point_on_fn point_on = carrier_point_on(pt);
  if (!point_on) return;
  if (!pt->valeurs || pt->nbvaleurs < 2) {
    pt->state |= OBJ_UNDEFINED;
    return;
  }
  valeur* v = pt->valeurs;
  const int mode = same(v[0].h, v[1].h) && same(v[0].v, v[1].v) ? 1 : 2;
  // A point on axes read back or copied without its block knows its axis
  // from its math bytes; only a new point asks the axes where it was put.
  const bool on_axes = point_on == axes_point_on;
  if (on_axes && !pt->data && pt->math.side.index != 0) init_axes_graduation(pt);
  // The carrier reports afresh whether the point lies at infinity or nowhere.
  v[0].infini_inexist_indetermine = 0;
  const bool first_place = !pt->data && mode == 2 && !on_axes;
  const valeur asked[2] = {v[0], v[1]};
  point_on(pt->parents[0], &v[0], &pt->data, mode);
  if (first_place && pt->data) settle_in_file_cell(pt, point_on, asked);
  if (on_axes) axes_graduation_to_object(pt);
  v[1].h = v[0].h;
  v[1].v = v[0].v;
  if (v[0].infini_inexist_indetermine & VAL_AT_INFINITY) pt->state |= OBJ_AT_INFINITY;
  if (v[0].infini_inexist_indetermine & VAL_NOT_EXIST) pt->state |= OBJ_UNDEFINED;
}

void point_draw(DisplayDevice* dd, object* pt) {
  if (!dd || !dd->dc || !pt->valeurs) return;
  // A point at infinity holds a direction, not a place to draw.
  if (pt->state & OBJ_AT_INFINITY) return;
  const valeur& v = pt->valeurs[0];
  const bitmap_info* bm = pt->bitmap;
  const uint8_t shape = pt->settings.graph_type;
  // The device keeps its own smoothing for whatever is drawn next.
  const bool smoothing = dd->dc->antialiasing();
  if (bm && bm->image && bm->pixels) {
    blit_object_image(dd, static_cast<int32_t>(std::floor(v.h + 0.5)), static_cast<int32_t>(std::floor(v.v + 0.5)),
                      static_cast<const KPUniversalBitmap*>(bm->image), 1.0, pt->settings.opaque);
  } else if (shape == 1 || shape == 4 || (shape == 0 && pt->settings.thickness == 0)) {
    dd->dc->allowsAntialiasing(false);
  }
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint32_t color = (pt->state & OBJ_ERASE) ? (fig ? fig->bgcolor : back_color) : object_effective_color(pt);
  draw_point_mark(dd, v.h, v.v, 0, pt->settings.thickness, color, shape, nullptr);
  dd->dc->allowsAntialiasing(smoothing);
}
