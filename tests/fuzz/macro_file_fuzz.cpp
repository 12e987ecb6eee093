// Macro files: the header, then one definition, loaded into the class list
// and the toolboxes as the Open command does, then written again.
#include <string>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_records.h"

KELVO_FUZZ_TARGET(macro_file_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    FuzzToolboxes toolboxes;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (txt_read_macro_file(text.c_str(), static_cast<uint32_t>(text.size())) == 1) {
      for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k)
        if (is_macro_class(class_list[k])) txt_write_macro_file(class_list[k]);
    }
    free_file_image();
  });
}
