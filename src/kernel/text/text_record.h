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
  // Builds the stored string from the record's text or rich-text bytes
  // when it has none; true when it built it.
  bool (*regen_stored)(TErec* te) = nullptr;
  // Draws the object's display string in the device, its top-left corner
  // at the record's position, clipped to its frame; characters without a
  // colour of their own take `color`.
  void (*draw)(DisplayDevice* dd, object* obj, uint32_t color) = nullptr;
  // The width and height the laid-out display string covers; false when
  // the object has none.
  bool (*text_extent)(object* obj, int32_t* width, int32_t* height) = nullptr;
};
void install_text_handle_ops(const TextHandleOps& ops);
const TextHandleOps& text_handle_ops();

// Removes the record's views, releases its strings and frees the record
// with its text and column widths. Null does nothing.
void free_text_window(TErec* te);

// Frees every node of the list and clears the pointer.
void free_text_references(insert_object** list);

// The first node whose `number` equals number or whose `obj` equals obj.
insert_object* find_text_reference(uint16_t number, const object* obj, insert_object* list);
