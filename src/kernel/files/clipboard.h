// Copy, Cut and Paste of figure objects through the system clipboard, and
// the in-memory BMP image that the copied picture (and icons) are made of.
//
// Copy puts the selection on the clipboard as the program's own records
// (the clipboard form of each record), a BMP picture of the figure, rich
// text when only texts are selected and tab-separated lines for tables.
// Paste reads the records back into the current figure, shifted a little
// more on each paste of the same clipboard, and relinks them among
// themselves only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

struct object;

// The paste offset: restarts at (5, 5) after every copy of a selection.
extern uint8_t paste_restart;
extern int32_t paste_dx;
extern int32_t paste_dy;

void copy_to_clipboard();
void cut_selection_command();
void paste_from_clipboard();
// The text editor's paste: the clipboard's rich text handed to the editor's
// insertion (`insertRTFtext`); false when the clipboard holds none.
bool paste_rtf_into_text_editor(void (*insert_rtf)(const char* data, size_t length));
// Reads object records (the private flavour's bytes) into the current
// figure as paste does, after the offset was advanced; no undo step. Any
// bytes are safe: reading stops at the first record that cannot be read.
void paste_object_records(const char* data, size_t length);

// The object the entry (item, tag) stands for is also the object of an
// entry of the current figure's selection.
bool selection_contains_item(object* item, uint16_t tag);

// What copy would put on the clipboard, built without touching it: the
// records of the selection (empty when none), the rich text of its texts
// and the tab-separated lines of its tables.
std::string clipboard_records_of_selection();
std::string text_selection_rtf();
std::string table_selection_text();

// Statuses of the clipboard calls (0 success).
int32_t pasteboard_put_flavor(const void* bytes, size_t length, const char* flavor);
// The private flavour (rtf false) or the rich text (rtf true).
int32_t pasteboard_read_flavor(std::string* out, bool rtf);

// An in-memory BMP file (54-byte headers, 32 bits per pixel, rows bottom
// up, 54 + 4 * w * h bytes) of the pixels of `bits` (width x height, top row
// first) inside crop (null: all), clipped to the image. Without a palette
// the source is 32-bit words 0x??RRGGBB; with one, bytes indexing the
// palette's 0x00RRGGBB colours, key_color shown as replacement. Stamps 1
// and 2 mark tool icons (at most 32 x 32). Empty when nothing is left.
std::vector<uint8_t> dib_to_nsimage(const void* bits, int width, int height, const tagRECT* crop,
                                    const uint32_t* palette, uint32_t key_color, uint32_t replacement, int stamp);
