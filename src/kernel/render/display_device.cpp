#include "kernel/render/display_device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/figure.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/pixel_pen.h"

DisplayDeviceHooks display_device_hooks;
DisplayDevice* static_display = nullptr;
DisplayDevice* moving_display = nullptr;
uint8_t wide_lines_flag = 0;
uint8_t text_drawing_suspended = 0;
int32_t text_field_width = 0;
int32_t text_field_left_offset = 0;

namespace {

// Devices made by dd_create; destroy_display_device ignores anything else.
std::unordered_set<DisplayDevice*>& live_devices() {
  static std::unordered_set<DisplayDevice*> set;
  return set;
}

// The ratio of the device whose text font was selected last.
double text_scale = 1.0;

DisplayDevice* icon_devices[2] = {};

int32_t round_half_up(double v) { return static_cast<int32_t>(std::floor(v + 0.5)); }

}  // namespace

DisplayDevice* dd_create() {
  auto* dd = new DisplayDevice{};
  dd->orientation = 1;
  dd->ratio = 1.0;
  live_devices().insert(dd);
  return dd;
}

int ensure_display_dc(DisplayDevice* dd) {
  if (!dd || dd->dc) return 0;
  if (dd->win && display_device_hooks.get_dc) dd->dc = display_device_hooks.get_dc(dd->win);
  if (!dd->dc) dd->dc = KPGrafPort::createCGDC();
  init_colors_for_dc(dd->dc);
  return 1;
}

namespace {

void release_bitmap_context(DisplayDevice* dd) {
  if (dd->dc && dd->bitmapContext && dd->dc->getContext() == dd->bitmapContext) dd->dc->fixContext(nullptr, {}, {});
  delete dd->bitmapContext;
  dd->bitmapContext = nullptr;
  std::free(dd->bitamapData);
  dd->bitamapData = nullptr;
}

}  // namespace

void destroy_display_device(DisplayDevice* dd) {
  if (!dd || live_devices().erase(dd) == 0) return;
  if (dd->win && display_device_hooks.destroy_window) display_device_hooks.destroy_window(dd->win);
  dd->win = nullptr;
  release_bitmap_context(dd);
  dd_unselect_bitmap(dd);
  dd_release_font(dd);
  DeleteObject(dd->dc);
  dd->dc = nullptr;
  if (static_display == dd) static_display = nullptr;
  if (moving_display == dd) moving_display = nullptr;
  for (auto*& icon : icon_devices)
    if (icon == dd) icon = nullptr;
  delete dd;
}

KPBitmap* create_dib_record(DisplayDevice* dd, int32_t width, int32_t height) {
  if (!dd || width <= 0 || height <= 0) return nullptr;
  init_color_table();
  const int32_t unit = pixel_unit ? pixel_unit : 1;
  const int32_t pitch = (width + unit - 1) / unit;
  tagBITMAPINFO info = *shared_bitmap_info;
  info.bmiHeader.biWidth = pitch * unit;
  info.bmiHeader.biHeight = -height;
  void* pixels = nullptr;
  KPUniversalBitmap* bitmap = CreateDIBSection(dd->dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap) return nullptr;
  auto* record = new KPBitmap{};
  record->bitmap = bitmap;
  record->pixels = static_cast<uint32_t*>(pixels);
  record->width = width;
  record->height = height;
  record->pitch = pitch;
  return record;
}

void dd_select_bitmap(DisplayDevice* dd, KPBitmap* bitmap) {
  if (!dd || !bitmap) return;
  dd_unselect_bitmap(dd);
  if (dd->dc) bitmap->previous = dd->dc->selectObject(bitmap->bitmap);
  dd->bm = bitmap;
  dd->portRect.right = dd->portRect.left + bitmap->width;
  dd->portRect.bottom = dd->portRect.top + bitmap->height;
}

void dd_unselect_bitmap(DisplayDevice* dd) {
  if (!dd || !dd->bm) return;
  if (dd->dc) {
    if (dd->bm->previous) dd->dc->selectObject(dd->bm->previous);
    // The port must not keep drawing into the memory released below.
    if (dd->dc->getSelectedBitmap() == dd->bm->bitmap) dd->dc->fixContext(nullptr, {}, {});
  }
  DeleteObject(dd->bm->bitmap);
  delete dd->bm;
  dd->bm = nullptr;
}

void create_view_bitmap_context(DisplayDevice* dd) {
  if (!dd || !dd->dc) return;
  release_bitmap_context(dd);
  int width = 0;
  int height = 0;
  if (!(display_device_hooks.view_bounds && display_device_hooks.view_bounds(dd, &width, &height)) &&
      static_display && static_display->dc) {
    width = static_cast<int>(static_display->dc->getWidth());
    height = static_cast<int>(static_display->dc->getHeight());
  } else if (dd->ratio > 0 && dd->ratio != 1.0) {
    // The view's bounds are in figure pixels; the bitmap holds device pixels.
    width = static_cast<int>(std::ceil(width * dd->ratio));
    height = static_cast<int>(std::ceil(height * dd->ratio));
  }
  if (width <= 0 || height <= 0) return;
  dd->bitamapData = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 4));
  if (!dd->bitamapData) return;
  dd->bitmapContext = KPContext::createBitmapContext(dd->bitamapData, width, height, width * 4);
  dd->dc->fixContext(dd->bitmapContext, {}, {});
  dd->dc->selectObject(KPGrafPort::getStockObject(5));
  dd->dc->setROP2(13);
  dd->dc->setPolyFillMode(2);
  dd_fill_background(dd, back_color);
}

void dd_get_origin(const DisplayDevice* dd, int32_t* x, int32_t* y) {
  if (x) *x = dd ? dd->portRect.left : 0;
  if (y) *y = dd ? dd->portRect.top : 0;
}

int dd_true() { return 1; }

void dd_move_origin(DisplayDevice* dd, int32_t x, int32_t y) {
  if (!dd) return;
  const int32_t w = dd->portRect.right - dd->portRect.left;
  const int32_t h = dd->portRect.bottom - dd->portRect.top;
  dd->portRect = {x, y, x + w, y + h};
}

void dd_shift_origins(int32_t x, int32_t y) {
  dd_move_origin(moving_display, x, y);
  dd_move_origin(static_display, x, y);
  if (kelvo_win_info* fig = KPGeoDocument::currentInfo()) dd_move_origin(fig->trace_device, x, y);
}

DisplayDevice* dd_create_like(const DisplayDevice* like) {
  DisplayDevice* dd = dd_create();
  *dd = *like;
  dd->FigureView = nullptr;
  dd->viewLayer = nullptr;
  dd->win = dd->textwin = dd->temp_txt_win = nullptr;
  dd->dc = nullptr;
  dd->bm = nullptr;
  dd->ft = nullptr;
  dd->bitamapData = nullptr;
  dd->bitmapContext = nullptr;
  ensure_display_dc(dd);
  return dd;
}

void create_trace_display(kelvo_win_info* fig) {
  if (!fig || fig->trace_device || !static_display) return;
  DisplayDevice* dd = dd_create_like(static_display);
  const KPBitmap* shared = static_display->bm;
  if (dd->dc && shared && shared->pixels) {
    // Over a pixel layer the trace layer is a pixel bitmap of the same size:
    // traced objects take the pixel route there too, and the layer's pixels
    // go onto the static layer index for index.
    dd_select_bitmap(dd, create_dib_record(dd, shared->width, shared->height));
    dd->portRect = static_display->portRect;
    if (dd->bm) {
      dd->dc->selectObject(KPGrafPort::getStockObject(5));
      dd->dc->setROP2(13);
      dd->dc->setPolyFillMode(2);
      dd_draw_background(dd);
    }
  } else if (dd->dc) {
    create_view_bitmap_context(dd);
  }
  if (!dd->dc || !(dd->bitmapContext || (dd->bm && dd->bm->pixels))) {
    destroy_display_device(dd);
    return;
  }
  fig->trace_device = dd;
}

void free_trace_display(kelvo_win_info* fig) {
  if (!fig) return;
  destroy_display_device(fig->trace_device);
  fig->trace_device = nullptr;
}

void dd_copy_bitmap(DisplayDevice* target, DisplayDevice* source, int) {
  if (!target || !source) return;
  if (display_device_hooks.copy_bitmap) {
    display_device_hooks.copy_bitmap(target, source);
    return;
  }
  if (target->dc && source->dc) target->dc->copySurface(source->dc->getContext());
}

void dd_fill_background(DisplayDevice* dd, uint32_t color) {
  if (dd && dd->dc) dd->dc->drawBackground(rgb_to_bgr_pal(color));
}

void dd_draw_background(DisplayDevice* dd) { dd_fill_background(dd, back_color); }

int32_t copy_opaque_pixels(DisplayDevice* target, DisplayDevice* source) {
  if (!target || !source || !source->bm || !source->bm->pixels) return 0;
  if (target->bm && target->bm->pixels) {
    const int64_t n = std::min(int64_t{target->bm->pitch} * target->bm->height,
                               int64_t{source->bm->pitch} * source->bm->height);
    for (int64_t i = 0; i < n; ++i) {
      const uint32_t p = source->bm->pixels[i];
      if (color_of_pixel(p) != back_color) target->bm->pixels[i] = p;
    }
    return static_cast<int32_t>(n);
  }
  const int made = ensure_display_dc(target);
  dc_draw_image_rect(target->dc, 0, 0, source->bm->width, source->bm->height, source->bm->bitmap, 0);
  if (made) {
    DeleteObject(target->dc);
    target->dc = nullptr;
  }
  return 0;
}

int32_t dd_x(const DisplayDevice* dd, double x) { return round_half_up((x - dd->portRect.left) * dd->ratio); }
int32_t dd_y(const DisplayDevice* dd, double y) {
  return round_half_up((y - dd->portRect.top) * dd->ratio * dd->orientation);
}

void dd_rect_scaled(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color,
                    int opaque) {
  if (!dd || !dd->dc) return;
  const tagRECT r{dd_x(dd, left), dd_y(dd, top), dd_x(dd, right), dd_y(dd, bottom)};
  dc_fill_or_xor_rect(dd->dc, &r, color, opaque);
}

void dd_rect_scaled_r(DisplayDevice* dd, const tagRECT* rect, uint32_t color, int opaque) {
  if (rect) dd_rect_scaled(dd, rect->left, rect->top, rect->right, rect->bottom, color, opaque);
}

void dd_frame_rect_scaled(DisplayDevice* dd, int32_t left, int32_t top, int32_t right, int32_t bottom,
                          uint32_t color) {
  if (!dd || !dd->dc) return;
  dc_frame_rect_xy(dd->dc, dd_x(dd, left), dd_y(dd, top), dd_x(dd, right), dd_y(dd, bottom), color);
}

void dd_frame_rect_scaled_r(DisplayDevice* dd, const tagRECT* rect, uint32_t color) {
  if (rect) dd_frame_rect_scaled(dd, rect->left, rect->top, rect->right, rect->bottom, color);
}

namespace {

// Selects an object for the length of a scope, then puts the previous one
// back and releases the object when it was made for the scope.
class Selection {
 public:
  Selection(KPGrafPort* dc, KPGdiObject* object, bool owned) : dc_(dc), object_(object), owned_(owned) {
    previous_ = dc_->selectObject(object_);
  }
  ~Selection() {
    if (previous_) dc_->selectObject(previous_);
    if (owned_) DeleteObject(object_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  KPGrafPort* dc_;
  KPGdiObject* object_;
  KPGdiObject* previous_ = nullptr;
  bool owned_;
};

}  // namespace

KPBrush* brush_from_color(uint32_t color) { return KPBrush::createSolidBrush(rgb_to_bgr_pal(color)); }
KPPen* pen_from_color(uint32_t color) { return KPPen::createPen(0, 1.0f, rgb_to_bgr_pal(color)); }

void dc_frame_rect(KPGrafPort* dc, const tagRECT* rect, uint32_t color) {
  if (!dc || !rect) return;
  // Callers pass colour words; the pen wants a device colour reference.
  Selection pen(dc, KPPen::createPen(0, 1.0f, rgb_to_bgr_pal(color)), true);
  dc->frameRect(rect);
}

void dc_frame_rect_xy(KPGrafPort* dc, int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color) {
  const tagRECT r{left, top, right, bottom};
  dc_frame_rect(dc, &r, color);
}

void dc_fill_or_xor_rect(KPGrafPort* dc, const tagRECT* rect, uint32_t color, int opaque) {
  if (!dc || !rect) return;
  Selection brush(dc, brush_from_color(color), true);
  if (opaque) {
    dc->fillRect(rect);
    return;
  }
  const int rop = dc->setROP2(9);
  {
    Selection pen(dc, KPPen::createPen(5, 1.0f, rgb_to_bgr_pal(color)), true);
    const tagPOINT points[4] = {{rect->left, rect->top}, {rect->right, rect->top}, {rect->right, rect->bottom},
                                {rect->left, rect->bottom}};
    dc->polygon(points, 4);
  }
  dc->setROP2(rop);
}

void dc_fill_or_xor_rect_xy(KPGrafPort* dc, int32_t left, int32_t top, int32_t right, int32_t bottom,
                            uint32_t color, int opaque) {
  const tagRECT r{left, top, right, bottom};
  dc_fill_or_xor_rect(dc, &r, color, opaque);
}

void dc_disc(KPGrafPort* dc, int32_t x, int32_t y, int32_t radius, uint32_t color) {
  if (!dc) return;
  Selection brush(dc, brush_from_color(color), true);
  Selection pen(dc, pen_from_color(color), true);
  dc->ellipse(x - radius, y - radius, x + radius, y + radius);
}

void dc_circle(KPGrafPort* dc, int32_t x, int32_t y, int32_t radius, uint32_t color) {
  if (!dc) return;
  Selection brush(dc, KPGrafPort::getStockObject(5), false);
  Selection pen(dc, pen_from_color(color), true);
  dc->ellipse(x - radius, y - radius, x + radius, y + radius);
}

void dc_polygon(KPGrafPort* dc, const tagPOINT* points, int count, uint32_t color, int opaque) {
  if (!dc || !points || count < 2) return;
  Selection brush(dc, brush_from_color(color), true);
  Selection pen(dc, pen_from_color(color), true);
  const int mode = dc->setPolyFillMode(1);
  const int rop = opaque ? -1 : dc->setROP2(9);
  dc->polygon(points, count);
  if (rop != -1) dc->setROP2(rop);
  dc->setPolyFillMode(mode);
}

void dc_line(KPGrafPort* dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
  if (!dc) return;
  Selection pen(dc, pen_from_color(color), true);
  dc->moveToEx(x1, y1, nullptr);
  dc->lineTo(x2, y2);
}

void dc_pixel(KPGrafPort* dc, int32_t x, int32_t y, uint32_t color) {
  // The port's setPixel strokes with its current pen; a one-pixel fill sets
  // exactly that pixel in the colour.
  dc_fill_or_xor_rect_xy(dc, x, y, x + 1, y + 1, color, 1);
}

void dc_draw_image_rect(KPGrafPort* dc, int32_t x, int32_t y, int32_t width, int32_t height,
                        const KPUniversalBitmap* image, int opaque) {
  if (dc && image) dc->drawImageRect(image, x, y, width, height, opaque ? 13 : 9);
}

void blit_object_image(DisplayDevice* dd, int32_t x, int32_t y, const KPUniversalBitmap* image, double scale,
                       int opaque) {
  if (!dd || !dd->dc || !image) return;
  tagBITMAP info{};
  if (!KPGetObject::getObject(const_cast<KPUniversalBitmap*>(image), sizeof info, &info)) return;
  const double r = dd->ratio;
  const double ry = dd->ratio * dd->orientation;
  const bool scaled = r != 1.0 || ry != 1.0 || scale != 1.0;
  const int32_t hw = scaled ? round_half_up(info.bmWidth * r * scale / 2) : info.bmWidth / 2;
  const int32_t hh = scaled ? round_half_up(info.bmHeight * ry * scale / 2) : info.bmHeight / 2;
  const tagRECT& port = dd->portRect;
  if (!(x + hw > port.left && y + hh > port.top && port.right > x - hw && port.bottom > y - hh)) return;
  if (scaled) {
    const int32_t left = round_half_up((x - port.left) * r) - hw;
    const int32_t top = round_half_up((y - port.top) * ry) - hh;
    dc_draw_image_rect(dd->dc, round_half_up(r * scale / 2) + left, round_half_up(ry * scale / 2) + top, 2 * hw,
                       2 * hh, image, opaque);
  } else {
    dc_draw_image_rect(dd->dc, round_half_up(x - port.left) - hw, round_half_up(y - port.top) - hh, info.bmWidth,
                       info.bmHeight, image, opaque);
  }
}

DisplayDevice* dd_icon_device(int size) { return icon_devices[size == 32 ? 1 : 0]; }

void dd_draw_icon_at(DisplayDevice* dd, int32_t x, int32_t y, int size, const uint8_t* icon, uint32_t background,
                     uint32_t foreground, int mark) {
  if (!dd) return;
  dd_draw_icon(dd->dc, x - dd->portRect.left, y - dd->portRect.top, size, icon, background, foreground, mark);
}

void dd_draw_icon(KPGrafPort* dc, int32_t x, int32_t y, int size, const uint8_t* icon, uint32_t background,
                  uint32_t foreground, int mark) {
  if (!icon || (size != 16 && size != 32)) return;
  init_color_table();
  DisplayDevice*& device = icon_devices[size == 32 ? 1 : 0];
  if (!device) {
    device = dd_create();
    ensure_display_dc(device);
    dd_select_bitmap(device, create_dib_record(device, size, size));
  }
  if (!device->bm || !device->bm->pixels) return;
  uint32_t* px = device->bm->pixels;
  const int pitch = device->bm->pitch;
  const uint8_t* bytes = icon + (size == 16 ? 0 : 256);
  for (int row = 0; row < size; ++row)
    for (int col = 0; col < size; ++col) px[row * pitch + col] = color_by_index(bytes[row * size + col]);
  auto set = [&](int row, int col) { px[row * pitch + col] = default_color; };
  if (mark == 1) {
    if (size == 16) {
      for (int c = 13; c <= 15; ++c) set(14, c);
      set(15, 14);
    } else {
      for (int c = 27; c <= 31; ++c) set(29, c);
      for (int c = 28; c <= 30; ++c) set(30, c);
      set(31, 29);
    }
  }
  for (int row = 0; row < size; ++row)
    for (int col = 0; col < size; ++col) {
      uint32_t& p = px[row * pitch + col];
      if (background != back_color && p == back_color) p = background;
      else if (foreground != default_color && p == default_color) p = foreground;
    }
  if (mark == 2) {
    if (size == 16) {
      set(13, 14);
      set(14, 14);
      set(14, 15);
      set(15, 14);
    } else {
      for (int r = 27; r <= 31; ++r) set(r, 28);
      for (int r = 28; r <= 30; ++r) set(r, 29);
      set(29, 30);
    }
  }
  for (int row = 0; row < size; ++row)
    for (int col = 0; col < size; ++col) px[row * pitch + col] = pixel_of_color(px[row * pitch + col]);
  // The prepared icon goes where the caller asked for it.
  dc_draw_image_rect(dc, x, y, size, size, device->bm->bitmap, 1);
}

int32_t dd_text_width_n(const DisplayDevice* dd, const char* text, int32_t n) {
  if (!dd || !dd->dc || !text || !*text || n <= 0) return 0;
  const std::string copy(text, strnlen(text, static_cast<size_t>(n)));
  return static_cast<int32_t>(dd->dc->stringWidth(copy));
}

int32_t dd_text_width(const DisplayDevice* dd, const char* text) {
  return text ? dd_text_width_n(dd, text, static_cast<int32_t>(std::strlen(text))) : 0;
}

int32_t dd_draw_text(DisplayDevice* dd, int32_t x, int32_t y, const char* text, uint32_t color) {
  if (!dd || !dd->dc || !text || !*text || text_drawing_suspended) return 0;
  KPGrafPort* dc = dd->dc;
  if (dd->ft) dc->selectObject(dd->ft);
  const int32_t ascent = dd->fi.ascent;
  x -= dd->portRect.left;
  y -= dd->portRect.top + ascent;
  figure_changed = 1;
  tagRECT r{x, y, x + 10000, y};
  const auto length = static_cast<int32_t>(std::strlen(text));
  int32_t skip = 0;
  if (text_field_width > 0) {
    r.right = x + text_field_width;
    if (text_field_left_offset > 0) {
      int32_t w = 0;
      while (skip < length && (w = dd_text_width_n(dd, text, skip)) < text_field_left_offset) ++skip;
      r.left += w;
    }
  }
  r.top += ascent;
  r.bottom += ascent;
  const int32_t old_left = r.left;
  const int32_t old_right = r.right;
  const int32_t old_top = r.top;
  const int32_t old_bottom = r.bottom;
  r.left = round_half_up(old_left * dd->ratio);
  r.top = round_half_up(old_top * dd->ratio * dd->orientation);
  r.right = std::min(round_half_up(r.left + (old_right - old_left) * text_scale), 32000);
  r.bottom = round_half_up(r.top + (old_bottom - old_top) * dd->orientation * text_scale);
  r.top -= ascent;
  r.bottom -= ascent;
  const int mode = dc->setBkMode(1);
  const uint32_t previous = dc->setKelvoTextColor(rgb_to_bgr_pal(color));
  dc->kelvoDrawText(text + skip, length - skip, &r, 2096);
  dc->setBkMode(mode);
  dc->setKelvoTextColor(previous);
  return r.right - r.left;
}

namespace {

// What a device was last given by dd_select_text_font: its font, the
// record it was made from and the metrics it gave.
struct SelectedTextFont {
  const DisplayDevice* dd = nullptr;
  const KPGrafPort* dc = nullptr;
  const KPFont* ft = nullptr;
  tagLOGFONT record{};
  uint32_t generation = 0;
  KPFontInfo fi{};
};
SelectedTextFont selected_text_fonts[4];
size_t next_selected_text_font = 0;

// The device still holds the font it was last given from the same record
// (a number's frame asks for its font's line height at each one read): it
// is selected again as a new one would be, without making the font and
// measuring it again.
bool reselect_text_font(DisplayDevice* dd, const tagLOGFONT& record) {
  for (const SelectedTextFont& s : selected_text_fonts) {
    if (s.dd != dd || s.dc != dd->dc || s.ft != dd->ft || !dd->ft || s.generation != font_table_generation() ||
        std::memcmp(&s.record, &record, sizeof record) != 0 || std::memcmp(&s.fi, &dd->fi, sizeof s.fi) != 0)
      continue;
    // The selection dd_release_font and a new font would leave.
    KPGrafPort* dc = dd->dc;
    dc->selectObject(KPGrafPort::getStockObject(13));
    if (dc->getCurrentFont() == dd->ft) dc->setCurrentFont(nullptr);
    if (dc->getTextFont() == dd->ft) dc->currentDrawTextFont(nullptr);
    dc->selectObject(dd->ft);
    return true;
  }
  return false;
}

}  // namespace

void dd_select_text_font(DisplayDevice* dd, const car_info* info) {
  if (dd) dd_select_text_font_at(dd, info, dd->ratio);
}

void dd_select_text_font_at(DisplayDevice* dd, const car_info* info, double ratio) {
  if (!dd || !dd->dc) return;
  tagLOGFONT record;
  font_info_to_logfont(dd->dc, info, &record);
  record.lfHeight = static_cast<int32_t>(std::lround(record.lfHeight * ratio));
  if (reselect_text_font(dd, record)) {
    text_scale = ratio;
    return;
  }
  dd_release_font(dd);
  dd->ft = CreateFontIndirect(&record);
  dd->dc->selectObject(dd->ft);
  tagTEXTMETRIC metrics{};
  GetTextMetrics(dd->dc, &metrics);
  dd->fi.ascent = metrics.tmAscent;
  dd->fi.descent = metrics.tmDescent;
  dd->fi.leading = 0;
  dd->fi.widMax = metrics.tmMaxCharWidth;
  dd->fi.highline = metrics.tmHeight;
  GetTextCapMetrics(dd->dc, &dd->fi.cap_height, &dd->fi.exact_ascent);
  text_scale = ratio;
  if (dd->ft) {
    SelectedTextFont* slot = nullptr;
    for (SelectedTextFont& s : selected_text_fonts)
      if (s.dd == dd) slot = &s;
    if (!slot) {
      slot = &selected_text_fonts[next_selected_text_font];
      next_selected_text_font = (next_selected_text_font + 1) % std::size(selected_text_fonts);
    }
    *slot = {dd, dd->dc, dd->ft, {}, font_table_generation(), dd->fi};
    std::memcpy(&slot->record, &record, sizeof record);
  }
}

dd_selected_text_font::dd_selected_text_font(DisplayDevice* dd) {
  if (!dd || !dd->dc || !dd->ft) return;
  dc_ = dd->dc;
  previous_ = dc_->drawTextFont();
  dc_->currentDrawTextFont(dd->ft);
}

dd_selected_text_font::~dd_selected_text_font() {
  // A font released meanwhile took itself off the port (dd_release_font).
  if (dc_ && dc_->drawTextFont()) dc_->currentDrawTextFont(previous_);
}

void dd_set_text_font(DisplayDevice* dd, uint16_t font_id) {
  if (dd && dd->dc) dd->dc->currentDrawTextFont(font_get_nsfont(font_id));
}

void dd_release_font(DisplayDevice* dd) {
  if (!dd || !dd->ft) return;
  if (dd->dc) {
    // Only the device's own font is released: the replaced object may be a
    // shared font of the font table.
    dd->dc->selectObject(KPGrafPort::getStockObject(13));
    if (dd->dc->getCurrentFont() == dd->ft) dd->dc->setCurrentFont(nullptr);
    if (dd->dc->getTextFont() == dd->ft) dd->dc->currentDrawTextFont(nullptr);
  }
  DeleteObject(dd->ft);
  dd->ft = nullptr;
}
