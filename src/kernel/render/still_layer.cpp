#include "kernel/render/still_layer.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

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
// (blended). `at` indexes the run's pixels in the pass: over black, then,
// for a blended run, over white (over white a whole pixel is the same).
struct Run {
  int32_t y;
  int32_t x;
  int32_t end;
  bool cover;
  uint32_t at;
};

// One pass of the still objects: its runs and, run after run, their
// pixels. Empty when no still object of the pass lies above the moving
// ones.
struct StillPass {
  std::vector<Run> runs;
  std::vector<uint32_t> pixels;
};

struct StillLayer {
  bool built = false;
  LayerKey key;
  StillPass passes[kPassCount];
};
StillLayer g_layer;

// The two pictures the still objects are drawn on, over white and over
// black. They are kept from one drag to the next and made again only when
// the moving device changes its size or its way of drawing: between builds
// every pixel holds its fill again, so a build neither allocates nor fills
// a window's worth of pixels.
struct LayerDevices {
  DisplayDevice* white = nullptr;
  DisplayDevice* black = nullptr;
};
LayerDevices g_devices;

// The moving objects whose later passes the step left to the view.
const std::vector<object*>* g_deferred = nullptr;

void fill_pixels(const Pixels& px, uint32_t fill) {
  for (int y = 0; y < px.height; ++y) std::fill_n(px.data + static_cast<size_t>(y) * px.pitch, px.width, fill);
}

// Gives a layer device the place, zoom, port and font metrics of `like`
// and its drawing settings, keeping what the device owns.
void take_shape_of(DisplayDevice* dd, const DisplayDevice* like) {
  const DisplayDevice own = *dd;
  *dd = *like;
  dd->FigureView = nullptr;
  dd->viewLayer = nullptr;
  dd->win = dd->textwin = dd->temp_txt_win = nullptr;
  dd->dc = own.dc;
  dd->bm = own.bm;
  dd->ft = own.ft;
  dd->bitamapData = own.bitamapData;
  dd->bitmapContext = own.bitmapContext;
  if (!dd->dc) return;
  dd->dc->setGrafScale(like->dc->getScale());
  dd->dc->allowsAntialiasing(like->dc->antialiasing());
  dd->dc->selectObject(KPGrafPort::getStockObject(5));
  dd->dc->setROP2(13);
  dd->dc->setPolyFillMode(2);
}

// Whether a layer device draws the way `like` does, into as many pixels.
bool device_fits(const DisplayDevice* dd, const DisplayDevice* like) {
  if (!dd || !dd->dc || (dd->bm != nullptr) != (like->bm != nullptr)) return false;
  const Pixels mine = pixels_of(dd), theirs = pixels_of(like);
  return mine.data && mine.width == theirs.width && mine.height == theirs.height;
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
  take_shape_of(dd, like);
  fill_pixels(px, fill);
  return dd;
}

// The layer device kept in `kept`, made again when it no longer fits.
DisplayDevice* layer_device(DisplayDevice*& kept, const DisplayDevice* like, uint32_t fill) {
  if (device_fits(kept, like)) {
    take_shape_of(kept, like);
    return kept;
  }
  destroy_display_device(kept);
  kept = layer_device_like(like, fill);
  return kept;
}

void free_layer_devices() {
  destroy_display_device(g_devices.white);
  destroy_display_device(g_devices.black);
  g_devices = LayerDevices{};
}

// The passes (bit 1 << pass) in which a still object of the moving layer
// after `from` is drawn.
unsigned passes_with_still_objects(object* from) {
  unsigned passes = 0;
  begin_layer_walk();
  for (object* o = from; o; o = o->next)
    if (figure_object_is_drawable(o, kLayerMoving) && !(o->state & OBJ_MOVING))
      for (int pass = 0; pass < kPassCount; ++pass)
        if (object_drawn_in_pass(o, pass)) passes |= 1u << pass;
  return passes;
}

// Both pictures unchanged from their fill: no still object there.
bool untouched(uint32_t w, uint32_t b) { return w == kWhite && b == kBlack; }

// Whether the still objects hide what lies beneath the pixel, which then
// takes the picture over black.
bool covers(uint32_t w, uint32_t b) { return w == b; }

void clear_pass(StillPass& pass) {
  pass.runs.clear();
  pass.pixels.clear();
}

// One row of a pass as two bit sets, bit x for pixel x: `touched`, the
// pixel differs from its fill in either picture; `whole`, the pixel is the
// same over white and over black (the still objects hide what is beneath).
// Bits past the row's end are clear.
struct RowBits {
  std::vector<uint64_t> touched;
  std::vector<uint64_t> whole;
};

// The touched bits of up to 64 pixels from `wr` and `br`. A whole window
// is looked at for each pass, most of it untouched: with vectors, four
// pixels are compared at once and no pixel costs a branch.
uint64_t touched_bits(const uint32_t* wr, const uint32_t* br, int n) {
  uint64_t t = 0;
  int i = 0;
#if defined(__SSE2__)
  const __m128i white = _mm_set1_epi32(static_cast<int>(kWhite)), black = _mm_set1_epi32(static_cast<int>(kBlack));
  for (; i + 4 <= n; i += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wr + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(br + i));
    const __m128i still = _mm_and_si128(_mm_cmpeq_epi32(w, white), _mm_cmpeq_epi32(b, black));
    t |= (~static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(still))) & 0xF) << i;
  }
#endif
  for (; i < n; ++i) t |= static_cast<uint64_t>(!untouched(wr[i], br[i])) << i;
  return t;
}

// The whole bits of the same pixels.
uint64_t whole_bits(const uint32_t* wr, const uint32_t* br, int n) {
  uint64_t c = 0;
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wr + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(br + i));
    c |= static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(w, b)))) << i;
  }
#endif
  for (; i < n; ++i) c |= static_cast<uint64_t>(covers(wr[i], br[i])) << i;
  return c;
}

// The row's bits; false when the pass touched none of its pixels.
bool row_bits(RowBits& bits, const uint32_t* wr, const uint32_t* br, int width) {
  const size_t words = (static_cast<size_t>(width) + 63) / 64;
  bits.touched.resize(words);
  bits.whole.resize(words);
  bool any = false;
  for (size_t k = 0; k < words; ++k) {
    const int x = static_cast<int>(k * 64), n = std::min(64, width - x);
    bits.touched[k] = touched_bits(wr + x, br + x, n);
    bits.whole[k] = bits.touched[k] ? whole_bits(wr + x, br + x, n) : 0;
    any |= bits.touched[k] != 0;
  }
  return any;
}

// The first bit from `x` that is set (or clear, with `set` false), or the
// end of the set.
int next_bit(const std::vector<uint64_t>& bits, int x, bool set) {
  const int end = static_cast<int>(bits.size() * 64);
  while (x < end) {
    const uint64_t word = (set ? bits[x / 64] : ~bits[x / 64]) >> (x % 64);
    if (word) return x + std::countr_zero(word);
    x = (x / 64 + 1) * 64;
  }
  return end;
}

// Keeps the pixels the pass drew over white and over black, as runs, and
// gives those pixels their fill back for the next pass.
void take_pass(StillPass& pass, const DisplayDevice* white, const DisplayDevice* black) {
  const Pixels w = pixels_of(white), b = pixels_of(black);
  clear_pass(pass);
  RowBits bits;
  for (int y = 0; y < w.height; ++y) {
    uint32_t* wr = w.data + static_cast<size_t>(y) * w.pitch;
    uint32_t* br = b.data + static_cast<size_t>(y) * b.pitch;
    if (!row_bits(bits, wr, br, w.width)) continue;
    for (int x = 0;;) {
      const int start = next_bit(bits.touched, x, true);
      if (start >= w.width) break;
      const bool cover = (bits.whole[start / 64] >> (start % 64)) & 1;
      x = std::min(next_bit(bits.touched, start, false), next_bit(bits.whole, start, !cover));
      pass.runs.push_back({y, start, x, cover, static_cast<uint32_t>(pass.pixels.size())});
      for (int i = start; i < x; ++i) {
        pass.pixels.push_back(br[i]);
        br[i] = kBlack;
      }
      for (int i = start; i < x; ++i) {
        if (!cover) pass.pixels.push_back(wr[i]);
        wr[i] = kWhite;
      }
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
    const uint32_t* br = pass.pixels.data() + run.at - run.x;
    if (run.cover) {
      std::memcpy(tr + run.x, br + run.x, static_cast<size_t>(end - run.x) * sizeof(uint32_t));
      continue;
    }
    const uint32_t* wr = br + (run.end - run.x);
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

// The passes keep their memory for the next build.
void drop_still_layer() {
  g_layer.built = false;
  g_layer.key = LayerKey{};
  for (StillPass& pass : g_layer.passes) clear_pass(pass);
}

void free_still_layer() {
  g_layer = StillLayer{};
  free_layer_devices();
}

bool still_layer_ready(const DisplayDevice* moving) {
  return moving && pixels_of(moving).data && device_fits(g_devices.white, moving) &&
         device_fits(g_devices.black, moving);
}

bool prepare_still_layer(const DisplayDevice* moving) {
  if (!moving || !pixels_of(moving).data) return false;
  if (still_layer_ready(moving)) return true;
  if (layer_device(g_devices.white, moving, kWhite) && layer_device(g_devices.black, moving, kBlack)) return true;
  free_layer_devices();
  return false;
}

bool build_still_layer(kelvo_win_info* fig, object* from) {
  drop_still_layer();
  if (!fig || !from || !moving_display || !pixels_of(moving_display).data) return false;
  if (const unsigned passes = passes_with_still_objects(from)) {
    DisplayDevice* white = layer_device(g_devices.white, moving_display, kWhite);
    DisplayDevice* black = layer_device(g_devices.black, moving_display, kBlack);
    if (!white || !black) {
      free_layer_devices();
      return false;
    }
    for (int pass = 0; pass < kPassCount; ++pass) {
      if (!(passes & (1u << pass))) continue;
      for (DisplayDevice* dd : {white, black}) draw_figure_pass(dd, kLayerMoving, from, pass, true);
      take_pass(g_layer.passes[pass], white, black);
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
