#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_draw.h"
#include "kernel/conics/conic_stroke.h"
#include "kernel/conics/conic_tangents.h"
#include "kernel/conics/conic_trace.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/render/render_switches.h"
#include "kernel/tools/draw_feedback.h"
#include "conic_fixture.h"
#include "../render/render_fixture.h"

namespace {

using pixel = std::pair<int, int>;

struct recorder {
  std::vector<pixel> plots;     // every plot call: the pen
  std::vector<pixel> vertices;  // every line end sent to the port
  std::vector<pixel> moves;
  static recorder* current;
  static void observe(int op, int32_t x, int32_t y) {
    if (op == 0) current->moves.push_back({x, y});
    if (op == 1) current->vertices.push_back({x, y});
    if (op == 2) current->plots.push_back({x, y});
  }
  recorder() {
    current = this;
    conic_polyline_observer = observe;
  }
  ~recorder() { conic_polyline_observer = nullptr; }
};
recorder* recorder::current = nullptr;

// The equation a X^2 + b Y^2 = 1 of an ellipse (b > 0) or hyperbola (b < 0)
// centred at (cx, cy) and turned by theta, into the workspace.
struct equation {
  double A, B, C, D, E, F;
};

equation central(double cx, double cy, double a, double b, double theta) {
  const double c = std::cos(theta), s = std::sin(theta);
  // X = c dx + s dy, Y = -s dx + c dy.
  const double A = a * c * c + b * s * s, B = (a - b) * c * s, C = a * s * s + b * c * c;
  return {A, B, C, -(A * cx + B * cy), -(B * cx + C * cy),
          A * cx * cx + 2 * B * cx * cy + C * cy * cy - 1};
}

void load(const equation& q, int16_t kind) {
  conic_a = q.A, conic_b = q.B, conic_c = q.C, conic_d = q.D, conic_e = q.E, conic_f = q.F;
  conic_kind = kind;
}

// First-order distance of (x, y) to the curve of q.
double distance(const equation& q, double x, double y) {
  const double v = q.A * x * x + 2 * q.B * x * y + q.C * y * y + 2 * q.D * x + 2 * q.E * y + q.F;
  const double gx = 2 * (q.A * x + q.B * y + q.D), gy = 2 * (q.B * x + q.C * y + q.E);
  return std::fabs(v) / std::hypot(gx, gy);
}

bool eight_connected(const pixel& a, const pixel& b) {
  return std::abs(a.first - b.first) <= 1 && std::abs(a.second - b.second) <= 1;
}

struct ConicDraw : RenderFixture {
  void SetUp() override {
    RenderFixture::SetUp();
    destroy_display_device(dd);
    dd = make_device(400, 300);
    conic_color = kInk;
    conic_thick = 0;
    conic_branch = 1;
    trace_series_started = 0;
    conic_window[0] = 0, conic_window[1] = 0, conic_window[2] = 400, conic_window[3] = 300;
  }
  std::set<pixel> ink() const {
    std::set<pixel> s;
    for (int y = 0; y < dd->bm->height; ++y)
      for (int x = 0; x < dd->bm->width; ++x)
        if (inked(x, y)) s.insert({x, y});
    return s;
  }
};

}  // namespace

TEST_F(ConicDraw, ACircleTracedBackToItselfRunsNinePassesOnTheCurve) {
  const equation q = central(200, 150, 1.0 / (100 * 100), 1.0 / (100 * 100), 0);
  load(q, kConicEllipse);
  recorder rec;
  trace_conic(dd, 300, 150, 300, 150);
  EXPECT_EQ(last_trace.passes, 9);
  EXPECT_EQ(last_trace.octants[0], last_trace.octants[8]);
  std::set<int> octants(last_trace.octants, last_trace.octants + 9);
  EXPECT_EQ(octants.size(), 8u);
  ASSERT_GT(rec.plots.size(), 550u);
  for (size_t i = 0; i < rec.plots.size(); ++i) {
    EXPECT_LE(distance(q, rec.plots[i].first, rec.plots[i].second), 1.0) << i;
    if (i > 0) {
      EXPECT_TRUE(eight_connected(rec.plots[i - 1], rec.plots[i])) << i;
    }
  }
  EXPECT_EQ(rec.plots.front(), rec.plots.back());
}

namespace {

// The ellipse through five points of (x - cx)^2/a^2 + (y - cy)^2/b^2 = 1
// into the workspace, with its frame, and the axis points a drawing sets.
int16_t ellipse_through_points(double cx, double cy, double a, double b, double theta = 0) {
  double x[5], y[5];
  for (int i = 0; i < 5; ++i) {
    const double t = 0.3 + 1.2 * i;
    const double X = a * std::cos(t), Y = b * std::sin(t);
    x[i] = cx + X * std::cos(theta) - Y * std::sin(theta);
    y[i] = cy + X * std::sin(theta) + Y * std::cos(theta);
  }
  conic_kind = conic_through_five_points(x, y, 0);
  return conic_kind;
}

void set_central_axis_points() {
  const double a = 1 / std::sqrt(conic_param_a), b = 1 / std::sqrt(std::fabs(conic_param_b));
  conic_axis_point = dpoint{conic_origin.x + a * conic_axis_u.x, conic_origin.y + a * conic_axis_u.y};
  conic_axis_point2 = dpoint{conic_origin.x + b * conic_axis_v.x, conic_origin.y + b * conic_axis_v.y};
}

double hausdorff(const std::set<pixel>& p, const std::set<pixel>& q) {
  auto one_way = [](const std::set<pixel>& from, const std::set<pixel>& to) {
    double worst = 0;
    for (const pixel& a : from) {
      double best = 1e9;
      for (const pixel& b : to) best = std::min(best, std::hypot(a.first - b.first, a.second - b.second));
      worst = std::max(worst, best);
    }
    return worst;
  };
  return std::max(one_way(p, q), one_way(q, p));
}

}  // namespace

TEST_F(ConicDraw, AxisAlignedEllipsesMatchTheEllipsesQtDraws) {
  const struct {
    double cx, cy, a, b;
    char shape;
  } cases[] = {{200, 150, 120, 80, 'E'}, {200, 150, 60, 130, 'e'}, {190.5, 140.25, 150, 20, 'E'}, {200, 150, 30, 29, 'e'}};
  for (const auto& c : cases) {
    dd_draw_background(dd);
    ASSERT_EQ(ellipse_through_points(c.cx, c.cy, c.a, c.b), kConicEllipse);
    set_central_axis_points();
    EXPECT_EQ(conic_plot_clipped(dd, c.shape), 0);
    QImage ref(400, 300, QImage::Format_RGB32);
    ref.fill(Qt::white);
    {
      QPainter p(&ref);
      p.setPen(QPen(Qt::black, 0));
      p.drawEllipse(QRectF(c.cx - c.a + 0.5, c.cy - c.b + 0.5, 2 * c.a, 2 * c.b));
    }
    std::set<pixel> theirs;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x)
        if (ref.pixel(x, y) != QColor(Qt::white).rgb()) theirs.insert({x, y});
    const std::set<pixel> ours = ink();
    ASSERT_GT(ours.size(), 100u);
    EXPECT_LE(hausdorff(ours, theirs), 1.5) << c.cx << " " << c.a << " " << c.b << " " << c.shape;
  }
}

// ------------------------------------------------------------ rasteriser

TEST_F(ConicDraw, AnEndAheadInTheStartOctantRunsOnePass) {
  const equation q = central(200, 150, 1e-4, 1e-4, 0);
  load(q, kConicEllipse);
  const double t = 20 * M_PI / 180;
  trace_conic(dd, 300, 150, 200 + 100 * std::cos(t), 150 + 100 * std::sin(t));
  EXPECT_EQ(last_trace.passes, 1);
  EXPECT_EQ(last_trace.octants[0], 2);
  EXPECT_EQ(last_trace.pass_steps[0], 34);
  EXPECT_EQ(trace_last_octant, 1);
}

TEST_F(ConicDraw, FlippingTheBranchAndSwappingTheEndsWalksBackWithTheTransitionsSwapped) {
  const equation q = central(200, 150, 1e-4, 1e-4, 0);
  std::set<pixel> forward, backward;
  {
    load(q, kConicEllipse);
    recorder rec;
    conic_branch = 1;
    trace_conic(dd, 300, 150, 100, 150);
    forward.insert(rec.plots.begin(), rec.plots.end());
  }
  const trace_report one = last_trace;
  {
    load(q, kConicEllipse);
    trace_series_started = 0;
    recorder rec;
    conic_branch = 0;
    trace_conic(dd, 100, 150, 300, 150);
    backward.insert(rec.plots.begin(), rec.plots.end());
  }
  const trace_report two = last_trace;
  EXPECT_EQ(one.passes, 5);
  EXPECT_EQ(two.passes, 5);
  EXPECT_EQ(one.transitions_a, two.transitions_b);
  EXPECT_EQ(one.transitions_b, two.transitions_a);
  EXPECT_NE(one.transitions_a, one.transitions_b);
  // The same lower half, walked the other way.
  for (const pixel& p : forward) EXPECT_GE(p.second, 150);
  EXPECT_LE(hausdorff(forward, backward), 1.0);
}

TEST_F(ConicDraw, AnOctantBeyondTwoThousandStepsEndsThePieceAndKeepsWhatWasDrawn) {
  // A long flat ellipse: round its sharp end, then 3,000 steps along it.
  const equation q = central(200, 150, 1.0 / (3000.0 * 3000.0), 1.0 / (50.0 * 50.0), 0);
  load(q, kConicEllipse);
  recorder rec;
  trace_conic(dd, 3200, 150, -2800, 150);
  EXPECT_TRUE(last_trace.capped);
  EXPECT_GE(last_trace.passes, 1);
  EXPECT_GT(last_trace.steps, 0);
  ASSERT_FALSE(rec.vertices.empty());
  EXPECT_EQ(rec.vertices.back(), rec.plots.back());
}

TEST_F(ConicDraw, EveryTwoHundredthStepOfAnOctantRecomputesTheDecisionVariable) {
  const equation q = central(200, 150, 1e-6, 1e-6, 0);  // radius 1000
  load(q, kConicEllipse);
  trace_conic(dd, 1200, 150, 1200, 150);
  ASSERT_EQ(last_trace.passes, 9);
  int expected = 0;
  for (int i = 0; i < 9; ++i) expected += last_trace.pass_steps[i] / 200;
  EXPECT_GT(expected, 20);
  EXPECT_EQ(last_trace.resyncs, expected);
  // The increments keep the variable close to the exact form.
  EXPECT_LT(last_trace.max_drift, 200000);
}

TEST_F(ConicDraw, TheFirstPieceScalesTheLargestCoefficientToAMillionAndLaterPiecesKeepTheScale) {
  const equation q = central(200, 150, 1.0 / (120.0 * 120.0), 1.0 / (80.0 * 80.0), 0.4);
  load(q, kConicEllipse);
  const double x0 = 200 + 120 * std::cos(0.4), y0 = 150 + 120 * std::sin(0.4);
  trace_conic(dd, x0, y0, 2 * 200 - x0, 2 * 150 - y0);
  const double D = conic_a * x0 + conic_b * y0 + conic_d, E = conic_b * x0 + conic_c * y0 + conic_e;
  const double largest = std::max({std::fabs(conic_a), std::fabs(conic_b), std::fabs(conic_c), std::fabs(D), std::fabs(E)});
  EXPECT_NEAR(largest, 1e6, 1e-6);
  // The curve is unchanged.
  EXPECT_NEAR(conic_a / conic_c, q.A / q.C, 1e-12);
  EXPECT_NEAR(conic_f / conic_c, q.F / q.C, 1e-9);
  const double a = conic_a, d = conic_d, f = conic_f;
  trace_conic(dd, 2 * 200 - x0, 2 * 150 - y0, x0, y0);
  EXPECT_EQ(conic_a, a);
  EXPECT_EQ(conic_d, d);
  EXPECT_EQ(conic_f, f);
}

TEST_F(ConicDraw, CoefficientsWithoutACurveDrawNothingOrABoundedPiece) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  const struct {
    equation q;
    bool nothing;
  } cases[] = {
      {{0, 0, 0, 0, 0, 0}, true},                        // no equation at all
      {{nan, 0, 1, 0, 0, -1}, true},                     // not a number
      {{inf, 0, 1, 0, 0, -1}, true},                     // infinite
      {{1, 0, -1, -100, 100, 0}, true},                  // crossing lines, started on their crossing
      {{1e300, 0, 1e300, -1e302, -1e302, 1e304}, true},  // huge, started on the centre
      {{1e-300, 0, 1e-300, -1e-298, -1e-298, 0}, false},  // tiny
      {{1e-300, 0, 1e-300, 0, 0, -1e-296}, false},       // tiny circle of radius 100 about the origin
  };
  for (const auto& c : cases) {
    dd_draw_background(dd);
    load(c.q, kConicEllipse);
    trace_series_started = 0;
    const uint8_t period = pixel_pen.period = 5;
    recorder rec;
    trace_conic(dd, 100, 100, 120, 100);
    EXPECT_LE(rec.plots.size(), 2u * 2000 * 9 * 6);
    EXPECT_EQ(pixel_pen.period, period);
    if (c.nothing) {
      EXPECT_EQ(inked_count(), 0) << c.q.A << " " << c.q.D;
    }
  }
  // Pieces that start or end far outside any window, thin and thick.
  for (uint8_t thick : {0, 1}) {
    conic_thick = thick;
    for (const double far : {1e300, -3e12, 2147483648.0}) {
      load(central(200, 150, 1e-4, 1e-4, 0), kConicEllipse);
      trace_series_started = 0;
      trace_conic(dd, far, -far, 300, 150);
      trace_series_started = 0;
      trace_conic(dd, 300, 150, far, far);
    }
  }
  conic_thick = 0;
}

// ------------------------------------------------------------ stroke output

TEST_F(ConicDraw, AThinTraceMakesAVertexEverySecondPlotAndClosesAtTheLastPixel) {
  for (const double end_angle : {0.3, 0.31, 0.5, 0.52}) {
    const equation q = central(200, 150, 1e-4, 1e-4, 0);
    load(q, kConicEllipse);
    trace_series_started = 0;
    recorder rec;
    trace_conic(dd, 300, 150, 200 + 100 * std::cos(end_angle), 150 + 100 * std::sin(end_angle));
    ASSERT_GE(rec.plots.size(), 4u);
    // The closing call plots the last pixel again when the count is odd.
    EXPECT_EQ(rec.plots.size(), 2 * rec.vertices.size());
    for (size_t j = 0; j < rec.vertices.size(); ++j) EXPECT_EQ(rec.vertices[j], rec.plots[2 * j + 1]) << j;
    EXPECT_EQ(rec.vertices.back(), rec.plots.back());
    EXPECT_EQ(rec.moves.front(), rec.plots.front());
  }
}

TEST_F(ConicDraw, AStartBlockOnTheBorderPlotsOnlyThePixelsInside) {
  recorder rec;
  trace_device = dd;
  bind_polyline_slots();
  trace_pen_x = 0, trace_pen_y = 10;
  plot_block_3x3(dd, 0, 10);
  ASSERT_EQ(rec.plots.size(), 3u);
  for (const pixel& p : rec.plots) EXPECT_EQ(p.first, 1);
  EXPECT_EQ(trace_pen_x, 0);
  EXPECT_EQ(trace_pen_y, 10);
  rec.plots.clear();
  trace_pen_x = 50, trace_pen_y = 10;
  plot_block_3x3(dd, 50, 10);
  EXPECT_EQ(rec.plots.size(), 9u);
  EXPECT_EQ(std::set<pixel>(rec.plots.begin(), rec.plots.end()).size(), 9u);
}

TEST_F(ConicDraw, ThickStepsPlotTheFacingSideAndBringThePenBack) {
  bind_polyline_slots();
  trace_device = dd;
  for (int sx = -1; sx <= 1; ++sx)
    for (int sy = -1; sy <= 1; ++sy) {
      if (!sx && !sy) continue;
      recorder rec;
      trace_pen_x = 50, trace_pen_y = 60;
      plot_thick_step(dd, sx, sy, 50, 60);
      EXPECT_EQ(trace_pen_x, 50);
      EXPECT_EQ(trace_pen_y, 60);
      std::set<pixel> seen(rec.plots.begin(), rec.plots.end());
      EXPECT_EQ(seen.size(), sx && sy ? 5u : 3u) << sx << sy;
      for (const pixel& p : seen) {
        // Each pixel lies on the side of the block the step faces.
        const bool facing = (sx && p.first - 50 == sx) || (sy && p.second - 60 == sy);
        EXPECT_TRUE(facing) << sx << sy << " " << p.first << "," << p.second;
      }
    }
  // At the right edge an axial step to the right plots nothing, a diagonal
  // one only the other side.
  recorder rec;
  trace_pen_x = 399, trace_pen_y = 60;
  plot_thick_step(dd, 1, 0, 399, 60);
  EXPECT_TRUE(rec.plots.empty());
  plot_thick_step(dd, 1, 1, 399, 60);
  EXPECT_EQ(std::set<pixel>(rec.plots.begin(), rec.plots.end()), (std::set<pixel>{{399, 61}, {398, 61}}));
  EXPECT_EQ(trace_pen_x, 399);
  EXPECT_EQ(trace_pen_y, 60);
}

TEST_F(ConicDraw, AnUpsideDownPortStartsTheStrokeWhereItsVerticesRun) {
  recorder rec;
  dd->portRect = {0, 10, 400, 310};
  dd->orientation = -1;
  bind_polyline_slots();
  open_conic_polyline(dd, 5, 20);
  pen_plot_polyline();
  pen_plot_polyline();
  ASSERT_EQ(rec.vertices.size(), 1u);
  EXPECT_EQ(rec.moves.front(), (pixel{5, -10}));
  EXPECT_EQ(rec.vertices.front(), rec.moves.front());
  dd->orientation = 1;
}

TEST_F(ConicDraw, TheGapPenFollowsTheBackgroundColour) {
  const uint32_t saved = back_color;
  bind_polyline_slots();
  open_conic_polyline(dd, 5, 20);
  pixel_pen.dash_active = 1;
  pixel_pen.on_length = 0;
  trace_dash_count = 0;
  pen_plot_polyline();
  pen_plot_polyline();
  ASSERT_NE(gap_pen, nullptr);
  EXPECT_EQ(gap_pen->strokeColor() & 0xFFFFFF, saved & 0xFFFFFF);
  back_color = 0x00FF00;
  pen_plot_polyline();
  pen_plot_polyline();
  EXPECT_EQ(gap_pen->strokeColor() & 0xFFFFFF, 0x00FF00u);
  back_color = saved;
  pixel_pen.dash_active = 0;
}

// ------------------------------------------------------------ window pieces

namespace {

// Points of the curve q inside the window, by sampling an ellipse or a
// parabola given by its parametrisation.
template <typename F>
std::vector<std::pair<double, double>> visible_samples(F point, int n, double w, double h) {
  std::vector<std::pair<double, double>> out;
  for (int i = 0; i < n; ++i) {
    const auto [x, y] = point(double(i) / n);
    if (x >= 1 && x <= w - 2 && y >= 1 && y <= h - 2) out.push_back({x, y});
  }
  return out;
}

}  // namespace

TEST_F(ConicDraw, AnEllipseInsideTheWindowIsFourQuarterArcsMeetingAtItsAxisEnds) {
  ASSERT_EQ(ellipse_through_points(200, 150, 120, 80, 0.3), kConicEllipse);
  set_central_axis_points();
  const dpoint K = conic_axis_point, K2 = conic_axis_point2;
  recorder rec;
  EXPECT_EQ(conic_plot_clipped(dd, 'E'), 0);
  auto px = [](dpoint p) { return pixel{int(std::floor(p.x + 0.5)), int(std::floor(p.y + 0.5))}; };
  const dpoint Km{400 - K.x, 300 - K.y};
  const dpoint K2m{400 - K2.x, 300 - K2.y};
  ASSERT_EQ(rec.moves.size(), 4u);
  EXPECT_EQ(rec.moves[0], px(K));
  EXPECT_EQ(rec.moves[1], px(Km));
  EXPECT_EQ(rec.moves[2], px(Km));
  EXPECT_EQ(rec.moves[3], px(K));
  // Together they make the whole ellipse.
  const equation q = central(200, 150, 1.0 / (120.0 * 120), 1.0 / (80.0 * 80), 0.3);
  for (const pixel& p : rec.plots) EXPECT_LE(distance(q, p.first, p.second), 1.05);
  const auto samples = visible_samples(
      [](double t) {
        const double X = 120 * std::cos(2 * M_PI * t), Y = 80 * std::sin(2 * M_PI * t);
        return std::pair{200 + X * std::cos(0.3) - Y * std::sin(0.3), 150 + X * std::sin(0.3) + Y * std::cos(0.3)};
      },
      720, 400, 300);
  const std::set<pixel> drawn = ink();
  for (const auto& [x, y] : samples) {
    bool near = false;
    for (int dx = -1; dx <= 1 && !near; ++dx)
      for (int dy = -1; dy <= 1 && !near; ++dy) near = drawn.count({int(std::floor(x + 0.5)) + dx, int(std::floor(y + 0.5)) + dy});
    EXPECT_TRUE(near) << x << "," << y;
  }
  (void)K2m;
}

TEST_F(ConicDraw, AnEllipseOutsideTheWindowDrawsNothing) {
  for (const auto& [cx, cy] : {std::pair{700.0, 150.0}, std::pair{200.0, -200.0}}) {
    ASSERT_EQ(ellipse_through_points(cx, cy, 100, 60), kConicEllipse);
    set_central_axis_points();
    EXPECT_EQ(conic_plot_clipped(dd, 'E'), 0);
    EXPECT_EQ(conic_plot_clipped(dd, 'e'), 0);
  }
  // A window inside the ellipse.
  ASSERT_EQ(ellipse_through_points(200, 150, 1000, 900), kConicEllipse);
  set_central_axis_points();
  EXPECT_EQ(conic_plot_clipped(dd, 'E'), 0);
  EXPECT_EQ(inked_count(), 0);
}

TEST_F(ConicDraw, CurvesCrossingTheBorderTwiceAreDrawnAlongTheirVisiblePart) {
  // An ellipse cut by the bottom edge, both ends of its first axis visible;
  // a parabola opening downwards with its vertex visible.
  struct curve {
    int16_t kind;
    char shape;
    std::function<std::pair<double, double>(double)> at;
  };
  const curve curves[] = {
      {kConicEllipse, 'E',
       [](double t) { return std::pair{200 + 150 * std::cos(2 * M_PI * t), 260 + 60 * std::sin(2 * M_PI * t)}; }},
      {kConicParabola, 'P', [](double t) {
         const double x = -100 + 600 * t;
         return std::pair{x, 40 + (x - 200) * (x - 200) / 60};
       }},
      {kConicParabola, 'p', [](double t) {
         const double x = -100 + 600 * t;
         return std::pair{x, 40 + (x - 200) * (x - 200) / 60};
       }},
  };
  for (const curve& c : curves) {
    dd_draw_background(dd);
    double x[5], y[5];
    for (int i = 0; i < 5; ++i) std::tie(x[i], y[i]) = c.at(0.1 + 0.17 * i);
    conic_kind = conic_through_five_points(x, y, 0);
    ASSERT_EQ(conic_kind, c.kind);
    if (c.kind == kConicEllipse) set_central_axis_points();
    else conic_axis_point = conic_origin;
    const equation q{conic_a, conic_b, conic_c, conic_d, conic_e, conic_f};
    recorder rec;
    EXPECT_EQ(conic_plot_clipped(dd, c.shape), 2) << c.shape;
    for (const pixel& p : rec.plots) EXPECT_LE(distance(q, p.first, p.second), 1.0) << c.shape;
    const std::set<pixel> drawn = ink();
    for (const auto& [sx, sy] : visible_samples(c.at, 2000, 400, 300)) {
      bool near = false;
      for (int dx = -1; dx <= 1 && !near; ++dx)
        for (int dy = -1; dy <= 1 && !near; ++dy)
          near = drawn.count({int(std::floor(sx + 0.5)) + dx, int(std::floor(sy + 0.5)) + dy});
      EXPECT_TRUE(near) << c.shape << " " << sx << "," << sy;
    }
    if (c.shape == 'P') {
      // Both walks start at the vertex.
      const pixel v{int(std::floor(conic_origin.x + 0.5)), int(std::floor(conic_origin.y + 0.5))};
      ASSERT_EQ(rec.moves.size(), 2u);
      EXPECT_EQ(rec.moves[0], v);
      EXPECT_EQ(rec.moves[1], v);
    }
    if (c.shape == 'E') {
      // Split at the two ends of the first axis, both visible.
      const std::set<pixel> starts(rec.moves.begin(), rec.moves.end());
      EXPECT_TRUE(starts.count({350, 260}));
      EXPECT_TRUE(starts.count({50, 260}));
    }
  }
}

TEST_F(ConicDraw, TheClipHelperCountsTangenciesTwiceAndCornersByTheirRule) {
  double xs[8], ys[8];
  // A circle touching the top edge inside its span.
  load(central(200, 100, 1e-4, 1e-4, 0), kConicCircle);
  ASSERT_EQ(conic_clip_helper(xs, ys, nullptr), 2);
  EXPECT_NEAR(xs[0], 200, 1e-9);
  EXPECT_EQ(xs[0], xs[1]);
  EXPECT_EQ(ys[0], 0);
  // A large circle crossing every edge twice, in order round the border.
  load(central(200, 150, 1.0 / (220.0 * 220), 1.0 / (220.0 * 220), 0), kConicCircle);
  ASSERT_EQ(conic_clip_helper(xs, ys, nullptr), 8);
  EXPECT_LT(xs[0], xs[1]);
  EXPECT_EQ(xs[2], 399);
  EXPECT_LT(ys[2], ys[3]);
  EXPECT_GT(xs[4], xs[5]);
  EXPECT_EQ(xs[6], 0);
  EXPECT_GT(ys[6], ys[7]);
  // Through the top left corner: the top edge counts the corner only when
  // the half-gradient there points right and up (the sign of the equation
  // says which side is inside); the left edge never counts its top end.
  auto corner_count = [&](const equation& q) {
    load(q, kConicCircle);
    const int16_t n = conic_clip_helper(xs, ys, nullptr);
    int corner = 0;
    for (int i = 0; i < n; ++i) corner += xs[i] == 0 && ys[i] == 0;
    return corner;
  };
  const equation out = central(50, -50, 1.0 / 5000, 1.0 / 5000, 0);
  const equation in{-out.A, -out.B, -out.C, -out.D, -out.E, -out.F};
  EXPECT_EQ(corner_count(out), 0);
  EXPECT_EQ(corner_count(in), 1);
  EXPECT_EQ(corner_count(central(-50, 50, 1.0 / 5000, 1.0 / 5000, 0)), 0);
}

// ------------------------------------------------------------ drawing by kind

namespace {

bool all_near_lines(const std::set<pixel>& ink, const std::vector<equation>& lines) {
  // Lines as A x + B y + C = 0 in the first three fields.
  for (const pixel& p : ink) {
    bool near = false;
    for (const equation& l : lines)
      near = near || std::fabs(l.A * p.first + l.B * p.second + l.C) / std::hypot(l.A, l.B) <= 1.0;
    if (!near) return false;
  }
  return true;
}

}  // namespace

TEST_F(ConicDraw, StraightSubstitutesAndDegenerateKindsDrawTheirLines) {
  const dot solid{1, 1};
  // A double line with tiny coefficients: x + y = 300, drawn whole.
  conic_a = 1e-200, conic_b = 1e-200, conic_c = -3e-198, conic_d = conic_e = conic_f = 0;
  conic_kind = kConicDoubleLine;
  draw_conic_curve(dd, nullptr, &solid);
  EXPECT_GT(inked_count(), 250);
  EXPECT_TRUE(all_near_lines(ink(), {{1, 1, -300, 0, 0, 0}}));

  // An ellipse thinner than a pixel: the segment of its major axis.
  dd_draw_background(dd);
  ASSERT_EQ(ellipse_through_points(200, 150, 150, 0.4), kConicEllipse);
  draw_conic_curve(dd, nullptr, &solid);
  EXPECT_EQ(conic_thin, 1);
  const std::set<pixel> axis = ink();
  EXPECT_GE(axis.size(), 290u);
  for (const pixel& p : axis) {
    EXPECT_NEAR(p.second, 150, 1);
    EXPECT_GE(p.first, 49);
    EXPECT_LE(p.first, 351);
  }

  // A hyperbola with a <= 2 and q > 1: its two asymptotes y - 150 = +-5 (x - 200).
  dd_draw_background(dd);
  {
    double x[5], y[5];
    const double ts[5] = {-1.2, -0.4, 0.5, 1.1, 0.8};
    for (int i = 0; i < 5; ++i) {
      const double sgn = i < 3 ? 1 : -1;
      x[i] = 200 + sgn * 1.5 * std::cosh(ts[i]);
      y[i] = 150 + 7.5 * std::sinh(ts[i]);
    }
    conic_kind = conic_through_five_points(x, y, 0);
    ASSERT_EQ(conic_kind, kConicHyperbola);
  }
  draw_conic_curve(dd, nullptr, &solid);
  EXPECT_EQ(conic_thin, 1);
  EXPECT_GT(inked_count(), 100);
  EXPECT_TRUE(all_near_lines(ink(), {{5, -1, -850, 0, 0, 0}, {5, 1, -1150, 0, 0, 0}}));

  // Two lines, x = 100 and y = 200, through the line drawing; a pair with
  // neither coefficient of a line draws nothing of it.
  dd_draw_background(dd);
  conic_a = 1, conic_b = 0, conic_c = -100, conic_d = 0, conic_e = 0, conic_f = 7;
  conic_kind = kConicCrossingLines;
  draw_conic_curve(dd, nullptr, &solid);
  EXPECT_TRUE(all_near_lines(ink(), {{1, 0, -100, 0, 0, 0}}));
  EXPECT_GE(inked_count(), 300);

  // Kinds without a curve.
  dd_draw_background(dd);
  for (const int16_t kind : {kConicNothing, kConicImaginaryEllipse, kConicCoincidence, kConicAlignment, kConicEveryPoint}) {
    conic_kind = kind;
    draw_conic_curve(dd, nullptr, &solid);
  }
  EXPECT_EQ(inked_count(), 0);
}

TEST_F(ConicDraw, EachLineOfAPairStartsItsDashAfresh) {
  destroy_display_device(dd);
  dd = make_device(403, 300);
  const dot dashed{5, 8};
  // y = 100 and y = 200.
  conic_a = 0, conic_b = 1, conic_c = -100, conic_d = 0, conic_e = 1, conic_f = -200;
  conic_kind = kConicParallelLines;
  set_dash_pattern(&dashed.lg);
  draw_conic_curve(dd, nullptr, &dashed);
  pixel_pen.dash_active = 0;
  const std::string first = row(100, 0, 403), second = row(200, 0, 403);
  EXPECT_NE(first.find('.'), std::string::npos);
  EXPECT_EQ(first, second);
}

TEST_F(ConicDraw, AParabolaOfParameterOneIsThin) {
  double x[5], y[5];
  for (int i = 0; i < 5; ++i) {
    const double t = -20 + 10 * i;
    x[i] = 200 + t;
    y[i] = 100 + t * t / 2;  // y = x^2 / (2 p) with p = 1
  }
  conic_kind = conic_through_five_points(x, y, 0);
  ASSERT_EQ(conic_kind, kConicParabola);
  ASSERT_NEAR(conic_param_a, 1.0, 1e-9);
  conic_param_a = 1.0;
  const dot solid{1, 1};
  draw_conic_curve(dd, nullptr, &solid);
  EXPECT_EQ(conic_thin, 1);
  EXPECT_GT(inked_count(), 100);
}

TEST_F(ConicDraw, ConicsThroughAnyFivePointsDrawABoundedStroke) {
  // Points of every magnitude, coincident and aligned ones included, and
  // frames that do not fit the equation.
  std::mt19937 rng(30);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> exponent(-12, 12);
  const dot solid{1, 1};
  for (int n = 0; n < 300; ++n) {
    double x[5], y[5];
    const double scale = std::pow(10.0, exponent(rng));
    for (int i = 0; i < 5; ++i) {
      x[i] = 200 + scale * unit(rng);
      y[i] = 150 + scale * unit(rng);
    }
    if (n % 7 == 0) x[3] = x[1], y[3] = y[1];
    if (n % 11 == 0) x[4] = 2 * x[2] - x[0], y[4] = 2 * y[2] - y[0];
    conic_kind = conic_through_five_points(x, y, 0);
    if (n % 13 == 0) conic_param_a = -conic_param_a;
    if (n % 17 == 0) conic_kind = static_cast<int16_t>(n % 20);
    conic_color = kInk;
    pixel_pen.period = 1;
    recorder rec;
    draw_conic_curve(dd, nullptr, &solid);
    // At most two pieces per crossing and four quarter arcs, each capped.
    EXPECT_LT(rec.plots.size(), 12u * 9 * 2000 * 6);
    EXPECT_EQ(pixel_pen.period, 1);
  }
}
