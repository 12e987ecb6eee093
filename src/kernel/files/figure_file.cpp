#include "kernel/files/figure_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/figure_bitmaps.h"
#include "kernel/exchange/ti83_import.h"
#include "platform/kp_bitmap.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/file_state.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/old_binary.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/exchange/ti9x_import.h"
#include "kernel/files/text_output.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/label_text.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"

int32_t win_origin_x = 0, win_origin_y = 0, win_size_x = 0, win_size_y = 0;
uint8_t win_pos_from_file = 0;
const char* bitmaps_block = nullptr;
uint8_t figure_loading_done = 1;
uint32_t load_counter = 0;
char load_number_text[16] = "0";

namespace {

std::string last_error;
std::string left_out;
std::string not_read;

// Rows of the language file that say why the objects of a figure stop
// before its end.
constexpr int kRowNulByteAtLine = 974;
constexpr int kRowNotARecordAtLine = 973;
constexpr int kRowUnreadableRecordAtLine = 972;
// Rows of the reasons why a figure file is refused as a whole.
constexpr int kRowEmptyFile = 185;
constexpr int kRowUnknownKind = 186;
constexpr int kRowNotAFigure = 187;
constexpr int kRowEndsInside = 189;          // "%1": the part, "%2": the line
constexpr int kRowPartFirstLine = 191;
constexpr int kRowPartDescription = 196;
constexpr int kRowPartWindowLine = 197;
constexpr int kRowMacrosWithoutFigure = 198;
constexpr int kRowUsedMacroRefused = 199;  // "%1": why
constexpr int kRowUsedMacroEmpty = 200;
constexpr int kRowCalculatorFigure = 209;
constexpr int kRowPartRecord = 210;

// A row's text with its placeholders filled, or the built-in English text
// when no language gave the row one (the kernel read without a language).
std::string row_text(int row, const char* builtin, const std::string& a, const std::string& b) {
  const char* text = kernel_string(row);
  const char* filled = format_percent_args(text != nullptr && *text != '\0' ? text : builtin, a.c_str(), b.c_str());
  return filled != nullptr ? std::string(filled) : std::string();
}

constexpr size_t kMaxPictureName = 1023;
constexpr size_t kMaxColorName = 49;
// The view a figure without a window is saved with.
constexpr tagRECT kDefaultView = {0, 0, 600, 420};

bool starts(const char* p, const char* word) { return txt_starts_with(p, word); }
bool is_white(char c) { return c == '\r' || c == '\n' || c == '\t' || c == ' '; }

const char* skip_white(const char* p) {
  while (is_white(*p)) ++p;
  return p;
}

const char* end_of_line(const char* p) { return txt_end_of_line(p); }

// Past the line end and the white space after it.
const char* past_line(const char* p) { return skip_white(end_of_line(p)); }

tagRECT view_rect(const kelvo_win_info* fig) {
  if (fig != nullptr && fig->dd != nullptr) {
    const tagRECT& r = fig->dd->portRect;
    if (r.right > r.left && r.bottom > r.top) return r;
  }
  return kDefaultView;
}

const char* file_name_part(const char* path) {
  const char* last = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') last = p + 1;
  return last;
}

bool has_spring(const kelvo_win_info* fig) {
  for (const object* o = fig->first; o != nullptr; o = o->next)
    if (o->otype != nullptr && o->otype->id == TYPE_SPRING) return true;
  return false;
}

bool stored_picture(const bitmap_info* bi) {
  return bi != nullptr && bi->name != nullptr && bi->pixels != nullptr && is_ti_screen_bitmap_name(bi->name) == nullptr;
}

// The number of the line of text that holds p and its first characters.
struct text_line {
  int number;
  std::string start;
};
text_line line_of(const char* text, const char* p, const char* end) {
  int line = 1;
  const char* start = text;
  for (const char* c = text; c < p && c < end; ++c) {
    if (*c == '\n' || (*c == '\r' && (c + 1 >= end || c[1] != '\n'))) {
      ++line;
      start = c + 1;
    }
  }
  const char* stop = start;
  while (stop < end && *stop != '\0' && *stop != '\r' && *stop != '\n' && stop - start < 60) ++stop;
  return {line, std::string(start, stop)};
}

int8_t failed(const std::string& why) {
  last_error = why;
  not_read.clear();
  // A figure that could not be read whole is not kept: no object is left
  // half-read with file numbers where its references belong.
  flush_pending_selection();
  empty_figure(nullptr);
  resolve_record_numbers();
  figure_loading_done = 1;
  bitmaps_block = nullptr;
  return 0;
}

// The number of the line `at` stands on (CR LF, CR and LF each end a line).
int32_t line_number(const char* text, const char* at) {
  int32_t line = 1;
  for (const char* q = text; q < at; ++q)
    if (*q == '\n' || (*q == '\r' && !(q + 1 < at && q[1] == '\n'))) ++line;
  return line;
}

// The line at p stops at the end of the text instead of a line end.
bool line_is_cut(const char* p) { return *end_of_line(p) == '\0'; }

std::string nul_byte_at(const char* text, const char* at) {
  return row_text(kRowNulByteAtLine, "the file holds a NUL byte at line %1", std::to_string(line_number(text, at)), "");
}

// Where the text stops: its end, or a NUL before it.
const char* text_stop(const char* text, const char* end) {
  const void* nul = std::memchr(text, '\0', static_cast<size_t>(end - text));
  return nul != nullptr ? static_cast<const char*>(nul) : end;
}

// The start of the empty line (blanks at most) that ends the record at p,
// or `stop` when the text, or the pictures block, comes first.
const char* record_end(const char* p, const char* stop, const char* pictures) {
  while (p < stop) {
    if (pictures != nullptr && p == pictures) return p;
    const char* e = end_of_line(p);
    if (e >= stop) return stop;
    p = e + (e[0] == '\r' && e + 1 < stop && e[1] == '\n' ? 2 : 1);
    const char* q = p;
    while (q < stop && (*q == ' ' || *q == '\t')) ++q;
    if (q < stop && (*q == '\r' || *q == '\n')) return q;
  }
  return stop;
}

int8_t failed(const std::string& why);

// Why the text stops inside a line or a record: a NUL byte there, or its end.
// The name of a part of the file, as the language says it.
std::string part(int row, const char* builtin) { return row_text(row, builtin, "", ""); }

std::string cut_reason(const char* text, const char* stop, const char* end, const std::string& what) {
  if (stop < end) return nul_byte_at(text, stop);
  const char* last = stop;
  while (last > text && is_white(last[-1])) --last;
  return row_text(kRowEndsInside, "the file ends inside %1, at line %2", what,
                  std::to_string(line_number(text, last > text ? last - 1 : text)));
}

// A record starts with a quote (its label), "Ma:" (the macro that made it)
// or its number and ':'.
bool record_starts_at(const char* p, const char* end) {
  if (*p == '"' || txt_starts_with(p, "Ma:")) return true;
  const char* d = p;
  while (d < end && txt_is_digit(*d)) ++d;
  return d > p && d < end && *d == ':';
}

// A text cut in the middle of a line or a record is not a whole figure.
int8_t ends_inside(const char* text, const char* stop, const char* end, const std::string& what) {
  return failed(cut_reason(text, stop, end, what));
}

// A text object bound to numbers shows their values once its edit ends.
bool text_with_number_parent(const object* o) {
  if (o->otype == nullptr || o->otype->id != TYPE_TEXT) return false;
  for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k)
    if (o->parents[k] != nullptr && o->parents[k]->otype != nullptr && o->parents[k]->otype->id == TYPE_NUMBER)
      return true;
  return false;
}

// Recomputes the objects of a figure just read in list order and clears
// their marks of construction. With `check_numbers`, stops before the first
// object not numbered by its place and answers false.
bool recompute_read_objects(kelvo_win_info* fig, bool check_numbers) {
  constexpr uint32_t kConstructionMarks = OBJ_WALK | OBJ_CHOSEN | OBJ_TO_DELETE | OBJ_NEW;
  uint32_t n = 0;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    prefetch_following_records(o);
    if (check_numbers && o->num != ++n) return false;
    if (o->otype == nullptr || o->otype->id != TYPE_TABLE) {
      recompute_object(o);
      if (text_with_number_parent(o)) recompute_object(o);
    }
    o->state &= ~kConstructionMarks;
  }
  return true;
}

}  // namespace

const char* figure_file_error() { return last_error.c_str(); }
const std::string& figure_file_left_out() { return left_out; }
const std::string& figure_file_not_read() { return not_read; }

int8_t refuse_figure_file(const char* why) { return failed(why); }

int32_t txt_format_length(char* dst, const double* value, int16_t sign) {
  TxtOut out(dst);
  out.ch(' ');
  out.f2(sign * *value / pixels_per_unit);
  return out.len;
}

int32_t txt_write_window_lines(char* dst) {
  TxtOut out(dst);
  const tagRECT r = view_rect(KPGeoDocument::currentInfo());
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  const double cx = r.left + w / 2, cy = r.top + h / 2, dw = w, dh = h;
  out.put("Window center x:");
  out.add(txt_format_length(out.here(), &cx, 1));
  out.put("cm y:");
  out.add(txt_format_length(out.here(), &cy, -1));
  out.put("cm Window size x:");
  out.add(txt_format_length(out.here(), &dw, 1));
  out.put("cm y:");
  out.add(txt_format_length(out.here(), &dh, 1));
  out.put("cm");
  out.crlf();
  out.put("Resolution: ");
  out.i(static_cast<long long>(pixels_per_unit));
  out.put(" ppc");
  out.crlf();
  return out.len;
}

int32_t txt_write_background_line(char* dst) {
  TxtOut out(dst);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return 0;
  if (fig->background != nullptr && fig->background->name != nullptr) {
    txt_fix_picture_extension(fig->background);
    out.put("Background:");
    const char* screen = is_ti_screen_bitmap_name(fig->background->name);
    out.put(screen != nullptr ? screen : file_name_part(fig->background->name));
    out.crlf();
  } else if (fig->bgcolor != back_color) {
    out.put("Background Color:");
    out.put(color_name_by_index(nearest_color_index(fig->bgcolor)));
    out.crlf();
  }
  return out.len;
}

int32_t txt_write_password_line(char* dst, const char* password) {
  TxtOut out(dst);
  if (password == nullptr) return 0;
  out.put("Password:");
  out.put(password);
  out.crlf();
  return out.len;
}

int32_t txt_write_animate_line(char* dst) {
  TxtOut out(dst);
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || !fig->animate_on_open || !has_spring(fig)) return 0;
  out.put("Animate on open");
  out.crlf();
  return out.len;
}

int32_t txt_write_bitmap_block(const bitmap_info* holder, char* dst) {
  TxtOut out(dst);
  if (!stored_picture(holder)) return 0;
  const std::vector<uint8_t> record = compress_bitmap(holder);
  if (record.empty()) return 0;
  out.put(file_name_part(holder->name));
  out.crlf();
  out.put(base64_encode_lines(record.data(), static_cast<uint32_t>(record.size())));
  out.crlf();
  out.crlf();
  return out.len;
}

int32_t txt_write_bitmaps(char* dst) {
  TxtOut out(dst);
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || fig->linked_pictures) return 0;
  bool title = false;
  if (stored_picture(fig->background)) {
    out.put(kBitmapsTitle);
    out.crlf();
    title = true;
    out.add(txt_write_bitmap_block(fig->background, out.here()));
  }
  for (const object* o = fig->first; o != nullptr; o = o->next) {
    if (!stored_picture(o->bitmap)) continue;
    if (!title) {
      out.put(kBitmapsTitle);
      out.crlf();
      out.crlf();
      title = true;
    }
    out.add(txt_write_bitmap_block(o->bitmap, out.here()));
  }
  return out.len;
}

int txt_write_figure_file() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return 0;
  // A figure without objects still gets a whole file: header and preamble.
  int32_t total = txt_write_objects(nullptr);
  int32_t used = txt_write_used_macros(nullptr, 0, 1);
  if (used != 0) used += txt_write_section_title(nullptr, "Figure description:");
  total += used;
  total += txt_write_header(txt_scratch, 0, 2);
  total += txt_write_window_lines(nullptr);
  total += txt_write_background_line(nullptr);
  total += txt_write_password_line(nullptr, fig->password);
  total += txt_write_animate_line(nullptr);
  auto* image = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(total) + 2 + 1));
  if (image == nullptr) {
    message_box_simple(kernel_string(294));
    return 0;
  }
  int32_t at = txt_write_header(image, 0, 2);
  if (used != 0) {
    at += txt_write_used_macros(image + at, 0, 1);
    at += txt_write_section_title(image + at, "Figure description:");
  }
  at += txt_write_window_lines(image + at);
  at += txt_write_background_line(image + at);
  at += txt_write_password_line(image + at, fig->password);
  at += txt_write_animate_line(image + at);
  at += txt_put_crlf(image + at);
  at += txt_write_objects(image + at);
  free_file_image();
  file_buffer = image;
  file_buffer_len = static_cast<uint32_t>(at);
  return 1;
}

uint32_t txt_read_password(const char* text, char** out) {
  if (text == nullptr || !starts(text, "Password:")) return 0;
  const char* p = text + 9;
  const char* e = end_of_line(p);
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(e - p + 1)));
  if (block != nullptr) std::memcpy(block, p, static_cast<size_t>(e - p));
  if (out != nullptr) {
    GlobalFreeAndNull(out);
    *out = block;
  } else {
    GlobalFreeAndNull(&block);
  }
  return static_cast<uint32_t>(skip_white(e) - text);
}

const char* txt_find_bitmaps_block(const char* text, uint32_t len) {
  if (text == nullptr || file_class != 0) return nullptr;
  const std::string_view all(text, len);
  const size_t at = all.find(kBitmapsTitle);
  return at == std::string_view::npos ? nullptr : text + at;
}

void txt_read_bitmap_reference(const char* name, const char* path, KPGrafPort* dc, uint32_t remaining,
                               bitmap_info** holder) {
  if (name == nullptr || holder == nullptr) return;
  if (const char* screen = is_ti_screen_bitmap_name(name)) {
    figure_picture picture;
    KPUniversalBitmap* bitmap = get_ti_screen_bitmap(screen);
    if (bitmap != nullptr && picture_from_bitmap(bitmap, &picture)) set_bitmap_holder_image(picture, dc, screen, holder);
    DeleteObject(bitmap);
    return;
  }
  const kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  figure_picture picture;
  if (fig->linked_pictures || bitmaps_block == nullptr) {
    // Without a block the picture is a file of that name beside the figure.
    if (path == nullptr || *path == '\0') return;
    char* beside = path_replace_file_name(name, path);
    if (beside == nullptr) return;
    KPUniversalBitmap* bitmap = load_bitmap_file(beside);
    if (bitmap != nullptr && picture_from_bitmap(bitmap, &picture)) set_bitmap_holder_image(picture, dc, beside, holder);
    DeleteObject(bitmap);
    GlobalFreeAndNull(&beside);
    return;
  }
  if (load_figure_bitmap(bitmaps_block, remaining, name, &picture)) set_bitmap_holder_image(picture, dc, name, holder);
}

void txt_next_load_number() {
  const std::string n = std::to_string(load_counter);
  std::strncpy(load_number_text, n.c_str(), sizeof load_number_text - 1);
  load_counter += 1;
}

int8_t txt_read_figure(const char* text, uint32_t len, const char* path) {
  last_error.clear();
  left_out.clear();
  not_read.clear();
  // The resolution of this file scales only its own records: a record read
  // later (a paste) is of the screen's.
  struct resolution_scope {
    ~resolution_scope() { file_resolution = 0; }
  } resolution_of_this_file;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return last_error = "no current figure", 0;
  const char* const end = text + len;
  const char* const stop = text_stop(text, end);
  if (line_is_cut(text)) return ends_inside(text, stop, end, part(kRowPartFirstLine, "its first line"));
  // A last record may end with its last line instead of an empty line, as
  // a text editor leaves it; a text that stops inside a line may not.
  const char* last = stop;
  while (last > text && (last[-1] == ' ' || last[-1] == '\t')) --last;
  const bool whole_last_line = last > text && (last[-1] == '\r' || last[-1] == '\n');
  const char* p = skip_white(end_of_line(text));
  file_resolution = 0;

  if (fig->first != nullptr) empty_figure(fig);
  fig->cur2 = nullptr;
  fig->table_object = nullptr;
  fig->nbobj = 0;
  fig->animate_on_open = 0;
  fig->linked_pictures = 0;
  flush_pending_selection();

  if (starts(p, "Used macro")) {
    p = past_line(p);
    while (!starts(p, "Figure description:")) {
      // A block without its closing title ends with the text.
      if (*p == '\0' && p < end) return failed(nul_byte_at(text, p));
      if (*p == '\0' || p >= end) return failed(row_text(kRowMacrosWithoutFigure, "the used macros are not followed by the figure", "", ""));
      const int32_t n = txt_load_used_macro(p, 1);
      if (n < 0) return failed(row_text(kRowUsedMacroRefused, "a used macro is refused: %1", macro_text_error(), ""));
      if (n == 0) return failed(row_text(kRowUsedMacroEmpty, "a used macro is empty", "", ""));
      p = skip_white(p + n);
    }
    if (line_is_cut(p)) return ends_inside(text, stop, end, part(kRowPartDescription, "the figure description"));
    p = past_line(p);
  }

  double cx = 0, cy = 0, w = 0, h = 0;
  if (starts(p, "Window center x:")) {
    if (line_is_cut(p)) return ends_inside(text, stop, end, part(kRowPartWindowLine, "the window line"));
    const char* eol = end_of_line(p);
    const char* q = p + 16;
    q += txt_scan_number(&cx, q);
    q += txt_scan_number(&cy, q);
    const char* size = std::strstr(q, "Window size x:");
    if (size != nullptr && size < eol) {
      q = size + 14;
      q += txt_scan_number(&w, q);
      q += txt_scan_number(&h, q);
    }
    p = past_line(p);
  }
  auto clamp_px = [](double v) { return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0; };
  cx = clamp_px(cx), cy = clamp_px(cy), w = std::max(0.0, clamp_px(w)), h = std::max(0.0, clamp_px(h));
  // The line holds whole pixels written as centimetres with two decimals:
  // each is taken back to the nearest pixel, and the corner is found from
  // the centre as the writer found the centre from the corner (whole
  // halves), so that an odd width or height opens the view exactly where it
  // was, not a pixel off.
  auto whole = [](double v) { return std::floor(v + 0.5); };
  w = whole(w), h = whole(h);
  double ox = 0, oy = 0;
  if (static_cast<int32_t>(w) == 0 || static_cast<int32_t>(h) == 0) {
    const tagRECT r = view_rect(fig);
    ox = whole(cx) - (r.right - r.left) / 2;
    oy = whole(-cy) - (r.bottom - r.top) / 2;
  } else {
    ox = whole(cx) - std::floor(w / 2);
    oy = whole(-cy) - std::floor(h / 2);
  }
  win_size_x = static_cast<int32_t>(w);
  win_size_y = static_cast<int32_t>(h);
  win_origin_x = static_cast<int32_t>(std::clamp(ox, double{-kViewLimit}, double{kViewLimit}));
  win_origin_y = static_cast<int32_t>(std::clamp(oy, double{-kViewLimit}, double{kViewLimit}));
  win_pos_from_file = 1;

  bitmaps_block = txt_find_bitmaps_block(text, len);
  fig->linked_pictures = bitmaps_block == nullptr ? 1 : 0;
  const uint32_t remaining = bitmaps_block != nullptr ? static_cast<uint32_t>(end - bitmaps_block) : 0;
  DisplayDevice* moving = moving_display;
  KPGrafPort* dc = moving != nullptr ? moving->dc : nullptr;

  if (file_class == 0) {
    // Only a resolution line is taken as one.
    // Every line of the description ends before the text does.
    auto cut = [&](const char* word) { return starts(p, word) && line_is_cut(p); };
    if (cut("Resolution:")) return ends_inside(text, stop, end, part(kRowPartDescription, "the figure description"));
    if (starts(p, "Resolution:")) {
      const char* q = p + 11;
      while (!txt_is_line_end(*q) && !txt_is_digit(*q)) ++q;
      double r = 0;
      if (txt_parse_real(q, &r) != 0 && std::isfinite(r) && r > 0 && r < 1e6) file_resolution = r;
      p = past_line(p);
    }
    if (cut("Background")) return ends_inside(text, stop, end, part(kRowPartDescription, "the figure description"));
    if (starts(p, "Background:")) {
      const char* q = p + 11;
      std::string name(q, std::min<size_t>(static_cast<size_t>(end_of_line(q) - q), kMaxPictureName));
      p = past_line(p);
      txt_read_bitmap_reference(name.c_str(), path, dc, remaining, &fig->background);
    } else if (starts(p, "Background Color:")) {
      const char* q = p + 17;
      std::string name(q, std::min<size_t>(static_cast<size_t>(end_of_line(q) - q), kMaxColorName));
      p = past_line(p);
      // The name the writer gives the colour brings the same colour back.
      fig->bgcolor = color_by_name(name.c_str());
    }
    if (cut("Password:")) return ends_inside(text, stop, end, part(kRowPartDescription, "the figure description"));
    GlobalFreeAndNull(&fig->password);
    p += txt_read_password(p, &fig->password);
    if (fig->password != nullptr) {
      for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
        construct_class* c = class_list[k];
        if (!is_macro_class(c) || macro_password(c) != nullptr) continue;
        const size_t n = std::strlen(fig->password);
        auto* copy = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(n + 1)));
        if (copy != nullptr) std::memcpy(copy, fig->password, n);
        set_macro_password(c, copy);
      }
    }
    if (cut("Animate on open")) return ends_inside(text, stop, end, part(kRowPartDescription, "the figure description"));
    if (starts(p, "Animate on open")) {
      fig->animate_on_open = 1;
      p = past_line(p);
    }
  }

  figure_loading_done = 0;
  const char* ended = nullptr;  // the end of the last record found whole
  // Records whose objects were taken. When the objects stop before the end
  // of the text (a cut, a NUL byte, a line that is no record), what came
  // before stays, as the records left out do, and not_read says where and
  // why the rest was not read; with nothing taken, the file is refused.
  uint32_t taken = 0;
  auto stop_here = [&](std::string why) { not_read = std::move(why); };
  auto no_record_at = [&](const char* at) {
    const text_line l = line_of(text, at, end);
    stop_here(row_text(kRowNotARecordAtLine, "line %1 is not part of a record: %2", std::to_string(l.number),
                       l.start));
  };
  begin_record_numbers();
  for (;;) {
    if (p < end && *p == '\0') {
      // NUL bytes that only pad the end of the text hide nothing.
      const char* q = p;
      while (q < end && (*q == '\0' || is_white(*q))) ++q;
      if (q < end) stop_here(nul_byte_at(text, p));
      break;
    }
    if (p >= end || starts(p, kBitmapsTitle)) break;
    const char* before = p;
    // A record (with the "Ma:" line before it) ends with an empty line, or
    // the text does after a whole line.
    if (ended == nullptr || ended < p) ended = record_end(p, stop, bitmaps_block);
    if (ended >= stop && !whole_last_line) {
      stop_here(cut_reason(text, stop, end, part(kRowPartRecord, "a record")));
      break;
    }
    // Text between records that starts none is not read past.
    if (!record_starts_at(p, end)) {
      no_record_at(p);
      break;
    }
    int32_t n = read_macro_instance_line(p);
    if (n < 0) return failed(object_reader_error());
    p += n;
    object* o = nullptr;
    if (!(p >= end || *p == '\0' || starts(p, kBitmapsTitle))) {
      n = read_object_record(&o, p);
      if (n < 0 && file_class == 0 && object_reader_record_left_out() && ended > p) {
        // The rest of the figure does not depend on this record: go on
        // without it, and say so.
        left_out += std::to_string(object_reader_record_number()) + ": " + object_reader_error() + "\n";
        n = static_cast<int32_t>(ended - p);
      } else if (n < 0) {
        stop_here(row_text(kRowUnreadableRecordAtLine, "the record at line %1 cannot be read: %2",
                           std::to_string(line_of(text, p, end).number), object_reader_error()));
        break;
      }
      p += n;
    }
    if (o != nullptr) ++taken;
    if (o != nullptr && o->bitmap != nullptr && o->bitmap->image == nullptr && o->bitmap->pixels == nullptr &&
        o->bitmap->name != nullptr) {
      // The record left the picture's name; the picture itself comes from
      // the block, a file beside the figure or the calculator screens.
      std::string name = o->bitmap->name;
      free_bitmap_holder(&o->bitmap);
      txt_read_bitmap_reference(name.c_str(), path, dc, remaining, &o->bitmap);
    }
    if (o != nullptr && o->otype != nullptr) {
      if (fig->nbobj == 2 && o->otype->id == TYPE_AXES && fig->cur2 == nullptr) fig->cur2 = o;
      if (o->otype->id == TYPE_TABLE) fig->table_object = o;
    }
    p = skip_white(p);
    // Whatever stops the records before the end of the figure is said: the
    // objects after it would be lost without a word.
    if (p == before) {
      no_record_at(p);
      break;
    }
  }
  if (!not_read.empty() && taken == 0) return failed(not_read);

  flush_pending_selection();
  // The objects are numbered in list order, then every object is recomputed
  // and loses the marks of construction, in one walk where it can: a walk
  // over a large figure costs as much as the recomputes. The records number
  // their objects in list order, so the numbers are usually right already;
  // the walk checks each one before recomputing it, and at the first that
  // is not (an intersection set, a record left out) the figure is numbered
  // and the walk starts again. No recompute sets the marks of construction.
  const bool resolve_first = record_numbers_to_resolve();
  if (resolve_first) {
    renumber_objects();
    resolve_record_numbers();
  } else {
    resolve_record_numbers();
  }
  if (!recompute_read_objects(fig, !resolve_first)) {
    renumber_objects();
    recompute_read_objects(fig, false);
  }
  figure_loading_done = 1;
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* c = class_list[k];
    if (!is_macro_class(c)) continue;
    for (int m = 0; c->methods[m] != nullptr; ++m) {
      construct_method* method = c->methods[m];
      auto* entries = static_cast<macro_default_entry*>(method->figdata);
      if (entries == nullptr) continue;
      const uint32_t count = GlobalSize(entries) / sizeof(macro_default_entry);
      for (uint32_t i = 0; i < count; ++i) {
        const auto n = reinterpret_cast<uintptr_t>(entries[i].obj);
        entries[i].obj = n != 0 && n <= UINT32_MAX ? find_object_by_number(static_cast<uint32_t>(n)) : nullptr;
      }
    }
  }
  // The older edition made intersection points where a point already lay
  // on both objects.
  if (file_class == 1) refresh_all_intersection_sets();
  bitmaps_block = nullptr;
  return 1;
}

int8_t read_figure_file(const char* image, uint32_t len, const char* path) {
  last_error.clear();
  // The records left out are those of this file, whichever reader takes it.
  left_out.clear();
  not_read.clear();
  // Only a figure text gives its window's placement; nothing of the file
  // read before stays.
  win_pos_from_file = 0;
  if (image == nullptr || len == 0) return failed(row_text(kRowEmptyFile, "the file is empty", "", ""));
  // The readers need the text to end with a NUL.
  const std::string text(image, len);
  const int kind = txt_detect_header(len, text.c_str());
  txt_next_load_number();
  if (kind == FILE_KIND_REFUSED) return failed(row_text(kRowUnknownKind, "the file is not a figure of a known kind", "", ""));
  if (kind != FILE_KIND_FIGURE) return failed(row_text(kRowNotAFigure, "the file is not a figure", "", ""));
  if (file_class == 0 || file_class == 1) {
    if (file_platform <= 2) {
      init_default_attrs(path);
      return txt_read_figure(text.c_str(), len, path);
    }
    if (file_platform == 3) {
      init_default_attrs(path);
      if (ti9x_read_figure(image, len) == 1) return 1;
      return failed(ti9x_import_error());
    }
    if (file_platform == 4) {
      init_default_attrs(path);
      return static_cast<int8_t>(file_version == 1.0 ? ti83_read_figure(image, len) : ti83_read_figure_v2(image, len));
    }
    return failed(row_text(kRowCalculatorFigure, "calculator figures are read by the calculator exchange", "", ""));
  }
  // Old binary figures: the first format carries the Macintosh signature.
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return failed("no current figure");
  if (fig->first != nullptr) empty_figure(fig);
  init_default_attrs(path);
  const int done = file_platform == 1 ? import_old_figure_v1(image, len) : import_old_figure_v2(image, len);
  if (done != 1) return failed(old_binary_error());
  return 1;
}
