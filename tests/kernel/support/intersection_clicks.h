// The intersection tool applied to two objects of the current figure as two
// clicks, for tests that need intersection points.
#pragma once

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_state.h"

// Clicks x, then y: returns what the tool made (the point, or the set of
// points, of their intersection), or null.
inline object* intersection_by_clicks(object* x, object* y) {
  current_class = &classe_interset;
  objlist_clear(KPGeoDocument::currentInfo()->inputs);
  object* out = nullptr;
  current_pick = {x, 0};
  intersection_tool(nullptr, &out);
  current_pick = {y, 0};
  intersection_tool(nullptr, &out);
  current_class = nullptr;
  return out;
}
