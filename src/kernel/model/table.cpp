#include "kernel/model/table.h"

#include <cmath>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/render/display_device.h"
#include "kernel/render/pixel_pen.h"
#include "kernel/tools/tool_dispatch.h"
#include "platform/kernel_services.h"
#include "platform/win_types.h"

uint8_t tabulate_ready = 1;

namespace {

int32_t column_count(const object* table) { return table->nbparents > 0 ? table->nbparents / 2 : 0; }

int32_t row_count(const object* table) { return table->nbvaleurs > 0 ? table->nbvaleurs : 0; }

// The leading part of a number's text that is its value: up to the first
// letter other than "e", or the first blank; a sign does not stop it.
std::string value_part(const char* text) {
  std::string out;
  if (!text) return out;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (c == ' ') break;
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (letter && c != 'e') break;
    out.push_back(c);
  }
  return out;
}

std::string cell_of(const object* number) {
  if (!number || (number->state & OBJ_UNDEFINED)) return "--";
  // A calculation that failed keeps its failure in the flags of its value.
  if (number->classe == &classe_calculate && number->valeurs && number->nbvaleurs > 0 &&
      (number->valeurs[0].infini_inexist_indetermine & VAL_NOT_EXIST))
    return "_";
  return value_part(number->te ? number->te->text : nullptr);
}

// Offsets of the starts of the first `cells` cells, plus the end of the
// last one, within the block; stops early at the block's end. Answers the
// end; *found is the number of cells within the block.
int32_t cell_walk(const TErec* te, int32_t cells, int32_t* starts, int32_t* found = nullptr) {
  const int32_t size = te && te->text ? static_cast<int32_t>(GlobalSize(te->text)) : 0;
  int32_t at = 0;
  int32_t k = 0;
  for (; k < cells && at < size; ++k) {
    if (starts) starts[k] = at;
    const void* nul = std::memchr(te->text + at, '\0', static_cast<size_t>(size - at));
    at = nul ? static_cast<int32_t>(static_cast<const char*>(nul) - te->text) + 1 : size;
  }
  if (starts) starts[k] = at;
  if (found) *found = k;
  return at;
}

}  // namespace

int32_t table_cells_length(const TErec* te, int32_t cells) { return cells > 0 ? cell_walk(te, cells, nullptr) : 0; }

namespace {
// Bit of a table's first state word (kept in memory only).
constexpr uint32_t kRowFromNewColumn = 0x100;
}  // namespace

bool table_row_from_new_column(const object* table) { return table && (table->aux1 & kRowFromNewColumn); }

void set_table_row_from_new_column(object* table, bool set) {
  if (!table) return;
  if (set)
    table->aux1 |= kRowFromNewColumn;
  else
    table->aux1 &= ~kRowFromNewColumn;
}

void compute_table(object* table) {
  if (!table || !table->te) return;
  // A table's count of values counts its rows: it keeps no value block
  // that code reading values by that count could run past. A block left by
  // creation means a fresh table, whose count was the block's size.
  if (table->valeurs) {
    GlobalFreeAndNull(&table->valeurs);
    table->nbvaleurs = 0;
  }
  TErec* te = table->te;
  const int32_t rows = row_count(table);
  // A table without columns (one just made) has nothing to record.
  if (column_count(table) == 0) return;
  if (rows >= kMaxTableRows || !tabulate_ready) {
    MessageBeep(0);
    select_tool(0);
    return;
  }
  const int32_t columns = column_count(table);
  std::string row;
  for (int32_t j = 0; j < columns; ++j) {
    row += cell_of(table->parents ? table->parents[2 * j + 1] : nullptr);
    row.push_back('\0');
  }
  // The stored length ends the last cell; a record read from a file may
  // carry none, and then what counts is what the cells take.
  const int32_t block = te->text ? static_cast<int32_t>(GlobalSize(te->text)) : 0;
  int32_t old_length = te->length;
  if (rows == 0)
    old_length = 0;
  else if (old_length <= 0 || old_length > block || te->text[old_length - 1] != '\0')
    old_length = table_cells_length(te, rows * columns);
  const int32_t new_length = old_length + static_cast<int32_t>(row.size());
  const int32_t size = te->text ? static_cast<int32_t>(GlobalSize(te->text)) : 0;
  if (size < new_length || size > new_length + 50) {
    char* block = alloc_block<char>(static_cast<uint32_t>(new_length) + 1);
    if (!block) return;
    if (te->text && old_length > 0) std::memcpy(block, te->text, static_cast<size_t>(old_length));
    GlobalFreeAndNull(&te->text);
    te->text = block;
  }
  std::memcpy(te->text + old_length, row.data(), row.size());
  table->nbvaleurs = static_cast<int16_t>(rows + 1);
  te->length = new_length;
  tabulate_ready = 0;
  // A row recorded now shows a moment of its own; the table tool marks the
  // one it records itself when it adds a column.
  set_table_row_from_new_column(table, false);
}

void table_remove_row_or_column(object* table) {
  if (!table || !table->te) return;
  TErec* te = table->te;
  const int32_t rows = row_count(table);
  const int32_t columns = column_count(table);
  const int32_t r = table_row_request(te);
  const int32_t c = table_column_request(te);
  const bool row_ok = r >= 1 && r <= rows;
  const bool column_ok = !row_ok && c >= 1 && 2 * c <= table->nbparents;
  table_row_request(te) = 0;
  table_column_request(te) = 0;
  if (!row_ok && !column_ok) return;
  figure_changed = 1;

  // Compact the cells in place, skipping the removed ones.
  const int32_t cells = rows * columns;
  std::string kept;
  if (te->text) {
    int32_t* starts = alloc_block<int32_t>(static_cast<uint32_t>(cells) + 1);
    if (!starts) return;
    int32_t found = 0;
    cell_walk(te, cells, starts, &found);
    for (int32_t k = 0; k < found; ++k) {
      const int32_t row = k / columns + 1;
      const int32_t col = k % columns + 1;
      if (row_ok ? row == r : col == c) continue;
      const int32_t to = starts[k + 1];
      kept.append(te->text + starts[k], static_cast<size_t>(to - starts[k]));
    }
    GlobalFreeAndNull(&starts);
  }
  if (row_ok) {
    table->nbvaleurs = static_cast<int16_t>(rows - 1);
  } else if (columns > 1) {
    object** parents = alloc_block<object*>(static_cast<uint32_t>(table->nbparents - 2));
    if (!parents) return;
    for (int32_t i = 0, k = 0; i < table->nbparents; ++i)
      if (i / 2 != c - 1) parents[k++] = table->parents[i];
    GlobalFreeAndNull(&table->parents);
    table->parents = parents;
    table->nbparents = static_cast<int16_t>(table->nbparents - 2);
    figure_objects_changed(KPGeoDocument::currentInfo());
  } else {
    GlobalFreeAndNull(&table->parents);
    table->nbparents = 0;
    table->nbvaleurs = 0;
    kept.clear();
    figure_objects_changed(KPGeoDocument::currentInfo());
  }
  if (te->text) {
    std::memset(te->text, 0, GlobalSize(te->text));
    std::memcpy(te->text, kept.data(), kept.size());
  }
  te->length = static_cast<int32_t>(kept.size());
}

table_font_metrics table_metrics_on(DisplayDevice* dd, TErec* te) {
  table_font_metrics m;
  if (dd && dd->dc && te) {
    // The layout comes from the font at the figure's own size, whatever the
    // device's zoom: a table keeps its rows and columns at every zoom, in an
    // export and on paper.
    dd_select_text_font_at(dd, &te->format, 1);
    {
      const dd_selected_text_font in_table_font(dd);
      m.first_column = dd_text_width(dd, "999");
    }
    m.line_height = dd->fi.highline;
    m.ascent = dd->fi.ascent;
    // The device is left with the font it draws the table in. At a zoom
    // the rows scale exactly, but the font made at that zoom keeps its
    // glyphs to whole pixels and a row line takes two pixel rows: when its
    // digits, which may start a fraction of a pixel down, would not fit
    // between two lines, a slightly smaller size is taken. Below half size
    // digits are a few pixels high whatever is done: they keep the zoom's.
    if (dd->ratio != 1) {
      dd_select_text_font(dd, &te->format);
      const double room = std::floor(m.line_height * dd->ratio) - 3;
      const int steps = dd->ratio >= 0.5 ? 5 : 0;
      for (int step = 1; step <= steps && dd->fi.cap_height > room; ++step)
        dd_select_text_font_at(dd, &te->format, dd->ratio * (1 - 0.05 * step));
    }
  }
  // Without a device, the metrics of a 12-point face.
  if (m.first_column <= 0) m.first_column = 21;
  if (m.line_height <= 0) m.line_height = 15;
  if (m.ascent <= 0) m.ascent = 12;
  m.first_column += 5;
  return m;
}

void table_metrics(TErec* te, int32_t* first_column, int32_t* line_height) {
  const table_font_metrics m = table_metrics_on(static_display, te);
  *first_column = m.first_column;
  *line_height = m.line_height;
}

int32_t table_columns_width(const TErec* te, int32_t columns) {
  int32_t w = 0;
  for (int32_t k = 1; k <= columns; ++k) w += table_column_width(te, k);
  return w;
}

int32_t table_column_width(const TErec* te, int32_t k) {
  const int32_t w = te && te->column_widths && k < te->column_widths[0] ? te->column_widths[k] : 0;
  return w > 0 ? w : kDefaultColumnWidth;
}

void table_hit_cell(const tagPOINT* p, TErec* te, uint16_t* row, uint16_t* col) {
  if (row) *row = 0;
  if (col) *col = 0;
  if (!p || !te || !row || !col) return;
  int32_t w0 = 0, h = 0;
  table_metrics(te, &w0, &h);
  const int32_t left = te->pos.x, top = te->pos.y, width = te->size.w, height = te->size.h;
  if (left < p->x && p->x < left + w0) {
    int32_t y = top + h;
    uint32_t r = 0;
    while (y < top + height && y < p->y && r < 0xFFFF) {
      y += h;
      ++r;
    }
    *row = r == 0 ? 65535 : static_cast<uint16_t>(r);
    return;
  }
  const int32_t* widths = te->column_widths;
  if (!widths || !(top < p->y && p->y < top + h)) return;
  const int32_t n = widths[0];
  int32_t x = left + w0;
  int32_t k = 1;
  uint32_t c = 0;
  while (x < left + width && x < p->x && k < n) {
    x += widths[k] > 0 ? widths[k] : 70;
    ++k;
    ++c;
  }
  if (x - p->x > 4) {
    const int32_t next = k < n ? (widths[k] > 0 ? widths[k] : 70) : 70;
    if (x + next - p->x < 5) c = 65535 - c;
  } else {
    c = 65536 - c;
  }
  if ((c & 0xFFFF) != 0) *col = static_cast<uint16_t>(c);
}
