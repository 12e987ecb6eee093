// Situations files: the preferences, the macros, the toolbar and the figure,
// read into a fresh figure, then written again.
#include <string>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/text_family.h"

KELVO_FUZZ_TARGET(situations_file_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    FuzzToolboxes toolboxes;
    std::string text(reinterpret_cast<const char*>(data), size);
    if (txt_read_menus_file(text.data(), static_cast<uint32_t>(text.size()), "fuzz.env") == 1)
      txt_write_situations_file();
    free_file_image();
    menus_password[0] = '\0';
  });
}
