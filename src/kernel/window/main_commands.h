// The main-menu commands: every menu item and key equivalent reaches the
// kernel as one numeric command, which main_menu_command dispatches (file
// commands, Delete, preferences, work sessions, zoom, numbers and
// calculations, the text-layout switch) or turns into a tool. The
// application window procedure main_key_command passes menu commands on,
// forwards typed characters to the text editor and blinks the selection.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct dyn_array_object;
struct kelvo_win_info;
struct object;

// Command identifiers.
namespace command_id {
inline constexpr uint16_t kNew = 100;
inline constexpr uint16_t kOpen = 101;
inline constexpr uint16_t kSave = 102;
inline constexpr uint16_t kRevert = 104;
inline constexpr uint16_t kQuit = 108;
inline constexpr uint16_t kDelete = 113;
inline constexpr uint16_t kAttributePalette = 118;  // shows or hides it
inline constexpr uint16_t kPreferences = 120;
inline constexpr uint16_t kCloseAll = 40023;
inline constexpr uint16_t kClose = 40024;
inline constexpr uint16_t kNumberUnit = 40026;
inline constexpr uint16_t kCalculation = 40027;
inline constexpr uint16_t kRefresh = 40029;
inline constexpr uint16_t kSessionStart = 40032;
inline constexpr uint16_t kSessionStop = 40033;
inline constexpr uint16_t kSessionNext = 40034;
inline constexpr uint16_t kSessionPrevious = 40035;
inline constexpr uint16_t kSessionPrint = 40036;
inline constexpr uint16_t kSessionOpen = 40037;
inline constexpr uint16_t kZoomIn = 40039;
inline constexpr uint16_t kZoomOut = 40040;
inline constexpr uint16_t kTextLayout = 40042;
inline constexpr uint16_t kSaveAs = 40051;
inline constexpr uint16_t kZoomInWithAxes = 40058;
inline constexpr uint16_t kZoomOutWithAxes = 40059;
}  // namespace command_id

// The services the commands ask of parts of the program that fill them at
// start-up (the document layer, the figure window, the preferences dialog,
// work sessions, measures and texts, the selection). An empty slot means the
// service does not exist yet: a command slot is skipped, a query answers as
// if there were nothing (no window, no number, pop-up dismissed).
struct main_command_hooks {
  // ---- Document layer
  // Opens a document window on the file at path, or a new untitled one for
  // null; its (empty) figure is then current. False when none opened.
  bool (*open_document_path)(const char* path) = nullptr;
  // Closes every document (asking about unsaved changes).
  void (*close_all_documents)() = nullptr;

  // ---- Figure window
  // The Delete command.
  void (*clear_command)() = nullptr;
  // Applies the window placement the figure file gave to the window.
  void (*apply_window_placement)(HWND window) = nullptr;
  void (*start_auto_animation)() = nullptr;

  // ---- Preferences
  void (*run_preferences_dialog)() = nullptr;

  // ---- Work sessions
  void (*session_start_recording)() = nullptr;
  void (*session_stop_recording)() = nullptr;
  // 'n' the next snapshot, 'p' the previous one.
  void (*session_load_snapshot)(char which) = nullptr;
  void (*session_print)() = nullptr;
  void (*session_open)() = nullptr;

  // ---- Numbers, calculations and texts
  // The number an active text designates (itself when it is a number, else
  // the only number among its references); null when none.
  object* (*find_single_number_object)(object* text) = nullptr;
  // The unit pop-up of a number at a point; the new unit byte, or 255 when
  // dismissed.
  uint8_t (*unit_popup_menu)(int32_t x, int32_t y, object* number) = nullptr;
  // The number takes the unit (rescaled when the unit kind changes) and
  // rebuilds its value text.
  void (*update_measure_text)(object* number, uint8_t unit) = nullptr;
  void (*regenerate_rtf_if_needed)(object* obj) = nullptr;
  // Releases the cached text view of an object's text record.
  void (*release_text_view)(object* obj) = nullptr;
  // The last point clicked in the figure window.
  tagPOINT (*last_click_point)() = nullptr;
  // The length of the open text editor's text, -1 when none is open.
  int32_t (*text_editor_length)() = nullptr;

  // ---- Selection blinking
  // Toggles the selection marks; true when they changed.
  bool (*blink_selection_marks)() = nullptr;
  void (*draw_selection_rect)() = nullptr;
  void (*draw_selected_list)(dyn_array_object* list, int mode, int flags) = nullptr;
};

main_command_hooks& main_command_services();
void install_main_command_services(const main_command_hooks& hooks);

// Set while every document is being closed.
extern uint8_t closing_all_documents;
// The text-layout switch of the text objects.
extern uint8_t text_layout_switch;
// Set before the application is told to close.
extern uint8_t quit_requested;
// What the last Save command gave: 1 when the file was written.
extern int save_command_result;
// The application window, whose procedure is main_key_command; null until
// the application has started.
extern HWND application_window;

// Dispatches one command; param carries a path for Open (or 0). Answers 0.
int main_menu_command(HWND window, WPARAM command, LPARAM param);
// The application window procedure.
LRESULT main_key_command(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// The tool a command selects, or 0.
uint32_t command_to_tool_id(uint16_t command);

// Read the macro, or tool-menu, file that is in the kernel file image.
void open_ti_document();
void open_tool_menu_document();

// True when the figure holds no object, or only its hidden origin and axes.
bool is_figure_untouched(const kelvo_win_info* fig);
// Marks edited every open figure that is a figure with environment and has
// a file (after macros or the toolbar changed).
void for_each_figure_window();

// Multiplies the coordinates and radii of the current figure's objects by
// factor, from the axes on when with_axes is set, else from the third
// object, and recomputes them.
void scale_figure(double factor, uint8_t with_axes);
