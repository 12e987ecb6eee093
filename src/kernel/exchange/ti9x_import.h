// Import of TI-89/92 figure and macro variables: each record of the
// variable data is replayed as a construction of the current figure.
#pragma once

#include <cstdint>
#include <string>

struct construct_class;

// Rebuilds the figure of a calculator file image in the current (fresh)
// figure. 1 when the whole figure was read, 0 when a record failed (the
// objects read before it stay); ti9x_import_error() says why.
int ti9x_read_figure(const char* image, uint32_t len);
// Registers the macro of the variable data [data, end) as a tool. The
// bytes consumed, or -1.
int32_t ti9x_read_macro(const uint8_t* data, const uint8_t* end);
// The macro of a whole macro-variable file image; 1 when it was read.
int ti9x_read_macro_file(const char* image, uint32_t len);
const std::string& ti9x_import_error();

// The class of the global class list whose file code is `code`, or null.
construct_class* ti9x_find_macro_class(const char* code);
// Calculator type code -> kernel type id.
uint16_t ti9x_kernel_type(int16_t code);
