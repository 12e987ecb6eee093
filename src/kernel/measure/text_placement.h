// Keeps the text of a measure, an equation or an attached text beside the
// object it belongs to: value 0 of the object is the anchor of the text,
// value 1 the anchor of the previous placement, and the object's offset
// pair the text's offset from the anchor. A text dragged away from its
// anchor stays attached up to 20 pixels off and comes loose beyond 60.
#pragma once

#include <cstdint>

struct object;

// Bit of aux1: the text has come loose from its object.
inline constexpr unsigned kTextDetached = 256;
// Bit of state: put the text back in the middle of its object.
inline constexpr unsigned kTextRecentre = 256;

// Places the object's text; `first_placement` when the object has just got
// its text record.
void place_measure_text(object* obj, bool first_placement);

// A file keeps only where the text was shown, not its place along its
// object: the place is learnt back from that position, and a text that
// stood away from its object comes back loose, where it was.
void restore_measure_text_place(object* obj, int32_t x, int32_t y);
