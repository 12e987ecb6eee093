// Tool identifiers and the class-less tools: what a 32-bit tool identifier
// names (a toolbox entry, an attribute pop-up entry or a command), the
// table of the nineteen tools that build nothing, the lookups from a name
// or an identifier to a class or a table row, and the small services every
// tool action ends with.
#pragma once

#include <cstdint>

struct construct_class;

// A tool identifier: group in the high half, item (from 1) in the low half.
constexpr uint16_t tool_group(uint32_t id) { return static_cast<uint16_t>(id >> 16); }
constexpr uint16_t tool_item(uint32_t id) { return static_cast<uint16_t>(id & 0xFFFF); }
constexpr uint32_t make_tool_id(uint16_t group, uint16_t item) { return (uint32_t{group} << 16) | item; }

inline constexpr uint16_t kGroupEdit = 2;
inline constexpr uint16_t kGroupPalette = 3;
inline constexpr uint16_t kFirstToolbox = 128;
inline constexpr uint16_t kLastToolbox = 138;
inline constexpr uint16_t kToolbarWindowId = 999;
inline constexpr uint16_t kFirstAttributeMenu = 1001;
inline constexpr uint16_t kLastAttributeMenu = 1011;
// Toolbox 128, entry 1: what a reset selects.
inline constexpr uint32_t kPointerTool = make_tool_id(128, 1);

// Icons: a 16 x 16 image then a 32 x 32 image, one palette index a pixel.
inline constexpr int kToolIconBytes = 1280;

// One tool that builds nothing.
struct toolbar_row {
  uint8_t kind;           // the interaction state it sets; 8 for Show Axes
  uint16_t parameter;     // drag mode, attribute mask or macro step
  const char* name;       // localised
  const char* english_name;
  uint8_t* icon;
  const char* help_text;
  const char* help_page;
};

inline constexpr int kToolbarRows = 19;
// Rows are numbered from 1: toolbar_table[row - 1].
extern toolbar_row toolbar_table[kToolbarRows];
enum toolbar_row_number : int16_t {
  ROW_POINTER = 1,
  ROW_ROTATE,
  ROW_DILATE,
  ROW_ROTATE_DILATE,
  ROW_ANIMATION,
  ROW_MULTIPLE_ANIMATION,
  ROW_TRACE,
  ROW_FIX_FREE,
  ROW_HIDE_SHOW,
  ROW_THICK,
  ROW_DOTTED,
  ROW_MODIFY_APPEARANCE,
  ROW_COLOR,
  ROW_FILL,
  ROW_TEXT_COLOR,
  ROW_SHOW_AXES,
  ROW_INITIAL_OBJECT,
  ROW_FINAL_OBJECT,
  ROW_DEFINE_MACRO,
};
toolbar_row* toolbar_row_at(int16_t row);

// The two faces of Show Axes: [0] while the axes are hidden (it offers to
// show them), [1] while they are shown.
extern const char* show_axes_names[2];
extern uint8_t* show_axes_icons[2];

// Fills the localised names and help texts of the rows from the kernel
// strings (an empty string row keeps the English name); the English names
// and help pages are the table's own. At start-up and after each language
// load.
void fill_help_page_table();

// (toolbox id << 16) + entry of the first toolbox entry (from 1) named
// `name`; 0 when none.
uint32_t find_tool_id_by_name(const char* name);
// The class whose localised name is `name`, or, for a null name, the name
// of the identifier's toolbox entry; null when none.
construct_class* find_class_by_name(const char* name, uint32_t tool_id);
// The class whose English name is `name` (classes with a localised name).
construct_class* find_class_by_second_name(const char* name);
// Row (from 1) whose localised name is the name, resolved as above; 0.
int16_t find_toolbar_index_by_name(const char* name, uint32_t tool_id);
// Row (from 1) whose English name is `key`; 0.
int16_t find_toolbar_index_by_key(const char* key);

// Shows the name of the identifier's toolbox entry, when there is one.
void show_tool_name(uint32_t tool_id);
// Puts the Show Axes entry, its row and its icon in line with the figure's
// axes, and reselects the pointer.
void select_axes_tool_variant();
// Puts the variant of Show Axes that fits the figure's axes into its toolbox
// entry and toolbar row; the toolbox holding it (its entry in *item), or
// null.
struct menu;
menu* put_axes_variant_in_toolboxes(int* item);

// Marks the current document as changed and enables Undo.
void set_document_dirty();
// Enables and greys the main menu's items from the current figure.
void refresh_tool_menus();

// Main-menu items the tools enable and grey.
namespace menu_item {
inline constexpr unsigned kUndo = 110;
inline constexpr unsigned kCut = 109;
inline constexpr unsigned kCopy = 111;
inline constexpr unsigned kEdit5 = 113;     // the edit command (2, 5)
inline constexpr unsigned kSelectAll = 114;
inline constexpr unsigned kReplay = 115;
inline constexpr unsigned kRedraw = 116;
}  // namespace menu_item
