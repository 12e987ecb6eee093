#include "kernel/support/main_menu.h"

#include <string>

#include "platform/kp_menu.h"

namespace {
constexpr UINT kItems[] = {109, 110, 111, 113, 114, 115, 116, 40023, 40029, 40032, 40038, 40051};
}

void install_test_main_menu() {
  static KPMenusWrapper* menu = [] {
    KPMenusWrapper* m = KPMenusWrapper::createPopupMenu();
    for (UINT item : kItems) m->appendMenu(0, item, "item");
    return m;
  }();
  KPMenusWrapper::setMainMenu(menu);
}

const char* undo_menu_text() {
  static std::string text;
  char buffer[256] = {};
  KPMenusWrapper* menu = KPMenusWrapper::mainMenu();
  if (menu) menu->getMenuString(110, buffer, sizeof buffer, 0);
  text = buffer;
  return text.c_str();
}
