// A drag whose first moving object comes early in the list: the objects
// that stay still but come after it are drawn once into the still layer,
// and the view shows them over the moving layer. What the view shows after
// a step must be what a full redraw of the figure at that position shows,
// on a pixel device and on an anti-aliased surface, also after a still
// object changes in the middle of the drag.
#include "kernel/render/still_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../model/geometry_fixture.h"
#include "app/kernel_iface/kel_event_record.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/drag_start.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/pick.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/window/drag_free.h"

namespace {

constexpr int kWidth = 400, kHeight = 300;

// The devices the window hooks answer with, as a figure view does.
DisplayDevice* g_view = nullptr;
DisplayDevice* g_static = nullptr;
DisplayDevice* g_moving = nullptr;

// Every object drawn on the moving layer, and every object drawn at all,
// through the types' own drawing.
std::map<const type*, type_draw_fn> g_draw;
std::vector<object*> g_drawn_moving;
std::vector<object*> g_drawn;
void counting_draw(DisplayDevice* dd, object* o) {
  if (dd == g_moving) g_drawn_moving.push_back(o);
  g_drawn.push_back(o);
  g_draw[o->otype](dd, o);
}

enum class Route { kPixels, kSurface };

// A device of the size given: a pixel bitmap drawn without smoothing (the
// pen's route), or an image surface drawn anti-aliased as the view's
// layers are.
DisplayDevice* make_device(Route route, std::vector<KPContext*>& surfaces, int width = kWidth,
                           int height = kHeight) {
  DisplayDevice* dd = dd_create();
  ensure_display_dc(dd);
  dd->portRect = {0, 0, width, height};
  if (route == Route::kPixels) {
    dd_select_bitmap(dd, create_dib_record(dd, width, height));
    dd->dc->allowsAntialiasing(false);
  } else {
    KPContext* surface = KPContext::createImageContext(width, height);
    surfaces.push_back(surface);
    dd->dc->fixContext(surface, {0, 0, double(width), double(height)}, {0, 0, double(width), double(height)});
    dd->dc->allowsAntialiasing(true);
  }
  return dd;
}

std::vector<uint32_t> pixels(const DisplayDevice* dd) {
  std::vector<uint32_t> v;
  const KPContext* c = dd->dc->getContext();
  const auto* row = static_cast<const uint8_t*>(c->pixels());
  for (int y = 0; y < c->height(); ++y, row += c->bytesPerRow()) {
    const auto* px = reinterpret_cast<const uint32_t*>(row);
    v.insert(v.end(), px, px + c->width());
  }
  return v;
}

// The largest difference of one colour channel between two pictures, and
// how many pixels differ at all.
struct Difference {
  int largest = 0;
  int pixels = 0;
};
Difference difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  Difference d;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if ((a[i] & 0xFFFFFF) == (b[i] & 0xFFFFFF)) continue;
    ++d.pixels;
    for (int s = 0; s < 24; s += 8)
      d.largest = std::max(d.largest, std::abs(static_cast<int>((a[i] >> s) & 0xFF) - static_cast<int>((b[i] >> s) & 0xFF)));
  }
  return d;
}

class StillLayerTest : public GeometryTest, public ::testing::WithParamInterface<Route> {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    init_color_table();
    interaction_state = 2;
    drag_mode = 1;
    motion = {};
    motion.rot_cos = 1;
    drag_kind = -1;
    manipulating = drag_in_progress = 0;
    hit_part = 0;
    saved_hooks_ = display_device_hooks;
    saved_static_ = static_display;
    saved_moving_ = moving_display;
    make_devices(kWidth, kHeight);
    display_device_hooks = DisplayDeviceHooks{};
    display_device_hooks.window_device = [] { return g_view; };
    display_device_hooks.window_moving_device = [] { return g_moving; };
    display_device_hooks.window_static_device = [] { return g_static; };
    for (type* t : type_slots) {
      if (!t || !t->draw) continue;
      g_draw[t] = t->draw;
      t->draw = &counting_draw;
    }
    build_figure();
  }

  void TearDown() override {
    if (manipulating) step(kEventMouseUp, 100, 120);
    clear_pick_marks();
    for (auto& [t, draw] : g_draw) const_cast<type*>(t)->draw = draw;
    g_draw.clear();
    free_still_layer();
    display_device_hooks = saved_hooks_;
    destroy_devices();
    static_display = saved_static_;
    moving_display = saved_moving_;
    GeometryTest::TearDown();
  }

  // The dragged point first; a segment and a midpoint that follow it; then
  // objects that stay still and cross what moves: a circle, a segment and
  // a filled triangle, none of them over a moving point.
  void build_figure() {
    a_ = point(60, 60);
    object* b = point(340, 60);
    object* c = point(200, 260);
    make(classe_segment, 0, {a_, b});
    make(classe_milieu, 0, {a_, b});
    object* d = point(150, 20);
    circle_ = make(classe_cercle, 1, {c, b});
    make(classe_segment, 0, {d, c});
    triangle_ = make(classe_triangle, 0, {point(240, 40), point(300, 40), point(270, 150)});
    triangle_->settings.FillColor = 0x40C0F0;
  }

  // The view and its two layers, of one size, as a window of that size has.
  void make_devices(int width, int height) {
    width_ = width;
    height_ = height;
    g_view = make_device(GetParam(), surfaces_, width, height);
    g_static = static_display = make_device(GetParam(), surfaces_, width, height);
    g_moving = moving_display = make_device(GetParam(), surfaces_, width, height);
  }
  void destroy_devices() {
    for (DisplayDevice* dd : {g_view, g_static, g_moving}) destroy_display_device(dd);
    for (KPContext* c : surfaces_) delete c;
    surfaces_.clear();
  }

  int step(int16_t what, int32_t x, int32_t y) {
    kel_EventRecord e{};
    e.what = what;
    e.x = x;
    e.y = y;
    if (what == kEventMouseDown) return dispatch_object_event(&e, a_);
    figure_changed = 1;
    return handle_manipulation_event(&e, a_);
  }

  // The whole figure drawn at once, as outside a drag.
  std::vector<uint32_t> full_redraw() {
    std::vector<KPContext*> surfaces;
    DisplayDevice* dd = make_device(GetParam(), surfaces, width_, height_);
    draw_figure_background(dd);
    draw_figure_objects(dd, kLayerAll);
    std::vector<uint32_t> v = pixels(dd);
    destroy_display_device(dd);
    for (KPContext* c : surfaces) delete c;
    return v;
  }

  // Anti-aliased edges are blended once over the still layer's two
  // pictures instead of over the moving layer: a unit or two apart.
  void expect_view_is_full_redraw(const char* when) {
    SCOPED_TRACE(when);
    const Difference d = difference(pixels(g_view), full_redraw());
    EXPECT_LE(d.largest, GetParam() == Route::kPixels ? 0 : 2) << d.pixels << " pixels differ";
  }

  int width_ = kWidth, height_ = kHeight;
  object* a_ = nullptr;
  object* circle_ = nullptr;
  object* triangle_ = nullptr;
  std::vector<KPContext*> surfaces_;
  DisplayDeviceHooks saved_hooks_;
  DisplayDevice* saved_static_ = nullptr;
  DisplayDevice* saved_moving_ = nullptr;
};

TEST_P(StillLayerTest, AStepDrawsOnlyTheMovingObjectsAndTheViewShowsTheFullFigure) {
  ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
  EXPECT_TRUE(still_layer_built());
  for (int i = 1; i <= 4; ++i) {
    g_drawn_moving.clear();
    ASSERT_EQ(step(kEventDragStep, 60 + 10 * i, 60 + 15 * i), 1);
    for (object* o : g_drawn_moving) EXPECT_TRUE(o->state & OBJ_MOVING) << "object " << o->num << " is still";
    EXPECT_EQ(g_drawn_moving.size(), 3u);
  }
  expect_view_is_full_redraw("after four steps");
  // The release draws the figure whole and leaves no layer behind.
  step(kEventMouseUp, 100, 120);
  EXPECT_FALSE(still_layer_built());
}

// The still objects are drawn once per drag, at the press: the first step
// finds the layer as the press left it (drawing a point must not change
// how the moving layer smooths what comes next).
TEST_P(StillLayerTest, ThePressDrawsTheStillLayerAndTheFirstStepKeepsIt) {
  const bool smoothing = g_moving->dc->antialiasing();
  ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
  EXPECT_TRUE(still_layer_current(fig_, a_));
  EXPECT_EQ(g_moving->dc->antialiasing(), smoothing);
  g_drawn.clear();
  ASSERT_EQ(step(kEventDragStep, 80, 90), 1);
  for (object* o : g_drawn) EXPECT_TRUE(o->state & OBJ_MOVING) << "still object " << o->num << " drawn again";
  expect_view_is_full_redraw("after the first step");
}

// The layer keeps its pictures from one drag to the next: what an earlier
// drag drew in them must not show in a later one, after the still objects
// changed, nor after the window took another size.
TEST_P(StillLayerTest, ALaterDragShowsItsOwnStillObjects) {
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"the same figure", [] {}},
      {"the circle moved away and the triangle hidden",
       [this] {
         circle_->parents[0]->valeurs[0].h = 330;
         circle_->parents[0]->valeurs[0].v = 250;
         triangle_->settings.visible = 0;
         recompute_all();
       }},
      {"a smaller window",
       [this] {
         destroy_devices();
         make_devices(300, 200);
       }},
      {"a larger window",
       [this] {
         destroy_devices();
         make_devices(500, 380);
       }},
  };
  for (const auto& c : cases) {
    c.change();
    redraw_figure(2);
    ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
    ASSERT_EQ(step(kEventDragStep, 100, 120), 1);
    ASSERT_TRUE(still_layer_built());
    expect_view_is_full_redraw(c.what);
    step(kEventMouseUp, 100, 120);
    a_->valeurs[0].h = 60;
    a_->valeurs[0].v = 60;
    recompute_all();
  }
}

TEST_P(StillLayerTest, AStillObjectChangedDuringTheDragShowsAtTheNextStep) {
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"a colour, then the figure drawn again",
       [this] {
         circle_->settings.Color = 0xE02020;
         redraw_figure(2);
       }},
      {"a fill, then the document marked changed",
       [this] {
         triangle_->settings.FillColor = 0x30F030;
         set_document_dirty();
       }},
      {"a new object in the figure", [this] { point(120, 240); }},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
    ASSERT_EQ(step(kEventDragStep, 80, 90), 1);
    c.change();
    ASSERT_EQ(step(kEventDragStep, 100, 120), 1);
    expect_view_is_full_redraw(c.what);
    step(kEventMouseUp, 100, 120);
    a_->valeurs[0].h = 60;
    a_->valeurs[0].v = 60;
    recompute_all();
  }
}

// Points lie above every line and fill, whatever their order in the list,
// and a later point above an earlier one; opaque objects above those that
// are not. The still objects here are made after the moving ones, so the
// still layer holds them, and the view must order them as a drawing of the
// whole figure does.
TEST_P(StillLayerTest, TheViewKeepsTheOrderOfThePassesBetweenMovingAndStillObjects) {
  object* opaque = make(classe_triangle, 0, {a_, point(330, 200), point(330, 280)});
  opaque->settings.FillColor = 0xF0C040;
  opaque->settings.opaque = 1;
  object* fill = make(classe_triangle, 0, {point(80, 170), point(170, 170), point(120, 250)});
  fill->settings.FillColor = 0x40C0F0;
  make(classe_segment, 0, {point(20, 200), point(180, 200)});
  make(classe_segment, 0, {point(250, 230), point(390, 230)});
  point(200, 160)->settings.Color = 0xE02020;

  const struct {
    const char* where;
    int32_t x, y;
  } steps[] = {
      {"the moving point on a later segment, inside a later fill", 120, 200},
      {"the moving point under a later point", 200, 160},
      {"the moving point in the open, its opaque triangle over a later segment", 100, 120},
  };
  ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
  for (const auto& s : steps) {
    ASSERT_EQ(step(kEventDragStep, s.x, s.y), 1);
    ASSERT_TRUE(still_layer_built());
    expect_view_is_full_redraw(s.where);
  }
}

// The window makes the layer's pictures with its layers: the press of the
// first drag draws on them and makes none; a window of another size or
// route gets its own.
TEST_P(StillLayerTest, PicturesMadeWithTheWindowAreTheOnesThePressDrawsOn) {
  free_still_layer();
  EXPECT_FALSE(still_layer_ready(g_moving));
  ASSERT_TRUE(prepare_still_layer(g_moving));
  EXPECT_TRUE(still_layer_ready(g_moving));
  ASSERT_EQ(step(kEventMouseDown, 60, 60), 1);
  ASSERT_TRUE(still_layer_built());
  ASSERT_EQ(step(kEventDragStep, 100, 120), 1);
  expect_view_is_full_redraw("the first drag on pictures made beforehand");
  step(kEventMouseUp, 100, 120);
  EXPECT_TRUE(still_layer_ready(g_moving));

  destroy_devices();
  make_devices(300, 200);
  EXPECT_FALSE(still_layer_ready(g_moving)) << "pictures of the old size";
  ASSERT_TRUE(prepare_still_layer(g_moving));
  EXPECT_TRUE(still_layer_ready(g_moving));
  redraw_figure(2);
  ASSERT_EQ(step(kEventMouseDown, 100, 120), 1);
  ASSERT_EQ(step(kEventDragStep, 60, 60), 1);
  expect_view_is_full_redraw("a drag in a window of another size");
}

INSTANTIATE_TEST_SUITE_P(Routes, StillLayerTest, ::testing::Values(Route::kPixels, Route::kSurface),
                         [](const ::testing::TestParamInfo<Route>& info) {
                           return std::string(info.param == Route::kPixels ? "Pixels" : "Surface");
                         });

}  // namespace
