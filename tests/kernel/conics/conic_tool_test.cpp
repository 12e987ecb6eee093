// Conics in a figure drawn through the type's draw operation, highlighted,
// and the conic tool's rubber band.
#include <gtest/gtest.h>

#include <QDir>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_draw.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_stroke.h"
#include "kernel/conics/conic_tool.h"
#include "kernel/conics/conic_trace.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/draw_object.h"
#include "kernel/render/object_colors.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/draw_feedback.h"
#include "kernel/tools/tool_handler.h"

namespace {

struct move_seen {
  uint32_t color;
  uint8_t on_length;
  uint8_t dash_active;
};
std::vector<move_seen>* moves_seen = nullptr;

class ConicTool : public GeometryTest {
 protected:
  DisplayDevice* dd = nullptr;
  DisplayDevice* saved_moving = nullptr;

  void SetUp() override {
    GeometryTest::SetUp();
    init_color_table();
    pixel_pen = PixelPen{};
    dd = dd_create();
    ensure_display_dc(dd);
    dd->portRect = {0, 0, 0, 0};
    dd_select_bitmap(dd, create_dib_record(dd, 400, 300));
    dd->ratio = 1;
    dd->portRect.right = 400;
    dd->portRect.bottom = 300;
    dd_draw_background(dd);
    saved_moving = moving_display;
    moving_display = dd;
    conic_preview_near = 1;
    conic_preview_remembered = tagPOINT{0, 0};
  }
  void TearDown() override {
    moving_display = saved_moving;
    destroy_display_device(dd);
    GeometryTest::TearDown();
  }

  bool inked(int x, int y) const {
    if (x < 0 || y < 0 || x >= 400 || y >= 300) return false;
    return color_of_pixel(dd->bm->pixels[y * dd->bm->pitch + x]) != back_color;
  }
  int inked_count() const {
    int n = 0;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x) n += inked(x, y);
    return n;
  }
  bool ink_near(double x, double y, int reach = 1) const {
    const int px = int(std::floor(x + 0.5)), py = int(std::floor(y + 0.5));
    for (int dx = -reach; dx <= reach; ++dx)
      for (int dy = -reach; dy <= reach; ++dy)
        if (inked(px + dx, py + dy)) return true;
    return false;
  }
  // Every inked pixel within `tol` of the conic through the five points,
  // and ink at each of the points inside the view.
  void expect_conic_through(const double x[5], const double y[5], double tol = 1.5) {
    conic_kind = conic_through_five_points(x, y, 0);
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e, F = conic_f;
    int n = 0;
    for (int py = 0; py < 300; ++py)
      for (int px = 0; px < 400; ++px) {
        if (!inked(px, py)) continue;
        ++n;
        const double v = A * px * px + 2 * B * px * py + C * py * py + 2 * D * px + 2 * E * py + F;
        const double g = 2 * std::hypot(A * px + B * py + D, B * px + C * py + E);
        EXPECT_LE(std::fabs(v) / g, tol) << px << "," << py;
      }
    EXPECT_GT(n, 100);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(ink_near(x[i], y[i], 2)) << i;
  }

  // Making a point empties the picked list: it is filled again.
  std::vector<object*> picked_;
  object* pick(double x, double y) {
    object* p = point(x, y);
    picked_.push_back(p);
    objlist_clear(fig_->inputs);
    for (object* o : picked_) objlist_add(fig_->inputs, o, 0);
    return p;
  }
  void preview(int x, int y) {
    tagPOINT c{x, y};
    classe_conic.fil(&c);
  }
};

}  // namespace

TEST_F(ConicTool, TheConicClassAndTypeAreBound) {
  EXPECT_EQ(type_conic.draw, &draw_conic);
  EXPECT_EQ(classe_conic.select, &conic_tool_handler);
  EXPECT_EQ(classe_conic.fil, &conic_preview);
}

TEST_F(ConicTool, AConicInTheFigureIsDrawnAndKeepsItsCrossingCount) {
  const double inside[5][2] = {{300, 150}, {250, 210}, {130, 190}, {110, 110}, {220, 80}};
  object* pts[5];
  for (int i = 0; i < 5; ++i) pts[i] = point(inside[i][0], inside[i][1]);
  object* c = make(classe_conic, 0, {pts[0], pts[1], pts[2], pts[3], pts[4]});
  ASSERT_EQ(conic_stored_kind(c->valeurs), kConicEllipse);
  draw_object(dd, c);
  double x[5], y[5];
  for (int i = 0; i < 5; ++i) x[i] = inside[i][0], y[i] = inside[i][1];
  expect_conic_through(x, y);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(&c->valeurs[4].info)[2], 0);

  // Moved so that the bottom edge cuts it twice.
  for (int i = 0; i < 5; ++i) pts[i]->valeurs[0].v += 120;
  compute_conic(c);
  dd_draw_background(dd);
  draw_object(dd, c);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(&c->valeurs[4].info)[2], 2);
  EXPECT_GT(inked_count(), 200);
}

TEST_F(ConicTool, AHighlightedConicIsDrawnInTheBackgroundThenDashed) {
  const double pts[5][2] = {{300, 150}, {250, 210}, {130, 190}, {110, 110}, {220, 80}};
  object* p[5];
  for (int i = 0; i < 5; ++i) p[i] = point(pts[i][0], pts[i][1]);
  object* c = make(classe_conic, 0, {p[0], p[1], p[2], p[3], p[4]});
  set_object_color(c, 0x0000FF);
  std::vector<move_seen> seen;
  moves_seen = &seen;
  conic_polyline_observer = [](int op, int32_t, int32_t) {
    if (op == 0) moves_seen->push_back({conic_color, pixel_pen.on_length, pixel_pen.dash_active});
  };
  selection_drawing = 1;
  draw_conic(dd, c);
  selection_drawing = 0;
  conic_polyline_observer = nullptr;
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].color, back_color);
  EXPECT_EQ(seen[1].color, 0x0000FFu);
  EXPECT_EQ(seen[1].on_length, 3);
  EXPECT_EQ(seen[1].dash_active, 1);
  EXPECT_EQ(pixel_pen.dash_active, 0);
}

TEST_F(ConicTool, ThePreviewGoesFromASegmentToAnArcToTheConic) {
  pick(100, 150);
  // Still within 6 units: a segment to the cursor.
  preview(103, 152);
  EXPECT_EQ(conic_preview_near, 1);
  preview(60, 150);  // leaves: remembered, still a segment this time
  EXPECT_EQ(conic_preview_near, 0);
  EXPECT_EQ(conic_preview_remembered.x, 60);
  EXPECT_TRUE(ink_near(80, 150));
  EXPECT_EQ(rubber_points[0].h, 60);
  // Farther: the arc through the point, the remembered position and the cursor.
  dd_draw_background(dd);
  preview(100, 50);
  EXPECT_TRUE(ink_near(100, 150));
  EXPECT_TRUE(ink_near(100, 50));
  EXPECT_TRUE(ink_near(60, 150, 2));
  EXPECT_TRUE(ink_near(80 - std::sqrt(2900.0), 100, 2));  // the circle of centre (80, 100)
  EXPECT_FALSE(ink_near(80, 100, 5));
  // Back near the point: the segment again.
  preview(101, 149);
  EXPECT_EQ(conic_preview_near, 1);

  // Three points: near the third, an arc and a segment; away, the conic
  // through the three, the remembered position and the cursor.
  pick(200, 80);
  pick(300, 150);
  dd_draw_background(dd);
  preview(302, 151);
  EXPECT_TRUE(ink_near(200, 80));
  preview(280, 220);
  EXPECT_EQ(conic_preview_near, 0);
  EXPECT_EQ(conic_preview_remembered.x, 280);
  dd_draw_background(dd);
  preview(150, 230);
  {
    const double x[5] = {100, 200, 300, 280, 150}, y[5] = {150, 80, 150, 220, 230};
    expect_conic_through(x, y);
  }

  // Four points: the conic through them and the cursor.
  pick(280, 220);
  dd_draw_background(dd);
  preview(130, 215);
  {
    const double x[5] = {100, 200, 300, 280, 130}, y[5] = {150, 80, 150, 220, 215};
    expect_conic_through(x, y);
  }
  // The cursor on a picked point: two points coincide, nothing is drawn.
  dd_draw_background(dd);
  preview(200, 80);
  EXPECT_EQ(conic_kind, kConicCoincidence);
  EXPECT_EQ(inked_count(), 0);
}

TEST_F(ConicTool, TheConicFiguresOfTheFuzzCorpusDrawThinThickAndHighlighted) {
  const QDir dir(KELVO_TEST_DATA "/../fuzz/corpus/figure_file_fuzz");
  const QStringList names = dir.entryList({"conic_*.fig"}, QDir::Files);
  ASSERT_GE(names.size(), 8);
  init_version_info();
  int conics_drawn = 0;
  for (const QString& name : names) {
    std::ifstream in(dir.filePath(name).toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    kelvo_win_info* copy = fig_->undo;
    free_figure_info(fig_, false);
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    ASSERT_EQ(read_figure_file(text.data(), static_cast<uint32_t>(text.size()), "/tmp/conic.fig"), 1)
        << name.toStdString() << ": " << figure_file_error();
    free_file_image();
    for (uint8_t thickness : {0, 1}) {
      for (uint8_t highlighted : {0, 1}) {
        dd_draw_background(dd);
        selection_drawing = highlighted;
        for (object* o = fig_->first; o; o = o->next) {
          if (o->classe != &classe_conic) continue;
          o->settings.thickness = thickness;
          draw_object(dd, o);
          if (!(o->state & OBJ_UNDEFINED)) ++conics_drawn;
        }
        selection_drawing = 0;
        EXPECT_EQ(pixel_pen.dash_active, 0);
      }
    }
  }
  EXPECT_GT(conics_drawn, 40);
}
