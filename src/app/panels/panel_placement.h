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
// dialog is then made wide enough for its title to be read and moved, as
// little as needed, to lie wholly in the free area. Windows without a frame
// (the palette itself, lists, pop-ups) are left alone.
void place_shown_window(QWidget* window);
// Called as a shown window changes its size or its title: a panel that grew
// (the colour palette showing its colours, say) or took a longer title stays
// readable and wholly in the free area.
void keep_shown_window_placed(QWidget* window);
// The width a window needs for its title bar to show its whole title.
int title_bar_width(const QWidget* window);
