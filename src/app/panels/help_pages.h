// The help of the tools that build nothing: their names, icons, help texts
// and help pages, and where the pages lie. The pages are this program's own
// HTML files in the resources ("html/help/<page>").
#pragma once

#include <QString>

// Start-up: fills the table's names and help texts and gives each row its
// icon.
void init_help_pages();
// Draws each row's icon (and both faces of Show Axes) into the table.
void set_toolbar_row_icons();
// The file of a help page ("pointer.html"), "" when the program has none.
QString help_page_file(const char* page);
