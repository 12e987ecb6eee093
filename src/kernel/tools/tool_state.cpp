#include "kernel/tools/tool_state.h"

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/memory.h"

dyn_array_object picked{};
dyn_array_object carrier_candidates{};
dyn_array_object intersection_candidates{};
dyn_array_object highlight_list{};
dyn_array_object ambiguity_candidates{};
dyn_array_object* saved_selection = nullptr;

designation_list designation_args{};
designation_list designation_carriers{};
designation_list designation_intersectables{};

default_attr no_class_attrs{};

void clear_selection() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !fig->selection) return;
  objlist_clear(fig->selection);
  objlist_shrink(fig->selection);
}

void free_object_list(objectptrlist** list) {
  if (!list) return;
  objectptrlist* node = *list;
  while (node) {
    objectptrlist* next = node->next;
    GlobalFreeAndNull(&node);
    node = next;
  }
  *list = nullptr;
}
