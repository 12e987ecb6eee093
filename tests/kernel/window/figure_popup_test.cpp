// What the figure's context menu changes, applied as the menu applies a
// chosen item: frames, coordinate forms, background colour and pictures.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/model/geometry_fixture.h"
#include "kernel/render/colors.h"
#include "kernel/model/deletion.h"
#include "kernel/model/recompute.h"
#include "kernel/render/object_colors.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/hit_state.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/figure_popup.h"
#include "platform/kp_files.h"

namespace {

class FigurePopup : public GeometryTest {
 protected:
  void TearDown() override {
    figure_popup_hooks() = figure_popup_services{};
    kp_set_file_chooser({});
    GeometryTest::TearDown();
  }
  object* axes() { return make(classe_axe, 1, {point(100, 100), point(140, 100), point(100, 60)}); }
};

TEST_F(FigurePopup, AConstructionToolKeepsTheMenuShut) {
  current_class = &classe_segment;
  interaction_state = 2;
  EXPECT_EQ(show_figure_popup_menu(), 0);
  current_class = nullptr;
  interaction_state = 3;
  EXPECT_EQ(show_figure_popup_menu(), 0);
}

TEST_F(FigurePopup, ChoosingTheCurrentFrameChangesNothing) {
  object* tri = make(classe_triangle, 0, {point(0, 0), point(50, 0), point(0, 40)});
  ASSERT_TRUE(has_text_frame(tri, false));
  tri->settings.opaque = 0;
  fig_->wflags = 0;
  apply_figure_popup_item(kPopupFrameTransparent, tri);
  EXPECT_EQ(tri->settings.opaque, 0);
  EXPECT_FALSE(fig_->wflags & kFigureChanged);
  apply_figure_popup_item(kPopupFrameOpaque, tri);
  EXPECT_EQ(tri->settings.opaque, 1);
  EXPECT_TRUE(fig_->wflags & kFigureChanged);
}

TEST_F(FigurePopup, ACoordinateFormReachesEveryCoordinatesOfThePointOnTheAxes) {
  object* ax = axes();
  object* p = point(130, 70);
  object* q = point(20, 20);
  object* c1 = make(classe_equation, 0, {p, ax});
  object* c2 = make(classe_equation, 0, {p, ax});
  object* other = make(classe_equation, 0, {q, ax});
  for (int form = 1; form <= 3; ++form) {
    apply_figure_popup_item(kPopupCoordinates + form, c1);
    EXPECT_EQ(c1->math.equa.typeunite, form);
    EXPECT_EQ(c2->math.equa.typeunite, form);
    EXPECT_EQ(other->math.equa.typeunite, 0);
  }
}

TEST_F(FigurePopup, ANewBackgroundColourRecoloursTextsThatHadTheOldOne) {
  object* hidden = make(classe_nombre, 0, {});
  object* red = make(classe_nombre, 0, {});
  hidden->settings.Color = fig_->bgcolor;
  red->settings.Color = 0xFF0000;
  const uint32_t old = fig_->bgcolor;
  // Labels of other objects too: one in the old background, one in red.
  object* a = point(10, 10);
  object* b = point(20, 20);
  a->label = get_default_font_info();
  b->label = get_default_font_info();
  ASSERT_TRUE(a->label && b->label);
  a->label->Color = old;
  b->label->Color = 0xFF0000;
  figure_popup_hooks().choose_color = [](uint32_t* color, HWND) {
    *color = 0x203040;
    return true;
  };
  apply_figure_popup_item(kPopupBackgroundColor, nullptr);
  EXPECT_EQ(fig_->bgcolor, 0x203040u);
  EXPECT_NE(hidden->settings.Color, old);
  EXPECT_EQ(hidden->settings.Color, 0x203040u);
  EXPECT_EQ(red->settings.Color, 0xFF0000u);
  EXPECT_EQ(a->label->Color, 0x203040u);
  EXPECT_EQ(b->label->Color, 0xFF0000u);
  // Cancelled: nothing changes.
  figure_popup_hooks().choose_color = [](uint32_t*, HWND) { return false; };
  apply_figure_popup_item(kPopupBackgroundColor, nullptr);
  EXPECT_EQ(fig_->bgcolor, 0x203040u);
}

TEST_F(FigurePopup, PicturesFitTheirObjects) {
  object* a = point(0, 0);
  object* seg = make(classe_segment, 0, {a, point(10, 0)});
  object* circle = make(classe_cercle, 1, {a, point(30, 0)});
  EXPECT_TRUE(can_hold_picture(a));
  EXPECT_TRUE(can_hold_picture(seg));
  EXPECT_FALSE(can_hold_picture(circle));
  EXPECT_TRUE(is_fillable_object(circle));
  EXPECT_FALSE(is_fillable_object(nullptr, 0));
  EXPECT_TRUE(is_fillable_object(nullptr, 19));
  // A picture file that does not load leaves the object as it was.
  kp_set_file_chooser([](const KPFileDialogRequest&) -> std::optional<std::string> { return "/nonexistent/picture.png"; });
  apply_figure_popup_item(kPopupPictureFile, seg);
  EXPECT_EQ(seg->bitmap, nullptr);
}

// A button takes a picture up to 2000 pixels each way, not a wider one.
TEST_F(FigurePopup, AButtonRefusesAPictureWiderThan2000Pixels) {
  object* button = make(classe_button, 0, {});
  ASSERT_NE(button, nullptr);
  static std::string path;
  auto write = [](int32_t width) {
    bmp_info info;
    ASSERT_TRUE(make_bmp_info_header(width, 2, 1, 32, &info));
    const std::vector<uint8_t> bytes = bmp_file_bytes(info, nullptr);
    path = std::string(KELVO_TEST_OUTPUT) + "/popup_button_" + std::to_string(width) + ".bmp";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  };
  kp_set_file_chooser([](const KPFileDialogRequest&) -> std::optional<std::string> { return path; });
  write(2001);
  fig_->wflags = 0;
  apply_figure_popup_item(kPopupPictureFile, button);
  EXPECT_EQ(button->bitmap, nullptr);
  EXPECT_FALSE(fig_->wflags & kFigureChanged);
  std::remove(path.c_str());
  write(2000);
  apply_figure_popup_item(kPopupPictureFile, button);
  ASSERT_NE(button->bitmap, nullptr);
  EXPECT_EQ(button->bitmap->width, 2000);
  std::remove(path.c_str());
}

TEST_F(FigurePopup, AreaOrientationTogglesAndTheSignFollows) {
  current_class = &classe_triangle;
  object* tri = make(classe_triangle, 0, {point(0, 0), point(0, 40), point(50, 0)});
  current_class = nullptr;
  object* area = make(classe_aire, 0, {tri});
  area->settings.nbre_decimales = 2;
  recompute_object(area);
  const double plain = area->valeurs[0].info.rayon;
  EXPECT_GT(plain, 0);
  fig_->wflags = 0;
  apply_figure_popup_item(kPopupAreaOrientation, area);
  EXPECT_EQ(area->math.polyarea, 1u);
  EXPECT_TRUE(fig_->wflags & kFigureChanged);
  EXPECT_NEAR(std::abs(area->valeurs[0].info.rayon), plain, 1e-9);
  apply_figure_popup_item(kPopupAreaOrientation, area);
  EXPECT_EQ(area->math.polyarea, 0u);
  EXPECT_NEAR(area->valeurs[0].info.rayon, plain, 1e-9);
  // The item means nothing to other objects.
  apply_figure_popup_item(kPopupAreaOrientation, tri);
  EXPECT_EQ(tri->math.polyarea, 0u);
}

TEST_F(FigurePopup, AColourComponentWaitsForItsNumberAndKeepsTheOthers) {
  object* seg = make(classe_segment, 0, {point(0, 0), point(10, 0)});
  object* n1 = make(classe_nombre, 0, {});
  object* n2 = make(classe_nombre, 0, {});
  interaction_state = STATE_POINTER;
  apply_figure_popup_item(kPopupPenRed + 1, seg);
  EXPECT_EQ(interaction_state, STATE_COLOR_NUMBER);
  EXPECT_EQ(color_driver_target(), seg);
  EXPECT_EQ(color_driver_component(), kPopupPenRed + 1);
  // Only a number drives it.
  EXPECT_FALSE(drive_color_component(seg));
  EXPECT_TRUE(drive_color_component(n1));
  ASSERT_NE(seg->pcolor, nullptr);
  EXPECT_EQ(seg->pcolor->green, n1);
  EXPECT_EQ(seg->pcolor->red, nullptr);
  EXPECT_EQ(seg->pfill, nullptr);
  // Nothing waits any more.
  EXPECT_FALSE(drive_color_component(n2));
  apply_figure_popup_item(kPopupPenRed, seg);
  EXPECT_TRUE(drive_color_component(n2));
  EXPECT_EQ(seg->pcolor->red, n2);
  EXPECT_EQ(seg->pcolor->green, n1);
  apply_figure_popup_item(kPopupFillRed + 2, seg);
  EXPECT_TRUE(drive_color_component(n1));
  ASSERT_NE(seg->pfill, nullptr);
  EXPECT_EQ(seg->pfill->blue, n1);
  interaction_state = STATE_POINTER;
}

TEST_F(FigurePopup, AWaitingObjectDeletedMeanwhileTakesNoDriver) {
  object* seg = make(classe_segment, 0, {point(0, 0), point(10, 0)});
  object* n = make(classe_nombre, 0, {});
  apply_figure_popup_item(kPopupPenRed, seg);
  ASSERT_EQ(color_driver_target(), seg);
  delete_objects(seg);
  EXPECT_FALSE(drive_color_component(n));
  EXPECT_EQ(color_driver_target(), nullptr);
  interaction_state = STATE_POINTER;
}

}  // namespace
