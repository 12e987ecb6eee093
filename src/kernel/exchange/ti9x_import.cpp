#include "kernel/exchange/ti9x_import.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/ti9x_export.h"
#include "kernel/exchange/ti9x_file.h"
#include "kernel/exchange/ti_probe.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_state.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_convert.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/deletion.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/recompute.h"
#include "kernel/model/units.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/objects/locus_type.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/render/fonts.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_handler.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"

namespace {

std::string last_error;

// Units of the figure being read.
int length_unit_index = 0;
int angle_unit_index = 0;
// The next file number an object read gets.
uint32_t next_number = 1;

// A bounded cursor over the variable data: every read checks the bytes are
// there, and a failed read leaves `ok` false for good.
struct Cursor {
  const uint8_t* p;
  const uint8_t* end;
  bool ok = true;

  bool has(size_t n) {
    if (!ok || static_cast<size_t>(end - p) < n) ok = false;
    return ok;
  }
  bool starts(const char* word) const {
    const size_t n = std::strlen(word) + 1;  // with its 0
    return ok && static_cast<size_t>(end - p) >= n && std::memcmp(p, word, n) == 0;
  }
  int16_t be16() {
    if (!has(2)) return 0;
    int16_t v = 0;
    p += read_be16(p, &v);
    return v;
  }
  uint32_t be32() {
    if (!has(4)) return 0;
    int32_t v = 0;
    p += read_be32(p, &v);
    return static_cast<uint32_t>(v);
  }
  uint8_t byte() { return has(1) ? *p++ : 0; }
  double real() {
    if (!has(1)) return 0;
    if (!has(*p == 0xFF ? 11 : 3)) return 0;
    double v = 0;
    p += ti_bcd_decode(p, &v);
    return std::isfinite(v) ? v : 0;
  }
  // A 0-ended string, raw bytes.
  std::string raw() {
    const void* zero = ok ? std::memchr(p, 0, static_cast<size_t>(end - p)) : nullptr;
    if (zero == nullptr) {
      ok = false;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(zero) - p);
    p = static_cast<const uint8_t*>(zero) + 1;
    return s;
  }
  // A string in kernel characters.
  std::string text() { return ti9x_text_from_calculator(raw().c_str()); }
};

bool fail(const std::string& why) {
  if (last_error.empty()) last_error = why;
  return false;
}

char* block_string(const std::string& s) {
  auto* b = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(s.size() + 1)));
  if (b != nullptr) std::memcpy(b, s.data(), s.size());
  return b;
}

double pixels_per_calculator_unit() { return pixels_per_unit / 29.0; }

// The low nibble of a style byte.
void decode_style_bits(uint8_t bits, uint16_t type_id, object_settings* s, math_info* math) {
  s->visible = (bits & 1) != 0 ? 1 : 0;
  s->thickness = (bits & 2) != 0 ? 1 : 0;
  s->dot_style = (bits & 4) != 0 ? dot{5, 8} : dot{1, 1};
  if (type_id == TYPE_AXES && math != nullptr)
    math->side.index2 = (bits & 8) != 0 ? 0 : (angle_unit_index == 1 ? 3 : 1);
  if (type_id == TYPE_POINT) s->graph_type = s->thickness == 1 ? 2 : 1;
}

// Decimals and unit of numbers and equations, then the style bits.
void apply_style_record(const uint8_t style[3], uint16_t type_id, object_settings* s, math_info* math) {
  if (type_id == TYPE_NUMBER || type_id == TYPE_EQUATION) {
    const auto d = static_cast<int8_t>(style[0]);
    s->nbre_decimales = static_cast<uint8_t>(d < 0 ? (-d) | 0x80 : d);
    const int kind = style[1] & 7;
    int unit = kind << 5;
    if (kind == 4) unit += angle_unit_index;
    if (kind == 1 || kind == 2) unit += length_unit_index;
    s->unite = static_cast<uint8_t>(unit);
    s->contraint = (style[1] & 0x80) != 0 ? 1 : 0;
  }
  decode_style_bits(style[2], type_id, s, math);
}

uint16_t type_of_class(const construct_class* cls) { return class_type_id(cls); }

// Every object other than an intersection set counts; finals and plain
// objects carry their count as their number, hidden steps 0.
uint32_t ti9x_number_macro_objects() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  uint32_t count = 0;
  for (object* o = fig->first; o != nullptr; o = o->next) {
    if (is_intersection_set(o)) {
      o->num = 0;
      continue;
    }
    ++count;
    o->num = o->final_no != 0 ? count : 0;
  }
  return count + 1;
}

// The calculator's texts and labels come in one format: Arial 7, black.
void set_imported_text_format(TErec* te) {
  if (te == nullptr) return;
  te->format.font_id = font_id_by_name_or_create("Arial", 7);
  te->format.size = 7;
  te->format.charset = 0;
  te->format.color = 0;
}

// A label record: "Nob", its text and its frame.
TErec* read_label(Cursor& c) {
  if (!c.starts("Nob")) return nullptr;
  c.p += 4;
  const std::string text = c.text();
  int32_t frame[4];
  for (int32_t& v : frame) v = c.be16();
  if (!c.ok) return nullptr;
  TErec* te = create_text_record(0, 0, 0, 20, static_cast<int32_t>(text.size() + 1));
  if (te == nullptr) return nullptr;
  set_text_record_text(te, text.c_str());
  set_imported_text_format(te);
  te->edit_flags |= 1;
  te->pos = {frame[0], frame[1]};
  te->size = {frame[2], frame[3]};
  return te;
}

TErec* new_text(const std::string& text, const int32_t frame[4]) {
  TErec* te = create_text_record(frame[0], frame[1], frame[2], frame[3], static_cast<int32_t>(text.size() + 1));
  if (te != nullptr) set_text_record_text(te, text.c_str());
  set_imported_text_format(te);
  return te;
}

// The kinds of the values a record carries: the writer's table, so that
// reading and writing always agree on the bytes of a record.
bool value_kinds_read(construct_class* cls, int16_t method, uint8_t kinds[5]) {
  const bool known = ti9x_value_kinds(cls->code, method, kinds);
  if (class_is(cls, "PReg") && method == 1) {
    kinds[2] |= FIELD_RADIUS;
    return true;
  }
  return known;
}

struct ObjectRecord {
  TErec* label = nullptr;
  ~ObjectRecord() { free_text_window(label); }
};

// One object record; -1 when it fails.
int32_t read_object(object** out, Cursor& c) {
  *out = nullptr;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint8_t* start = c.p;
  construct_class* saved_class = current_class;
  const auto refuse = [&](const std::string& why) {
    current_class = saved_class;
    objlist_clear(fig->inputs);
    fail(why);
    return -1;
  };
  ObjectRecord rec;
  rec.label = read_label(c);

  object* named = nullptr;
  construct_class* cls = nullptr;
  uint32_t side = 0;
  int16_t nparents = 0;
  if (c.starts("MaR")) {
    c.p += 4;
    const int16_t k = c.be16();
    if (!c.ok) return refuse("a macro result record is cut");
    named = take_macro_result(k);
    if (named == nullptr) return refuse("macro result " + std::to_string(k) + " was not built");
    // Finals the file does not name were not in the written figure either:
    // the numbers after them count without them.
    next_number = ti9x_number_macro_objects();
    cls = named->classe;
    if (type_of_class(cls) == TYPE_LOCUS) side = c.be32();
  } else {
    const std::string code = c.raw();
    side = c.be32();
    nparents = c.be16();
    if (!c.ok) return refuse("a record is cut");
    cls = ti9x_find_macro_class(code.c_str());
    if (cls == nullptr || is_macro_class(cls)) return refuse("unknown class \"" + code + "\"");
    if (nparents < 0 || nparents > 255) return refuse("bad parent count");
  }
  current_class = cls;
  const uint16_t t = type_of_class(cls);
  int count = c.be16();
  if (t == TYPE_TRIANGLE || t == TYPE_POLYGON || class_is(cls, "PolReg")) count = nparents + 1;
  if (t == TYPE_SEGMENT || t == TYPE_VECTOR || class_is(cls, "Pt/")) count = 2;
  if (t == TYPE_LOCUS) count = std::min(count, 100);
  if (count < 0 || count > 1000) return refuse("bad value count");
  uint8_t style[3] = {c.byte(), c.byte(), c.byte()};
  if (!c.ok) return refuse("a record is cut");

  std::vector<object*> args;
  insert_object* refs = nullptr;
  struct RefsGuard {
    insert_object** list;
    ~RefsGuard() { free_text_references(list); }
  } refs_guard{&refs};
  int16_t method = named != nullptr ? named->methode : -1;
  if (named == nullptr) {
    objlist_clear(fig->inputs);
    for (int k = 0; k < nparents; ++k) {
      const int16_t n = c.be16();
      if (!c.ok) return refuse("a record is cut");
      object* o = n > 0 ? find_object_by_file_number(static_cast<uint32_t>(n)) : nullptr;
      if (o == nullptr) return refuse("object " + std::to_string(n) + " is not in the figure");
      if (t == TYPE_TEXT && object_type_id(o) == TYPE_NUMBER) {
        if (add_text_reference(o, &refs) == 0) return refuse(out_of_memory_text());
        continue;
      }
      args.push_back(o);
    }
    if (t == TYPE_LOCUS) {
      if (args.size() < 2) return refuse("locus without its two objects");
      object* a = args.front();
      object* b = args.back();
      args.clear();
      const int16_t n = collect_dependency_chain(a, b);
      if (n > 0) {
        for (int k = 0; k < n; ++k) args.push_back(fig->inputs->items[k]);
      } else {
        args = {a, b};
      }
      objlist_clear(fig->inputs);
      const uint16_t bt = object_type_id(b);
      auto packed = static_cast<uint16_t>(side);
      if (bt != TYPE_POINT && bt != TYPE_LINE) packed &= 0x3FFF;
      int points = count;
      if ((packed & 0xC000) != 0 && points > 30 && bt == TYPE_LINE) points = 20;
      if (!(bt == TYPE_POINT || (bt == TYPE_LINE && (packed & 0x4000) != 0))) points /= 2;
      if (points <= 4) points = 5;
      count = points;
      side = (side & 0xFFFF0000u) | packed;
    }
    for (size_t k = 0; k < args.size(); ++k)
      objlist_add(fig->inputs, args[k], static_cast<uint16_t>(k < 4 ? (side >> (8 * k)) & 127 : 0));
    method = find_method_for_parents(cls, args.data(), static_cast<uint32_t>(args.size()));
    if (method < 0) return refuse("no method of \"" + std::string(cls->code) + "\" takes these objects");
  }

  // Values.
  valeur values[5] = {};
  uint8_t kinds[5] = {};
  const bool polyreg_vertex = class_is(cls, "PReg");
  if (!(polyreg_vertex && method == 0) &&
      value_kinds_read(cls, method, kinds)) {
    const double f = pixels_per_calculator_unit();
    for (int k = 0; k < 5 && k < count; ++k) {
      if (kinds[k] == 0) continue;
      if (kinds[k] & FIELD_H) values[k].h = c.real() * f;
      if (kinds[k] & FIELD_V) values[k].v = c.real() * f;
      if (kinds[k] & FIELD_RADIUS) values[k].info.rayon = c.real() * (polyreg_vertex ? 1.0 : f);
    }
  }
  bool has_text_value = false;
  uint8_t flags = 0;
  if (class_has_value(cls)) {
    values[0].h = c.be16();
    values[0].v = c.be16();
    values[0].info.rayon = c.real();
    flags = c.byte();
    has_text_value = true;
  }
  if (polyreg_vertex && method == 1) count = static_cast<int>(side >> 16) + 2;
  const bool coded_text = cls->code != nullptr && (std::strcmp(cls->code, "NO") == 0 || std::strcmp(cls->code, "FO") == 0);
  const bool framed = t == TYPE_TEXT || (named == nullptr && coded_text);
  int32_t frame[4] = {0, 0, 200, 20};
  if (framed)
    for (int32_t& v : frame) v = c.be16();
  std::string text;
  if (framed) text = c.text();
  TErec* property_texts[2] = {nullptr, nullptr};
  struct PropGuard {
    TErec** t;
    ~PropGuard() {
      free_text_window(t[0]);
      free_text_window(t[1]);
    }
  } prop_guard{property_texts};
  if (t == TYPE_PROPERTY) {
    for (TErec*& te : property_texts) {
      int32_t box[4];
      for (int32_t& v : box) v = c.be16();
      const std::string s = c.text();
      if (!c.ok) break;
      te = new_text(s, box);
    }
  }
  if (!c.ok) return refuse("a record is cut");

  // The object.
  object* o = named;
  object* set = nullptr;
  if (o == nullptr) {
    const bool intersection = class_is(cls, "Int");
    if (intersection) {
      if (args.size() < 2) return refuse("intersection point without its two objects");
      set = get_intersection_set(args[0], args[1], nullptr);
      if (set == nullptr) return refuse(out_of_memory_text());
      objlist_clear(fig->inputs);
      objlist_add(fig->inputs, set, 0);
    }
    for (int k = 0; k < kRubberPoints && k < 5; ++k) rubber_points[k] = values[k];
    value_count = static_cast<uint16_t>(count);
    variable_nb_values = static_cast<int16_t>(count);
    uint16_t created = 0;
    o = create_object(static_cast<uint16_t>(method), &created, 0, 1, 1);
    objlist_clear(fig->inputs);
    if (o == nullptr) return refuse(out_of_memory_text());
    if (intersection) add_intersection_record(set, side, &values[0], o);
    o->num = next_number++;
    o->math.polyarea = side;
    if (t != TYPE_SEGMENT && t != TYPE_VECTOR && t != TYPE_TRIANGLE && t != TYPE_POLYGON && t != TYPE_ARC &&
        !polyreg_vertex && !is_property_check(o) && o->nbvaleurs != count && t != TYPE_LOCUS && count > 0) {
      valeur* fresh = alloc_block<valeur>(static_cast<uint32_t>(count));
      if (fresh != nullptr) {
        for (int i = 0; i < std::min<int>(o->nbvaleurs, count) && o->valeurs != nullptr; ++i) fresh[i] = o->valeurs[i];
        GlobalFreeAndNull(&o->valeurs);
        o->valeurs = fresh;
        o->nbvaleurs = static_cast<int16_t>(count);
      }
    }
    if (t == TYPE_LOCUS && o->math.locus.nb_pts != count) locus_change_nb_points(o, static_cast<uint16_t>(count));
  } else {
    for (int k = 0; k < 5 && k < o->nbvaleurs && o->valeurs != nullptr; ++k)
      if (kinds[k] != 0) o->valeurs[k] = values[k];
  }
  *out = o;
  if (has_text_value && o->valeurs != nullptr && o->nbvaleurs > 0) {
    o->valeurs[0].h = values[0].h;
    o->valeurs[0].v = values[0].v;
    o->valeurs[0].info.rayon = values[0].info.rayon;
  }
  if ((flags & 0x0F) != 0) o->aux2 |= 2u;
  if ((flags & 0xF0) != 0) o->aux2 |= 4u;
  apply_style_record(style, t, &o->settings, &o->math);
  const bool labelled = rec.label != nullptr;
  if (labelled) {
    free_text_window(o->te);
    o->te = rec.label;
    rec.label = nullptr;
    // The settings of a new label are the block the default gives, unless
    // the object has its own already.
    label_settings* font = get_default_font_info();
    if (o->label == nullptr) {
      o->label = font;
    } else {
      GlobalFreeAndNull(&font);
    }
  }
  if (framed) {
    if (class_is(cls, "Formula") || class_is(cls, "Exp_num_App")) {
      if (o->parents != nullptr && GlobalSize(o->parents) / sizeof(object*) > static_cast<uint32_t>(o->nbparents)) {
        void* old = o->parents[o->nbparents];
        GlobalFreeAndNull(&old);
        o->parents[o->nbparents] = reinterpret_cast<object*>(block_string(text));
        compile_calculation(o);
      }
      free_text_window(o->te);
      o->te = new_text("", frame);
    } else {
      std::string shown = text;
      if (t == TYPE_TEXT) {
        // Each byte 7 is the next reference, in order.
        shown.clear();
        int n = 0;
        for (char ch : text) {
          if (ch == '\x07')
            shown += format_reference_marker(++n);
          else
            shown.push_back(ch);
        }
        free_text_references(&o->inserted);
        o->inserted = refs;
        refs = nullptr;
      }
      free_text_window(o->te);
      o->te = new_text(shown, frame);
      if (o->te != nullptr) {
        size_t caret = shown.size();
        if (class_is(cls, "Num")) {
          for (size_t k = 0; k < shown.size(); ++k)
            if (std::isalpha(static_cast<unsigned char>(shown[k])) || static_cast<uint8_t>(shown[k]) == 0xA1) {
              caret = k;
              break;
            }
        } else {
          caret = text.find('\x07');
          if (caret == std::string::npos) caret = shown.size();
        }
        o->te->sel_start = static_cast<int32_t>(caret);
        if (t == TYPE_NUMBER) o->te->edit_flags |= 1;
      }
    }
  }
  if (t == TYPE_PROPERTY && o->valeurs != nullptr && GlobalSize(o->valeurs) >= 2 * sizeof(TErec*)) {
    auto* texts = reinterpret_cast<TErec**>(o->valeurs);
    for (int k = 0; k < 2; ++k) {
      free_text_window(texts[k]);
      texts[k] = property_texts[k];
      property_texts[k] = nullptr;
    }
    o->te = texts[0];
  }
  if (polyreg_vertex && named == nullptr) {
    const int sides = o->math.polreg.nbsides;
    if (method == 1 && o->valeurs != nullptr && sides > 0 && sides < o->nbvaleurs)
      o->valeurs[sides].info.rayon = o->math.polreg.index * 2 * M_PI / sides;
  }
  if (set != nullptr) {
    link_intersection_point(o, set);
    intersection_set_refresh(o);
  }
  // The label where the file put it, its offset from the object kept for
  // the object's later moves: the computation places it anew.
  const te_point label_at = labelled && o->te != nullptr ? o->te->pos : te_point{};
  recompute_object(o);
  if (labelled && o->te != nullptr) {
    o->te->pos = label_at;
    restore_label_place(o);
  }
  return static_cast<int32_t>(c.p - start);
}

// One "Ma:" header; 0 when none starts here, -1 when it fails.
int32_t read_macro_instance(Cursor& c) {
  if (!c.starts("Ma:")) return 0;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const uint8_t* start = c.p;
  construct_class* saved_class = current_class;
  const auto refuse = [&](const std::string& why) {
    current_class = saved_class;
    objlist_clear(fig->inputs);
    fail(why);
    return -1;
  };
  c.p += 4;
  flush_pending_selection();
  object* last = last_object();
  const std::string name = c.text();
  construct_class* cls = ti9x_find_macro_class(name.c_str());
  if (cls == nullptr) return refuse("macro \"" + name + "\" is not loaded");
  const int16_t n = c.be16();
  if (!c.ok || n < 0 || n > kMaxMacroInitials) return refuse("a macro application is cut");
  objlist_clear(fig->inputs);
  std::vector<object*> args;
  for (int k = 0; k < n; ++k) {
    const int16_t number = c.be16();
    const int16_t tag = c.be16();
    if (!c.ok) return refuse("a macro application is cut");
    object* o = number > 0 ? find_object_by_file_number(static_cast<uint32_t>(number)) : nullptr;
    if (o == nullptr) return refuse("initial object " + std::to_string(number) + " is not in the figure");
    args.push_back(o);
    objlist_add(fig->inputs, o, static_cast<uint16_t>(tag));
  }
  const int16_t method = find_method_for_parents(cls, args.data(), static_cast<uint32_t>(args.size()));
  if (method < 0) return refuse("no method of macro \"" + name + "\" takes these objects");
  current_class = cls;
  apply_macro(method, 0);
  if (macro_application_refused) return refuse("macro \"" + name + "\" does not fit its objects");
  current_class = saved_class;
  objlist_clear(fig->inputs);
  next_number = ti9x_number_macro_objects();
  begin_macro_results(last);
  return static_cast<int32_t>(c.p - start);
}

// The macro definition at c into the fresh class.
bool read_macro_def(construct_class* cls, Cursor& c) {
  const std::string name = c.text();
  const std::string second = c.text();
  if (!c.ok || name.empty()) return fail("a macro without its name");
  cls->name = block_string(name);
  cls->english_name = cls->name;
  cls->code = block_string(name);
  cls->short_name = block_string("\x01" + second);
  cls->icon = static_cast<uint8_t*>(GlobalAlloc(GPTR, kMacroIconSize));
  if (cls->name == nullptr || cls->code == nullptr || cls->short_name == nullptr || cls->icon == nullptr)
    return fail(out_of_memory_text());
  init_macro_icon(cls->icon, default_macro_icon16());
  double_icon(cls->icon);
  const int16_t methods = c.be16();
  if (!c.ok || methods < 1 || methods > 64) return fail("bad method count");
  for (int m = 0; m < methods; ++m) {
    const int16_t ni = c.be16(), steps = c.be16(), finals = c.be16(), last_entry = c.be16();
    if (!c.ok || ni < 0 || ni > kMaxMacroInitials || steps < 1 || steps > kMaxMacroSteps || finals < 1 ||
        finals > steps)
      return fail("bad macro counts");
    auto* method = alloc_block<construct_method>();
    macro_def* def = new_macro_def(ni, steps, finals);
    if (method == nullptr || def == nullptr) {
      GlobalFreeAndNull(&method);
      free_macro_def(&def);
      return fail(out_of_memory_text());
    }
    method->def = def;
    method->ident = identstd;
    method->args = alloc_block<TYPEOBJ>(static_cast<uint32_t>(ni + 1));
    def->macro_def_info[1 + ni] = last_entry;
    if (method->args == nullptr || !add_construct_method(cls, method)) {
      free_macro_method(&method);
      return fail(out_of_memory_text());
    }
    int slots = 0;
    int style = 0;
    for (int k = 0; k < ni; ++k) {
      const uint16_t code = ti9x_kernel_type(c.be16());
      const int16_t info = c.be16();
      uint8_t s[3] = {c.byte(), c.byte(), c.byte()};
      if (!c.ok || code == 0 || info < 0 || info > 16) return fail("bad initial object");
      method->args[k] = code;
      def->macro_def_info[1 + k] = info;
      slots += info + 1;
      object_settings& attrs = def->macro_def_styles[style++];
      apply_style_record(s, code >= 100 ? uint16_t{TYPE_SEGMENT} : code, &attrs, nullptr);
    }
    int seen_finals = 0;
    for (int k = 0; k < steps; ++k) {
      macro_object& step = def->macro_def_objects[k];
      const std::string code = c.raw();
      step.mo_class = ti9x_find_macro_class(code.c_str());
      int16_t mth = c.be16();
      step.mo_final = c.be16();
      step.mo_side_info = c.be32();
      step.mo_nb_parents = c.be16();
      step.mo_nb_values = c.be16();
      if (!c.ok || step.mo_class == nullptr || is_macro_class(step.mo_class))
        return fail("unknown step class \"" + code + "\"");
      if (step.mo_nb_parents < 0 || step.mo_nb_parents > 255 || step.mo_final < 0 || step.mo_final > 1)
        return fail("bad step counts");
      if (code == "PI") mth = 0;
      if (code == "PP" && mth == 1) step.mo_value = c.real();
      if (code == "PS" && mth > 4) ++mth;
      const bool locus = type_of_class(step.mo_class) == TYPE_LOCUS;
      int methods_of_class = 0;
      while (step.mo_class->methods != nullptr && step.mo_class->methods[methods_of_class] != nullptr)
        ++methods_of_class;
      if (mth < 0 || (!locus && mth >= methods_of_class && methods_of_class > 0)) return fail("bad step method");
      step.mo_method = mth;
      if (step.mo_nb_parents > 0) {
        step.mo_parents = alloc_block<uint32_t>(static_cast<uint32_t>(step.mo_nb_parents));
        if (step.mo_parents == nullptr) return fail(out_of_memory_text());
        for (int p = 0; p < step.mo_nb_parents; ++p) {
          const int16_t idx = c.be16();
          // A parent is an initial object (or one of its points) or an
          // earlier step.
          if (!c.ok || idx < 1 || idx > slots + k) return fail("step parent out of range");
          step.mo_parents[p] = static_cast<uint32_t>(idx);
        }
      }
      if (step.mo_final == 1) {
        if (++seen_finals > finals) return fail("more final steps than announced");
        uint8_t s[3] = {c.byte(), c.byte(), c.byte()};
        apply_style_record(s, type_of_class(step.mo_class), &def->macro_def_styles[style++], nullptr);
      }
      if (code == "FO") {
        step.mo_formula = block_string(c.text());
        if (step.mo_formula == nullptr) return fail(out_of_memory_text());
      }
      const uint16_t st = type_of_class(step.mo_class);
      if (st == TYPE_SEGMENT || st == TYPE_VECTOR) step.mo_nb_values = 2;
      if (st == TYPE_TRIANGLE || st == TYPE_POLYGON) step.mo_nb_values = static_cast<int16_t>(step.mo_nb_parents + 1);
      if (code == "PI" && step.mo_nb_parents >= 2 && step.mo_parents[0] <= static_cast<uint32_t>(slots + k) &&
          step.mo_parents[1] <= static_cast<uint32_t>(slots + k)) {
        const uint16_t t1 = macro_parent_type(def, method, &step, 0);
        const uint16_t t2 = macro_parent_type(def, method, &step, 1);
        step.mo_side_info = pack_index_pair(static_cast<uint16_t>(step.mo_side_info), t1, t2);
      }
      if (!c.ok) return fail("a macro step is cut");
    }
    if (seen_finals != finals) return fail("fewer final steps than announced");
  }
  return true;
}

// Renames the loaded class `old` to "name #k" and its tool with it.
void rename_loaded_class(construct_class* old) {
  const std::string former = old->name != nullptr ? old->name : "";
  std::string fresh;
  for (int k = 1; k < 999; ++k) {
    fresh = former + " #" + std::to_string(k);
    if (find_class_by_name(fresh.c_str(), 0) == nullptr) break;
  }
  bool shown = false;
  for (int g = 0; tool_menus != nullptr && tool_menus[g] != nullptr && !shown; ++g) {
    menu* m = tool_menus[g];
    for (int i = 1; m->names != nullptr && m->names[i] != nullptr; ++i)
      if (former == m->names[i]) {
        char* copy = block_string(fresh);
        if (copy == nullptr) break;
        GlobalFreeAndNull(&m->names[i]);
        m->names[i] = copy;
        shown = true;
        break;
      }
  }
  const bool english_shared = old->english_name == old->name;
  char* name = block_string(fresh);
  if (name == nullptr) return;
  char* old_name = const_cast<char*>(old->name);
  if (!english_shared) {
    char* old_english = const_cast<char*>(old->english_name);
    GlobalFreeAndNull(&old_english);
    old->english_name = block_string(fresh);
  } else {
    old->english_name = name;
  }
  GlobalFreeAndNull(&old_name);
  old->name = name;
  if (old->code != nullptr) {
    char* code = const_cast<char*>(old->code);
    GlobalFreeAndNull(&code);
    old->code = block_string(fresh);
  }
  if (!shown) add_class_to_tools_menu(old);
}

}  // namespace

const std::string& ti9x_import_error() { return last_error; }

uint16_t ti9x_kernel_type(int16_t code) {
  static constexpr uint16_t kTable[19] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 9, 13, 14, 15, 16, 17, 18, 19};
  if (code == ARG_STRAIGHT_BOUNDED || code == ARG_STRAIGHT) return static_cast<uint16_t>(code);
  if (code < 0 || code > 18) return 0;
  return kTable[code];
}

construct_class* ti9x_find_macro_class(const char* code) {
  if (code == nullptr || code[0] == '\0') return nullptr;
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* cls = class_list[k];
    if (cls->code != nullptr && std::strcmp(cls->code, code) == 0) return cls;
  }
  // A macro loaded from a figure or macro text has no file code: the
  // calculator files name it by its English name.
  for (int k = 0; class_list != nullptr && class_list[k] != nullptr; ++k) {
    construct_class* cls = class_list[k];
    if (is_macro_class(cls) && cls->english_name != nullptr && std::strcmp(cls->english_name, code) == 0) return cls;
  }
  return nullptr;
}

int32_t ti9x_read_macro(const uint8_t* data, const uint8_t* end) {
  if (data == nullptr || end == nullptr || end < data) return -1;
  Cursor c{data, end};
  construct_class* cls = new_macro_class();
  if (cls == nullptr) return fail(out_of_memory_text()), -1;
  if (!read_macro_def(cls, c)) {
    free_construct_class(cls);
    return -1;
  }
  while (construct_class* same = find_class_by_name(cls->name, 0)) {
    if (construct_class_equal(same, cls)) {
      free_construct_class(cls);
      return static_cast<int32_t>(c.p - data);
    }
    rename_loaded_class(same);
    if (find_class_by_name(cls->name, 0) == same) break;  // no free name left
  }
  if (!register_construct_class(cls)) {
    free_construct_class(cls);
    return fail(out_of_memory_text()), -1;
  }
  add_class_to_tools_menu(cls);
  return static_cast<int32_t>(c.p - data);
}

int ti9x_read_macro_file(const char* image, uint32_t len) {
  last_error.clear();
  const int d = ti9x_check_signature(image, len, nullptr);
  if (d < 0 || static_cast<uint64_t>(d) + 2 > len) return fail("not a calculator macro file"), 0;
  const auto* b = reinterpret_cast<const uint8_t*>(image);
  uint32_t length = (uint32_t{b[d]} << 8) | b[d + 1];
  if (static_cast<uint64_t>(d) + 2 + length > len) return fail("the file is cut"), 0;
  return ti9x_read_macro(b + d + 2, b + d + 2 + length) < 0 ? 0 : 1;
}

int ti9x_read_figure(const char* image, uint32_t len) {
  last_error.clear();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return fail("no current figure"), 0;
  const int d = ti9x_check_signature(image, len, nullptr);
  if (d < 0 || static_cast<uint64_t>(d) + 2 > len) return fail("not a calculator figure"), 0;
  const auto* b = reinterpret_cast<const uint8_t*>(image);
  const uint32_t length = (uint32_t{b[d]} << 8) | b[d + 1];
  if (static_cast<uint64_t>(d) + 2 + length > len) return fail("the file is cut"), 0;
  Cursor c{b + d + 2, b + d + 2 + length};
  fig->nbobj = 0;
  next_number = 1;

  const uint8_t saved_reading = reading_file;
  reading_file = 1;
  struct Restore {
    uint8_t saved;
    ~Restore() {
      reading_file = saved;
      renumber_lock = 0;
    }
  } restore{saved_reading};

  if (c.starts("UMA:")) {
    c.p += 5;
    while (c.ok && !c.starts("FDE:")) {
      const int32_t used = ti9x_read_macro(c.p, c.end);
      if (used <= 0) {
        create_default_objects();
        return fail(last_error.empty() ? "a macro of the figure cannot be read" : last_error), 0;
      }
      c.p += used;
    }
    if (!c.starts("FDE:")) {
      create_default_objects();
      return fail("the figure's macros are cut"), 0;
    }
    c.p += 5;
  }
  const auto settings = static_cast<uint16_t>(c.be16());
  length_unit_index = std::max(0, ((settings >> 10) & 3) - 1);
  angle_unit_index = (settings & 0x1000) == 0 ? 1 : 0;
  default_attrs[ATTRS_LENGTH].settings.unite = static_cast<uint8_t>(32 + length_unit_index);
  default_attrs[ATTRS_AREA].settings.unite = static_cast<uint8_t>(64 + length_unit_index);
  default_attrs[ATTRS_ANGLE_MEASURE].settings.unite = static_cast<uint8_t>(128 + angle_unit_index);
  const int16_t skipped = c.be16();
  for (int k = 0; k < skipped && c.ok; ++k) c.be16();
  if (!c.ok || skipped < 0) {
    create_default_objects();
    return fail("the figure's settings are cut"), 0;
  }

  create_default_objects();
  object* origin = fig->first;
  object* axes = origin != nullptr ? origin->next : nullptr;
  if (origin == nullptr || axes == nullptr) return fail(out_of_memory_text()), 0;
  const double f = pixels_per_calculator_unit();
  const double ox = c.be16(), oy = c.be16();
  const uint8_t origin_style = c.byte();
  double av[4];
  for (double& v : av) v = c.real();
  const uint8_t axes_style = c.byte();
  const uint8_t grid_style = c.byte();
  if (!c.ok) return fail("the figure's axes are cut"), 0;
  if (origin->valeurs != nullptr && origin->nbvaleurs > 0) {
    origin->valeurs[0].h = ox * f;
    origin->valeurs[0].v = oy * f;
  }
  if (axes->valeurs != nullptr && axes->nbvaleurs >= 3) {
    axes->valeurs[1].h = av[0] * f;
    axes->valeurs[1].v = av[1] * f;
    axes->valeurs[2].h = av[2] * f;
    axes->valeurs[2].v = av[3] * f;
  }
  decode_style_bits(origin_style, TYPE_POINT, &origin->settings, &origin->math);
  decode_style_bits(axes_style, TYPE_AXES, &axes->settings, &axes->math);

  // The grid on the axes, always the third object.
  construct_class* saved_class = current_class;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, axes, 0);
  current_class = &classe_grid;
  uint16_t created = 0;
  object* grid = create_object(0, &created, 1, 1, 1);
  current_class = saved_class;
  objlist_clear(fig->inputs);
  if (grid != nullptr) decode_style_bits(grid_style, TYPE_GRID, &grid->settings, &grid->math);
  renumber_objects();
  next_number = fig->nbobj + 1;

  figure_loading_done = 0;
  bool failed = false;
  while (c.ok && c.p < c.end) {
    if (*c.p == kTi9xFigureEnd && c.p + 1 == c.end) break;
    renumber_lock = 1;
    const int32_t m = read_macro_instance(c);
    renumber_lock = 0;
    if (m < 0) {
      failed = true;
      break;
    }
    if (c.p >= c.end || (*c.p == kTi9xFigureEnd && c.p + 1 == c.end)) break;
    object* o = nullptr;
    renumber_lock = 1;
    const int32_t n = read_object(&o, c);
    renumber_lock = 0;
    if (n < 0) {
      failed = true;
      break;
    }
  }
  if (!failed && !c.ok) {
    fail("the figure is cut");
    failed = true;
  }
  flush_pending_selection();
  renumber_objects();
  for (object* o = fig->first; o != nullptr; o = o->next) recompute_object(o);
  figure_loading_done = 1;
  clear_object_flags(0x0F);
  return failed ? 0 : 1;
}
