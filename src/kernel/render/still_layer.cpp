#include "kernel/render/still_layer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "kernel/model/figure.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/drawing_passes.h"
#include "kernel/tools/pick.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

struct Pixels {
  uint32_t* data = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;  // in pixels
};

// The pixels a device draws into: its selected bitmap, else the surface
// its port is bound to.
Pixels pixels_of(const DisplayDevice* dd) {
  if (!dd) return {};
  if (dd->bm && dd->bm->pixels) return {dd->bm->pixels, dd->bm->width, dd->bm->height, dd->bm->pitch};
  const KPContext* c = dd->dc ? dd->dc->getContext() : nullptr;
  if (!c || !c->pixels() || c->bytesPerRow() < c->width() * 4) return {};
  return {static_cast<uint32_t*>(c->pixels()), c->width(), c->height(), c->bytesPerRow() / 4};
}

// What the layer was drawn for: a change of any of these makes it stale.
struct LayerKey {
  const kelvo_win_info* fig = nullptr;
  uint64_t stamp = 0;
  const object* from = nullptr;
  const DisplayDevice* device = nullptr;
  tagRECT port{};
  double ratio = 0;
  int16_t orientation = 0;
  const KPGrafPort* dc = nullptr;
  const KPContext* surface = nullptr;
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  float scale = 0;
  bool antialias = false;

  bool operator==(const LayerKey& o) const {
    return fig == o.fig && stamp == o.stamp && from == o.from && device == o.device && port.left == o.port.left &&
           port.top == o.port.top && port.right == o.port.right && port.bottom == o.port.bottom &&
           ratio == o.ratio && orientation == o.orientation && dc == o.dc && surface == o.surface &&
           pixels == o.pixels && width == o.width && height == o.height && scale == o.scale &&
           antialias == o.antialias;
  }
};

LayerKey key_for(const kelvo_win_info* fig, const object* from) {
  LayerKey k;
  const DisplayDevice* dd = moving_display;
  if (!fig || !dd) return k;
  const Pixels px = pixels_of(dd);
  k.fig = fig;
  k.stamp = fig->list_stamp;
  k.from = from;
  k.device = dd;
  k.port = dd->portRect;
  k.ratio = dd->ratio;
  k.orientation = dd->orientation;
  k.dc = dd->dc;
  k.surface = dd->dc ? dd->dc->getContext() : nullptr;
  k.pixels = px.data;
  k.width = px.width;
  k.height = px.height;
  k.scale = dd->dc ? dd->dc->getScale() : 0;
  k.antialias = dd->dc && dd->dc->antialiasing();
  return k;
}

// A run of pixels of one row that a pass of still objects touched: whole
// (the picture over black is copied) or letting something through
// (blended). `at` indexes the run's first pixel in the pass's pictures.
struct Run {
  int32_t y;
  int32_t x;
  int32_t end;
  bool cover;
  uint32_t at;
};

// One pass of the still objects: its runs and, run after run, the pixels
// of the pass drawn over white and over black. Empty when no still object
// of the pass lies above the moving ones.
struct StillPass {
  std::vector<Run> runs;
  std::vector<uint32_t> over_white;
  std::vector<uint32_t> over_black;
};

struct StillLayer {
  bool built = false;
  LayerKey key;
  StillPass passes[kPassCount];
};
StillLayer g_layer;

// The moving objects whose later passes the step left to the view.
const std::vector<object*>* g_deferred = nullptr;

void fill_pixels(const Pixels& px, uint32_t fill) {
  for (int y = 0; y < px.height; ++y) std::fill_n(px.data + static_cast<size_t>(y) * px.pitch, px.width, fill);
}

// A device shaped like `like` (place, zoom, port, drawing route) drawing
// into pixels of its own, every pixel set to `fill`.
DisplayDevice* layer_device_like(const DisplayDevice* like, uint32_t fill) {
  const Pixels size = pixels_of(like);
  if (!like->dc || !size.data) return nullptr;
  DisplayDevice* dd = dd_create_like(like);
  if (like->bm) {
    const tagRECT port = like->portRect;
    dd_select_bitmap(dd, create_dib_record(dd, like->bm->width, like->bm->height));
    dd->portRect = port;
  } else {
    dd->bitamapData = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size.width) * size.height, 4));
    if (dd->bitamapData)
      dd->bitmapContext = KPContext::createBitmapContext(dd->bitamapData, size.width, size.height, size.width * 4);
    if (dd->bitmapContext) dd->dc->fixContext(dd->bitmapContext, like->dc->getFrame(), like->dc->getFrame());
  }
  const Pixels px = pixels_of(dd);
  if (!px.data || px.width != size.width || px.height != size.height) {
    destroy_display_device(dd);
    return nullptr;
  }
  dd->dc->setGrafScale(like->dc->getScale());
  dd->dc->allowsAntialiasing(like->dc->antialiasing());
  dd->dc->selectObject(KPGrafPort::getStockObject(5));
  dd->dc->setROP2(13);
  dd->dc->setPolyFillMode(2);
  fill_pixels(px, fill);
  return dd;
}

// Whether any still object of the moving layer comes after `from`.
bool has_still_objects(object* from) {
  begin_layer_walk();
  for (object* o = from; o; o = o->next)
    if (figure_object_is_drawable(o, kLayerMoving) && !(o->state & OBJ_MOVING)) return true;
  return false;
}

// Both pictures unchanged from their fill: no still object there.
bool untouched(uint32_t w, uint32_t b) { return w == kWhite && b == kBlack; }

// Whether the still objects hide what lies beneath the pixel, which then
// takes the picture over black.
bool covers(uint32_t w, uint32_t b) { return w == b; }

// Keeps the pixels the pass drew over white and over black, as runs.
void take_pass(StillPass& pass, const DisplayDevice* white, const DisplayDevice* black) {
  const Pixels w = pixels_of(white), b = pixels_of(black);
  pass = StillPass{};
  for (int y = 0; y < w.height; ++y) {
    const uint32_t* wr = w.data + static_cast<size_t>(y) * w.pitch;
    const uint32_t* br = b.data + static_cast<size_t>(y) * b.pitch;
    for (int x = 0; x < w.width;) {
      if (untouched(wr[x], br[x])) {
        ++x;
        continue;
      }
      const bool cover = covers(wr[x], br[x]);
      const int start = x;
      while (x < w.width && !untouched(wr[x], br[x]) && covers(wr[x], br[x]) == cover) ++x;
      pass.runs.push_back({y, start, x, cover, static_cast<uint32_t>(pass.over_black.size())});
      pass.over_white.insert(pass.over_white.end(), wr + start, wr + x);
      pass.over_black.insert(pass.over_black.end(), br + start, br + x);
    }
  }
}

// One channel: what lies beneath, scaled by the part the still objects let
// through (white minus black), plus what they put there (black).
inline uint32_t channel(uint32_t under, uint32_t w, uint32_t b) {
  const uint32_t through = w > b ? w - b : 0;
  const uint32_t scaled = under * through + 128;
  const uint32_t v = b + ((scaled + (scaled >> 8)) >> 8);
  return v > 255 ? 255 : v;
}

// Lays one pass of the still objects over the target's pixels.
void compose_pass(const Pixels& t, const StillPass& pass) {
  for (const Run& run : pass.runs) {
    if (run.y >= t.height) break;
    const int end = std::min(run.end, t.width);
    if (run.x >= end) continue;
    uint32_t* tr = t.data + static_cast<size_t>(run.y) * t.pitch;
    const uint32_t* wr = pass.over_white.data() + run.at - run.x;
    const uint32_t* br = pass.over_black.data() + run.at - run.x;
    if (run.cover) {
      std::memcpy(tr + run.x, br + run.x, static_cast<size_t>(end - run.x) * sizeof(uint32_t));
      continue;
    }
    for (int x = run.x; x < end; ++x) {
      const uint32_t d = tr[x], wp = wr[x], bp = br[x];
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8)
        out |= channel((d >> shift) & 0xFF, (wp >> shift) & 0xFF, (bp >> shift) & 0xFF) << shift;
      tr[x] = out;
    }
  }
}

}  // namespace

bool still_layer_built() { return g_layer.built; }

bool still_layer_current(const kelvo_win_info* fig, const object* from) {
  return g_layer.built && fig && moving_display && g_layer.key == key_for(fig, from);
}

void drop_still_layer() { g_layer = StillLayer{}; }

bool build_still_layer(kelvo_win_info* fig, object* from) {
  drop_still_layer();
  if (!fig || !from || !moving_display || !pixels_of(moving_display).data) return false;
  if (has_still_objects(from)) {
    DisplayDevice* white = layer_device_like(moving_display, kWhite);
    DisplayDevice* black = layer_device_like(moving_display, kBlack);
    const bool made = white && black;
    for (int pass = 0; made && pass < kPassCount; ++pass) {
      if (pass > 0) {
        fill_pixels(pixels_of(white), kWhite);
        fill_pixels(pixels_of(black), kBlack);
      }
      for (DisplayDevice* dd : {white, black}) draw_figure_pass(dd, kLayerMoving, from, pass, true);
      take_pass(g_layer.passes[pass], white, black);
    }
    destroy_display_device(white);
    destroy_display_device(black);
    if (!made) {
      drop_still_layer();
      return false;
    }
  }
  g_layer.key = key_for(fig, from);
  g_layer.built = true;
  return true;
}

void defer_moving_passes(const std::vector<object*>* moving) { g_deferred = moving; }

void draw_deferred_moving_passes(DisplayDevice* dd) {
  const std::vector<object*>* moving = std::exchange(g_deferred, nullptr);
  if (moving && dd)
    for (int pass = kPassTranslucent + 1; pass < kPassCount; ++pass) draw_moving_pass(dd, *moving, pass);
}

void compose_still_layer(DisplayDevice* target) {
  const std::vector<object*>* moving = std::exchange(g_deferred, nullptr);
  for (int pass = 0; pass < kPassCount; ++pass) {
    if (moving && pass > kPassTranslucent) draw_moving_pass(target, *moving, pass);
    if (!g_layer.built || g_layer.passes[pass].runs.empty()) continue;
    const Pixels t = pixels_of(target);
    if (t.data) compose_pass(t, g_layer.passes[pass]);
  }
}
