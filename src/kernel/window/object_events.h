// Event operations of the construction methods: how an object reacts to a
// drag or a key. Mode 0 marks what will move (state bit 1, first hit) and
// answers whether the object takes part (1) or refuses (0); it may point
// the reference at the earliest parent. Mode 1 performs one drag step or
// key and answers 0 (not handled), 1 (changed: recompute and redraw) or 2
// (handled, nothing changed).
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct object;
struct kel_EventRecord;

int16_t event_generic(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_points(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_regular_polygon(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_one_point(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_angle(uint8_t mode, object** ref, kel_EventRecord* event);
// An angle mark pressed by its handle (the first designated object, with a
// tag): a drag step scales its radius to the mouse's distance from the
// vertex. Refuses (0) anything else.
int16_t event_angle_mark_radius(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_compass(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_locus(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_axes_grid(uint8_t mode, object** ref, kel_EventRecord* event);
int16_t event_value_object(uint8_t mode, object** ref, kel_EventRecord* event);
// A drag on the visible end of a line or ray (its smart-line length).
int16_t object_drag_event(uint8_t mode, object** ref, kel_EventRecord* event);
// A drag on a label or a text frame.
int16_t text_event(uint8_t mode, object** ref, kel_EventRecord* event);

// The part of the object's grabbed by the current manipulation.
extern uint16_t grabbed_part;

// Services of the text, locus and value subsystems that the operations
// use. An empty slot means the service is not there: the operation then
// refuses what needs it.
struct object_event_services {
  // Converts a point of the window to figure coordinates (identity unset).
  void (*window_to_figure)(double* x, double* y) = nullptr;
  // Whether the key acts on the object's value.
  bool (*key_accepted)(object* obj, uint32_t key) = nullptr;
  // Changes the number of sample points of a locus ('+' more, '-' fewer);
  // true when the number changed.
  bool (*locus_change_nb_points)(object* locus, bool more) = nullptr;
  // Whether the object can carry a label, and its label placed again.
  bool (*is_labelable_object)(object* obj) = nullptr;
  void (*place_object_label)(object* obj) = nullptr;
  // The number selected in the active text, or null.
  object* (*selected_number_in_active_text)() = nullptr;
  // Takes a number out of a text (remove non-zero) or puts it in.
  void (*link_number_to_text)(object* number, object* text, int remove) = nullptr;
  // Row (above 0) or column (negative: the border right of column -c) of a
  // table under a figure point.
  void (*table_hit_cell)(object* table, double x, double y, int16_t* row, int16_t* column) = nullptr;
  // Rebuilds the rich text of a text record after its frame changed.
  void (*regenerate_rich_text)(object* obj) = nullptr;
};
object_event_services& object_event_hooks();

// Event point in figure coordinates.
void event_point_in_figure(const kel_EventRecord* event, double* x, double* y);
