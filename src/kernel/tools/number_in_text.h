// A number shown live inside a text: the number is a parent of the text and
// a reference marker stands for it in the text, the number parents in the
// order of their markers.
#pragma once

struct object;

// Inserts the number into the text at the text's selection (the open
// editor's selection when there is one), replacing what the selection holds,
// or, with remove set, takes it out of the text with its marker. Inserting
// happens only when the number's frame meets the text's frame; nothing
// changes when memory runs out.
void link_number_to_text(object* number, object* text, int remove);
