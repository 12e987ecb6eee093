#include "kernel/exchange/bitmap_info.h"

#include <cstring>

#include "kernel/model/memory.h"

namespace {
void (*g_release_image)(void*) = nullptr;

const char* const kScreenNames[] = {"TI-92 Screen", "TI-89 Screen", "TI-83 Screen"};
}  // namespace

void install_bitmap_image_release(void (*release)(void* image)) { g_release_image = release; }

const char* is_ti_screen_bitmap_name(const char* name) {
  if (!name) return nullptr;
  for (const char* canonical : kScreenNames) {
    if (name == canonical || std::strcmp(name, canonical) == 0) return canonical;
  }
  return nullptr;
}

void free_bitmap_dib(bitmap_info* bi) {
  if (!bi) return;
  GlobalFreeAndNull(&bi->rendered);
  GlobalFreeAndNull(&bi->rendered_alone);
}

void free_bitmap_holder(bitmap_info** holder) {
  if (!holder || !*holder) return;
  bitmap_info* bi = *holder;
  // The image goes whenever there is one, named or not.
  if (bi->image && g_release_image) g_release_image(bi->image);
  bi->image = nullptr;
  if (!is_ti_screen_bitmap_name(bi->name)) GlobalFreeAndNull(&bi->name);
  GlobalFreeAndNull(&bi->pixels);
  free_bitmap_dib(bi);
  GlobalFreeAndNull(holder);
}
