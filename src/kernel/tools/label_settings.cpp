#include "kernel/tools/label_settings.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"

label_settings* get_default_font_info() {
  auto* ls = alloc_block<label_settings>();
  if (ls == nullptr) return nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  ls->Color = fig != nullptr ? fig->bgcolor : back_color;
  ls->FillColor = back_color;
  ls->dot_style = default_attrs[ATTRS_LABEL].settings.dot_style;
  return ls;
}
