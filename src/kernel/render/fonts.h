// The font table: the kernel names fonts by small integers, 1-based indices
// into one table kept for the whole run (0 is the default face), and turns
// its character formats into LOGFONT records for the device context.
#pragma once

#include <cstdint>

#include "platform/kp_gdi_objects.h"

class KPGrafPort;

// The kernel character format.
struct car_info {
  uint32_t reserved;
  uint16_t font_id;  // 0 = the default face
  int32_t size;      // points
  uint16_t style;    // 1 bold, 2 italic, 4 underline, 128 strikeout
  uint32_t color;
  uint8_t charset;
};

inline constexpr const char* kDefaultFaceName = "Lucida Grande";

// Pixels per inch of the screen, set by the application at start-up.
extern int screen_pixels_per_inch;
// The screen's measured resolution reaches the kernel: pixels per inch
// (truncated) and whole pixels per centimetre (screen_pixels_per_cm).
void set_screen_resolution(double dots_per_inch);

uint16_t font_register(const KPFont* font);
// Registers the font of a face at a size without asking the font system:
// the id answers at once, and the font is looked up when a text in it is
// first measured or drawn, or its name asked. The face asked for is taken
// then, else the default face, else `fallback_face`, else the system font
// (also what a null or empty face asks for). The same face, fallback and
// size give the same id.
uint16_t font_register_face(const char* face, const char* fallback_face, int32_t size);
// Whether the font of an id was looked up in the font system yet.
bool font_looked_up(uint16_t id);
uint16_t font_id_by_name(const char* name);
uint16_t font_id_by_name_or_create(const char* name, int32_t size);
// The name the font system gives the font; for a font registered by its
// face and not looked up (no font system), the face asked for.
const char* font_name_by_id(uint16_t id);
// The table's font (not owned by the caller), looked up now if it was not
// yet; the system font of size 12 for 0 and for an id outside the table
// (null without the graphical interface).
KPFont* font_get_nsfont(uint16_t id);
int font_id_available(uint16_t id);
int font_count();
// Empties the table (the application's end, or a test starting over); the
// ids handed out before then name nothing.
void free_font_table();
// Changes at each free_font_table(): whoever keeps ids starts over then.
uint32_t font_table_generation();
int32_t font_points_to_height(KPGrafPort* dc, int32_t points);
int32_t font_height_to_points(KPGrafPort* dc, int32_t height);
void font_info_to_logfont(KPGrafPort* dc, const car_info* info, tagLOGFONT* out);
