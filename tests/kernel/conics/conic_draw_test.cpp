#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
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
    if (i > 0) EXPECT_TRUE(eight_connected(rec.plots[i - 1], rec.plots[i])) << i;
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
