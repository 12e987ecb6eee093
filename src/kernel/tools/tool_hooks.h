// The services that the tool code asks of the rest of the program: the
// selection and attribute code, the text editor, the clipboard, the
// calculator, the animation and replay panels, macros, the drawing passes,
// the palettes and the application shell.
//
// Each service is a slot that its owner fills at start-up. An empty slot
// means the service does not exist yet: a command slot is then skipped and a
// query slot answers as if the thing it asks about were absent (no window,
// no text being edited, no editor). Tests fill the slots to watch the calls.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct object;
struct construct_class;
struct default_attr;
struct macro_def;

struct tool_hooks {
  // ---- Drawing and the figure window
  void (*redraw_figure)(int mode, int reason) = nullptr;
  // Sets the palette's flags from an appearance tool's mask and name.
  void (*set_palette_flags)(uint16_t mask, const char* name) = nullptr;
  // True while objects of the figure are being dragged.
  bool (*objects_being_moved)() = nullptr;
  // The figure view's timer check after Select All.
  void (*check_figure_timer)() = nullptr;
  // The figure view has a display device.
  bool (*view_has_display_device)() = nullptr;

  // ---- Application shell and palettes
  // Shows the name of the current tool (a kernel text).
  void (*display_tool_name)(const char* name) = nullptr;
  // Shows the help text and help page of the current tool.
  void (*show_help_page)(const char* text, const char* page) = nullptr;
  // Sends a message to the tools palette window; false when there is none.
  bool (*send_tools_palette)(UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
  // Selects an item of a palette group (-1 keeps the current item).
  void (*select_tool_item)(int16_t menu_id, int16_t item) = nullptr;
  // Shows the class's tool as the one in use on the palette, once the
  // kernel's work in hand is done; nothing when no toolbox holds it.
  void (*post_tool_selection)(const construct_class* cls) = nullptr;
  // Closes the attribute palette window when it exists; false when none.
  bool (*close_attrib_palette)() = nullptr;
  void (*refresh_attrib_palette)() = nullptr;
  void (*update_attrib_palette_menu_text)() = nullptr;
  // Shows the current attribute record in the attribute pop-ups.
  void (*load_attrs_into_menus)(const default_attr* attrs) = nullptr;
  // Closes a pop-up window the figure left open.
  void (*close_pending_popup)() = nullptr;
  // Brings the application's main window to the front.
  void (*bring_main_window_to_front)() = nullptr;

  // ---- Selection, attributes, picking and handlers
  void (*apply_attributes_to_selection)(uint8_t visible_only) = nullptr;
  void (*apply_style_change)(uint16_t command) = nullptr;
  void (*clear_pick_marks)() = nullptr;
  void (*hide_pending_button_targets)() = nullptr;
  // Takes back the last saved step of the current tool; false when none.
  bool (*pop_tool_argument_state)() = nullptr;
  // Called when a tool is made current and when it ends, so the
  // designation code can reset its progress.
  void (*designation_tool_changed)() = nullptr;
  void (*reset_construction_progress)() = nullptr;
  // Closes the windows the designation code shows beside the cursor.
  void (*close_designation_windows)() = nullptr;

  // ---- Texts
  void (*delete_empty_text_objects)() = nullptr;
  void (*switch_text_edit_object)(object* obj) = nullptr;
  // Sends a message to the in-figure text editor; false when it is closed.
  bool (*send_text_editor)(UINT message, WPARAM wparam, LPARAM lparam) = nullptr;
  // Gives the characters selected in the text being edited the colour (a
  // colour equal to the background is taken a shade off it).
  void (*change_text_color)(uint32_t color) = nullptr;
  // The object a text reference at the hit part designates.
  object* (*resolve_text_reference)(object* obj, uint16_t part) = nullptr;

  // ---- Clipboard and files
  void (*copy_to_clipboard)(int mode) = nullptr;
  void (*cut_selection_command)() = nullptr;
  void (*paste_from_clipboard)() = nullptr;
  void (*save_file_as_dialog)(int kind, construct_class* cls) = nullptr;

  // ---- Calculator, expressions, animation, replay, macros
  bool (*calculator_window_exists)() = nullptr;
  void (*open_calculator)(object* obj) = nullptr;
  // The calculator forgets the calculation it was editing.
  void (*calculator_forget_object)() = nullptr;
  // The calculator's next evaluation starts anew.
  void (*calculator_reset_evaluation)() = nullptr;
  // The number the calculator is editing, or null.
  object* (*calculator_edited_object)() = nullptr;
  void (*collect_formula_variables)(object* expression) = nullptr;
  // While an expression is applied: a number is still wanted for one of
  // its variables; a coordinate system may still be taken for the last one.
  bool (*expression_has_pending_variable)() = nullptr;
  bool (*expression_waits_for_axes)() = nullptr;
  void (*open_anim_panel)() = nullptr;
  void (*start_replay_construction)() = nullptr;
  construct_class* (*define_macro)() = nullptr;
  // True when the macro definition asks to be saved at once.
  bool (*macro_asks_save)(const macro_def* def) = nullptr;

  // ---- Keys
  // Modifier codes: 3 Shift, 4 Command, 8 Option.
  bool (*modifier_key_down)(uint32_t code) = nullptr;
};

// The installed services; every slot starts empty except the modifier
// keys, which read the keyboard.
tool_hooks& tool_services();
void install_tool_services(const tool_hooks& hooks);

// The few calls used in several places, skipping an empty slot.
void tool_redraw_figure(int mode, int reason);
bool tool_modifier_down(uint32_t code);
bool tool_calculator_window_exists();
// Asks a redisplay of the current figure window.
void invalidate_current_figure_window();
