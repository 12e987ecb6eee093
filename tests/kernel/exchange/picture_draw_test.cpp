// Mapping pictures onto corners: the geometry, checked in part against
// numpy (tests/data/pictures/homography.txt), and the drawing with its
// caches on a small pixel device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/figure_bitmaps.h"
#include "kernel/exchange/picture_draw.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/drag_state.h"
#include "kernel/tools/draw_feedback.h"

namespace {

TEST(PictureGeometry, ConvexityOfQuadrilaterals) {
  const tagPOINT square[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const tagPOINT reversed[4] = {{0, 10}, {10, 10}, {10, 0}, {0, 0}};
  const tagPOINT collinear[4] = {{0, 0}, {5, 0}, {10, 0}, {0, 10}};
  const tagPOINT twice[4] = {{0, 0}, {10, 0}, {10, 0}, {0, 10}};
  const tagPOINT dart[4] = {{0, 0}, {10, 0}, {2, 2}, {0, 10}};
  EXPECT_TRUE(is_convex_quad(square));
  EXPECT_TRUE(is_convex_quad(reversed));
  EXPECT_FALSE(is_convex_quad(collinear));
  EXPECT_FALSE(is_convex_quad(twice));
  EXPECT_TRUE(quad_has_duplicate_corner(twice));
  EXPECT_FALSE(is_convex_quad(dart));
}

TEST(PictureGeometry, ParallelogramsAreAffine) {
  const tagPOINT par[4] = {{5, 5}, {25, 9}, {31, 29}, {11, 25}};
  int one_root = 0;
  for (int y = 0; y < 35; ++y)
    for (int x = 0; x < 35; ++x) {
      pic_point vu;
      int roots = 0;
      double a = 1;
      if (bilinear_inverse(par, x, y, &vu, &roots, &a)) {
        EXPECT_EQ(roots, 1);
        ++one_root;
      }
      EXPECT_EQ(a, 0.0);
    }
  EXPECT_GT(one_root, 300);
  const pic_point p = solve_2x2(1, 2, 2, 4, 3, 5);
  EXPECT_EQ(p.x, 0.0);
  EXPECT_EQ(p.y, 0.0);
  const pic_point q = solve_2x2(1, 1, 1, -1, 3, 1);
  EXPECT_DOUBLE_EQ(q.x, 2.0);
  EXPECT_DOUBLE_EQ(q.y, 1.0);
  double inv[3][3], fwd[3][3];
  ASSERT_EQ(projective_from_quad(inv, 40, 30, par, fwd), 3);
  EXPECT_EQ(fwd[2][0], 0.0);
  EXPECT_EQ(fwd[2][1], 0.0);
  EXPECT_EQ(fwd[2][2], 1.0);
}

TEST(PictureGeometry, HomographyMatchesNumpy) {
  std::ifstream in(KELVO_TEST_DATA "/pictures/homography.txt");
  std::string line;
  int cases = 0;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string name;
    s >> name;
    tagPOINT c[4];
    for (auto& p : c) s >> p.x >> p.y;
    double want[9];
    for (double& v : want) s >> v;
    double m[3][3];
    ASSERT_EQ(projective_from_quad(m, 40, 30, c), 3) << name;
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i / 3][i % 3] / m[2][2], want[i], 1e-9) << name << " " << i;
    // The corners go back to the picture's corners.
    const double back[4][2] = {{0, 0}, {40, 0}, {40, 30}, {0, 30}};
    for (int k = 0; k < 4; ++k) {
      const double X = m[0][0] * c[k].x + m[0][1] * c[k].y + m[0][2];
      const double Y = m[1][0] * c[k].x + m[1][1] * c[k].y + m[1][2];
      const double Z = m[2][0] * c[k].x + m[2][1] * c[k].y + m[2][2];
      EXPECT_NEAR(X / Z, back[k][0], 1e-9);
      EXPECT_NEAR(Y / Z, back[k][1], 1e-9);
    }
    ++cases;
  }
  EXPECT_EQ(cases, 2);
}

TEST(PictureGeometry, SmallPlaneHelpers) {
  const pic_point m = reflect_point_in_line({3, 1}, {0, 0}, {10, 0});
  EXPECT_DOUBLE_EQ(m.x, 3);
  EXPECT_DOUBLE_EQ(m.y, -1);
  const pic_point none = reflect_point_in_line({3, 1}, {2, 2}, {2, 2});
  EXPECT_EQ(none.x, 0);
  EXPECT_EQ(none.y, 0);
  EXPECT_TRUE(same_side_of_line({1, 1}, {5, 2}, {0, 0}, {10, 0}));
  EXPECT_FALSE(same_side_of_line({1, 1}, {5, -2}, {0, 0}, {10, 0}));
  EXPECT_TRUE(same_side_of_line({1, 0}, {5, -2}, {0, 0}, {10, 0}));
  EXPECT_TRUE(point_in_triangle({2, 2}, {0, 0}, {10, 0}, {0, 10}));
  EXPECT_TRUE(point_in_triangle({5, 0}, {0, 0}, {10, 0}, {0, 10}));
  EXPECT_FALSE(point_in_triangle({6, 6}, {0, 0}, {10, 0}, {0, 10}));
  EXPECT_EQ(max_of_4(3, -1, 7, 2), 7);
  EXPECT_EQ(min_of_4(3, -1, 7, 2), -1);
}

// Non-convex quadrilaterals: the parabola touches the four side lines (the
// focus mirrored in each lies on one line, the directrix), and the spans it
// widens hold every pixel the bilinear map covers.
TEST(PictureGeometry, TheFoldOfANonConvexQuadrilateralStaysInsideItsSpans) {
  const tagPOINT quads[][4] = {{{0, 0}, {100, 10}, {30, 30}, {10, 90}},
                               {{20, 10}, {120, 40}, {60, 50}, {40, 120}},
                               {{0, 0}, {80, 0}, {70, 20}, {90, 90}},
                               {{50, 0}, {100, 100}, {50, 40}, {0, 90}}};
  for (const auto& q : quads) {
    SCOPED_TRACE(testing::Message() << q[0].x << "," << q[0].y << " " << q[1].x << "," << q[1].y << " " << q[2].x
                                    << "," << q[2].y << " " << q[3].x << "," << q[3].y);
    ASSERT_FALSE(is_convex_quad(q));
    pic_point V, T1, T2;
    ASSERT_TRUE(inscribed_parabola(q, &V, &T1, &T2));
    for (int y = -5; y < 130; ++y) {
      int32_t first = 0, last = -1;
      const bool spans = quad_row_span_folded(y, q, V, T1, T2, &first, &last);
      for (int x = -5; x < 130; ++x) {
        pic_point at;
        if (!bilinear_inverse(q, x, y, &at)) continue;
        ASSERT_TRUE(spans) << "row " << y << " covered at " << x;
        EXPECT_GE(x, first - 1) << "row " << y;
        EXPECT_LE(x, last + 1) << "row " << y;
      }
    }
  }
  const tagPOINT parallel[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  pic_point V, T1, T2;
  EXPECT_FALSE(inscribed_parabola(parallel, &V, &T1, &T2));
}

// The fast mapping of a non-convex quadrilateral, row spans and all, puts
// the pixels the bilinear map gives, pixel by pixel.
TEST(PictureGeometry, TheFastMappingOfAFoldedQuadrilateralMissesNoPixel) {
  constexpr int W = 8, H = 8, w = 130, h = 130;
  std::vector<uint8_t> picture(W * H * 4);
  for (int i = 0; i < W * H; ++i) {
    picture[i * 4] = static_cast<uint8_t>(i * 3);
    picture[i * 4 + 1] = static_cast<uint8_t>(200 - i);
    picture[i * 4 + 2] = 10;
    picture[i * 4 + 3] = 255;
  }
  const tagPOINT q[4] = {{0, 0}, {100, 10}, {30, 30}, {10, 90}};
  std::vector<uint8_t> target(w * h * 4);
  map_picture_fast(picture.data(), W, H, target.data(), w, h, nullptr, 0, 0, q, 0, 0);
  int covered = 0, wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      pic_point at;
      const uint8_t* got = &target[(y * w + x) * 4];
      if (!bilinear_inverse(q, x, y, &at)) continue;
      const int ix = static_cast<int>(W * at.x), iy = static_cast<int>(H * at.y);
      if (ix >= W || iy >= H) continue;
      ++covered;
      if (std::memcmp(got, &picture[(iy * W + ix) * 4], 3) != 0) ++wrong;
    }
  EXPECT_GT(covered, 1000);
  EXPECT_LE(wrong, covered / 200) << "of " << covered;
}

TEST(PictureGeometry, RowSpansPassOverHorizontalEdges) {
  const tagPOINT quad[4] = {{10, 0}, {30, 0}, {40, 20}, {0, 20}};
  int32_t a = 0, b = 0;
  ASSERT_TRUE(quad_row_span(0, quad, &a, &b));
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 30);
  ASSERT_TRUE(quad_row_span(10, quad, &a, &b));
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 35);
  EXPECT_FALSE(quad_row_span(21, quad, &a, &b));
}

// A picture of w x h: left half white, right half blue, or all `bgr`.
figure_picture half_white(int w, int h) {
  figure_picture p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool white = x < w / 2;
      p.pixels.insert(p.pixels.end(), {255, static_cast<uint8_t>(white ? 255 : 0), static_cast<uint8_t>(white ? 255 : 0), 0});
    }
  return p;
}

struct PictureDraw : ::testing::Test {
  DisplayDevice* dd = nullptr;
  object obj{};
  void SetUp() override {
    init_color_table();
    KPGeoDocument::setCurrentInfo(nullptr);
    dd = dd_create();
    ensure_display_dc(dd);
    dd->portRect = {0, 0, 60, 40};
    dd_select_bitmap(dd, create_dib_record(dd, 60, 40));
    dd->ratio = 1;
    dd->orientation = 1;
    dd->dc->allowsAntialiasing(false);
    dd_draw_background(dd);
    ASSERT_TRUE(set_bitmap_holder_image(half_white(8, 8), dd->dc, "pic.png", &obj.bitmap));
    first_hit_object = nullptr;
    drag_in_progress = 0;
  }
  void TearDown() override {
    free_bitmap_holder(&obj.bitmap);
    destroy_display_device(dd);
    first_hit_object = nullptr;
    drag_in_progress = 0;
  }
  uint32_t at(int x, int y) const { return color_of_pixel(dd->bm->pixels[y * dd->bm->pitch + x]); }
  void red_line() { dc_line(dd->dc, 0, 20, 59, 20, 0xFF0000); }
};

const tagPOINT kRect[4] = {{10, 10}, {50, 10}, {50, 30}, {10, 30}};

TEST_F(PictureDraw, WhiteShowsTheFigureUnlessOpaque) {
  red_line();
  ASSERT_EQ(at(15, 20), 0xFF0000u);
  draw_picture_on_points(dd, &obj, kRect);
  EXPECT_EQ(at(15, 20), 0xFF0000u);  // white part: the line shows
  EXPECT_NE(at(45, 20), 0xFF0000u);  // blue part multiplies it away
  EXPECT_EQ(at(45, 15), 0x0000FFu);
  EXPECT_EQ(at(5, 20), 0xFF0000u);   // outside the corners: untouched
  EXPECT_EQ(at(55, 5), 0xFFFFFFu);

  dd_draw_background(dd);
  red_line();
  free_bitmap_dib(obj.bitmap);
  obj.settings.opaque = 1;
  dc_polygon(dd->dc, kRect, 4, back_color, 1);  // as the polygon does first
  draw_picture_on_points(dd, &obj, kRect);
  EXPECT_EQ(at(15, 20), back_color);  // covered
  EXPECT_EQ(at(45, 15), 0x0000FFu);
  EXPECT_EQ(at(5, 20), 0xFF0000u);
}

TEST_F(PictureDraw, CornersOutsideThePortDrawNothing) {
  draw_picture_on_points(dd, &obj, kRect);
  ASSERT_EQ(obj.bitmap->render_width, 40);
  const tagPOINT away[4] = {{100, 10}, {140, 10}, {140, 30}, {100, 30}};
  std::vector<uint32_t> before(dd->bm->pixels, dd->bm->pixels + 60 * 40);
  draw_picture_on_points(dd, &obj, away);
  EXPECT_EQ(std::vector<uint32_t>(dd->bm->pixels, dd->bm->pixels + 60 * 40), before);
  EXPECT_EQ(obj.bitmap->render_width, 40);
  EXPECT_EQ(obj.bitmap->render_height, 20);
}

TEST_F(PictureDraw, CachesAreRebuiltAfterADrag) {
  draw_picture_on_points(dd, &obj, kRect);
  ASSERT_NE(obj.bitmap->rendered, nullptr);
  ASSERT_NE(obj.bitmap->rendered_alone, nullptr);
  // Drawn again unchanged: the caches serve.
  const uint8_t* cached = obj.bitmap->rendered_alone;
  draw_picture_on_points(dd, &obj, kRect);
  EXPECT_EQ(obj.bitmap->rendered_alone, cached);
  // Dragged: the object follows the grab and moves; drawn fast, marked.
  first_hit_object = &obj;
  obj.state |= OBJ_WALK;
  drag_in_progress = 1;
  const tagPOINT moved[4] = {{12, 10}, {52, 10}, {52, 30}, {12, 30}};
  dd_draw_background(dd);
  draw_picture_on_points(dd, &obj, moved);
  EXPECT_EQ(obj.bitmap->dirty, 1);
  EXPECT_EQ(at(47, 15), 0x0000FFu);
  // The drag ends: the next drawing renders smoothly again.
  drag_in_progress = 0;
  obj.state &= ~OBJ_WALK;
  first_hit_object = nullptr;
  dd_draw_background(dd);
  draw_picture_on_points(dd, &obj, moved);
  EXPECT_EQ(obj.bitmap->dirty, 0);
  EXPECT_NE(obj.bitmap->rendered_alone, nullptr);
  EXPECT_EQ(at(47, 15), 0x0000FFu);
}

TEST_F(PictureDraw, WithABackgroundColourEveryDrawingIsSmoothAgain) {
  kelvo_win_info fig{};
  fig.bgcolor = 0x00FFEE;
  KPGeoDocument::setCurrentInfo(&fig);
  draw_picture_on_points(dd, &obj, kRect);
  const uint8_t* first = obj.bitmap->rendered;
  ASSERT_NE(first, nullptr);
  draw_picture_on_points(dd, &obj, kRect);
  EXPECT_NE(obj.bitmap->rendered, nullptr);
  EXPECT_EQ(obj.bitmap->dirty, 0);
  KPGeoDocument::setCurrentInfo(nullptr);
}

TEST_F(PictureDraw, OnTwoPointsTheLeftEdgeSitsOnTheFirstPoint) {
  object a{}, b{};
  valeur va{}, vb{};
  va.h = 10;
  va.v = 20;
  vb.h = 50;
  vb.v = 20;
  a.valeurs = &va;
  b.valeurs = &vb;
  object* parents[2] = {&a, &b};
  obj.parents = parents;
  obj.nbparents = 2;
  draw_picture_on_two_points(dd, &obj);
  // 8 x 8 scaled to 40 x 40, centred on the segment: rows 0 to 40, white
  // on the left half (multiplied: unchanged), blue on the right.
  EXPECT_EQ(at(45, 25), 0x0000FFu);
  EXPECT_EQ(at(45, 5), 0x0000FFu);
  EXPECT_EQ(at(15, 25), 0xFFFFFFu);
  EXPECT_EQ(at(55, 20), 0xFFFFFFu);
  obj.parents = nullptr;
  obj.nbparents = 0;
}

}  // namespace
