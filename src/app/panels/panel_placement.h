// Where panels and dialogs open: wholly on the screen and clear of the tools
// palette's bars, which stay on top of every other window.
#pragma once

#include <QRect>

class QWidget;

// The part of the screen that no bar of the tools palette covers (the whole
// available screen when there is no palette).
QRect free_panel_area();

// Called as a window is about to be shown. A panel (a tool window) shown for
// the first time opens beside the current figure window; every panel and
// dialog is then moved, as little as needed, to lie wholly in the free area.
// Windows without a frame (the palette itself, lists, pop-ups) are left alone.
void place_shown_window(QWidget* window);
