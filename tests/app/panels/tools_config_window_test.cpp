#include "app/panels/tools_config_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/kernel_iface/pending_kernel.h"
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
    init_construct_classes();
    init_tool_names_and_help();
    toolbar_icon_size = 32;
    start_tools_palette();
    w_ = NSToolsWindowController::shared();
  }
  void TearDown() override {
    if (config_mode) w_->iconOrganizerCommand(NSToolsWindowController::kCancel);
    NSToolsWindowController::destroy();
    NSGeoToolsPullDownController::destroyPullDown();
    delete NSKelvoToolsPanel::sharedPanel();
    QApplication::processEvents();
    free_all_toolboxes();
    free_attribute_menus();
    free_tool_record(&trash_toolbox);
    free_construct_classes();
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
