// The kernel side of the text view: the references of a stored text in
// the order of their markers, the removal of one reference with the
// renumbering of the others, the exponent escapes, and the frame a text
// needs. The attributed strings themselves live in the application's text
// view, reached through the slots of TextHandleOps.
#pragma once

#include <cstdint>
#include <vector>

struct object;
struct TErec;
struct insert_object;

// One marker of a stored text: where it starts, its length in bytes, its
// number and the reference node of that number (null when the text has
// none: the marker then stays literal text).
struct text_marker {
  int32_t at;
  int32_t length;
  uint16_t number;
  insert_object* node;
};

// The markers of the text in order, with their nodes in `list`.
std::vector<text_marker> list_text_markers(const char* text, int32_t length, insert_object* list);

// Removes one reference of the text object: the first whose object is
// `target`, or the number-th in text order when target is null. Its marker
// goes, the markers of the others are renumbered 1, 2, ... in text order
// and the reference list is rebuilt in that order. The text view's stored
// string gets the same edit. False when there was no such reference.
bool text_view_remove_reference(object* text_obj, object* target, uint16_t number);

// The text with bytes 1 and 2 (exponents 2 and 3) turned into the escapes
// "\2 " and "\3 " (no blank added before an existing one).
std::vector<char> prepare_replace_exponents(const char* text);

// The smallest frame of a text: 30 wide (53 for a number), 21 high.
inline constexpr int32_t kMinTextWidth = 30;
inline constexpr int32_t kMinNumberWidth = 53;
inline constexpr int32_t kMinTextHeight = 21;
// Raises the record's size to the minimum of its object.
void enforce_minimum_frame(object* obj);
