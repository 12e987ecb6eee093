#include "platform/kp_menu.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <gtest/gtest.h>

#include "platform/kp_qt_bridge.h"

namespace {

QMenu* menu_of(KPMenusWrapper* m) { return qobject_cast<QMenu*>(m->widget()); }

// While the menu is tracked, choose the line at index (or dismiss it: -1).
void choose_when_open(int index) {
  QTimer::singleShot(30, [index] {
    auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(open, nullptr);
    if (index < 0) {
      open->close();
      return;
    }
    open->setActiveAction(open->actions()[index]);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(open, &enter);
  });
}

TEST(Menus, TrackingAnswersTheChosenIdentifier) {
  QWidget owner;
  owner.show();
  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  menu->appendMenu(0, 301, "Segment");
  menu->appendMenu(0, 302, "Line");
  const tagPOINT at{10, 10};
  menu->seTtheCreatorEvent(&at);
  choose_when_open(1);
  EXPECT_EQ(menu->trackPopUp({0, 0}, 0, nullptr, nullptr), 302);
  choose_when_open(-1);
  EXPECT_EQ(menu->trackPopUp({0, 0}, 0, nullptr, nullptr), 0) << "dismissed";
  menu->destroyMenu();

  KPMenusWrapper* single = KPMenusWrapper::createPopupMenu();
  single->appendMenu(0, 5, "Only");
  choose_when_open(1);
  EXPECT_EQ(single->trackPopUp({0, 0}, 0, nullptr, nullptr), 0) << "the blank second line";
  EXPECT_EQ(menu_of(single)->actions().size(), 2);
  single->destroyMenu();
}

TEST(Menus, AppendingSeparatorsChecksAndColours) {
  KPMenusWrapper* menu = KPMenusWrapper::createPopupMenu();
  KPMenusWrapper::setNextItemColorWord(0xFF0000);
  menu->appendMenu(0, 1, "Red");
  menu->appendMenu(MF_SEPARATOR | MF_CHECKED, 2, "A & B");
  menu->appendMenu(MF_SEPARATOR, 0, nullptr);
  const auto actions = menu_of(menu)->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(actions[0]->property("kpItemColor").value<QColor>(), QColor(255, 0, 0));
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_FALSE(actions[2]->property("kpItemColor").isValid()) << "the colour serves one item";
  EXPECT_TRUE(actions[2]->isChecked());
  EXPECT_TRUE(actions[3]->isSeparator());

  char title[4];
  EXPECT_EQ(menu->getMenuString(2, title, sizeof title, 0), 3);
  EXPECT_STREQ(title, "A &");
  char full[16];
  EXPECT_EQ(menu->getMenuString(0, full, sizeof full, MF_BYPOSITION), 3);
  EXPECT_STREQ(full, "Red");
  EXPECT_EQ(menu->getMenuString(99, full, sizeof full, 0), 0);
  menu->destroyMenu();

  // White on white shows in the default foreground colour.
  EXPECT_EQ(KPMenusWrapper::itemColorFor(0xFFFFFF, 0xFFFFFF, 0x000000), 0x000000u);
  EXPECT_EQ(KPMenusWrapper::itemColorFor(0xFF0000, 0x0000FF, 0x112233), 0x332211u) << "red on red (BGR word)";
  EXPECT_EQ(KPMenusWrapper::itemColorFor(0x00FF00, 0xFFFFFF, 0x000000), 0x00FF00u);
}

TEST(Menus, MainMenuItemsAreRenamedAndEnabledDeep) {
  QMenuBar bar;
  QMenu* edit = bar.addMenu("Edit");
  QMenu* more = edit->addMenu("More");
  QMenu* deeper = more->addMenu("Deeper");
  kp_set_item_id(deeper->addAction("Undo"), 110);
  kp_set_item_id(edit->addAction("Copy"), 121);
  KPMenusWrapper* main = KPMenusWrapper::wrap(&bar);
  KPMenusWrapper::setMainMenu(main);

  set_undo_menu_text("Undo \x8E");
  auto* undo = static_cast<QAction*>(KPMenusWrapper::LookingForTheItemMenu(main, 110));
  ASSERT_NE(undo, nullptr);
  EXPECT_EQ(undo->text(), QString::fromUtf8("Undo \u00e9"));
  EnableMenuItem(main, 121, MF_GRAYED);
  EXPECT_FALSE(static_cast<QAction*>(KPMenusWrapper::LookingForTheItemMenu(main, 121))->isEnabled());
  EnableMenuItem(main, 121, 0);
  EXPECT_TRUE(static_cast<QAction*>(KPMenusWrapper::LookingForTheItemMenu(main, 121))->isEnabled());
  EXPECT_EQ(KPMenusWrapper::LookingForTheItemMenu(main, 999), nullptr);
  EnableMenuItem(main, 999, 0);  // nothing to do
  delete main;
  EXPECT_EQ(KPMenusWrapper::mainMenu(), nullptr);
}

}  // namespace
