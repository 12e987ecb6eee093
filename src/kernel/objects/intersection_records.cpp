#include "kernel/objects/intersection_records.h"

#include <cstring>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/tools/tool_state.h"

object* get_intersection_set(object* a, object* b, int) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || a == nullptr || b == nullptr) return nullptr;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    if (o->classe != &classe_interset || o->nbparents != 2) continue;
    if ((o->parents[0] == a && o->parents[1] == b) || (o->parents[0] == b && o->parents[1] == a))
      return o;
  }
  dyn_array_object* saved = objlist_copy(fig->inputs);
  construct_class* saved_class = current_class;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, a, 0);
  objlist_add(fig->inputs, b, 0);
  current_class = &classe_interset;
  uint16_t created = 0;
  object* set = create_object(0, &created, 1, 1, 1);
  current_class = saved_class;
  objlist_clear(fig->inputs);
  if (saved != nullptr) {
    for (int k = 0; k < objlist_count(saved); ++k)
      objlist_add(fig->inputs, saved->items[k], saved->tags[k]);
    objlist_free(&saved);
  }
  return set;
}

bool add_intersection_record(object* set, uint32_t per_type_word, const valeur* value,
                             object* owner) {
  (void)per_type_word;
  if (set == nullptr || owner == nullptr) return false;
  auto* records = static_cast<inter_rec*>(set->data);
  uint32_t n = 0;
  const uint32_t slots = records != nullptr ? GlobalSize(records) / sizeof(inter_rec) : 0;
  while (n < slots && records[n].owner != nullptr) ++n;
  auto* grown = alloc_block<inter_rec>(n + 2);
  if (grown == nullptr) return false;
  if (n != 0) std::memcpy(grown, records, n * sizeof(inter_rec));
  grown[n].owner = owner;
  if (value != nullptr) grown[n].value = *value;
  grown[n].current = 0xFFFFFFFFu;
  grown[n].index = 0;
  GlobalFreeAndNull(&set->data);
  set->data = grown;
  return true;
}
