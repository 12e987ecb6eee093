// The question asked before an export to a format that cannot hold every
// object of the figure: calculator files and the older text format.
#pragma once

#include <cstddef>
#include <vector>

struct object;

// Composes the question. With objects left out: the language's text of row
// 768, then one line for each of the first ten of them. With objects that
// keep only part of their appearance (their text's font, size, colour or
// styles, a picture, colours driven by numbers): row 934 and their lines
// after those, or row 933 and their lines when nothing is left out. A line
// gives the object's name followed by " => " when it has one, then its kind
// and the objects it is built from as the figure shows them; "[...]" follows
// a list of more than ten objects, or one whose lines reach 256 characters.
// The objects' own texts show their unit signs (cm², m³, °).
void compose_left_out_question(const std::vector<object*>& left_out, const std::vector<object*>& altered = {});

// The objects of the current figure that leaving out `unwritable` takes out
// of it: those, and every object deleted with them, in list order. Found on
// a copy of the figure, which itself does not change.
std::vector<object*> objects_lost_with(const std::vector<object*>& unwritable);
