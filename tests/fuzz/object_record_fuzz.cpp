// The object-record reader over arbitrary bytes, with a figure that already
// holds a few objects for the records to refer to (one of them a number
// whose text run names a font), and the paste of the same bytes as
// clipboard records.
#include <string>

#include "fuzz_figure.h"
#include "fuzz_target.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/file_state.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "platform/kp_dialog.h"

namespace {

const char kSeedFigure[] =
    "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -1\r\n\r\n3: Pt, Val: -1 3\r\n\r\n"
    "4: Line, Const: 1,  2, \r\n\r\n5: Cir, Const: 1,  3, \r\n\r\n"
    "6: Num, Val: 0 0 2, nA, nP, \r\nNbD:2, nFD, cm, \r\n2.5\r\nTP:  0,  0, TS:  1,  1\r\n"
    "p: 0, Lucida Grande, S: 12 C: 40 Fa: 0\r\n\r\n";

void read_records(const char* p, const char* end) {
  while (p < end && *p != '\0') {
    object* o = nullptr;
    const int32_t used = read_object_record(&o, p);
    if (used <= 0) break;
    p += used;
  }
  flush_pending_selection();
  resolve_record_numbers();
}

}  // namespace

KELVO_FUZZ_TARGET(object_record_fuzz) {
  return kelvo_fuzz_read_twice([&] {
    // Messages (an undo copy that cannot be made) are answered at once.
    KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
    FuzzFigure figure;
    file_class = 0;
    file_platform = 0;
    file_mac_header = 1;
    file_resolution = 0;
    read_records(kSeedFigure, kSeedFigure + sizeof kSeedFigure - 1);
    const std::string text(reinterpret_cast<const char*>(data), size);
    read_records(text.c_str(), text.c_str() + text.size());
    // The same bytes pasted as the private clipboard flavour.
    paste_object_records(reinterpret_cast<const char*>(data), size);
    // What was read can be written again.
    txt_write_objects(nullptr);
  });
}
