#include "kernel/exchange/picture_draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/pick.h"
#include "platform/kp_bitmap.h"
#include "platform/kp_graf_port.h"

uint8_t picture_mapping_convex = 0;

// ------------------------------------------------------------------ geometry

double det2(double a, double b, double c, double d) { return a * d - b * c; }

double det3(const double m[3][3]) {
  return m[0][0] * m[1][1] * m[2][2] + m[0][1] * m[1][2] * m[2][0] + m[0][2] * m[1][0] * m[2][1] -
         m[0][2] * m[1][1] * m[2][0] - m[0][1] * m[1][0] * m[2][2] - m[0][0] * m[1][2] * m[2][1];
}

void adjugate3(const double m[3][3], double out[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      // Minor of m without row j and column i.
      const int r0 = j == 0 ? 1 : 0, r1 = j == 2 ? 1 : 2;
      const int c0 = i == 0 ? 1 : 0, c1 = i == 2 ? 1 : 2;
      const double minor = det2(m[r0][c0], m[r0][c1], m[r1][c0], m[r1][c1]);
      out[i][j] = (i + j) % 2 == 0 ? minor : -minor;
    }
}

int invert3(const double m[3][3], double out[3][3]) {
  const double d = det3(m);
  if (d == 0) return 0;
  double adj[3][3];
  adjugate3(m, adj);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i][j] = adj[i][j] / d;
  return 3;
}

pic_point solve_2x2(double a, double b, double c, double d, double e, double f) {
  const double den = det2(a, b, c, d);
  if (std::fabs(den) <= 1e-10) return {0, 0};
  return {det2(e, b, f, d) / den, det2(a, e, c, f) / den};
}

bool quad_has_duplicate_corner(const tagPOINT c[4]) {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (c[i].x == c[j].x && c[i].y == c[j].y) return true;
  return false;
}

bool is_convex_quad(const tagPOINT c[4]) {
  if (quad_has_duplicate_corner(c)) return false;
  int sign = 0;
  for (int i = 0; i < 4; ++i) {
    const tagPOINT& a = c[i];
    const tagPOINT& b = c[(i + 1) % 4];
    const tagPOINT& d = c[(i + 2) % 4];
    const int64_t turn = static_cast<int64_t>(b.x - a.x) * (d.y - b.y) - static_cast<int64_t>(b.y - a.y) * (d.x - b.x);
    const int s = turn > 0 ? 1 : turn < 0 ? -1 : 0;
    if (s == 0 || (sign != 0 && s != sign)) return false;
    sign = s;
  }
  return true;
}

int projective_from_quad(double out[3][3], int32_t width, int32_t height, const tagPOINT c[4], double forward[3][3]) {
  const double W = width, H = height;
  const double x0 = c[0].x, y0 = c[0].y, x1 = c[1].x, y1 = c[1].y, x2 = c[2].x, y2 = c[2].y, x3 = c[3].x,
               y3 = c[3].y;
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  double m[3][3];
  if (sx == 0 && sy == 0) {
    const double affine[3][3] = {{(x1 - x0) / W, (x2 - x1) / H, x0}, {(y1 - y0) / W, (y2 - y1) / H, y0}, {0, 0, 1}};
    std::memcpy(m, affine, sizeof m);
  } else {
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    double den = dx1 * dy2 - dx2 * dy1;
    if (den == 0) den = 1;
    const double g = (sx * dy2 - sy * dx2) / den, h = (dx1 * sy - dy1 * sx) / den;
    const double general[3][3] = {{(x1 - x0 + g * x1) / W, (x3 - x0 + h * x3) / H, x0},
                                  {(y1 - y0 + g * y1) / W, (y3 - y0 + h * y3) / H, y0},
                                  {g / W, h / H, 1}};
    std::memcpy(m, general, sizeof m);
  }
  if (forward != nullptr) std::memcpy(forward, m, sizeof m);
  return invert3(m, out);
}

bool bilinear_inverse(const tagPOINT c[4], double x, double y, pic_point* out, int* roots, double* a_coef) {
  const double ax = c[0].x + c[2].x - c[1].x - c[3].x, ay = c[0].y + c[2].y - c[1].y - c[3].y;
  const double bx = c[1].x - c[0].x, by = c[1].y - c[0].y;
  const double cx = c[3].x - c[0].x, cy = c[3].y - c[0].y;
  const double px = x - c[0].x, py = y - c[0].y;
  const double A = ax * cy - ay * cx;
  const double B = (bx * cy - cx * by) - ax * py + ay * px;
  const double C = px * by - py * bx;
  const double D = B * B - 4 * A * C;
  double u[2];
  int n = 0;
  if (std::fabs(A) < 1e-10) {
    if (B != 0) u[n++] = -C / B;
  } else if (std::fabs(D) < 1e-10) {
    u[n++] = -B / (2 * A);
  } else if (D >= 0) {
    const double r = std::sqrt(D);
    u[n++] = (-B - r) / (2 * A);
    u[n++] = (r - B) / (2 * A);
  }
  if (roots != nullptr) *roots = n;
  if (a_coef != nullptr) *a_coef = A;
  bool found = false;
  pic_point best{};
  for (int k = 0; k < n; ++k) {
    const double uk = u[k];
    if (!(uk >= 0 && uk <= 1)) continue;
    const double dx = uk * ax + bx;
    const double v = dx != 0 ? (px - uk * cx) / dx : (uk * ay + by != 0 ? (py - uk * cy) / (uk * ay + by) : -1);
    if (!(v >= 0 && v <= 1)) continue;
    if (!found || uk < best.y) best = {v, uk};
    found = true;
  }
  if (found) *out = best;
  return found;
}

bool quad_row_span(double y, const tagPOINT c[4], int32_t* first, int32_t* last) {
  double lo = 0, hi = 0;
  bool any = false;
  for (int k = 0; k < 4; ++k) {
    const tagPOINT& p = c[k];
    const tagPOINT& q = c[(k + 1) % 4];
    const double xs[2] = {static_cast<double>(p.x), static_cast<double>(q.x)};
    double x;
    if (p.y == q.y) {
      // A horizontal edge: its ends are on the neighbouring edges too, but
      // the row running along it covers all of it.
      if (y != p.y) continue;
      lo = any ? std::min({lo, xs[0], xs[1]}) : std::min(xs[0], xs[1]);
      hi = any ? std::max({hi, xs[0], xs[1]}) : std::max(xs[0], xs[1]);
      any = true;
      continue;
    }
    if (y < std::min(p.y, q.y) || y > std::max(p.y, q.y)) continue;
    x = p.x + (y - p.y) * (q.x - p.x) / static_cast<double>(q.y - p.y);
    lo = any ? std::min(lo, x) : x;
    hi = any ? std::max(hi, x) : x;
    any = true;
  }
  if (!any) return false;
  *first = static_cast<int32_t>(std::floor(lo + 0.5));
  *last = static_cast<int32_t>(std::floor(hi + 0.5));
  return true;
}

pic_point reflect_point_in_line(pic_point p, pic_point a, pic_point b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double L = dx * dx + dy * dy;
  if (std::fabs(L) <= 1e-10) return {0, 0};
  const double k = 2 * ((p.x - a.x) * dx + (p.y - a.y) * dy) / L;
  return {2 * a.x + dx * k - p.x, 2 * a.y + dy * k - p.y};
}

bool same_side_of_line(pic_point p, pic_point q, pic_point a, pic_point b) {
  auto cross = [](pic_point r, pic_point s, pic_point t) { return (r.x - s.x) * (r.y - t.y) - (r.y - s.y) * (r.x - t.x); };
  return cross(p, a, b) * cross(q, a, b) >= 0;
}

bool point_in_triangle(pic_point p, pic_point a, pic_point b, pic_point c) {
  return same_side_of_line(p, a, b, c) && same_side_of_line(p, b, a, c) && same_side_of_line(p, c, a, b);
}

int32_t max_of_4(int32_t a, int32_t b, int32_t c, int32_t d) { return std::max({a, b, c, d}); }
int32_t min_of_4(int32_t a, int32_t b, int32_t c, int32_t d) { return std::min({a, b, c, d}); }

namespace {

pic_point as_point(const tagPOINT& p) { return {static_cast<double>(p.x), static_cast<double>(p.y)}; }

double dot2(pic_point a, pic_point b) { return a.x * b.x + a.y * b.y; }
pic_point minus(pic_point a, pic_point b) { return {a.x - b.x, a.y - b.y}; }

// a x + b y = e for the line through p and q.
void line_through(pic_point p, pic_point q, double* a, double* b, double* e) {
  *a = q.y - p.y;
  *b = p.x - q.x;
  *e = *a * p.x + *b * p.y;
}

// Whether the two lines meet in one point, and where.
bool meet(double a, double b, double e, double c, double d, double f, pic_point* out) {
  if (std::fabs(det2(a, b, c, d)) < 1e-10) return false;
  *out = solve_2x2(a, b, c, d, e, f);
  return true;
}

// The centre of the circle through i, p and q.
bool circle_centre(pic_point i, pic_point p, pic_point q, pic_point* out) {
  const double ii = dot2(i, i);
  return meet(p.x - i.x, p.y - i.y, (dot2(p, p) - ii) / 2, q.x - i.x, q.y - i.y, (dot2(q, q) - ii) / 2, out);
}

// Where side k meets the line through r perpendicular to `normal`, kept on
// the side.
bool contact_on_side(const pic_point P[4], int k, pic_point normal, pic_point r, pic_point* out) {
  const pic_point a = P[k], b = P[(k + 1) % 4];
  double la, lb, le;
  line_through(a, b, &la, &lb, &le);
  pic_point t;
  if (!meet(normal.x, normal.y, dot2(normal, r), la, lb, le, &t)) return false;
  if (dot2(minus(a, t), minus(b, t)) > 0) t = dot2(minus(t, a), minus(b, a)) >= 0 ? b : a;
  *out = t;
  return true;
}

}  // namespace

bool inscribed_parabola(const tagPOINT c[4], pic_point* V, pic_point* T1, pic_point* T2) {
  const pic_point P[4] = {as_point(c[0]), as_point(c[1]), as_point(c[2]), as_point(c[3])};
  double a1, b1, e1, a2, b2, e2;
  line_through(P[0], P[3], &a1, &b1, &e1);
  line_through(P[1], P[2], &a2, &b2, &e2);
  pic_point I, C1, C2;
  if (!meet(a1, b1, e1, a2, b2, e2, &I) || !circle_centre(I, P[2], P[3], &C1) || !circle_centre(I, P[0], P[1], &C2))
    return false;
  if (dot2(minus(C2, C1), minus(C2, C1)) <= 1e-10) return false;
  const pic_point F = reflect_point_in_line(I, C1, C2);
  pic_point R[4];
  double mean = 0;
  for (int k = 0; k < 4; ++k) {
    if (dot2(minus(P[(k + 1) % 4], P[k]), minus(P[(k + 1) % 4], P[k])) <= 1e-10) return false;
    R[k] = reflect_point_in_line(F, P[k], P[(k + 1) % 4]);
    mean += R[k].x / 4;
  }
  const pic_point d = minus(R[1], R[0]);
  const double len = std::sqrt(dot2(d, d));
  if (len <= 1e-10 || std::fabs(d.x / len) <= 1e-10) return false;
  const double ux = d.x / len;
  double t[4];
  for (int k = 0; k < 4; ++k) t[k] = (R[k].x - mean) / ux;
  int lo = 0, hi = 0;
  for (int k = 1; k < 4; ++k) {
    if (t[k] < t[lo]) lo = k;
    if (t[k] > t[hi]) hi = k;
  }
  if (lo == hi) return false;
  int p = -1, q = -1;
  for (int k = 0; k < 4; ++k) {
    if (k == lo || k == hi) continue;
    if (p < 0)
      p = k;
    else if (q < 0)
      q = k;
  }
  const pic_point normal = minus(R[2], R[1]);
  if (!contact_on_side(P, p, normal, R[p], T1) || !contact_on_side(P, q, normal, R[q], T2)) return false;
  const pic_point F2 = reflect_point_in_line(F, R[1], R[2]);
  *V = {0.75 * F.x + 0.25 * F2.x, 0.75 * F.y + 0.25 * F2.y};
  return true;
}

bool quad_row_span_folded(double y, const tagPOINT c[4], pic_point V, pic_point T1, pic_point T2, int32_t* first,
                          int32_t* last) {
  int32_t xa = 0, xb = 0;
  const bool inside = quad_row_span(y, c, &xa, &xb);
  auto between = [y](double r, double s) { return y >= std::min(r, s) && y <= std::max(r, s); };
  if (!between(T1.y, T2.y)) {
    if (!inside) return false;
    *first = xa;
    *last = xb;
    return true;
  }
  auto chord = [y](pic_point p, pic_point q) { return p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y); };
  double s = inside ? xa : std::min(T1.x, T2.x), e = inside ? xb : std::max(T1.x, T2.x);
  if (between(T1.y, V.y) && std::fabs(T1.y - V.y) > 1e-10) s = chord(V, T1);
  if (between(T2.y, V.y) && std::fabs(T2.y - V.y) > 1e-10) e = chord(V, T2);
  if (s > e) std::swap(s, e);
  const double lo = inside ? std::min<double>(xa, s) : s, hi = inside ? std::max<double>(xb, e) : e;
  *first = static_cast<int32_t>(std::floor(lo + 0.5));
  *last = static_cast<int32_t>(std::floor(hi + 0.5));
  return true;
}

// ------------------------------------------------------------------ mapping

namespace {

bool is_white(const uint8_t* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

int32_t trunc_toward_floor(double s) { return static_cast<int32_t>(s < 0 ? s - 0.999999 : s); }

const uint8_t* background_at(const uint8_t* bg, int32_t bg_w, int32_t bg_h, int32_t x, int32_t y) {
  if (bg == nullptr || x < 0 || y < 0 || x >= bg_w || y >= bg_h) return nullptr;
  return bg + (static_cast<size_t>(y) * static_cast<size_t>(bg_w) + static_cast<size_t>(x)) * 4;
}

void put_pixel(uint8_t* t, const uint8_t* from) {
  if (from != nullptr)
    std::memcpy(t, from, 4);
  else
    std::memset(t, 255, 4);
}

}  // namespace

void map_picture_smooth(const uint8_t* pic, int32_t W, int32_t H, uint8_t* target, int32_t w, int32_t h,
                        const uint8_t* bg, int32_t bg_w, int32_t bg_h, const tagPOINT corners[4], int32_t left,
                        int32_t top) {
  const size_t stride = static_cast<size_t>(W) * 4;
  auto sample = [&](int32_t x, int32_t y) {
    return pic + static_cast<size_t>(std::clamp(y, 0, H - 1)) * stride + static_cast<size_t>(std::clamp(x, 0, W - 1)) * 4;
  };
  auto opacity = [&](int32_t x, int32_t y, const uint8_t* p) {
    return x < 0 || y < 0 || x >= W || y >= H || is_white(p) ? 0.0 : 1.0;
  };
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* t = target + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, t += 4) {
      const uint8_t* g = background_at(bg, bg_w, bg_h, x + left, y + top);
      pic_point vu;
      if (!bilinear_inverse(corners, x, y, &vu)) {
        put_pixel(t, g);
        continue;
      }
      const double sx = W * vu.x, sy = H * vu.y;
      const int32_t ix = trunc_toward_floor(sx), iy = trunc_toward_floor(sy);
      const double wx = (1 - std::cos(M_PI * (sx - ix))) / 2, wy = (1 - std::cos(M_PI * (sy - iy))) / 2;
      const uint8_t* p00 = sample(ix, iy);
      const uint8_t* p01 = sample(ix, iy + 1);
      const bool right = ix < W - 1;
      const uint8_t* p10 = right ? sample(ix + 1, iy) : p00;
      const uint8_t* p11 = right ? sample(ix + 1, iy + 1) : p01;
      const double alpha =
          (opacity(ix, iy, p00) * (1 - wx) + opacity(ix + 1, iy, p10) * wx) * (1 - wy) +
          (opacity(ix, iy + 1, p01) * (1 - wx) + opacity(ix + 1, iy + 1, p11) * wx) * wy;
      for (int k = 0; k < 4; ++k) {
        const double c = (p00[k] * (1 - wx) + p10[k] * wx) * (1 - wy) + (p01[k] * (1 - wx) + p11[k] * wx) * wy;
        const double under = g != nullptr ? g[k] : 255.0;
        t[k] = static_cast<uint8_t>(std::clamp(under + (c - under) * alpha, 0.0, 255.0));
      }
    }
  }
}

namespace {

// The row of the background behind target row y (columns 0..w-1), or
// white where the background does not reach.
void fill_row_from_background(uint8_t* row, int32_t w, const uint8_t* bg, int32_t bg_w, int32_t bg_h, int32_t y,
                              int32_t left) {
  if (bg == nullptr || y < 0 || y >= bg_h) {
    std::memset(row, 255, static_cast<size_t>(w) * 4);
    return;
  }
  const uint8_t* src = bg + static_cast<size_t>(y) * static_cast<size_t>(bg_w) * 4;
  const int32_t from = std::clamp(-left, 0, w), to = std::clamp(bg_w - left, from, w);
  if (from > 0) std::memset(row, 255, static_cast<size_t>(from) * 4);
  std::memcpy(row + static_cast<size_t>(from) * 4, src + static_cast<size_t>(from + left) * 4,
              static_cast<size_t>(to - from) * 4);
  if (to < w) std::memset(row + static_cast<size_t>(to) * 4, 255, static_cast<size_t>(w - to) * 4);
}

}  // namespace

void map_picture_fast(const uint8_t* pic, int32_t W, int32_t H, uint8_t* target, int32_t w, int32_t h,
                      const uint8_t* bg, int32_t bg_w, int32_t bg_h, const tagPOINT c[4], int32_t left,
                      int32_t top) {
  const size_t stride = static_cast<size_t>(W) * 4;
  const bool convex = is_convex_quad(c);
  double m[3][3] = {};
  const bool projective = picture_mapping_convex && convex && projective_from_quad(m, W, H, c) != 0;
  pic_point V{}, T1{}, T2{};
  const bool folded = !convex && !projective && inscribed_parabola(c, &V, &T1, &T2);
  // The inverse bilinear solution, stepped along each row: A is constant,
  // B and C grow linearly with x.
  const double ax = c[0].x + c[2].x - c[1].x - c[3].x, ay = c[0].y + c[2].y - c[1].y - c[3].y;
  const double bx = c[1].x - c[0].x, by = c[1].y - c[0].y;
  const double cx = c[3].x - c[0].x, cy = c[3].y - c[0].y;
  const double A = ax * cy - ay * cx;
  const bool linear = std::fabs(A) < 1e-10;
  const double inv2A = linear ? 0 : 1 / (2 * A);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = target + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    fill_row_from_background(row, w, bg, bg_w, bg_h, y + top, left);
    auto put = [&](int32_t x, int32_t ix, int32_t iy) {
      const uint8_t* p = pic + static_cast<size_t>(iy) * stride + static_cast<size_t>(ix) * 4;
      // White lets the background (already in the row) through.
      if (!is_white(p)) std::memcpy(row + static_cast<size_t>(x) * 4, p, 4);
    };
    if (projective) {
      double X = m[0][0] * 0.5 + m[0][1] * (y + 0.5) + m[0][2];
      double Y = m[1][0] * 0.5 + m[1][1] * (y + 0.5) + m[1][2];
      double Z = m[2][0] * 0.5 + m[2][1] * (y + 0.5) + m[2][2];
      for (int32_t x = 0; x < w; ++x, X += m[0][0], Y += m[1][0], Z += m[2][0]) {
        const double z = Z == 0 ? 1 : Z;
        const double sx = X / z, sy = Y / z;
        if (sx >= 0 && sy >= 0 && sx < W && sy < H) put(x, static_cast<int32_t>(sx), static_cast<int32_t>(sy));
      }
      continue;
    }
    // Columns outside [xl, xr] are not covered. A non-convex quadrilateral
    // folds along its parabola, which widens the spans; when the parabola
    // cannot be built the whole row is solved.
    int32_t xl = 0, xr = w - 1;
    if (convex || folded) {
      const bool spans = convex ? quad_row_span(y, c, &xl, &xr) : quad_row_span_folded(y, c, V, T1, T2, &xl, &xr);
      if (!spans) continue;
      xl = std::max(xl - 1, 0);
      xr = std::min(xr + 1, w - 1);
      if (xl > xr) continue;
    }
    const double py = y - c[0].y;
    double px = xl - c[0].x;
    double B = (bx * cy - cx * by) - ax * py + ay * px;
    double C = px * by - py * bx;
    for (int32_t x = xl; x <= xr; ++x, px += 1, B += ay, C += by) {
      double u1 = 0, u2 = 0;
      int n = 0;
      if (linear) {
        if (B != 0) u1 = -C / B, n = 1;
      } else {
        const double D = B * B - 4 * A * C;
        if (std::fabs(D) < 1e-10) {
          u1 = -B * inv2A, n = 1;
        } else if (D >= 0) {
          const double r = std::sqrt(D);
          u1 = (-B - r) * inv2A;
          u2 = (r - B) * inv2A;
          n = 2;
          if (u2 < u1) std::swap(u1, u2);
        }
      }
      for (int k = 0; k < n; ++k) {
        const double u = k == 0 ? u1 : u2;
        if (!(u >= 0 && u <= 1)) continue;
        const double dx = u * ax + bx;
        const double v = dx != 0 ? (px - u * cx) / dx : (u * ay + by != 0 ? (py - u * cy) / (u * ay + by) : -1);
        if (!(v >= 0 && v <= 1)) continue;
        const int32_t ix = static_cast<int32_t>(W * v), iy = static_cast<int32_t>(H * u);
        if (ix < W && iy < H) put(x, ix, iy);
        break;
      }
    }
  }
}

// ------------------------------------------------------------------ drawing

namespace {

// The device's pixels, top-down and packed, as the background the picture
// is laid over; empty without a pixel buffer.
struct captured_background {
  std::vector<uint8_t> bytes;
  int32_t width = 0, height = 0;
  const uint8_t* data() const { return bytes.empty() ? nullptr : bytes.data(); }
};

captured_background capture_background(const DisplayDevice* dd) {
  captured_background bg;
  const KPBitmap* bm = dd->bm;
  if (bm == nullptr || bm->pixels == nullptr || bm->width <= 0 || bm->height <= 0) return bg;
  bg.width = bm->width;
  bg.height = bm->height;
  bg.bytes.resize(static_cast<size_t>(bm->width) * static_cast<size_t>(bm->height) * 4);
  for (int32_t y = 0; y < bm->height; ++y)
    std::memcpy(bg.bytes.data() + static_cast<size_t>(y) * bm->width * 4,
                bm->pixels + static_cast<size_t>(y) * static_cast<size_t>(bm->pitch), static_cast<size_t>(bm->width) * 4);
  return bg;
}

// Draws a top-down w x h buffer at (left, top): copied when `opaque`, else
// multiplied with what lies beneath, so that white leaves it unchanged.
void draw_buffer(DisplayDevice* dd, const uint8_t* pixels, int32_t left, int32_t top, int32_t w, int32_t h,
                 bool opaque) {
  tagBITMAPINFO info{};
  init_dib_header(&info.bmiHeader, w, -h, 32);
  create_autoreleased_bitmap(dd->dc, left, top, w, h, 0, 0, w, h, pixels, &info, DIB_RGB_COLORS, opaque ? 13 : 9);
}

uint8_t* copy_block(const std::vector<uint8_t>& v) {
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GPTR, static_cast<uint32_t>(v.size())));
  if (block != nullptr) std::memcpy(block, v.data(), v.size());
  return block;
}

// The picture over the background: white pixels of the picture alone take
// the background's pixel.
void composite_over_background(const uint8_t* alone, uint8_t* target, int32_t w, int32_t h,
                               const captured_background& bg, int32_t left, int32_t top) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
      const uint8_t* g = background_at(bg.data(), bg.width, bg.height, x + left, y + top);
      std::memcpy(target + at, is_white(alone + at) && g != nullptr ? g : alone + at, 4);
    }
}

bool follows_grab(const object* obj) {
  if (first_hit_object == nullptr) return false;
  for (const object* o = first_hit_object; o != nullptr; o = o->next)
    if (o == obj) return true;
  return false;
}

}  // namespace

void draw_picture_on_two_points(DisplayDevice* dd, object* obj) {
  if (dd == nullptr || dd->dc == nullptr || obj == nullptr || obj->bitmap == nullptr || obj->nbparents < 2) return;
  const bitmap_info* bi = obj->bitmap;
  const auto* image = static_cast<const KPUniversalBitmap*>(bi->image);
  if (image == nullptr || bi->width <= 0 || bi->height <= 0) return;
  const object* pa = obj->parents != nullptr ? obj->parents[0] : nullptr;
  const object* pb = obj->parents != nullptr ? obj->parents[1] : nullptr;
  const valeur* a = pa != nullptr ? pa->valeurs : nullptr;
  const valeur* b = pb != nullptr ? pb->valeurs : nullptr;
  if (a == nullptr || b == nullptr) return;
  // In device pixels: the direction A->B and the picture's bottom-left
  // corner, half its scaled height to the side of A.
  const double rx = dd->ratio, ry = dd->ratio * dd->orientation;
  const double ax = (a->h - dd->portRect.left) * rx, ay = (a->v - dd->portRect.top) * ry;
  const double ex = (b->h - a->h) * rx, ey = (b->v - a->v) * ry;
  const double length = std::hypot(ex, ey);
  if (length == 0) return;
  const double k = static_cast<double>(bi->height) / bi->width / 2;
  const double qx = std::floor(ax - ey * k + 0.5), qy = std::floor(ay + ex * k + 0.5);
  dd->dc->drawImageTurned(image, qx, qy, length / bi->width, std::atan2(ey, ex), obj->settings.opaque ? 13 : 9);
}

void draw_picture_on_points(DisplayDevice* dd, object* obj, const tagPOINT corners[4]) {
  if (dd == nullptr || dd->dc == nullptr || obj == nullptr || obj->bitmap == nullptr) return;
  bitmap_info* bi = obj->bitmap;
  const bool following = follows_grab(obj);
  const bool moving = following && (obj->state & OBJ_MOVING) != 0;
  if (moving) bi->dirty = 1;
  const bool dragging = drag_in_progress != 0;
  bool rebuild = bi->dirty && !dragging;
  bool use_cache = (bi->rendered != nullptr || bi->rendered_alone != nullptr) && !bi->dirty;
  if (figure_has_background() || (bi->composited && !dragging)) {
    use_cache = false;
    rebuild = true;
  }
  const int32_t port_w = dd->portRect.right - dd->portRect.left;
  const int32_t port_h = dd->portRect.bottom - dd->portRect.top;
  int32_t xs[4], ys[4];
  for (int k = 0; k < 4; ++k) {
    xs[k] = corners[k].x;
    ys[k] = corners[k].y;
  }
  const int32_t left = std::max(0, std::min(*std::min_element(xs, xs + 4), port_w));
  const int32_t top = std::max(0, std::min(*std::min_element(ys, ys + 4), port_h));
  const int32_t right = std::max(0, std::min(*std::max_element(xs, xs + 4), port_w));
  const int32_t bottom = std::max(0, std::min(*std::max_element(ys, ys + 4), port_h));
  const int32_t w = right - left, h = bottom - top;
  if (use_cache && (bi->render_width != w || bi->render_height != h)) {
    use_cache = false;
    rebuild = true;
  }
  if (rebuild) bi->dirty = 0;
  if (w <= 0 || h <= 0) return;
  bi->render_height = h;
  bi->render_width = w;
  if (bi->pixels == nullptr) return;

  const bool opaque = obj->settings.opaque != 0;
  const captured_background bg = capture_background(dd);
  // Without the device's pixels there is nothing to lay the picture over:
  // the picture alone is multiplied with the drawing.
  const bool over = opaque && bg.data() != nullptr;
  tagPOINT shifted[4];
  for (int k = 0; k < 4; ++k) shifted[k] = {corners[k].x - left, corners[k].y - top};
  std::vector<uint8_t> section(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0);

  // A picture whose caches are stale while a drag goes on is drawn fast
  // rather than left out.
  const bool stale = !rebuild && bi->rendered != nullptr && bi->rendered_alone != nullptr;
  if (!use_cache && !moving && !stale) {
    free_bitmap_dib(bi);
    map_picture_smooth(bi->pixels, bi->width, bi->height, section.data(), w, h, nullptr, 0, 0, shifted, 0, 0);
    bi->rendered_alone = copy_block(section);
    if (bg.data() != nullptr) composite_over_background(bi->rendered_alone, section.data(), w, h, bg, left, top);
    bi->rendered = copy_block(section);
    bi->composited = 0;
    if (over)
      draw_buffer(dd, bi->rendered, left, top, w, h, true);
    else
      draw_buffer(dd, bi->rendered_alone, left, top, w, h, false);
  } else if (!use_cache) {
    map_picture_fast(bi->pixels, bi->width, bi->height, section.data(), w, h, over ? bg.data() : nullptr, bg.width,
                     bg.height, shifted, left, top);
    draw_buffer(dd, section.data(), left, top, w, h, over);
  } else if (!following) {
    if (over && bi->rendered != nullptr)
      draw_buffer(dd, bi->rendered, left, top, w, h, true);
    else if (bi->rendered_alone != nullptr)
      draw_buffer(dd, bi->rendered_alone, left, top, w, h, false);
  } else if (bi->rendered_alone != nullptr) {
    if (over) {
      composite_over_background(bi->rendered_alone, section.data(), w, h, bg, left, top);
      draw_buffer(dd, section.data(), left, top, w, h, true);
    } else {
      draw_buffer(dd, bi->rendered_alone, left, top, w, h, false);
    }
    bi->composited = 1;
  }
}
