// TI-83 Plus variable files: the probe on an image of exactly the input's
// length (a read past it is caught by the sanitizers), and its answers.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_target.h"
#include "kernel/exchange/ti83_container.h"
#include "kernel/exchange/ti_probe.h"

KELVO_FUZZ_TARGET(ti83_file_fuzz) {
  std::vector<char> image(data, data + size);
  double version = -1;
  const int ok = ti83_check_file(image.empty() ? nullptr : image.data(), static_cast<uint32_t>(size), &version);
  if (ok != 0 && ok != 1) __builtin_trap();
  if (ok == 0 && version != -1) __builtin_trap();
  if (ok == 1) {
    if (version != 1.0 && version != 2.0) __builtin_trap();
    const uint32_t n = ti83_record_count(static_cast<uint8_t>(image[83]));
    if (size < ti83_file_size(n)) __builtin_trap();
  }
  return 0;
}
