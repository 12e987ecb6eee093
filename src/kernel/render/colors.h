// The colour table: 41 named colours with their English names and the short
// codes the files use, the 16-colour default palette, the run-time colour
// words and the conversions between words, names, codes and indices.
//
// A colour word holds red in bits 16-23, green in 8-15 and blue in 0-7. A
// device colour reference (what pens, brushes and text colours receive) has
// red in bits 0-7, blue in 16-23 and bit 25 set.
#pragma once

#include <cstdint>

#include "platform/kp_bitmap.h"

class KPGrafPort;

inline constexpr int color_count = 41;
inline constexpr int palette16_count = 16;

// Run-time colour words, filled by init_color_table.
extern uint32_t back_color;     // White: the background, which also means no fill
extern uint32_t default_color;  // Black: default drawing colour
extern uint32_t palette_named_colors[14];  // palette entries 1..14
extern uint32_t magenta_color;
extern uint32_t light_gray_color;
extern uint32_t light_gray_icon_color;
extern uint16_t pixel_unit;
// The shared header of the 32-bit off-screen bitmaps.
extern tagBITMAPINFO* shared_bitmap_info;

uint32_t rgb_to_bgr_pal(uint32_t color);
uint32_t bgr_to_rgb(uint32_t value);
inline uint32_t rgb_swap(uint32_t value) { return bgr_to_rgb(value); }

// Lookups by index answer for any index: outside the table they give the
// entry a caller falls back to (Black, or "Black"/"B").
uint32_t color_by_index(int index);
uint32_t color_by_index_one_based(int index);
int color_index_by_value(uint32_t color);
int color_index_one_based(uint32_t color);
uint32_t palette16_color(int index);
int palette16_index_of(int tableIndex);
const char* color_name_by_index(int index);
const char* color_code_by_index(int index);
const char* color_name_by_value(uint32_t color);
const char* color_code_by_value(uint32_t color);
uint32_t color_by_name(const char* name);
uint32_t color_by_code(const char* code);
int32_t color_distance_sq(uint32_t a, uint32_t b);
int nearest_color_index(uint32_t color);
bool colors_are_close(uint32_t a, uint32_t b);
// The colour of a table index without initialisation (icons use it).
uint32_t constant_color_by_index(int index);

void init_color_table();
void init_colors_for_dc(KPGrafPort* dc);
