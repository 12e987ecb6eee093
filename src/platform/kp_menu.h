// Menus the kernel builds and changes through Win32 menu calls: pop-up
// menus it tracks (answering the chosen item's identifier, 0 when
// dismissed) and the items of the application's main menu it renames or
// enables. Item titles are kernel texts. Plain C++: the kernel includes
// this header; HMENU handles are KPMenusWrapper pointers.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win_constants.h"
#include "platform/win_types.h"

class QWidget;
struct object;

class KPMenusWrapper {
 public:
  static KPMenusWrapper* createPopupMenu();
  // A wrapper over a menu or menu bar the application owns (not owned here).
  static KPMenusWrapper* wrap(QWidget* menu);
  // The application's main menu, as the kernel's menu-text services reach it.
  static KPMenusWrapper* mainMenu();
  static void setMainMenu(KPMenusWrapper* menu);

  // MF_SEPARATOR adds a separator first (and nothing more without a text);
  // MF_POPUP makes item the KPMenusWrapper of a submenu; MF_CHECKED checks.
  void appendMenu(UINT flags, uintptr_t item, const char* text);
  // The text colour of the next appended item only (red in bits 16-23).
  static void setNextItemColorWord(uint32_t rgb);
  // The next appended item in the colour the object shows: the text colour
  // of a text-like object's text, the drawing colour of any other, unless
  // that colour is too close to the current figure's background to be
  // read (itemColorFor).
  static void setNextItemColor(const object* obj);
  // The colour an object's item gets: its own, unless it is too close to
  // the figure's background (a Win32 colour word), where the default
  // foreground colour (a Win32 colour word) shows instead.
  static uint32_t itemColorFor(uint32_t object_rgb, COLORREF background, COLORREF default_foreground);
  // The menu opens where the event that opened it happened (else at the
  // pointer); point, flags and rect do not place it.
  int trackPopUp(tagPOINT point, UINT flags, HWND window, const tagRECT* rect);
  void seTtheCreatorEvent(const tagPOINT* global_point);
  int getMenuString(UINT item, char* out, int capacity, UINT flags);
  static void modifyMenu(KPMenusWrapper* menu, UINT item, UINT flags, UINT new_id, const char* text);
  // The item with that identifier, searched depth first (an item, then its
  // submenu, then the next item); an opaque item handle or null.
  static void* LookingForTheItemMenu(KPMenusWrapper* menu, int id);
  static void enableItem(void* item, bool enable);
  void enableMenuItem(UINT id, bool enable);
  void destroyMenu();

  QWidget* widget() const;
  ~KPMenusWrapper();

 private:
  struct Impl;
  KPMenusWrapper();
  std::unique_ptr<Impl> impl_;
};

// The kernel's menu substitutes.
void EnableMenuItem(HMENU menu, UINT id, UINT flags);
// False once the item has been greyed or disabled through EnableMenuItem,
// until it is enabled again; kept even while no Qt menu shows the item.
bool menu_item_enabled(HMENU menu, UINT id);
void set_undo_menu_text(const char* text);
