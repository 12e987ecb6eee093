#include "kernel/files/macro_text.h"
#include "kernel/files/old_binary.h"
#include "kernel/files/duo_text.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/cursors.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/text/reference_marker.h"
#include "platform/kernel_services.h"

namespace {

std::string last_error;
const infomacro* last_instance = nullptr;

constexpr int kMaxNameLine = 399;
constexpr int kMaxShortName = 199;
// A renamed macro counts "name #1", "name #2" ... and stops at this number
// even when that name is taken.
constexpr uint32_t kLastRenameNumber = 999;

bool starts(const char* p, const char* word) { return txt_starts_with(p, word); }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

const char* skip_white(const char* p) {
  while (*p == '\r' || *p == '\n' || is_blank(*p)) ++p;
  return p;
}

const char* end_of_line(const char* p) {
  while (!txt_is_line_end(*p)) ++p;
  return p;
}

const char* next_line(const char* p) { return p + skip_to_next_line(p); }

// The next integer on this line (a '-' right before its digits makes it
// negative); false when the line has none or it is out of range.
bool next_int(const char*& p, int64_t* v, int64_t lo, int64_t hi) {
  const char* s = p;
  while (!txt_is_line_end(*s) && !txt_is_digit(*s)) ++s;
  if (!txt_is_digit(*s)) return false;
  const char* start = (s > p && s[-1] == '-') ? s - 1 : s;
  int64_t value = 0;
  const size_t used = txt_parse_long(start, &value);
  if (used == 0 || value < lo || value > hi) return false;
  *v = value;
  p = start + used;
  return true;
}

bool fail(const std::string& why) {
  last_error = why;
  return false;
}

char* new_block_string(const std::string& s, size_t extra = 0) {
  auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(s.size() + 1 + extra)));
  if (b != nullptr) std::memcpy(b, s.data(), s.size());
  return b;
}

std::string from_file(const std::string& s) {
  std::string grown(s.size() * 2 + 2, '\0');
  std::memcpy(grown.data(), s.data(), s.size());
  text_charset_convert(grown.data(), 0, grown.size());
  grown.resize(std::strlen(grown.c_str()));
  return grown;
}

const char* short_name_text(const construct_class* c) {
  if (c->short_name == nullptr) return nullptr;
  return c->short_name[0] == 1 ? c->short_name + 1 : c->short_name;
}

construct_class* class_by_short_name(const std::string& name) {
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k)
    if (class_list[k]->short_name != nullptr && name == class_list[k]->short_name) return class_list[k];
  return nullptr;
}

bool class_named(const construct_class* c, const char* short_name) {
  return c != nullptr && c->short_name != nullptr && std::strcmp(c->short_name, short_name) == 0;
}

int code_count(const construct_method* m) {
  int n = 0;
  while (m->args != nullptr && m->args[n] != 0) ++n;
  return n;
}

// The parts of a name block: the name, then (after a rename) the former
// name and the number of the load that renamed it.
const char* name_part(const construct_class* c, int part) {
  const char* block = c->english_name;
  if (block == nullptr) return nullptr;
  const uint32_t size = GlobalSize(const_cast<char*>(block));
  uint32_t at = 0;
  for (int k = 0; k < part; ++k) {
    while (at < size && block[at] != '\0') ++at;
    if (++at >= size) return nullptr;
  }
  return block + at;
}

}  // namespace

const char* type_name_of_code(TYPEOBJ code) {
  uint16_t id = code;
  if (code == ARG_STRAIGHT_BOUNDED) id = TYPE_SEGMENT;
  if (code == ARG_STRAIGHT) id = TYPE_LINE;
  for (type* t : type_slots)
    if (t != nullptr && t->id == id && t->english_name != nullptr) return t->english_name;
  return "";
}

int32_t txt_write_macro_method_head(const construct_method* method, int index, char* dst) {
  TxtOut out(dst);
  const macro_def* def = method->def;
  const int cn = code_count(method);
  const int on = def->macro_def_info[0];
  int fn = 0;
  for (int i = 0; i < on; ++i) fn += def->macro_def_objects[i].mo_final != 0 ? 1 : 0;
  out.put("Mth: ");
  out.i(index);
  out.crlf();
  out.put("CN:");
  out.i(cn);
  out.put(", ON:");
  out.i(on);
  out.put(", FN:");
  out.i(fn);
  out.put(", PO:");
  out.i(def->macro_def_info[1 + cn]);
  out.crlf();
  out.put("CT:");
  out.crlf();
  return out.len;
}

const char* macro_text_error() { return last_error.c_str(); }

void txt_forget_macro_instance() { last_instance = nullptr; }

int32_t txt_write_macro_icon(const uint8_t* icon, char* buffer) {
  TxtOut out(buffer);
  if (icon == nullptr) return 0;
  const bool small_default = is_default_icon(icon);
  const bool doubled = is_icon32_doubled(icon);
  if (small_default && doubled) return 0;
  out.put("Icon:");
  out.crlf();
  auto rows = [&out](const uint8_t* px, int n) {
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        const uint8_t v = px[y * n + x];
        if (v > 9) {
          out.u(v);
          out.ch(' ');
        } else {
          out.ch(' ');
          out.u(v);
          out.ch(' ');
        }
      }
      out.crlf();
    }
  };
  if (!small_default) {
    out.put("16x16");
    out.crlf();
    rows(icon, 16);
  }
  if (!doubled) {
    out.put("32x32");
    out.crlf();
    rows(icon + 256, 32);
  }
  return out.len;
}

int32_t txt_write_macro_param_colors(const macro_object* step, char* buffer) {
  TxtOut out(buffer);
  const uint32_t* blocks[2] = {step->mo_color_params, step->mo_fill_params};
  const char* titles[2] = {"Param color:", "Param fill:"};
  const char* names[3] = {"red:", "green:", "blue:"};
  for (int b = 0; b < 2; ++b) {
    if (blocks[b] == nullptr) continue;
    out.put(titles[b]);
    for (int c = 0; c < 3; ++c) {
      if (blocks[b][c] == 0) continue;
      out.put(names[c]);
      out.u(blocks[b][c]);
    }
  }
  return out.len;
}

int32_t txt_write_macro(construct_class* macro, char* buffer, uint8_t with_defaults, uint8_t with_password) {
  TxtOut out(buffer);
  if (macro == nullptr) return 0;
  if (with_password && macro_password(macro) != nullptr) {
    out.add(txt_write_password_line(out.here(), macro_password(macro)));
    out.crlf();
  }
  out.put(macro->name != nullptr ? macro->name : "");
  out.put(", ");
  const char* short_name = short_name_text(macro);
  out.put(short_name != nullptr ? short_name : "no name");
  out.crlf();
  out.add(txt_write_macro_icon(macro->icon, out.here()));
  if (macro->help_text != nullptr && macro->help_text[0] != '\0') {
    out.put("Help:");
    out.crlf();
    out.add(txt_write_quoted(macro->help_text, out.here()));
    out.crlf();
  }
  for (int m = 0; macro->methods != nullptr && macro->methods[m] != nullptr; ++m) {
    construct_method* method = macro->methods[m];
    const macro_def* def = method->def;
    if (def == nullptr) continue;
    const int cn = code_count(method);
    const int on = def->macro_def_info[0];
    out.add(txt_write_macro_method_head(method, m, out.here()));
    auto* defaults = static_cast<macro_default_entry*>(method->figdata);
    for (int i = 0; i < cn; ++i) {
      const TYPEOBJ code = method->args[i];
      out.put(type_name_of_code(code));
      out.put(", CS ");
      out.i(def->macro_def_info[1 + i]);
      out.put(", ");
      const uint16_t as_type = code == ARG_STRAIGHT_BOUNDED ? uint16_t{TYPE_SEGMENT} : code == ARG_STRAIGHT ? uint16_t{TYPE_LINE} : code;
      out.add(txt_write_style(out.here(), nullptr, &def->macro_def_styles[i], as_type, true));
      if (with_defaults && defaults != nullptr && defaults[i].obj != nullptr) {
        out.put("DEF ");
        out.u(defaults[i].obj->num);
        out.put(", ");
      }
      out.crlf();
    }
    out.put("Const:");
    out.crlf();
    int style = cn;
    for (int i = 0; i < on; ++i) {
      const macro_object& s = def->macro_def_objects[i];
      out.put(s.mo_class != nullptr && s.mo_class->short_name != nullptr ? s.mo_class->short_name : "");
      out.put(", Mth:");
      out.i(s.mo_method);
      out.put(", ");
      out.i(s.mo_final);
      out.put(", CN:");
      out.i(s.mo_nb_parents);
      out.put(", VN:");
      out.i(s.mo_nb_values);
      out.put(", ");
      std::vector<uint16_t> ptypes;
      for (int k = 0; k < s.mo_nb_parents; ++k)
        ptypes.push_back(macro_parent_type(def, method, &s, static_cast<int16_t>(k)));
      math_info w{};
      w.bitsfield = s.mo_side_info;
      out.add(txt_write_type_info_word(out.here(), s.mo_class, s.mo_method, w, ptypes.data(), s.mo_nb_parents));
      if (class_named(s.mo_class, "PReg") && s.mo_method == 1) {
        out.put("VAng: ");
        out.g(s.mo_value, 6);
        out.put(", ");
      }
      if (s.mo_nb_parents > 0) {
        out.put("Const:");
        for (int k = 0; k < s.mo_nb_parents; ++k) {
          out.ch(' ');
          out.u(s.mo_parents[k]);
        }
      }
      const bool text_step = class_named(s.mo_class, "Text");
      if (text_step && s.mo_nb_text_refs > 0) {
        out.put(", inc.elmts:");
        for (int r = 0; r < s.mo_nb_text_refs; ++r) {
          out.ch(' ');
          out.u(s.mo_text_refs[r]);
        }
      }
      if (s.mo_final != 0) {
        out.put(", ");
        const uint16_t t = s.mo_class != nullptr && s.mo_class->ctype != nullptr ? s.mo_class->ctype->id : 0;
        if (def->macro_def_styles != nullptr)
          out.add(txt_write_style(out.here(), nullptr, &def->macro_def_styles[style++], t, true));
        out.add(txt_write_macro_param_colors(&s, out.here()));
      }
      if (class_named(s.mo_class, "Formula")) {
        out.put(", formula: ");
        std::string f = s.mo_formula != nullptr ? s.mo_formula : "";
        f.push_back('\0');
        convert_formula_to_c_locale(f.data());
        out.put(f.c_str());
      }
      out.crlf();
      if (text_step && s.mo_text != nullptr) {
        out.add(txt_write_quoted(s.mo_text, out.here()));
        out.crlf();
      }
    }
  }
  return out.len;
}

bool txt_write_macro_file(construct_class* macro) {
  int32_t total = txt_write_header(txt_scratch, 1, 2);
  total += txt_write_macro(macro, nullptr, 0, 1);
  auto* image = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(total) + 1));
  if (image == nullptr) {
    message_box_simple(kernel_string(294));
    return false;
  }
  int32_t at = txt_write_header(image, 1, 2);
  at += txt_write_macro(macro, image + at, 0, 1);
  free_file_image();
  file_buffer = image;
  file_buffer_len = static_cast<uint32_t>(at);
  return true;
}

int32_t txt_write_used_macros(char* buffer, uint8_t all_macros, uint8_t with_defaults) {
  TxtOut out(buffer);
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  bool any = false;
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* c = class_list[k];
    if (!is_macro_class(c)) continue;
    if (!all_macros) {
      bool used = false;
      for (object* o = fig != nullptr ? fig->first : nullptr; o != nullptr && !used; o = o->next)
        used = o->macro != nullptr && o->macro->im_class == c;
      if (!used) continue;
    }
    if (!any) {
      out.put("Used macro");
      out.crlf();
    }
    out.crlf();
    out.add(txt_write_macro(c, out.here(), with_defaults, 0));
    any = true;
  }
  if (any) out.crlf();
  return out.len;
}

int32_t txt_write_macro_instance_line(object* obj, char* buffer) {
  TxtOut out(buffer);
  const infomacro* im = obj != nullptr ? obj->macro : nullptr;
  if (im == nullptr || im == last_instance || im->im_class == nullptr) return 0;
  last_instance = im;
  out.put("Ma: ");
  out.put(im->im_class->english_name != nullptr ? im->im_class->english_name : "");
  out.put(", Const:");
  const construct_method* method = class_method(im->im_class, im->im_method);
  const int codes = method != nullptr ? code_count(method) : im->im_nb_initials;
  for (int i = 0; i < codes && i < im->im_nb_initials; ++i) {
    const object* initial = im->im_initials[i];
    out.ch(' ');
    out.u(initial != nullptr ? initial->num : 0);
    out.put(" i: ");
    const uint16_t t = initial != nullptr && initial->otype != nullptr ? initial->otype->id : 0;
    out.u(t == TYPE_TRIANGLE || t == TYPE_POLYGON || t == 6 ? im->im_tags[i] : 0);
  }
  // An expression drawn over axes: the numbers the user gave its other
  // letters come after the axes and the expression.
  if (im->im_class == &classe_exp_num_app && im->im_method == 1)
    for (const object* o = obj; o != nullptr; o = o->next) {
      if (o->macro != im || o->classe != &classe_exp_num_app) continue;
      for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k) {
        const object* p = o->parents[k];
        if (p == nullptr || p->macro == im || p->otype == nullptr || p->otype->id != TYPE_NUMBER) continue;
        out.ch(' ');
        out.u(p->num);
        out.put(" i: 0");
      }
      break;
    }
  out.crlf();
  return out.len;
}

int32_t read_macro_icon(uint8_t** icon, const char* text) {
  const char* p = text;
  auto* block = static_cast<uint8_t*>(GlobalAlloc(GPTR, kMacroIconSize));
  if (block == nullptr) return fail(out_of_memory_text()), -1;
  init_macro_icon(block, nullptr);
  auto values = [&p](uint8_t* px, int count) {
    for (int k = 0; k < count; ++k) {
      while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
      int64_t v = 0;
      const size_t used = txt_is_digit(*p) ? txt_parse_long(p, &v) : 0;
      if (used == 0) return fail("icon incomplete");
      if (v > 15) return fail("icon value beyond the palette");
      px[k] = static_cast<uint8_t>(v);
      p += used;
    }
    p = skip_white(p);
    return true;
  };
  if (file_class != 0 && file_platform == 1 && file_version == 1) {
    // The first edition on MacOS kept no icon: the macro takes the default
    // one, and its optional "lettrine list" line is passed over.
    if (starts(p, "lettrine list")) p = skip_white(next_line(p));
  } else if (file_class != 0 && starts(p, "Icon:")) {
    // Sixteen rows of sixteen hexadecimal digits in the older palette order.
    p = next_line(p);
    for (int y = 0; y < 16; ++y) {
      const char* eol = end_of_line(p);
      for (int x = 0; x < 16; ++x) {
        const char c = p + x < eol ? p[x] : '0';
        const char* at = std::strchr("0123456789ABCDEF", c);
        const int digit = c != '\0' && at != nullptr ? static_cast<int>(at - "0123456789ABCDEF") : 0;
        block[y * 16 + x] = macro_icon_palette_order[digit];
      }
      p = next_line(eol);
    }
    double_icon(block);
  } else if (starts(p, "Icon:")) {
    p = skip_white(p + 5);
    bool ok = true;
    if (starts(p, "16x16")) {
      p += 5;
      ok = values(block, 256);
      double_icon(block);
    }
    if (ok && starts(p, "32x32")) {
      p += 5;
      ok = values(block + 256, 1024);
    }
    if (!ok) {
      GlobalFreeAndNull(&block);
      return -1;
    }
  }
  if (icon != nullptr) {
    GlobalFreeAndNull(icon);
    *icon = block;
  } else {
    GlobalFreeAndNull(&block);
  }
  return static_cast<int32_t>(p - text);
}

namespace {

// An older file gives the numbers a text step shows as its parents: each
// becomes a reference of the text, its marker appended to the text ("$1$"
// for the first), and leaves the parents. False when memory runs out.
bool older_text_numbers_to_references(const macro_def* def, const construct_method* method, macro_object* s) {
  std::vector<uint32_t> kept, numbers;
  for (int16_t k = 0; k < s->mo_nb_parents && s->mo_parents != nullptr; ++k)
    (macro_parent_type(def, method, s, k) == TYPE_NUMBER ? numbers : kept).push_back(s->mo_parents[k]);
  if (numbers.empty()) return true;
  std::string text = s->mo_text != nullptr ? s->mo_text : "";
  for (size_t n = 1; n <= numbers.size(); ++n) text += format_reference_marker(static_cast<int>(n));
  char* block = new_block_string(text);
  auto* refs = alloc_block<uint32_t>(static_cast<uint32_t>(numbers.size()));
  if (block == nullptr || refs == nullptr) {
    GlobalFreeAndNull(&block);
    GlobalFreeAndNull(&refs);
    return false;
  }
  std::memcpy(refs, numbers.data(), numbers.size() * sizeof(uint32_t));
  GlobalFreeAndNull(&s->mo_text);
  GlobalFreeAndNull(&s->mo_text_refs);
  s->mo_text = block;
  s->mo_text_refs = refs;
  s->mo_nb_text_refs = static_cast<int16_t>(numbers.size());
  // The parents left keep their order at the head of their block.
  for (size_t k = 0; k < kept.size(); ++k) s->mo_parents[k] = kept[k];
  s->mo_nb_parents = static_cast<int16_t>(kept.size());
  if (kept.empty()) GlobalFreeAndNull(&s->mo_parents);
  return true;
}

}  // namespace

int32_t read_macro_description(construct_class* macro, const char* text) {
  last_error.clear();
  const char* p = skip_white(text);
  char* password = nullptr;
  p += txt_read_password(p, &password);
  if (password != nullptr) set_macro_password(macro, password);

  // Name line: the short name follows the last comma.
  const char* eol = end_of_line(p);
  if (eol - p > kMaxNameLine) eol = p + kMaxNameLine;
  const char* comma = nullptr;
  for (const char* s = p; s < eol; ++s)
    if (*s == ',') comma = s;
  std::string name(p, comma != nullptr ? comma : eol);
  std::string short_name;
  if (comma != nullptr) {
    const char* s = comma + 1;
    while (s < eol && (is_blank(*s) || *s == ',')) ++s;
    short_name.assign(s, eol);
    if (short_name.size() > kMaxShortName) short_name.resize(kMaxShortName);
  }
  if (name.empty()) return fail("macro without a name"), -1;
  name = from_file(name);
  short_name = from_file(short_name);
  p = next_line(end_of_line(p));
  char* name_block = new_block_string(name);
  if (name_block == nullptr) return fail(out_of_memory_text()), -1;
  macro->name = name_block;
  macro->english_name = name_block;
  if (!short_name.empty() && short_name != "no name") {
    char* s = new_block_string("\x01" + short_name);
    if (s == nullptr) return fail(out_of_memory_text()), -1;
    macro->short_name = s;
  }
  p = skip_white(p);

  const int32_t icon_used = read_macro_icon(&macro->icon, p);
  if (icon_used < 0) return -1;
  p = skip_white(p + icon_used);

  // The help text's keyword line is "Help:", or another word in a file of
  // another language: any line before the first method.
  if (starts(p, "Help:") || (*p != '\0' && !starts(p, "Mth:"))) {
    p = skip_white(next_line(p));
    char* help = nullptr;
    const uint32_t used = read_quoted_string(p, &help);
    if (used > 0) {
      macro->help_text = help;
      p = skip_white(p + used);
    } else {
      GlobalFreeAndNull(&help);
    }
  }

  const auto refuse = [](const std::string& why) { return fail(why), -1; };
  while (starts(p, "Mth:")) {
    p = next_line(p);
    int64_t cn = 0, on = 0, fn = 0, po = 0;
    if (!next_int(p, &cn, 0, kMaxMacroInitials) || !next_int(p, &on, 1, kMaxMacroSteps) ||
        !next_int(p, &fn, 1, on) || !next_int(p, &po, 0, on - 1))
      return refuse("macro method counts out of range");
    p = skip_white(next_line(p));
    if (!starts(p, "CT:")) return refuse("macro method without its initial objects");
    p = skip_white(next_line(p));

    auto* method = alloc_block<construct_method>();
    macro_def* def = new_macro_def(static_cast<int>(cn), static_cast<int>(on), static_cast<int>(fn));
    if (method == nullptr || def == nullptr) {
      GlobalFreeAndNull(&method);
      return refuse(out_of_memory_text());
    }
    method->def = def;
    method->ident = identstd;
    method->args = alloc_block<TYPEOBJ>(static_cast<uint32_t>(cn + 1));
    def->generation = file_class;
    def->macro_def_info[1 + cn] = static_cast<int16_t>(po);
    // From here on the method belongs to the class, which frees it with
    // everything read so far when the definition is refused.
    if (method->args == nullptr || !add_construct_method(macro, method)) {
      free_macro_method(&method);
      return refuse(out_of_memory_text());
    }

    int64_t slots = 0;
    for (int i = 0; i < cn; ++i) {
      const char* c = p;
      while (!txt_is_line_end(*c) && *c != ',') ++c;
      const std::string tname(p, c);
      TYPEOBJ code = 0;
      for (type* t : type_slots)
        if (t != nullptr && t->english_name != nullptr && tname == t->english_name) {
          code = t->id == TYPE_SEGMENT ? uint16_t{ARG_STRAIGHT_BOUNDED} : t->id;
          break;
        }
      if (code == 0) return refuse("unknown initial type \"" + tname + "\"");
      method->args[i] = code;
      p = c;
      int64_t cs = 0;
      if (!starts(p, ", CS")) return refuse("initial object without CS");
      if (!next_int(p, &cs, 0, 16)) return refuse("bad CS count");
      def->macro_def_info[1 + i] = static_cast<int16_t>(cs);
      slots += cs + 1;
      while (*p == ',' || is_blank(*p)) ++p;
      const uint32_t used =
          read_object_style(p, code == ARG_STRAIGHT_BOUNDED ? uint16_t{TYPE_SEGMENT} : code, nullptr, &def->macro_def_styles[i], nullptr);
      if (used == 0 && !txt_is_line_end(*p) && !starts(p, "DEF")) return refuse(object_reader_error());
      p += used;
      if (starts(p, "DEF")) {
        int64_t n = 0;
        if (!next_int(p, &n, 0, INT32_MAX)) return refuse("bad default object");
        if (method->figdata == nullptr) method->figdata = alloc_block<macro_default_entry>(static_cast<uint32_t>(cn + 1));
        if (method->figdata != nullptr)
          static_cast<macro_default_entry*>(method->figdata)[i].obj = reinterpret_cast<object*>(static_cast<uintptr_t>(n));
      }
      p = skip_white(next_line(p));
    }

    if (!starts(p, "Const:")) return refuse("macro method without its steps");
    p = skip_white(next_line(p));
    int style = static_cast<int>(cn);
    int finals = 0;
    for (int i = 0; i < on; ++i) {
      macro_object& s = def->macro_def_objects[i];
      const char* c = p;
      while (!txt_is_line_end(*c) && *c != ',' && !is_blank(*c)) ++c;
      const std::string sname(p, c);
      s.mo_class = class_by_short_name(sname);
      if (s.mo_class == nullptr || is_macro_class(s.mo_class))
        return refuse("unknown step class \"" + sname + "\"");
      p = c;
      int64_t mth = 0, fin = 0, np = 0, nv = 0, packed = 0;
      if (!next_int(p, &mth, 0, 255) || !next_int(p, &fin, 0, 1) ||
          (file_class != 0 && !next_int(p, &packed, 0, UINT32_MAX)) || !next_int(p, &np, 0, 255) ||
          !next_int(p, &nv, 0, 1000))
        return refuse("bad step counts");
      const bool locus = s.mo_class->ctype != nullptr && s.mo_class->ctype->id == TYPE_LOCUS;
      if (class_named(s.mo_class, "Int")) mth = 0;
      if (!locus && mth >= class_method_count(s.mo_class)) return refuse("step method beyond its class");
      if (locus && mth > 2) return refuse("bad locus kind");
      s.mo_method = static_cast<int16_t>(mth);
      s.mo_final = static_cast<int16_t>(fin);
      s.mo_nb_parents = static_cast<int16_t>(np);
      s.mo_nb_values = static_cast<int16_t>(nv);
      while (*p == ',' || is_blank(*p)) ++p;
      if (file_class == 0) {
        math_info w{};
        const int32_t ti = read_type_info_word(p, s.mo_class, &w);
        if (ti < 0) return refuse(object_reader_error());
        p += ti;
        s.mo_side_info = w.bitsfield;
      }
      while (*p == ',' || is_blank(*p)) ++p;
      if (starts(p, "VAng:")) {
        p += 5;
        while (is_blank(*p)) ++p;
        double v = 0;
        const size_t used = txt_parse_real(p, &v);
        if (used == 0) return refuse("bad angle");
        s.mo_value = v;
        p += used;
        while (*p == ',' || is_blank(*p)) ++p;
      }
      if (np > 0) {
        if (!starts(p, "Const:")) return refuse("step without its parents");
        p += 6;
        s.mo_parents = alloc_block<uint32_t>(static_cast<uint32_t>(np));
        if (s.mo_parents == nullptr) return refuse(out_of_memory_text());
        for (int k = 0; k < np; ++k) {
          int64_t idx = 0;
          // A parent is an initial object (or one of its points) or an
          // earlier step: never the step itself or a later one.
          if (!next_int(p, &idx, 1, slots + i)) return refuse("step parent out of range");
          s.mo_parents[k] = static_cast<uint32_t>(idx);
        }
        while (*p == ',' || is_blank(*p)) ++p;
      }
      if (file_class != 0) {
        uint32_t word = static_cast<uint32_t>(packed);
        if (class_named(s.mo_class, "Int") && np >= 2)
          word = pack_index_pair(static_cast<uint16_t>(word & 0xFFFF), macro_parent_type(def, method, &s, 0),
                                 macro_parent_type(def, method, &s, 1));
        s.mo_side_info = class_named(s.mo_class, "Int") ? word : 0;
        unpack_object_side_info(word, nullptr, method, &s, static_cast<int16_t>(nv));
      }
      const bool text_step = class_named(s.mo_class, "Text");
      if (text_step && starts(p, "inc.elmts:")) {
        p += 10;
        std::vector<uint32_t> refs;
        for (;;) {
          while (is_blank(*p)) ++p;
          if (!txt_is_digit(*p)) break;
          int64_t idx = 0;
          if (!next_int(p, &idx, 1, slots + i) || refs.size() >= 255) return refuse("bad text reference");
          refs.push_back(static_cast<uint32_t>(idx));
        }
        if (!refs.empty()) {
          s.mo_text_refs = alloc_block<uint32_t>(static_cast<uint32_t>(refs.size()));
          if (s.mo_text_refs == nullptr) return refuse(out_of_memory_text());
          std::memcpy(s.mo_text_refs, refs.data(), refs.size() * sizeof(uint32_t));
          s.mo_nb_text_refs = static_cast<int16_t>(refs.size());
        }
        while (*p == ',' || is_blank(*p)) ++p;
      }
      if (s.mo_final != 0) {
        if (++finals > fn) return refuse("more final steps than announced");
        const uint16_t t = s.mo_class->ctype != nullptr ? s.mo_class->ctype->id : 0;
        const uint32_t used = read_object_style(p, t, nullptr, &def->macro_def_styles[style++], nullptr);
        p += used;
        const char* titles[2] = {"Param color:", "Param fill:"};
        uint32_t** blocks[2] = {&s.mo_color_params, &s.mo_fill_params};
        for (int b = 0; b < 2; ++b) {
          while (*p == ',' || is_blank(*p)) ++p;
          if (!starts(p, titles[b])) continue;
          p += std::strlen(titles[b]);
          uint32_t values[3] = {};
          const char* names[3] = {"red:", "green:", "blue:"};
          for (int k = 0; k < 3; ++k) {
            if (!starts(p, names[k])) continue;
            p += std::strlen(names[k]);
            int64_t v = 0;
            if (!next_int(p, &v, 1, slots + on)) return refuse("bad colour parameter");
            values[k] = static_cast<uint32_t>(v);
          }
          if (values[0] != 0 || values[1] != 0 || values[2] != 0) {
            *blocks[b] = alloc_block<uint32_t>(3);
            if (*blocks[b] == nullptr) return refuse(out_of_memory_text());
            std::memcpy(*blocks[b], values, sizeof values);
          }
        }
      }
      const uint16_t stype = s.mo_class->ctype != nullptr ? s.mo_class->ctype->id : 0;
      if (stype == TYPE_SEGMENT || stype == TYPE_VECTOR) s.mo_nb_values = 2;
      if (stype == TYPE_TRIANGLE || stype == TYPE_POLYGON) s.mo_nb_values = static_cast<int16_t>(np + 1);
      if (class_named(s.mo_class, "Formula")) {
        const char* f = p;
        while (!txt_is_line_end(*f) && *f != ':') ++f;
        if (*f == ':') {
          ++f;
          while (is_blank(*f)) ++f;
          std::string formula = from_file(std::string(f, end_of_line(f)));
          text_c_to_decimal_slash(formula.data());
          s.mo_formula = new_block_string(formula);
        }
      }
      p = skip_white(next_line(p));
      if (text_step && *p == '"') {
        char* t = nullptr;
        p += read_quoted_string(p, &t);
        s.mo_text = t;
        p = skip_white(p);
      }
      if (text_step && file_class != 0 && !older_text_numbers_to_references(def, method, &s))
        return refuse("Not enough memory");
    }
    if (finals != fn) return refuse("fewer final steps than announced");
    if (def->macro_def_objects[po].mo_final == 0) return refuse("main result is not a final step");
  }
  if (class_method_count(macro) == 0) return refuse("macro without a method");
  return static_cast<int32_t>(p - text);
}

int32_t txt_load_used_macro(const char* text, uint8_t install) {
  KPCursor::setCursorByID(kCursorBusy);
  construct_class* cls = new_macro_class();
  if (cls == nullptr) return fail(out_of_memory_text()), -1;
  const int32_t used = read_macro_description(cls, text);
  if (used < 0) {
    free_construct_class(cls);
    return -1;
  }
  if (construct_class* same = find_class_by_name(cls->name, 0)) {
    if (construct_class_equal(same, cls)) {
      free_construct_class(cls);
      return used;
    }
    // Renamed "name #n", n counting on until the name is free; the block
    // keeps the former name and the number of this load after the new one.
    const std::string former = cls->name;
    std::string fresh;
    for (uint32_t n = 1;; ++n) {
      fresh = former + " #" + std::to_string(n);
      if (find_class_by_name(fresh.c_str(), 0) == nullptr || n >= kLastRenameNumber) break;
    }
    std::string block = fresh;
    block.push_back('\0');
    block += former;
    block.push_back('\0');
    block += load_number_text;
    char* name_block = new_block_string(block);
    if (name_block == nullptr) {
      free_construct_class(cls);
      return fail(out_of_memory_text()), -1;
    }
    char* old = const_cast<char*>(cls->name);
    GlobalFreeAndNull(&old);
    cls->name = name_block;
    cls->english_name = name_block;
    if (cls->code != nullptr) {
      char* code = const_cast<char*>(cls->code);
      GlobalFreeAndNull(&code);
      cls->code = new_block_string(fresh);
    }
  }
  if (!register_construct_class(cls)) {
    free_construct_class(cls);
    return fail(out_of_memory_text()), -1;
  }
  if (install) add_class_to_tools_menu(cls);
  return used;
}

int8_t txt_read_macro_file(const char* image, uint32_t len) {
  if (image == nullptr || len == 0) return fail("the file is empty"), 0;
  // The reader walks the text up to its NUL: give it one after the bytes.
  const std::string copy(image, len);
  const char* text = copy.c_str();
  const int kind = txt_detect_header(len, text);
  if (kind == FILE_KIND_MACRO && file_class == 2) {
    if (import_old_macro_v2(copy.c_str(), len) == 1) return 1;
    return fail(old_binary_error()), 0;
  }
  if (kind != FILE_KIND_MACRO || file_class > 1 || file_platform > 2) return fail("not a macro file of this edition"), 0;
  init_default_attrs(nullptr);
  const char* p = next_line(text);
  p = skip_white(p);
  return txt_load_used_macro(p, 1) < 0 ? 0 : 1;
}

construct_class* find_macro_class_for_line(const char* name) {
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* c = class_list[k];
    if (!is_macro_class(c)) continue;
    const char* former = name_part(c, 1);
    const char* load = name_part(c, 2);
    if (former != nullptr && load != nullptr && std::strcmp(former, name) == 0 &&
        std::strcmp(load, load_number_text) == 0)
      return c;
  }
  return find_class_by_second_name(name);
}

construct_class* find_macro_class_for_instance(const char* name, object** args, uint32_t count, int16_t* method,
                                               bool* known) {
  *method = -1;
  std::vector<construct_class*> candidates;
  auto consider = [&candidates](construct_class* c) {
    if (c == nullptr) return;
    for (construct_class* seen : candidates)
      if (seen == c) return;
    // Only a class with a method that rebuilds steps can be applied.
    for (int m = 0; c->methods != nullptr && c->methods[m] != nullptr; ++m)
      if (c->methods[m]->def != nullptr) {
        candidates.push_back(c);
        return;
      }
  };
  consider(find_macro_class_for_line(name));
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k)
    if (class_list[k]->name != nullptr && class_list[k]->english_name != nullptr &&
        std::strcmp(class_list[k]->english_name, name) == 0)
      consider(class_list[k]);
  // Earlier writings gave the compass and the vector sum no name at all.
  if (name[0] == '\0') {
    consider(optional_classes[0]);
    consider(optional_classes[1]);
  }
  *known = !candidates.empty();
  for (construct_class* c : candidates) {
    int16_t m = find_method_for_parents(c, args, count);
    // The expression plot's numbers follow its axes and expression.
    if (m < 0 && c == &classe_exp_num_app && count > 2) m = find_method_for_parents(c, args, 2);
    const construct_method* found = m >= 0 ? class_method(c, m) : nullptr;
    if (found != nullptr && found->def != nullptr) {
      *method = m;
      return c;
    }
  }
  return nullptr;
}
