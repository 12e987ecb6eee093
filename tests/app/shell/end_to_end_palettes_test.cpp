// The colour palette driven as a user drives it: an appearance tool opens
// the palette, a selected segment takes the colour of a clicked cell, the
// figure file records it and Undo takes it back.
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "kernel/window/figure_events.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/tools_config_window.h"
#include "app/panels/tools_palette.h"
#include "platform/kp_files.h"
#include <QCheckBox>
#include <QPushButton>
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndPalettes : public FigureTest {
 protected:
  // A toolbox arrangement read from a file stays for the session; the
  // palette goes with the toolboxes it shows, and the next test's set-up
  // builds those of start-up again.
  void TearDown() override {
    closeAll();
    stop_tools_palette();
    FigureTest::TearDown();
  }
  static int cellOf(const char* name) {
    for (int i = 0; i < kPaletteCells; ++i)
      if (std::string(color_name_by_index(i)) == name) return i;
    return -1;
  }
  // Pixels near p drawn in red (the edges of a line are blended).
  static int reddish(const QImage& image, QPoint p, int radius = 3) {
    int n = 0;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx) {
        const QPoint q = p + QPoint(dx, dy);
        if (!image.rect().contains(q)) continue;
        const QColor c(image.pixel(q));
        if (c.red() > 200 && c.green() < 100 && c.blue() < 100) ++n;
      }
    return n;
  }
};

}  // namespace

TEST_F(EndToEndPalettes, ARedCellColoursTheSelectedSegmentUndoTakesItBackAndTheFileKeepsIt) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(220, 160));
  const std::vector<object*> segments = objectsOf(view->info(), &classe_segment);
  ASSERT_EQ(segments.size(), 1u);
  object* segment = segments[0];
  const uint32_t before = segment->settings.Color;
  const int red = cellOf("Red");
  ASSERT_GE(red, 0);
  ASSERT_NE(before, color_by_index(red));

  // The appearance tool shows the palette; the pointer selects the segment.
  pickFromPalette(find_tool_id_by_name("Color"));
  ASSERT_TRUE(NSShowPalette::exists());
  NSShowPalette* palette = NSShowPalette::shared();
  ASSERT_TRUE(palette->isVisible());
  chooseTool(view, nullptr);
  click(view, QPoint(160, 130));
  ASSERT_EQ(objlist_find(view->info()->selection, segment), 0);

  const palette_point cell = palette_cell_centre(red);
  QTest::mouseClick(palette->paletteView(), Qt::LeftButton, {}, QPoint(int(cell.x), int(cell.y)));
  EXPECT_EQ(segment->settings.Color, color_by_index(red));
  EXPECT_GT(reddish(shown(view), QPoint(160, 130)), 0);

  // Undo takes the colour back, a second Undo (offered as Redo) brings it
  // again.
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  auto undo = [&] {
    return clickMenuItem(window->menuBar(), QStringLiteral("Edit"), QStringLiteral("Undo")) ||
           clickMenuItem(window->menuBar(), QStringLiteral("Edit"), QStringLiteral("Redo"));
  };
  auto segment_colour = [&] {
    const std::vector<object*> now = objectsOf(view->info(), &classe_segment);
    return now.size() == 1 ? now[0]->settings.Color : 0xFFFFFFFFu;
  };
  ASSERT_TRUE(undo());
  EXPECT_EQ(segment_colour(), before);
  EXPECT_EQ(reddish(shown(view), QPoint(160, 130)), 0);
  ASSERT_TRUE(undo());
  EXPECT_EQ(segment_colour(), color_by_index(red));

  // The saved record names the colour.
  const QString path = dir.filePath("red.fig");
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const std::string text = file.readAll().toStdString();
  const size_t record = text.find(": Seg");
  ASSERT_NE(record, std::string::npos) << text;
  const size_t end = text.find("\r\n\r\n", record);
  EXPECT_NE(text.substr(record, end - record).find("color:R,"), std::string::npos) << text;
  NSShowPalette::destroy();
}

namespace {

std::vector<std::vector<std::string>> toolbox_names() {
  std::vector<std::vector<std::string>> out;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    std::vector<std::string> names;
    for (int j = 1; tool_menus[i]->names && tool_menus[i]->names[j]; ++j) names.emplace_back(tool_menus[i]->names[j]);
    out.push_back(names);
  }
  return out;
}

}  // namespace

TEST_F(EndToEndPalettes, AToolMovedInConfigurationIsSavedAndTheFileGivesTheSamePalette) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  KPFigureWindow* window = KPDocument::currentDocument()->figureWindow();
  const auto at_start = toolbox_names();
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
  ASSERT_EQ(config_mode, 1);
  for (QAction* a : window->menuBar()->actions()) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
  NSToolsWindowController* config = NSToolsWindowController::shared();
  ASSERT_TRUE(config->isVisible());

  // The second toolbox's current tool is dragged onto the third toolbox's
  // button: it goes in after that toolbox's first tool.
  menu* from = tool_menus[1];
  menu* to = tool_menus[2];
  auto* source = static_cast<NSGeoToolsMenu*>(from->view);
  auto* target = static_cast<NSGeoToolsMenu*>(to->view);
  ASSERT_TRUE(source && target);
  const std::string moved = from->names[source->getSelectedItemIndex() + 1];
  const std::string first_of_target = to->names[1];
  const QPoint press = source->rect().center();
  QTest::mousePress(source, Qt::LeftButton, {}, press);
  QTest::mouseMove(source, press + QPoint(0, QApplication::startDragDistance() + 2));
  QTest::mouseMove(target, target->rect().center());
  QTest::mouseRelease(target, Qt::LeftButton, {}, target->rect().center());
  spin(5);
  ASSERT_GE(menu_entry_count(to), 2);
  EXPECT_EQ(std::string(to->names[1]), first_of_target);
  EXPECT_EQ(std::string(to->names[2]), moved);
  for (int j = 1; from->names[j]; ++j) EXPECT_NE(std::string(from->names[j]), moved);

  const QString path = dir.filePath("my tools.men");
  kp_set_file_chooser([path](const KPFileDialogRequest&) { return std::optional<std::string>(path.toStdString()); });
  QTest::mouseClick(config->saveBox(), Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_TRUE(config->saveBox()->isChecked());
  QTest::mouseClick(config->button(NSToolsWindowController::kOk), Qt::LeftButton);
  kp_set_file_chooser(nullptr);
  EXPECT_EQ(config_mode, 0);
  EXPECT_EQ(interaction_state, STATE_POINTER);
  for (QAction* a : window->menuBar()->actions()) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
  const auto arranged = toolbox_names();
  ASSERT_NE(arranged, at_start);
  ASSERT_TRUE(QFile::exists(path));

  // Back to the built-in toolboxes, then the file read again.
  free_all_toolboxes();
  build_all_toolboxes();
  ASSERT_EQ(toolbox_names(), at_start);
  ASSERT_TRUE(app()->openFile(path));
  spin(20);
  EXPECT_EQ(toolbox_names(), arranged);
  NSToolsWindowController::destroy();
}

TEST_F(EndToEndPalettes, OkMarksEditedOnlyTheFiguresSavedWithTheirEnvironment) {
  KPFigureView* with_env = openView();
  KPFigureView* plain = openView();
  ASSERT_NE(with_env, nullptr);
  ASSERT_NE(plain, nullptr);
  KPDocument* a = nullptr;
  KPDocument* b = nullptr;
  for (KPDocument* doc : KPDocument::liveDocuments()) {
    if (doc->figureView() == with_env) a = doc;
    if (doc->figureView() == plain) b = doc;
  }
  ASSERT_TRUE(a && b);
  // The first was saved as a figure with its environment, the second as a
  // plain figure.
  static char name[] = "env.fig";
  // The path is the test's, not the figure's: taken back whatever happens.
  struct forget {
    kelvo_win_info* x;
    kelvo_win_info* y;
    ~forget() { x->text1 = y->text1 = nullptr; }
  } guard{with_env->info(), plain->info()};
  with_env->info()->text1 = name;
  with_env->info()->ival = 3;
  plain->info()->text1 = name;
  plain->info()->ival = 1;
  ASSERT_FALSE(a->isEdited());
  ASSERT_FALSE(b->isEdited());
  KPFigureWindow* window = b->figureWindow();
  ASSERT_TRUE(clickMenuItem(window->menuBar(), QStringLiteral("View"), QStringLiteral("Toolbox Configuration")));
  NSToolsWindowController* config = NSToolsWindowController::shared();
  QTest::mouseClick(config->button(NSToolsWindowController::kOk), Qt::LeftButton);
  spin(20);
  EXPECT_TRUE(a->isEdited());
  EXPECT_FALSE(b->isEdited());
  NSToolsWindowController::destroy();
}
