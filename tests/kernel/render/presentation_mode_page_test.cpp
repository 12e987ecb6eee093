// The page thumbnail is drawn with presentation mode off, whether or not
// the screen is in it, and the mode is back afterwards.
#include <gtest/gtest.h>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/render/display_device.h"
#include "kernel/model/classes.h"
#include "kernel/render/page_image.h"
#include "../tools/tool_fixture.h"

namespace {

class PresentationModePage : public ToolTest {
 protected:
  void TearDown() override {
    wide_lines_flag = 0;
    free_page_image_cache();
    ToolTest::TearDown();
  }
};

uint8_t flag_seen = 0xFF;

TEST_F(PresentationModePage, TheThumbnailIsDrawnWithTheModeOffAndTheModeStays) {
  object* a = shown_point(-1000, 0);
  object* b = shown_point(1000, 0);
  object* seg = make2(&classe_segment, 0, a, b);
  seg->settings.visible = 1;
  type* kind = seg->classe->ctype;
  const type_draw_fn draw = kind->draw;
  kind->draw = [](DisplayDevice*, object*) { flag_seen = wide_lines_flag; };
  for (const uint8_t mode : {uint8_t{0}, uint8_t{1}}) {
    wide_lines_flag = mode;
    flag_seen = 0xFF;
    make_figure_page_image(1.0, nullptr, nullptr, nullptr);
    EXPECT_EQ(flag_seen, 0) << "polygons open and wider pens are for the screen only";
    EXPECT_EQ(wide_lines_flag, mode);
  }
  kind->draw = draw;
}

}  // namespace
