// The text record of one object of a figure (head line, style line, text
// lines, text box and trailer) and the objects section of a figure text.
// Every writer follows the two-pass convention: a null destination counts.
#pragma once

#include <cstdint>
#include <vector>

#include "kernel/model/figure.h"

struct TErec;
struct bitmap_info;
struct construct_class;

// Rich-text mode: set, stored rich text may be RTFD; cleared while a
// clipboard record is written and when the "PC Compatible" option is on.
extern uint8_t rich_text_mode;

int32_t txt_write_objects(char* dst);
// One record followed by a NUL (not counted).
int32_t txt_write_object_record(object* obj, char* dst);
// The clipboard form of a record: plain RTF only.
int32_t txt_write_object(object* obj, char* dst);

// Pieces of a record, in record order.
int32_t txt_write_object_number(object* obj, char* dst);
int32_t txt_write_macro_result(object* obj, char* dst);
int32_t txt_write_class_name(object* obj, char* dst);
int32_t txt_write_parents(object* obj, char* dst);
int32_t txt_write_included_elements(object* obj, char* dst);
int32_t txt_write_associated_elements(object* obj, char* dst);
int32_t txt_write_type_info(object* obj, char* dst);
int32_t txt_write_values(object* obj, char* dst);
int32_t txt_write_number_value(object* obj, char* dst);
int32_t txt_write_object_style(object* obj, char* dst);
int32_t txt_write_param_colors(object* obj, char* dst);
int32_t txt_write_label(object* obj, char* dst);
int32_t txt_write_text_string(object* obj, char* dst);
int32_t txt_write_number_text(object* obj, char* dst);
int32_t txt_write_text_frame(object* obj, char* dst);
int32_t txt_write_property_texts(object* obj, char* dst);
int32_t txt_write_rich_text(object* obj, char* dst);
int32_t txt_write_table_columns(object* obj, char* dst);
// A table's column widths after "TC:": " k:width" for each width other than
// 70, or " std" when all are 70.
int32_t txt_write_column_widths(const object* obj, char* dst);

// The per-type word of an object of class cls as the record writes it; the
// macro-step writer passes the types of the step's parents.
int32_t txt_write_type_info_word(char* dst, const construct_class* cls, int16_t method,
                                 math_info word, const uint16_t* parent_types, int nparents);
// The style of an object (obj may be null for a macro step). Exact colours
// are written unless `macro_step` is set.
// A picture whose file cannot be opened under its name, and whose name has
// an extension of more than two characters, takes the extension "bmp": it
// is written and saved beside the figure as a BMP, and read back as one.
void txt_fix_picture_extension(bitmap_info* picture);

int32_t txt_write_style(char* dst, object* obj_or_null, const object_settings* settings,
                        uint16_t type_id, bool macro_step = false);
int32_t txt_write_quoted(const char* text, char* dst);
// The text of a text-like object, quoted, its bound markers written '"#'.
int32_t txt_write_quoted_text_of(const object* owner, char* dst);
// The run line (and stored block) of a text record, its colour given as one
// of the sixteen palette colours (the older format).
int32_t txt_write_rich_runs(const TErec* te, bool property, char* dst);
// The unit word of a unit code ("WU" when it names none).
const char* txt_unit_name(uint8_t unite);
// The objects an object's text refers to: by marker in order of appearance,
// then those no marker uses.
std::vector<object*> txt_text_references_in_order(const object* obj);
int32_t txt_write_text_box(char* dst, const TErec* text);
int32_t txt_format_real(char* dst, const double* value, int16_t sign);
int32_t txt_format_coord(int32_t value, char* dst);
// A stored rich-text block (RTF text or flattened RTFD), or 0 for null.
int32_t txt_write_rtf_block(const char* data, char* dst);
