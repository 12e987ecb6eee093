#include "kernel/exchange/figure_bitmaps.h"

#include <zlib.h>

#include <cstring>

#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/files/image_files.h"
#include "kernel/model/version_info.h"
#include "kernel/model/memory.h"
#include "platform/kp_bitmap.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(char c) {
  const char* at = std::strchr(kAlphabet, c);
  return c != '\0' && at != nullptr ? static_cast<int>(at - kAlphabet) : 64;
}

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int k = 0; k < 4; ++k) v[at + k] = static_cast<uint8_t>(x >> (8 * k));
}

uint32_t get32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Header row width: the width rounded up to a multiple of 4, times 4.
int64_t header_row_bytes(int64_t width) { return ((width + 3) / 4) * 4 * 4; }

void release_image(void* image) { DeleteObject(static_cast<KPUniversalBitmap*>(image)); }

}  // namespace

std::vector<uint8_t> compress_bitmap(const bitmap_info* holder) {
  if (holder == nullptr || holder->pixels == nullptr || holder->width <= 0 || holder->height <= 0) return {};
  const int64_t row = header_row_bytes(holder->width);
  const uLong raw_size = static_cast<uLong>(row * holder->height);
  std::vector<uint8_t> raw(raw_size, 0);
  std::memcpy(raw.data(), holder->pixels, static_cast<size_t>(holder->width) * 4 * static_cast<size_t>(holder->height));
  uLongf packed = compressBound(raw_size);
  std::vector<uint8_t> record(24 + packed, 0);
  put32(record, 0, 0);
  put32(record, 4, static_cast<uint32_t>(holder->width));
  put32(record, 8, static_cast<uint32_t>(holder->height));
  put32(record, 12, static_cast<uint32_t>(row));
  record[16] = 1;
  record[18] = 32;
  if (compress(record.data() + 20, &packed, raw.data(), raw_size) != Z_OK) return {};
  record.resize(24 + packed);
  std::memset(record.data() + 20 + packed, 0, 4);
  return record;
}

bool decompress_bitmap(const uint8_t* record, uint32_t length, figure_picture* out) {
  if (record == nullptr || length < 24) return false;
  const int64_t width = static_cast<int32_t>(get32(record + 4));
  const int64_t height = static_cast<int32_t>(get32(record + 8));
  const int64_t row = get32(record + 12);
  const uint16_t bits = static_cast<uint16_t>(record[18] | record[19] << 8);
  if (width <= 0 || height <= 0 || bits != 32 || width * height > kMaxFigurePicturePixels ||
      row != header_row_bytes(width))
    return false;
  const uLong expected = static_cast<uLong>(row * height);
  // zlib cannot inflate more than about 1032 bytes from one: a record that
  // announces more than that is not a picture, whatever it inflates to, and
  // costs no allocation.
  if (expected / 1032 > length - 24 + 1) return false;
  std::vector<uint8_t> raw(expected, 0);
  uLongf got = expected;
  if (uncompress(raw.data(), &got, record + 20, length - 24) != Z_OK) return false;
  const size_t pixel_bytes = static_cast<size_t>(width * height * 4);
  if (got < pixel_bytes) return false;
  out->width = static_cast<int32_t>(width);
  out->height = static_cast<int32_t>(height);
  out->pixels.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(pixel_bytes));
  return true;
}

std::string base64_encode_lines(const uint8_t* data, uint32_t size) {
  std::string plain;
  plain.reserve((size + 2) / 3 * 4);
  for (uint32_t i = 0; i < size; i += 3) {
    const uint32_t a = data[i];
    const uint32_t b = i + 1 < size ? data[i + 1] : 0;
    const uint32_t c = i + 2 < size ? data[i + 2] : 0;
    const uint32_t v = a << 16 | b << 8 | c;
    plain.push_back(kAlphabet[v >> 18 & 63]);
    plain.push_back(kAlphabet[v >> 12 & 63]);
    plain.push_back(i + 1 < size ? kAlphabet[v >> 6 & 63] : '=');
    plain.push_back(i + 2 < size ? kAlphabet[v & 63] : '=');
  }
  std::string lines;
  lines.reserve(plain.size() + plain.size() / 76 * 2 + 1);
  for (size_t i = 0; i < plain.size(); ++i) {
    if (i != 0 && i % 76 == 0) lines += "\r\n";
    lines.push_back(plain[i]);
  }
  lines.push_back('*');
  return lines;
}

std::vector<uint8_t> base64_decode(const char* text, uint32_t length) {
  std::string s;
  s.reserve(length);
  for (uint32_t i = 0; i < length; ++i)
    if (text[i] != '\r' && text[i] != '\n') s.push_back(text[i]);
  std::vector<uint8_t> out;
  out.reserve(s.size() / 4 * 3 + 3);
  for (size_t i = 0; i < s.size(); i += 4) {
    const int a = base64_value(s[i]) & 63;
    const int b = i + 1 < s.size() ? base64_value(s[i + 1]) & 63 : 0;
    out.push_back(static_cast<uint8_t>(a * 4 + (b / 16) % 4));
    if (i + 2 >= s.size() || s[i + 2] == '=') break;
    const int c = base64_value(s[i + 2]) & 63;
    out.push_back(static_cast<uint8_t>(b * 16 + c / 4));
    if (i + 3 >= s.size() || s[i + 3] == '=') break;
    const int d = base64_value(s[i + 3]) & 63;
    out.push_back(static_cast<uint8_t>(c * 64 + d));
  }
  return out;
}

bool load_figure_bitmap(const char* block, uint32_t length, const char* name, figure_picture* out) {
  if (block == nullptr || name == nullptr || name[0] == '\0') return false;
  // Entries are named by the file-name part of a picture's name.
  const char* slash = std::strrchr(name, '/');
  const std::string_view wanted(slash != nullptr ? slash + 1 : name);
  if (wanted.empty()) return false;
  const std::string_view text(block, length);
  // Only a whole line names an entry: a name inside a longer name, or inside
  // an entry's base64 text, is not that entry.
  size_t at = 0;
  for (;;) {
    at = text.find(wanted, at);
    if (at == std::string_view::npos) return false;
    const size_t after = at + wanted.size();
    const bool starts_line = at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
    if (starts_line && after < text.size() && (text[after] == '\r' || text[after] == '\n')) break;
    at += 1;
  }
  size_t p = at + wanted.size();
  while (p < text.size() && (text[p] == '\r' || text[p] == '\n')) ++p;
  const size_t star = text.find('*', p);
  if (star == std::string_view::npos) return false;
  const std::vector<uint8_t> record = base64_decode(block + p, static_cast<uint32_t>(star - p));
  return decompress_bitmap(record.data(), static_cast<uint32_t>(record.size()), out);
}

bool picture_from_bitmap(const KPUniversalBitmap* bitmap, figure_picture* out) {
  if (bitmap == nullptr || out == nullptr) return false;
  const int32_t width = bitmap->width();
  const int32_t height = bitmap->height();
  if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxFigurePicturePixels) return false;
  tagBITMAPINFOHEADER header{};
  init_dib_header(&header, width, height, 32);  // bottom-up, as pictures are kept
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  if (GetDIBits(nullptr, bitmap, 0, static_cast<uint32_t>(height), pixels.data(), &header, DIB_RGB_COLORS) == 0)
    return false;
  out->width = width;
  out->height = height;
  out->pixels = std::move(pixels);
  return true;
}

bool set_bitmap_holder_image(const figure_picture& picture, KPGrafPort* dc, const char* name, bitmap_info** holder) {
  if (holder == nullptr || picture.width <= 0 || picture.height <= 0 ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4)
    return false;
  if (*holder == nullptr) *holder = alloc_block<bitmap_info>();
  bitmap_info* bi = *holder;
  if (bi == nullptr) return false;
  const uint32_t bytes = static_cast<uint32_t>(picture.pixels.size());
  auto* pixels = static_cast<uint8_t*>(GlobalAlloc(GPTR, bytes));
  const size_t name_len = name != nullptr ? std::strlen(name) : 0;
  auto* name_copy = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(name_len + 1)));
  if (pixels == nullptr || name_copy == nullptr) {
    GlobalFreeAndNull(&pixels);
    GlobalFreeAndNull(&name_copy);
    return false;
  }
  std::memcpy(pixels, picture.pixels.data(), bytes);
  install_bitmap_image_release(release_image);
  if (name_len != 0) std::memcpy(name_copy, name, name_len);
  tagBITMAPINFO info{};
  init_dib_header(&info.bmiHeader, picture.width, picture.height, 32);  // bottom-up, as stored
  void* image = CreateDIBitmap(dc, &info.bmiHeader, 4, pixels, &info, DIB_RGB_COLORS);
  // The old image goes whether or not the record had a name.
  if (bi->image != nullptr) release_image(bi->image);
  if (!is_ti_screen_bitmap_name(bi->name)) GlobalFreeAndNull(&bi->name);
  GlobalFreeAndNull(&bi->pixels);
  free_bitmap_dib(bi);
  bi->image = image;
  // A calculator screen keeps the canonical name, which is never freed.
  if (const char* screen = is_ti_screen_bitmap_name(name_copy)) {
    GlobalFreeAndNull(&name_copy);
    bi->name = const_cast<char*>(screen);
  } else {
    bi->name = name_copy;
  }
  bi->pixels = pixels;
  bi->width = picture.width;
  bi->height = picture.height;
  bi->dirty = 0;
  bi->composited = 0;
  bi->render_width = 0;
  bi->render_height = 0;
  return true;
}

KPUniversalBitmap* load_bitmap_file(const char* path) {
  return path != nullptr && *path != '\0' ? load_image_file_to_bitmap(path) : nullptr;
}

KPUniversalBitmap* get_ti_screen_bitmap(const char* name) {
  const char* screen = is_ti_screen_bitmap_name(name);
  if (screen == nullptr) return nullptr;
  const std::string path = resource_folder() + "/pictures/" + screen + ".bmp";
  return load_image_file_to_bitmap(path.c_str());
}

KPUniversalBitmap* ti_screen_bitmap_path(int model, const char** name) {
  static const char* const kModels[] = {"TI-92 Screen", "TI-89 Screen", "TI-83 Screen"};
  if (model < 0 || model > 2) return nullptr;
  const char* screen = is_ti_screen_bitmap_name(kModels[model]);
  if (name != nullptr) *name = screen;
  return get_ti_screen_bitmap(screen);
}
