#include "kernel/prefs/style_controls.h"

#include "kernel/prefs/dialog_controls.h"
#include "kernel/render/fonts.h"

int style_from_font_and_well(text_style_pref* style, const KPFont* font, HWND well) {
  if (!style || !font) return 0;
  style->font = font_register(font);
  style->color = color_of_well(well);
  return 1;
}
