// The page thumbnail: the figure drawn scaled into the cached device, and
// every value, label position and the unit length exactly as before.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "kernel/render/page_image.h"
#include "../tools/tool_fixture.h"

namespace {

class PageImageTest : public ToolTest {
 protected:
  void TearDown() override {
    free_page_image_cache();
    ToolTest::TearDown();
  }
};

TEST_F(PageImageTest, ThumbnailLeavesTheFigureAsItWas) {
  object* a = shown_point(100.3, -40.7);
  object* b = shown_point(-250.1, 180.9);
  object* seg = make2(&classe_segment, 0, a, b);
  seg->settings.visible = 1;
  object* mid = make2(&classe_milieu, 0, a, b);
  a->pos = {7, -3};
  mid->pos = {13, 21};
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  std::vector<std::vector<valeur>> before;
  for (object* o = fig->first; o; o = o->next) before.emplace_back(o->valeurs, o->valeurs + o->nbvaleurs);
  const double unit = pixels_per_unit;
  services_seen() = service_log{};

  int32_t w = 0, h = 0;
  double s = 0;
  const page_image image = make_figure_page_image(1.0, &w, &h, &s);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ(h, 300);
  EXPECT_EQ(w, 300);
  EXPECT_DOUBLE_EQ(s, 300.0 / 3800.0);
  // The segment left ink on the thumbnail.
  int ink = 0;
  for (int32_t y = 0; y < image.height; ++y)
    for (int32_t x = 0; x < image.width; ++x) ink += (image.pixels[y * image.pitch + x] & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_GT(ink, 0);

  size_t i = 0;
  for (object* o = fig->first; o; o = o->next, ++i) {
    ASSERT_EQ(before[i].size(), static_cast<size_t>(o->nbvaleurs));
    EXPECT_EQ(std::memcmp(before[i].data(), o->valeurs, before[i].size() * sizeof(valeur)), 0);
  }
  EXPECT_EQ(a->pos.x, 7);
  EXPECT_EQ(a->pos.y, -3);
  EXPECT_EQ(mid->pos.x, 13);
  EXPECT_EQ(mid->pos.y, 21);
  EXPECT_EQ(pixels_per_unit, unit);
  EXPECT_EQ(services_seen().count("dirty"), 0);
}

TEST_F(PageImageTest, CalculationsGetBackTheirOwnProgram) {
  object* a = make(&classe_nombre, 0, {});
  set_text_record_text(a->te, "2");
  recompute_object(a);
  auto* formula = static_cast<char*>(GlobalAlloc(GPTR, 8));
  std::strcpy(formula, "3*a+1");
  pending_extra[0] = formula;
  object* f = make(&classe_calculate, 0, {{a, 0}});
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->valeurs[0].info.rayon, 7);
  const object* program = f->parents[f->nbparents + 1];
  const object* text = f->parents[f->nbparents];
  ASSERT_NE(program, nullptr);
  const std::size_t blocks = kernel_live_blocks();
  ASSERT_NE(make_figure_page_image(1.0, nullptr, nullptr, nullptr).pixels, nullptr);
  EXPECT_EQ(f->parents[f->nbparents + 1], program);
  EXPECT_EQ(f->parents[f->nbparents], text);
  EXPECT_EQ(kernel_live_blocks(), blocks);
  recompute_object(f);
  EXPECT_EQ(f->valeurs[0].info.rayon, 7);
}

TEST_F(PageImageTest, NoThumbnailWithoutAFigureViewOrAPositiveScale) {
  for (double p : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(make_figure_page_image(p, nullptr, nullptr, nullptr).pixels, nullptr) << p;
  current_figure_view = nullptr;
  EXPECT_EQ(make_figure_page_image(1.0, nullptr, nullptr, nullptr).pixels, nullptr);
}

}  // namespace
