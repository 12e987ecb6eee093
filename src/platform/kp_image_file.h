// Image files: writing a figure image as PNG and reading any image file the
// platform knows into a bitmap. Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>

class KPUniversalBitmap;

// Writes width x height pixels (0x00RRGGBB in the low 24 bits, rows top-down,
// `pitch` pixels apart) as a PNG file that is not interlaced. The file is
// replaced only when the whole image was written. False on any failure.
bool kp_write_png_file(const char* path, const uint32_t* pixels, int width, int height, int pitch);

// A new bitmap holding the image of the file (null when the file cannot be
// read as an image or is unreasonably large). Owned by the caller.
KPUniversalBitmap* kp_load_image_file(const char* path);
