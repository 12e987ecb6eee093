// A macro file read, then each method of the macro it
// defines applied to fixed initial objects of every kind, as a user's
// application does (styles included).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "fuzz_target.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/figure.h"
#include "kernel/model/version_info.h"
#include "kernel/render/colors.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"

namespace {

void drop_current_figure() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return;
  kelvo_win_info* copy = fig->undo;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
  KPGeoDocument::setCurrentInfo(nullptr);
}

object* build(construct_class* cls, int method, std::vector<object*> picks, double x = 0, double y = 0) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  current_class = cls;
  objlist_clear(fig->inputs);
  for (object* p : picks) objlist_add(fig->inputs, p, 0);
  rubber_points[0] = valeur{x, y, {}, 0};
  rubber_points[1] = valeur{x + 30, y + 10, {31.6}, 0};
  variable_nb_values = static_cast<int16_t>(picks.size() + 1);
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 1, 1, 0);
  objlist_clear(fig->inputs);
  current_class = nullptr;
  if (o != nullptr) o->state &= ~OBJ_NEW;
  return o;
}

}  // namespace

KELVO_FUZZ_TARGET(macro_apply_fuzz) {
  static bool ready = [] {
    kelvo_fuzz_gui_application();
    init_version_info();
    init_color_table();
    // Refused applications tell the user: keep the messages from showing.
    message_show_default(0);
    return true;
  }();
  (void)ready;
  init_construct_classes();
  drop_current_figure();
  new_figure_info();
  const int before = class_list_count();
  if (txt_read_macro_file(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size)) == 1 &&
      class_list_count() > before) {
    construct_class* macro = class_list[class_list_count() - 1];
    // One object of each kind a macro's initial object can be.
    object* a = build(&classe_point, 0, {}, 10, 20);
    object* b = build(&classe_point, 0, {}, 90, 30);
    object* c = build(&classe_point, 0, {}, 40, 100);
    object* d = build(&classe_point, 0, {}, -50, 60);
    std::vector<object*> pool = {a, b, c, d};
    for (object* o : {build(&classe_segment, 0, {a, b}), build(&classe_vecteur, 0, {b, c}),
                      build(&classe_droite, 1, {a, c}), build(&classe_demidroite, 0, {b, d}),
                      build(&classe_cercle, 1, {a, d}), build(&classe_triangle, 0, {a, b, c}),
                      build(&classe_polygone, 0, {a, b, c, d, a}), build(&classe_arc, 0, {a, b, c}),
                      build(&classe_nombre, 0, {}), KPGeoDocument::currentInfo()->cur2})
      if (o != nullptr) pool.push_back(o);
    for (int m = 0; m < class_method_count(macro); ++m) {
      const construct_method* method = macro->methods[m];
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      objlist_clear(fig->inputs);
      // Each code takes the first object of the pool it accepts.
      std::vector<bool> used(pool.size(), false);
      for (const TYPEOBJ* code = method->args; code != nullptr && *code != 0; ++code) {
        for (size_t i = 0; i < pool.size(); ++i) {
          const uint16_t t = pool[i]->otype != nullptr ? pool[i]->otype->id : 0;
          if (!used[i] && argument_code_accepts(*code, t)) {
            objlist_add(fig->inputs, pool[i], static_cast<uint16_t>(m & 1));
            used[i] = true;
            break;
          }
        }
      }
      current_class = macro;
      apply_macro(static_cast<int16_t>(m), 1);
      current_class = nullptr;
    }
  }
  free_file_image();
  drop_current_figure();
  free_construct_classes();
  return 0;
}
