// Small queries and actions over the current figure that the tool
// handlers, the file readers and the figure description share.
#pragma once

#include <cstdint>

struct object;

// The candidate is among the object's parents.
bool object_has_parent(const object* obj, const object* candidate);
// How many leading parents to compare when two objects are tested for
// sameness: the smaller parent count for two lines or two rays, or when a
// is a triangle, polygon, segment, vector, arc, circle or conic; else 0.
int comparable_parent_count(const object* a, const object* b);
// Stores 0 in the word and answers 1.
int clear_code(uint16_t* word);
// The object is among the arguments chosen for the current tool.
bool is_chosen_argument(const object* obj);
// Some object of the current figure has both a and b among its parents.
bool some_object_has_parents(const object* a, const object* b);
// The first text having the object among its parents when the object is
// shown inside a text; otherwise the object itself.
object* text_holding_object(object* obj);
// The first text whose references hold both objects, or null.
object* text_referencing_both(const object* a, const object* b);
// Hides the targets of the button being built when its option is set.
extern uint8_t button_tool_option;
void hide_pending_button_targets();
// While a text is edited in the figure, has the editor insert a live
// reference to the object at its insertion point (a number not yet shown
// in a text flashes once and is marked as shown in one).
void send_object_to_text_editor(object* obj);
// The objects leading from a driver a to a traced object b, placed in the
// figure's argument list (a, the intermediates in construction order, b);
// answers their number, 0 when b does not depend on a.
int16_t collect_dependency_chain(object* a, object* b);
