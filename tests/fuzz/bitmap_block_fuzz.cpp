// The BITMAPS block of a figure file. The input is read
// as a block whose entries are looked up by a few names, including one
// that is the tail of another; each picture found is installed in a record
// and written back, and the record it makes reads back the same pixels.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_target.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/figure_bitmaps.h"

KELVO_FUZZ_TARGET(bitmap_block_fuzz) {
  const std::string text = std::string("************ BITMAPS ************\r\n\r\n") +
                           std::string(reinterpret_cast<const char*>(data), size);
  static const char* const kNames[] = {"ab.bmp", "b.bmp", "/folder/x.png", "*"};
  for (const char* name : kNames) {
    figure_picture picture;
    if (!load_figure_bitmap(text.data(), static_cast<uint32_t>(text.size()), name, &picture)) continue;
    bitmap_info* holder = nullptr;
    if (!set_bitmap_holder_image(picture, nullptr, name, &holder)) __builtin_trap();
    const std::vector<uint8_t> record = compress_bitmap(holder);
    figure_picture again;
    if (!decompress_bitmap(record.data(), static_cast<uint32_t>(record.size()), &again)) __builtin_trap();
    if (again.pixels != picture.pixels) __builtin_trap();
    free_bitmap_holder(&holder);
  }
  return 0;
}
