#include "kernel/files/menus_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_services.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/toolbox.h"
#include "platform/kernel_services.h"

char menus_password[kMenusPasswordMax + 1] = {};

namespace {

constexpr const char* kMenuBarTitle = "Menu bar description:";
constexpr const char* kToolbarTitle = "Toolbar description:";
constexpr const char* kUsedMacroTitle = "Used macro";
constexpr const char* kFigureTitle = "Figure description:";
constexpr const char* kPasswordKey = "Password:";
constexpr const char* kTrashName = "Trash";
// Longest tool name read from a description; longer names are cut.
constexpr size_t kToolNameMax = 255;

bool starts_with(const char* text, size_t avail, const char* word) {
  const size_t n = std::strlen(word);
  return avail >= n && std::strncmp(text, word, n) == 0;
}

bool is_space(char c) { return c == '\r' || c == '\n' || c == '\t' || c == ' '; }


size_t skip_space(const char* text, size_t pos, size_t len) {
  while (pos < len && text[pos] && is_space(text[pos])) ++pos;
  return pos;
}

// The name written for a tool: its class's English name, else the key of
// its row of the class-less tools, else the name itself.
const char* file_name_of_tool(const char* name) {
  if (construct_class* cls = find_class_by_name(name, 0); cls && cls->english_name) return cls->english_name;
  if (const int16_t row = find_toolbar_index_by_name(name, 0); row > 0) {
    if (const toolbar_row* r = toolbar_row_at(row); r && r->english_name) return r->english_name;
  }
  return name;
}

bool name_in_toolbox(const char* name) {
  if (!name) return false;
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    const menu* m = tool_menus[i];
    if (m == trash_toolbox) continue;
    for (int k = 1; m->names && m->names[k]; ++k)
      if (std::strcmp(m->names[k], name) == 0) return true;
  }
  return false;
}

// An empty trash: the existing record emptied, or a new one.
menu* fresh_trash() {
  if (trash_toolbox) {
    while (menu_entry_count(trash_toolbox) > 0) remove_toolbox_tool_at(trash_toolbox, 1);
    return trash_toolbox;
  }
  trash_toolbox = new_tool_record(kToolbarWindowId, nullptr, kTrashName,
                                  640 - toolbox_layout.margin - 2 * toolbox_layout.button_width,
                                  toolbox_layout.margin, MENU_TOOLBOX);
  return trash_toolbox;
}

void rebuild_palette() {
  if (files_services().rebuild_tools_panel) files_services().rebuild_tools_panel();
}

int32_t used_macros(char* dst) { return txt_write_used_macros(dst, 1, 0); }

// Moves past line ends, tabs and lines of blanks, but not past the blanks
// that open the next tool line: they are that tool's gap.
size_t skip_blank_lines(const char* text, size_t pos, size_t len) {
  while (pos < len && text[pos]) {
    if (text[pos] == '\r' || text[pos] == '\n' || text[pos] == '\t') {
      ++pos;
      continue;
    }
    size_t p = pos;
    while (p < len && text[p] == ' ') ++p;
    if (p > pos && (p >= len || text[p] == '\0' || text[p] == '\r' || text[p] == '\n')) {
      pos = p;
      continue;
    }
    break;
  }
  return pos;
}

// Moves past the rest of the line and the empty lines after it.
size_t skip_line(const char* text, size_t pos, size_t len) {
  while (pos < len && text[pos] && text[pos] != '\r' && text[pos] != '\n') ++pos;
  return skip_blank_lines(text, pos, len);
}

}  // namespace

int32_t txt_write_menu_bar_description(char* dst) {
  TxtOut out(dst);
  if (menus_password[0]) {
    out.put(kPasswordKey);
    out.ch(' ');
    out.put(menus_password);
    out.crlf();
    out.crlf();
  }
  for (int g = 0; tool_menus && tool_menus[g]; ++g) {
    const menu* m = tool_menus[g];
    const int first = m == trash_toolbox ? 0 : 1;
    for (int i = first; m->names && m->names[i]; ++i) {
      const int gap = i == 1 ? m->gap : (m->item_flags ? m->item_flags[i] : 0);
      for (int b = 0; b < gap; ++b) out.ch(' ');
      out.put(file_name_of_tool(m->names[i]));
      out.crlf();
    }
    out.crlf();
  }
  return out.len;
}

void txt_write_menus_file(uint8_t with_macros) {
  free_file_image();
  const int32_t macros = with_macros ? used_macros(nullptr) : 0;
  int32_t total = txt_write_header(nullptr, FILE_KIND_MENUS, 2);
  if (macros > 0) total += macros + txt_write_section_title(nullptr, kMenuBarTitle);
  total += txt_write_menu_bar_description(nullptr);
  char* image = alloc_block<char>(static_cast<uint32_t>(total) + 1);
  if (!image) {
    message_box_simple(kernel_string(294));
    return;
  }
  TxtOut out(image);
  out.add(txt_write_header(out.here(), FILE_KIND_MENUS, 2));
  if (macros > 0) {
    out.add(used_macros(out.here()));
    out.add(txt_write_section_title(out.here(), kMenuBarTitle));
  }
  out.add(txt_write_menu_bar_description(out.here()));
  file_buffer = image;
  file_buffer_len = static_cast<uint32_t>(std::min(out.len, total));
  file_buffer[file_buffer_len] = '\0';
}

bool txt_write_situations_file() {
  free_file_image();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  // Everything before the objects, in file order; the same chain counts and
  // writes.
  auto preamble = [&](char* dst) {
    TxtOut out(dst);
    out.add(txt_write_header(out.here(), FILE_KIND_SITUATIONS, 2));
    out.add(save_temp_preferences(out.here()));
    out.crlf();
    out.add(used_macros(out.here()));
    out.add(txt_write_section_title(out.here(), kMenuBarTitle));
    out.add(txt_write_menu_bar_description(out.here()));
    out.add(txt_write_section_title(out.here(), kFigureTitle));
    out.add(txt_write_window_lines(out.here()));
    out.add(txt_write_background_line(out.here()));
    out.add(txt_write_password_line(out.here(), fig ? fig->password : nullptr));
    out.add(txt_write_animate_line(out.here()));
    return out.len;
  };
  auto objects = [](char* dst) { return txt_write_objects(dst); };
  const int32_t head = preamble(nullptr);
  const int32_t body = objects(nullptr);
  const int64_t total = int64_t{head} + body + 2;
  char* image = total < INT32_MAX ? alloc_block<char>(static_cast<uint32_t>(total) + 1) : nullptr;
  if (!image) {
    message_box_simple(kernel_string(294));
    return false;
  }
  TxtOut out(image);
  out.add(preamble(out.here()));
  out.crlf();
  out.add(objects(out.here()));
  file_buffer = image;
  file_buffer_len = static_cast<uint32_t>(std::min<int64_t>(out.len, total));
  file_buffer[file_buffer_len] = '\0';
  return true;
}

void txt_read_menu_description(const char* text, uint32_t len, uint8_t install) {
  (void)install;
  if (!text) return;
  const char* title = (file_platform == 1 && file_class == 1 && file_version > 1) ? kToolbarTitle : kMenuBarTitle;
  free_all_toolboxes();
  add_tool_by_toolbox_id(kFirstToolbox, toolbar_row_at(ROW_POINTER), 0);

  size_t pos = 0;
  if (starts_with(text, len, kUsedMacroTitle)) {
    pos = skip_line(text, pos, len);
    while (pos < len && text[pos] && !starts_with(text + pos, len - pos, title)) {
      const int32_t used = txt_load_used_macro(text + pos, 0);
      // A definition that reads nothing would never end the block.
      if (used <= 0 || static_cast<uint32_t>(used) > len - pos) break;
      pos += used;
      pos = skip_space(text, pos, len);
    }
    if (pos < len && starts_with(text + pos, len - pos, title)) pos = skip_line(text, pos, len);
  }

  if (pos < len && starts_with(text + pos, len - pos, kPasswordKey)) {
    size_t p = pos + std::strlen(kPasswordKey);
    while (p < len && text[p] == ' ') ++p;
    size_t n = 0;
    while (p + n < len && text[p + n] && text[p + n] != '\r' && text[p + n] != '\n') ++n;
    // The password holds at most its 23 characters; the rest is passed over.
    const size_t keep = std::min<size_t>(n, kMenusPasswordMax);
    std::memcpy(menus_password, text + p, keep);
    menus_password[keep] = '\0';
    pos = skip_line(text, p + n, len);
  }

  int16_t toolbox = kFirstToolbox;
  bool trash_mode = false;
  bool reading = true;
  menu* trash = nullptr;
  while (reading && pos < len && text[pos]) {
    while (pos < len && text[pos] && text[pos] != '\r' && text[pos] != '\n') {
      int gap = 0;
      while (pos < len && text[pos] == ' ') {
        ++pos;
        ++gap;
      }
      size_t n = 0;
      while (pos + n < len && text[pos + n] && text[pos + n] != '\r' && text[pos + n] != '\n') ++n;
      char name[kToolNameMax + 1] = {};
      std::memcpy(name, text + pos, std::min(n, kToolNameMax));
      pos += n;
      if (pos < len && (text[pos] == '\r' || text[pos] == '\n')) {
        const char first = text[pos++];
        if (pos < len && (text[pos] == '\r' || text[pos] == '\n') && text[pos] != first) ++pos;
      }
      text_charset_convert(name, 0, sizeof name);
      const auto gap8 = static_cast<uint8_t>(std::min(gap, 255));

      // A class without an English name (the pre-built macros, user macros)
      // is written under its own name, so that name finds it too.
      construct_class* cls = find_class_by_second_name(name);
      if (!cls) cls = find_class_by_name(name, 0);
      if (cls) {
        if (trash_mode)
          add_tool_to_toolbox(trash, cls->icon, cls->name, -1, 0);
        else
          add_tool_from_descriptor(toolbox, cls, gap8);
      } else if (const int16_t row = find_toolbar_index_by_key(name); row > 0) {
        if (row != ROW_POINTER) {
          const toolbar_row* r = toolbar_row_at(row);
          if (trash_mode)
            add_tool_to_toolbox(trash, r->icon, r->name, -1, 0);
          else
            add_tool_by_toolbox_id(toolbox, r, gap8);
        }
      } else if (std::strcmp(name, kTrashName) == 0) {
        trash = fresh_trash();
        trash_mode = trash != nullptr;
        if (!trash) reading = false;
      } else {
        reading = false;
      }
      // A line that was only the end of a CR LF pair must not stop the group
      // early: the next line starts where the pair ended.
      if (!reading) break;
    }
    pos = skip_blank_lines(text, pos, len);
    ++toolbox;
    if (toolbox > kLastToolbox && !trash_mode) {
      // No more toolbox identifiers: the rest can only be the trash.
      if (!(pos < len && starts_with(text + pos, len - pos, kTrashName))) break;
    }
  }

  if (trash_mode) {
    rebuild_palette();
    return;
  }
  trash = fresh_trash();
  if (trash) {
    for (int i = 0; class_list && class_list[i]; ++i) {
      construct_class* cls = class_list[i];
      if (!cls->name || name_in_toolbox(cls->name)) continue;
      if (cls->short_name && (std::strcmp(cls->short_name, "PReg") == 0 || std::strcmp(cls->short_name, "Int") == 0))
        continue;
      add_tool_to_toolbox(trash, cls->icon, cls->name, -1, 0);
    }
    for (int16_t row = 1; row <= kToolbarRows; ++row) {
      const toolbar_row* r = toolbar_row_at(row);
      if (r && r->name && !name_in_toolbox(r->name)) add_tool_to_toolbox(trash, r->icon, r->name, -1, 0);
    }
  }
  rebuild_palette();
}

namespace {
// Why a figure with its environment is refused: the language's text, or
// the built-in one when no language gave it.
constexpr int kRowEmptyFile = 185;
constexpr int kRowNoFigure = 201;
int8_t refuse_with(int row, const char* builtin) {
  const char* text = kernel_string(row);
  return refuse_figure_file(text[0] ? text : builtin);
}
}  // namespace

int8_t txt_read_menus_file(char* text, uint32_t len, const char* path) {
  if (!text || len == 0) return refuse_with(kRowEmptyFile, "the file is empty");
  // A file cut before its figure changes nothing: neither the preferences
  // nor the toolbar.
  const std::string_view whole(text, strnlen(text, len));
  if (whole.find(kFigureTitle, skip_line(text, 0, len)) == std::string_view::npos)
    return refuse_with(kRowNoFigure, "the file ends before its figure");
  txt_next_load_number();
  init_default_attrs(path);
  size_t pos = skip_line(text, 0, len);
  // The preferences the file carries become the user's.
  if (pos < len) pos += restore_preference_text(text + pos, static_cast<uint32_t>(len - pos));
  while (pos < len && text[pos] && !starts_with(text + pos, len - pos, kMenuBarTitle) &&
         !starts_with(text + pos, len - pos, kUsedMacroTitle))
    ++pos;
  if (pos < len && starts_with(text + pos, len - pos, kMenuBarTitle)) pos = skip_line(text, pos, len);
  size_t k = 0;
  while (pos + k < len && text[pos + k] && !starts_with(text + pos + k, len - pos - k, kFigureTitle)) ++k;
  if (pos + k >= len || text[pos + k] == '\0') return refuse_with(kRowNoFigure, "the file ends before its figure");
  txt_read_menu_description(text + pos, static_cast<uint32_t>(k), 1);
  return txt_read_figure(text + pos + k, static_cast<uint32_t>(len - k - pos), path);
}
