#include "kernel/tools/toolbox.h"

#include <cstring>

#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"

menu** tool_menus = nullptr;
int16_t tool_menus_capacity = 0;
menu* attrib_menus[kAttributeMenuCount + 1] = {};
menu* trash_toolbox = nullptr;
toolbox_layout_metrics toolbox_layout = {};
uint8_t attribute_icon_table[28][kToolIconBytes] = {};

namespace {

uint8_t text_size_icons[2][kToolIconBytes] = {};
uint8_t color_popup_icons[3][kToolIconBytes] = {};
uint8_t trash_icon[kToolIconBytes] = {};

void (*g_release_view)(void*) = nullptr;

char* copy_name(const char* name) {
  const std::size_t n = name ? std::strlen(name) : 0;
  char* copy = alloc_block<char>(static_cast<uint32_t>(n + 1));
  if (copy && n) std::memcpy(copy, name, n);
  return copy;
}

int tool_menus_count() {
  int n = 0;
  if (tool_menus)
    while (tool_menus[n]) ++n;
  return n;
}

menu* find_toolbox(int16_t id) {
  for (int i = 0; tool_menus && tool_menus[i]; ++i)
    if (tool_menus[i]->id == id) return tool_menus[i];
  return nullptr;
}

// Slots with the face and the terminator, from the names.
int slots_used(const menu* m) { return menu_entry_count(m) + 2; }

// Moves the record's per-entry arrays to `capacity` slots. False (and
// nothing changed) when memory runs out.
bool resize_entries(menu* m, int16_t capacity) {
  char** names = alloc_block<char*>(capacity);
  void** icons = alloc_block<void*>(capacity);
  uint32_t* words = alloc_block<uint32_t>(capacity);
  uint8_t* flags = m->item_flags ? alloc_block<uint8_t>(capacity) : nullptr;
  if (!names || !icons || !words || (m->item_flags && !flags)) {
    GlobalFreeAndNull(&names);
    GlobalFreeAndNull(&icons);
    GlobalFreeAndNull(&words);
    GlobalFreeAndNull(&flags);
    return false;
  }
  const int keep = m->capacity < capacity ? m->capacity : capacity;
  if (m->names) std::memcpy(names, m->names, keep * sizeof(char*));
  if (m->icons) std::memcpy(icons, m->icons, keep * sizeof(void*));
  if (m->item_words) std::memcpy(words, m->item_words, keep * sizeof(uint32_t));
  if (m->item_flags) std::memcpy(flags, m->item_flags, keep);
  GlobalFreeAndNull(&m->names);
  GlobalFreeAndNull(&m->icons);
  GlobalFreeAndNull(&m->item_words);
  GlobalFreeAndNull(&m->item_flags);
  m->names = names;
  m->icons = icons;
  m->item_words = words;
  m->item_flags = flags;
  m->capacity = capacity;
  return true;
}

// A toolbox with a first tool (the face and entry 1).
menu* new_toolbox(int16_t id, void* icon, const char* name, uint8_t gap) {
  menu* m = new_tool_record(id, icon, name, toolbox_layout.margin, toolbox_layout.margin, MENU_TOOLBOX);
  if (!m) return nullptr;
  m->gap = gap;
  append_toolbox(m);
  add_tool_to_toolbox(m, icon, name, -1, 0);
  return m;
}

void add_entry(int16_t id, void* icon, const char* name, uint8_t gap) {
  if (menu* m = find_toolbox(id))
    add_tool_to_toolbox(m, icon, name, -1, gap);
  else
    new_toolbox(id, icon, name, gap);
}

// One tool of a built-in toolbox: a class, or a toolbar table row.
struct builtin_tool {
  construct_class* cls;
  int16_t row;
  uint8_t gap;
};

struct builtin_toolbox {
  int16_t id;
  builtin_tool tools[12];
};

construct_class* const kVectorSum = reinterpret_cast<construct_class*>(uintptr_t{1});
construct_class* const kCompass = reinterpret_cast<construct_class*>(uintptr_t{2});

const builtin_toolbox kBuiltinToolboxes[] = {
    {128, {{nullptr, ROW_POINTER, 0}, {nullptr, ROW_ROTATE, 2}, {nullptr, ROW_DILATE, 0},
           {nullptr, ROW_ROTATE_DILATE, 0}}},
    {129, {{&classe_point, 0, 2}, {&classe_ptsur, 0, 0}, {&classe_interset, 0, 0}}},
    {130, {{&classe_droite, 0, 0}, {&classe_segment, 0, 0}, {&classe_demidroite, 0, 0}, {&classe_vecteur, 0, 0},
           {&classe_triangle, 0, 2}, {&classe_polygone, 0, 0}, {&classe_polyreg, 0, 0}}},
    {131, {{&classe_cercle, 0, 0}, {&classe_arc, 0, 0}, {&classe_conic, 0, 0}}},
    {132, {{&classe_perpendiculaire, 0, 2}, {&classe_parallele, 0, 0}, {&classe_milieu, 0, 0},
           {&classe_mediatrice, 0, 0}, {&classe_bissectrice, 0, 0}, {kVectorSum, 0, 0}, {kCompass, 0, 2},
           {&classe_compas3, 0, 0}, {&classe_locus, 0, 2}, {&classe_redefine, 0, 2}}},
    {133, {{&classe_symetriquedr, 0, 0}, {&classe_symetrique, 0, 0}, {&classe_translation, 0, 2},
           {&classe_rotation, 0, 0}, {&classe_dilatation, 0, 0}, {&classe_inverse, 0, 2}}},
    {134, {{nullptr, ROW_INITIAL_OBJECT, 0}, {nullptr, ROW_FINAL_OBJECT, 0}, {nullptr, ROW_DEFINE_MACRO, 0}}},
    {135, {{&classe_alignement, 0, 2}, {&classe_parallelism, 0, 0}, {&classe_perpendism, 0, 0},
           {&classe_equidistant, 0, 0}, {&classe_membership, 0, 0}}},
    {136, {{&classe_length, 0, 0}, {&classe_aire, 0, 0}, {&classe_pente, 0, 0}, {&classe_angleMes, 0, 0},
           {&classe_equation, 0, 0}, {&classe_calculate, 0, 0}, {&classe_exp_num_app, 0, 0},
           {&classe_table, 0, 0}}},
    {137, {{&classe_label, 0, 2}, {&classe_text, 0, 0}, {&classe_nombre, 0, 0}, {&classe_exp_num, 0, 0},
           {&classe_angle, 0, 2}, {nullptr, ROW_FIX_FREE, 0}, {nullptr, ROW_TRACE, 0}, {nullptr, ROW_ANIMATION, 0},
           {nullptr, ROW_MULTIPLE_ANIMATION, 0}}},
    {138, {{nullptr, ROW_HIDE_SHOW, 0}, {&classe_button, 0, 0}, {nullptr, ROW_COLOR, 0}, {nullptr, ROW_FILL, 0},
           {nullptr, ROW_TEXT_COLOR, 0}, {nullptr, ROW_THICK, 0}, {nullptr, ROW_DOTTED, 0},
           {nullptr, ROW_MODIFY_APPEARANCE, 0}, {nullptr, ROW_SHOW_AXES, 2}, {&classe_axe, 0, 0},
           {&classe_grid, 0, 0}}},
};

// Entries of the icon pop-ups 1005 to 1011.
constexpr int kIconPopupEntries[7] = {3, 3, 5, 6, 4, 3, 4};

}  // namespace

void install_toolbox_view_release(void (*release)(void* view)) { g_release_view = release; }

void init_toolbox_layout() {
  const int32_t s = toolbar_icon_size == 16 ? 16 : 32;
  toolbox_layout = {3, 2, s + 4, s + 8, s + 8, 3, s + 14};
}

int menu_entry_count(const menu* m) {
  if (!m || !m->names || !m->names[0]) return 0;
  int n = 1;
  while (m->names[n]) ++n;
  return n - 1;
}

menu* find_tool_menu(int16_t id) {
  if (menu* m = find_toolbox(id)) return m;
  for (int i = 0; i < kAttributeMenuCount && attrib_menus[i]; ++i)
    if (attrib_menus[i]->id == id) return attrib_menus[i];
  return nullptr;
}

menu* new_tool_record(int16_t id, void* icon, const char* name, int32_t pos_a, int32_t pos_b, int16_t kind) {
  menu* m = alloc_block<menu>();
  if (!m) return nullptr;
  m->id = id;
  m->kind = kind;
  m->pos_a = pos_a;
  m->pos_b = pos_b;
  if (kind == MENU_COLOR_POPUP) {
    m->single_icon = icon;
    m->icons = kColorPopupIcons;
    m->capacity = kMenuInitialCapacity;
    return m;
  }
  m->capacity = 0;
  if (!resize_entries(m, kMenuInitialCapacity)) {
    GlobalFreeAndNull(&m);
    return nullptr;
  }
  if (name || icon) {
    m->names[0] = copy_name(name);
    m->icons[0] = icon;
    if (!m->names[0]) {
      free_tool_record(&m);
      return nullptr;
    }
  }
  return m;
}

void append_toolbox(menu* m) {
  if (!m) return;
  // The array always has one slot beyond its capacity for the terminator.
  if (!tool_menus) {
    tool_menus = alloc_block<menu*>(kToolMenusGrowth + 1);
    if (!tool_menus) return;
    tool_menus_capacity = kToolMenusGrowth;
  }
  const int count = tool_menus_count();
  if (count >= tool_menus_capacity) {
    const int16_t capacity = static_cast<int16_t>(tool_menus_capacity + kToolMenusGrowth);
    menu** grown = alloc_block<menu*>(capacity + 1);
    if (!grown) return;
    std::memcpy(grown, tool_menus, count * sizeof(menu*));
    GlobalFreeAndNull(&tool_menus);
    tool_menus = grown;
    tool_menus_capacity = capacity;
  }
  tool_menus[count] = m;
  tool_menus[count + 1] = nullptr;
  if (count == 0)
    m->pos_a += m->gap;
  else
    m->pos_a = tool_menus[count - 1]->pos_a + m->gap * 5 + toolbox_layout.row_step;
}

bool add_tool_to_toolbox(menu* m, void* icon, const char* name, int16_t index, uint8_t flag) {
  if (!m || !m->names) return false;
  const int last = menu_entry_count(m);  // the last entry's index
  if (!m->names[0]) return false;
  if (slots_used(m) + 1 > m->capacity && !resize_entries(m, static_cast<int16_t>(m->capacity + kMenuGrowth)))
    return false;
  if (flag && !m->item_flags) {
    m->item_flags = alloc_block<uint8_t>(m->capacity);
    if (!m->item_flags) return false;
  }
  char* copy = copy_name(name);
  if (!copy) return false;
  const int at = (index >= 0 && index < last) ? index + 1 : last + 1;
  for (int i = last + 1; i > at; --i) {
    m->names[i] = m->names[i - 1];
    m->icons[i] = m->icons[i - 1];
    m->item_words[i] = m->item_words[i - 1];
    if (m->item_flags) m->item_flags[i] = m->item_flags[i - 1];
  }
  m->names[at] = copy;
  m->icons[at] = icon;
  m->item_words[at] = 0;
  if (m->item_flags) m->item_flags[at] = flag;
  m->names[last + 2] = nullptr;
  m->icons[last + 2] = nullptr;
  return true;
}

void remove_toolbox_tool_at(menu* m, int16_t index) {
  const int last = menu_entry_count(m);
  if (index < 1 || index > last) return;
  GlobalFreeAndNull(&m->names[index]);
  // Every per-entry array moves down, so later entries keep their flags.
  for (int i = index; i <= last; ++i) {
    m->names[i] = m->names[i + 1];
    m->icons[i] = m->icons[i + 1];
    m->item_words[i] = m->item_words[i + 1];
    if (m->item_flags) m->item_flags[i] = m->item_flags[i + 1];
  }
}

bool set_toolbox_face(menu* m, int16_t index) {
  if (!m || !m->names || index < 1 || index > menu_entry_count(m)) return false;
  char* copy = copy_name(m->names[index]);
  if (!copy) return false;
  GlobalFreeAndNull(&m->names[0]);
  m->names[0] = copy;
  m->icons[0] = m->icons[index];
  return true;
}

void add_tool_by_toolbox_id(int16_t id, const toolbar_row* row, uint8_t gap) {
  if (row) add_entry(id, row->icon, row->name, gap);
}

void add_tool_from_descriptor(int16_t id, construct_class* cls, uint8_t gap) {
  if (cls) add_entry(id, cls->icon, cls->name, gap);
}

void layout_toolboxes() {
  for (int i = 0; tool_menus && tool_menus[i]; ++i) {
    menu* m = tool_menus[i];
    m->pos_a = i == 0 ? m->gap + toolbox_layout.margin : tool_menus[i - 1]->pos_a + m->gap * 5 + toolbox_layout.row_step;
  }
  for (int i = 0; i < kAttributeMenuCount && attrib_menus[i]; ++i)
    attrib_menus[i]->pos_b = i == 0 ? 2 * toolbox_layout.margin + toolbox_layout.attribute_top
                                    : attrib_menus[i - 1]->pos_b + toolbox_layout.row_step;
}

menu* build_all_toolboxes() {
  init_toolbox_layout();
  for (const builtin_toolbox& box : kBuiltinToolboxes) {
    for (const builtin_tool& t : box.tools) {
      if (t.row)
        add_tool_by_toolbox_id(box.id, toolbar_row_at(t.row), t.gap);
      else if (t.cls == kVectorSum)
        add_tool_from_descriptor(box.id, optional_classes[1], t.gap);
      else if (t.cls == kCompass)
        add_tool_from_descriptor(box.id, optional_classes[0], t.gap);
      else if (t.cls)
        add_tool_from_descriptor(box.id, t.cls, t.gap);
    }
  }
  build_attribute_menus();
  if (!trash_toolbox)
    trash_toolbox = new_tool_record(kToolbarWindowId, trash_icon, "Trash",
                                    640 - toolbox_layout.margin - 2 * toolbox_layout.button_width,
                                    toolbox_layout.margin, MENU_TOOLBOX);
  return trash_toolbox;
}

void build_attribute_menus() {
  const int32_t pos_a = toolbox_layout.attribute_column + toolbox_layout.margin;
  int32_t pos_b = 2 * toolbox_layout.margin + toolbox_layout.attribute_top;
  const int32_t step = (toolbar_icon_size == 16 ? 16 : 32) + 2 + 2;
  int next_icon = 0;
  for (int k = 0; k < kAttributeMenuCount; ++k, pos_b += step) {
    const auto id = static_cast<int16_t>(kFirstAttributeMenu + k);
    if (attrib_menus[k]) continue;
    menu* m = nullptr;
    if (k < 3) {
      m = new_tool_record(id, color_popup_icons[k], nullptr, pos_a, pos_b, MENU_COLOR_POPUP);
    } else if (k == 3) {
      m = new_tool_record(id, text_size_icons[0], "", pos_a, pos_b, MENU_ICON_POPUP);
      add_tool_to_toolbox(m, text_size_icons[0], "", -1, 0);
      add_tool_to_toolbox(m, text_size_icons[1], "", -1, 0);
    } else {
      const int entries = kIconPopupEntries[k - 4];
      m = new_tool_record(id, attribute_icon_table[next_icon], "", pos_a, pos_b, MENU_ICON_POPUP);
      for (int e = 0; e < entries; ++e) add_tool_to_toolbox(m, attribute_icon_table[next_icon + e], "", -1, 0);
      next_icon += entries;
    }
    attrib_menus[k] = m;
    if (!m) break;
  }
}

void free_tool_record(menu** slot) {
  if (!slot || !*slot) return;
  menu* m = *slot;
  if (m->icons != kColorPopupIcons) GlobalFreeAndNull(&m->icons);
  if (m->names)
    for (int i = 0; m->names[i]; ++i) GlobalFreeAndNull(&m->names[i]);
  GlobalFreeAndNull(&m->names);
  GlobalFreeAndNull(&m->item_words);
  GlobalFreeAndNull(&m->item_flags);
  GlobalFreeAndNull(&m->title);
  if (m->view && g_release_view) g_release_view(m->view);
  *slot = nullptr;
  if (m == trash_toolbox) trash_toolbox = nullptr;
  GlobalFreeAndNull(&m);
}

void free_attribute_menus() {
  for (int i = 0; i < kAttributeMenuCount + 1 && attrib_menus[i]; ++i) free_tool_record(&attrib_menus[i]);
}

void free_all_toolboxes() {
  for (int i = 0; tool_menus && tool_menus[i]; ++i) free_tool_record(&tool_menus[i]);
  GlobalFreeAndNull(&tool_menus);
  tool_menus_capacity = 0;
}
