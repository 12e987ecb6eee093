#include "kernel/tools/number_in_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/window/window_hooks.h"
#include "platform/win_constants.h"

namespace {

// Bit of a number's second state word: the number is shown in a text.
constexpr uint32_t kShownInText = 2;
// The character the editor turns into a live number.
constexpr WPARAM kLiveNumberMark = 7;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool frames_meet(const TErec* a, const TErec* b) {
  return a->pos.x < b->pos.x + b->size.w && b->pos.x < a->pos.x + a->size.w && a->pos.y < b->pos.y + b->size.h &&
         b->pos.y < a->pos.y + a->size.h;
}

struct marker {
  int32_t at;
  int32_t length;
  uint16_t number;
  bool stands_for_number;  // its reference is a number, or unknown
};

std::vector<marker> markers_of(const object* text) {
  std::vector<marker> found;
  const TErec* te = text->te;
  for (int32_t i = 0; i < te->length && te->text[i];) {
    uint16_t length = 0;
    const uint16_t n = parse_reference_marker(te->text + i, &length);
    if (n == 0 || i + length > te->length) {
      ++i;
      continue;
    }
    const insert_object* node = find_text_reference(n, nullptr, text->inserted);
    found.push_back({i, length, n, !node || type_of(node->obj) == TYPE_NUMBER});
    i += length;
  }
  return found;
}

// Pairs each number parent of the text with the next marker that stands
// for a number: marker_of[i] is the index in `markers` of parent i's marker,
// or -1 (not a number, or no marker left).
std::vector<int> pair_parents_with_markers(const object* text, const std::vector<marker>& markers) {
  std::vector<int> marker_of(static_cast<size_t>(std::max<int16_t>(text->nbparents, 0)), -1);
  size_t next = 0;
  for (size_t i = 0; i < marker_of.size(); ++i) {
    if (type_of(text->parents[i]) != TYPE_NUMBER) continue;
    while (next < markers.size() && !markers[next].stands_for_number) ++next;
    if (next < markers.size()) marker_of[i] = static_cast<int>(next++);
  }
  return marker_of;
}

void drop_reference(object* text, uint16_t number) {
  for (insert_object** link = &text->inserted; *link; link = &(*link)->next) {
    if (static_cast<uint16_t>((*link)->number) != number) continue;
    insert_object* gone = *link;
    *link = gone->next;
    GlobalFreeAndNull(&gone);
    return;
  }
}

// Installs the new parents and text; false (nothing changed) when memory
// runs out.
bool replace_parents_and_text(object* text, const std::vector<object*>& parents, const std::string& content) {
  object** block = nullptr;
  if (!parents.empty()) {
    block = alloc_block<object*>(static_cast<uint32_t>(parents.size()));
    if (!block) return false;
    std::copy(parents.begin(), parents.end(), block);
  }
  if (!set_text_record_text(text->te, content.c_str())) {
    GlobalFreeAndNull(&block);
    return false;
  }
  GlobalFreeAndNull(&text->parents);
  text->parents = block;
  text->nbparents = static_cast<int16_t>(parents.size());
  figure_objects_changed(KPGeoDocument::currentInfo());
  text->te->regen_pending = 1;
  return true;
}

// The selection of the text: the open editor's, else the one its record
// keeps; clamped to the text, in order.
void text_selection(const object* text, int32_t* start, int32_t* end) {
  int32_t s = text->te->sel_start, e = text->te->sel_end, editor_length = 0;
  const window_hooks& h = window_services();
  if (h.text_editor_selection) h.text_editor_selection(&s, &e, &editor_length);
  const int32_t length = text->te->length;
  s = std::clamp(s, 0, length);
  e = std::clamp(e, 0, length);
  *start = std::min(s, e);
  *end = std::max(s, e);
}

void remove_number(object* number, object* text) {
  const std::vector<marker> markers = markers_of(text);
  const std::vector<int> marker_of = pair_parents_with_markers(text, markers);
  std::vector<object*> parents;
  std::string content(text->te->text, static_cast<size_t>(text->te->length));
  const marker* gone = nullptr;
  bool found = false;
  for (int i = 0; i < text->nbparents; ++i) {
    if (!found && text->parents[i] == number) {
      found = true;
      if (marker_of[i] >= 0) gone = &markers[static_cast<size_t>(marker_of[i])];
      continue;
    }
    parents.push_back(text->parents[i]);
  }
  if (!found) return;
  if (gone) content.erase(static_cast<size_t>(gone->at), static_cast<size_t>(gone->length));
  int32_t start = 0, end = 0;
  text_selection(text, &start, &end);
  if (!replace_parents_and_text(text, parents, content)) return;
  if (gone) drop_reference(text, gone->number);
  text->te->sel_start = std::min(start, text->te->length);
  text->te->sel_end = text->te->sel_start;
  number->aux2 &= ~kShownInText;
}

void insert_number(object* number, object* text) {
  if (!number->te || !frames_meet(number->te, text->te)) return;
  for (int i = 0; i < text->nbparents; ++i)
    if (text->parents[i] == number) return;
  int32_t start = 0, end = 0;
  text_selection(text, &start, &end);
  std::vector<marker> markers = markers_of(text);
  // A marker is never split: the selection takes in every marker it cuts.
  for (const marker& m : markers) {
    if (m.at < start && start < m.at + m.length) start = m.at;
    if (m.at < end && end < m.at + m.length) end = m.at + m.length;
  }
  const std::vector<int> marker_of = pair_parents_with_markers(text, markers);
  std::string content(text->te->text, static_cast<size_t>(text->te->length));
  content.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));

  // The parents that stay, the new number going before the first number
  // whose marker follows the selection.
  std::vector<object*> parents;
  std::vector<object*> dropped;
  std::vector<uint16_t> dropped_references;
  bool placed = false;
  for (int i = 0; i < text->nbparents; ++i) {
    object* p = text->parents[i];
    const marker* m = marker_of[static_cast<size_t>(i)] >= 0 ? &markers[static_cast<size_t>(marker_of[i])] : nullptr;
    if (m && m->at >= start && m->at < end) {
      dropped.push_back(p);
      continue;
    }
    if (m && !placed && m->at >= end) {
      parents.push_back(number);
      placed = true;
    }
    parents.push_back(p);
  }
  if (!placed) parents.push_back(number);
  for (const marker& m : markers)
    if (m.at >= start && m.at < end) dropped_references.push_back(m.number);

  // The number's reference takes the next number free once the deleted
  // references are gone.
  int32_t highest = 0;
  for (const insert_object* n = text->inserted; n; n = n->next)
    if (std::find(dropped_references.begin(), dropped_references.end(), static_cast<uint16_t>(n->number)) ==
        dropped_references.end())
      highest = std::max<int32_t>(highest, n->number);
  if (highest >= INT16_MAX) return;
  auto* node = alloc_block<insert_object>();
  if (!node) return;
  node->obj = number;
  node->number = static_cast<int16_t>(highest + 1);
  const std::string mark = format_reference_marker(node->number);
  content.insert(static_cast<size_t>(start), mark);
  if (!replace_parents_and_text(text, parents, content)) {
    GlobalFreeAndNull(&node);
    return;
  }
  for (uint16_t n : dropped_references) drop_reference(text, n);
  insert_object** tail = &text->inserted;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
  for (object* p : dropped) p->aux2 &= ~kShownInText;
  number->aux2 |= kShownInText;
  text->te->sel_start = text->te->sel_end = start + static_cast<int32_t>(mark.size());
  if (tool_services().send_text_editor) tool_services().send_text_editor(WM_CHAR, kLiveNumberMark, 0);
}

}  // namespace

void link_number_to_text(object* number, object* text, int remove) {
  if (!number || !text || number == text || !text->te || !text->te->text) return;
  if (remove)
    remove_number(number, text);
  else
    insert_number(number, text);
}
