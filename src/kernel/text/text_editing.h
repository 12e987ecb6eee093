// The kernel side of editing a text in place: which object the figure's
// text editor shows, the edit kinds it is given, the selection it keeps,
// the implied product of expressions and the stepping of a number.
//
// The editor itself lives on the application side; the kernel reaches it
// through its window handle (messages and window longs) and the few
// operations of TextEditorOps.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kelvo_wrap_machine.h"

struct object;
struct TErec;

// The edit kinds, installed as the editor's window procedure: they do
// nothing and only name the kind of text being edited.
LRESULT NumberEditWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT FormuleEditWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TextEditWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT LabelEditWindowProc(HWND, UINT, WPARAM, LPARAM);

// Messages the editor answers.
constexpr UINT kEditorFontScale = 185;
constexpr UINT kEditorChar = 258;
constexpr UINT kEditorCut = 768;
constexpr UINT kEditorCopy = 769;
constexpr UINT kEditorPaste = 770;
constexpr UINT kEditorGetSelection = 1076;
constexpr UINT kEditorSetSelection = 1079;
constexpr UINT kEditorBackground = 1091;
constexpr UINT kEditorSetSelPlain = 177;
constexpr UINT kEditorReplaceSelection = 194;

// What the kernel asks of the editor besides messages.
struct TextEditorOps {
  // The editor of the current figure view (null without one).
  HWND (*editor)() = nullptr;
  void (*enter_object_edit)(HWND editor, object* obj) = nullptr;
  // Hands the editor's text back to its object.
  void (*text_to_object)(HWND editor, bool keep_display) = nullptr;
  void (*show)(HWND editor, bool show) = nullptr;
};
void install_text_editor_ops(const TextEditorOps& ops);
const TextEditorOps& text_editor_ops();

// The open edit window, null when no text is being edited.
extern HWND text_edit_window;

// Makes the object the one edited in place; null ends the edit.
void switch_text_edit_object(object* obj);
// The number or expression under edit took a new text: it is recomputed
// (a coordinate moves its point), and what depends on it follows on screen.
void edited_value_changed(object* obj);
// Opens the object again, then the previous active object.
// Ends the edit in place before the text is restyled, the editor's text
// handed back to its object; answers that object (null when nothing was
// edited, when the text is empty and keeps its editor, or when it was
// emptied in the editor and so deleted).
object* hand_back_edited_text();
void refresh_text_windows(object* obj);
// The open edit is about to change its text for the first time: the undo
// copy is taken now, so that Undo brings the figure back to what it was
// when the edit began. Opening an edit takes no copy of its own: Undo right
// after a new measure still takes the measure away.
void save_undo_before_text_change();
// A text keeps as parents only the numbers it still quotes: a number whose
// value was typed over leaves its parents, so that deleting that number
// leaves the text alone.
void drop_unquoted_number_parents(object* text);

// start | end << 16 of the editor's selection.
uint32_t get_edit_selection(HWND window);
void set_edit_selection(HWND window, int32_t start, int32_t end);
bool is_richedit_window(HWND window);
// Keeps the editor's selection while the text's references are rebuilt.
void refresh_edit_references(object* obj, HWND window);

// The kind procedure for an object (see the table of kinds).
WNDPROC edit_kind_of(const object* obj);

// Whether the expression editor inserts "*" before the character c typed
// after the first n bytes of text.
bool formula_input_filter(const char* text, int n, char c);

// Steps the number text at the selection [start, end): direction 0 up, 1
// down. Answers the new text; *new_start and *new_end the stepped digits.
// `unit` (may be null or empty) is appended after a blank.
std::string step_number_in_text(const std::string& text, int start, int end, int direction, const char* unit,
                                int* new_start, int* new_end);

// Character helpers.
bool is_control_char(unsigned char c);
bool is_index_char(unsigned char c);
int edit_char_length(const char* p);
