// Old binary macro files: the 1,210-byte record after its header line,
// turned into a macro class, registered and added to the tools as the Open
// command does, then written as a macro file of this edition.
#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/old_binary.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_records.h"

KELVO_FUZZ_TARGET(old_macro_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    FuzzFigure figure;
    FuzzToolboxes toolboxes;
    if (import_old_macro_v2(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size)) == 1) {
      for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k)
        if (is_macro_class(class_list[k])) txt_write_macro_file(class_list[k]);
    }
    free_file_image();
  });
}
