#include "kernel/exchange/bmp_writer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "kernel/exchange/bitmap_info.h"

namespace {

void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

constexpr uint32_t kHeadersSize = 14 + 40;
// Larger images are not written: their size would not fit the header.
constexpr uint64_t kMaxImageBytes = uint64_t{1} << 30;

}  // namespace

void init_dib_header(tagBITMAPINFOHEADER* header, int32_t width, int32_t height, uint16_t bits) {
  header->biSize = 40;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = bits;
  header->biCompression = 0;
  header->biSizeImage = 0;
  header->biClrUsed = 0;
  header->biClrImportant = 0;
}

bool make_bmp_info_header(int32_t width, int32_t height, uint16_t planes, uint16_t bits, bmp_info* out) {
  if (out == nullptr || width <= 0 || height <= 0 || planes == 0 || bits == 0) return false;
  uint32_t depth = uint32_t{planes} * bits;
  if (depth != 1) depth = depth <= 4 ? 4 : depth <= 8 ? 8 : depth <= 16 ? 16 : depth <= 24 ? 24 : 32;
  const uint64_t row = (uint64_t{static_cast<uint32_t>(width)} * depth + 31) / 32 * 4;
  const uint64_t image = row * static_cast<uint32_t>(height);
  if (image > kMaxImageBytes) return false;
  *out = bmp_info{};
  tagBITMAPINFOHEADER& h = out->header;
  init_dib_header(&h, width, height, static_cast<uint16_t>(depth));
  h.biSizeImage = static_cast<uint32_t>(image);
  h.biClrUsed = depth < 24 ? uint32_t{1} << depth : 0;
  h.biClrImportant = 0;
  out->palette.assign(h.biClrUsed, tagRGBQUAD{});
  return true;
}

uint32_t bmp_file_image(const bmp_info& info, const uint8_t* pixels, uint8_t* dest) {
  const tagBITMAPINFOHEADER& h = info.header;
  const uint32_t offset = kHeadersSize + 4 * h.biClrUsed;
  const uint32_t size = offset + h.biSizeImage;
  if (dest == nullptr) return size;
  put16(dest, 19778);  // "BM"
  put32(dest + 2, size);
  put32(dest + 6, 0);
  put32(dest + 10, offset);
  uint8_t* p = dest + 14;
  put32(p, h.biSize);
  put32(p + 4, static_cast<uint32_t>(h.biWidth));
  put32(p + 8, static_cast<uint32_t>(h.biHeight));
  put16(p + 12, h.biPlanes);
  put16(p + 14, h.biBitCount);
  put32(p + 16, h.biCompression);
  put32(p + 20, h.biSizeImage);
  put32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  put32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  put32(p + 32, h.biClrUsed);
  put32(p + 36, h.biClrImportant);
  p = dest + kHeadersSize;
  for (uint32_t i = 0; i < h.biClrUsed; ++i, p += 4) {
    const tagRGBQUAD q = i < info.palette.size() ? info.palette[i] : tagRGBQUAD{};
    p[0] = q.rgbBlue;
    p[1] = q.rgbGreen;
    p[2] = q.rgbRed;
    p[3] = 0;
  }
  if (pixels != nullptr)
    std::memcpy(p, pixels, h.biSizeImage);
  else
    std::memset(p, 0, h.biSizeImage);
  return size;
}

std::vector<uint8_t> bmp_file_bytes(const bmp_info& info, const uint8_t* pixels) {
  std::vector<uint8_t> out(bmp_file_image(info, pixels, nullptr));
  bmp_file_image(info, pixels, out.data());
  return out;
}

bool write_bmp_file(const char* path, const bitmap_info* picture) {
  if (path == nullptr || *path == '\0' || picture == nullptr || picture->pixels == nullptr) return false;
  bmp_info info;
  if (!make_bmp_info_header(picture->width, picture->height, 1, 32, &info)) return false;
  // The record's pixels are already the rows of a 32-bit bottom-up DIB.
  const std::vector<uint8_t> bytes = bmp_file_bytes(info, picture->pixels);
  // Only a file this call creates is removed after a failure: a path that
  // already names something else (a device, another file) is left alone.
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error) || error;
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (wrote && closed) return true;
  if (!existed && std::filesystem::is_regular_file(path, error)) std::filesystem::remove(path, error);
  return false;
}
