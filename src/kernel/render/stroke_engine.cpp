#include "kernel/render/stroke_engine.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <type_traits>

#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_math.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/tools/draw_feedback.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegree = 0.017453292519943295;
constexpr double kTiny = 1e-10;
constexpr int kListCapacity = 6;
// Beyond this many pixels from the window a circle cannot be walked pixel by
// pixel with exact integer steps; such circles go to the device context.
constexpr double kPixelRouteLimit = 1e15;

const dot kSolid = {1, 1};

bool pixel_route(const DisplayDevice* dd) { return dd->bm && dd->bm->pixels && dd->ratio == 1.0; }

double zero_tiny(double v) { return std::fabs(v) < kTiny ? 0.0 : v; }

void add_point(arc_point_list& l, int64_t x, int64_t y) {
  if (l.n >= kListCapacity) return;
  l.x[l.n] = x;
  l.y[l.n] = y;
  ++l.n;
}

void remove_point(arc_point_list& l, int i) {
  for (int k = i; k + 1 < l.n; ++k) {
    l.x[k] = l.x[k + 1];
    l.y[k] = l.y[k + 1];
  }
  --l.n;
}

// The side of the chord p1 p3 on which p2 lies: a circle point P
// (centre-relative, y up) belongs to the arc when nx P.y - ny P.x >= K.
struct arc_side_test {
  bool is_arc = false;
  double nx = 0, ny = 0, K = 0;
  double x1 = 0, y1 = 0, x3 = 0, y3 = 0;  // the endpoints, centre-relative, y up
  bool holds(double px, double py) const { return !is_arc || nx * py - ny * px >= K; }
};

}  // namespace

bool arc_point_before(int64_t px, int64_t py, int64_t qx, int64_t qy) {
  if (qy < py) return true;
  return py == qy && ((py > 0 && px < qx) || (py <= 0 && px > qx));
}

bool build_arc_lists(const DisplayDevice* dd, double cx, double cy, double r, uint8_t thickness,
                     const valeur* arc_points[3], arc_lists* out) {
  out->half[0].n = out->half[1].n = 0;
  out->cx = cx;
  out->cy = cy;
  out->r2 = r * r;
  arc_side_test arc;
  if (arc_points) {
    const valeur* p1 = arc_points[0];
    const valeur* p2 = arc_points[1];
    const valeur* p3 = arc_points[2];
    const double cross = (p2->h - p1->h) * (p3->v - p1->v) - (p2->v - p1->v) * (p3->h - p1->h);
    arc.is_arc = true;
    arc.nx = cross >= 0 ? p3->h - p1->h : -(p3->h - p1->h);
    arc.ny = cross >= 0 ? -(p3->v - p1->v) : p3->v - p1->v;
    arc.x1 = zero_tiny(p1->h - cx);
    arc.y1 = cy - p1->v;
    arc.x3 = zero_tiny(p3->h - cx);
    arc.y3 = cy - p3->v;
    arc.K = arc.nx * arc.y1 - arc.ny * arc.x1;
  }
  const int t = thickness;
  const tagRECT& port = dd->portRect;
  const double L = zero_tiny((port.left - t - 1) - cx);
  // The right boundary lies as far outside the port as the left one, so that
  // pieces reaching the last columns are drawn.
  const double R = zero_tiny((port.right + t + 1) - cx);
  const double T = zero_tiny(cy - (port.top - t - 1));
  const double B = zero_tiny(cy - (port.bottom + t + 1));
  const double r2 = out->r2;
  auto D = [&](double E) { return r2 - E * E; };
  auto signed_square = [](double E) { return E * std::fabs(E); };
  const double DL = D(L), DR = D(R), DT = D(T), DB = D(B);
  const double sL = signed_square(L), sR = signed_square(R), sT = signed_square(T), sB = signed_square(B);
  const bool centre_inside = L <= 0 && 0 <= R && B <= 0 && 0 <= T;
  if (!centre_inside && DL < 0 && DR < 0 && DT < 0 && DB < 0) return false;

  arc_point_list& right = out->half[0];
  arc_point_list& left = out->half[1];
  bool built_in_order = false;
  int endpoints[2] = {0, 0};

  if (DL > 0 || DR > 0) {
    bool top_added = false, bottom_added = false;
    if (L <= 0 && 0 <= R) {
      if (T > r && r > B && (!arc.is_arc || arc.nx * r > arc.K)) {
        add_point(right, 0, round_wide(r));
        add_point(left, 0, round_wide(r));
        top_added = true;
      }
      if (B < -r && -r < T && (!arc.is_arc || -arc.nx * r > arc.K)) {
        add_point(right, 0, round_wide(-r));
        add_point(left, 0, round_wide(-r));
        bottom_added = true;
      }
      if (!arc.is_arc) {
        if (round_wide(L) == 0) left.n = 0;
        if (round_wide(R) == 0) right.n = 0;
      }
    }
    for (double E : {L, R}) {
      const double d = D(E);
      if (d < 0) continue;
      const double s = std::sqrt(d);
      const int64_t ix = round_wide(E);
      arc_point_list& list = E <= 0 ? left : right;
      const int64_t stored_x = E <= 0 ? -ix : ix;
      if (sB < d && d < sT && arc.holds(E, s)) {
        if (arc.is_arc || !(stored_x == 0 && top_added)) add_point(list, stored_x, round_wide(s));
      }
      if (sB < -d && -d < sT && arc.holds(E, -s)) {
        if (arc.is_arc || !(ix == 0 && bottom_added)) add_point(list, stored_x, round_wide(-s));
      }
    }
    for (double E : {T, B}) {
      const double d = D(E);
      if (d < 0) continue;
      const double s = std::sqrt(d);
      if (sL < d && d < sR && arc.holds(s, E)) add_point(right, round_wide(s), round_wide(E));
      if (sL < -d && -d < sR && arc.holds(-s, E)) add_point(left, round_wide(s), round_wide(E));
    }
  } else {
    if (L > 0 || R < 0) return false;
    for (int k = 0; k < 2; ++k) {
      const double E = k == 0 ? T : B;
      const double d = D(E);
      if (d <= 0) {
        const double py = k == 0 ? r : -r;
        if (arc.is_arc) {
          const bool passes = k == 0 ? arc.nx * r >= arc.K : -arc.nx * r >= arc.K;
          const bool is_end = (arc.x1 == 0 && (k == 0 ? arc.y1 > 0 : arc.y1 < 0)) ||
                              (arc.x3 == 0 && (k == 0 ? arc.y3 > 0 : arc.y3 < 0));
          if (!passes || is_end) continue;
        }
        add_point(right, 0, round_wide(py));
        add_point(left, 0, round_wide(py));
      } else {
        const double s = std::sqrt(d);
        if (!arc.is_arc || arc.holds(s, E)) add_point(right, round_wide(s), round_wide(E));
        if (!arc.is_arc || arc.holds(-s, E)) add_point(left, round_wide(s), round_wide(E));
      }
    }
    built_in_order = !arc.is_arc;
  }

  if (arc.is_arc) {
    for (int k = 0; k < 2; ++k) {
      const double x = k == 0 ? arc.x1 : arc.x3;
      const double y = k == 0 ? arc.y1 : arc.y3;
      if (!(L <= x && x <= R && B <= y && y <= T)) continue;
      if (x > 0) {
        add_point(right, round_wide(x), round_wide(y));
        ++endpoints[0];
      } else if (x < 0) {
        add_point(left, round_wide(-x), round_wide(y));
        ++endpoints[1];
      } else {
        const double v = y >= 0 ? arc.nx * std::sqrt(r2) : -arc.nx * std::sqrt(r2);
        if (arc.K <= v - kTiny * arc.ny) {
          add_point(right, 0, round_wide(y));
          ++endpoints[0];
        }
        if (arc.K <= v + kTiny * arc.ny) {
          add_point(left, 0, round_wide(y));
          ++endpoints[1];
        }
      }
    }
  }

  // An odd list lost or gained a point at a boundary crossing that rounds
  // onto an endpoint: drop the duplicate.
  for (int side = 0; side < 2; ++side) {
    arc_point_list& l = out->half[side];
    if (l.n % 2 == 0) continue;
    if (endpoints[side] == 1 || l.n == 1) {
      --l.n;
      continue;
    }
    const int last = l.n - 1;
    for (int i = 0; i < l.n - 2; ++i) {
      if (l.x[i] == l.x[last] && l.y[i] == l.y[last]) {
        --l.n;
        break;
      }
      if (l.x[i] == l.x[last - 1] && l.y[i] == l.y[last - 1]) {
        remove_point(l, last - 1);
        break;
      }
    }
  }
  if (!built_in_order) {
    for (arc_point_list& l : out->half)
      for (int pass = 0; pass < l.n; ++pass)
        for (int i = 0; i + 1 < l.n; ++i)
          if (arc_point_before(l.x[i + 1], l.y[i + 1], l.x[i], l.y[i])) {
            std::swap(l.x[i], l.x[i + 1]);
            std::swap(l.y[i], l.y[i + 1]);
          }
  }
  for (arc_point_list& l : out->half)
    if (l.n % 2) --l.n;
  return true;
}

namespace {

// The midpoint circle walk of one piece, from (x, y) down to (xe, ye) in
// traversal order, over any pen: the plots and steps are the pen's
// operations or their inline copies.
template <class Vertical, class Horizontal, class Row, class Forward, class Backward>
[[gnu::always_inline]] inline void walk_arc_piece(double r2, int64_t x, int64_t y, int64_t xe, int64_t ye,
                                                  Vertical vertical, Horizontal horizontal, Row row, Forward forward,
                                                  Backward backward) {
  auto decision = [r2](double a, double b) { return round_wide(a * a + b * b - r2); };

  int octant;
  int64_t d;
  if (x < y) {
    octant = 1;
    d = decision(x + 1.0, y - 0.5);
  } else if (y >= 1) {
    octant = 2;
    d = decision(x + 0.5, y - 1.0);
  } else if (-y < x) {
    octant = 3;
    d = decision(x - 0.5, y - 1.0);
  } else if (x >= 1) {
    octant = 4;
    d = decision(x - 1.0, y - 0.5);
  } else {
    return;
  }
  if (octant == 1) {
    while (x < y && (ye < y || (y == ye && x <= xe))) {
      vertical();
      if (d < 0) {
        d += 2 * x + 3;
        ++x;
        forward();
      } else {
        d += 2 * (x - y) + 5;
        ++x;
        --y;
        row();
        forward();
      }
    }
    if (x < y) return;
    d -= x + y;
    vertical();
    octant = 2;
  }
  if (octant == 2) {
    while (y > 0 && ye <= y) {
      horizontal();
      if (d < 1) {
        d += 2 * (x - y) + 5;
        ++x;
        --y;
        row();
        forward();
      } else {
        d += 3 - 2 * y;
        --y;
        row();
      }
    }
    if (y >= 1) return;
    d -= 2 * x;
    octant = 3;
  }
  if (octant == 3) {
    while (-x < y && ye <= y) {
      horizontal();
      if (d < 0) {
        d += 3 - 2 * y;
        --y;
        row();
      } else {
        d += 5 - 2 * (x + y);
        --x;
        --y;
        row();
        backward();
      }
    }
    if (-x < y) return;
    d -= x - y;
    vertical();
  }
  while (xe <= x) {
    vertical();
    if (d < 1) {
      d += 5 - 2 * (x + y);
      --x;
      --y;
      row();
      backward();
    } else {
      d += 3 - 2 * x;
      --x;
      backward();
    }
  }
}

// The walk on the pen's inline copy, for cursor A (mode 0), B (1) or both.
template <int Mode, bool Thick, bool Dash>
void walk_arc_piece_fast(double r2, int64_t x, int64_t y, int64_t xe, int64_t ye) {
  PenWalk w(pixel_pen);
  auto plot = [&w](auto across_rows) {
    constexpr bool rows = decltype(across_rows)::value;
    if constexpr (Mode != 1) {
      if constexpr (Thick) w.plot_thick<false, rows, Dash>();
      else w.plot_a<Dash>();
    }
    if constexpr (Mode != 0) {
      if constexpr (Thick) w.plot_thick<true, rows, Dash>();
      else w.plot_b<Dash>();
    }
  };
  auto vertical = [&] { plot(std::true_type{}); };
  auto horizontal = [&] { plot(std::false_type{}); };
  auto row = [&w] { w.down_both(); };
  auto forward = [&w] {
    if constexpr (Mode != 1) w.next_a();
    if constexpr (Mode != 0) w.prev_b();
  };
  auto backward = [&w] {
    if constexpr (Mode != 1) w.prev_a();
    if constexpr (Mode != 0) w.next_b();
  };
  walk_arc_piece(r2, x, y, xe, ye, vertical, horizontal, row, forward, backward);
  w.store(pixel_pen);
}

// One piece of the walk, from (x, y) down to (xe, ye) in traversal order,
// with cursor A (mode 0), cursor B (mode 1) or both (mode 2).
void draw_arc_piece(DisplayDevice* dd, const arc_lists& lists, int64_t x, int64_t y, int64_t xe, int64_t ye,
                    uint8_t mode) {
  begin_pixel_span(dd, lists.cx, lists.cy, static_cast<int32_t>(x), static_cast<int32_t>(y), mode);
  const bool thick = pixel_pen.half_width != 0;
  // The stroke (not the fill pass) with the pen's own plots runs inline.
  if (!pixel_pen.fill_mode && pen_plots_are_plain() && mode <= 2) {
    using Walk = void (*)(double, int64_t, int64_t, int64_t, int64_t);
    static constexpr Walk walks[2][2][3] = {
        {{walk_arc_piece_fast<0, false, false>, walk_arc_piece_fast<1, false, false>,
          walk_arc_piece_fast<2, false, false>},
         {walk_arc_piece_fast<0, true, false>, walk_arc_piece_fast<1, true, false>,
          walk_arc_piece_fast<2, true, false>}},
        {{walk_arc_piece_fast<0, false, true>, walk_arc_piece_fast<1, false, true>,
          walk_arc_piece_fast<2, false, true>},
         {walk_arc_piece_fast<0, true, true>, walk_arc_piece_fast<1, true, true>,
          walk_arc_piece_fast<2, true, true>}}};
    walks[pixel_pen.dash_active != 0][thick][mode](lists.r2, x, y, xe, ye);
    return;
  }
  const auto row = pen_cursors_down;
  const auto forward = mode == 0 ? pen_cursor_next : mode == 1 ? pen_cursor_b_prev : pen_cursors_spread;
  const auto backward = mode == 0 ? pen_cursor_prev : mode == 1 ? pen_cursor_b_next : pen_cursors_close;
  const PenPlot vertical = pen_plot_table[mode * 3 + (thick ? 2 : 0)];
  const PenPlot horizontal = pen_plot_table[mode * 3 + (thick ? 1 : 0)];
  walk_arc_piece(lists.r2, x, y, xe, ye, vertical, horizontal, row, forward, backward);
}

}  // namespace

void rasterise_circle_arcs(DisplayDevice* dd, const arc_lists& lists) {
  if (pixel_pen.dash_active) pixel_pen.counter_b = pixel_pen.phase_a;
  const arc_point_list& R = lists.half[0];
  const arc_point_list& Lh = lists.half[1];
  int ir = 0, il = 0;
  // The current pair of each list; a start may be moved forward.
  int64_t rsx = 0, rsy = 0, lsx = 0, lsy = 0;
  auto load_right = [&] {
    if (ir < R.n) rsx = R.x[ir], rsy = R.y[ir];
  };
  auto load_left = [&] {
    if (il < Lh.n) lsx = Lh.x[il], lsy = Lh.y[il];
  };
  load_right();
  load_left();
  // Every pass advances a list or moves a start strictly forward, so the
  // walk ends; the bound guards lists a caller might have damaged.
  for (int guard = 0; guard < 64 && (ir < R.n || il < Lh.n); ++guard) {
    if (il >= Lh.n) {
      draw_arc_piece(dd, lists, rsx, rsy, R.x[ir + 1], R.y[ir + 1], 0);
      ir += 2;
      load_right();
      continue;
    }
    if (ir >= R.n) {
      draw_arc_piece(dd, lists, lsx, lsy, Lh.x[il + 1], Lh.y[il + 1], 1);
      il += 2;
      load_left();
      continue;
    }
    const int64_t rex = R.x[ir + 1], rey = R.y[ir + 1];
    const int64_t lex = Lh.x[il + 1], ley = Lh.y[il + 1];
    if (rsx == lsx && rsy == lsy) {
      if (rex == lex && rey == ley) {
        draw_arc_piece(dd, lists, rsx, rsy, rex, rey, 2);
        ir += 2;
        il += 2;
        load_right();
        load_left();
      } else if (arc_point_before(rex, rey, lex, ley)) {
        draw_arc_piece(dd, lists, rsx, rsy, rex, rey, 2);
        ir += 2;
        load_right();
        lsx = rex, lsy = rey;
      } else {
        draw_arc_piece(dd, lists, lsx, lsy, lex, ley, 2);
        il += 2;
        load_left();
        rsx = lex, rsy = ley;
      }
      continue;
    }
    if (arc_point_before(rsx, rsy, lsx, lsy)) {
      if (arc_point_before(rex, rey, lsx, lsy)) {
        draw_arc_piece(dd, lists, rsx, rsy, rex, rey, 0);
        ir += 2;
        load_right();
      } else {
        draw_arc_piece(dd, lists, rsx, rsy, lsx, lsy, 0);
        rsx = lsx, rsy = lsy;
      }
    } else {
      if (arc_point_before(lex, ley, rsx, rsy)) {
        draw_arc_piece(dd, lists, lsx, lsy, lex, ley, 1);
        il += 2;
        load_left();
      } else {
        draw_arc_piece(dd, lists, lsx, lsy, rsx, rsy, 1);
        lsx = rsx, lsy = rsy;
      }
    }
  }
}

void dc_stroke_arc(DisplayDevice* dd, double cx, double cy, double r, double start, double end) {
  if (!dd || !dd->dc) return;
  KPGrafPort* dc = dd->dc;
  const double x0 = dd->ratio * cx;
  const double y0 = dd->ratio * dd->orientation * cy;
  const double rr = dd->ratio * r;
  if (x0 - rr < -32000 || x0 + rr > 32000 || y0 - rr < -32000 || y0 + rr > 32000) {
    auto point = [&](double a) {
      return tagPOINT{round_pixel(std::cos(a) * rr + x0), round_pixel(y0 - dd->orientation * std::sin(a) * rr)};
    };
    tagPOINT p = point(start);
    dc->moveToEx(p.x, p.y, nullptr);
    double a = start;
    // At most one turn and a bit: start and end never lie further apart.
    for (int i = 0; i < 800 && a + kDegree <= end; ++i) {
      a += kDegree;
      p = point(a);
      dc->lineToFast(p.x, p.y);
    }
    if (end > a) {
      p = point(end);
      dc->lineToFast(p.x, p.y);
    }
    return;
  }
  KPGdiObject* previous = dc->selectObject(KPGrafPort::getStockObject(5));
  dc->arc(round_pixel(x0), round_pixel(y0), static_cast<float>(rr), static_cast<float>(start),
          static_cast<float>(end));
  if (previous) dc->selectObject(previous);
}

namespace {

void dc_circle_arc(DisplayDevice* dd, const valeur* p1, const valeur* p2, const valeur* p3, double cx, double cy,
                   double r, uint32_t color, uint32_t fill, uint8_t thickness, const dot& pattern, uint8_t flags) {
  KPGrafPort* dc = dd->dc;
  if (!dc) return;
  uint32_t style = kGeometricFlatMitre;
  if (pattern.lg != pattern.cycle) style |= (pattern.cycle - pattern.lg < 5) ? kPenDot : kPenDash;
  const bool selection = pattern.lg == selection_dash_style.lg && pattern.cycle == selection_dash_style.cycle;
  const tagLOGBRUSH brush{0, rgb_to_bgr_pal(color), 0,
                          selection ? static_cast<uint32_t>(pixel_pen.dash_start_phase) : 0u};
  const auto width = static_cast<uint32_t>(std::max(0, round_pixel((2 * thickness + 1) * dd->ratio)));
  KPPen* pen = KPPen::extCreatePen(style, width, &brush, 0, nullptr);
  KPGdiObject* previous_pen = dc->selectObject(pen);
  const double px = cx - dd->portRect.left;
  const double py = cy - dd->portRect.top;
  const bool filled = fill != back_color || (flags & kStrokeOpaqueFill);
  if (!filled) {
    if (flags & kStrokeFullCircle) {
      dc_stroke_arc(dd, px, py, r, 0, kTwoPi);
    } else {
      auto angle = [&](const valeur* p) { return std::atan2(py - (p->v - dd->portRect.top), (p->h - dd->portRect.left) - px); };
      const double a1 = angle(p1), a2 = angle(p2), a3 = angle(p3);
      double start, end;
      if (a1 < a2 && a2 < a3) {
        start = a1, end = a3;
      } else if (a3 < a2 && a2 < a1) {
        start = a3, end = a1;
      } else if (a2 < a1 && a2 < a3) {
        if (a1 <= a3) start = a3 - kTwoPi, end = a1;
        else start = a1 - kTwoPi, end = a3;
      } else {
        if (a1 <= a3) start = a3, end = a1 + kTwoPi;
        else start = a1, end = a3 + kTwoPi;
      }
      dc_stroke_arc(dd, px, py, r, start, end);
    }
  } else {
    KPBrush* fill_brush = brush_from_color(fill);
    const int rop = (flags & kStrokeOpaqueFill) ? -1 : dc->setROP2(9);
    KPGdiObject* previous_brush = dc->selectObject(fill_brush);
    const double rr = dd->ratio * r;
    const double x = dd->ratio * px;
    const double y = dd->ratio * dd->orientation * py;
    dc->ellipse(round_pixel(x - rr), round_pixel(y - rr), round_pixel(x + rr), round_pixel(y + rr));
    if (previous_brush) dc->selectObject(previous_brush);
    DeleteObject(fill_brush);
    if (rop != -1) dc->setROP2(rop);
  }
  if (previous_pen) dc->selectObject(previous_pen);
  DeleteObject(pen);
}

}  // namespace

void draw_circle_arc(DisplayDevice* dd, const valeur* p1, const valeur* p2, const valeur* p3,
                     const circle_record* circle, uint32_t color, uint32_t fill, uint8_t thickness, const dot* dash,
                     uint8_t flags) {
  if (!dd || !p1) return;
  const bool full = (flags & kStrokeFullCircle) != 0;
  double cx, cy, r;
  if (full) {
    if (!p2) return;
    cx = p1->h, cy = p1->v, r = p2->info.rayon;
  } else {
    if (!p2 || !p3 || !circle) return;
    cx = circle->cx, cy = circle->cy, r = circle->r;
  }
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r) || r < 0) return;
  if (!full && !(std::isfinite(p1->h) && std::isfinite(p1->v) && std::isfinite(p2->h) && std::isfinite(p2->v) &&
                 std::isfinite(p3->h) && std::isfinite(p3->v)))
    return;
  const dot pattern = dash ? *dash : kSolid;
  const double far = std::max({std::fabs(cx - dd->portRect.left), std::fabs(cy - dd->portRect.top), r});
  if (!pixel_route(dd) || far > kPixelRouteLimit) {
    dc_circle_arc(dd, p1, p2, p3, cx, cy, r, color, fill, thickness, pattern, flags);
    return;
  }
  const valeur* points[3] = {p1, p2, p3};
  arc_lists lists;
  if (!build_arc_lists(dd, cx, cy, r, thickness, full ? nullptr : points, &lists)) return;
  PixelPen& pen = pixel_pen;
  if (fill != back_color || (flags & kStrokeOpaqueFill)) {
    const bool dashed = pen.dash_active != 0;
    const uint8_t on = pen.on_length, period = pen.period;
    pen.dash_active = 0;
    pen.span_color = fill;
    pen.fill_mode = 1;
    pen.opaque_fill = flags & kStrokeOpaqueFill;
    const tagRECT& port = dd->portRect;
    if (r > cx - port.left && r > port.right - cx) {
      const double d = std::max(cx - port.left, port.right - cx);
      const double h = std::sqrt(r * r - d * d);
      const int32_t top = round_pixel(std::max(cy - h, double(port.top)));
      const int32_t bottom = round_pixel(std::min(cy + h, double(port.bottom)));
      if (top < bottom) dd_rect_scaled(dd, port.left, top, port.right, bottom, fill, pen.opaque_fill);
    }
    rasterise_circle_arcs(dd, lists);
    pen.fill_mode = 0;
    pen.opaque_fill = 0;
    if (dashed) {
      const uint8_t bytes[2] = {on, period};
      set_dash_pattern(bytes);
    }
  }
  pen.span_color = color;
  pen.half_width = thickness;
  const uint8_t bytes[2] = {pattern.lg, pattern.cycle};
  set_dash_pattern(bytes);
  rasterise_circle_arcs(dd, lists);
  pen.dash_active = 0;
}

void draw_stroke_twice(DisplayDevice* dd, const valeur* p1, const valeur* p2, const valeur* p3,
                       const circle_record* circle, uint32_t color, uint32_t fill, uint8_t thickness, const dot* dash,
                       uint8_t flags) {
  if (selection_drawing) {
    draw_circle_arc(dd, p1, p2, p3, circle, back_color, back_color, thickness, dash, flags);
    draw_circle_arc(dd, p1, p2, p3, circle, color, fill, thickness, &selection_dash_style, flags);
    return;
  }
  draw_circle_arc(dd, p1, p2, p3, circle, color, fill, thickness, dash, flags);
  if (fill == back_color && !(flags & kStrokeOpaqueFill)) return;
  draw_circle_arc(dd, p1, p2, p3, circle, color, back_color, thickness, dash,
                  static_cast<uint8_t>(flags & ~kStrokeOpaqueFill));
}
