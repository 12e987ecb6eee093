// Loci in a figure: the engine's samples against analytic curves, the
// refinement seen through the chords it emits, point counts, points on a
// locus, hits, intersections that keep their index, nested runs and the
// slow-run rule with an injected clock.
#include <cmath>
#include <fstream>
#include <locale>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/model/geometry_fixture.h"
#include "kernel/model/compute_axes.h"
#include "kernel/model/point_type.h"
#include "kernel/objects/grid_type.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/support/intersection_clicks.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/window/window_hooks.h"

namespace {

constexpr int kOnLine = 0, kOnSegment = 1, kOnCircle = 3, kOnLocus = 7;

struct reference_curve {
  double q[6];
  std::vector<double> numbers;
};

std::map<std::string, reference_curve> read_reference() {
  std::map<std::string, reference_curve> curves;
  std::ifstream in(KELVO_TEST_DATA "/loci/locus_reference.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    s.imbue(std::locale::classic());
    std::string name;
    reference_curve c;
    s >> name;
    for (double& q : c.q) s >> q;
    double n;
    while (s >> n) c.numbers.push_back(n);
    curves[name] = c;
  }
  return curves;
}

// Distance to the curve to first order: |Q| / |grad Q|.
double curve_distance(const reference_curve& c, double x, double y) {
  const double* q = c.q;
  const double value = q[0] * x * x + 2 * q[1] * x * y + q[2] * y * y + 2 * q[3] * x + 2 * q[4] * y + q[5];
  const double gx = 2 * (q[0] * x + q[1] * y + q[3]), gy = 2 * (q[1] * x + q[2] * y + q[4]);
  return std::fabs(value) / std::hypot(gx, gy);
}

bool usable(const valeur& v) {
  return !(v.infini_inexist_indetermine & (VAL_AT_INFINITY | VAL_NOT_EXIST)) && std::isfinite(v.h) &&
         std::isfinite(v.v);
}

// What a test sink saw: one entry per call.
struct chord_record {
  valeur a, b;
  bool chord;
  int branch;
  uint8_t start_phase;
  uint8_t end_phase;
};
std::vector<chord_record> seen;
bool record_sink(valeur* a, valeur* b, bool chord) {
  seen.push_back({*a, *b, chord, locus_current()->branch, pixel_pen.dash_start_phase, 0});
  return false;
}
bool record_and_draw_sink(valeur* a, valeur* b, bool chord) {
  seen.push_back({*a, *b, chord, locus_current()->branch, pixel_pen.dash_start_phase, 0});
  locus_draw_sink(a, b, chord);
  seen.back().end_phase = static_cast<uint8_t>(pixel_pen.phase_a);
  return false;
}

uint32_t fake_now = 0;
uint32_t fake_step = 0;
uint32_t fake_clock() {
  const uint32_t now = fake_now;
  fake_now += fake_step;
  return now;
}

class Locus : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    init_color_table();
    pixel_pen = PixelPen{};
    dd_ = dd_create();
    ensure_display_dc(dd_);
    dd_->portRect = {0, 0, 0, 0};
    dd_select_bitmap(dd_, create_dib_record(dd_, 500, 500));
    dd_->ratio = 1.0;
    dd_->portRect.right = 500;
    dd_->portRect.bottom = 500;
    dd_->dc->allowsAntialiasing(false);
    dd_draw_background(dd_);
    seen.clear();
  }
  void TearDown() override {
    GlobalFreeAndNull(&points_on_objects.items);
    GlobalFreeAndNull(&points_on_objects.tags);
    points_on_objects.capacity = 0;
    destroy_display_device(dd_);
    GeometryTest::TearDown();
  }

  // A locus as the locus tool builds it: the chain from the driver to the
  // traced object as its parents.
  object* locus_of(object* driver, object* traced, int8_t linked, int8_t envelope, int16_t nb) {
    EXPECT_GT(collect_dependency_chain(driver, traced), 1);
    current_class = &classe_locus;
    variable_nb_values = 0;
    object* o = create_object(0, nullptr, 1, 1, 1);
    EXPECT_NE(o, nullptr);
    o->math.locus.lkpt = linked;
    o->math.locus.envelop = envelope;
    o->math.locus.nb_pts = nb;
    recompute_object(o);
    return o;
  }

  object* circle_through(double cx, double cy, double px, double py) {
    return make(classe_cercle, 1, {point(cx, cy), point(px, py)});
  }

  // The midpoint of (px, py) and a point on the circle of centre (cx, cy)
  // through (qx, qy).
  object* midpoint_locus(double px, double py, double cx, double cy, double qx, double qy, int16_t nb = 50,
                         int8_t linked = 1) {
    fixed_ = point(px, py);
    object* c = circle_through(cx, cy, qx, qy);
    driver_ = point_on(c, kOnCircle, qx, qy);
    traced_ = make(classe_milieu, 0, {fixed_, driver_});
    return locus_of(driver_, traced_, linked, 0, nb);
  }

  // Runs the engine over the whole range with a test sink, as the curve
  // mode does when every unit step exists.
  void run_with_sink(object* locus, locus_sink_fn sink, bool drawing = false) {
    ASSERT_TRUE(locus_begin(locus));
    locus_context* c = locus_current();
    c->sink = sink;
    c->threshold_a = kLocusDrawThreshold;
    c->threshold_b = 3;
    if (drawing) {
      c->kind = locus_sink_kind::draw;
      c->dd = dd_;
      locus_prepare_drawing(*c);
    }
    valeur a[4] = {}, b[4] = {}, da{}, db{};
    for (int k = 0; k < c->count; ++k) {
      ASSERT_TRUE(locus_eval_at(k, a, &da));
      ASSERT_TRUE(locus_eval_at(k + 1, b, &db));
      locus_refine(k, k + 1, a, b, &da, &db);
    }
    locus_end();
  }

  DisplayDevice* dd_ = nullptr;
  object* fixed_ = nullptr;
  object* driver_ = nullptr;
  object* traced_ = nullptr;
};

}  // namespace

// ------------------------------------------------------- analytic curves

TEST_F(Locus, SamplesLieOnTheReferenceCurves) {
  const auto curves = read_reference();
  ASSERT_EQ(curves.size(), 4u);
  struct Case {
    const char* name;
    double scale;
    int min_samples;
  };
  for (const Case& k : {Case{"midpoint", 120, 200}, Case{"bisector_inside", 150, 200},
                        Case{"bisector_outside", 150, 100}, Case{"astroid_lines", 200, 150}}) {
    SCOPED_TRACE(k.name);
    const reference_curve& ref = curves.at(k.name);
    const std::vector<double>& n = ref.numbers;
    object* locus = nullptr;
    if (std::string(k.name) == "midpoint") {
      locus = midpoint_locus(n[0], n[1], n[2], n[3], n[4], n[5]);
    } else if (std::string(k.name) == "astroid_lines") {
      // X runs along the unit segment of the x axis; the parallel to y = x
      // through X meets x = 1 at (1, 1 - t), and the parallel to the x axis
      // through that point meets the y axis at Y = (0, 1 - t).
      const double x0 = n[0], y0 = n[1], u = n[2];
      object* o = point(x0, y0);
      object* e1 = point(x0 + u, y0);
      object* e2 = point(x0, y0 - u);
      object* d = point(x0 + u, y0 - u);
      object* unit = make(classe_segment, 0, {o, e1});
      object* x_axis = make(classe_droite, 1, {o, e1});
      object* y_axis = make(classe_droite, 1, {o, e2});
      object* x_one = make(classe_droite, 1, {e1, d});
      object* diagonal = make(classe_droite, 1, {o, d});
      driver_ = point_on(unit, kOnSegment, x0 + u / 3, y0);
      object* l1 = make(classe_parallele, 0, {driver_, diagonal});
      object* i1 = intersection_by_clicks(l1, x_one);
      ASSERT_NE(i1, nullptr);
      object* l2 = make(classe_parallele, 0, {i1, x_axis});
      object* y = intersection_by_clicks(l2, y_axis);
      ASSERT_NE(y, nullptr);
      traced_ = make(classe_droite, 1, {driver_, y});
      locus = locus_of(driver_, traced_, 1, 1, 50);
    } else {
      fixed_ = point(n[0], n[1]);
      object* c = circle_through(n[2], n[3], n[4], n[5]);
      driver_ = point_on(c, kOnCircle, n[4], n[5]);
      traced_ = make(classe_mediatrice, 0, {fixed_, driver_});
      locus = locus_of(driver_, traced_, 1, 1, 60);
    }
    ASSERT_FALSE(locus->state & OBJ_UNDEFINED);
    valeur* samples = nullptr;
    const int16_t got = locus_sample(locus, 400, &samples);
    ASSERT_NE(samples, nullptr);
    EXPECT_GE(got, k.min_samples);
    int checked = 0;
    for (int i = 0; i < got; ++i) {
      const valeur& s = samples[i];
      if (!usable(s) || std::hypot(s.h, s.v) > 1e5) continue;
      EXPECT_LT(curve_distance(ref, s.h, s.v) / k.scale, 1e-6) << i << ": " << s.h << ", " << s.v;
      ++checked;
    }
    EXPECT_GE(checked, k.min_samples);
    GlobalFreeAndNull(&samples);
  }
}

// ------------------------------------------------------------- the engine

TEST_F(Locus, LinkedChordsAreShortOrStraightAndUnlinkedOnesStayOnUnitSteps) {
  object* linked = midpoint_locus(300, 100, 200, 250, 320, 250, 20);
  run_with_sink(linked, record_sink);
  ASSERT_GT(seen.size(), 60u) << "a bending curve is refined";
  const double cx = 250, cy = 175;
  for (const chord_record& r : seen) {
    if (!r.chord) continue;
    const double manhattan = std::fabs(r.a.h - r.b.h) + std::fabs(r.a.v - r.b.v);
    if (manhattan <= 2) continue;
    // A longer chord passed the smoothness test: it spans a small arc.
    const double angle = std::fabs(std::remainder(
        std::atan2(r.b.v - cy, r.b.h - cx) - std::atan2(r.a.v - cy, r.a.h - cx), 2 * M_PI));
    EXPECT_LT(angle, 0.2) << manhattan;
  }

  seen.clear();
  object* unlinked = midpoint_locus(300, 100, 200, 250, 320, 250, 20, 0);
  run_with_sink(unlinked, record_sink);
  EXPECT_EQ(seen.size(), 20u) << "one interval per unit step, never split";
  ASSERT_TRUE(locus_begin(unlinked));
  std::vector<valeur> steps(21);
  for (int k = 0; k <= 20; ++k) ASSERT_TRUE(locus_eval_at(k, &steps[static_cast<size_t>(k)], nullptr));
  locus_end();
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_AT(seen[i].a, steps[i].h, steps[i].v);
    EXPECT_AT(seen[i].b, steps[i + 1].h, steps[i + 1].v);
  }
}

TEST_F(Locus, APointGoingToInfinityLeavesAGapOnBothSides) {
  // The line from the centre through the driver meets a fixed horizontal
  // line; it runs off to infinity when the two are parallel.
  object* centre = point(250, 250);
  object* c = make(classe_cercle, 1, {centre, point(350, 250)});
  driver_ = point_on(c, kOnCircle, 350, 250);
  object* spoke = make(classe_droite, 1, {centre, driver_});
  object* fixed_line = make(classe_droite, 1, {point(0, 150), point(500, 150)});
  traced_ = intersection_by_clicks(spoke, fixed_line);
  ASSERT_NE(traced_, nullptr);
  object* locus = locus_of(driver_, traced_, 1, 0, 40);
  locus_compute(locus, nullptr, nullptr, nullptr, nullptr, dd_);
  run_with_sink(locus, record_sink);
  int drawn = 0;
  for (const chord_record& r : seen) {
    if (!r.chord || !usable(r.a) || !usable(r.b)) continue;
    ++drawn;
    EXPECT_NEAR(r.a.v, 150, 1e-6);
    // No chord joins the far left to the far right across the gap.
    if (std::fabs(r.a.h - 250) > 2000 || std::fabs(r.b.h - 250) > 2000)
      EXPECT_EQ(r.a.h > 250, r.b.h > 250) << r.a.h << " " << r.b.h;
  }
  EXPECT_GT(drawn, 20);
}

TEST_F(Locus, EnvelopesHaveOneTwoOrFourBranchesEachWithItsOwnDashPhase) {
  // Lines: the perpendicular bisectors; circles: centred on the driver
  // through a fixed point; conics: through the driver and four fixed points.
  object* o = point(250, 250);
  object* c = make(classe_cercle, 1, {o, point(400, 250)});
  driver_ = point_on(c, kOnCircle, 400, 250);
  object* bisector = make(classe_mediatrice, 0, {point(300, 220), driver_});
  object* round = make(classe_cercle, 1, {driver_, point(260, 240)});
  object* conic = make(classe_conic, 0, {driver_, point(100, 100), point(400, 120), point(420, 400), point(90, 380)});
  const std::pair<object*, int> cases[] = {{bisector, 1}, {round, 2}, {conic, 4}};
  for (const auto& [traced, branches] : cases) {
    object* l = locus_of(driver_, traced, 1, 1, 30);
    EXPECT_EQ(locus_value_count(l), branches);
    ASSERT_TRUE(locus_begin(l));
    EXPECT_EQ(locus_current()->nvals, branches);
    EXPECT_DOUBLE_EQ(locus_current()->eps, traced == conic ? 0.01 : 0.001);
    locus_end();
  }

  // The circles' envelope drawn dashed: each branch continues its own
  // pattern from chord to chord.
  object* l = locus_of(driver_, round, 1, 1, 30);
  l->settings.dot_style = dot{3, 8};
  l->settings.Color = 0x0000FF;
  run_with_sink(l, record_and_draw_sink, true);
  uint8_t last[2] = {0, 0};
  bool started[2] = {false, false};
  int per_branch[2] = {0, 0}, differing = 0;
  for (const chord_record& r : seen) {
    ASSERT_LT(r.branch, 2);
    if (started[r.branch]) EXPECT_EQ(r.start_phase % 8, last[r.branch] % 8);
    if (r.chord && usable(r.a) && usable(r.b)) {
      last[r.branch] = r.end_phase;
      started[r.branch] = true;
      ++per_branch[r.branch];
    }
    if (started[0] && started[1] && last[0] % 8 != last[1] % 8) ++differing;
  }
  EXPECT_GT(per_branch[0], 10);
  EXPECT_GT(per_branch[1], 10);
  EXPECT_GT(differing, 0) << "the branches' phases are kept apart";
}

TEST_F(Locus, SamplingSkipsWhereTheTracedPointDoesNotExist) {
  // The radius from the centre to the driver crosses a fixed segment over
  // part of the turn only, away from where the turn starts.
  object* centre = point(250, 250);
  object* c = make(classe_cercle, 1, {centre, point(400, 250)});
  driver_ = point_on(c, kOnCircle, 400, 250);
  object* radius = make(classe_segment, 0, {centre, driver_});
  object* wall = make(classe_segment, 0, {point(200, 150), point(200, 350)});
  traced_ = intersection_by_clicks(radius, wall);
  ASSERT_NE(traced_, nullptr);
  object* l = locus_of(driver_, traced_, 1, 0, 60);
  valeur* samples = nullptr;
  const int16_t got = locus_sample(l, 20, &samples);
  EXPECT_GT(got, 0);
  EXPECT_LT(got, 20);
  for (int i = 0; i < got; ++i) {
    EXPECT_NEAR(samples[i].h, 200, 1e-6);
    EXPECT_GE(samples[i].v, 150 - 1e-6);
    EXPECT_LE(samples[i].v, 350 + 1e-6);
    if (i > 0) EXPECT_GT(std::fabs(samples[i].v - samples[i - 1].v), 1.0) << "spread, not bunched";
  }
  GlobalFreeAndNull(&samples);

  // A wall the radius never reaches: nothing at all.
  object* far_wall = make(classe_segment, 0, {point(480, 100), point(480, 400)});
  object* never = intersection_by_clicks(radius, far_wall);
  ASSERT_NE(never, nullptr);
  object* none = locus_of(driver_, never, 1, 0, 20);
  EXPECT_EQ(locus_sample(none, 10, &samples), 0);
  GlobalFreeAndNull(&samples);
}

TEST_F(Locus, ARunInsideAnotherLeavesTheOuterContextIntact) {
  object* inner = midpoint_locus(300, 100, 200, 250, 320, 250, 30);
  object* on_inner = point_on(inner, kOnLocus, 250, 115);
  ASSERT_FALSE(on_inner->state & OBJ_UNDEFINED);
  object* c2 = make(classe_cercle, 1, {point(100, 400), point(150, 400)});
  object* d2 = point_on(c2, kOnCircle, 150, 400);
  object* m2 = make(classe_milieu, 0, {d2, on_inner});
  object* outer = locus_of(d2, m2, 1, 0, 20);
  // The outer chain holds the point on the inner locus.
  ASSERT_TRUE(locus_begin(outer));
  locus_context* c = locus_current();
  c->branch = 3;
  c->best_distance = 7;
  c->crossings[1] = 5;
  c->sink = record_sink;
  const valeur inner_driver = driver_->valeurs[0];
  valeur v[1] = {}, d{};
  ASSERT_TRUE(locus_eval_at(5.5, v, &d));
  EXPECT_EQ(locus_current(), c);
  EXPECT_EQ(c->locus, outer);
  EXPECT_EQ(c->driver, d2);
  EXPECT_EQ(c->traced, m2);
  EXPECT_EQ(c->count, 20);
  EXPECT_EQ(c->branch, 3);
  EXPECT_EQ(c->best_distance, 7);
  EXPECT_EQ(c->crossings[1], 5u);
  EXPECT_EQ(c->sink, &record_sink);
  EXPECT_AT(driver_->valeurs[0], inner_driver.h, inner_driver.v);
  locus_end();
  EXPECT_EQ(locus_current(), nullptr);
  EXPECT_EQ(locus_busy, 0);
}

TEST_F(Locus, ARunPastHalfASecondLowersTheThresholds) {
  window_hooks saved = window_services();
  window_hooks h = saved;
  h.tick_count = &fake_clock;
  install_window_services(h);
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 10);

  fake_step = 0;
  draw_locus(dd_, l);
  EXPECT_EQ(l->data, nullptr) << "a quick run keeps the defaults";

  fake_step = 600;
  draw_locus(dd_, l);
  ASSERT_NE(l->data, nullptr);
  auto* d = static_cast<double*>(l->data);
  EXPECT_DOUBLE_EQ(d[0], 0.98 * 0.95);
  EXPECT_DOUBLE_EQ(d[1], 0.999 * 0.98);
  EXPECT_DOUBLE_EQ(d[2], 0.999 * 0.97);
  tagPOINT far{5, 5};
  locus_hit_test(l, &far);
  EXPECT_DOUBLE_EQ(d[1], 0.999 * 0.98 * 0.98);

  // Across the clock's wrap the difference is still taken as unsigned.
  fake_now = 0xFFFFFF00u;
  fake_step = 0x200;
  draw_locus(dd_, l);
  EXPECT_DOUBLE_EQ(d[0], 0.98 * 0.95 * 0.95 * 0.95);

  // Placing a point on it is no drawing: no change.
  fake_step = 600;
  point_on(l, kOnLocus, 250, 115);
  EXPECT_DOUBLE_EQ(d[0], 0.98 * 0.95 * 0.95 * 0.95);

  // Another point count gives the defaults back.
  EXPECT_TRUE(locus_change_nb_points(l, 1));
  EXPECT_EQ(l->data, nullptr);
  install_window_services(saved);
}

// ------------------------------------------------------------ point count

TEST_F(Locus, PointCountsStepByHalvesAndThirdsWithinFiveToAThousand) {
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 50);
  struct Case {
    int16_t from;
    uint16_t code;
    int16_t to;
    bool changed;
  };
  for (const Case& k : {Case{0, 1, 7, true}, Case{-40, 1, 7, true}, Case{700, 1, 1000, true},
                        Case{1000, 1, 1000, false}, Case{7, 65535, 5, true}, Case{5, 65535, 5, false},
                        Case{0, 65535, 5, true}, Case{50, 300, 300, true}, Case{50, 4000, 1000, true},
                        Case{50, 2, 5, true}, Case{50, 65534, 5, true}, Case{300, 300, 300, false}}) {
    l->math.locus.nb_pts = k.from;
    EXPECT_EQ(locus_change_nb_points(l, k.code), k.changed) << k.from << " " << k.code;
    EXPECT_EQ(l->math.locus.nb_pts, k.to) << k.from << " " << k.code;
  }
  std::vector<int16_t> up{5}, down{1000};
  l->math.locus.nb_pts = 5;
  while (locus_change_nb_points(l, 1)) up.push_back(l->math.locus.nb_pts);
  l->math.locus.nb_pts = 1000;
  while (locus_change_nb_points(l, 65535)) down.push_back(l->math.locus.nb_pts);
  EXPECT_EQ(up, (std::vector<int16_t>{5, 7, 10, 15, 22, 33, 49, 73, 109, 163, 244, 366, 549, 823, 1000}));
  EXPECT_EQ(down, (std::vector<int16_t>{1000, 666, 444, 296, 197, 131, 87, 58, 38, 25, 16, 10, 6, 5}));

  // A sampling asks for its own count, outside the locus's range too, and
  // leaves the locus's count alone.
  l->math.locus.nb_pts = 50;
  for (int16_t n : {int16_t{3}, int16_t{1500}}) {
    valeur* samples = nullptr;
    EXPECT_EQ(locus_sample(l, n, &samples), n);
    EXPECT_EQ(l->math.locus.nb_pts, 50);
    GlobalFreeAndNull(&samples);
  }
}

TEST_F(Locus, ALocusDrivenOnAGridStepsByOneAndIsNoCurve) {
  graduation_spacing = 29;
  object* axes = make(classe_axe, 1, {point(200, 200), point(240, 200), point(200, 160)});
  object* grid = make(classe_grid, 0, {axes});
  ASSERT_NE(grid, nullptr);
  driver_ = point_on(grid, 6, 240, 240);
  traced_ = make(classe_milieu, 0, {point(100, 100), driver_});
  object* l = locus_of(driver_, traced_, 1, 0, 1000);
  EXPECT_FALSE(locus_is_valid(l));
  EXPECT_TRUE(locus_change_nb_points(l, 1));
  EXPECT_EQ(l->math.locus.nb_pts, 1001);
  l->math.locus.nb_pts = 3;
  EXPECT_TRUE(locus_change_nb_points(l, 65535));
  EXPECT_EQ(l->math.locus.nb_pts, 2);
  EXPECT_FALSE(locus_change_nb_points(l, 40));
  EXPECT_EQ(l->math.locus.nb_pts, 2);

  // Once the grid is drawn the run steps through the nodes of its window,
  // whatever the point count says.
  visit_square_grid(grid, tagRECT{0, 0, 400, 400}, [](void*, double, double) {}, nullptr);
  ASSERT_NE(grid->data, nullptr);
  const auto* w = static_cast<const grid_window*>(grid->data);
  ASSERT_TRUE(locus_begin(l));
  EXPECT_EQ(locus_current()->count, (w->i1 - w->i0) * (w->j1 - w->j0));
  EXPECT_GT(locus_current()->count, 20);
  locus_end();
}

TEST_F(Locus, ValidityFollowsTheDriverAndTheTracedType) {
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 50);
  EXPECT_TRUE(locus_is_valid(l));
  EXPECT_TRUE(value_object_check(l, true));
  EXPECT_FALSE(value_object_check(l, false));
  object* seg = make(classe_segment, 0, {fixed_, driver_});
  object* of_segments = locus_of(driver_, seg, 1, 0, 20);
  EXPECT_FALSE(locus_is_valid(of_segments)) << "a segment traces no curve of points";
  // An envelope of a traced type without a step of its own takes 0.001.
  of_segments->math.locus.envelop = 1;
  object* conic_locus = nullptr;
  {
    object* conic = make(classe_conic, 0, {driver_, point(100, 100), point(400, 120), point(420, 400), point(90, 380)});
    conic_locus = locus_of(driver_, conic, 1, 1, 20);
  }
  ASSERT_TRUE(locus_begin(conic_locus));
  locus_end();
  ASSERT_TRUE(locus_begin(of_segments));
  EXPECT_DOUBLE_EQ(locus_current()->eps, 0.001);
  locus_end();
}

// ------------------------------------------------- points, hits, crossings

TEST_F(Locus, APointOnALocusStepsThroughBranchZeroThenBranchOne) {
  object* o = point(250, 250);
  object* c = make(classe_cercle, 1, {o, point(400, 250)});
  driver_ = point_on(c, kOnCircle, 400, 250);
  object* round = make(classe_cercle, 1, {driver_, point(260, 240)});
  object* l = locus_of(driver_, round, 1, 1, 30);
  object* p = point_on(l, kOnLocus, 300, 300);
  ASSERT_NE(p->data, nullptr);
  std::vector<int> branches;
  for (int i = 0; i <= 10; ++i) {
    point_on_object_place(p, 10, i);
    branches.push_back(static_cast<const locus_point_param*>(p->data)->branch);
  }
  EXPECT_EQ(branches, (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1}));
  EXPECT_NEAR(static_cast<const locus_point_param*>(p->data)->t, 30, 1e-9);
}

TEST_F(Locus, APointPlacedOnALocusLandsOnItsCurveAndFollowsIt) {
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 40);
  object* p = point_on(l, kOnLocus, 320, 170);
  ASSERT_FALSE(p->state & OBJ_UNDEFINED);
  EXPECT_NEAR(std::hypot(p->valeurs[0].h - 250, p->valeurs[0].v - 175), 60, 0.5);
  move(fixed_, 340, 100);
  ASSERT_FALSE(p->state & OBJ_UNDEFINED);
  EXPECT_NEAR(std::hypot(p->valeurs[0].h - 270, p->valeurs[0].v - 175), 60, 0.5);
}

TEST_F(Locus, UnlinkedLociAreHitNearSamplesOnlyLinkedOnesAlongChordsNotBeyond) {
  // The midpoint of (100, 300) and a point running along the segment from
  // (100, 100) to (300, 100) runs from (100, 200) to (200, 200).
  object* a = point(100, 100);
  object* b = point(300, 100);
  object* s = make(classe_segment, 0, {a, b});
  fixed_ = point(100, 300);
  driver_ = point_on(s, kOnSegment, 200, 100);
  traced_ = make(classe_milieu, 0, {fixed_, driver_});
  object* linked = locus_of(driver_, traced_, 1, 0, 5);
  object* unlinked = locus_of(driver_, traced_, 0, 0, 5);
  ASSERT_TRUE(locus_begin(linked));
  std::vector<valeur> at(6);
  for (int k = 0; k <= 5; ++k) ASSERT_TRUE(locus_eval_at(k, &at[static_cast<size_t>(k)], nullptr));
  locus_end();
  auto hits = [](object* l, double x, double y) {
    tagPOINT p{static_cast<int32_t>(std::lround(x)), static_cast<int32_t>(std::lround(y))};
    return locus_hit_test(l, &p);
  };
  for (size_t k = 0; k < at.size(); ++k) {
    EXPECT_NEAR(at[k].v, 200, 1e-9);
    EXPECT_TRUE(hits(linked, at[k].h, at[k].v)) << k;
    EXPECT_TRUE(hits(unlinked, at[k].h, at[k].v)) << k;
    if (k == 0 || at[k].h - at[k - 1].h < 1) continue;
    const double mx = (at[k - 1].h + at[k].h) / 2;
    ASSERT_GT(at[k].h - at[k - 1].h, 20);
    EXPECT_TRUE(hits(linked, mx, 200)) << "along a chord " << k;
    EXPECT_FALSE(hits(unlinked, mx, 200)) << "between samples " << k;
    EXPECT_FALSE(hits(linked, mx, 230)) << "beside a chord " << k;
  }
  // Beyond the ends of the first and last chords, on their line.
  EXPECT_FALSE(hits(linked, at.front().h - 30, 200));
  EXPECT_FALSE(hits(linked, at.back().h + 30, 200));
  EXPECT_FALSE(hits(unlinked, at.back().h + 30, 200));
}

TEST_F(Locus, CrossingsWithALocusKeepTheirIndicesWhileTheFigureMoves) {
  // The circle traced starts on its right; the line crosses it at the top
  // and the bottom, away from where it starts.
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 40);
  object* line = make(classe_droite, 1, {point(240, 50), point(250, 300)});
  intersection_by_clicks(line, l);
  std::vector<object*> crossings;
  for (object* o = fig_->first; o; o = o->next)
    if (o->classe == &classe_ptint) crossings.push_back(o);
  ASSERT_EQ(crossings.size(), 2u);
  std::vector<uint32_t> first;
  for (object* p : crossings) first.push_back(p->math.inter_index);
  EXPECT_NE(first[0], first[1]);
  for (uint32_t index : first) EXPECT_EQ(index & 0xFFFF, 0u) << "a line has one part";

  std::vector<valeur> last;
  for (object* p : crossings) last.push_back(p->valeurs[0]);
  for (int step = 1; step <= 12; ++step) {
    move(fixed_, 300 + 3 * step, 100 + step);
    const double cx = (fixed_->valeurs[0].h + 200) / 2, cy = (fixed_->valeurs[0].v + 250) / 2;
    for (size_t i = 0; i < crossings.size(); ++i) {
      object* p = crossings[i];
      ASSERT_FALSE(p->state & OBJ_UNDEFINED) << step;
      EXPECT_EQ(p->math.inter_index, first[i]);
      EXPECT_NEAR(std::hypot(p->valeurs[0].h - cx, p->valeurs[0].v - cy), 60, 0.5);
      EXPECT_LT(std::hypot(p->valeurs[0].h - last[i].h, p->valeurs[0].v - last[i].v), 10);
      last[i] = p->valeurs[0];
    }
  }

  // Every crossing at once, each under the index a probe gives it.
  inter_list all{};
  ASSERT_EQ(locus_intersect(l, line, &all, kIntersectAll), 1);
  ASSERT_EQ(all.count, 2);
  for (int k = 0; k < all.count; ++k) {
    intersect_probe = valeur{};
    intersect_probe.h = all.values[k].h;
    intersect_probe.v = all.values[k].v;
    ASSERT_EQ(locus_intersect(l, line, nullptr, kIntersectProbe), 1);
    EXPECT_EQ(intersect_probe_index, all.indices[k]);
    valeur single{};
    EXPECT_EQ(locus_intersect(l, line, &single, all.indices[k]), 1);
    EXPECT_AT(single, all.values[k].h, all.values[k].v);
  }
  intersection_results_free(&all);
}

// --------------------------------------------------------------- bad input

TEST_F(Locus, BadCountsIndicesAndChainsGiveNothingThatExists) {
  object* l = midpoint_locus(300, 100, 200, 250, 320, 250, 40);
  object* line = make(classe_droite, 1, {point(100, 170), point(400, 180)});
  valeur r{};
  struct Case {
    uint32_t index;
    int32_t code;
  };
  for (const Case& k : {Case{0x01000000, 4}, Case{0xFF000000, 4}, Case{0x00000001, 4}, Case{kIntersectRaw, 4},
                        Case{0x00050000, 4}, Case{0x00FF0000, 4}}) {
    r = valeur{};
    EXPECT_EQ(locus_intersect(l, line, &r, k.index), k.code) << std::hex << k.index;
  }
  EXPECT_NE(r.infini_inexist_indetermine & VAL_NOT_EXIST, 0);

  object* p = point_on(l, kOnLocus, 320, 170);
  for (int16_t nb : {int16_t{0}, int16_t{4}, int16_t{1001}, int16_t{-7}, int16_t{32767}}) {
    l->math.locus.nb_pts = nb;
    recompute_all();
    EXPECT_TRUE(l->state & OBJ_UNDEFINED) << nb;
    EXPECT_TRUE(p->state & OBJ_UNDEFINED) << nb;
    tagPOINT at{250, 115};
    EXPECT_FALSE(locus_hit_test(l, &at));
  }
  l->math.locus.nb_pts = 40;
  recompute_all();
  EXPECT_FALSE(p->state & OBJ_UNDEFINED);

  // A chain that no longer leads from the driver to the traced object.
  object* elsewhere = make(classe_milieu, 0, {fixed_, point(10, 10)});
  l->parents[l->nbparents - 1] = elsewhere;
  recompute_all();
  EXPECT_TRUE(l->state & OBJ_UNDEFINED);
  EXPECT_TRUE(p->state & OBJ_UNDEFINED);
  EXPECT_FALSE(locus_begin(l));
}
