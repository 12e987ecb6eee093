#include "kernel/text/text_view.h"

#include <cstring>
#include <string>

#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"

std::vector<text_marker> list_text_markers(const char* text, int32_t length, insert_object* list) {
  std::vector<text_marker> out;
  if (!text) return out;
  for (int32_t i = 0; i < length && text[i];) {
    if (text[i] != '$') {
      ++i;
      continue;
    }
    uint16_t len = 0;
    const uint16_t n = parse_reference_marker(text + i, &len);
    if (n == 0 || len == 0) {
      // "$0$" is a marker without a reference; anything else is literal.
      i += len > 0 ? len : 1;
      continue;
    }
    // Markers reaching past the stored length are not part of the text.
    if (i + len > length) break;
    // A text without references names none (the global list is for readers).
    out.push_back({i, len, n, list ? find_text_reference(n, nullptr, list) : nullptr});
    i += len;
  }
  return out;
}

namespace {

// The same marker edits on the record's rich-text bytes, which the figure
// file writes back and the view rebuilds its string from. Bytes whose
// markers do not match the text's are dropped: the text stays right, only
// its formatting is lost.
void rewrite_rich_markers(TErec* te, const std::vector<int32_t>& edits) {
  if (!te->rtf_data || te->rtf_is_rtfd) return;
  const char* b = te->rtf_data;
  const size_t size = GlobalSize(te->rtf_data);
  struct span {
    size_t at, length;
  };
  std::vector<span> found;
  for (size_t i = 0; i < size; ++i) {
    if (b[i] != '$' || i + 1 >= size || b[i + 1] < '0' || b[i + 1] > '9') continue;
    size_t j = i + 1;
    uint32_t n = 0;
    while (j < size && b[j] >= '0' && b[j] <= '9') n = (n * 10 + static_cast<uint32_t>(b[j++] - '0')) & 0xFFFFu;
    if (j >= size || b[j] != '$') continue;
    if (n != 0) found.push_back({i, j + 1 - i});
    i = j;
  }
  if (found.size() != edits.size()) {
    GlobalFreeAndNull(&te->rtf_data);
    return;
  }
  std::string out;
  size_t from = 0;
  for (size_t k = 0; k < found.size(); ++k) {
    out.append(b + from, found[k].at - from);
    from = found[k].at + found[k].length;
    if (edits[k] < 0)
      out.append(b + found[k].at, found[k].length);
    else if (edits[k] > 0)
      out += format_reference_marker(edits[k]);
  }
  out.append(b + from, size - from);
  char* block = alloc_block<char>(static_cast<uint32_t>(out.size()));
  if (!block) {
    GlobalFreeAndNull(&te->rtf_data);
    return;
  }
  std::memcpy(block, out.data(), out.size());
  GlobalFreeAndNull(&te->rtf_data);
  te->rtf_data = block;
}

}  // namespace

bool text_view_remove_reference(object* text_obj, object* target, uint16_t number) {
  if (!text_obj || !text_obj->te || !text_obj->te->text || !text_obj->inserted) return false;
  TErec* te = text_obj->te;
  const int32_t length = static_cast<int32_t>(std::strlen(te->text));
  const std::vector<text_marker> markers = list_text_markers(te->text, length, text_obj->inserted);
  int removed = -1;
  int ordinal = 0;
  for (size_t k = 0; k < markers.size(); ++k) {
    if (!markers[k].node) continue;
    ++ordinal;
    if (target ? markers[k].node->obj == target : ordinal == number) {
      removed = static_cast<int>(k);
      break;
    }
  }
  if (removed < 0) return false;

  // New text and list in text order; every marker edit is also recorded
  // for the attributed string (-1 keep, 0 delete, n renumber).
  std::string fresh;
  insert_object* list = nullptr;
  std::vector<int32_t> edits(markers.size(), -1);
  int32_t from = 0;
  for (size_t k = 0; k < markers.size(); ++k) {
    const text_marker& m = markers[k];
    fresh.append(te->text + from, static_cast<size_t>(m.at - from));
    from = m.at + m.length;
    if (!m.node) {
      fresh.append(te->text + m.at, static_cast<size_t>(m.length));
      continue;
    }
    if (static_cast<int>(k) == removed) {
      edits[k] = 0;
      continue;
    }
    const uint16_t n = add_text_reference(m.node->obj, &list);
    if (n == 0) {
      free_text_references(&list);
      return false;
    }
    // The node keeps the display area it had.
    for (insert_object* node = list; node; node = node->next)
      if (node->number == static_cast<int16_t>(n)) std::memcpy(node->area, m.node->area, sizeof node->area);
    edits[k] = n;
    fresh += format_reference_marker(n);
  }
  fresh.append(te->text + from);
  if (!set_text_record_text(te, fresh.c_str())) {
    free_text_references(&list);
    return false;
  }
  free_text_references(&text_obj->inserted);
  text_obj->inserted = list;
  te->sel_start = te->sel_end = 0;
  rewrite_rich_markers(te, edits);
  const TextHandleOps& ops = text_handle_ops();
  if (te->stored_string && ops.rewrite_markers)
    ops.rewrite_markers(te->stored_string, edits.data(), static_cast<int32_t>(edits.size()));
  if (ops.release_string) {
    if (te->previous_string) ops.release_string(te->previous_string);
    if (te->display_string) ops.release_string(te->display_string);
  }
  te->previous_string = nullptr;
  te->display_string = nullptr;
  // Without an attributed string the next display rebuilds it from text.
  if (!te->stored_string) te->regen_pending = 1;
  return true;
}

std::vector<char> prepare_replace_exponents(const char* text) {
  std::vector<char> out;
  if (!text) {
    out.push_back('\0');
    return out;
  }
  for (const char* p = text; *p; ++p) {
    if (*p == 1 || *p == 2) {
      out.push_back('\\');
      out.push_back(*p == 1 ? '2' : '3');
      if (p[1] != ' ') out.push_back(' ');
    } else {
      out.push_back(*p);
    }
  }
  out.push_back('\0');
  return out;
}

void enforce_minimum_frame(object* obj) {
  if (!obj || !obj->te) return;
  const bool number = obj->otype && obj->otype->id == TYPE_NUMBER;
  const int32_t min_w = number ? kMinNumberWidth : kMinTextWidth;
  if (obj->te->size.w < min_w) obj->te->size.w = min_w;
  if (obj->te->size.h < kMinTextHeight) obj->te->size.h = kMinTextHeight;
}
