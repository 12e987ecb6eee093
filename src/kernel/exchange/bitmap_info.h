// The picture record of an object or of a figure's background.
#pragma once

#include <cstdint>

struct bitmap_info {
  void* image;           // platform bitmap object
  char* name;            // owned block, unless it is a calculator screen name
  uint8_t* pixels;       // owned 32-bit copy of the pixels
  uint8_t* rendered;     // cache, may be freed at any time
  uint8_t* rendered_alone;  // cache, may be freed at any time
  int32_t width;
  int32_t height;
  int32_t render_height;
  int32_t render_width;
  uint8_t dirty;
  uint8_t composited;
};

// The platform releases bitmap objects; it installs this at start-up.
// Without it no bitmap object can have been created.
void install_bitmap_image_release(void (*release)(void* image));

// The canonical name when `name` is one of the calculator screen names.
const char* is_ti_screen_bitmap_name(const char* name);

// Frees the two caches of the record (nothing for null).
void free_bitmap_dib(bitmap_info* bi);

// Releases the picture (image, name, pixels, caches) and the record, and
// clears the pointer. Nothing happens when the pointer is null.
void free_bitmap_holder(bitmap_info** holder);
