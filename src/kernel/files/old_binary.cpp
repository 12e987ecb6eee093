#include "kernel/files/old_binary.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_state.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/macros/macro_def.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/model/identical.h"
#include "kernel/model/memory.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/geometric_handlers.h"
#include "kernel/tools/tool_state.h"
#include "platform/kernel_services.h"

namespace {

std::string last_error;

// One stored object of an old figure.
struct OldRecord {
  uint16_t thick = 0;
  uint16_t style = 0;
  uint16_t kind = 0;
  char name[8] = {};
  int16_t box[4] = {};  // x0, y0, x1, y1
  uint16_t count = 0;
  uint16_t shown = 1;
  valeur points[4] = {};
  uint16_t refs[4] = {};
  uint16_t number = 0;
  uint32_t color = 0;
};

// References each old kind carries.
constexpr uint8_t kKindRefs[31] = {0, 0, 0, 2, 2, 3, 2, 2, 2, 2, 2, 2, 1, 2, 3, 2,
                                   3, 2, 2, 1, 1, 1, 2, 2, 2, 2, 3, 2, 2, 3, 3};

struct OldFigure {
  std::vector<OldRecord> records;
  double origin_x = 0, origin_y = 0, width = 0, height = 0;
  double scale = 1;
  std::string comment;
};

// A bounded reader over the file image.
struct Bytes {
  const uint8_t* data;
  uint32_t len;
  uint32_t pos = 0;
  bool big_endian;

  bool have(uint32_t n) const { return pos <= len && len - pos >= n; }
  uint8_t u8() { return data[pos++]; }
  uint16_t u16() {
    const uint8_t a = data[pos], b = data[pos + 1];
    pos += 2;
    return big_endian ? static_cast<uint16_t>((a << 8) | b) : static_cast<uint16_t>(a | (b << 8));
  }
  uint32_t u32() {
    const uint32_t lo = u16(), hi = u16();
    return big_endian ? (lo << 16) | hi : lo | (hi << 16);
  }
};

void show(const char* message) { message_box_simple(message); }

// Past the header line and the line feeds after it.
uint32_t past_header_line(const char* image, uint32_t len) {
  uint32_t pos = 0;
  while (pos < len && image[pos] != '\n') ++pos;
  while (pos < len && (image[pos] == '\n' || image[pos] == '\r')) ++pos;
  return pos;
}

// The scale of the figure from its first named segment: the number in the
// name is the length in centimetres of the segment. A segment of no length
// or a name that is no positive number leaves the scale as it was.
void take_scale(OldFigure& fig) {
  for (const OldRecord& r : fig.records) {
    if (r.kind != 3 || r.name[0] == '\0') continue;
    std::string name(r.name);
    std::replace(name.begin(), name.end(), ',', '.');
    double length = 0;
    txt_parse_real(name.c_str() + std::strspn(name.c_str(), " \t"), &length);
    const double d = std::hypot(r.points[1].h - r.points[0].h, r.points[1].v - r.points[0].v);
    const double s = length * pixels_per_unit / d;
    if (d > 0 && std::isfinite(s) && s > 0) fig.scale = s;
    return;
  }
}

// ---------------------------------------------------------------- reading

bool read_v2_records(OldFigure& fig, const char* image, uint32_t len) {
  Bytes b{reinterpret_cast<const uint8_t*>(image), len, past_header_line(image, len), false};
  if (!b.have(8)) return last_error = "the figure has no window", false;
  auto as_float = [](uint32_t bits) {
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? static_cast<double>(f) : 0.0;
  };
  fig.origin_y = as_float(b.u32()) * 30;
  fig.origin_x = as_float(b.u32()) * 30;
  fig.width = 640;
  fig.height = 480;
  // Only whole records are read.
  while (b.have(84) && fig.records.size() < static_cast<size_t>(kMaxOldRecords)) {
    OldRecord r;
    const uint32_t start = b.pos;
    r.thick = b.u16();
    const uint16_t color = b.u16();
    // Red, green and blue of the sixteen palette colours, else black.
    r.color = color == 1 ? palette16_color(3) : color == 2 ? palette16_color(8) : color == 3 ? palette16_color(6)
                                                                                            : palette16_color(15);
    b.u16();
    r.style = b.u16();
    r.kind = b.u16();
    std::memcpy(r.name, b.data + b.pos, 6);
    r.name[6] = '\0';
    b.pos += 6;
    for (int16_t& v : r.box) v = static_cast<int16_t>(b.u16());
    const uint16_t hidden_a = b.u16();
    const uint16_t hidden_b = b.u16();
    r.shown = hidden_a != 0 || hidden_b == 1 ? 0 : 1;
    for (valeur& p : r.points) {
      const auto x = static_cast<int32_t>(b.u32());
      const auto y = static_cast<int32_t>(b.u32());
      const auto i = static_cast<int32_t>(b.u32());
      p.h = x / 256.0;
      p.v = y / 256.0;
      p.info.rayon = std::trunc(i / 256.0);
    }
    for (int k = 0; k < 4; ++k) {
      const uint16_t ref = b.u16();
      if (r.kind <= 30 && k < kKindRefs[r.kind]) r.refs[k] = ref;
    }
    r.number = static_cast<uint16_t>(fig.records.size() + 1);
    b.pos = start + 84;
    fig.records.push_back(r);
  }
  return true;
}

// The version number of a format-1 header: the first run of digits (or a
// point or comma), one separator character, then the fraction digits.
double header_version(const char* text, uint32_t n) {
  uint32_t k = 0;
  while (k < n && !(txt_is_digit(text[k]) || text[k] == '.' || text[k] == ',')) ++k;
  double whole = 0;
  while (k < n && txt_is_digit(text[k]) && whole < 1e9) whole = whole * 10 + (text[k++] - '0');
  ++k;
  double fraction = 0, unit = 0.1;
  while (k < n && txt_is_digit(text[k]) && unit > 1e-12) {
    fraction += (text[k++] - '0') * unit;
    unit /= 10;
  }
  return whole + fraction;
}

void exchange_v1_triangles(OldFigure& fig) {
  auto& rs = fig.records;
  for (size_t k = 1; k < rs.size(); ++k)
    if (rs[k].kind == 25 && rs[k - 1].kind == 24) rs[k].refs[2] = rs[k - 1].number;
  for (size_t k = 0; k + 3 < rs.size(); ++k) {
    if (rs[k].style != 3 || rs[k].count == 2) continue;
    rs[k].count = 2;
    rs[k].thick = 0;
    for (int j = 1; j <= 3; ++j) rs[k + j].count = 0;
    std::swap(rs[k], rs[k + 3]);
    for (size_t j = k; j <= k + 3; ++j) rs[j].number = static_cast<uint16_t>(j + 1);
    for (int j = 0; j < 3; ++j) rs[k + 3].refs[j] = static_cast<uint16_t>(k + 1 + j);
    k += 3;
  }
}

// Version 1.0 records; false after "Vieux Fichier".
bool read_v1_0_records(OldFigure& fig, Bytes& b) {
  uint32_t count = b.u16();
  while (count-- > 0 && fig.records.size() < static_cast<size_t>(kMaxOldRecords)) {
    if (!b.have(2 + 5 + 8 + 2 + 1 + 16 + 8 + 2)) break;
    OldRecord r;
    r.style = b.u8();
    r.kind = b.u8();
    const uint8_t n = b.u8();
    std::memcpy(r.name, b.data + b.pos, std::min<uint8_t>(n, 4));
    b.pos += 4;
    const int16_t y0 = static_cast<int16_t>(b.u16()), x0 = static_cast<int16_t>(b.u16());
    const int16_t y1 = static_cast<int16_t>(b.u16()), x1 = static_cast<int16_t>(b.u16());
    r.box[0] = x0, r.box[1] = y0, r.box[2] = x1, r.box[3] = y1;
    uint8_t a = b.u8();
    const uint8_t hb = b.u8();
    if (a == 1 || a == 2) a = static_cast<uint8_t>(3 - a);
    r.shown = hb == 1 || a != 0 ? 0 : 1;
    r.thick = b.u8();
    for (valeur& p : r.points) {
      const uint16_t v = b.u16(), h = b.u16();
      p.h = h, p.v = v, p.info.rayon = v;
    }
    for (int k = 0; k < 4; ++k) {
      const uint16_t ref = b.u16();
      if (r.kind <= 30 && k < kKindRefs[r.kind]) r.refs[k] = ref;
    }
    const uint32_t skipped = b.u16();
    if (!b.have(skipped * 2 + 2)) break;
    b.pos += skipped * 2;
    r.number = b.u16();
    r.color = palette16_color(15);
    if (r.kind == 29) {
      fig.records.clear();
      show(kOldFileRefused);
      return false;
    }
    fig.records.push_back(r);
  }
  exchange_v1_triangles(fig);
  return true;
}

void read_v1_records(OldFigure& fig, Bytes& b, int vclass) {
  uint32_t count = b.u16();
  const uint32_t size = 4 + 1 + 1 + 7 + 8 + 3 + (vclass == 7 ? 1 : 0) + 16 + 8 + 2;
  while (count-- > 0) {
    if (!b.have(size)) return;
    if (fig.records.size() >= static_cast<size_t>(kMaxOldRecords)) return;
    OldRecord r;
    b.pos += 4;
    r.style = b.u8();
    r.kind = b.u8();
    if (r.kind > 30) return show(kOldExternalClass);
    if (vclass == 2 && r.kind == 29) return show(kOldBisectorProblem);
    const uint8_t n = std::min<uint8_t>(b.u8(), 6);
    std::memcpy(r.name, b.data + b.pos, n);
    b.pos += 6;
    const int16_t y0 = static_cast<int16_t>(b.u16()), x0 = static_cast<int16_t>(b.u16());
    int16_t y1 = static_cast<int16_t>(b.u16()), x1 = static_cast<int16_t>(b.u16());
    if (r.name[0] != '\0' && vclass < 4) {
      x1 = static_cast<int16_t>(x1 + x0);
      y1 = static_cast<int16_t>(y1 + y0);
    }
    r.box[0] = x0, r.box[1] = y0, r.box[2] = x1, r.box[3] = y1;
    uint8_t a = b.u8();
    const uint8_t hb = b.u8();
    if (vclass < 7 && a == 2 && r.style != 3) a = 1;
    r.shown = hb == 1 || a != 0 ? 0 : 1;
    r.thick = b.u8();
    r.color = palette16_color(vclass == 7 ? (b.u8() & 15) : 15);
    for (valeur& p : r.points) {
      const uint16_t v = b.u16(), h = b.u16();
      p.h = h, p.v = v, p.info.rayon = v;
    }
    for (int k = 0; k < 4; ++k) {
      const uint16_t ref = b.u16();
      if (k < kKindRefs[r.kind]) r.refs[k] = ref;
    }
    r.number = b.u16();
    fig.records.push_back(r);
  }
  if (vclass > 4) {
    const uint32_t start = b.pos;
    while (b.pos < b.len && b.data[b.pos] != 0 && b.pos - start < 4096) ++b.pos;
    fig.comment.assign(reinterpret_cast<const char*>(b.data) + start, b.pos - start);
  }
}

// ------------------------------------------------------------- converting

object* make(construct_class* cls, uint16_t method, std::initializer_list<object*> args, const valeur* v0,
             const valeur* v1) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* a : args)
    if (a == nullptr) return nullptr;
  current_class = cls;
  objlist_clear(fig->inputs);
  for (object* a : args) objlist_add(fig->inputs, a, 0);
  for (valeur& r : rubber_points) r = valeur{};
  if (v0 != nullptr) rubber_points[0] = *v0;
  if (v1 != nullptr) rubber_points[1] = *v1;
  uint16_t created = 0;
  object* o = create_object(method, &created, 1, 1, 1);
  objlist_clear(fig->inputs);
  return o;
}

valeur scaled(const valeur& p, double s) {
  valeur v{};
  v.h = p.h * s;
  v.v = p.v * s;
  return v;
}

object* make_intersection(object* a, object* b) {
  if (a == nullptr || b == nullptr || a == b) return nullptr;
  object* set = get_intersection_set(a, b, nullptr);
  if (set == nullptr) return nullptr;
  const uint32_t side = next_intersection_side(set);
  object* o = make(&classe_ptint, 0, {set}, nullptr, nullptr);
  if (o == nullptr) return nullptr;
  valeur v{};
  add_intersection_record(set, side, &v, o);
  set->num = 0;
  o->math.inter_index = side;
  recompute_object(set);
  recompute_object(o);
  return o;
}

// A name shown as the object's label.
void make_label(object* o, const OldRecord& r, double s) {
  if (!init_object_text_records(o) || o->te == nullptr) return;
  set_text_record_text(o->te, r.name);
  o->te->pos.x = static_cast<int32_t>(std::floor((r.box[0] + r.box[2]) * s / 10 + 0.5));
  o->te->pos.y = static_cast<int32_t>(std::floor((r.box[1] + r.box[3]) * s / 10 + 0.5));
  o->te->size.h = 20;
  o->te->format.color = object_effective_color(o);
  place_object_label(o, 1);
}

// A name on a segment or an angle mark: a live measure and a text showing it.
void make_measure(object* o, const OldRecord& r, double s, bool angle) {
  object* m = make(angle ? &classe_angleMes : &classe_length, angle ? 1 : 0, {o}, nullptr, nullptr);
  if (m == nullptr) return;
  m->aux2 |= 2u | 4u;
  const int32_t x = static_cast<int32_t>(std::floor((r.box[0] + r.box[2]) * s / 10 + 0.5));
  const int32_t y = static_cast<int32_t>(std::floor((r.box[1] + r.box[3]) * s / 10 + 0.5));
  measure_text_rect = {x, y, x + 50, y + 20};
  variable_nb_values = 3;
  object* text = make(&classe_text, 0, {m}, nullptr, nullptr);
  if (text == nullptr) return;
  const uint16_t number = add_text_reference(m, &text->inserted);
  if (text->te != nullptr) {
    set_text_record_text(text->te, format_reference_marker(number));
    if (m->te != nullptr) text->te->format = m->te->format;
    text->te->edit_flags |= 1;
    text->te->needs_regen = 1;
  }
  recompute_object(m);
  recompute_object(text);
}

void convert_old_records(const OldFigure& old) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  auto held = [](double v) { return static_cast<int32_t>(std::clamp(std::floor(v + 0.5), -1900.0, 1900.0)); };
  win_origin_x = held(old.origin_x);
  win_origin_y = held(old.origin_y);
  win_size_x = static_cast<int32_t>(std::clamp(std::floor(old.width + 0.5), 0.0, 1e6));
  win_size_y = static_cast<int32_t>(std::clamp(std::floor(old.height + 0.5), 0.0, 1e6));
  win_pos_from_file = 1;
  create_default_objects();
  const uint8_t saved_reading = reading_file;
  reading_file = 1;
  const double s = old.scale;
  // One slot per record, empty when the record made no object; references
  // name records by their numbers, and only earlier records count.
  std::vector<object*> made(old.records.size(), nullptr);
  auto ref = [&](size_t at, int k) -> object* {
    const uint16_t n = old.records[at].refs[k];
    for (size_t j = 0; j < at; ++j)
      if (old.records[j].number == n) return made[j];
    return nullptr;
  };
  for (size_t at = 0; at < old.records.size(); ++at) {
    const OldRecord& r = old.records[at];
    object* o = nullptr;
    valeur p0 = scaled(r.points[0], s);
    switch (r.kind) {
      case 0: o = make(&classe_point, 0, {}, &p0, nullptr); break;
      case 1: {
        object* a = make(&classe_point, 0, {}, &p0, nullptr);
        valeur d = scaled(r.points[1], s);
        o = make(&classe_droite, 0, {a}, &p0, &d);
        break;
      }
      case 2: {
        object* c = make(&classe_point, 0, {}, &p0, nullptr);
        valeur rad{};
        rad.info.rayon = r.points[1].info.rayon * s;
        o = make(&classe_cercle, 0, {c}, &p0, &rad);
        break;
      }
      case 3: o = make(&classe_segment, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 4: o = make(&classe_droite, 1, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 5: {
        object* a[3] = {ref(at, 0), ref(at, 1), ref(at, 2)};
        if (a[0] != nullptr && object_type_id(a[0]) == TYPE_SEGMENT)
          for (object*& x : a) x = x != nullptr && x->nbparents > 0 ? x->parents[0] : nullptr;
        variable_nb_values = 4;
        o = make(&classe_triangle, 0, {a[0], a[1], a[2]}, nullptr, nullptr);
        break;
      }
      case 6: o = make(&classe_cercle, 1, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 7: o = make(&classe_milieu, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 8: o = make(&classe_mediatrice, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 9: case 13: case 14: case 15: case 16: case 22: case 23: case 24: case 25: case 26:
        o = make_intersection(ref(at, 0), ref(at, 1));
        break;
      case 10: case 17: o = make(&classe_parallele, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 11: case 18: o = make(&classe_perpendiculaire, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 12: {
        // Stands for the first parent of what it refers to.
        object* of = ref(at, 0);
        made[at] = of != nullptr && of->nbparents > 0 && of->parents != nullptr ? of->parents[0] : nullptr;
        continue;
      }
      case 19: o = make(&classe_ptsur, 0, {ref(at, 0)}, &p0, nullptr); break;
      case 20: o = make(&classe_ptsur, 3, {ref(at, 0)}, &p0, nullptr); break;
      case 21: o = make(&classe_ptsur, 1, {ref(at, 0)}, &p0, nullptr); break;
      case 27: o = make(&classe_symetrique, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 28: o = make(&classe_symetriquedr, 0, {ref(at, 0), ref(at, 1)}, nullptr, nullptr); break;
      case 29: o = make(&classe_bissectrice, 0, {ref(at, 0), ref(at, 1), ref(at, 2)}, nullptr, nullptr); break;
      case 30: o = make(&classe_angle, 0, {ref(at, 0), ref(at, 1), ref(at, 2)}, nullptr, nullptr); break;
      default: continue;
    }
    made[at] = o;
    if (o == nullptr) continue;
    if (r.shown == 0) o->settings.visible = 0;
    set_object_color(o, r.color);
    if (r.thick != 0) o->settings.thickness = 1;
    recompute_object(o);
    if (r.name[0] == '\0') continue;
    const uint16_t t = object_type_id(o);
    if (t == TYPE_POINT || t == TYPE_LINE || t == TYPE_CIRCLE)
      make_label(o, r, s);
    else if (t == TYPE_SEGMENT || t == TYPE_ANGLE)
      make_measure(o, r, s, t == TYPE_ANGLE);
  }
  reading_file = saved_reading;
  current_class = nullptr;
  objlist_clear(fig->inputs);
}

int finish_figure(OldFigure& fig) {
  take_scale(fig);
  convert_old_records(fig);
  return 1;
}

}  // namespace

const char* old_binary_error() { return last_error.c_str(); }

int old_version_class(double v) {
  if (v == 1) return 1;
  if (v > 1 && v < 2.005) return 2;
  if (v > 2.005 && v < 2.015) return 3;
  if (v > 2.015 && v < 2.025) return 4;
  if (v > 2.025 && v < 2.035) return 5;
  if ((v > 2.035 && v < 2.045) || (v > 2.045 && v < 2.195)) return 6;
  if (v > 2.195 && v < 2.205) return 7;
  return 0;
}

uint32_t next_intersection_side(object* set) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  uint32_t side = 0;
  if (fig == nullptr || set == nullptr) return side;
  for (object* o = fig->first; o != nullptr; o = o->next)
    if (o->classe == &classe_ptint && o->nbparents > 0 && o->parents != nullptr && o->parents[0] == set &&
        o->math.inter_index == side)
      side += 0x10000;
  return side;
}

int import_old_figure_v2() { return import_old_figure_v2(file_buffer, file_buffer_len); }
int import_old_figure_v1() { return import_old_figure_v1(file_buffer, file_buffer_len); }

int import_old_figure_v2(const char* image, uint32_t len) {
  last_error.clear();
  if (image == nullptr || KPGeoDocument::currentInfo() == nullptr) return last_error = "no figure", 0;
  OldFigure fig;
  fig.scale = 3;
  if (!read_v2_records(fig, image, len)) return 0;
  return finish_figure(fig);
}

int import_old_figure_v1(const char* image, uint32_t len) {
  last_error.clear();
  if (image == nullptr || KPGeoDocument::currentInfo() == nullptr) return last_error = "no figure", 0;
  OldFigure fig;
  fig.scale = 1;
  fig.width = 512;
  fig.height = 342;
  Bytes b{reinterpret_cast<const uint8_t*>(image), len, 0, true};
  while (b.pos < b.len && b.data[b.pos] != 0) ++b.pos;
  const double version = header_version(image, b.pos);
  ++b.pos;
  const int vclass = old_version_class(version);
  if (vclass == 0) {
    show(kOldFileRefused);
    return finish_figure(fig);
  }
  if (!b.have(6)) return last_error = "the figure ends before its records", 0;
  fig.origin_y = b.u16();
  fig.origin_x = b.u16();
  if (vclass == 1) {
    if (!read_v1_0_records(fig, b)) return finish_figure(fig);
  } else {
    read_v1_records(fig, b, vclass);
  }
  return finish_figure(fig);
}

// ------------------------------------------------------------------ macros

namespace {

struct OldStepKind {
  construct_class* cls;
  int16_t method;
  int16_t parents;
};

bool step_kind(uint16_t kind, OldStepKind* out) {
  switch (kind) {
    case 0: *out = {&classe_point, 0, 0}; return true;
    case 1: *out = {&classe_droite, 0, 1}; return true;
    case 2: *out = {&classe_cercle, 0, 1}; return true;
    case 3: *out = {&classe_segment, 0, 2}; return true;
    case 4: *out = {&classe_droite, 1, 2}; return true;
    case 5: *out = {&classe_triangle, 0, 3}; return true;
    case 6: *out = {&classe_cercle, 1, 2}; return true;
    case 7: *out = {&classe_milieu, 0, 2}; return true;
    case 8: *out = {&classe_mediatrice, 0, 2}; return true;
    case 9: case 22: case 23: *out = {&classe_ptint, 0, 2}; return true;
    case 13: case 24: case 25: *out = {&classe_ptint, 1, 2}; return true;
    case 14: case 26: *out = {&classe_ptint, 2, 3}; return true;
    case 15: *out = {&classe_ptint, 3, 2}; return true;
    case 16: *out = {&classe_ptint, 4, 3}; return true;
    case 10: case 17: *out = {&classe_parallele, 0, 2}; return true;
    case 11: case 18: *out = {&classe_perpendiculaire, 0, 2}; return true;
    case 19: *out = {&classe_ptsur, 0, 1}; return true;
    case 20: *out = {&classe_ptsur, 3, 1}; return true;
    case 21: *out = {&classe_ptsur, 1, 1}; return true;
    case 27: *out = {&classe_symetrique, 0, 2}; return true;
    case 28: *out = {&classe_symetriquedr, 0, 2}; return true;
    case 29: *out = {&classe_bissectrice, 0, 3}; return true;
    case 30: *out = {&classe_angle, 0, 3}; return true;
    default: return false;
  }
}

char* new_text(const std::string& s) {
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(s.size() + 1)));
  if (block != nullptr) std::memcpy(block, s.data(), s.size());
  return block;
}

std::string bounded_string(const uint8_t* p, uint32_t n) {
  uint32_t k = 0;
  while (k < n && p[k] != 0) ++k;
  return std::string(reinterpret_cast<const char*>(p), k);
}

construct_class* build_old_macro(const uint8_t* rec) {
  auto le16 = [rec](uint32_t at) { return static_cast<uint16_t>(rec[at] | (rec[at + 1] << 8)); };
  const std::string name = bounded_string(rec, 30);
  if (name.empty()) return last_error = "the macro has no name", nullptr;
  const int n = le16(30);
  const int m = le16(52);
  if (n > kOldMacroMaxInitials) return last_error = "the macro has more than 10 initial objects", nullptr;
  if (m < 1 || m > kOldMacroMaxSteps) return last_error = "the macro's step count is out of range", nullptr;
  // Initial kinds: argument code and number of sub-objects.
  static const TYPEOBJ kCodes[7] = {TYPE_POINT, ARG_STRAIGHT_BOUNDED, TYPE_LINE, TYPE_TRIANGLE,
                                    TYPE_CIRCLE, TYPE_ANGLE, ARG_STRAIGHT};
  static const int16_t kSubs[7] = {0, 2, 1, 3, 1, 0, 0};
  std::vector<int16_t> subs(static_cast<size_t>(n));
  std::vector<TYPEOBJ> codes(static_cast<size_t>(n));
  int all_subs = 0;
  for (int i = 0; i < n; ++i) {
    const uint16_t k = le16(32 + 2 * static_cast<uint32_t>(i));
    if (k > 6) return last_error = "the macro has an initial object of unknown kind", nullptr;
    codes[static_cast<size_t>(i)] = kCodes[k];
    subs[static_cast<size_t>(i)] = kSubs[k];
    all_subs += kSubs[k];
  }
  int finals = 0;
  int main_step = -1;
  for (int k = 0; k < m; ++k)
    if (le16(54 + 18 * static_cast<uint32_t>(k) + 2) != 2) ++finals, main_step = k;
  if (finals == 0) return last_error = "the macro has no final object", nullptr;

  construct_class* cls = new_macro_class();
  macro_def* def = new_macro_def(n, m, finals);
  auto* method = alloc_block<construct_method>();
  auto refuse = [&](const char* why) -> construct_class* {
    if (method != nullptr) {
      method->def = def;
      free_macro_method(&method);
    } else {
      free_macro_def(&def);
    }
    if (cls != nullptr) free_construct_class(cls);
    last_error = why;
    return nullptr;
  };
  if (cls == nullptr || def == nullptr || method == nullptr) return refuse(out_of_memory_text());
  char* name_block = new_text(name);
  if (name_block == nullptr) return refuse(out_of_memory_text());
  cls->name = name_block;
  cls->english_name = name_block;
  cls->icon = static_cast<uint8_t*>(GlobalAlloc(GPTR, kMacroIconSize));
  if (cls->icon == nullptr) return refuse(out_of_memory_text());
  init_macro_icon(cls->icon, default_macro_icon16());
  if (rec[954] != 0) cls->help_text = new_text(bounded_string(rec + 954, kOldMacroRecordSize - 954));

  method->def = def;
  method->ident = identstd;
  method->args = alloc_block<TYPEOBJ>(static_cast<uint32_t>(n + 1));
  if (method->args == nullptr) return refuse(out_of_memory_text());
  for (int i = 0; i < n; ++i) {
    method->args[i] = codes[static_cast<size_t>(i)];
    def->macro_def_info[1 + i] = subs[static_cast<size_t>(i)];
  }
  def->macro_def_info[1 + n] = static_cast<int16_t>(main_step);
  def->generation = 2;
  for (int i = 0; i < n + finals; ++i) {
    object_settings& st = def->macro_def_styles[i];
    st.Color = st.FillColor = 0xFFFFFFFFu;
    st.thickness = 255;
    st.graph_type = 255;
    st.opaque = -1;
    st.smartline_type = 255;
  }
  auto initial_position = [&](int q) {
    int before = 0;
    for (int j = 0; j < q; ++j) before += subs[static_cast<size_t>(j)];
    return before;
  };
  for (int k = 0; k < m; ++k) {
    const uint32_t at = 54 + 18 * static_cast<uint32_t>(k);
    OldStepKind sk{};
    if (!step_kind(le16(at), &sk)) return refuse("the macro has a step of unknown kind");
    macro_object& s = def->macro_def_objects[k];
    s.mo_class = sk.cls;
    s.mo_method = class_is(sk.cls, "Int") ? 0 : sk.method;
    s.mo_final = le16(at + 2) == 2 ? 0 : 1;
    s.mo_nb_parents = sk.parents;
    s.mo_nb_values = static_cast<int16_t>(sk.cls->nbvals == kVariableNbVals ? 0 : sk.cls->nbvals);
    if (sk.cls == &classe_segment) s.mo_nb_values = 2;
    if (sk.cls == &classe_triangle) s.mo_nb_values = 4;
    if (sk.parents > 0) {
      s.mo_parents = alloc_block<uint32_t>(static_cast<uint32_t>(sk.parents));
      if (s.mo_parents == nullptr) return refuse(out_of_memory_text());
    }
    for (int j = 0; j < sk.parents; ++j) {
      const int p = le16(at + 10 + 2 * static_cast<uint32_t>(j));
      int64_t position = 0;
      if (p >= 10 && p <= 99) {
        const int q = p - 10;
        if (q >= n) return refuse("a macro step refers to a missing initial object");
        position = q + initial_position(q + 1) + 1;
      } else if (p >= 100 && p <= 9999) {
        const int q = (p - 100) / 10, sub = (p - 100) % 10;
        if (q >= n || sub > subs[static_cast<size_t>(q)]) return refuse("a macro step refers to a missing initial object");
        position = q + initial_position(q) + sub + 1;
      } else if (p >= 10000) {
        const int back = p - 10000;
        if (back < 1 || back > k) return refuse("a macro step refers to a step not before it");
        position = static_cast<int64_t>(all_subs) + n + k + 1 - back;
      } else {
        return refuse("a macro step lacks a parent");
      }
      s.mo_parents[j] = static_cast<uint32_t>(position);
    }
  }
  if (!add_construct_method(cls, method)) return refuse(out_of_memory_text());
  return cls;
}

}  // namespace

int import_old_macro_v2() { return import_old_macro_v2(file_buffer, file_buffer_len); }

int import_old_macro_v2(const char* image, uint32_t len) {
  last_error.clear();
  if (image == nullptr) return last_error = "no file", 0;
  const uint32_t start = past_header_line(image, len);
  if (len - start < static_cast<uint32_t>(kOldMacroRecordSize))
    return last_error = "the macro file is too short", 0;
  construct_class* cls = build_old_macro(reinterpret_cast<const uint8_t*>(image) + start);
  if (cls == nullptr) return 0;
  if (find_class_by_name(cls->name, 0) != nullptr) {
    free_construct_class(cls);
    return last_error = "a macro of that name exists already", 0;
  }
  if (!register_construct_class(cls)) {
    free_construct_class(cls);
    return last_error = out_of_memory_text(), 0;
  }
  add_class_to_tools_menu(cls);
  return 1;
}

int import_old_macro_v1() { return 0; }
