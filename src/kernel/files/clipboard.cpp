#include "kernel/files/clipboard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <unordered_set>

#include "app/kernel_iface/kp_figure_view.h"
#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/deletion.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/undo.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/text/text_view.h"
#include "kernel/tools/selection.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_ids.h"
#include "platform/kernel_services.h"
#include "platform/kp_pasteboard.h"

uint8_t paste_restart = 1;
int32_t paste_dx = 0;
int32_t paste_dy = 0;

namespace {

constexpr int kRowCopyFailed = 337;

// Set once the clipboard was cleared by the copy in progress.
bool cleared = false;

kelvo_win_info* figure() { return KPGeoDocument::currentInfo(); }

bool is_text(const object* o) { return object_type_id(o) == TYPE_TEXT; }

// The types whose parents (and, for texts, referenced objects) go with them.
bool extends_selection(uint16_t t) { return (t >= 2 && t <= 5) || (t >= 7 && t <= 16); }

struct selection_entries {
  std::vector<object*> objects;  // the object each entry stands for
  std::unordered_set<const object*> set;
};

selection_entries entries_of(const kelvo_win_info* fig) {
  selection_entries e;
  if (!fig || !fig->selection || !fig->selection->items) return e;
  for (int i = 0; fig->selection->items[i] != nullptr; ++i) {
    object* o = resolve_text_reference(fig->selection->items[i], fig->selection->tags ? fig->selection->tags[i] : 0);
    if (!o) continue;
    e.objects.push_back(o);
    e.set.insert(o);
  }
  return e;
}

// The selection grows by what the copied objects need; answers how many
// entries were texts. The added entries are taken out again by the caller.
int extend_selection(kelvo_win_info* fig, selection_entries* e) {
  int texts = 0;
  auto add = [&](object* o) {
    if (!o || e->set.count(o)) return;
    objlist_add(fig->selection, o, 0);
    e->set.insert(o);
    e->objects.push_back(o);
  };
  for (size_t i = 0; i < e->objects.size(); ++i) {
    object* o = e->objects[i];
    if (!extends_selection(object_type_id(o))) continue;
    if (is_text(o)) ++texts;
    if (o->nbparents > 1 && o->parents && o->parents[1] && o->parents[1]->classe == &classe_point_polyreg) {
      object* vertex = o->parents[1];
      for (int k = 0; vertex->parents && k < vertex->nbparents; ++k) add(vertex->parents[k]);
    }
    for (int k = 0; o->parents && k < o->nbparents; ++k) add(o->parents[k]);
    if (is_text(o))
      for (insert_object* n = o->inserted; n; n = n->next) add(n->obj);
  }
  return texts;
}

bool all_parents_in(const object* o, const std::unordered_set<const object*>& set) {
  for (int k = 0; o->parents && k < o->nbparents; ++k)
    if (!set.count(o->parents[k])) return false;
  return true;
}

// The record of one copied object, adjusted so that it can be read back
// without what was not copied.
int32_t write_copy(const object* o, const std::unordered_set<const object*>& set,
                   const std::unordered_set<const object*>& referenced, char* dst) {
  const bool incomplete = o->classe == &classe_ptint
                              ? (o->nbparents > 0 && o->parents && o->parents[0] && !all_parents_in(o->parents[0], set))
                              : !all_parents_in(o, set);
  object c = *o;
  if (c.final_no == 0) {
    c.final_no = 1;
    c.settings.visible = 0;
  }
  c.macro = nullptr;
  c.bitmap = nullptr;
  const uint16_t t = object_type_id(o);
  if (t == TYPE_NUMBER && !referenced.count(o)) c.aux2 &= ~uint32_t{2 | 4};
  if (incomplete) {
    c.aux1 = 0;
    c.nbparents = 0;
    c.nbvaleurs = 1;
    c.parents = nullptr;
    c.methode = 0;
    if (t == TYPE_NUMBER) {
      c.classe = &classe_nombre;
      c.settings.contraint = 0;
    } else {
      c.classe = &classe_point;
      c.otype = classe_point.ctype;
    }
  }
  if (t == TYPE_BUTTON) {
    for (objectptrlist* n = o->associated; n; n = n->next)
      if (!set.count(n->obj)) {
        c.associated = nullptr;
        break;
      }
  }
  if (c.classe == &classe_polyreg && !(o->nbparents > 1 && o->parents && o->parents[1] &&
                                       o->parents[1]->classe == &classe_point_polyreg)) {
    c.classe = &classe_polygone;
    c.otype = classe_polygone.ctype;
  }
  return txt_write_object(&c, dst);
}

// Numbers the objects to copy 1..n in figure order (0 for the others).
uint32_t number_copied_objects(kelvo_win_info* fig, const std::unordered_set<const object*>& set) {
  uint32_t n = 0;
  for (object* o = fig->first; o; o = o->next) {
    const uint16_t t = object_type_id(o);
    const bool copied = set.count(o) && t != TYPE_PROPERTY && t != TYPE_EQUATION && t != TYPE_TABLE &&
                        o->classe != &classe_interset;
    o->num = copied ? ++n : 0;
  }
  return n;
}

// Builds the records of the selection and leaves the figure as it was.
// *texts and *entries: how many entries were texts, how many were selected.
std::string build_records(kelvo_win_info* fig, int* texts, int* entries) {
  *texts = 0;
  *entries = objlist_count(fig->selection);
  if (*entries <= 0) return {};
  selection_entries e = entries_of(fig);
  *texts = extend_selection(fig, &e);
  std::unordered_set<const object*> referenced;
  for (const object* o : e.objects)
    if (is_text(o))
      for (insert_object* n = o->inserted; n; n = n->next) referenced.insert(n->obj);
  std::string out;
  if (number_copied_objects(fig, e.set) > 0) {
    int32_t total = 0;
    for (object* o = fig->first; o; o = o->next)
      if (o->num) total += write_copy(o, e.set, referenced, nullptr);
    out.resize(static_cast<size_t>(total) + 1);
    int32_t at = 0;
    for (object* o = fig->first; o; o = o->next)
      if (o->num) at += write_copy(o, e.set, referenced, out.data() + at);
    out.resize(static_cast<size_t>(at));
  }
  if (fig->selection && fig->selection->items) fig->selection->items[*entries] = nullptr;
  renumber_objects();
  return out;
}

// The pixels of the figure (its layer with the moving objects), cropped to
// the selection rectangle when one is shown.
std::vector<uint8_t> figure_picture() {
  DisplayDevice* dd = moving_display ? moving_display : static_display;
  if (!dd || !dd->viewLayer) return {};
  const auto* layer = static_cast<const KPContext*>(dd->viewLayer);
  if (!layer->pixels() || layer->bytesPerRow() != layer->width() * 4) return {};
  tagRECT crop{};
  const tagRECT* region = nullptr;
  if (selection_rect_shown) {
    crop.left = selection_rect.left - dd->portRect.left;
    crop.right = selection_rect.right - dd->portRect.left;
    crop.top = selection_rect.top - dd->portRect.top;
    crop.bottom = selection_rect.bottom - dd->portRect.top;
    if (crop.left > crop.right) std::swap(crop.left, crop.right);
    if (crop.top > crop.bottom) std::swap(crop.top, crop.bottom);
    // The layer holds device pixels: the rectangle follows the zoom.
    if (dd->ratio > 0 && dd->ratio != 1.0) {
      crop.left = static_cast<int32_t>(std::floor(crop.left * dd->ratio));
      crop.top = static_cast<int32_t>(std::floor(crop.top * dd->ratio));
      crop.right = static_cast<int32_t>(std::ceil(crop.right * dd->ratio));
      crop.bottom = static_cast<int32_t>(std::ceil(crop.bottom * dd->ratio));
    }
    region = &crop;
  }
  return dib_to_nsimage(layer->pixels(), layer->width(), layer->height(), region, nullptr, 0, 0, 0);
}

void put_string(const std::string& bytes, const char* flavor) {
  if (!bytes.empty()) pasteboard_put_flavor(bytes.data(), bytes.size(), flavor);
}

bool table_with_cells(const object* o) { return object_type_id(o) == TYPE_TABLE && o->nbvaleurs > 0 && o->te; }

// The text with each reference marker replaced by the text of the object
// it quotes (a marker without one stays as it is).
std::string shown_text(const object* o) {
  const char* text = o->te->text;
  const auto length = static_cast<int32_t>(std::strlen(text));
  std::string out;
  int32_t at = 0;
  for (const text_marker& m : list_text_markers(text, length, o->inserted)) {
    const object* quoted = m.node ? m.node->obj : nullptr;
    if (!quoted || !quoted->te || !quoted->te->text || m.at < at) continue;
    out.append(text + at, static_cast<size_t>(m.at - at));
    out += quoted->te->text;
    at = m.at + m.length;
  }
  out.append(text + at, static_cast<size_t>(length - at));
  return out;
}

bool shifted_on_paste(const object* o) {
  return o->classe == &classe_point || o->classe == &classe_ptsur || o->classe == &classe_text ||
         o->classe == &classe_nombre || o->classe == &classe_exp_num || object_type_id(o) == TYPE_TEXT;
}

}  // namespace

bool selection_contains_item(object* item, uint16_t tag) {
  kelvo_win_info* fig = figure();
  if (!fig || !fig->selection || !fig->selection->items) return false;
  object* target = resolve_text_reference(item, tag);
  for (int i = 0; fig->selection->items[i] != nullptr; ++i)
    if (resolve_text_reference(fig->selection->items[i], fig->selection->tags ? fig->selection->tags[i] : 0) == target)
      return true;
  return false;
}

std::string clipboard_records_of_selection() {
  kelvo_win_info* fig = figure();
  if (!fig) return {};
  int texts = 0, entries = 0;
  return build_records(fig, &texts, &entries);
}

std::string text_selection_rtf() {
  kelvo_win_info* fig = figure();
  std::string out;
  if (!fig) return out;
  for (const object* o : entries_of(fig).objects) {
    const uint16_t t = object_type_id(o);
    if (t < TYPE_TEXT || t > TYPE_EQUATION || !o->te || !o->te->text) continue;
    const std::string text = shown_text(o);
    out += text_to_rtf(text.data(), text.size(), o->te);
  }
  return out;
}

std::string table_selection_text() {
  kelvo_win_info* fig = figure();
  std::string out;
  if (!fig) return out;
  for (const object* o : entries_of(fig).objects) {
    if (!table_with_cells(o)) continue;
    const int32_t n = txt_write_table_text(o, nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    out.resize(at + static_cast<size_t>(txt_write_table_text(o, out.data() + at)));
  }
  return out;
}

int32_t pasteboard_put_flavor(const void* bytes, size_t length, const char* flavor) {
  if (!cleared) {
    const int32_t status = kp_pasteboard_clear();
    if (status != kPasteboardOk) return status;
    cleared = true;
  }
  return kp_pasteboard_put(flavor, bytes, length);
}

int32_t pasteboard_read_flavor(std::string* out, bool rtf) {
  out->clear();
  return kp_pasteboard_copy(rtf ? kFlavorRtf : kFlavorKelvo, out);
}

void copy_to_clipboard() {
  cleared = false;
  kelvo_win_info* fig = figure();
  const int entries = fig ? objlist_count(fig->selection) : 0;
  paste_restart = entries > 0 ? 1 : 0;
  int texts = 0;
  if (entries > 0) {
    int counted = 0;
    try {
      const std::string records = build_records(fig, &texts, &counted);
      put_string(records, kFlavorKelvo);
    } catch (const std::bad_alloc&) {
      // The other flavours are still put.
      if (fig->selection && fig->selection->items) fig->selection->items[entries] = nullptr;
      renumber_objects();
      message_box_simple(kernel_string(kRowCopyFailed));
    }
  }
  if (!fig) return;
  const std::vector<uint8_t> picture = figure_picture();
  if (!picture.empty()) pasteboard_put_flavor(picture.data(), picture.size(), kFlavorBmp);
  if (texts == entries) put_string(text_selection_rtf(), kFlavorRtf);
  put_string(table_selection_text(), kFlavorText);
}

bool paste_rtf_into_text_editor(void (*insert_rtf)(const char* data, size_t length)) {
  std::string rtf;
  if (pasteboard_read_flavor(&rtf, true) != kPasteboardOk || rtf.empty() || !insert_rtf) return false;
  insert_rtf(rtf.data(), rtf.size());
  return true;
}

void cut_selection_command() {
  kelvo_win_info* fig = figure();
  if (fig && objlist_count(fig->selection) > 0) {
    save_undo_state(0);
    set_document_dirty();
  }
  copy_to_clipboard();
  if (fig && objlist_count(fig->selection) > 0) delete_objects(nullptr);
}

void paste_object_records(const char* data, size_t length) {
  kelvo_win_info* fig = figure();
  if (!fig || !data) return;
  // The records are the program's current text format, whatever file was
  // examined last; that file's kind stays as it was found.
  const uint8_t saved_class = file_class, saved_platform = file_platform, saved_mac = file_mac_header;
  const double saved_version = file_version;
  file_class = 0;
  file_platform = 0;
  file_version = 1.0;
  file_mac_header = 1;
  object* table_before = fig->table_object;
  fig->table_object = nullptr;
  save_undo_state(0);
  for (object* o = fig->first; o; o = o->next) o->num = 0;
  object* before_paste = last_object();

  // A NUL-terminated copy bounds every scan of the reader.
  const std::string text(data, length);
  const char* p = text.c_str();
  const char* end = p + text.size();
  begin_record_numbers();
  while (p < end && *p != '\0') {
    object* o = nullptr;
    const int32_t used = read_object_record(&o, p);
    if (used <= 0) break;
    p += used;
    while (p < end && (*p == '\r' || *p == '\n' || *p == ' ')) ++p;
    if (!o) continue;
    o->state &= ~OBJ_NEW;
    set_document_dirty();
    if (shifted_on_paste(o) && o->valeurs && o->nbvaleurs > 0) {
      o->valeurs[0].h += paste_dx;
      o->valeurs[0].v += paste_dy;
      recompute_object(o);
    }
    if (object_type_id(o) == TYPE_TABLE) fig->table_object = o;
  }
  resolve_record_numbers();
  // A record gives its object's values as they were in the copied figure;
  // what the pasted objects show follows from their pasted parents (an
  // intersection point, say, from the lines it was read after), so they
  // are computed again in list order.
  for (object* o = before_paste ? before_paste->next : fig->first; o; o = o->next) recompute_object(o);
  if (table_before) {
    // A figure keeps one table: its own.
    if (fig->table_object && fig->table_object != table_before) delete_object_quietly(fig->table_object);
    fig->table_object = table_before;
  }
  renumber_objects();
  file_class = saved_class;
  file_platform = saved_platform;
  file_version = saved_version;
  file_mac_header = saved_mac;
}

void paste_from_clipboard() {
  if (paste_restart) {
    paste_dx = paste_dy = 5;
    paste_restart = 0;
  } else {
    paste_dx += 5;
    paste_dy += 5;
  }
  std::string data;
  const bool read = pasteboard_read_flavor(&data, false) == kPasteboardOk && !data.empty();
  if (read && figure()) paste_object_records(data.data(), data.size());
  refresh_figure_description(current_figure_view);
  invalidate_current_figure_window();
}

std::vector<uint8_t> dib_to_nsimage(const void* bits, int width, int height, const tagRECT* crop,
                                    const uint32_t* palette, uint32_t key_color, uint32_t replacement, int stamp) {
  if (!bits || width <= 0 || height <= 0) return {};
  int32_t left = 0, top = 0, right = width, bottom = height;
  if (crop) {
    left = std::max<int32_t>(crop->left, 0);
    top = std::max<int32_t>(crop->top, 0);
    right = std::min<int32_t>(crop->right, width);
    bottom = std::min<int32_t>(crop->bottom, height);
  }
  if (right <= left || bottom <= top) return {};
  const uint32_t w = static_cast<uint32_t>(right - left);
  const uint32_t h = static_cast<uint32_t>(bottom - top);
  if (uint64_t{w} * h > (uint64_t{1} << 28)) return {};
  bmp_info info;
  if (!make_bmp_info_header(static_cast<int32_t>(w), static_cast<int32_t>(h), 1, 32, &info)) return {};
  info.header.biXPelsPerMeter = 54;
  info.header.biYPelsPerMeter = 54;
  std::vector<uint8_t> out = bmp_file_bytes(info, nullptr);
  auto put32 = [&out](size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k) out[at + k] = static_cast<uint8_t>(v >> (8 * k));
  };

  // Tool icons get their marks on a copy of their pixels; only icons of at
  // most 32 x 32 pixels have the places the marks are made at.
  std::vector<uint8_t> icon;
  const auto* indices = static_cast<const uint8_t*>(bits);
  if (palette && (stamp == 1 || stamp == 2) && width <= 32 && height <= 32) {
    icon.assign(indices, indices + static_cast<size_t>(width) * height);
    static const std::vector<int> k16[2] = {{237, 238, 239, 254}, {222, 238, 239, 254}};
    static const std::vector<int> k32[2] = {{955, 956, 957, 958, 959, 988, 989, 990, 1021},
                                            {892, 924, 925, 956, 957, 958, 988, 989, 1020}};
    for (int i : (width == 16 ? k16 : k32)[stamp - 1])
      if (i < static_cast<int>(icon.size())) icon[static_cast<size_t>(i)] = 254;
    indices = icon.data();
  }
  size_t at = 54;
  for (int32_t row = bottom - 1; row >= top; --row) {
    for (int32_t x = left; x < right; ++x) {
      const size_t index = static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(x);
      uint32_t color;
      if (palette) {
        color = palette[indices[index]];
        if (color == key_color) color = replacement;
      } else {
        color = static_cast<const uint32_t*>(bits)[index] & 0x00FFFFFF;
      }
      put32(at, color);
      at += 4;
    }
  }
  return out;
}
