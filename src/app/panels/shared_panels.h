// The shared colour and font panels of the Format menu, and its text-size
// items. The colour panel colours texts as the palette's text colour well
// does; the font panel gives the text being edited, else the selected texts,
// else the texts about to be made, the chosen face and size.
#pragma once

class QAction;
class QColorDialog;
class QFontDialog;

// The panels, made on first use; they stay above the figure windows and
// never take the activation away for long.
QColorDialog* shared_color_panel();
QFontDialog* shared_font_panel();
bool shared_color_panel_visible();
bool shared_font_panel_visible();

// Shows the panel (or brings it to the front) and titles the menu item with
// what the next choice does: rows 959 / 958 for colours, 942 / 941 for fonts.
void toggleColorPanel(QAction* item);
void toggleFontPanel(QAction* item);
// The item's title as the panel's visibility asks.
void title_color_panel_item(QAction* item);
void title_font_panel_item(QAction* item);

// The text of the current figure, or the texts about to be made, one step
// larger (1.25 times) or smaller (0.8 times).
void biggerFont();
void smallerFont();
