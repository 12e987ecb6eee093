#include "kernel/text/text_services.h"

#include <cstring>
#include <string>

#include "kernel/model/classes.h"
#include "kernel/model/memory.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"
#include "platform/rtf_reader.h"

object* resolve_text_reference(object* obj, uint16_t tag) {
  // A text without references must not fall through to the global list.
  if (!obj || !obj->otype || obj->otype->id != TYPE_TEXT || tag <= 258 || !obj->inserted) return obj;
  insert_object* node = find_text_reference(static_cast<uint16_t>(tag - 258), nullptr, obj->inserted);
  return node && node->obj ? node->obj : obj;
}

uint16_t add_text_reference(object* obj, insert_object** list) {
  if (!obj || !list) return 0;
  int16_t highest = 0;
  insert_object* last = nullptr;
  for (insert_object* node = *list; node; node = node->next) {
    if (node->number > highest) highest = node->number;
    last = node;
  }
  if (highest == INT16_MAX) return 0;
  insert_object* node = alloc_block<insert_object>();
  if (!node) return 0;
  node->obj = obj;
  node->number = static_cast<int16_t>(highest + 1);
  if (last)
    last->next = node;
  else
    *list = node;
  return static_cast<uint16_t>(node->number);
}

TErec* create_text_record(int32_t x, int32_t y, int32_t width, int32_t height, int32_t buffer_length) {
  TErec* te = alloc_block<TErec>();
  if (!te) return nullptr;
  const uint32_t length = buffer_length > 0 ? static_cast<uint32_t>(buffer_length) : 5u;
  te->text = alloc_block<char>(length);
  if (!te->text) {
    GlobalFreeAndNull(&te);
    return nullptr;
  }
  te->pos = te_point{x, y};
  te->size = te_size{width, height};
  te->reserved1 = 1;
  return te;
}

bool set_text_record_text(TErec* te, const char* text) {
  if (!te || !text) return false;
  const size_t length = std::strlen(text);
  if (length >= 0x7FFFFFFF) return false;
  if (!te->text || GlobalSize(te->text) < length + 1) {
    char* grown = alloc_block<char>(static_cast<uint32_t>(length + 1));
    if (!grown) return false;
    GlobalFreeAndNull(&te->text);
    te->text = grown;
  }
  std::memcpy(te->text, text, length + 1);
  te->length = static_cast<int32_t>(length);
  return true;
}

uint8_t value_text_option = 0;

uint8_t object_has_value_text(const object* obj) {
  if (!obj || !value_text_option) return 0;
  const uint16_t t = obj->otype ? obj->otype->id : 0;
  return t != TYPE_NUMBER && t != TYPE_EXPRESSION && t != TYPE_TABLE;
}

namespace {

// A font, size, face (`what` 1) or colour (3) given to a whole text goes to
// its stored rich text too: the figure file writes those bytes, and the
// text shows them once read again.
void restyle_rich_block(TErec* te, uint16_t what) {
  if (!te->rtf_data || te->rtf_is_rtfd) return;
  rtf_document doc = read_rtf(te->rtf_data, strnlen(te->rtf_data, GlobalSize(te->rtf_data)));
  if (doc.runs.empty()) return;
  const rtf_run format = record_rtf_run(te);
  for (rtf_run& r : doc.runs) {
    if (what == 1) {
      r.font = format.font;
      r.size = format.size;
      r.bold = format.bold;
      r.italic = format.italic;
      r.underline = format.underline;
    } else {
      r.has_color = true;
      r.color = format.color;
    }
  }
  const std::string rtf = runs_to_rtf(doc.runs);
  char* block = alloc_block<char>(static_cast<uint32_t>(rtf.size() + 1));
  if (!block) return;
  std::memcpy(block, rtf.c_str(), rtf.size() + 1);
  GlobalFreeAndNull(&te->rtf_data);
  te->rtf_data = block;
}

}  // namespace

void regenerate_text_attributes(TErec* te, uint16_t what, const car_info* format, uint32_t color) {
  if (te) {
    if (what == 1 && format) {
      te->format = *format;
      // The shown text is rebuilt from the stored string, so the stored
      // string takes the new font and size too.
      if (te->stored_string && text_handle_ops().set_string_font) text_handle_ops().set_string_font(te);
      restyle_rich_block(te, 1);
      te->needs_regen = 1;
      te->regen_pending = 1;
    } else if (what == 3) {
      // The shown text is rebuilt from the stored string's attributes, so
      // the stored string takes the colour too.
      te->format.color = color;
      if (te->stored_string && text_handle_ops().set_string_color)
        text_handle_ops().set_string_color(te->stored_string, color);
      restyle_rich_block(te, 3);
      te->regen_pending = 1;
    }
    return;
  }
  default_attr* defaults = current_default_attrs;
  if (!defaults) return;
  if ((what == 1 || what == 2) && format) defaults->text_size = format->size;
  if (what == 3) defaults->text_color = color;
}
