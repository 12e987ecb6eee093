// The handlers of the tools whose clicks are not all arguments: numbers and
// texts placed at a click or in a dragged frame, labels, buttons and their
// targets, coordinate systems, loci, equations and coordinates, expressions
// applied to numbers, tables and macros. Each follows the handler protocol
// of tool_handler.h.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

struct construct_class;

// The button being edited had its targets hidden when editing started.
extern uint8_t button_targets_hidden;
// The first axis direction of a new coordinate system was fixed by an
// empty click.
extern uint8_t axes_direction_set;
// Between the two numbers of a coordinates text: the list separator and a
// blank.
extern char coordinate_separator[3];
// Distinct one-letter variables of the expression being applied.
extern int16_t formula_variable_count;

bool number_tool_handler(uint16_t* method, object** designated);
bool text_tool_handler(uint16_t* method, object** designated);
bool label_tool_handler(uint16_t* method, object** designated);
bool button_tool_handler(uint16_t* method, object** designated);
bool axes_tool_handler(uint16_t* method, object** designated);
bool locus_tool_handler(uint16_t* method, object** designated);
bool equation_tool_handler(uint16_t* method, object** designated);
bool expression_apply_tool_handler(uint16_t* method, object** designated);
// The frame of a text placed by a click: the box of the preview, centred on
// the click, goes to `measure_text_rect`.
void place_text_box_at_click();
bool table_tool_handler(uint16_t* method, object** designated);
bool macro_tool_handler(uint16_t* method, object** designated);

// The generic handler for macro tools: the matching records in the
// method's binding array the argument each code took when `bind` is set.
bool take_macro_tool_argument(uint16_t* method, object** designated, bool bind);
// Offers the objects bound to a user macro's codes to the generic handler,
// or forgets them all when `clear` is set. With `check_head`, a bound
// object of the same type and tag as the head of `picked` is passed over.
// *tried tells whether a bound object was offered. Answers the generic
// handler's last answer (false when it was not called).
bool retake_bound_macro_arguments(construct_class* cls, uint16_t* method, bool clear, bool check_head,
                                  bool* tried = nullptr);
// True when one of the macro's final steps builds a text, number,
// property check, equation or expression.
struct macro_def;
bool macro_has_text_final(const macro_def* def);

// Unlinks the object from the owner's associated-object list and frees its
// node; nothing when it is absent.
void remove_dependant(object* obj, object* owner);
// Adds the object to the button's targets (and to the tool's arguments)
// when absent, removes it from both when present.
void toggle_associated_object(object* button, object* obj, uint16_t tag);
// A new button without a caption gets the Hide/Show tool's name, selected,
// so that what the user types next replaces it, and a frame that shows it
// whole on one line.
void caption_new_button(object* button);

// When a number is quoted inside a text at reference `tag` (above 258),
// its frame is put over the place of the reference in the text and the
// number is answered; otherwise null. The number tool edits only the
// numbers it makes and coordinates; `any_number` takes every number.
object* place_number_at_reference(object* text, uint16_t tag, bool any_number = false);

// A frame dragged out with the mouse for a new text or table: the press
// starts it, each move redraws it dashed on the moving device, and the
// handler that builds the object takes it at the release. Points are in the
// figure's local coordinates.
void text_frame_press(tagPOINT p);
void text_frame_move(tagPOINT p);
bool text_frame_active();
// Ends the drag without using it (the click went elsewhere).
void text_frame_cancel();
// The rectangle between the press and `release` (the mouse where the
// button went up), normalised; with no drag in progress a rectangle of no
// size at `release`. Ends the drag.
tagRECT drag_text_frame(tagPOINT release);
// The frame grown to at least the width and height given.
tagRECT frame_at_least(tagRECT r, int32_t width, int32_t height);

// Adds a column showing the measure to the table (the row recorded by the
// table's computation after the column it added just before is dropped
// first, since it showed the same moment); false when memory runs out, the
// table then unchanged.
bool add_table_column(object* table, object* measure);

// While an expression is being applied: a number is still wanted for one
// of its variables (with a coordinate system among the arguments the last
// variable runs along its axes); a coordinate system may still be taken
// (a variable is left for it).
bool expression_wants_number();
bool expression_wants_axes();

// The table that the table tool fills (the figure's object being built),
// or null.
object* table_being_built(const kelvo_win_info* fig);

// Installs these handlers in their classes, and the expression queries of
// tool_services().
void bind_text_tool_handlers();
