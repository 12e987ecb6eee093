// TI-89/92 variables: the first byte chooses a figure (even) or a macro
// (odd) variable, the rest is its variable data, put in a whole file with
// the right length and checksum so that the readers see every input. A
// figure read is exported again.
#include <cstring>
#include <vector>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/exchange/ti9x_export.h"
#include "kernel/exchange/ti9x_file.h"
#include "kernel/exchange/ti9x_import.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/text_family.h"

KELVO_FUZZ_TARGET(ti9x_file_fuzz) {
  if (size < 1 || size - 1 >= 65535) return 0;
  const bool macro = (data[0] & 1) != 0;
  const auto length = static_cast<uint32_t>(size - 1);
  std::vector<uint8_t> image(length + kTi9xOverhead, 0);
  if (length != 0) std::memcpy(image.data() + kTi9xDataOffset, data + 1, length);
  ti9x_fill_container(image.data(), length, *ti9x_model_for_code(7), macro ? kTi9xMacroType : kTi9xFigureType,
                      "fuzz");
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    FuzzToolboxes toolboxes;
    const auto* bytes = reinterpret_cast<const char*>(image.data());
    if (macro) {
      (void)ti9x_read_macro_file(bytes, static_cast<uint32_t>(image.size()));
    } else if (ti9x_read_figure(bytes, static_cast<uint32_t>(image.size())) == 1) {
      std::strcpy(file_title_buffer, "fuzz.89a");
      ti9x_export_figure(7);
    }
    free_file_image();
  });
}
