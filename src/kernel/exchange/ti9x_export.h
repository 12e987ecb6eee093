// Export of the current figure as a TI-89/92 figure variable: the body of
// the variable (used macros, settings, origin, axes, grid, one record per
// object) and the file around it.
#pragma once

#include <cstdint>

struct construct_class;
struct object;

// Builds the file of calculator model `code` (5..8) as the kernel file
// image (file_buffer), or leaves it empty when the user declines or the
// figure is too large. The figure, its undo copy and its edited mark are
// as before. Answers 1 when an image was built.
int ti9x_export_figure(int code);

// Removes, after asking, the objects the calculator cannot hold (until the
// figure is restored from the undo copy); 0 when the user declines.
int ti9x_prepare_export();
// The length of the body; 0 for a figure without objects.
uint32_t ti9x_body_size();
int ti9x_write_body(uint8_t* dst);
// Each returns the bytes written (or that would be written for a null
// destination).
uint32_t ti9x_write_used_macros(uint8_t* dst);
uint32_t ti9x_write_macro_def(const construct_class* cls, uint8_t* dst);
uint32_t ti9x_write_object(object* obj, uint8_t* dst);

// Calculator type code of a kernel type id (0: none).
int16_t ti9x_type_code(uint16_t type_id);
// The method code written for an object.
int16_t ti9x_method_code(const object* obj);
// What the export does with an object: 0 writes it, 1 writes it losing
// part of its appearance (picture, colours driven by numbers, a text or
// label not in the calculator's format), 2 cannot write it (no class code,
// a button, an expression).
int ti9x_export_state(const object* obj);
// The value kinds (FIELD_H, FIELD_V, FIELD_RADIUS) of values 0..4 of a
// class code and method; false when the values are not written.
bool ti9x_value_kinds(const char* code, int16_t method, uint8_t kinds[5]);
// The 3-byte style record of an object.
void ti9x_style_record(const object* obj, uint8_t out[3]);
// Calculator units per figure pixel (29 per centimetre).
double ti9x_units_per_pixel();
