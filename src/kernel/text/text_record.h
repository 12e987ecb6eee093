// The text record of an object (its label, or the text of a text-like
// object) and the list of objects referenced inside a text.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"
#include "kernel/render/fonts.h"

struct DisplayDevice;


struct te_point {
  int32_t x;
  int32_t y;
};

struct te_size {
  int32_t w;
  int32_t h;
};

struct TErec {
  int32_t sel_start;
  int32_t sel_end;
  int32_t length;  // bytes of `text`, without the terminating NUL
  char* text;      // block memory, NUL-terminated
  car_info format;
  te_point pos;
  te_size size;
  int32_t reserved1;  // 1 at creation
  int32_t* column_widths;  // counted array (element 0 = n) for tables, or null
  uint8_t edit_flags;
  uint8_t reserved2;
  char* rtf_data;  // pending rich-text bytes, block memory, or null
  int8_t rich;
  // Handles of the text view that shows the text and of its strings; they
  // belong to the application's text view, which installs the hooks below.
  void* text_view;
  void* display_string;
  void* stored_string;
  void* previous_string;
  int8_t rtf_is_rtfd;
  int8_t frame_dirty;
  int32_t text_kind;
  int8_t regen_pending;
  int32_t needs_regen;
};

// Operations on the string and view handles of a text record, installed by
// the application's text view. Without them no handle is ever created, so a
// record never holds one.
struct TextHandleOps {
  // A new mutable copy of a stored string, or null on failure.
  void* (*copy_string)(void* string) = nullptr;
  // Releases a string handle.
  void (*release_string)(void* string) = nullptr;
  // Removes a text view from its window and releases it.
  void (*release_view)(void* view) = nullptr;
  // Edits the markers of a stored string in order: for the k-th marker,
  // edits[k] is -1 (keep), 0 (delete) or its new number.
  void (*rewrite_markers)(void* string, const int32_t* edits, int32_t count) = nullptr;
  // Brings the object's strings, and those of the objects it quotes, up to
  // date; with `create` the object gets its view and its frame is fitted.
  void (*refresh)(object* obj, bool create) = nullptr;
  // Draws the object's display string in the device, its top-left corner
  // at the record's position, clipped to its frame; characters without a
  // colour of their own take `color`.
  void (*draw)(DisplayDevice* dd, object* obj, uint32_t color) = nullptr;
  // The width and height the laid-out display string covers; false when
  // the object has none.
  bool (*text_extent)(object* obj, int32_t* width, int32_t* height) = nullptr;
  // The kernel changed the record's text in place.
  void (*text_needs_regen)(TErec* te) = nullptr;
  // Gives the whole stored string the colour (0xRRGGBB).
  void (*set_string_color)(void* string, uint32_t color) = nullptr;
  // Gives the whole stored string the record's font, size and face.
  void (*set_string_font)(TErec* te) = nullptr;
  // Rebuilds the object's shown text from its record; answers the laid-out
  // size as (height << 16) | width, 0 when nothing was laid out.
  int32_t (*regenerate_text)(object* obj) = nullptr;
  // Removes from the text the reference to obj, or the reference numbered
  // `number` when obj is null, and renumbers the others.
  void (*remove_reference)(object* text, object* obj, uint16_t number) = nullptr;
};
void install_text_handle_ops(const TextHandleOps& ops);
const TextHandleOps& text_handle_ops();

// Removes the record's views, releases its strings and frees the record
// with its text and column widths. Null does nothing.
void free_text_window(TErec* te);

// Frees every node of the list and clears the pointer.
void free_text_references(insert_object** list);

// The references read from files of the older text format and calculator
// figures, searched when no list is given.
extern insert_object* text_refs;

// The first node whose `number` equals number or whose `obj` equals obj
// (pass 0 or null for the key not used); a null list searches text_refs.
insert_object* find_text_reference(uint16_t number, const object* obj, insert_object* list);

// The node of the list for the marker at p; null when p holds no marker,
// the marker is "$0$" or the list has no such number. *len as for
// parse_reference_marker.
insert_object* find_text_reference_at(const char* p, insert_object* list, uint16_t* len);

// Makes the record's column widths hold at least n entries; new entries are
// 0. False when memory runs out (the old array is kept).
bool grow_column_widths(TErec* te, int32_t n);

// After the object's text was changed in place: the record's length follows
// the text, the text view is told, the frame takes the text's width, and the
// shown text is rebuilt.
void mark_text_needs_regen(object* obj);

// Removes a reference from a text object: the one to obj, or the one
// numbered `number` when obj is null; then rebuilds the shown text.
void remove_object_from_text(object* obj, uint16_t number, object* text);
