// Texts, numbers, property checks, equations, tables, expressions and
// buttons are drawn as a frame holding a text; every other object may carry
// a label. Here: the predicates that sort objects into these families, the
// draw and hit-test operations of those types, the drawing of labels, and
// the clean-up of empty text objects.
#pragma once

#include <cstdint>

struct object;
struct DisplayDevice;
struct tagPOINT;
struct tagRECT;
struct TErec;
struct insert_object;

// True for texts, numbers, property checks, equations, tables, expressions
// and buttons; false for null.
bool is_text_like_object(const object* obj);

// A labelled object whose label has a text buffer, or a number, text,
// expression, table or property check, or an equation shown as text.
bool has_displayed_text(const object* obj);
// The object has a text record holding at least one character.
bool object_has_label_text(const object* obj);
// Lengths, areas, equations, slopes, angles, calculations and numbers.
bool is_measure_object(const object* obj);
// The object itself when it is a number, else the only number it quotes;
// null when none or several.
object* find_single_number_object(object* obj);
// For a number, the first text quoting it; otherwise, or when none does,
// the object itself.
object* find_text_containing_number(object* obj);
// Some selected object has a text record.
bool selection_has_text_record();
// The object is the active text object and the current tool types texts
// (label, text, table, expression or number tool).
bool is_current_text_tool_target(const object* obj);
// The active text object is a text whose references hold the object.
bool is_number_in_active_text(const object* obj);
// Among the selected objects, the number held by the active text: null
// when none; *count tells how many there are.
object* selected_number_in_active_text(int* count);

// Draw operation of texts, numbers, property checks, equations and
// expressions.
void DrawKPTexte(DisplayDevice* dd, object* obj);
// Draws the object's label in its label settings (nothing for text-like
// objects and objects without a label).
void redraw_text_object(DisplayDevice* dd, object* obj);
// Draw operations of tables and buttons.
void draw_table_object(DisplayDevice* dd, object* obj);
void draw_button_object(DisplayDevice* dd, object* obj);

// The frame of the object's text (the label's for an object that is not
// text-like): the text rectangle, grown by thickness + 3 when framed.
void text_frame_rect(const object* obj, tagRECT* r);
// The rectangle the laid-out text covers, or the frame rectangle.
void get_text_range_rect(object* obj, tagRECT* r);

// Where the value of a reference is shown inside its text, in figure
// pixels: the first (0) or second (1) rectangle of the reference's area,
// moved by the text's position, a right or bottom edge of 0xFFFFFFF standing
// for the text's own.
void reference_area_rect(const TErec* te, const insert_object* ref, int which, tagRECT* r);

// Hit test of a text frame: handles (257..265), a displayed reference
// (258 + its number) or the body (258), left in hit_part.
bool hit_test_text_frame(object* obj, tagPOINT* p);
bool hit_test_button_object(object* obj, tagPOINT* p);

// Deletes, one at a time until none is left, the numbers without a frame,
// the texts, expressions and numbers left empty (unless being edited), and
// the numbers shown in no text any more.
void delete_empty_text_objects();

// The parts of tables drawn: 1 frame, fill, grid and row numbers; 2 all
// rows; 4 the last row; 8 column headers. All ones normally.
extern uint8_t table_draw_mask;

// Binds the draw and hit-test operations of the text-like types.
void bind_text_operations();
