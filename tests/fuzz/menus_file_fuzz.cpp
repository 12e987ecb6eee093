// Tool-menu files: a "Used macro" block, the password and the toolboxes'
// tool lines, rebuilding the toolboxes and the trash, then written again.
#include <string>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/text_family.h"

KELVO_FUZZ_TARGET(menus_file_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    FuzzToolboxes toolboxes;
    const std::string text(reinterpret_cast<const char*>(data), size);
    txt_read_menu_description(text.c_str(), static_cast<uint32_t>(text.size()), 1);
    txt_write_menus_file(1);
    free_file_image();
    menus_password[0] = '\0';
  });
}
