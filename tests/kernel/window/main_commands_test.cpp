// The main-menu commands: the tool bindings, zoom, New, Save and Open (the
// figure constructed, saved, closed and opened again at kernel level),
// Revert, and the untouched-figure test.
#include <cmath>

#include "../files/file_fixture.h"
#include "kernel/files/figure_file.h"
#include "kernel/window/main_commands.h"

namespace {

class MainCommandsTest : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    main_command_hooks h;
    // A new document window: a fresh current figure, kept to be freed.
    h.open_document_path = [](const char*) {
      new_figure_info();
      opened().push_back(KPGeoDocument::currentInfo());
      return true;
    };
    install_main_command_services(h);
  }
  void TearDown() override {
    install_main_command_services(main_command_hooks{});
    kelvo_win_info* current = KPGeoDocument::currentInfo();
    for (kelvo_win_info* f : opened())
      if (f != current) free_test_figure(f);
    if (current != fig_) {
      free_test_figure(current);
      KPGeoDocument::setCurrentInfo(fig_);
    }
    opened().clear();
    FileTest::TearDown();
  }
  static std::vector<kelvo_win_info*>& opened() {
    static std::vector<kelvo_win_info*> list;
    return list;
  }
};

TEST(CommandBindings, TableAndUnboundIdentifiers) {
  EXPECT_EQ(command_to_tool_id(101), make_tool_id(1, 2));
  EXPECT_EQ(command_to_tool_id(110), make_tool_id(2, 1));
  EXPECT_EQ(command_to_tool_id(119), make_tool_id(3, 3));
  EXPECT_EQ(command_to_tool_id(122), make_tool_id(4, 2));
  EXPECT_EQ(command_to_tool_id(40051), make_tool_id(1, 5));
  EXPECT_EQ(command_to_tool_id(120), 0u);
  EXPECT_EQ(command_to_tool_id(40030), 0u);
}

TEST_F(MainCommandsTest, ZoomInThenOutRestoresAndThePlainVariantLeavesTheAxes) {
  build_small_figure();
  object* circle = fig_->first;
  while (circle && circle->classe != &classe_cercle) circle = circle->next;
  ASSERT_NE(circle, nullptr);
  const auto points = point_coordinates();
  object* axes = fig_->first->next;
  const valeur axes_unit = axes->valeurs[1];
  const double radius = circle->valeurs[1].info.rayon;

  main_menu_command(nullptr, command_id::kZoomIn, 0);
  EXPECT_NEAR(point_coordinates()[1].first, points[1].first * 33 / 32, 1e-9);
  EXPECT_EQ(axes->valeurs[1].h, axes_unit.h);
  main_menu_command(nullptr, command_id::kZoomOut, 0);
  const auto back = point_coordinates();
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_NEAR(back[i].first, points[i].first, 1e-9);
    EXPECT_NEAR(back[i].second, points[i].second, 1e-9);
  }
  EXPECT_NEAR(circle->valeurs[1].info.rayon, radius, 1e-9);
  EXPECT_EQ(back[0], points[0]);  // the origin never moves

  main_menu_command(nullptr, command_id::kZoomInWithAxes, 0);
  EXPECT_NEAR(axes->valeurs[1].h, axes_unit.h * 33 / 32, 1e-12);
}

TEST_F(MainCommandsTest, UntouchedFigureIsTheHiddenOriginAndAxesOnly) {
  EXPECT_TRUE(is_figure_untouched(fig_));
  fig_->first->next->settings.visible = 1;
  EXPECT_FALSE(is_figure_untouched(fig_));
  fig_->first->next->settings.visible = 0;
  point(5, 5);
  EXPECT_FALSE(is_figure_untouched(fig_));
}

TEST_F(MainCommandsTest, NewSaveCloseAndOpenBringTheObjectsBack) {
  main_menu_command(nullptr, command_id::kNew, 0);
  ASSERT_EQ(opened().size(), 1u);
  kelvo_win_info* made = KPGeoDocument::currentInfo();
  EXPECT_EQ(made->nbobj, 2u);  // origin and axes
  EXPECT_EQ(remembered_object_count, 2u);

  // Construct, then Save through the command as the document layer does.
  object* a = shown_point(30, 40);
  object* b = shown_point(130, 90);
  make2(&classe_segment, 0, a, b);
  const auto points = point_coordinates();
  const uint32_t count = made->nbobj;
  const std::string p = path("drawing.fig");
  std::snprintf(file_path_buffer, sizeof file_path_buffer, "%s", p.c_str());
  file_dialog_record = OPENFILENAME{};
  const int marks = files_seen().undo_dirty;
  main_menu_command(nullptr, command_id::kSave, 0);
  EXPECT_EQ(save_command_result, 1);
  EXPECT_EQ(files_seen().undo_dirty, marks + 1);

  // Close it, and open the file from a busy figure: a new window is made.
  free_test_figure(made);
  opened().clear();
  KPGeoDocument::setCurrentInfo(fig_);
  point(1, 1);
  const std::string quoted = "\"" + p + "\"";
  main_menu_command(nullptr, command_id::kOpen, reinterpret_cast<LPARAM>(quoted.c_str()));
  ASSERT_EQ(opened().size(), 1u);
  kelvo_win_info* back = KPGeoDocument::currentInfo();
  ASSERT_NE(back, fig_);
  EXPECT_EQ(back->nbobj, count);
  const auto read_points = point_coordinates();
  ASSERT_EQ(read_points.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(read_points[i].first, points[i].first, 0.01);
    EXPECT_NEAR(read_points[i].second, points[i].second, 0.01);
  }
  EXPECT_STREQ(back->text1, p.c_str());
  EXPECT_STREQ(back->text0, "drawing.fig");
  EXPECT_EQ(remembered_object_count, count);
  EXPECT_EQ(file_buffer, nullptr);
}

TEST_F(MainCommandsTest, OpenReusesAnUntouchedFigure) {
  build_small_figure();
  const uint32_t count = fig_->nbobj;
  ASSERT_EQ(save_to(path("f.fig")), 1);
  empty_figure(fig_);
  ASSERT_EQ(create_default_objects(), 0);
  main_menu_command(nullptr, command_id::kOpen, reinterpret_cast<LPARAM>(path("f.fig").c_str()));
  EXPECT_TRUE(opened().empty());
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
  EXPECT_EQ(fig_->nbobj, count);
}

TEST_F(MainCommandsTest, RevertReadsTheFileAgainOnlyWhenConfirmed) {
  build_small_figure();
  const std::string p = path("r.fig");
  ASSERT_EQ(save_to(p), 1);
  const uint32_t count = fig_->nbobj;
  fig_->text0 = alloc_block<char>(8);
  std::memcpy(fig_->text0, "r.fig", 5);
  fig_->text1 = alloc_block<char>(static_cast<uint32_t>(p.size() + 1));
  std::memcpy(fig_->text1, p.data(), p.size());
  point(300, 300);

  files_seen().answer = 1;  // the second button: no
  main_menu_command(nullptr, command_id::kRevert, 0);
  EXPECT_EQ(KPGeoDocument::currentInfo(), fig_);
  EXPECT_EQ(fig_->nbobj, count + 1);

  files_seen().answer = 0;  // yes
  main_menu_command(nullptr, command_id::kRevert, 0);
  kelvo_win_info* now = KPGeoDocument::currentInfo();
  ASSERT_NE(now, fig_);
  EXPECT_EQ(now->nbobj, count);
  EXPECT_STREQ(now->text1, p.c_str());
  fig_ = now;  // the old record is gone
}

}  // namespace
