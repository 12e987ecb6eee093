#include "kernel/tools/builtin_icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct icon_image {
  uint8_t small[16][16];
  uint8_t large[32][32];
};
static_assert(sizeof(icon_image) == kBuiltinIconBytes);

// Pixel values: entries of the default palette.
enum : uint8_t {
  W = 0, Y = 1, O = 2, R = 3, P = 4, N = 5, B = 6, C = 7, L = 8, G = 9, Br = 10, M = 11, LG = 12, Gr = 13,
  DG = 14, K = 15
};

constexpr double kPi = 3.14159265358979323846;

// Draws into one image of an icon. Coordinates are given on a 32 x 32 grid
// and scaled to the image, so one drawing makes both sizes.
class Canvas {
 public:
  Canvas(uint8_t* pixels, int size) : px_(pixels), n_(size), k_(size / 32.0) {}

  void set(int x, int y, uint8_t c) {
    if (x >= 0 && y >= 0 && x < n_ && y < n_) px_[y * n_ + x] = c;
  }
  int map(double v) const { return static_cast<int>(std::floor(v * k_)); }

  void line(double x0, double y0, double x1, double y1, uint8_t c) {
    int ax = map(x0), ay = map(y0), bx = map(x1), by = map(y1);
    int dx = std::abs(bx - ax), sx = ax < bx ? 1 : -1;
    int dy = -std::abs(by - ay), sy = ay < by ? 1 : -1;
    int err = dx + dy;
    for (;;) {
      set(ax, ay, c);
      if (ax == bx && ay == by) break;
      int e2 = 2 * err;
      if (e2 >= dy) err += dy, ax += sx;
      if (e2 <= dx) err += dx, ay += sy;
    }
  }
  void polyline(std::initializer_list<double> xy, uint8_t c, bool closed) {
    std::vector<double> v(xy);
    for (size_t i = 2; i + 1 < v.size(); i += 2) line(v[i - 2], v[i - 1], v[i], v[i + 1], c);
    if (closed && v.size() >= 4) line(v[v.size() - 2], v[v.size() - 1], v[0], v[1], c);
  }
  void fill_poly(std::initializer_list<double> xy, uint8_t c) {
    std::vector<double> v(xy);
    size_t n = v.size() / 2;
    for (int py = 0; py < n_; ++py) {
      double y = (py + 0.5) / k_;
      std::vector<double> xs;
      for (size_t i = 0; i < n; ++i) {
        double x0 = v[2 * i], y0 = v[2 * i + 1];
        double x1 = v[2 * ((i + 1) % n)], y1 = v[2 * ((i + 1) % n) + 1];
        if ((y0 <= y && y < y1) || (y1 <= y && y < y0)) xs.push_back(x0 + (y - y0) * (x1 - x0) / (y1 - y0));
      }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2)
        for (int px = 0; px < n_; ++px) {
          double x = (px + 0.5) / k_;
          if (x >= xs[i] && x <= xs[i + 1]) set(px, py, c);
        }
    }
  }
  void arc(double cx, double cy, double r, double from_deg, double to_deg, uint8_t c) {
    int steps = 64;
    double a0 = from_deg * kPi / 180, a1 = to_deg * kPi / 180;
    double px = cx + r * std::cos(a0), py = cy - r * std::sin(a0);
    for (int i = 1; i <= steps; ++i) {
      double a = a0 + (a1 - a0) * i / steps;
      double x = cx + r * std::cos(a), y = cy - r * std::sin(a);
      line(px, py, x, y, c);
      px = x, py = y;
    }
  }
  void circle(double cx, double cy, double r, uint8_t c) { arc(cx, cy, r, 0, 360, c); }
  void ellipse(double cx, double cy, double rx, double ry, uint8_t c) {
    double px = cx + rx, py = cy;
    for (int i = 1; i <= 64; ++i) {
      double a = 2 * kPi * i / 64;
      double x = cx + rx * std::cos(a), y = cy - ry * std::sin(a);
      line(px, py, x, y, c);
      px = x, py = y;
    }
  }
  void disc(double cx, double cy, double r, uint8_t c) {
    for (int py = 0; py < n_; ++py)
      for (int px = 0; px < n_; ++px) {
        double x = (px + 0.5) / k_ - cx, y = (py + 0.5) / k_ - cy;
        if (x * x + y * y <= r * r) set(px, py, c);
      }
  }
  // A construction point: a small filled square with a dark rim.
  void point(double x, double y, uint8_t c = K) {
    int px = map(x), py = map(y);
    int h = n_ >= 32 ? 2 : 1;
    for (int j = -h; j <= h - (n_ >= 32 ? 0 : 1); ++j)
      for (int i = -h; i <= h - (n_ >= 32 ? 0 : 1); ++i) set(px + i, py + j, c);
  }
  void rect(double x0, double y0, double x1, double y1, uint8_t c) { polyline({x0, y0, x1, y0, x1, y1, x0, y1}, c, true); }
  void fill_rect(double x0, double y0, double x1, double y1, uint8_t c) {
    for (int py = map(y0); py <= map(y1); ++py)
      for (int px = map(x0); px <= map(x1); ++px) set(px, py, c);
  }
  void arrow_head(double x0, double y0, double x1, double y1, uint8_t c) {
    double a = std::atan2(y1 - y0, x1 - x0), len = 7;
    line(x1, y1, x1 - len * std::cos(a - 0.45), y1 - len * std::sin(a - 0.45), c);
    line(x1, y1, x1 - len * std::cos(a + 0.45), y1 - len * std::sin(a + 0.45), c);
  }
  // Text in a 3 x 5 pixel font, one font pixel per image pixel at 16 and two
  // at 32; (x, y) is the top-left corner on the 32 grid.
  void text(const char* s, double x, double y, uint8_t c) {
    int scale = n_ >= 32 ? 2 : 1;
    int px = map(x), py = map(y);
    for (; *s; ++s) {
      const std::array<uint8_t, 5>* g = glyph(*s);
      if (g)
        for (int row = 0; row < 5; ++row)
          for (int col = 0; col < 3; ++col)
            if ((*g)[row] & (4 >> col))
              for (int j = 0; j < scale; ++j)
                for (int i = 0; i < scale; ++i) set(px + col * scale + i, py + row * scale + j, c);
      px += 4 * scale;
    }
  }

 private:
  static const std::array<uint8_t, 5>* glyph(char ch) {
    static const std::map<char, std::array<uint8_t, 5>> font = {
        {'?', {6, 1, 2, 0, 2}}, {'=', {0, 7, 0, 7, 0}}, {'A', {2, 5, 7, 5, 5}}, {'x', {0, 5, 2, 5, 0}},
        {'y', {5, 5, 3, 1, 6}}, {'c', {0, 3, 4, 4, 3}}, {'m', {0, 6, 7, 5, 5}}, {'T', {7, 2, 2, 2, 2}},
        {'a', {0, 6, 3, 5, 7}}, {'b', {4, 6, 5, 5, 6}}, {'1', {2, 6, 2, 2, 7}}, {'2', {6, 1, 2, 4, 7}},
        {'3', {6, 1, 2, 1, 6}}, {'f', {3, 4, 6, 4, 4}}, {'+', {0, 2, 7, 2, 0}}, {'-', {0, 0, 7, 0, 0}},
        {'#', {5, 7, 5, 7, 5}}, {'/', {1, 1, 2, 4, 4}}, {'L', {4, 4, 4, 4, 7}}, {'S', {3, 4, 2, 1, 6}},
        {'E', {7, 4, 6, 4, 7}}, {'N', {5, 7, 7, 5, 5}}, {'(', {1, 2, 2, 2, 1}}, {')', {4, 2, 2, 2, 4}},
        {'t', {2, 7, 2, 2, 1}}, {'e', {2, 5, 7, 4, 3}}, {'s', {3, 4, 2, 1, 6}}, {'.', {0, 0, 0, 0, 2}},
    };
    auto it = font.find(ch);
    return it == font.end() ? nullptr : &it->second;
  }

  uint8_t* px_;
  int n_;
  double k_;
};

using Art = void (*)(Canvas&);

// Shared motifs.
void pointer_arrow(Canvas& c, double x, double y, uint8_t col) {
  c.fill_poly({x, y, x, y + 18, x + 4.5, y + 14, x + 8, y + 21, x + 10.5, y + 20, x + 7, y + 13, x + 12, y + 13}, col);
}
void triangle_abc(Canvas& c, uint8_t col) {
  c.polyline({5, 26, 26, 24, 12, 6}, col, true);
}
void check_box(Canvas& c) { c.text("?", 22, 2, R); }

const std::map<std::string, Art>& named_art() {
  static const std::map<std::string, Art> art = {
      // Points.
      {"Point", [](Canvas& c) { c.point(15, 15, B); c.text("A", 20, 20, K); }},
      {"Point on Object", [](Canvas& c) { c.line(2, 26, 29, 6, K); c.point(16, 16, B); }},
      {"Intersection Point", [](Canvas& c) { c.line(3, 26, 28, 5, K); c.line(3, 5, 28, 26, K); c.point(15.5, 15.5, R); }},
      {"Regular polygon vertex", [](Canvas& c) { c.polyline({16, 4, 27, 12, 23, 26, 9, 26, 5, 12}, Gr, true); c.point(16, 4, R); }},
      // Lines.
      {"Line", [](Canvas& c) { c.line(1, 27, 30, 4, K); c.point(9, 21, B); c.point(22, 10, B); }},
      {"Segment", [](Canvas& c) { c.line(6, 25, 25, 7, K); c.point(6, 25, B); c.point(25, 7, B); }},
      {"Ray", [](Canvas& c) { c.line(6, 25, 30, 3, K); c.point(6, 25, B); c.point(16, 16, B); }},
      {"Vector", [](Canvas& c) { c.line(5, 26, 26, 6, K); c.arrow_head(5, 26, 26, 6, K); c.point(5, 26, B); }},
      {"Triangle", [](Canvas& c) { c.fill_poly({5, 26, 26, 24, 12, 6}, Y); triangle_abc(c, K); c.point(5, 26, B); c.point(26, 24, B); c.point(12, 6, B); }},
      {"Polygon", [](Canvas& c) { c.fill_poly({4, 22, 12, 5, 27, 9, 25, 26, 13, 20}, C); c.polyline({4, 22, 12, 5, 27, 9, 25, 26, 13, 20}, K, true); }},
      {"Regular Polygon", [](Canvas& c) { c.polyline({16, 3, 28, 12, 24, 27, 8, 27, 4, 12}, K, true); c.point(16, 16, B); }},
      // Curves.
      {"Circle", [](Canvas& c) { c.circle(16, 16, 12, K); c.point(16, 16, B); c.point(28, 16, B); }},
      {"Arc", [](Canvas& c) { c.arc(16, 20, 12, 10, 170, K); c.point(27.8, 18, B); c.point(16, 8, B); c.point(4.2, 18, B); }},
      {"Conic", [](Canvas& c) { c.ellipse(16, 16, 13, 8, K); c.point(8, 16, B); c.point(24, 16, B); }},
      // Constructions.
      {"Perpendicular Line", [](Canvas& c) { c.line(2, 24, 30, 24, K); c.line(16, 2, 16, 30, B); c.rect(16, 19, 21, 24, K); }},
      {"Parallel Line", [](Canvas& c) { c.line(2, 22, 28, 8, K); c.line(4, 30, 30, 16, B); }},
      {"Midpoint", [](Canvas& c) { c.line(4, 24, 28, 8, K); c.point(4, 24, B); c.point(28, 8, B); c.point(16, 16, R); }},
      {"Perpendicular Bisector", [](Canvas& c) { c.line(4, 22, 28, 22, K); c.point(4, 22, B); c.point(28, 22, B); c.line(16, 2, 16, 30, R); }},
      {"Angle Bisector", [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 24, 4, K); c.line(4, 27, 30, 13, R); }},
      {"Vector Sum", [](Canvas& c) { c.line(4, 26, 16, 10, K); c.arrow_head(4, 26, 16, 10, K); c.line(16, 10, 28, 20, K); c.arrow_head(16, 10, 28, 20, K); c.line(4, 26, 28, 20, R); c.arrow_head(4, 26, 28, 20, R); }},
      {"Compass", [](Canvas& c) { c.line(16, 3, 8, 28, K); c.line(16, 3, 24, 28, K); c.arc(16, 8, 20, 240, 300, B); c.point(16, 3, K); }},
      {"Measurement Transfer", [](Canvas& c) { c.text("3", 4, 3, K); c.line(4, 24, 28, 24, K); c.point(4, 24, B); c.point(22, 24, R); c.arrow_head(12, 14, 20, 20, K); }},
      {"Locus", [](Canvas& c) { c.arc(16, 36, 22, 40, 140, B); c.point(6, 18, K); c.point(16, 14, K); c.point(26, 18, K); }},
      {"Redefine Object", [](Canvas& c) { c.point(9, 22, B); c.point(23, 10, R); c.line(11, 20, 21, 12, K); c.arrow_head(11, 20, 21, 12, K); }},
      // Transformations.
      {"Translation", [](Canvas& c) { c.polyline({3, 26, 11, 26, 7, 18}, K, true); c.fill_poly({19, 14, 27, 14, 23, 6}, C); c.polyline({19, 14, 27, 14, 23, 6}, K, true); c.line(9, 21, 21, 9, R); c.arrow_head(9, 21, 21, 9, R); }},
      {"Reflection", [](Canvas& c) { c.line(16, 1, 16, 30, R); c.polyline({3, 24, 12, 24, 6, 10}, K, true); c.fill_poly({20, 24, 29, 24, 26, 10}, C); c.polyline({20, 24, 29, 24, 26, 10}, K, true); }},
      {"Symmetry", [](Canvas& c) { c.point(16, 16, R); c.polyline({2, 6, 12, 6, 4, 13}, K, true); c.fill_poly({30, 26, 20, 26, 28, 19}, C); c.polyline({30, 26, 20, 26, 28, 19}, K, true); }},
      {"Rotation", [](Canvas& c) { c.point(8, 24, R); c.arc(8, 24, 16, 5, 80, K); c.arrow_head(24, 22, 11, 8.5, K); c.polyline({22, 28, 30, 28, 26, 20}, K, true); }},
      {"Dilation", [](Canvas& c) { c.point(4, 27, R); c.polyline({8, 22, 14, 22, 10, 16}, K, true); c.fill_poly({16, 28, 30, 28, 22, 10}, C); c.polyline({16, 28, 30, 28, 22, 10}, K, true); }},
      {"Inverse", [](Canvas& c) { c.circle(16, 16, 11, K); c.point(16, 16, R); c.point(21, 13, B); c.point(29, 8, B); }},
      // Properties.
      {"Collinear", [](Canvas& c) { c.point(4, 26, B); c.point(14, 18, B); c.point(24, 10, B); check_box(c); }},
      {"Parallel", [](Canvas& c) { c.line(2, 20, 18, 8, K); c.line(4, 30, 22, 16, K); check_box(c); }},
      {"Perpendicular", [](Canvas& c) { c.line(2, 26, 22, 26, K); c.line(10, 8, 10, 30, K); c.rect(10, 21, 15, 26, K); check_box(c); }},
      {"Equidistant", [](Canvas& c) { c.point(4, 26, B); c.point(20, 26, B); c.point(12, 10, R); c.line(12, 10, 4, 26, Gr); c.line(12, 10, 20, 26, Gr); check_box(c); }},
      {"Member", [](Canvas& c) { c.circle(12, 18, 9, K); c.point(21, 18, R); check_box(c); }},
      // Measures.
      {"Distance & Length", [](Canvas& c) { c.line(3, 26, 28, 26, K); c.point(3, 26, B); c.point(28, 26, B); c.text("cm", 6, 8, K); }},
      {"Area", [](Canvas& c) { c.fill_poly({3, 28, 28, 28, 22, 12, 6, 14}, C); c.polyline({3, 28, 28, 28, 22, 12, 6, 14}, K, true); c.text("A", 2, 1, K); }},
      {"Slope", [](Canvas& c) { c.line(3, 28, 28, 8, K); c.line(12, 21, 22, 21, Gr); c.line(22, 21, 22, 13, Gr); c.text("a", 2, 2, K); }},
      {"Angle", [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 12, 0, 49, R); c.text("a", 20, 14, K); }},
      {"Equation & Coordinates", [](Canvas& c) { c.text("y=", 3, 4, K); c.text("(x", 8, 18, B); }},
      {"Calculate", [](Canvas& c) { c.rect(4, 2, 27, 29, K); c.fill_rect(7, 5, 24, 11, LG); c.text("+", 7, 16, K); c.text("=", 17, 16, K); }},
      {"Tabulate", [](Canvas& c) { c.rect(2, 5, 29, 27, K); c.line(2, 13, 29, 13, K); c.line(2, 20, 29, 20, K); c.line(15, 5, 15, 27, K); }},
      {"Apply a formula", [](Canvas& c) { c.text("f(x", 2, 10, K); }},
      // Texts.
      {"Label", [](Canvas& c) { c.point(8, 22, B); c.text("A", 14, 6, K); }},
      {"Comments", [](Canvas& c) { c.rect(2, 6, 29, 26, K); c.text("Abc", 4, 10, K); }},
      {"Numerical Edit", [](Canvas& c) { c.rect(2, 8, 29, 24, K); c.text("1.2", 5, 11, B); }},
      {"Expression", [](Canvas& c) { c.text("f", 2, 4, K); c.text("=", 12, 4, K); c.text("2", 22, 4, K); c.text("x+1", 2, 18, B); }},
      {"Mark Angle", [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 10, 0, 49, R); c.arc(4, 27, 13, 0, 49, R); }},
      {"Multiple Animation", [](Canvas& c) { c.polyline({2, 16, 6, 10, 10, 22, 14, 10, 18, 22, 22, 10, 26, 22, 30, 16}, K, false); c.point(2, 16, R); c.point(30, 16, R); }},
      {"New Axes", [](Canvas& c) { c.line(2, 20, 30, 20, K); c.line(10, 2, 10, 30, K); c.arrow_head(2, 20, 30, 20, K); c.arrow_head(10, 30, 10, 2, K); }},
      {"Define Grid", [](Canvas& c) { for (int i = 4; i <= 28; i += 6) for (int j = 4; j <= 28; j += 6) c.set(c.map(i), c.map(j), K); c.line(2, 22, 30, 22, B); c.line(10, 2, 10, 30, B); }},
      {"Hide/Show Button", [](Canvas& c) { c.fill_rect(3, 9, 28, 22, LG); c.rect(3, 9, 28, 22, K); c.point(10, 16, B); c.line(16, 13, 24, 19, K); }},
      // Class-less tools.
      {"Pointer", [](Canvas& c) { pointer_arrow(c, 9, 4, K); }},
      {"Rotate", [](Canvas& c) { pointer_arrow(c, 3, 2, K); c.arc(18, 20, 9, 200, 360, R); c.arrow_head(9.5, 23, 27, 20, R); }},
      {"Dilate", [](Canvas& c) { pointer_arrow(c, 3, 2, K); c.line(16, 28, 29, 15, R); c.arrow_head(16, 28, 29, 15, R); c.arrow_head(29, 15, 16, 28, R); }},
      {"Rotate and Dilate", [](Canvas& c) { pointer_arrow(c, 3, 2, K); c.arc(20, 20, 8, 200, 360, R); c.line(17, 30, 30, 17, B); c.arrow_head(17, 30, 30, 17, B); }},
      {"Animation", [](Canvas& c) { c.polyline({2, 20, 8, 12, 14, 20, 20, 12, 26, 20}, K, false); c.point(26, 20, R); c.arrow_head(20, 12, 29, 23, R); }},
      {"Trace On/Off", [](Canvas& c) { for (int i = 0; i < 6; ++i) c.circle(6 + i * 4, 22 - i * 2, 3, i == 5 ? K : Gr); }},
      {"Fix / Free", [](Canvas& c) { c.point(16, 22, B); c.line(16, 4, 16, 18, K); c.fill_rect(12, 2, 20, 8, R); }},
      {"Hide/Show", [](Canvas& c) { c.ellipse(16, 16, 13, 7, K); c.disc(16, 16, 4, B); c.line(4, 28, 28, 4, R); }},
      {"Thick", [](Canvas& c) { c.line(3, 8, 28, 8, K); for (int d = 0; d < 4; ++d) c.line(3, 18 + d, 28, 18 + d, K); }},
      {"Dotted", [](Canvas& c) { for (int x = 3; x < 29; x += 6) c.line(x, 16, x + 3, 16, K); }},
      {"Modify Appearance", [](Canvas& c) { c.line(3, 6, 28, 6, K); for (int x = 3; x < 29; x += 6) c.line(x, 16, x + 3, 16, R); for (int d = 0; d < 3; ++d) c.line(3, 24 + d, 28, 24 + d, B); }},
      {"Color", [](Canvas& c) { c.fill_rect(3, 3, 14, 14, R); c.fill_rect(17, 3, 28, 14, L); c.fill_rect(3, 17, 14, 28, B); c.fill_rect(17, 17, 28, 28, Y); }},
      {"Fill", [](Canvas& c) { c.fill_poly({4, 26, 16, 4, 28, 26}, C); triangle_abc(c, K); }},
      {"Text Color", [](Canvas& c) { c.text("A", 4, 4, R); c.text("A", 16, 14, B); }},
      {"Show Axes", [](Canvas& c) { c.line(2, 20, 30, 20, K); c.line(10, 2, 10, 30, K); }},
      {"Hide Axes", [](Canvas& c) { c.line(2, 20, 30, 20, LG); c.line(10, 2, 10, 30, LG); c.line(4, 28, 28, 4, R); }},
      {"Initial Object", [](Canvas& c) { c.point(8, 16, R); c.line(11, 16, 28, 16, Gr); c.arrow_head(11, 16, 28, 16, Gr); }},
      {"Final Object", [](Canvas& c) { c.line(2, 16, 20, 16, Gr); c.arrow_head(2, 16, 20, 16, Gr); c.point(25, 16, B); }},
      {"Define Macro", [](Canvas& c) { c.point(5, 16, R); c.rect(10, 8, 22, 24, K); c.text("m", 12, 11, K); c.point(27, 16, B); }},
      // The colour pop-ups and the text-size pair.
      {"Pen Colour Menu", [](Canvas& c) { c.line(4, 27, 24, 7, K); c.line(6, 29, 26, 9, K); c.fill_rect(2, 2, 12, 12, LG); }},
      {"Fill Colour Menu", [](Canvas& c) { c.fill_rect(6, 6, 26, 26, LG); c.rect(6, 6, 26, 26, K); }},
      {"Text Colour Menu", [](Canvas& c) { c.text("A", 8, 4, LG); c.text("A", 9, 5, K); }},
      {"Smaller Text", [](Canvas& c) { c.text("A", 10, 12, K); c.text("-", 22, 4, R); }},
      {"Larger Text", [](Canvas& c) { c.text("A", 4, 8, K); c.text("A", 5, 8, K); c.text("+", 20, 2, R); }},
  };
  return art;
}

Art attribute_art(int index) {
  static const std::array<Art, kBuiltinAttributeIconCount> art = {
      // Thickness: thin, thicker, thick.
      [](Canvas& c) { c.line(3, 16, 28, 16, K); },
      [](Canvas& c) { for (int d = 0; d < 2; ++d) c.line(3, 15 + d, 28, 15 + d, K); },
      [](Canvas& c) { for (int d = 0; d < 4; ++d) c.line(3, 14 + d, 28, 14 + d, K); },
      // Dot style: solid, dotted, dashed.
      [](Canvas& c) { c.line(3, 16, 28, 16, K); },
      [](Canvas& c) { for (int x = 3; x < 29; x += 4) c.line(x, 16, x + 1, 16, K); },
      [](Canvas& c) { for (int x = 3; x < 29; x += 8) c.line(x, 16, x + 5, 16, K); },
      // Point style, in the order of the shapes a point takes: dot, square,
      // ring, cross, plus.
      [](Canvas& c) { c.disc(16, 16, 2.5, K); },
      [](Canvas& c) { c.fill_rect(12, 12, 19, 19, K); },
      [](Canvas& c) { c.circle(16, 16, 6, K); },
      [](Canvas& c) { c.line(11, 11, 21, 21, K); c.line(11, 21, 21, 11, K); },
      [](Canvas& c) { c.line(10, 16, 22, 16, K); c.line(16, 10, 16, 22, K); },
      // Angle marks: plain, double, triple, with one, two and three ticks.
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 12, 0, 49, R); },
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 10, 0, 49, R); c.arc(4, 27, 14, 0, 49, R); },
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); for (int r = 9; r <= 17; r += 4) c.arc(4, 27, r, 0, 49, R); },
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 12, 0, 49, R); c.line(13, 18, 18, 22, R); },
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 12, 0, 49, R); c.line(12, 17, 17, 21, R); c.line(14, 20, 19, 24, R); },
      [](Canvas& c) { c.line(4, 27, 29, 27, K); c.line(4, 27, 22, 6, K); c.arc(4, 27, 12, 0, 49, R); c.line(11, 16, 15, 20, R); c.line(13, 19, 18, 22, R); c.line(15, 22, 20, 24, R); },
      // Line style: plain, one mark, two marks, three marks.
      [](Canvas& c) { c.line(3, 16, 28, 16, K); },
      [](Canvas& c) { c.line(3, 16, 28, 16, K); c.line(16, 11, 16, 21, R); },
      [](Canvas& c) { c.line(3, 16, 28, 16, K); c.line(14, 11, 14, 21, R); c.line(18, 11, 18, 21, R); },
      [](Canvas& c) { c.line(3, 16, 28, 16, K); for (int x = 12; x <= 20; x += 4) c.line(x, 11, x, 21, R); },
      // Second line style: segment, half-line, full line.
      [](Canvas& c) { c.line(8, 16, 24, 16, K); c.point(8, 16, B); c.point(24, 16, B); },
      [](Canvas& c) { c.line(8, 16, 31, 16, K); c.point(8, 16, B); },
      [](Canvas& c) { c.line(0, 16, 31, 16, K); },
      // Axes style: axes, axes with ticks, grid of dots, grid of lines.
      [](Canvas& c) { c.line(2, 20, 30, 20, K); c.line(10, 2, 10, 30, K); },
      [](Canvas& c) { c.line(2, 20, 30, 20, K); c.line(10, 2, 10, 30, K); for (int x = 4; x < 30; x += 6) c.line(x, 18, x, 22, K); },
      [](Canvas& c) { for (int i = 4; i <= 28; i += 6) for (int j = 4; j <= 28; j += 6) c.point(i, j, Gr); },
      [](Canvas& c) { for (int i = 4; i <= 28; i += 6) { c.line(i, 2, i, 30, LG); c.line(2, i, 30, i, LG); } c.line(2, 22, 30, 22, K); c.line(10, 2, 10, 30, K); },
  };
  return index >= 0 && index < kBuiltinAttributeIconCount ? art[index] : nullptr;
}

void trash_empty(Canvas& c) {
  c.polyline({7, 8, 25, 8, 23, 29, 9, 29}, K, true);
  c.line(5, 6, 27, 6, K);
  c.rect(13, 3, 19, 6, K);
  for (int x = 12; x <= 20; x += 4) c.line(x, 11, x, 26, Gr);
}
void trash_full(Canvas& c) {
  c.fill_poly({7, 8, 25, 8, 23, 29, 9, 29}, LG);
  trash_empty(c);
  c.fill_poly({8, 8, 12, 1, 17, 5, 24, 2, 25, 8}, Y);
}

icon_image* render(Art art) {
  auto* icon = new icon_image;
  std::memset(icon, W, sizeof(*icon));
  Canvas small(&icon->small[0][0], 16);
  Canvas large(&icon->large[0][0], 32);
  art(small);
  art(large);
  return icon;
}

// Icons are drawn on first use and kept for the run: the class and toolbox
// records point at them.
template <typename Key>
uint8_t* cached(std::map<Key, std::unique_ptr<icon_image>>& cache, const Key& key, Art art) {
  if (!art) return nullptr;
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, std::unique_ptr<icon_image>(render(art))).first;
  return &it->second->small[0][0];
}

// The pictures of the built-in icons of the classes, by icon number: the
// class-list order, except that the pictures of the two expression tools
// stand in each other's places (`assign_builtin_icons` exchanges them back).
// Entry 3, the single intersection point, and the classes after 50 are no
// tools of the palette.
constexpr const char* kClassIconPictures[kBuiltinClassIconCount] = {
    "Point", "Point on Object", "Intersection Point", "Intersection Point", "Line", "Segment", "Ray", "Vector",
    "Triangle", "Polygon", "Regular Polygon", "Circle", "Arc", "Conic", "Perpendicular Line", "Parallel Line",
    "Midpoint", "Perpendicular Bisector", "Angle Bisector", "Vector Sum", "Compass", "Measurement Transfer", "Locus",
    "Redefine Object", "Translation", "Reflection", "Symmetry", "Rotation", "Dilation", "Inverse", "Collinear",
    "Parallel", "Perpendicular", "Equidistant", "Member", "Distance & Length", "Area", "Slope", "Angle",
    "Equation & Coordinates", "Calculate", "Expression", "Tabulate", "Label", "Comments", "Numerical Edit",
    "Apply a formula", "Mark Angle", "New Axes", "Define Grid", "Hide/Show Button",
};

uint8_t* picture(std::string_view name) {
  static std::map<std::string, std::unique_ptr<icon_image>> cache;
  const auto& art = named_art();
  auto it = art.find(std::string(name));
  if (it == art.end()) return nullptr;
  return cached(cache, it->first, it->second);
}

}  // namespace

const uint8_t* builtin_named_icon(std::string_view name) { return picture(name); }

uint8_t* builtin_class_icon(int k) {
  if (k < 0 || k >= kBuiltinClassIconCount) return nullptr;
  return picture(kClassIconPictures[k]);
}

const uint8_t* builtin_attribute_icon(int index) {
  static std::map<int, std::unique_ptr<icon_image>> cache;
  return cached(cache, index, attribute_art(index));
}

const uint8_t* builtin_trash_icon(bool full) {
  static std::map<int, std::unique_ptr<icon_image>> cache;
  return full ? cached(cache, 1, &trash_full) : cached(cache, 0, &trash_empty);
}
