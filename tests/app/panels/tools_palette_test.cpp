#include "app/panels/tools_palette.h"
#include "app/support/kernel_state.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/window/figure_events.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_pull_down.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"

namespace {

std::vector<uint32_t>& actions() {
  static std::vector<uint32_t> sent;
  return sent;
}

class ToolsPalette : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    take_down_tools_and_classes();
    init_construct_classes();
    init_tool_names_and_help();
    toolbar_icon_size = 32;
    actions().clear();
    set_tool_action_sink([](uint32_t id, uint32_t) { actions().push_back(id); });
    start_tools_palette();
    view_ = NSKelvoToolsPanel::sharedPanel()->view();
    QApplication::processEvents();
  }
  void TearDown() override {
    take_down_tools_and_classes();
    set_tool_action_sink(nullptr);
    NSKelvoToolsPanelView::setIconSizeMenuResponder(nullptr);
  }
  NSGeoToolsMenu* button(int16_t id) { return static_cast<NSGeoToolsMenu*>(find_tool_menu(id)->view); }
  static NSGeoToolsPullDownController* list() { return NSGeoToolsPullDownController::openPullDown(); }
  static QPoint item_centre(int tag) {
    NSGeoToolsPullDownController* c = NSGeoToolsPullDownController::getPullDownMenu();
    for (const auto& cell : c->cells())
      if (cell->tag() == tag) return c->view()->mapToGlobal(cell->getRect().center().toPoint());
    return {};
  }
  NSKelvoToolsPanelView* view_ = nullptr;
};

}  // namespace

TEST_F(ToolsPalette, BarsAndButtonsFollowTheIconSize) {
  EXPECT_EQ(view_->topRect().height(), 46);
  EXPECT_EQ(button(129)->width(), 38);
  EXPECT_EQ(button(129)->height(), 38);
  EXPECT_EQ(button(129)->y(), 2);
  EXPECT_EQ(view_->sideRect().width(), 42);
  EXPECT_EQ(static_cast<NSGeoToolsMenu*>(attrib_menus[0]->view)->width(), 34);
  EXPECT_TRUE(view_->viewShape().contains(QPoint(5, 200)));
  EXPECT_FALSE(view_->viewShape().contains(QPoint(200, 200)));

  NSGeoToolsMenu* before = button(129);
  view_->applyIconSizeChoice(50001);  // the size in force: nothing is rebuilt
  EXPECT_EQ(button(129), before);
  view_->applyIconSizeChoice(50000);
  EXPECT_EQ(toolbar_icon_size, 16);
  EXPECT_EQ(view_->topRect().height(), 30);
  EXPECT_EQ(button(129)->width(), 22);
  EXPECT_EQ(button(129)->height(), 22);
  EXPECT_EQ(static_cast<NSGeoToolsMenu*>(attrib_menus[0]->view)->width(), 18);
  // Toolboxes follow one another by the group step and their gaps.
  EXPECT_EQ(button(130)->x() - button(129)->x(), 5 * find_tool_menu(130)->gap + 24 + find_tool_menu(130)->gap);
}

TEST_F(ToolsPalette, AShortClickSendsOneActionAndAHoldOpensTheList) {
  NSGeoToolsMenu* lines = button(130);
  QTest::mouseClick(lines, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_EQ(actions().size(), 1u);
  EXPECT_EQ(actions()[0], make_tool_id(130, 1));
  EXPECT_EQ(lines->kelvoMenuState(), 1);
  EXPECT_EQ(button(129)->kelvoMenuState(), 0);
  QTest::qWait(kHoldToOpenMs + 100);
  EXPECT_EQ(list(), nullptr);

  actions().clear();
  NSGeoToolsMenu* curves = button(131);
  QTest::mousePress(curves, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_TRUE(QTest::qWaitFor([] { return list() != nullptr; }, 30000));
  EXPECT_EQ(list()->getOwner(), curves);
  EXPECT_TRUE(actions().empty());
  // Releasing on the palette, away from the list, leaves it open.
  QTest::mouseRelease(curves, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_NE(list(), nullptr);
  EXPECT_TRUE(actions().empty());
}

TEST_F(ToolsPalette, TheSelectedGroupOpensOnAClickAndASecondClickClosesAndSends) {
  NSGeoToolsMenu* curves = button(131);
  QTest::mouseClick(curves, Qt::LeftButton, {}, QPoint(5, 5));
  actions().clear();
  QTest::mousePress(curves, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_NE(list(), nullptr);
  QTest::mouseRelease(curves, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(actions().empty());
  QTest::mousePress(curves, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(list(), nullptr);
  QTest::mouseRelease(curves, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(actions(), std::vector<uint32_t>{make_tool_id(131, 1)});
}

TEST_F(ToolsPalette, ReleasingOnAnItemChoosesItAndBetweenItemsSendsNothing) {
  NSGeoToolsMenu* lines = button(130);
  QTest::mouseClick(lines, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(lines, Qt::LeftButton, {}, QPoint(5, 5));  // opens the list
  ASSERT_NE(list(), nullptr);
  actions().clear();
  NSGeoToolsPullDown* pull = list()->view();
  // Segment is item 2 of the lines.
  const QPoint at = pull->mapFromGlobal(item_centre(2));
  QMouseEvent move(QEvent::MouseMove, at, item_centre(2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(pull, &move);
  EXPECT_EQ(lines->highlightedIndex(), 1) << "the button previews the tool under the mouse";
  QTest::mouseRelease(pull, Qt::LeftButton, {}, pull->mapFromGlobal(item_centre(2)));
  EXPECT_EQ(actions(), std::vector<uint32_t>{make_tool_id(130, 2)});
  EXPECT_EQ(lines->getSelectedItemIndex(), 1);
  EXPECT_EQ(list(), nullptr);

  // Between items (the top margin of the list) nothing is chosen.
  QTest::mouseClick(lines, Qt::LeftButton, {}, QPoint(5, 5));
  ASSERT_NE(list(), nullptr);
  actions().clear();
  pull = list()->view();
  QTest::mouseMove(pull, QPoint(10, 1));
  QTest::mouseRelease(pull, Qt::LeftButton, {}, QPoint(10, 1));
  EXPECT_TRUE(actions().empty());
  EXPECT_EQ(lines->getSelectedItemIndex(), 1);
  EXPECT_EQ(lines->highlightedIndex(), 1);
  EXPECT_EQ(list(), nullptr);
}

TEST_F(ToolsPalette, ArrowKeysWalkTheToolsAndTheToolboxes) {
  NSKelvoToolsPanel* panel = NSKelvoToolsPanel::sharedPanel();
  panel->sendUserMessage(102, static_cast<LPARAM>(make_tool_id(130, 1)));
  EXPECT_TRUE(actions().empty()) << "102 shows without sending";
  panel->sendUserMessage(107, kKeyUp);  // first item: nothing
  EXPECT_TRUE(actions().empty());
  panel->sendUserMessage(107, kKeyDown);
  EXPECT_EQ(actions().back(), make_tool_id(130, 2));
  const int entries = menu_entry_count(find_tool_menu(130));
  panel->sendUserMessage(101, static_cast<LPARAM>(make_tool_id(130, entries)));
  const size_t count = actions().size();
  panel->sendUserMessage(107, kKeyDown);  // last item: nothing
  EXPECT_EQ(actions().size(), count);
  panel->sendUserMessage(107, kKeyRight);
  EXPECT_EQ(actions().back(), make_tool_id(131, 1));
  panel->sendUserMessage(107, kKeyLeft);
  EXPECT_EQ(actions().back(), make_tool_id(130, entries));
  panel->sendUserMessage(102, static_cast<LPARAM>(make_tool_id(128, 1)));
  actions().clear();
  panel->sendUserMessage(107, kKeyLeft);  // the first toolbox
  EXPECT_TRUE(actions().empty());
  EXPECT_EQ(panel->getStateByID(make_tool_id(128, 1)), 1);
  EXPECT_EQ(panel->getStateByID(make_tool_id(128, 2)), 0);
  EXPECT_EQ(panel->getStateByID(make_tool_id(500, 1)), -1);
  EXPECT_FALSE(panel->getImageByID(make_tool_id(131, 1)).isNull());
}

TEST_F(ToolsPalette, ToolMenuServicesFindSelectAndPostByAddress) {
  // select_tool_item with -1 only reselects the button and records the group.
  select_tool_item(131, -1);
  EXPECT_EQ(current_toolbar_menu, find_tool_menu(131));
  EXPECT_EQ(button(131)->getSelectedItemIndex(), 0);
  select_tool_item(131, 2);
  EXPECT_EQ(find_tool_menu(131)->icons[0], find_tool_menu(131)->icons[2]);
  EXPECT_EQ(current_toolbar_item, 2);
  EXPECT_EQ(tool_menu_owner_window(find_tool_menu(131)), tools_panel_window);
  EXPECT_EQ(tool_menu_owner_window(attrib_menus[4]), attrib_palette_window);

  EXPECT_EQ(actions().size(), 2u) << "each selection sends its tool";
  actions().clear();
  // A copy of a name posts nothing; the name itself posts 1024/102.
  std::string copy = find_tool_menu(130)->names[3];
  post_tool_selection(copy.c_str());
  EXPECT_EQ(NSKelvoWrapMachine::pendingPostedMessages(), 0);
  post_tool_selection(find_tool_menu(130)->names[3]);
  EXPECT_EQ(NSKelvoWrapMachine::pendingPostedMessages(), 1);
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(button(130)->getSelectedItemIndex(), 2);
  EXPECT_EQ(button(130)->kelvoMenuState(), 1);
  EXPECT_TRUE(actions().empty());
}

TEST_F(ToolsPalette, AttributeChoicesSetTheColourPaletteFlags) {
  std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
  color_palette_window = nullptr;
  on_attrib_menu_select(attrib_menus, {}, 0, make_tool_id(1002, 1));
  EXPECT_EQ(attrib_menu_shown[1], 0) << "closed palette, nothing shown: no flag changes";
  EXPECT_EQ(last_attrib_menu, attrib_menus[1]);

  attrib_menu_shown[0] = attrib_menu_shown[2] = 1;
  on_attrib_menu_select(attrib_menus, {}, 0, make_tool_id(1002, 1));
  EXPECT_EQ(attrib_menu_shown[0], 0);
  EXPECT_EQ(attrib_menu_shown[1], 1);
  EXPECT_EQ(attrib_menu_shown[2], 0);
  on_attrib_menu_select(attrib_menus, {}, 0, make_tool_id(1005, 1));
  EXPECT_EQ(attrib_menu_shown[1], 1);
  EXPECT_EQ(attrib_menu_shown[4], 1);
  // A group past the list chooses nothing.
  EXPECT_EQ(on_attrib_menu_select(attrib_menus, {}, 0, make_tool_id(1400, 1)), 0);
  EXPECT_EQ(last_attrib_menu, attrib_menus[4]);
  std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), 0);
}
