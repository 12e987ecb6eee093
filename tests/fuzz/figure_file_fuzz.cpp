// libFuzzer target: whole figure files (used macros, preamble, records, "Ma:"
// lines, pictures) read into a fresh figure, then saved again.
#include <cstddef>
#include <cstdint>

#include <QGuiApplication>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/objects/locus_type.h"
#include "kernel/render/display_device.h"
#include "kernel/render/colors.h"

namespace {

void drop_current_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(nullptr);
}

// Loci sample their chain only when drawn or hit: run both on what was read.
void draw_loci() {
  static DisplayDevice* dd = [] {
    DisplayDevice* d = dd_create();
    ensure_display_dc(d);
    d->portRect = {0, 0, 0, 0};
    dd_select_bitmap(d, create_dib_record(d, 200, 200));
    d->ratio = 1.0;
    d->portRect.right = 200;
    d->portRect.bottom = 200;
    return d;
  }();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* o = fig ? fig->first : nullptr; o; o = o->next) {
    if (o->otype != &type_locus || (o->state & OBJ_UNDEFINED)) continue;
    draw_locus(dd, o);
    tagPOINT p{100, 100};
    locus_hit_test(o, &p);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    // Rich-text runs name fonts, which the font table looks up through Qt.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "figure_file_fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    init_version_info();
    init_color_table();
    return true;
  }();
  (void)ready;
  // Macros a file loads join the class list: start each input afresh.
  init_construct_classes();
  drop_current_figure();
  new_figure_info();
  if (read_figure_file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), "fuzz.fig") == 1) {
    draw_loci();
    txt_write_figure_file();
  }
  free_file_image();
  drop_current_figure();
  free_construct_classes();
  return 0;
}
