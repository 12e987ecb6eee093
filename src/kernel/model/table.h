// Table objects: each time the figure moves a table appends a row with the
// current text of each tabulated number. Parents come in pairs, one pair per
// column; the second parent of pair j is the number of column j + 1. The
// table's text record holds the cells row after row, each NUL-terminated,
// and the row and column removals the user asked for.
#pragma once

#include <cstdint>

struct DisplayDevice;
struct object;
struct TErec;
struct tagPOINT;

inline constexpr int16_t kMaxTableRows = 999;

// Set at each drag step; a row is appended only while it is set, and the
// append clears it.
extern uint8_t tabulate_ready;

// The record's row and column removal requests (1-based, 0 none) live in
// `sel_start` and `sel_end`.
inline int32_t& table_row_request(TErec* te);
inline int32_t& table_column_request(TErec* te);

// Compute operation of tables: appends a row of cells, or beeps and makes
// the pointer tool current when the table is full or not ready.
void compute_table(object* table);

// The table's last row was recorded by the table tool when it added a
// column (a row recorded any other way clears the mark).
bool table_row_from_new_column(const object* table);
void set_table_row_from_new_column(object* table, bool set);

// Carries out the table's pending row removal, or else its pending column
// removal (the column's pair of parents goes too); requests out of range
// are dropped. Both requests are cleared.
void table_remove_row_or_column(object* table);

// The row-number column (row 65535 for the header line, 1 for the first
// data line) or the column header (a column number, 65535 - c near the
// next border, 65536 - c on a column's right border) under the point.
// Both stay 0 elsewhere.
void table_hit_cell(const tagPOINT* p, TErec* te, uint16_t* row, uint16_t* col);

// Bytes taken by the first `cells` cells of the record's text, never past
// the end of its block.
int32_t table_cells_length(const TErec* te, int32_t cells);

// A column whose stored width is 0 is this wide.
inline constexpr int32_t kDefaultColumnWidth = 70;

// How a table is laid out in figure pixels from its font: the width of the
// row-number column ("999" and 5 pixels), the line height and the ascent.
struct table_font_metrics {
  int32_t first_column = 0;
  int32_t line_height = 0;
  int32_t ascent = 0;
};

// The metrics of the table's font in figure pixels, measured on the device
// at the figure's own size whatever its zoom; those of a 12-point face
// without a device. Leaves the font selected on the device at its zoom,
// made no larger than its digits scaled from the figure's size.
table_font_metrics table_metrics_on(DisplayDevice* dd, TErec* te);

// Width of the row-number column and line height of the table's font in
// the shared off-screen device (fixed defaults without one).
void table_metrics(TErec* te, int32_t* first_column, int32_t* line_height);

// Width of column k (1-based) and of the first `columns` columns.
int32_t table_column_width(const TErec* te, int32_t k);
int32_t table_columns_width(const TErec* te, int32_t columns);

#include "kernel/text/text_record.h"
inline int32_t& table_row_request(TErec* te) { return te->sel_start; }
inline int32_t& table_column_request(TErec* te) { return te->sel_end; }
