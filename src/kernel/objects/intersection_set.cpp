#include "kernel/objects/intersection_set.h"

#include "kernel/model/classes.h"
#include "kernel/model/object_store.h"

dyn_array_object points_on_objects{};

void renumber_intersection_records(object* set) {
  if (!is_intersection_set(set) || !set->data) return;
  inter_rec* recs = static_cast<inter_rec*>(set->data);
  int kept = 0;
  for (int i = 0; recs[i].owner; ++i) {
    object* mapped = find_object_by_number(recs[i].owner->num);
    if (!mapped) continue;
    recs[kept] = recs[i];
    recs[kept].owner = mapped;
    ++kept;
  }
  recs[kept] = inter_rec{};
}
