#include "app/panels/tools_config_window.h"
#include "app/support/kernel_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kernel/window/figure_events.h"
#include "app/panels/tool_icon_art.h"
#include "app/panels/tools_palette.h"
#include "app/panels/tools_pull_down.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

using Arrangement = std::vector<std::vector<std::string>>;

Arrangement arrangement() {
  Arrangement out;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    std::vector<std::string> names;
    for (int j = 1; tool_menus[i]->names && tool_menus[i]->names[j]; ++j) names.emplace_back(tool_menus[i]->names[j]);
    out.push_back(names);
  }
  return out;
}

bool trash_shown() {
  for (int i = 0; tool_menus && tool_menus[i]; ++i)
    if (tool_menus[i] == trash_toolbox) return true;
  return false;
}

class ToolsConfigWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    take_down_tools_and_classes();
    init_construct_classes();
    init_tool_names_and_help();
    toolbar_icon_size = 32;
    start_tools_palette();
    w_ = NSToolsWindowController::shared();
  }
  void TearDown() override {
    if (config_mode) w_->iconOrganizerCommand(NSToolsWindowController::kCancel);
    take_down_tools_and_classes();
  }
  void click(int tag) { QTest::mouseClick(w_->button(tag), Qt::LeftButton); }
  // Moves the first tool of toolbox `from` to the end of toolbox `to`.
  static void moveTool(int from, int to) {
    menu* a = tool_menus[from];
    menu* b = tool_menus[to];
    const std::string name = a->names[1];
    ASSERT_TRUE(add_tool_to_toolbox(b, a->icons[1], name.c_str(), -1, 0));
    remove_toolbox_tool_at(a, 1);
  }
  static bool pointerCurrent() { return interaction_state == STATE_POINTER && current_class == nullptr; }
  NSToolsWindowController* w_ = nullptr;
};

}  // namespace

TEST_F(ToolsConfigWindow, WithoutAPasswordTheModeStartsAtOnceAndCancelPutsEverythingBack) {
  const Arrangement before = arrangement();
  ASSERT_GE(before.size(), 3u);
  select_tool(find_tool_id_by_name(classe_cercle.name));
  w_->enterReorganizeIcons();
  EXPECT_FALSE(w_->passwordSheet()->isVisible());
  EXPECT_TRUE(w_->isVisible());
  EXPECT_EQ(config_mode, 1);
  EXPECT_TRUE(trash_shown());
  moveTool(1, 2);
  EXPECT_NE(arrangement(), before);
  click(NSToolsWindowController::kCancel);
  EXPECT_EQ(config_mode, 0);
  EXPECT_FALSE(trash_shown());
  EXPECT_EQ(arrangement(), before);
  EXPECT_TRUE(pointerCurrent());
}

TEST_F(ToolsConfigWindow, RevertRestoresTheEntryArrangementAndKeepsTheTrash) {
  const Arrangement before = arrangement();
  w_->enterReorganizeIcons();
  const Arrangement with_trash = arrangement();
  moveTool(0, 3);
  click(NSToolsWindowController::kRevert);
  EXPECT_EQ(config_mode, 1);
  EXPECT_TRUE(trash_shown());
  EXPECT_EQ(arrangement(), with_trash);
  // A move kept by OK stays, and the Trash goes.
  moveTool(1, 2);
  const Arrangement moved = arrangement();
  click(NSToolsWindowController::kOk);
  EXPECT_EQ(config_mode, 0);
  EXPECT_FALSE(trash_shown());
  Arrangement expected(moved.begin(), moved.end() - 1);
  EXPECT_EQ(arrangement(), expected);
  EXPECT_NE(arrangement(), before);
  EXPECT_TRUE(pointerCurrent());
}

TEST_F(ToolsConfigWindow, OnlyOkStoresThePasswordAndAnEmptyFieldRemovesIt) {
  w_->enterReorganizeIcons();
  w_->definePassword()->setText(QStringLiteral("secret"));
  click(NSToolsWindowController::kCancel);
  EXPECT_FALSE(w_->passwordProtection());

  w_->enterReorganizeIcons();
  EXPECT_TRUE(w_->definePassword()->text().isEmpty());
  w_->definePassword()->setText(QStringLiteral("secret"));
  click(NSToolsWindowController::kOk);
  EXPECT_TRUE(w_->passwordProtection());

  // The prompt asks first; its Cancel leaves the mode with the pointer.
  select_tool(find_tool_id_by_name(classe_cercle.name));
  w_->enterReorganizeIcons();
  EXPECT_EQ(config_mode, 0);
  EXPECT_TRUE(w_->passwordSheet()->isVisible());
  click(NSToolsWindowController::kPasswordCancel);
  EXPECT_FALSE(w_->passwordSheet()->isVisible());
  EXPECT_EQ(config_mode, 0);
  EXPECT_TRUE(pointerCurrent());

  // A wrong password only clears the field; the right one (case counts)
  // opens the mode.
  w_->enterReorganizeIcons();
  w_->enterPassword()->setText(QStringLiteral("Secret"));
  click(NSToolsWindowController::kPasswordOk);
  EXPECT_TRUE(w_->enterPassword()->text().isEmpty());
  EXPECT_EQ(config_mode, 0);
  w_->enterPassword()->setText(QStringLiteral("secret"));
  click(NSToolsWindowController::kPasswordOk);
  EXPECT_EQ(config_mode, 1);
  EXPECT_EQ(w_->definePassword()->text(), QStringLiteral("secret"));
  w_->definePassword()->clear();
  click(NSToolsWindowController::kOk);
  EXPECT_FALSE(w_->passwordProtection());
  w_->enterReorganizeIcons();
  EXPECT_EQ(config_mode, 1);
  EXPECT_FALSE(w_->passwordSheet()->isVisible());
}

namespace {

NSGeoToolsMenu* toolbox_button(int i) { return static_cast<NSGeoToolsMenu*>(tool_menus[i]->view); }
QPoint centre_of(QWidget* w) { return w->mapToGlobal(w->rect().center()); }
int toolbox_count() {
  int n = 0;
  while (tool_menus && tool_menus[n]) ++n;
  return n;
}
int trash_count() {
  int n = 0;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) n += tool_menus[i] == trash_toolbox;
  return n;
}

}  // namespace

TEST_F(ToolsConfigWindow, DraggedToolsMoveBetweenToolboxesTheTrashAndANewToolbox) {
  const Arrangement before = arrangement();
  w_->enterReorganizeIcons();
  NSKelvoToolsPanelView* view = NSKelvoToolsPanel::sharedPanel()->view();

  // Onto the second item of another toolbox's list: in after that item.
  {
    const std::string moved = tool_menus[0]->names[1];
    const Arrangement was = arrangement();
    view->goToEdition(toolbox_button(0), 0);
    ASSERT_TRUE(view->toolDragActive());
    view->toolDraggedTo(centre_of(toolbox_button(2)));
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->getOwner(), toolbox_button(2));
    ASSERT_GE(list->cells().size(), 2u);
    const QPoint on_second = list->view()->mapToGlobal(list->cells()[1]->getRect().center().toPoint());
    view->toolDraggedTo(on_second);
    view->toolDroppedAt(on_second);
    EXPECT_FALSE(view->toolDragActive());
    EXPECT_EQ(NSGeoToolsPullDownController::openPullDown(), nullptr);
    std::vector<std::string> expected = was[2];
    expected.insert(expected.begin() + 2, moved);
    EXPECT_EQ(arrangement()[2], expected);
    const std::vector<std::string> first = arrangement()[0];
    EXPECT_EQ(std::find(first.begin(), first.end(), moved), first.end());
  }

  // The only tool of a toolbox into the Trash: the toolbox goes, the gap
  // closes, the Trash stays last and shows it holds a tool.
  {
    while (menu_entry_count(tool_menus[1]) > 1) moveTool(1, 0);
    view->createToolsAndAttribsBars();
    const std::string moved = tool_menus[1]->names[1];
    const int count = toolbox_count();
    const int32_t freed_at = tool_menus[1]->pos_a + 5 * tool_menus[2]->gap;
    const int32_t trash_at = trash_toolbox->pos_a;
    const int16_t next_id = tool_menus[2]->id;
    auto* trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
    const QPoint from = toolbox_button(1)->rect().center();
    QTest::mousePress(toolbox_button(1), Qt::LeftButton, {}, from);
    QTest::mouseMove(toolbox_button(1), from + QPoint(QApplication::startDragDistance() + 2, 0));
    QTest::mouseMove(trash, trash->rect().center());
    QTest::mouseRelease(trash, Qt::LeftButton, {}, trash->rect().center());
    QApplication::processEvents();
    EXPECT_EQ(toolbox_count(), count - 1);
    EXPECT_EQ(tool_menus[count - 2], trash_toolbox);
    EXPECT_EQ(tool_menus[1]->id, next_id);
    EXPECT_EQ(tool_menus[1]->pos_a, freed_at);
    EXPECT_EQ(trash_toolbox->pos_a, trash_at);
    ASSERT_EQ(menu_entry_count(trash_toolbox), 1);
    EXPECT_EQ(std::string(trash_toolbox->names[1]), moved);
    EXPECT_EQ(trash_toolbox->icons[0], trash_tool_icon(trash_face::Full));

    // Pressed in the Trash's list and dropped on the first toolbox: back out.
    trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
    trash->openPopUp();
    NSGeoToolsPullDownController* list = NSGeoToolsPullDownController::openPullDown();
    ASSERT_NE(list, nullptr);
    NSGeoToolsPullDown* items = list->view();
    const QPoint on_item = list->cells()[0]->getRect().center().toPoint();
    QTest::mousePress(items, Qt::LeftButton, {}, on_item);
    ASSERT_TRUE(view->toolDragActive());
    const QPoint drop = items->mapFromGlobal(centre_of(toolbox_button(0)));
    QTest::mouseMove(items, drop);
    // The list moved under the first toolbox on the way: the release point
    // is taken where the list is now.
    QTest::mouseRelease(items, Qt::LeftButton, {}, items->mapFromGlobal(centre_of(toolbox_button(0))));
    QApplication::processEvents();
    EXPECT_EQ(menu_entry_count(trash_toolbox), 0);
    EXPECT_EQ(trash_toolbox->icons[0], trash_tool_icon(trash_face::Empty));
    EXPECT_EQ(std::string(tool_menus[0]->names[2]), moved);
  }

  // On empty palette space: a new toolbox before the Trash, one Trash.
  {
    const std::string moved = tool_menus[0]->names[1];
    const int count = toolbox_count();
    const int16_t last_id = tool_menus[count - 2]->id;
    auto* trash = static_cast<NSGeoToolsMenu*>(trash_toolbox->view);
    const QPoint space = trash->mapToGlobal(QPoint(-40, trash->height() / 2));
    ASSERT_EQ(view->toolboxButtonAt(view->mapFromGlobal(space)), nullptr);
    view->goToEdition(toolbox_button(0), 0);
    view->toolDraggedTo(space);
    view->toolDroppedAt(space);
    ASSERT_EQ(toolbox_count(), count + 1);
    EXPECT_EQ(trash_count(), 1);
    EXPECT_EQ(tool_menus[count], trash_toolbox);
    menu* made = tool_menus[count - 1];
    EXPECT_EQ(made->id, last_id + 1);
    ASSERT_EQ(menu_entry_count(made), 1);
    EXPECT_EQ(std::string(made->names[1]), moved);
    EXPECT_GT(made->pos_a, tool_menus[count - 2]->pos_a);
    ASSERT_NE(made->view, nullptr);
  }

  // A drop on the tool's own toolbox, or off the palette, moves nothing.
  {
    const Arrangement was = arrangement();
    view->goToEdition(toolbox_button(0), 0);
    view->toolDroppedAt(centre_of(toolbox_button(0)));
    view->goToEdition(toolbox_button(0), 0);
    view->toolDroppedAt(view->mapToGlobal(QPoint(view->width() / 2, view->height() - 5)));
    EXPECT_EQ(arrangement(), was);
  }

  click(NSToolsWindowController::kCancel);
  EXPECT_EQ(arrangement(), before);
}
