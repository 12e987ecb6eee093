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

// A new label record: background colour (the current figure's, or the
// global one without a figure) for both colours, thin, not opaque, solid.
// Null when memory runs out.
label_settings* get_default_font_info();
