// Tool icons: the 1,280-byte bitmaps the toolbox records point at, a 16 x 16
// image followed by a 32 x 32 image, one icon-palette index per pixel. The
// records keep icons as untyped pointers, and small values in an icon field
// are markers rather than bitmaps; this header gives the one typed view of
// them that every reader goes through.
#pragma once

#include <cstdint>
#include <vector>

struct tool_icon {
  uint8_t small[16][16];
  uint8_t large[32][32];
};
static_assert(sizeof(tool_icon) == 1280);

// The bitmap behind an icon field of a toolbox record, or null when the
// field holds nothing or a marker (a value at or below the colour count).
const tool_icon* tool_icon_from_field(const void* field);
// The rows of the image at an icon size (16 or 32, row after row); null for
// any other size or a null icon.
const uint8_t* tool_icon_pixels(const tool_icon* icon, int size);

// Colour words (red in bits 16-23) of the icon pixel values: entries 0 to 15
// are the default palette (0 is the background, white), 254 and 255 black.
extern uint32_t icon_palette[256];
void init_icon_palette();

inline constexpr uint8_t kIconArrowIndex = 254;
enum icon_list_arrow : int { kNoListArrow = 0, kListArrowDown = 1, kListArrowRight = 2 };

// The icon at that size as 0xAARRGGBB pixels, top row first: every pixel
// whose palette colour equals `key` takes `replacement`, and a small
// triangle in the bottom-right corner marks a list that opens downward or
// to the right. Empty for no icon or a size other than 16 and 32.
std::vector<uint32_t> tool_icon_argb(const tool_icon* icon, int size, uint32_t key, uint32_t replacement,
                                     int arrow);
