// A text style taken from the font and colour controls of a dialog.
#pragma once

#include "kernel/prefs/preferences.h"
#include "platform/win_types.h"

class KPFont;

// The font goes into the font table and the style keeps its id; the style
// takes the well's colour. Answers 1 (a null style or font changes nothing
// and answers 0).
int style_from_font_and_well(text_style_pref* style, const KPFont* font, HWND well);
