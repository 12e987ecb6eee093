// Designation filters: for the current tool, whether an object under the
// cursor may be taken. Each first rules out what the tool can never take,
// then asks the hit test of the object's type with the same mouse point
// (packed: x in the low half, y in the high half), so a true answer means
// both under the cursor and acceptable. The appearance filters also choose
// the tool's second and third cursors.
#pragma once

#include <cstdint>

struct object;

bool manip_tool_common(object* obj, int32_t packed_point);
bool locus_filter(object* obj, int32_t packed_point);
bool redefinition_filter(object* obj, int32_t packed_point);
bool point_on_object_filter(object* obj, int32_t packed_point);
bool fix_free_filter(object* obj, int32_t packed_point);
bool hide_show_filter(object* obj, int32_t packed_point);
bool appearance_filter(object* obj, int32_t packed_point);
bool text_filter(object* obj, int32_t packed_point);
bool transfer_filter(object* obj, int32_t packed_point);
bool formula_filter(object* obj, int32_t packed_point);
bool expression_filter(object* obj, int32_t packed_point);

// The one circle the point belongs to (as a point on it, an intersection
// with it, a transfer onto it or its own second parent), or null when
// there is none or more than one.
object* circle_of_point(object* point);

// Type queries the filters share with the attribute code. Until the colour
// code fills them in, an object's effective colour is its own.
struct filter_services {
  uint32_t (*effective_color)(const object* obj) = nullptr;
  bool (*is_text_like)(const object* obj) = nullptr;
  bool (*locus_is_valid)(const object* obj) = nullptr;
};
void install_filter_services(const filter_services& services);
const filter_services& installed_filter_services();
