// The figure description as the kernel sees it: which objects the
// description list shows, the kind text of an object (type, construction),
// the two texts of its line, and which lines are drawn as parents of the
// selected one. The list itself (a dock beside the figure view) lives in
// app/panels/figure_description_drawer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct object;
struct kelvo_win_info;

// Per-window switches of the list, kept for the life of the window.
struct description_state {
  void* window = nullptr;      // the table view
  uint8_t shown = 1;
  uint8_t show_hidden = 0;     // hidden objects are listed
  uint8_t show_interim = 0;    // intermediate objects of macros are listed
  int32_t spare = 50;
};

// The longest object or type text a line keeps; longer texts end in "...".
inline constexpr std::size_t kDescriptionTextLimit = 1024;

// Whether the list shows `o`. Never asks a password: an intermediate macro
// object is listed only when its macro has no password or it was accepted.
bool description_lists_object(const object* o, const description_state* s);

// The "Show Intermediate Objects" switch: asks the figure's password when
// it has one not given yet, then the password of each macro whose hidden
// steps the figure holds and that was not asked yet (a password given
// unlocks every macro sharing it). False when a password was refused: the
// switch then stays as it is. Hiding asks nothing.
bool toggle_intermediate_objects(kelvo_win_info* fig, description_state* s);

// The kind text: the type's name with its first letter upper-cased, then the
// construction in parentheses when it is a macro or one of the classes the
// description names. `s` may be null.
std::string describe_object(const object* o, const description_state* s);

struct description_line {
  std::string object_text;  // name, or a text with its references put in
  std::string type_text;    // kind text, then ": " and the parents
};
// Both texts of o's line, control bytes made blanks, each bounded.
description_line describe_object_name(const object* o, const description_state* s);

// Whether o's line is drawn red while `selected` is the selected line's
// object: o is one of the objects it was built from.
bool is_parent_in_description(const object* selected, const object* o);

// The listed objects of the figure, in construction order.
std::vector<object*> description_objects(const kelvo_win_info* fig, const description_state* s);

// The copied description: for each listed object its object text, a tab,
// its type text and CR LF.
std::string description_plain_text(const kelvo_win_info* fig, const description_state* s);

// Line colours as kernel colour words (red in bits 16-23).
inline constexpr uint32_t kDescriptionBlack = 0x000000;
inline constexpr uint32_t kDescriptionLime = 0x00FF00;
inline constexpr uint32_t kDescriptionLightGray = 0xC0C0C0;
inline constexpr uint32_t kDescriptionRed = 0xFF0000;
// Lime for an intermediate macro object, else LightGray when hidden, else
// Black.
uint32_t description_line_color(const object* o);
