#include "kernel/exchange/picture_draw.h"

#include "platform/win_types.h"

uint8_t picture_mapping_convex = 0;

bool is_convex_quad(const tagPOINT c[4]) {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      if (c[i].x == c[j].x && c[i].y == c[j].y) return false;
  int sign = 0;
  for (int i = 0; i < 4; ++i) {
    const tagPOINT& a = c[i];
    const tagPOINT& b = c[(i + 1) % 4];
    const tagPOINT& d = c[(i + 2) % 4];
    const int64_t cross = static_cast<int64_t>(b.x - a.x) * (d.y - b.y) - static_cast<int64_t>(b.y - a.y) * (d.x - b.x);
    const int s = cross > 0 ? 1 : cross < 0 ? -1 : 0;
    if (s == 0 || (sign != 0 && s != sign)) return false;
    sign = s;
  }
  return true;
}

void draw_picture_on_two_points(DisplayDevice*, object*) {}
void draw_picture_on_points(DisplayDevice*, object*, const tagPOINT*) {}
