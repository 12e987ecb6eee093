// Pictures on dialog controls: a button showing a tool icon instead of its
// title, and the swatches of the pop-up items of the style choices.
#pragma once

#include <QRect>
#include <cstdint>

#include "platform/win_types.h"

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
