// Whole figure files (used macros, preamble, records, "Ma:" lines, pictures)
// read into a fresh figure, then saved again.
#include <string>

#include "fuzz_target.h"
#include "fuzz_figure.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"

KELVO_FUZZ_TARGET(figure_file_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    if (read_figure_file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "fuzz.fig") == 1)
      txt_write_figure_file();
    free_file_image();
  });
}
