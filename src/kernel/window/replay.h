// The construction replay: a modal panel steps through the figure's objects
// in construction order, hiding every object after the current step (state
// bit OBJ_REPLAY_HIDDEN), and OK may cut the figure back to the steps shown.
// Also the springs, which the drawing passes leave to the spring drawing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kelvo_wrap_machine.h"

struct object;

// 1 while the construction replay runs.
extern uint8_t replay_running;
// Whether the replay shows the intermediate objects of macros.
extern uint8_t replay_shows_macro_internals;
// The object of the current step, null before the first step.
extern object* replay_current;

// The replay hides an object by this state bit.
inline constexpr uint32_t OBJ_REPLAY_HIDDEN = 1;

// Panel controls and the replay's timer.
inline constexpr int kReplayPrevious = 1062;
inline constexpr int kReplayNext = 1063;
inline constexpr int kReplayLast = 1064;
inline constexpr int kReplayFirst = 1065;
inline constexpr int kReplayStepText = 1102;
inline constexpr int kReplayInterim = 1188;
inline constexpr UINT kReplayTimer = 10;
// The step text keeps at most this many bytes.
inline constexpr std::size_t kReplayStepTextLimit = 512;

// Whether the replay shows the object: not a hidden object (unless the
// show/hide tool is current), not an intermediate macro object (unless the
// replay shows macro internals and the macro is unlocked), never an
// intersection set.
bool is_replay_visible(const object* obj);
// The same rule, asking a locked macro's password once.
bool replay_object_visible(const object* obj);

// Runs the replay panel on the current figure, unless a replay runs, there
// is no figure window or the figure has fewer than three objects.
void start_replay_construction();
// The panel's procedure: 272 initialise, 15 paint, 273 commands.
LRESULT replay_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void reset_replay();
void show_replay_step(object* obj);
// The description of a step: label (4 characters), construction, parents
// and the first- or last-step marker.
std::string describe_replay_step(const object* obj, bool use_macro_name);
const char* replay_step_text();
// OK's question: when objects follow the current step and the user says
// yes, they are deleted with their dependants.
void truncate_after_replay_step();
// Stops timer 10, shows every object again and clears the selection.
void end_replay_construction();

// The application runs the panel modally (1 once it ended).
extern int (*run_replay_construction_panel)(HWND parent, const char* name, HWND figure_window, WNDPROC procedure);

