// libFuzzer target: the object-record reader over arbitrary bytes, with a
// figure that already holds a few objects for the records to refer to, and
// the paste of the same bytes as clipboard records.
#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "platform/kp_dialog.h"

namespace {

const char kSeedFigure[] =
    "1: Pt, Val: 0 -0\r\n\r\n2: Pt, Val: 2 -1\r\n\r\n3: Pt, Val: -1 3\r\n\r\n"
    "4: Line, Const: 1,  2, \r\n\r\n5: Cir, Const: 1,  3, \r\n\r\n"
    "6: Num, Val: 0 0 2, nA, nP, \r\nNbD:2, nFD, cm, \r\n2.5\r\nTP:  0,  0, TS:  1,  1\r\n"
    "p: 0, Lucida Grande, S: 12 C: 40 Fa: 0\r\n\r\n";

void fresh_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig != nullptr) {
    kelvo_win_info* copy = fig->undo;
    free_figure_info(fig, false);
    free_figure_info(copy, false);
    KPGeoDocument::setCurrentInfo(nullptr);
  }
  new_figure_info();
  const char* p = kSeedFigure;
  while (*p != '\0') {
    object* o = nullptr;
    int32_t used = read_object_record(&o, p);
    if (used <= 0) break;
    p += used;
  }
  resolve_record_numbers();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    // The default text styles name fonts, which the font table looks up
    // through Qt.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "object_record_fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    // Messages (an undo copy that cannot be made) are answered at once.
    KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
    init_construct_classes();
    return true;
  }();
  (void)ready;
  file_class = 0;
  file_platform = 0;
  file_mac_header = 1;
  fresh_figure();
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && *p != '\0') {
    object* o = nullptr;
    int32_t used = read_object_record(&o, p);
    if (used <= 0) break;
    p += used;
  }
  resolve_record_numbers();
  // The same bytes pasted as the private clipboard flavour.
  paste_object_records(reinterpret_cast<const char*>(data), size);
  // What was read can be written again.
  txt_write_objects(nullptr);
  return 0;
}
