// Pictures on dialog controls: a button showing a tool icon instead of its
// title, the swatches of the pop-up items of the style choices, and the
// pop-up button whose items are such icons.
#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/kelvo_wrap_machine.h"
#include "platform/win_types.h"

class QMenu;
class QPainter;
struct tool_icon;

// The button shows the icon at 16 x 16 (its white drawn in the background
// colour, its light gray kept) and no title. Nothing for a handle that is
// no button or a null icon.
void set_button_icon(HWND button, const tool_icon* icon);
// The icon at 16 x 16 in the rectangle's top left corner, over the
// background colour when selected, over light gray otherwise.
void draw_swatch_icon(QPainter& painter, const QRect& rect, const tool_icon* icon, bool selected);
// The rectangle filled with the colour (a colour word), framed in black.
void draw_color_swatch(QPainter& painter, const QRect& rect, uint32_t color);

// A pop-up button whose items are tool icons (an attribute menu's items):
// the button shows the chosen item's icon, its menu every item's, the one
// under the mouse over the background colour. A dialog procedure fills and
// reads it with the combo-box messages: CB_RESETCONTENT, CB_ADDSTRING (the
// item's text, answers its index), CB_SETITEMDATA (the item's icon field),
// CB_GETCOUNT, CB_GETCURSEL and CB_SETCURSEL (-1 when nothing is chosen).
class NSIconPopUpButton : public QPushButton, public KPMessageTarget {
  Q_OBJECT
 public:
  explicit NSIconPopUpButton(QWidget* parent = nullptr);

  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  int count() const { return static_cast<int>(items_.size()); }
  int currentIndex() const { return current_; }
  void setCurrentIndex(int index);
  const tool_icon* itemIcon(int index) const;
  QMenu* itemMenu() const { return menu_; }

 signals:
  // The user chose the item.
  void activated(int index);

 private:
  struct Item {
    QString text;
    const tool_icon* icon = nullptr;
  };
  void showCurrent();
  void rebuildMenu();

  std::vector<Item> items_;
  int current_ = -1;
  QMenu* menu_;
};
