#include "kernel/render/drawing_passes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "kernel/exchange/bitmap_info.h"
#include "kernel/render/colors.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/styled_primitives.h"
#include "kernel/render/stroke_engine.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/hit_state.h"
#include "kernel/window/replay.h"
#include "kernel/model/engine_fixture.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kYellow = 0xFFFF00;

// Test types that draw from a side table of coordinates with the real
// primitives, the way the object types do.
std::map<const object*, std::vector<double>> shapes;
std::vector<const object*> draw_log;

void draw_test_point(DisplayDevice* dd, object* o) {
  draw_log.push_back(o);
  draw_point_mark(dd, o->valeurs[0].h, o->valeurs[0].v, 0, 1, object_effective_color(o), kShapeSquare, nullptr);
}
void draw_test_segment(DisplayDevice* dd, object* o) {
  draw_log.push_back(o);
  const auto& c = shapes[o];
  draw_segment_styled(dd, c[0], c[1], c[2], c[3], object_effective_color(o), o->settings.thickness,
                      &o->settings.dot_style, kExtentSegment);
}
void draw_test_polygon(DisplayDevice* dd, object* o) {
  draw_log.push_back(o);
  const auto& c = shapes[o];
  draw_filled_polygon(dd, c.data(), static_cast<uint16_t>(c.size() / 2), object_effective_fill_color(o), 1);
}
void draw_test_circle(DisplayDevice* dd, object* o) {
  draw_log.push_back(o);
  const auto& c = shapes[o];
  valeur centre{};
  centre.h = c[0];
  centre.v = c[1];
  valeur radius{};
  radius.info.rayon = c[2];
  draw_stroke_twice(dd, &centre, &radius, nullptr, nullptr, object_effective_color(o),
                    object_effective_fill_color(o), o->settings.thickness, &o->settings.dot_style,
                    kStrokeFullCircle | (o->settings.opaque ? kStrokeOpaqueFill : 0));
}
void draw_test_arc(DisplayDevice* dd, object* o) {
  draw_log.push_back(o);
  const auto& c = shapes[o];
  valeur p[3]{};
  for (int i = 0; i < 3; ++i) p[i].h = c[3 + 2 * i], p[i].v = c[4 + 2 * i];
  const circle_record rec{c[0], c[1], c[2]};
  draw_stroke_twice(dd, &p[0], &p[1], &p[2], &rec, object_effective_color(o), back_color, o->settings.thickness,
                    &o->settings.dot_style, 0);
}

type test_point_type = {TYPE_POINT, "point", "point", draw_test_point, nullptr, nullptr, nullptr, nullptr};
type test_segment_type = {TYPE_SEGMENT, "segment", "segment", draw_test_segment, nullptr, nullptr, nullptr, nullptr};
type test_polygon_type = {TYPE_POLYGON, "polygon", "polygon", draw_test_polygon, nullptr, nullptr, nullptr, nullptr};
type test_circle_type = {TYPE_CIRCLE, "circle", "circle", draw_test_circle, nullptr, nullptr, nullptr, nullptr};
type test_arc_type = {TYPE_ARC, "arc", "arc", draw_test_arc, nullptr, nullptr, nullptr, nullptr};
type test_axes_type = {TYPE_AXES, "axes", "axes", draw_test_segment, nullptr, nullptr, nullptr, nullptr};

DisplayDevice* new_device(int w, int h) {
  DisplayDevice* d = dd_create();
  ensure_display_dc(d);
  dd_select_bitmap(d, create_dib_record(d, w, h));
  d->dc->allowsAntialiasing(false);
  return d;
}

DisplayDevice* view_device = nullptr;

class PassesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    init_color_table();
    pixel_pen = PixelPen{};
    shapes.clear();
    draw_log.clear();
    static_display = new_device(160, 120);
    moving_display = new_device(160, 120);
  }
  void TearDown() override {
    shapes.clear();
    destroy_display_device(static_display);
    destroy_display_device(moving_display);
    EngineTest::TearDown();
  }
  object* add(type* t, std::vector<double> coords, uint32_t color, uint32_t fill = 0, bool opaque = false) {
    object* o = point(coords[0], coords[1]);
    o->otype = t;
    o->settings.Color = color;
    o->settings.FillColor = t == &test_polygon_type || t == &test_circle_type ? fill : back_color;
    o->settings.opaque = opaque;
    o->settings.visible = 1;
    o->settings.dot_style = {1, 1};
    shapes[o] = std::move(coords);
    return o;
  }
  object* number(double value) {
    object* n = point(0, 0);
    n->otype = &test_point_type;
    n->valeurs[0].info.rayon = value;
    n->final_no = 0;  // never drawn itself
    return n;
  }
  uint32_t pixel(const DisplayDevice* d, int x, int y) const {
    return color_of_pixel(d->bm->pixels[y * d->bm->pitch + x]);
  }
  // The figure of the PNG test: a segment under a filled opaque polygon, a
  // dashed thick segment, points on top, a circle and an arc.
  void build_figure() {
    add(&test_segment_type, {10, 60, 150, 60}, kBlue);
    add(&test_polygon_type, {40, 20, 100, 20, 100, 100, 40, 100}, kBlue, kYellow, true);
    object* dashed = add(&test_segment_type, {10, 110, 150, 110}, kRed);
    dashed->settings.thickness = 1;
    dashed->settings.dot_style = {5, 8};
    add(&test_point_type, {70, 60}, kRed);
    add(&test_point_type, {20, 20}, kGreen);
    add(&test_circle_type, {130, 30, 20}, kRed, back_color);
    add(&test_arc_type, {30, 100, 15, 15, 100, 30, 85, 45, 100}, kGreen);
  }
};

TEST_F(PassesTest, ASmallFigureIsDrawnInItsPassesAndSavedAsPng) {
  build_figure();
  redraw_figure(1);
  // The segment runs under the opaque polygon, the point lies on top of it.
  EXPECT_EQ(pixel(static_display, 20, 60), kBlue);
  EXPECT_EQ(pixel(static_display, 60, 60), kYellow);
  EXPECT_EQ(pixel(static_display, 70, 60), kRed);
  EXPECT_EQ(pixel(static_display, 20, 20), kGreen);
  EXPECT_EQ(pixel(static_display, 10, 110), kRed);
  EXPECT_EQ(pixel(static_display, 16, 110), back_color);  // in the gap of the dash
  EXPECT_EQ(pixel(static_display, 12, 111), kRed);        // thickness 1: three rows
  EXPECT_EQ(pixel(static_display, 130, 10), kRed);        // top of the circle
  EXPECT_EQ(pixel(static_display, 130, 30), back_color);
  EXPECT_EQ(pixel(static_display, 30, 85), kGreen);  // top of the arc
  // The moving device holds a copy.
  EXPECT_EQ(std::memcmp(static_display->bm->pixels, moving_display->bm->pixels, 160 * 120 * 4), 0);

  const QImage first(reinterpret_cast<const uchar*>(static_display->bm->pixels), 160, 120, QImage::Format_RGB32);
  ASSERT_TRUE(QDir().mkpath(KELVO_TEST_OUTPUT "/render"));
  const QString path = KELVO_TEST_OUTPUT "/render/figure.png";
  ASSERT_TRUE(first.save(path, "PNG"));
  const QImage loaded(path);
  ASSERT_EQ(loaded.size(), QSize(160, 120));
  EXPECT_EQ(loaded.pixel(60, 60) & 0xFFFFFF, kYellow);
  EXPECT_EQ(loaded.pixel(70, 60) & 0xFFFFFF, kRed);
  EXPECT_EQ(loaded.pixel(130, 10) & 0xFFFFFF, kRed);

  // The same figure drawn again gives the same image.
  const QImage copy = first.copy();
  redraw_figure(1);
  EXPECT_EQ(QImage(reinterpret_cast<const uchar*>(static_display->bm->pixels), 160, 120, QImage::Format_RGB32), copy);
}

TEST_F(PassesTest, PassesDrawNonOpaqueThenOpaqueObjectsThenPoints) {
  object* p = add(&test_point_type, {5, 5}, kRed);
  object* opaque = add(&test_polygon_type, {0, 0, 10, 0, 10, 10}, kRed, kBlue, true);
  object* plain = add(&test_segment_type, {0, 0, 10, 10}, kRed);
  object* pictured = add(&test_point_type, {6, 6}, kRed);
  bitmap_info picture{};
  pictured->bitmap = &picture;
  draw_figure_objects(static_display, kLayerAll);
  pictured->bitmap = nullptr;
  EXPECT_EQ(draw_log, (std::vector<const object*>{plain, pictured, opaque, p}));
}

TEST_F(PassesTest, WhatDrawObjectLeavesOut) {
  object* seg = add(&test_segment_type, {0, 10, 100, 10}, kRed);
  object* undefined = add(&test_segment_type, {0, 20, 100, 20}, kRed);
  undefined->state |= OBJ_UNDEFINED;
  object* axes = add(&test_axes_type, {0, 30, 100, 30}, kRed);
  axes->state |= OBJ_UNDEFINED;
  object* intermediate = add(&test_segment_type, {0, 40, 100, 40}, kRed);
  intermediate->final_no = 0;
  object* hidden = add(&test_segment_type, {0, 50, 100, 50}, kRed);
  hidden->settings.visible = 0;
  object* pinned = add(&test_point_type, {50, 60}, kRed);
  pinned->settings.sticky = 1;
  draw_figure_objects(static_display, kLayerAll);
  EXPECT_EQ(draw_log, (std::vector<const object*>{seg, axes, pinned}));

  // During a replay an intermediate object shows when the replay accepts it.
  draw_log.clear();
  replay_running = 1;
  replay_shows_macro_internals = 1;
  draw_object(static_display, intermediate);
  replay_running = 0;
  replay_shows_macro_internals = 0;
  EXPECT_EQ(draw_log, (std::vector<const object*>{intermediate}));

  // The show/hide tool draws the hidden segment dotted, never objects 1 and 2.
  draw_log.clear();
  dd_draw_background(static_display);
  interaction_state = STATE_APPEARANCE;
  attribute_mask = ATTR_HIDE_SHOW;
  seg->settings.visible = 0;
  draw_object(static_display, seg);
  draw_object(static_display, hidden);
  interaction_state = STATE_POINTER;
  attribute_mask = 0;
  EXPECT_EQ(draw_log, (std::vector<const object*>{hidden}));
  EXPECT_EQ(hidden->settings.dot_style.lg, 1);
  EXPECT_EQ(hidden->settings.dot_style.cycle, 1);  // put back after drawing
  EXPECT_EQ(pixel(static_display, 0, 50), kRed);
  EXPECT_EQ(pixel(static_display, 1, 50), back_color);
  EXPECT_EQ(pixel(static_display, 4, 50), kRed);

  // The pin tool adds the pin mark beside pinned objects.
  dd_draw_background(static_display);
  interaction_state = STATE_FIX_FREE;
  draw_object(static_display, pinned);
  interaction_state = STATE_POINTER;
  int pin = 0;
  for (int y = 48; y < 60; ++y)
    for (int x = 50; x < 62; ++x) pin += pixel(static_display, x, y) == default_color;
  EXPECT_GT(pin, 3);
}

TEST_F(PassesTest, TheLayersOfADragSplitAtTheFirstMovingObject) {
  object* a = add(&test_segment_type, {0, 10, 100, 10}, kRed);
  object* b = add(&test_segment_type, {0, 20, 100, 20}, kRed);
  object* c = add(&test_segment_type, {0, 30, 100, 30}, kRed);
  b->state |= 1;  // moves in the drag
  first_hit_object = b;
  std::vector<const object*> fixed, moving;
  for (object* o = fig_->first; o; o = o->next) {
    if (figure_object_is_drawable(o, kLayerStatic)) fixed.push_back(o);
  }
  for (object* o = fig_->first; o; o = o->next) {
    if (figure_object_is_drawable(o, kLayerMoving)) moving.push_back(o);
  }
  first_hit_object = nullptr;
  EXPECT_EQ(fixed, (std::vector<const object*>{a}));
  EXPECT_EQ(moving, (std::vector<const object*>{b, c}));
  b->state &= ~1u;
}

TEST_F(PassesTest, FigureChangedGovernsTheCopyToTheView) {
  add(&test_point_type, {20, 20}, kRed);
  view_device = new_device(160, 120);
  dd_draw_background(view_device);
  display_device_hooks.window_device = [] { return view_device; };
  display_device_hooks.window_moving_device = [] { return moving_display; };
  figure_changed = 0;
  redraw_figure(1);
  EXPECT_EQ(figure_changed, 1);
  flush_moving_display(0);
  EXPECT_EQ(figure_changed, 0);
  EXPECT_EQ(pixel(view_device, 20, 20), kRed);
  // Nothing changed since: the view is not copied again.
  dd_draw_background(moving_display);
  flush_moving_display(0);
  EXPECT_EQ(pixel(view_device, 20, 20), kRed);
  display_device_hooks = DisplayDeviceHooks{};
  destroy_display_device(view_device);
}

TEST_F(PassesTest, BackgroundsAndTraces) {
  object* traced = add(&test_segment_type, {0, 10, 100, 10}, kRed);
  traced->settings.marked = 1;
  add(&test_segment_type, {0, 20, 100, 20}, kBlue);
  EXPECT_TRUE(figure_has_marked_object());
  EXPECT_FALSE(figure_has_background());
  fig_->trace_device = new_device(160, 120);
  dd_draw_background(fig_->trace_device);
  redraw_marked_objects();
  EXPECT_EQ(pixel(fig_->trace_device, 50, 10), kRed);
  EXPECT_EQ(pixel(fig_->trace_device, 50, 20), back_color);
  // Default background: the trace layer is copied whole.
  redraw_figure(0);
  EXPECT_EQ(pixel(static_display, 50, 10), kRed);
  // Another background colour: only the trace's own pixels are laid over it.
  fig_->bgcolor = kGreen;
  EXPECT_TRUE(figure_has_background());
  redraw_figure(0);
  EXPECT_EQ(pixel(static_display, 50, 10), kRed);
  EXPECT_EQ(pixel(static_display, 50, 30), kGreen);
  destroy_display_device(fig_->trace_device);
  fig_->trace_device = nullptr;
}

TEST_F(PassesTest, NumbersDriveColourComponents) {
  struct Case {
    double value;
    uint8_t component;
  };
  for (const Case& c : {Case{0.5, 127}, Case{1.5, 127}, Case{1, 255}, Case{2, 0}, Case{-0.5, 127}, Case{0, 0}}) {
    object* n = number(c.value);
    EXPECT_EQ(color_component_from_number(n, 9), c.component) << c.value;
  }
  EXPECT_EQ(color_component_from_number(nullptr, 9), 9);
  object* nan_number = number(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(color_component_from_number(nan_number, 9), 9);

  object* seg = add(&test_segment_type, {0, 10, 100, 10}, 0x123456);
  object* green = number(1);
  ASSERT_TRUE(set_object_color_params(seg, nullptr, nullptr, nullptr));
  EXPECT_EQ(seg->pcolor, nullptr);
  ASSERT_TRUE(set_object_color_params(seg, nullptr, green, nullptr));
  EXPECT_EQ(object_effective_color(seg), 0x12FF56u);
  // The colour follows its number.
  green->valeurs[0].info.rayon = 0.5;
  redraw_figure(1);
  EXPECT_EQ(pixel(static_display, 50, 10), 0x127F56u);
  set_object_color(seg, kRed);
  EXPECT_EQ(seg->pcolor, nullptr);
  EXPECT_EQ(object_effective_color(seg), kRed);

  // A fill equal to the background, not opaque, starts from 0.
  object* poly = add(&test_polygon_type, {0, 0, 10, 0, 10, 10}, kRed, back_color, false);
  ASSERT_TRUE(set_object_fill_color_params(poly, green, nullptr, nullptr));
  EXPECT_EQ(object_effective_fill_color(poly), 0x7F0000u);
  poly->settings.opaque = 1;
  EXPECT_EQ(object_effective_fill_color(poly), 0x7FFFFFu);
  set_object_fill_color(poly, kBlue);
  EXPECT_EQ(poly->pfill, nullptr);
}

TEST_F(PassesTest, FindReferencingTextAndEmptyFigures) {
  EXPECT_FALSE(figure_has_marked_object());
  EXPECT_EQ(find_referencing_text(nullptr), nullptr);
  KPGeoDocument::setCurrentInfo(nullptr);
  redraw_figure(1);
  redraw_marked_objects();
  EXPECT_FALSE(figure_has_background());
  KPGeoDocument::setCurrentInfo(fig_);
}

}  // namespace
