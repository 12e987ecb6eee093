#include "kernel/objects/grid_type.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/tool_dispatch.h"

double grid_node_i = 0;
double grid_node_j = 0;

namespace {

constexpr double kSmall = 1e-10;
constexpr double kTwoPi = 2 * std::numbers::pi;
// Nothing finer than this many nodes is worth a single drawing.
constexpr double kMaxNodes = 4e6;

const uint8_t kNodeShown[8] = {0x00, 0x00, 0x00, 0x08, 0x1C, 0x08, 0x00, 0x00};
const uint8_t kNodeHidden[8] = {0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00};

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

bool usable(const object* grid) {
  return grid->valeurs && grid->nbvaleurs >= 3 && !(grid->state & OBJ_UNDEFINED);
}

const object* axes_of(const object* grid) {
  return grid->parents && grid->nbparents >= 1 && grid->parents[0] && grid->parents[0]->valeurs &&
                 grid->parents[0]->nbvaleurs >= 3
             ? grid->parents[0]
             : nullptr;
}

grid_window* window_block(object* grid) {
  if (grid->data && GlobalSize(grid->data) >= sizeof(grid_window)) return static_cast<grid_window*>(grid->data);
  GlobalFreeAndNull(&grid->data);
  grid->data = alloc_block<grid_window>();
  return static_cast<grid_window*>(grid->data);
}

// floor((n1 - n0) * 10 / extent + 0.5) when the nodes would stand closer
// than 5 pixels, else 1.
int64_t stride(double n0, double n1, double extent) {
  const double span = n1 - n0;
  if (span > 0 && extent / span < 5) return std::max<int64_t>(1, static_cast<int64_t>(std::floor(span * 10 / extent + 0.5)));
  return 1;
}

bool fits_int32(double x) { return std::isfinite(x) && std::fabs(x) < 2147483647.0; }

// The base angular step of a polar kind.
double base_step(uint8_t kind) {
  switch (kind) {
    case 2: return std::numbers::pi / 10;
    case 3: return 0.5;
    default: return std::numbers::pi / 6;
  }
}

// Angle (counter-clockwise as seen on the screen) of P - O minus that of
// I, in [0, 2 pi).
double screen_theta(const valeur* g, double x, double y) {
  double theta = std::atan2(-(y - g[0].v), x - g[0].h) - std::atan2(-g[1].v, g[1].h);
  if (theta < 0) theta += kTwoPi;
  return theta;
}

// Ring, ray and angular step of the node nearest to (x, y); false when the
// grid has no usable ring step.
bool nearest_polar(const object* grid, double x, double y, double* d, double* ring, double* ray, double* step,
                   double* dist) {
  const valeur* g = grid->valeurs;
  const double u = std::hypot(g[1].h, g[1].v);
  if (!(u >= kSmall) || !std::isfinite(u)) return false;
  *d = point_distance(g[0].h, g[0].v, x, y);
  *ring = std::floor((u / 2 + *d) / u);
  if (!std::isfinite(*ring)) return false;
  if (*ring == 0) {
    *ray = 0;
    *step = 0;
    *dist = 0;
    return true;
  }
  const double theta = screen_theta(g, x, y);
  const double r = *ring * u;
  double s = g[0].info.rayon;
  if (!(s > 0) || !std::isfinite(s)) s = base_step(grid->math.equa.typeunite);
  for (int i = 0; i < 200 && r * s > u; ++i) s /= 2;
  double k = std::floor((s / 2 + theta) / s);
  const double phi = k * s;
  if (phi + s > kTwoPi && (theta - phi) * 2 > kTwoPi - phi) {
    k = 0;
    *dist = kTwoPi - theta;
  } else {
    *dist = std::fabs(theta - phi);
  }
  *ray = k;
  *step = s;
  return true;
}

}  // namespace

double point_distance(double x0, double y0, double x1, double y1) { return std::hypot(x1 - x0, y1 - y0); }

double vector_angle(double x0, double y0, double x1, double y1) {
  double a = std::atan2(y1 - y0, x1 - x0);
  if (a < 0) a += kTwoPi;
  if (a >= kTwoPi) a -= kTwoPi;
  return a;
}

void axes_graduation_factors(const object* axes, double* fx, double* fy) {
  *fx = graduation_step(axes->valeurs[1].info.entier);
  *fy = graduation_step(axes->valeurs[2].info.entier);
}

// ------------------------------------------------------------------ square

bool grid_square_hit(object* grid, const tagPOINT* p) {
  hit_part = 0;
  if (!usable(grid)) return false;
  const valeur* g = grid->valeurs;
  const double c = cross(g[1].h, g[1].v, g[2].h, g[2].v);
  if (!(std::fabs(c) >= kSmall) || !std::isfinite(c)) return false;
  const double ph = p->x - g[0].h, pv = p->y - g[0].v;
  const double a = std::floor(cross(ph, pv, g[2].h, g[2].v) / c + 0.5);
  const double b = std::floor(cross(g[1].h, g[1].v, ph, pv) / c + 0.5);
  if (!std::isfinite(a) || !std::isfinite(b)) return false;
  grid_node_i = a;
  grid_node_j = b;
  const double x = g[0].h + a * g[1].h + b * g[2].h, y = g[0].v + a * g[1].v + b * g[2].v;
  return std::fabs(x - p->x) + std::fabs(y - p->y) < 8;
}

bool visit_square_grid(object* grid, const tagRECT& rect, grid_node_visitor visit, void* context) {
  grid_window* block = window_block(grid);
  if (!block || !usable(grid)) return false;
  const valeur* g = grid->valeurs;
  const double left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
  const bool i_horizontal = std::fabs(g[1].v) < kSmall && std::fabs(g[2].h) < kSmall;
  const bool i_vertical = std::fabs(g[1].h) < kSmall && std::fabs(g[2].v) < kSmall;
  if (i_horizontal || i_vertical) {
    const double sx = std::fabs(g[1].h) + std::fabs(g[2].h), sy = std::fabs(g[1].v) + std::fabs(g[2].v);
    if (!(sx >= kSmall) || !(sy >= kSmall)) return false;
    const double a0 = std::ceil((left - g[0].h) / sx), a1 = std::floor((right - g[0].h) / sx);
    const double b0 = std::ceil((top - g[0].v) / sy), b1 = std::floor((bottom - g[0].v) / sy);
    if (!fits_int32(a0) || !fits_int32(a1) || !fits_int32(b0) || !fits_int32(b1)) return false;
    const int64_t sa = stride(a0, a1, right - left), sb = stride(b0, b1, bottom - top);
    if ((a1 - a0) / sa * ((b1 - b0) / sb) > kMaxNodes) return false;
    const object* axes = axes_of(grid);
    const bool axes_shown = axes && axes->settings.visible == 1;
    for (auto a = static_cast<int64_t>(a0); a <= static_cast<int64_t>(a1); a += sa)
      for (auto b = static_cast<int64_t>(b0); b <= static_cast<int64_t>(b1); b += sb) {
        if ((a == 0 || b == 0) && axes_shown) continue;
        visit(context, static_cast<double>(a) * sx + g[0].h, static_cast<double>(b) * sy + g[0].v);
      }
    const auto ia0 = static_cast<int32_t>(a0), ia1 = static_cast<int32_t>(a1);
    const auto ib0 = static_cast<int32_t>(b0), ib1 = static_cast<int32_t>(b1);
    if (i_horizontal)
      *block = {ia0, ia1 + 1, -ib1, 1 - ib0};
    else
      *block = {-ib1, 1 - ib0, ia0, ia1 + 1};
    return true;
  }
  const tagPOINT corners[4] = {{rect.left, rect.top}, {rect.right, rect.top}, {rect.left, rect.bottom},
                               {rect.right, rect.bottom}};
  double a0 = 0, a1 = 0, b0 = 0, b1 = 0;
  for (int i = 0; i < 4; ++i) {
    grid_node_i = grid_node_j = NAN;
    grid_square_hit(grid, &corners[i]);
    if (!std::isfinite(grid_node_i) || !std::isfinite(grid_node_j)) return false;
    if (i == 0 || grid_node_i < a0) a0 = grid_node_i;
    if (i == 0 || grid_node_i > a1) a1 = grid_node_i;
    if (i == 0 || grid_node_j < b0) b0 = grid_node_j;
    if (i == 0 || grid_node_j > b1) b1 = grid_node_j;
  }
  hit_part = 0;
  if (!fits_int32(a0) || !fits_int32(a1) || !fits_int32(b0) || !fits_int32(b1)) return false;
  const int64_t sa = stride(a0, a1, right - left), sb = stride(b0, b1, bottom - top);
  if ((a1 - a0 + 1) / sa * ((b1 - b0 + 1) / sb) > kMaxNodes) return false;
  for (auto a = static_cast<int64_t>(a0); a <= static_cast<int64_t>(a1); a += sa)
    for (auto b = static_cast<int64_t>(b0); b <= static_cast<int64_t>(b1); b += sb) {
      const double da = static_cast<double>(a), db = static_cast<double>(b);
      visit(context, g[0].h + da * g[1].h + db * g[2].h, g[0].v + da * g[1].v + db * g[2].v);
    }
  *block = {static_cast<int32_t>(a0), static_cast<int32_t>(a1), static_cast<int32_t>(b0), static_cast<int32_t>(b1)};
  return true;
}

// ------------------------------------------------------------------- polar

bool grid_polar_hit(object* grid, double x, double y) {
  double d, ring, ray, step, dist;
  if (!nearest_polar(grid, x, y, &d, &ring, &ray, &step, &dist)) return false;
  grid_node_i = ring;
  const double u = std::hypot(grid->valeurs[1].h, grid->valeurs[1].v);
  if (ring == 0) return pick_tolerance > d;
  if (std::fabs(d - ring * u) > pick_tolerance) return false;
  grid_node_j = ray;
  return pick_tolerance > dist * ring * u;
}

bool grid_polar_node(object* grid, double x, double y, double* nx, double* ny, double* a, double* b) {
  double d, ring, ray, step, dist;
  if (!usable(grid) || !nearest_polar(grid, x, y, &d, &ring, &ray, &step, &dist)) return false;
  grid_node_i = ring;
  grid_node_j = ray;
  const valeur* g = grid->valeurs;
  if (ring == 0) {
    *nx = g[0].h;
    *ny = g[0].v;
    *a = *b = 0;
    return true;
  }
  const double u = std::hypot(g[1].h, g[1].v), uj = std::hypot(g[2].h, g[2].v);
  const double r = ring * u, phi = ray * step, alpha = std::atan2(-g[1].v, g[1].h);
  *nx = g[0].h + r * std::cos(phi + alpha);
  *ny = g[0].v - r * std::sin(phi + alpha);
  double fx = 1, fy = 1;
  if (const object* axes = axes_of(grid)) axes_graduation_factors(axes, &fx, &fy);
  *a = r * std::cos(phi) * fx / u;
  *b = uj >= kSmall ? r * std::sin(phi) * fy / uj : 0;
  return true;
}

bool visit_polar_grid(object* grid, const tagRECT& rect, grid_node_visitor visit, void* context) {
  if (!usable(grid)) return false;
  const valeur* g = grid->valeurs;
  const double ox = g[0].h, oy = g[0].v;
  const double u = std::hypot(g[1].h, g[1].v);
  // A ring step under a pixel draws a smear, not a grid.
  if (!(u >= 1) || !std::isfinite(u) || !std::isfinite(ox) || !std::isfinite(oy)) return false;
  const double left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
  const double s0 = base_step(grid->math.equa.typeunite);

  // Distances from O to the rectangle and to its farthest corner, and the
  // window of directions from O that meet it.
  const double cx = std::clamp(ox, left, right), cy = std::clamp(oy, top, bottom);
  const double rmin = point_distance(ox, oy, cx, cy);
  double rmax = 0;
  const double xs[4] = {left, right, left, right}, ys[4] = {top, top, bottom, bottom};
  for (int i = 0; i < 4; ++i) rmax = std::max(rmax, point_distance(ox, oy, xs[i], ys[i]));
  const bool inside = rmin == 0;
  double amin = 0, amax = kTwoPi;
  if (!inside) {
    const double mid = vector_angle(ox, oy, (left + right) / 2, (top + bottom) / 2);
    double lo = 0, hi = 0;
    for (int i = 0; i < 4; ++i) {
      double rel = vector_angle(ox, oy, xs[i], ys[i]) - mid;
      if (rel > std::numbers::pi) rel -= kTwoPi;
      if (rel < -std::numbers::pi) rel += kTwoPi;
      lo = std::min(lo, rel);
      hi = std::max(hi, rel);
    }
    amin = mid + lo;
    amax = mid + hi;
    if (amin < 0) {
      amin += kTwoPi;
      amax += kTwoPi;
    }
  }

  const double r0 = std::ceil(rmin / u) * u, rtop = std::floor(rmax / u) * u;
  if (r0 > rtop) return false;
  double s = s0;
  const double rin = r0 == 0 ? u : r0;
  for (int i = 0; i < 200 && 2 * rin * std::sin(s / 2) > u; ++i) s /= 2;
  int levels = 0;
  for (double sp = s; levels < 200 && 2 * rtop * std::sin(sp / 2) > u; sp /= 2) ++levels;
  if (kTwoPi / s * std::pow(2.0, levels) > kMaxNodes) return false;

  if (inside) visit(context, ox, oy);
  const double a0 = vector_angle(ox, oy, ox + g[1].h, oy + g[1].v);
  double sigma = s;
  for (int level = 0; level <= levels; ++level) {
    if (level >= 2) sigma /= 2;
    const double offset = level == 0 ? 0 : sigma / 2;
    const double first_radius = level == 0 ? u : (std::floor(1 / std::sin(sigma)) + 1) * u;
    const auto rays = static_cast<int64_t>(std::ceil((kTwoPi - offset) / sigma - 1e-9));
    const double base = a0 - offset;
    // The rays k whose direction base - k sigma (modulo 2 pi) lies in the
    // window, range by range of whole turns.
    for (int turn = -1; turn <= 3; ++turn) {
      double klo = 0, khi = static_cast<double>(rays - 1);
      if (!inside) {
        klo = std::max(klo, std::ceil((base + turn * kTwoPi - amax) / sigma - 1e-12));
        khi = std::min(khi, std::floor((base + turn * kTwoPi - amin) / sigma + 1e-12));
      } else if (turn != 0) {
        continue;
      }
      for (auto k = static_cast<int64_t>(klo); k <= static_cast<int64_t>(khi); ++k) {
        const double angle = base - static_cast<double>(k) * sigma;
        const double dx = std::cos(angle), dy = std::sin(angle);
        // The part of the ray inside the rectangle, as a range of radii.
        double tlo = 0, thi = rmax + u;
        const auto slab = [&](double o, double d, double lo, double hi) {
          if (std::fabs(d) < 1e-8) return o >= lo && o <= hi;
          double t1 = (lo - o) / d, t2 = (hi - o) / d;
          if (t1 > t2) std::swap(t1, t2);
          tlo = std::max(tlo, t1);
          thi = std::min(thi, t2);
          return true;
        };
        if (!slab(ox, dx, left, right) || !slab(oy, dy, top, bottom) || tlo > thi) continue;
        const double jlo = std::max(0.0, std::ceil((tlo - first_radius) / u));
        const double jhi = std::floor((thi - first_radius) / u);
        for (double j = jlo; j <= jhi; ++j) {
          const double r = first_radius + j * u;
          visit(context, ox + r * dx, oy + r * dy);
        }
      }
    }
  }
  return true;
}

// ------------------------------------------------------------ type slots

namespace {

struct draw_context {
  DisplayDevice* dd;
  uint32_t colour;
  const uint8_t* glyph;
  bool shown;
};

void draw_node(void* context, double x, double y) {
  auto* c = static_cast<draw_context*>(context);
  if (c->shown) draw_point_mark(c->dd, x, y, 0, 0, c->colour, 0, c->glyph);
}

}  // namespace

void draw_grid(DisplayDevice* dd, object* grid) {
  if (!dd || !grid) return;
  const bool hidden_shown = interaction_state == STATE_APPEARANCE && attribute_mask == ATTR_HIDE_SHOW;
  draw_context c{dd, object_effective_color(grid), grid->settings.visible == 1 ? kNodeShown : kNodeHidden,
                 grid->settings.visible == 1 || hidden_shown};
  tagRECT r = dd->portRect;
  if (grid_is_polar(grid)) {
    visit_polar_grid(grid, r, draw_node, &c);
    return;
  }
  if (KPGeoDocument::printingInProgress()) {
    r.left -= 10;
    r.top -= 10;
    r.right += 10;
    r.bottom += 10;
  }
  visit_square_grid(grid, r, draw_node, &c);
}

bool grid_hit_test(object* grid, tagPOINT* p) {
  if (!grid_is_polar(grid)) return grid_square_hit(grid, p);
  hit_part = 0;
  if (!usable(grid)) return false;
  return grid_polar_hit(grid, p->x, p->y);
}

void grid_point_on(object* grid, valeur* val, void** param, int mode) {
  if (!*param || GlobalSize(*param) < 2 * sizeof(double)) {
    GlobalFreeAndNull(param);
    *param = alloc_block<double>(2);
    if (!*param) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    if (mode != 3) mode = 2;
  }
  if (!usable(grid)) return;
  const object* axes = axes_of(grid);
  if (!axes) {
    val->infini_inexist_indetermine |= VAL_NOT_EXIST;
    return;
  }
  auto* ab = static_cast<double*>(*param);
  const valeur* av = axes->valeurs;
  double fx, fy;
  axes_graduation_factors(axes, &fx, &fy);
  if (grid_is_polar(grid)) {
    if (mode == 2) {
      double nx, ny, a, b;
      if (!grid_polar_node(grid, round_pixel(val->h), round_pixel(val->v), &nx, &ny, &a, &b)) {
        val->infini_inexist_indetermine |= VAL_NOT_EXIST;
        return;
      }
      val->h = nx;
      val->v = ny;
      val->infini_inexist_indetermine = 0;
      ab[0] = a;
      ab[1] = b;
      return;
    }
  } else if (mode == 3) {
    const double n = val->h, m = std::floor(val->v + 0.5);
    const grid_window* w =
        grid->data && GlobalSize(grid->data) >= sizeof(grid_window) ? static_cast<grid_window*>(grid->data) : nullptr;
    const double width = w ? static_cast<double>(w->i1) - w->i0 : 0, height = w ? static_cast<double>(w->j1) - w->j0 : 0;
    const double q = n > 0 && width > 0 && height > 0 ? std::sqrt(width * height / n) : 0;
    const double wp = q > 0 ? std::floor(width / q) : 0;
    // A grid never drawn, or thinned to no column, has no node to step to.
    if (!(wp >= 1) || !std::isfinite(wp) || !std::isfinite(m)) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    const double col = m - wp * std::floor(m / wp), row = std::floor(m / wp);
    ab[0] = fx * (w->i0 + q * col);
    ab[1] = fy * (w->j0 + q * row);
  } else if (mode == 2) {
    const tagPOINT at{round_pixel(val->h), round_pixel(val->v)};
    grid_node_i = grid_node_j = NAN;
    grid_square_hit(grid, &at);
    if (!std::isfinite(grid_node_i) || !std::isfinite(grid_node_j)) {
      val->infini_inexist_indetermine |= VAL_NOT_EXIST;
      return;
    }
    ab[0] = grid_node_i * fx;
    ab[1] = grid_node_j * fy;
  }
  const double a = ab[0], b = ab[1];
  if (grid_is_polar(grid)) {
    val->h = av[0].h + a * av[1].h + b * av[2].h;
    val->v = av[0].v + a * av[1].v + b * av[2].v;
    val->infini_inexist_indetermine = 0;
    return;
  }
  *val = av[0];
  val->h += a * av[1].h + b * av[2].h;
  val->v += a * av[1].v + b * av[2].v;
}
