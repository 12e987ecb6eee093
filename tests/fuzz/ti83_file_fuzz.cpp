// TI-83 Plus variable files: the probe on an image of exactly the input's
// length (a read past it is caught by the sanitizers), then, for what it
// accepts, the import of either version into a fresh figure, as an open
// does. The input is read a second time with its checksum made right, so
// that mutated records reach the readers without the fuzzer having to
// find the sum.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/exchange/ti83_container.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/files/figure_file.h"
#include "kernel/model/units.h"
#include "platform/kp_dialog.h"

namespace {

void probe_and_read(const std::vector<char>& image) {
  const auto size = static_cast<uint32_t>(image.size());
  double version = -1;
  const int ok = ti83_check_file(image.empty() ? nullptr : image.data(), size, &version);
  if (ok != 0 && ok != 1) __builtin_trap();
  if (ok == 0 && version != -1) __builtin_trap();
  if (ok == 0) return;
  if (version != 1.0 && version != 2.0) __builtin_trap();
  if (size < ti83_file_size(ti83_record_count(static_cast<uint8_t>(image[83])))) __builtin_trap();
  kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    if (read_figure_file(image.data(), size, "fuzz.8xv") != 1) __builtin_trap();
  });
}

}  // namespace

KELVO_FUZZ_TARGET(ti83_file_fuzz) {
  static const bool ready = [] {
    kelvo_fuzz_gui_application();
    KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
    pixels_per_unit = 28;
    return true;
  }();
  (void)ready;
  std::vector<char> image(data, data + size);
  probe_and_read(image);
  if (size >= 86) {
    const uint32_t n = ti83_record_count(static_cast<uint8_t>(image[83]));
    if (ti83_file_size(n) <= size) {
      auto* b = reinterpret_cast<uint8_t*>(image.data());
      const uint16_t sum = ti83_checksum(b, n);
      b[84 + 18 * n] = static_cast<uint8_t>(sum & 0xFF);
      b[85 + 18 * n] = static_cast<uint8_t>(sum >> 8);
      probe_and_read(image);
    }
  }
  return 0;
}
