#include "platform/kp_fine_strokes.h"

#include <QPainterPath>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A colour word scaled by `factor` of 255, each channel rounded as the
// raster engine rounds it. The four channels are spread over a 64-bit word
// so that one multiplication scales them all (each stays under 16 bits:
// no carries).
inline uint32_t scaled(uint32_t word, uint32_t factor) {
  constexpr uint64_t kLanes = 0x00FF00FF00FF00FFull;
  uint64_t x = ((uint64_t{word} << 24) | word) & kLanes;
  x *= factor;
  x = ((x + ((x >> 8) & kLanes) + 0x0080008000800080ull) >> 8) & kLanes;
  return static_cast<uint32_t>(x | (x >> 24));
}

// A pen's colour with its part at each coverage worked out once: a stroke
// lays the same colour over hundreds of pixels, and only what shows
// through differs from one to the next.
struct Ink {
  uint32_t color = 0;
  uint32_t part[256] = {};
};

// The ink of `color`, from the few last asked for (a figure's strokes mostly
// share one or two colours).
const Ink& ink_of(uint32_t color) {
  constexpr int kKept = 4;
  thread_local Ink kept[kKept];
  thread_local bool made[kKept] = {};
  thread_local int next = 0;
  for (int i = 0; i < kKept; ++i)
    if (made[i] && kept[i].color == color) return kept[i];
  Ink& ink = kept[next];
  made[next] = true;
  next = (next + 1) % kKept;
  ink.color = color;
  for (uint32_t c = 0; c < 256; ++c) ink.part[c] = scaled(color, c);
  return ink;
}

// The colour laid over a pixel with `coverage` (1..254) of 255: the colour's
// part and what shows through, each scaled and rounded apart, as the raster
// engine blends a solid colour.
inline uint32_t blend(uint32_t under, const Ink& ink, uint32_t coverage) {
  return ink.part[coverage] + scaled(under, 255 - coverage);
}

inline void lay(uint32_t* pixel, const Ink& ink, int32_t coverage) {
  if (coverage <= 0) return;
  *pixel = coverage >= 255 ? ink.color : blend(*pixel, ink, static_cast<uint32_t>(coverage));
}

// Cuts the line to [lo_x, hi_x] x [lo_y, hi_y]: first end, then second end
// along x, then the same along y, each cut moving the end along the line
// as it stands after the cuts before it (the order decides the last bits
// of the cut ends, and so at times a 64th of a pixel). False when nothing
// of it is left.
bool cut(double& x0, double& y0, double& x1, double& y1, double lo_x, double hi_x, double lo_y, double hi_y) {
  auto along = [](double& a0, double& b0, double& a1, double& b1, double lo, double hi) {
    if (a0 < lo) {
      if (a1 <= lo) return false;
      b0 += (b1 - b0) / (a1 - a0) * (lo - a0);
      a0 = lo;
    } else if (a0 > hi) {
      if (a1 >= hi) return false;
      b0 += (b1 - b0) / (a1 - a0) * (hi - a0);
      a0 = hi;
    }
    if (a1 < lo) {
      b1 += (b1 - b0) / (a1 - a0) * (lo - a1);
      a1 = lo;
    } else if (a1 > hi) {
      b1 += (b1 - b0) / (a1 - a0) * (hi - a1);
      a1 = hi;
    }
    return true;
  };
  return along(x0, y0, x1, y1, lo_x, hi_x) && along(y0, x0, y1, x1, lo_y, hi_y);
}

// The whole steps of a line from `m` to `stop` along its major axis (y
// when `Steep`), all of whose pixels lie inside the image: two pixels a
// step, shared by the place (`minor`, in 65536ths of a pixel, moving by
// `step`) between their centres.
template <bool Steep>
void walk_inside(const KPFinePixels& t, const Ink& ink, int64_t m, int64_t stop, int64_t minor, int64_t step) {
  const int64_t pitch = t.pitch;
  constexpr int64_t kAhead = 16;
  const auto origin = reinterpret_cast<uintptr_t>(t.pixels);
  for (; m < stop; ++m, minor += step) {
    // A steep line reads a new row of the image at each step: the pixels a
    // few steps on, along the line and past its end (where the next piece
    // of a curve mostly goes on), are asked for while this one is blended.
    const int64_t a = m + kAhead, b = (minor + kAhead * step) >> 16;
    const int64_t ahead = Steep ? a * pitch + b : b * pitch + a;
    __builtin_prefetch(reinterpret_cast<const void*>(origin + static_cast<uintptr_t>(ahead) * sizeof(uint32_t)), 1);
    const int64_t at = minor >> 16;
    uint32_t* pixel = Steep ? t.pixels + m * pitch + at : t.pixels + at * pitch + m;
    const uint32_t share = static_cast<uint32_t>((minor >> 8) & 0xFF);
    const uint32_t cover = 255 - share;
    if (cover) *pixel = cover == 255 ? ink.color : blend(*pixel, ink, cover);
    uint32_t* next = Steep ? pixel + 1 : pixel + pitch;
    if (share) *next = blend(*next, ink, share);
  }
}

// A line as a piece of a path: nothing where its ends lie within the
// same 64th of a pixel.
void line(const KPFinePixels& t, const Ink& ink, double x0, double y0, double x1, double y1) {
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  if (!cut(x0, y0, x1, y1, -1, t.width + 1.0, -1, t.height + 1.0)) return;
  // Ends in 64ths of a pixel, truncated.
  int64_t X0 = static_cast<int64_t>(x0 * 64), Y0 = static_cast<int64_t>(y0 * 64);
  int64_t X1 = static_cast<int64_t>(x1 * 64), Y1 = static_cast<int64_t>(y1 * 64);
  // Walked along its major axis, from its lower end.
  const bool steep = std::llabs(X1 - X0) < std::llabs(Y1 - Y0);
  if (steep) {
    std::swap(X0, Y0);
    std::swap(X1, Y1);
  }
  if (X1 == X0) return;
  if (X0 > X1) {
    std::swap(X0, X1);
    std::swap(Y0, Y1);
  }
  // The minor coordinate in 65536ths, at the centre of each major step.
  const int64_t step = ((Y1 - Y0) * 65536) / (X1 - X0);
  const int64_t first = X0 >> 6, end = (X1 + 63) >> 6;  // columns [first, end)
  int64_t minor = (Y0 - 32) * 1024 - ((((X0 & 63) - 32) * step) >> 6);
  const int major_size = steep ? t.height : t.width;
  const int minor_size = steep ? t.width : t.height;
  const int64_t major_pitch = steep ? t.pitch : 1;
  const int64_t minor_pitch = steep ? 1 : t.pitch;
  // One major step: two pixels, shared by the place in 256ths, scaled by
  // the part (in 64ths) of the step the line covers.
  auto column = [&](int64_t m, int64_t at, int64_t part) {
    if (m < 0 || m >= major_size) return;
    const int64_t row = at >> 16;
    const int32_t share = static_cast<int32_t>((at >> 8) & 0xFF);
    uint32_t* base = t.pixels + m * major_pitch;
    if (row >= 0 && row < minor_size)
      lay(base + row * minor_pitch, ink, static_cast<int32_t>(((255 - share) * part) >> 6));
    if (row + 1 >= 0 && row + 1 < minor_size)
      lay(base + (row + 1) * minor_pitch, ink, static_cast<int32_t>((share * part) >> 6));
  };
  if (first == end - 1) {
    column(first, minor, X1 - X0);
    return;
  }
  const int64_t at_first = minor;
  column(first, minor, 64 - (X0 & 63));
  minor += step;
  // The whole steps between the end ones, within the image.
  int64_t from = first + 1;
  const int64_t to = end - 1;
  if (from < 0) {
    minor += step * -from;
    from = 0;
  }
  const int64_t stop = std::min<int64_t>(to, major_size);
  // Inside the image on the minor axis all along: no pixel to test.
  const int64_t steps = std::max<int64_t>(0, stop - from);
  const int64_t last_at = minor + step * std::max<int64_t>(0, steps - 1);
  const bool inside = steps > 0 && std::min(minor, last_at) >= 0 && (std::max(minor, last_at) >> 16) + 1 < minor_size;
  int64_t m = from;
  if (inside) {
    if (steep) walk_inside<true>(t, ink, m, stop, minor, step);
    else walk_inside<false>(t, ink, m, stop, minor, step);
  } else {
    for (; m < stop; ++m, minor += step) column(m, minor, 64);
  }
  column(to, at_first + step * (to - first), std::min<int64_t>(64, X1 - to * 64));
}

}  // namespace

void kp_fine_line(const KPFinePixels& t, uint32_t color, double x0, double y0, double x1, double y1) {
  if (!t.pixels || t.width <= 0 || t.height <= 0) return;
  // A line from a point to itself is that point's pixel, whole.
  if (x0 == x1 && y0 == y1) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || std::fabs(x0) > 1e9 || std::fabs(y0) > 1e9) return;
    const int x = qRound(x0), y = qRound(y0);
    if (x >= 0 && x < t.width && y >= 0 && y < t.height) t.pixels[static_cast<int64_t>(y) * t.pitch + x] = color;
    return;
  }
  line(t, ink_of(color), x0, y0, x1, y1);
}

namespace {

// A cubic from (sx, sy) to (ex, ey) with controls (ax, ay) and (bx, by):
// halved (`depth` times at most) until both controls lie near enough to
// the chord, each half drawn before the next. Its points go as plain
// numbers: gathered in pairs, they would be stored and read back at each
// level, which costs more than the halving.
void fine_cubic(const KPFinePixels& t, const Ink& ink, double sx, double sy, double ax, double ay, double bx,
                double by, double ex, double ey, int depth) {
  if (depth > 0) {
    const double dx = sx - ex, dy = sy - ey;
    const double near = 0.25 * (std::fabs(dx) + std::fabs(dy));
    if (std::fabs(dx * (ey - ay) - dy * (ex - ax)) >= near || std::fabs(dx * (ey - by) - dy * (ex - bx)) >= near) {
      const double sax = (sx + ax) * 0.5, say = (sy + ay) * 0.5;
      const double abx = (ax + bx) * 0.5, aby = (ay + by) * 0.5;
      const double bex = (bx + ex) * 0.5, bey = (by + ey) * 0.5;
      const double lx = (sax + abx) * 0.5, ly = (say + aby) * 0.5;
      const double rx = (abx + bex) * 0.5, ry = (aby + bey) * 0.5;
      const double hx = (lx + rx) * 0.5, hy = (ly + ry) * 0.5;
      fine_cubic(t, ink, sx, sy, sax, say, lx, ly, hx, hy, depth - 1);
      fine_cubic(t, ink, hx, hy, rx, ry, bex, bey, ex, ey, depth - 1);
      return;
    }
  }
  line(t, ink, sx, sy, ex, ey);
}

}  // namespace

void kp_fine_path(const KPFinePixels& target, uint32_t color, const QPainterPath& path) {
  if (!target.pixels || target.width <= 0 || target.height <= 0) return;
  const int count = path.elementCount();
  const Ink& ink = ink_of(color);
  double x = 0, y = 0;
  for (int i = 0; i < count; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    if (e.isLineTo()) {
      line(target, ink, x, y, e.x, e.y);
    } else if (e.isCurveTo() && i + 2 < count) {
      const QPainterPath::Element& b = path.elementAt(i + 1);
      const QPainterPath::Element& end = path.elementAt(i + 2);
      fine_cubic(target, ink, x, y, e.x, e.y, b.x, b.y, end.x, end.y, 6);
      x = end.x;
      y = end.y;
      i += 2;
      continue;
    }
    x = e.x;
    y = e.y;
  }
}
