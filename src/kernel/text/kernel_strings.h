// The kernel's user-visible texts: one slot per string of the language
// file, in the file's order. Texts are Mac Roman byte strings. A slot is
// null until a language file (or a built-in default) fills it.
#pragma once

#include <array>

inline constexpr int kKernelStringCount = 976;

extern char* kernel_strings[kKernelStringCount];

// The text of a row, or "" for a row that holds nothing (or is out of range),
// so callers can always format with it.
const char* kernel_string(int row);
// The text of a row, or `builtin` when no language gave the row one (the
// kernel read without a language, as its tests do).
const char* kernel_string_or(int row, const char* builtin);
// "Not enough memory" as the language says it (row 294): a reader's reason.
const char* out_of_memory_text();

// One row of the language string table: the kernel text variable that the
// row's string feeds (null for the rows that only serve the native
// interface) and whether the native side keeps its own copy of it.
struct lang_string_slot {
  char** cvar;
  bool nsvar;
};

extern const std::array<lang_string_slot, kKernelStringCount> lang_string_table;

// Rows whose role the kernel and the shell rely on. Everything else is
// listed with its role in resources/languages/string_rows.tsv.
namespace lang_row {
inline constexpr int app_title = 0;
inline constexpr int version = 3;
inline constexpr int unit_long_names = 11;   // 19 rows: none, 5 lengths, 5 areas, 5 volumes, 3 angles
inline constexpr int unit_short_names = 30;  // 18 rows: 5 lengths, 5 areas, 5 volumes, rd, degree, gr
inline constexpr int degree_symbol = 46;
inline constexpr int type_names = 53;        // 23 rows, object type slots 1..23
inline constexpr int button_names = 76;      // 2 rows
inline constexpr int argument_words = 113;   // 11 rows, entries 1..11
inline constexpr int argument_description = 176;
inline constexpr int argument_description_value = 181;
inline constexpr int separators = 275;
inline constexpr int default_macro_help = 289;
inline constexpr int untitled_name = 292;
inline constexpr int ok_button = 342;
inline constexpr int no_button = 343;
inline constexpr int cancel_button = 344;
inline constexpr int class_names = 353;      // 53 rows: classes in English-name order, vector sum, compass, Int
inline constexpr int class_help = 406;       // 53 rows, same order
inline constexpr int toolbar_names = 459;    // 19 rows, toolbar table rows 1..19
inline constexpr int hide_axes_name = 478;   // second name of Show Axes
inline constexpr int toolbar_help = 479;     // 19 rows
inline constexpr int description_hidden = 543;
inline constexpr int description_shown = 544;
inline constexpr int undo_nothing = 546;
inline constexpr int language_question = 710;
inline constexpr int session_menu_first = 787;
inline constexpr int session_menu_second = 788;
inline constexpr int native_menu_titles = 795;
inline constexpr int font_panel_hidden = 941;
inline constexpr int font_panel_shown = 942;
inline constexpr int color_panel_hidden = 958;
inline constexpr int color_panel_shown = 959;
}  // namespace lang_row

// Lists the kernel keeps beside the rows, refreshed after every fill:
// the twelve argument words of construction-method descriptions (entry 0
// is a built-in empty word, entries 1..11 are rows 113..123), the head of
// the argument-description list (rows 176 and 181), the three separator
// characters (decimal, thousands, list) and the two work-session menu texts.
extern const char* method_argument_words[12];
extern const char* argument_description_words[2];
extern char separator_chars[3];
extern const char* session_menu_texts[2];

// True until the first successful fill.
bool lang_first_load_pending();

// Copies one Mac Roman text per row, in row order, into the rows' kernel
// variables. Refuses (and changes nothing) unless exactly
// kKernelStringCount texts are given; a null text counts as empty. The
// blocks of the previous fill are released; the built-in defaults are not.
bool lang_fill_kernel_strings(const char* const* texts, int count);

// Sets the separators from the first three characters of row 275 and the
// work-session texts from rows 787 and 788 (also done by a fill).
void lang_apply_separators_and_session_texts();

// Back to the state before any language was loaded (built-in defaults).
void lang_reset_kernel_strings();

// An object keeps a row's text as the name it shows under the pointer (the
// axes, a conic): before a fill frees the rows, the objects of a figure let
// go of every such text, and take the new one at the next hover or
// recomputation.
struct kelvo_win_info;
void forget_kernel_string_uses(kelvo_win_info* fig);
