// The figure file: a header line, a preamble (used macros, window,
// resolution, background, password, animation), one record per object with
// the "Ma:" lines of macro applications between them, and the block of the
// figure's pictures. The builder makes the whole image in the kernel file
// image; the readers fill the current figure.
#pragma once

#include <cstdint>
#include <string>

struct bitmap_info;
class KPGrafPort;

// Set by the reader for the window code.
extern int32_t win_origin_x, win_origin_y, win_size_x, win_size_y;
extern uint8_t win_pos_from_file;
// Start of the BITMAPS block in the text being read, null when none.
extern const char* bitmaps_block;
// 0 only while the reader creates objects.
extern uint8_t figure_loading_done;
// Counts the loads; its decimal text marks the macros renamed by a load.
extern uint32_t load_counter;
extern char load_number_text[16];

inline constexpr const char* kBitmapsTitle = "************ BITMAPS ************";
inline constexpr int32_t kViewLimit = 1900;

// The window line describes the port rectangle of the figure's display
// device, or a view of 600 x 420 pixels at the origin when it has none.

// The whole figure image of the current figure; 1, or 0 when the image
// cannot be allocated (after the out-of-memory message).
int txt_write_figure_file();
int32_t txt_write_window_lines(char* dst);
int32_t txt_write_background_line(char* dst);
int32_t txt_write_password_line(char* dst, const char* password);
int32_t txt_write_animate_line(char* dst);
int32_t txt_format_length(char* dst, const double* value, int16_t sign);
// One entry of the BITMAPS block: the picture's file name and its
// compressed, base64-encoded pixels. 0 for a picture that has none.
int32_t txt_write_bitmap_block(const bitmap_info* holder, char* dst);
// The BITMAPS block of the current figure (nothing when it has no picture to
// store or keeps its pictures as files).
int32_t txt_write_bitmaps(char* dst);

// Detection and dispatch; 1 on success, 0 on failure (the figure is then
// left empty and the reason is in figure_file_error()).
int8_t read_figure_file(const char* image, uint32_t len, const char* path);
int8_t txt_read_figure(const char* text, uint32_t len, const char* path);
const char* figure_file_error();
// The records the last figure read went on without, one line each: the
// record's number and why its object could not be built. Empty when every
// record was taken.
const std::string& figure_file_left_out();
// Why the objects of the last figure read stopped before the end of its
// text (a cut inside a record, a NUL byte, a line that is no record), with
// the line where they stopped; the records before it were read. Empty when
// the objects ran to the end. A text that stops before any record was
// taken is refused instead.
const std::string& figure_file_not_read();
// Refuses the figure being read for `why`: the figure is left empty and
// figure_file_error() gives the reason. Returns 0.
int8_t refuse_figure_file(const char* why);

// "Password:" and the rest of its line into a new block; the characters
// consumed (line end and white space after it included), 0 without it.
uint32_t txt_read_password(const char* text, char** out);
const char* txt_find_bitmaps_block(const char* text, uint32_t len);
// Attaches the picture `name` to *holder: a calculator screen, a file beside
// the figure (linked pictures), or an entry of the BITMAPS block. The holder
// stays empty when none is found.
void txt_read_bitmap_reference(const char* name, const char* path, KPGrafPort* dc, uint32_t remaining,
                               bitmap_info** holder);
void txt_next_load_number();
