// Display devices: the kernel's drawing targets (a figure view, a print page,
// the shared off-screen devices, a trace layer, the icon devices). A device
// ties a device context to a port rectangle in figure pixels, a scale, a text
// font and, off-screen, a pixel bitmap; beside the record stand the transform
// from figure pixels to device pixels and the small drawing primitives the
// rest of the kernel uses.
#pragma once

#include <cstdint>

#include "platform/kp_bitmap.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_graf_port.h"
#include "platform/win_types.h"

struct car_info;

// The pixel bitmap selected into a device: 32-bit pixels, rows top-down.
struct KPBitmap {
  KPGdiObject* previous;  // selected in the device context before this bitmap
  KPUniversalBitmap* bitmap;
  uint32_t* pixels;
  int32_t width;
  int32_t height;
  int32_t pitch;  // row pitch in pixel units
};

struct KPFontInfo {
  int32_t ascent;
  int32_t descent;
  int32_t leading;
  int32_t widMax;
  int32_t highline;
  double cap_height;    // the height of capitals and digits above the baseline
  double exact_ascent;  // the ascent with its fraction: texts are drawn that far below the top
};

struct DisplayDevice {
  void* FigureView;  // the owning figure view, which performs bitmap copies
  void* viewLayer;
  char needToBeCleared;
  HWND win;
  HWND textwin;
  HWND temp_txt_win;
  KPGrafPort* dc;
  tagRECT portRect;  // the part of the figure shown, in figure pixels
  int16_t orientation;
  double ratio;  // device pixels per figure pixel
  KPBitmap* bm;
  KPFont* ft;
  KPFontInfo fi;
  void* refcon;
  uint8_t* bitamapData;
  KPContext* bitmapContext;
};

// What the window and view layers provide to display devices. Unset entries
// mean "no such window": devices then make their own device contexts and
// copy images between their own surfaces.
struct DisplayDeviceHooks {
  KPGrafPort* (*get_dc)(HWND win) = nullptr;
  void (*destroy_window)(HWND win) = nullptr;
  // Copies the source device's image into the target's view.
  void (*copy_bitmap)(DisplayDevice* target, DisplayDevice* source) = nullptr;
  // The devices of the current figure window: its own, its moving layer and
  // its static layer (null when there is none).
  DisplayDevice* (*window_device)() = nullptr;
  DisplayDevice* (*window_moving_device)() = nullptr;
  DisplayDevice* (*window_static_device)() = nullptr;
  // The figure view's bounds, for a new bitmap context (width and height).
  bool (*view_bounds)(DisplayDevice* dd, int* width, int* height) = nullptr;
};
extern DisplayDeviceHooks display_device_hooks;

extern DisplayDevice* static_display;
extern DisplayDevice* moving_display;
// Presentation mode, one byte for the whole kernel: while it is set the
// pens of the screen draw one unit wider, polygons stay open and texts are
// shown outlined and hollow. Nothing in the program turns it on. A printed
// page and the page thumbnail are drawn with it cleared (the scope below).
extern uint8_t wide_lines_flag;
// Clears wide_lines_flag for its lifetime and puts the previous value back.
struct wide_lines_cleared {
  wide_lines_cleared() : saved(wide_lines_flag) { wide_lines_flag = 0; }
  ~wide_lines_cleared() { wide_lines_flag = saved; }
  wide_lines_cleared(const wide_lines_cleared&) = delete;
  wide_lines_cleared& operator=(const wide_lines_cleared&) = delete;
  uint8_t saved;
};
// Text drawing state shared with text editing: drawing suspended, and a
// fixed-width field with a left offset (both 0 when no field is active).
extern uint8_t text_drawing_suspended;
extern int32_t text_field_width;
extern int32_t text_field_left_offset;

DisplayDevice* dd_create();
// A device with the geometry and font information of `like` (place, zoom,
// orientation) and a device context of its own; nothing `like` owns (window,
// context, bitmap, font, pixel memory) is shared. No surface is bound yet.
DisplayDevice* dd_create_like(const DisplayDevice* like);
int ensure_display_dc(DisplayDevice* dd);
void destroy_display_device(DisplayDevice* dd);
KPBitmap* create_dib_record(DisplayDevice* dd, int32_t width, int32_t height);
void dd_select_bitmap(DisplayDevice* dd, KPBitmap* bitmap);
void dd_unselect_bitmap(DisplayDevice* dd);
void create_view_bitmap_context(DisplayDevice* dd);

struct kelvo_win_info;
// Gives the figure its trace device (the image its traced objects leave
// behind), shaped like the static device, when it has none; the field stays
// null when no drawing context can be had.
void create_trace_display(kelvo_win_info* fig);
// Destroys the figure's trace device and clears the field.
void free_trace_display(kelvo_win_info* fig);

void dd_get_origin(const DisplayDevice* dd, int32_t* x, int32_t* y);
int dd_true();
void dd_move_origin(DisplayDevice* dd, int32_t x, int32_t y);
// Moves the moving and static devices (scrolling).
void dd_shift_origins(int32_t x, int32_t y);
void dd_copy_bitmap(DisplayDevice* target, DisplayDevice* source, int mode);
void dd_fill_background(DisplayDevice* dd, uint32_t color);
void dd_draw_background(DisplayDevice* dd);
int32_t copy_opaque_pixels(DisplayDevice* target, DisplayDevice* source);

// Figure point to device pixel.
int32_t dd_x(const DisplayDevice* dd, double x);
int32_t dd_y(const DisplayDevice* dd, double y);

void dd_rect_scaled(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color,
                    int opaque);
void dd_rect_scaled_r(DisplayDevice* dd, const tagRECT* rect, uint32_t color, int opaque);
void dd_frame_rect_scaled(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom,
                          uint32_t color);
void dd_frame_rect_scaled_r(DisplayDevice* dd, const tagRECT* rect, uint32_t color);

void dc_frame_rect(KPGrafPort* dc, const tagRECT* rect, uint32_t color);
void dc_frame_rect_xy(KPGrafPort* dc, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color);
void dc_fill_or_xor_rect(KPGrafPort* dc, const tagRECT* rect, uint32_t color, int opaque);
void dc_fill_or_xor_rect_xy(KPGrafPort* dc, int32_t left, int32_t top, int32_t right, int32_t bottom,
                            uint32_t color, int opaque);
KPBrush* brush_from_color(uint32_t color);
KPPen* pen_from_color(uint32_t color);
void dc_disc(KPGrafPort* dc, int32_t x, int32_t y, int32_t radius, uint32_t color);
void dc_circle(KPGrafPort* dc, int32_t x, int32_t y, int32_t radius, uint32_t color);
void dc_polygon(KPGrafPort* dc, const tagPOINT* points, int count, uint32_t color, int opaque);
void dc_line(KPGrafPort* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
void dc_pixel(KPGrafPort* dc, int32_t x, int32_t y, uint32_t color);
void dc_draw_image_rect(KPGrafPort* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                        const KPUniversalBitmap* image, int opaque);

void blit_object_image(DisplayDevice* dd, int32_t x, int32_t y, const KPUniversalBitmap* image, double scale,
                       int opaque);
// An icon is 1,280 bytes: a 16x16 image then a 32x32 image, one colour-table
// index per pixel, rows top-down.
void dd_draw_icon_at(DisplayDevice* dd, int32_t x, int32_t y, int size, const uint8_t* icon, uint32_t background,
                     uint32_t foreground, int mark);
void dd_draw_icon(KPGrafPort* dc, int32_t x, int32_t y, int size, const uint8_t* icon, uint32_t background,
                  uint32_t foreground, int mark);
// The cached icon device of size 16 or 32 (null before the first icon).
DisplayDevice* dd_icon_device(int size);

int32_t dd_text_width_n(const DisplayDevice* dd, const char* text, int32_t n);
int32_t dd_text_width(const DisplayDevice* dd, const char* text);
int32_t dd_draw_text(DisplayDevice* dd, int32_t x, int32_t y, const char* text, uint32_t color);
void dd_select_text_font(DisplayDevice* dd, const car_info* info);
// The same at another zoom than the device's (its metrics measure the font
// at that zoom).
void dd_select_text_font_at(DisplayDevice* dd, const car_info* info, double ratio);
// For its lifetime the device's port draws and measures texts (dd_draw_text,
// dd_text_width) in the font last selected on the device with
// dd_select_text_font, which is made at the device's zoom; the port's own
// text font comes back at its end. Nothing without a selected font.
class dd_selected_text_font {
 public:
  explicit dd_selected_text_font(DisplayDevice* dd);
  ~dd_selected_text_font();
  dd_selected_text_font(const dd_selected_text_font&) = delete;
  dd_selected_text_font& operator=(const dd_selected_text_font&) = delete;

 private:
  KPGrafPort* dc_ = nullptr;
  KPFont* previous_ = nullptr;
};
void dd_set_text_font(DisplayDevice* dd, uint16_t font_id);
void dd_release_font(DisplayDevice* dd);
