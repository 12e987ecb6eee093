// The text file family: the single kernel file image, the two-pass writer
// convention, the header line of every file and the detection of a file's
// kind, generation, platform and version, and the scanners of lengths.
#pragma once

#include <cstdint>

// Lengths are pixels in memory and centimetres in files: the scanners and
// writers convert through pixels_per_unit.
#include "kernel/model/units.h"

// The kernel file image: a NUL-terminated block of kernel memory; the length
// never counts the NUL.
extern char* file_buffer;
extern uint32_t file_buffer_len;

// Counting area of the writers: a writer given a destination inside it (or a
// null one) only returns its length.
inline constexpr uint32_t kTxtScratchSize = 1048576;
extern char txt_scratch[kTxtScratchSize];

// Detection state of the last file examined.
extern uint8_t file_class;       // 0 current edition, 1 older edition / calculator / prefs, 2 old binary
extern uint8_t file_platform;    // 0 MS-Windows, 1 MacOS, 2 DOS, 3 TI-89/92, 4 TI-83 Plus
extern double file_version;
extern uint8_t file_mac_header;  // the header's version text began with "(MAC"

// Kind codes of the detectors.
inline constexpr int FILE_KIND_FIGURE = 0;
inline constexpr int FILE_KIND_MACRO = 1;
inline constexpr int FILE_KIND_MENUS = 2;
inline constexpr int FILE_KIND_SITUATIONS = 3;
inline constexpr int FILE_KIND_PREFS = 4;
inline constexpr int FILE_KIND_REFUSED = 5;

// Words of the family.
extern const char* const txt_kind_words[4];  // "Figure Kelvo" ... "Situations Kelvo"
inline constexpr const char* kTxtCurrentEdition = "Nova vers.";
inline constexpr const char* kTxtOlderEdition = "Duo vers.";
inline constexpr const char* kTxtPrefsHeader = "Prefs Kelvo Nova vers. MS-Windows 1.0";

// Replaces the file image by a copy of `len` bytes followed by a NUL.
// Returns false (and leaves no image) when memory runs out.
bool load_file_image(const void* bytes, uint32_t len);
// Frees the file image and forgets what was detected of it: the next text
// read without a header of its own (a pasted record, a used macro) is of the
// current edition, whatever file came before.
void free_file_image();
// Back to the detection state of start-up (current edition, MS-Windows, no
// file resolution).
void reset_file_detection();

// True when a writer given dst must only count.
bool txt_is_counting(const char* dst);

// Writers: each returns its length in bytes; a null destination counts only.
int32_t txt_put_crlf(char* dst);
int32_t txt_write_section_title(char* dst, const char* title);
// The first line of a file of kind 0..3, then n CR LF pairs.
int32_t txt_write_header(char* dst, int kind, int n);

// Classifies the text of `len` bytes at buf (the file image) and sets the
// detection state; returns the kind code.
int txt_detect_header(uint32_t len, const char* buf);
// The same on the file image, as the open path sniffs files.
int sniff_file_format();

// A length in centimetres at or after text (on the same line), in pixels.
// Returns the characters used, 0 when the line holds no number (or one out
// of range), in which case *out is left alone.
int32_t txt_scan_number(double* out, const char* text);
// txt_scan_number rounded to the nearest 16-bit integer; 0 characters when
// there is no number or it does not fit.
int32_t txt_scan_int(int16_t* out, const char* text);
