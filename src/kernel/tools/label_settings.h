// The style record of an object's label and the default one new labels get.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// 12 bytes: label colour and fill colour (the background colour when the
// label has none), thickness, opaque flag and dash pair.
struct label_settings {
  uint32_t Color;
  uint32_t FillColor;
  uint8_t thickness;
  int8_t opaque;
  dot dot_style;
};
static_assert(sizeof(label_settings) == 12);

// A new label record: the current figure's background colour (the global
// one without a figure), the global background colour, thin, not opaque,
// and the dash pair of the label defaults. Null when memory runs out.
label_settings* get_default_font_info();
