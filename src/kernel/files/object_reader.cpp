#include "kernel/files/object_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/file_colors.h"
#include "kernel/files/file_state.h"
#include "kernel/files/duo_text.h"
#include "kernel/objects/locus_type.h"
#include "kernel/tools/handler_helpers.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/text_convert.h"
#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/model/classes.h"
#include "kernel/model/create.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/units.h"
#include "kernel/measure/formula_text.h"
#include "kernel/measure/text_placement.h"
#include "kernel/model/recompute.h"
#include "kernel/objects/intersection_set.h"
#include "kernel/render/colors.h"
#include "kernel/render/fonts.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/labels.h"
#include "kernel/text/reference_marker.h"
#include "kernel/text/rtf_writer.h"
#include "platform/mac_roman.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_args.h"
#include "kernel/tools/tool_state.h"

uint16_t value_count = 0;
uint8_t value_field_kinds[5] = {};
uint8_t renumber_lock = 0;
double file_resolution = 0;

object* macro_result_cursor = nullptr;
object* macro_result_start = nullptr;

namespace {

// The narrowest table column a resize leaves.
constexpr int32_t kMinColumnWidth = 20;

std::string last_error;
// Objects read whose targets and colour sources are still file numbers. Only
// compared with the objects of the current figure, never dereferenced.
std::unordered_set<const object*> unresolved;

// What the per-type word of a class holds.
enum TypeWord : uint8_t {
  kNoTypeWord,
  kLocusWord,
  kRegularPolygonWord,
  kEquationWord,
  kSideWord,
  kTwoSidesWord,
  kIntersectionWord,
  kAxisWord,
};

// The method found for a class and the kinds of its parents.
struct MethodAnswer {
  const construct_class* cls;
  uint32_t n;
  uint16_t types[4];
  int16_t method;
};

// The questions the reader asks of a record's class by its short name.
enum ClassFact : uint32_t {
  kClassPReg = 1u << 0,
  kClassText = 1u << 1,
  kClassTransf = 1u << 2,
  kClassTable = 1u << 3,
  kClassAngle = 1u << 4,
  kClassNum = 1u << 5,
  kClassFormula = 1u << 6,
  kClassExpNumApp = 1u << 7,
  kClassEqCo = 1u << 8,
  kClassInt = 1u << 9,
  kClassPtAxis = 1u << 10,  // "Pt/"
  kClassHasValue = 1u << 11,
  // Classes whose records take method 0 whatever their parents.
  kClassMethodZero = 1u << 12,
};

// The answers a caller keeps while it reads a record: a copy, so that no
// later question about another class can change them under it.
struct ClassKnown {
  uint32_t bits = 0;
  uint16_t type = 0;
  TypeWord word = kNoTypeWord;
  bool has(uint32_t b) const { return (bits & b) != 0; }
};

// The answers for one class, found by name once per class a figure's
// records use: every record asks them, often several times, and the classes
// do not change while the records are read. Names, not class pointers, are
// compared, as class_is does: a macro's class may carry a built-in short
// name.
struct ClassFacts {
  const construct_class* cls = nullptr;
  ClassKnown known;
  // class_field_kinds for the method and parent count last asked.
  int16_t fields_method = -1;
  int32_t fields_nparents = -1;
  int fields = 0;
  uint8_t kinds[kFieldKindCount] = {};
  // The method last found for records of this class (cls null: none yet).
  MethodAnswer last_method{};
};

// While a figure's records are read, the objects by their file number, so
// that a record naming an early object does not walk the figure back to it.
// It answers only while the numbers grow along the object list (as the
// writer numbers them); otherwise the walk of find_object_by_file_number
// answers, as it does outside a reading.
struct NumberTable {
  bool open = false;
  bool ordered = true;
  kelvo_win_info* fig = nullptr;
  uint32_t highest = 0;
  std::vector<object*> by_number;  // index: file number
  // Numbers of the records left out: they name no object, and the count of
  // records below must not stand in for them.
  std::unordered_set<uint32_t> left_out;
  // The method found for a class and the kinds of its parents: the same
  // question comes back for every record of a kind, and the classes do not
  // change while the records are read.
  using MethodAnswer = ::MethodAnswer;
  std::vector<MethodAnswer> methods;
  // The facts of each class met, for the same reason (a deque: answers
  // handed out stay where they are while others are added).
  std::deque<ClassFacts> facts;
  // The entry last answered: a record asks of its own class again and again.
  ClassFacts* last_facts = nullptr;
  // The classes the records named, by their short names.
  std::vector<std::pair<std::string_view, construct_class*>> classes;
};
NumberTable numbers;

// The class a record names; while a figure is read, a name met before is
// answered from the few the figure uses.
construct_class* class_named(std::string_view name) {
  // Short names are compared letter by letter here: a call to compare the
  // bytes costs more than the few letters.
  auto same = [](std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
      if (a[k] != b[k]) return false;
    return true;
  };
  if (numbers.open)
    for (const auto& [known, cls] : numbers.classes)
      if (same(known, name)) return cls;
  construct_class* cls = find_class_by_short_name(name.data(), name.size());
  if (numbers.open && cls != nullptr && cls->short_name != nullptr) numbers.classes.emplace_back(cls->short_name, cls);
  return cls;
}

// Numbers far beyond the objects read are not worth a table slot each.
bool table_takes(uint32_t n) { return n <= numbers.by_number.size() * 2 + 4096; }

// Notes that o now carries its number; o is the last object with a number.
void table_add(object* o) {
  if (!numbers.open || !numbers.ordered || o->num == 0) return;
  if (o->num <= numbers.highest || !table_takes(o->num)) {
    numbers.ordered = false;
    return;
  }
  if (numbers.by_number.size() <= o->num) numbers.by_number.resize(o->num + 1, nullptr);
  numbers.by_number[o->num] = o;
  numbers.highest = o->num;
}

void table_remove(const object* o) {
  if (numbers.open && o->num < numbers.by_number.size() && numbers.by_number[o->num] == o)
    numbers.by_number[o->num] = nullptr;
}

// Fills the table from the objects of the current figure.
void table_build() {
  numbers.left_out.clear();
  numbers.methods.clear();
  numbers.facts.clear();
  numbers.last_facts = nullptr;
  numbers.classes.clear();
  numbers.ordered = true;
  numbers.highest = 0;
  numbers.by_number.clear();
  numbers.fig = KPGeoDocument::currentInfo();
  numbers.open = numbers.fig != nullptr;
  for (object* o = numbers.fig != nullptr ? numbers.fig->first : nullptr; o != nullptr && numbers.ordered; o = o->next)
    table_add(o);
}

void table_close() {
  numbers = NumberTable{};
}

// Parents, references and cells a record may list; more is refused.
constexpr int64_t kMaxListed = 32767;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

const char* skip_blanks(const char* p) {
  while (is_blank(*p)) ++p;
  return p;
}

const char* skip_separators(const char* p) {
  while (is_blank(*p) || *p == ',') ++p;
  return p;
}

const char* end_of_line(const char* p) { return txt_end_of_line(p); }

const char* next_line(const char* p) { return p + skip_to_next_line(p); }

bool starts(const char* p, const char* word) { return txt_starts_with(p, word); }

// The next integer on this line: skips to a digit, a '-' just before it makes
// it negative. False when the line has none or it does not fit in 32 bits.
bool next_int(const char*& p, int64_t* v, int64_t lo = INT32_MIN, int64_t hi = INT32_MAX) {
  const char* s = p;
  while (!txt_is_line_end(*s) && !txt_is_digit(*s)) ++s;
  if (!txt_is_digit(*s)) return false;
  const char* start = (s > p && s[-1] == '-') ? s - 1 : s;
  int64_t value = 0;
  size_t used = txt_parse_long(start, &value);
  if (used == 0 || value < lo || value > hi) return false;
  *v = value;
  p = start + used;
  return true;
}

// The next real on this line, read as strtod does after the first digit.
bool next_real(const char*& p, double* v) {
  const char* s = p;
  while (!txt_is_line_end(*s) && !txt_is_digit(*s)) ++s;
  if (!txt_is_digit(*s)) return false;
  const char* start = (s > p && s[-1] == '-') ? s - 1 : s;
  double value = 0;
  size_t used = txt_parse_real(start, &value);
  if (used == 0 || !std::isfinite(value)) return false;
  *v = value;
  p = start + used;
  return true;
}

// A word up to a blank, comma or line end.
std::string_view word_at(const char* p) {
  const char* e = p;
  while (!txt_is_line_end(*e) && !is_blank(*e) && *e != ',') ++e;
  return std::string_view(p, static_cast<size_t>(e - p));
}

// A list of integers separated by blanks and commas.
bool read_number_list(const char*& p, std::vector<int64_t>& out) {
  for (;;) {
    const char* s = skip_separators(p);
    if (!txt_is_digit(*s) && !(*s == '-' && txt_is_digit(s[1]))) {
      p = s;
      return true;
    }
    int64_t v = 0;
    size_t used = txt_parse_long(s, &v);
    if (used == 0 || v < 0 || v > UINT32_MAX) return false;
    if (static_cast<int64_t>(out.size()) >= kMaxListed) return false;
    if (out.empty()) out.reserve(4);
    out.push_back(v);
    p = s + used;
  }
}

char* new_string(const std::string& s) {
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(s.size() + 1)));
  if (block != nullptr) std::memcpy(block, s.data(), s.size());
  return block;
}

TErec* new_text_record(const std::string& text, int32_t x, int32_t y, int32_t w, int32_t h) {
  auto* te = alloc_block<TErec>();
  if (te == nullptr) return nullptr;
  te->text = new_string(text);
  if (te->text == nullptr) {
    GlobalFreeAndNull(&te);
    return nullptr;
  }
  te->length = static_cast<int32_t>(text.size());
  te->pos = {x, y};
  te->size = {w, h};
  te->reserved1 = 1;
  return te;
}

// Converts a string read from the file into kernel text.
std::string from_file(std::string s) {
  s.push_back('\0');
  std::string grown(s.size() * 2 + 1, '\0');
  std::memcpy(grown.data(), s.data(), s.size());
  text_charset_convert(grown.data(), 0, grown.size());
  grown.resize(std::strlen(grown.c_str()));
  return grown;
}

struct RichRun {
  int64_t start = 0;
  std::string font;
  int32_t size = 12;
  uint32_t color = 0;
  uint16_t style = 0;
};

// Runs beyond this many on one text are read and passed over.
constexpr size_t kMaxRichRuns = 4096;

struct RichText {
  bool has_run = false;
  RichRun last;
  std::vector<RichRun> runs;  // in the order of the file
  std::vector<char> block;  // stored rich-text block
  bool rtfd = false;
};

// One run "p: start, font, S: size C: colour Fa: style".
bool read_run(const char*& p, RichRun* run) {
  if (!starts(p, "p:")) return false;
  p += 2;
  int64_t start = 0;
  if (!next_int(p, &start, INT32_MIN, INT32_MAX)) return false;
  run->start = start;
  p = skip_separators(p);
  const char* comma = p;
  while (!txt_is_line_end(*comma) && *comma != ',') ++comma;
  if (*comma != ',') return false;
  run->font.assign(p, comma);
  p = comma + 1;
  int64_t size = 0, color = 0, style = 0;
  if (!next_int(p, &size, -4096, 4096) || !next_int(p, &color, 0, 255) || !next_int(p, &style, 0, 0xFFFF))
    return false;
  // The older edition kept a font's height, negative for a character
  // height, where this one keeps points.
  if (file_class == 1) size = font_height_to_points(nullptr, static_cast<int32_t>(size));
  run->size = size == 0 ? 12 : static_cast<int32_t>(std::min<int64_t>(std::abs(size), 4096));
  run->color = file_class == 1 ? palette16_color(static_cast<int>(color & 15))
                               : color_by_index(color <= 40 ? static_cast<int>(color) : 40);
  run->style = static_cast<uint16_t>(style);
  return true;
}

// "rtfd" + 8 hex digits N + 2 (N - 4) hex digits.
bool read_rtfd(const char*& p, RichText* rt) {
  if (!starts(p, "rtfd")) return false;
  const char* s = p + 4;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  uint64_t n = 0;
  for (int k = 0; k < 8; ++k) {
    int d = hex(s[k]);
    if (d < 0) return false;
    n = n * 16 + static_cast<uint64_t>(d);
  }
  if (n < 4) return false;
  s += 8;
  // The digits must all be there: never more bytes than the text holds.
  const uint64_t digits = 2 * (n - 4);
  for (uint64_t k = 0; k < digits; ++k)
    if (hex(s[k]) < 0) return false;
  rt->block.assign(4, 0);
  std::memcpy(rt->block.data(), "rtfd", 4);
  for (uint64_t k = 0; k < digits; k += 2)
    rt->block.push_back(static_cast<char>(hex(s[k]) * 16 + hex(s[k + 1])));
  rt->rtfd = true;
  p = s + digits;
  return true;
}

// An RTF group from its opening brace to the matching one, then its list of
// line-break positions. The search runs to the end of the line.
bool read_rtf(const char*& p, const char* opening, RichText* rt) {
  const char* eol = end_of_line(p);
  const char* g = nullptr;
  const size_t olen = std::strlen(opening);
  for (const char* s = p; s + olen <= eol; ++s)
    if (std::strncmp(s, opening, olen) == 0) {
      g = s;
      break;
    }
  if (g == nullptr) return false;
  int depth = 0;
  const char* e = g;
  for (; *e != '\0'; ++e) {
    bool escaped = e > g && e[-1] == '\\';
    if (!escaped && *e == '{') ++depth;
    if (!escaped && *e == '}' && --depth == 0) break;
  }
  if (*e != '}') return false;
  const char* list = e + 1;
  if (*list != '{') return false;
  std::vector<int64_t> positions;
  const char* q = list + 1;
  while (*q != '}') {
    int64_t v = 0;
    size_t used = txt_parse_long(q, &v);
    if (used == 0 || v < 0) return false;
    positions.push_back(v);
    q += used;
    if (*q == ',') ++q;
    else if (*q != '}') return false;
  }
  // Copy the group; at each listed position the 4-character escape of a
  // line break becomes the character itself. Positions that do not
  // increase or land on no escape are ignored.
  rt->block.clear();
  size_t next = 0;
  for (const char* s = g; s <= e;) {
    while (next < positions.size() && positions[next] < static_cast<int64_t>(rt->block.size())) ++next;
    if (next < positions.size() && positions[next] == static_cast<int64_t>(rt->block.size()) &&
        s + 4 <= e + 1 && s[0] == '\\' && s[1] == '\'' && s[2] == '0' && (s[3] == 'a' || s[3] == 'd')) {
      rt->block.push_back(s[3] == 'a' ? '\n' : '\r');
      s += 4;
      ++next;
      continue;
    }
    rt->block.push_back(*s++);
  }
  rt->block.push_back('\0');
  rt->rtfd = false;
  p = q + 1;
  return true;
}

// The run list and stored block that follow a text.
void read_rich(const char*& p, RichText* rt) {
  const char* s = p;
  if (*s == '\r') ++s;
  if (*s == '\n') ++s;
  if (!starts(s, "p:")) return;  // no runs: the line ends stay for the record
  while (starts(s, "p:")) {
    RichRun run;
    const char* before = s;
    if (!read_run(s, &run)) {
      s = before;
      break;
    }
    rt->has_run = true;
    rt->last = run;
    if (rt->runs.size() < kMaxRichRuns) rt->runs.push_back(run);
    if (read_rtfd(s, rt) || read_rtf(s, "{\\rtf1\\mac", rt) || read_rtf(s, "{\\rtf1\\ansi", rt) ||
        read_rtf(s, "{\\rtf", rt)) {
      p = s;
      return;
    }
    s = skip_separators(s);
  }
  p = s;
}

// Where a file's run positions fall in the record's text. Files from
// Windows, and older ones from the Macintosh, count a CR LF line break as
// one character: their position p is the text's p-th character that is not
// a LF. Other files count the text's own characters.
struct RunPositions {
  std::vector<int64_t> index;  // empty: positions are the text's own
  int64_t length = 0;
  int64_t at(int64_t start) const {
    if (start <= 0 || index.empty()) return start;
    const auto n = static_cast<int64_t>(index.size());
    return start < n ? index[static_cast<size_t>(start)] : length + (start - n);
  }
};

RunPositions run_positions(const char* text, int64_t length) {
  RunPositions out;
  out.length = length;
  if (!(file_platform == 0 || (file_platform == 1 && file_class == 1))) return out;
  for (int64_t i = 0; i < length; ++i)
    if (text[i] != '\n') out.index.push_back(i);
  // A text of LFs alone has no character a position could name.
  if (out.index.empty()) out.index.push_back(length);
  return out;
}

rtf_run rtf_run_of(const RichRun& r) {
  rtf_run out;
  out.font = r.font;
  out.size = r.size;
  out.has_color = true;
  out.color = r.color & 0x00FFFFFF;
  out.bold = (r.style & 1) != 0;
  out.italic = (r.style & 2) != 0;
  out.underline = (r.style & 4) != 0;
  out.strike = (r.style & 128) != 0;
  // Raised wins over lowered.
  out.script = (r.style & 0x1000) != 0 ? 1 : (r.style & 0x2000) != 0 ? -1 : 0;
  return out;
}

// The record's text as RTF with each run's font, colour and style over its
// range (from its start to the next run's start, or to the end of the
// text); characters no run covers keep the record's own format. Empty when
// one run covers the whole text: the record's format then shows it.
std::string runs_over_text(const TErec* te, const std::vector<RichRun>& runs) {
  const char* text = te->text != nullptr ? te->text : "";
  const auto length = static_cast<int64_t>(std::strlen(text));
  const RunPositions positions = run_positions(text, length);
  std::vector<int> owner(static_cast<size_t>(length), -1);
  int64_t covered = 0;
  for (size_t k = 0; k < runs.size(); ++k) {
    const int64_t from = positions.at(runs[k].start);
    const int64_t to = k + 1 < runs.size() ? positions.at(runs[k + 1].start) : length;
    // A range that runs backwards, goes back over the ranges before it or
    // past the text is empty.
    if (from < covered || to > length || from >= to) continue;
    for (int64_t i = from; i < to; ++i) owner[static_cast<size_t>(i)] = static_cast<int>(k);
    covered = to;
  }
  if (length == 0 || std::all_of(owner.begin(), owner.end(), [&](int k) { return k == owner[0] && k >= 0; }))
    return std::string();
  std::vector<rtf_run> out;
  int current = -2;
  for (int64_t i = 0; i < length; ++i) {
    const int k = owner[static_cast<size_t>(i)];
    if (k != current) {
      out.push_back(k >= 0 ? rtf_run_of(runs[static_cast<size_t>(k)]) : record_rtf_run(te));
      current = k;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    out.back().text += static_cast<char16_t>(mac_roman_to_unicode(c));
  }
  return runs_to_rtf(out);
}

void set_format_from_run(TErec* te, const RichRun& run) {
  te->format.font_id = font_id_by_name_or_create(run.font.c_str(), run.size);
  te->format.size = run.size;
  te->format.style = run.style;
  te->format.color = run.color;
  te->format.charset = 1;
}

void store_rich_block(TErec* te, const char* data, size_t size, bool rtfd) {
  char* block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(size)));
  if (block == nullptr) return;
  std::memcpy(block, data, size);
  GlobalFreeAndNull(&te->rtf_data);
  te->rtf_data = block;
  te->rtf_is_rtfd = rtfd ? 1 : 0;
  te->regen_pending = 1;
}

// Lays the runs and the stored block read after a text over its record.
// `value_text`: the text shows values, and its last run sets its format.
void apply_rich(TErec* te, const RichText& rt, bool value_text) {
  if (te == nullptr) return;
  if (file_mac_header != 0) {
    // Files written by this program: the last run is the record's format,
    // the stored block its rich text.
    if (rt.has_run) set_format_from_run(te, rt.last);
  } else if (rt.block.empty()) {
    // Other files give the format by runs over ranges of the text: the
    // first run is the record's own format, or the last for a text that
    // shows values; a text without runs is Arial at 12 points in black.
    if (rt.runs.empty()) {
      set_format_from_run(te, RichRun{0, "Arial", 12, 0, 0});
    } else {
      set_format_from_run(te, value_text ? rt.runs.back() : rt.runs.front());
      const std::string rtf = runs_over_text(te, rt.runs);
      if (!rtf.empty()) store_rich_block(te, rtf.c_str(), rtf.size() + 1, false);
    }
  }
  if (!rt.block.empty()) store_rich_block(te, rt.block.data(), rt.block.size(), rt.rtfd);
}

struct TextBox {
  bool present = false;
  int16_t box[4] = {};
};

// Everything a record says, read before the object is made.
struct Record {
  uint32_t number = 0;
  construct_class* cls = nullptr;
  std::vector<int64_t> parents, included, associated;
  math_info math{};
  valeur values[5] = {};
  bool number_value = false;
  double nv_x = 0, nv_y = 0, nv_r = 0;
  bool flag_a = false, flag_p = false;
  uint8_t pushed = 0;
  object_settings settings{};
  std::string bitmap;
  int64_t color_params[3] = {}, fill_params[3] = {};
  bool has_label = false;
  std::string label;
  label_settings label_style{};
  bool has_text = false;
  std::string text;
  bool has_cells = false;
  std::vector<std::string> cells;
  int rows = 0;
  bool has_number_text = false;
  std::string number_text;
  TextBox frame;
  bool has_property = false;
  // A property check's two texts, made when the record has them: most
  // records have none, and every record is made and undone once.
  struct PropertyTexts {
    TextBox box[2];
    std::string text[2];
    RichText rich[2];
  };
  std::unique_ptr<PropertyTexts> property;
  RichText rich;
  bool has_table_columns = false;
  std::vector<std::pair<int64_t, int64_t>> columns;
  int64_t table_refs_size = 0;

  // Back to a record as made, keeping the room its strings and lists took:
  // the figure reader reads every record into the same one. A field added
  // above is set back here.
  void reset() {
    number = 0;
    cls = nullptr;
    parents.clear();
    included.clear();
    associated.clear();
    math = math_info{};
    // Element by element: a loop here becomes a string instruction whose
    // start-up costs more than the few stores.
    const valeur clear{};
    values[0] = clear, values[1] = clear, values[2] = clear, values[3] = clear, values[4] = clear;
    static_assert(sizeof values / sizeof values[0] == 5);
    number_value = false;
    nv_x = nv_y = nv_r = 0;
    flag_a = flag_p = false;
    pushed = 0;
    settings = object_settings{};
    bitmap.clear();
    for (int k = 0; k < 3; ++k) color_params[k] = fill_params[k] = 0;
    has_label = false;
    label.clear();
    label_style = label_settings{};
    has_text = false;
    text.clear();
    has_cells = false;
    cells.clear();
    rows = 0;
    has_number_text = false;
    number_text.clear();
    frame = TextBox{};
    has_property = false;
    property.reset();
    rich.has_run = false;
    rich.last.font.clear();
    rich.last.size = RichRun{}.size;
    rich.last.color = 0;
    rich.last.style = 0;
    rich.last.start = 0;
    rich.runs.clear();
    rich.block.clear();
    rich.rtfd = false;
    has_table_columns = false;
    columns.clear();
    table_refs_size = 0;
  }
};

// What a value written at the file's resolution is multiplied by on this
// screen: lengths are kept in pixels, areas in square pixels, roots of
// lengths in roots of pixels; a plain number, an angle, a ratio or a volume
// (which has no pixel factor) is no pixel quantity and keeps its value.
double value_resolution_factor(uint8_t unit) {
  if (file_resolution <= 0) return 1.0;
  const double f = pixels_per_unit / file_resolution;
  switch (unit >> 5) {
    case 1: return f;
    case 2: return f * f;
    case 5: return std::sqrt(f);
    default: return 1.0;
  }
}

// The record being read: its number, and whether the figure can do without
// it when it is refused.
uint32_t record_number = 0;
bool record_left_out = false;

bool fail(const std::string& why) {
  last_error = why;
  return false;
}

// Refuses a record whose form is sound but whose object cannot be built.
bool leave_out(const std::string& why) {
  record_left_out = true;
  if (numbers.open && record_number != 0) numbers.left_out.insert(record_number);
  return fail(why);
}

TypeWord type_word_of(const construct_class* cls, uint16_t t) {
  if (t == TYPE_LOCUS) return kLocusWord;
  if (class_is(cls, "PReg")) return kRegularPolygonWord;
  if (class_is(cls, "Eq/Co") || t == TYPE_GRID || class_is(cls, "Axes")) return kEquationWord;
  if (class_is(cls, "Mid") || class_is(cls, "PBiss") || class_is(cls, "Perp") || class_is(cls, "Par") ||
      class_is(cls, "Lgth") || class_is(cls, "Text") || class_is(cls, "IsOn?") || class_is(cls, "Transf") ||
      class_is(cls, "Refl"))
    return kSideWord;
  if (class_is(cls, "Par?") || class_is(cls, "Perp?")) return kTwoSidesWord;
  if (class_is(cls, "Int")) return kIntersectionWord;
  if (class_is(cls, "Pt/")) return kAxisWord;
  return kNoTypeWord;
}

void fill_class_facts(ClassFacts* f, const construct_class* cls) {
  *f = ClassFacts{};
  f->cls = cls;
  ClassKnown& k = f->known;
  k.type = class_type_id(cls);
  k.word = type_word_of(cls, k.type);
  static constexpr std::pair<const char*, uint32_t> kNamed[] = {
      {"PReg", kClassPReg},          {"Text", kClassText},     {"Transf", kClassTransf},
      {"Table", kClassTable},        {"Angle", kClassAngle},   {"Num", kClassNum},
      {"Formula", kClassFormula},    {"Exp_num_App", kClassExpNumApp},
      {"Eq/Co", kClassEqCo},         {"Int", kClassInt},       {"Pt/", kClassPtAxis},
  };
  for (const auto& [name, bit] : kNamed)
    if (class_is(cls, name)) k.bits |= bit;
  if (class_has_value(cls)) k.bits |= kClassHasValue;
  if (k.has(kClassInt | kClassTable | kClassText | kClassFormula) || class_is(cls, "Exp_num") ||
      class_is(cls, "Locus") || class_is(cls, "Button"))
    k.bits |= kClassMethodZero;
}

ClassFacts loose_facts;

[[gnu::noinline]] ClassFacts& facts_found(const construct_class* cls) {
  if (!numbers.open) {
    fill_class_facts(&loose_facts, cls);
    return loose_facts;
  }
  for (ClassFacts& f : numbers.facts)
    if (f.cls == cls) return *(numbers.last_facts = &f);
  fill_class_facts(&numbers.facts.emplace_back(), cls);
  return *(numbers.last_facts = &numbers.facts.back());
}

// The facts of a class: kept while a figure is read (the entry last
// answered first), found afresh outside a reading. Outside a reading the
// entry is one shared record, filled again at each question: only the
// field kinds and method memos below use it in place, each within one call.
inline ClassFacts& facts_entry(const construct_class* cls) {
  ClassFacts* last = numbers.last_facts;
  return last != nullptr && last->cls == cls ? *last : facts_found(cls);
}

inline ClassKnown facts_of(const construct_class* cls) { return facts_entry(cls).known; }

// class_field_kinds through the class's facts: the answer for the method and
// parent count last asked is kept.
int field_kinds_of(ClassFacts& f, int method, int nparents, uint8_t kinds[kFieldKindCount]) {
  if (f.fields_method != method || f.fields_nparents != nparents) {
    f.fields = class_field_kinds(f.cls, method, nparents, f.kinds);
    f.fields_method = static_cast<int16_t>(method);
    f.fields_nparents = nparents;
  }
  std::memcpy(kinds, f.kinds, kFieldKindCount);
  return f.fields;
}

// The per-type word.
bool read_type_info(const char*& p, const construct_class* cls, math_info* w) {
  std::memset(w, 0, sizeof *w);
  const ClassKnown facts = facts_of(cls);
  const uint16_t t = facts.type;
  const TypeWord word = facts.word;
  auto side_field = [&p](uint8_t* byte, int8_t* side_of_point) {
    p = skip_separators(p);
    if (starts(p, "side:")) {
      p += 5;
      if (txt_is_digit(*p)) {
        int64_t v = 0;
        if (!next_int(p, &v, 0, 255)) return false;
        *byte = static_cast<uint8_t>(v);
      } else if (side_of_point != nullptr) {
        *side_of_point = 1;
        p += word_at(p).size();
      }
    } else if (starts(p, "axis:")) {
      p += 5;
      *byte = *p == 'y' ? 2 : 1;
      if (!txt_is_line_end(*p)) ++p;
    }
    return true;
  };
  if (word == kLocusWord) {
    p = skip_separators(p);
    const std::string_view a = word_at(p);
    w->locus.lkpt = starts(p, "lk pts") ? 1 : 0;
    p += w->locus.lkpt ? 6 : a.size();
    p = skip_separators(p);
    w->locus.envelop = starts(p, "envelop") ? 1 : 0;
    p += word_at(p).size();
    int64_t n = 0;
    if (!next_int(p, &n, 0, INT16_MAX)) return fail("locus without its point count");
    w->locus.nb_pts = static_cast<int16_t>(n);
  } else if (word == kRegularPolygonWord) {
    p = skip_separators(p);
    int64_t v = 0;
    if (starts(p, "sides nb:")) {
      p += 9;
      if (!next_int(p, &v, 0, 1000)) return fail("regular polygon without its side count");
      w->polreg.nbsides = static_cast<int16_t>(v);
    }
    if (!next_int(p, &v, INT16_MIN, INT16_MAX)) return fail("regular polygon vertex without its index");
    w->polreg.index = static_cast<int16_t>(v);
  } else if (word == kEquationWord) {
    p = skip_separators(p);
    if (t == TYPE_EQUATION) {
      static const char* const forms[6] = {"AX_BY_CEG0", "YEGAX_B",     "X2PY2EG0",
                                           "X2PY2EGR2",  "X2PXYPY2EG0", "X2A2PY2B2EG1"};
      static const uint8_t format[6] = {0, 1, 0, 2, 0, 4};
      for (int k = 0; k < 6; ++k)
        if (starts(p, forms[k])) {
          w->equa.format = format[k];
          p += std::strlen(forms[k]);
          break;
        }
      p = skip_separators(p);
    }
    static const char* const coords[4] = {"cart", "pol deg", "pol grad", "pol rad"};
    for (int k = 3; k >= 0; --k)
      if (starts(p, coords[k])) {
        w->equa.typeunite = static_cast<uint8_t>(k);
        p += std::strlen(coords[k]);
        break;
      }
  } else if (word == kSideWord) {
    if (!side_field(&w->side.index, &w->side.side_of_point)) return fail("bad side index");
  } else if (word == kTwoSidesWord) {
    if (!side_field(&w->side.index, nullptr) || !side_field(&w->side.index2, nullptr))
      return fail("bad side index");
  } else if (word == kIntersectionWord) {
    const char* s = p;
    while (!txt_is_line_end(*s) && !txt_is_digit(*s)) ++s;
    if (!txt_is_digit(*s)) return fail("intersection point without its index");
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s += 2;
    uint64_t v = 0;
    const char* d = s;
    for (; (*d >= '0' && *d <= '9') || (*d >= 'a' && *d <= 'f') || (*d >= 'A' && *d <= 'F'); ++d) {
      int digit = *d <= '9' ? *d - '0' : (*d | 0x20) - 'a' + 10;
      v = v * 16 + static_cast<uint64_t>(digit);
      if (v > UINT32_MAX) return fail("intersection index too large");
    }
    w->inter_index = static_cast<uint32_t>(v);
    p = d;
  } else if (word == kAxisWord) {
    p = skip_separators(p);
    if (starts(p, "axis:")) {
      p += 5;
      w->side.index = *p == 'y' ? 2 : 1;
      if (!txt_is_line_end(*p)) ++p;
      p = skip_separators(p);
      if (starts(p, "on mark")) {
        w->side.force_grad = 1;
        p += 7;
      }
    }
  }
  p = skip_separators(p);
  return true;
}

const char* const kUnitNames[5][5] = {{"", "", "", "", ""},
                                      {"mm", "cm", "m", "km", "su"},
                                      {"mm2", "cm2", "m2", "km2", "su2"},
                                      {"mm3", "cm3", "m3", "km3", "su3"},
                                      {"rd", "deg", "gr", "", ""}};

bool read_color_name(const char*& p, uint32_t* out) {
  const char* comma = p;
  while (!txt_is_line_end(*comma) && *comma != ',') ++comma;
  int64_t c = txt_color_by_name(p, static_cast<int>(comma - p));
  p = comma;
  if (c < 0) return fail("unknown colour name");
  *out = static_cast<uint32_t>(c);
  return true;
}

bool read_dash(const char*& p, dot* d) {
  int64_t lg = 0, cycle = 0;
  if (!next_int(p, &lg, 0, 255) || !next_int(p, &cycle, 1, 255)) return fail("bad dash pattern");
  if (lg > cycle) lg = cycle;
  d->lg = static_cast<uint8_t>(lg);
  d->cycle = static_cast<uint8_t>(cycle);
  return true;
}

// The style line; false for an item with a bad value.
bool parse_duo_style(const char*& p, uint16_t t, object_settings* s);

bool parse_style(const char*& p, uint16_t t, std::string* bitmap, object_settings* s, uint8_t* pushed) {
  s->Color = type_default_color(t);
  s->FillColor = t == TYPE_BUTTON ? color_by_index(37) : back_color;
  s->opaque = 0;
  s->thickness = 0;
  s->dot_style = {1, 1};
  if (t == TYPE_POINT || t == TYPE_LOCUS) s->graph_type = 1;
  else if (t == TYPE_SEGMENT) s->graph_type = 0;
  else if (t == TYPE_ANGLE) s->graph_type = 16;
  s->smartline_type = 0;
  s->smartline_length[0] = s->smartline_length[1] = -1.0;
  s->visible = 1;
  s->sticky = 0;
  s->marked = 0;
  if (starts(p, "default settings")) {
    s->Color = s->FillColor = 0xFFFFFFFFu;
    s->thickness = 255;
    s->graph_type = 255;
    s->opaque = -1;
    s->smartline_type = 255;
    while (!txt_is_line_end(*p) && *p != ',') ++p;
    p = skip_separators(p);
    return true;
  }
  if (file_class != 0) return parse_duo_style(p, t, s);
  // Most records have no style line: nothing to look for but a number's
  // decimals, which it must have.
  if (txt_is_line_end(*p) && t != TYPE_NUMBER && t != TYPE_EQUATION) return true;
  auto item = [&p](const char* word) {
    if (!starts(p, word)) return false;
    p += std::strlen(word);
    return true;
  };
  auto done = [&p] { p = skip_separators(p); };
  if (item("Bitmap:")) {
    const char* comma = p;
    while (!txt_is_line_end(*comma) && *comma != ',') ++comma;
    *bitmap = std::string(p, comma);
    p = comma;
    done();
  }
  if (item("color:")) {
    if (!read_color_name(p, &s->Color)) return false;
    done();
  }
  if (item("fill color:")) {
    if (!read_color_name(p, &s->FillColor)) return false;
    done();
  }
  if (item("thin")) done();
  else if (item("thicker")) s->thickness = 1, done();
  else if (item("thick")) s->thickness = 2, done();
  if (item("DS:")) {
    if (!read_dash(p, &s->dot_style)) return false;
    done();
  }
  if (item("opaque")) s->opaque = 1, done();
  if (t == TYPE_POINT || t == TYPE_LOCUS) {
    static const char* const shapes[5] = {"1x1", "3x3", "CIRCLE", "TIMES", "PLUS"};
    for (int k = 0; k < 5; ++k)
      if (item(shapes[k])) {
        s->graph_type = static_cast<uint8_t>(k);
        done();
        break;
      }
  }
  if (t == TYPE_SEGMENT && item("marks nb:")) {
    int64_t n = 0;
    if (!next_int(p, &n, 0, 255)) return fail("bad segment marks");
    s->graph_type = static_cast<uint8_t>(n);
    done();
  }
  if ((t == TYPE_LINE || t == TYPE_RAY) && item("SL:")) {
    int64_t kind = 0;
    if (!next_int(p, &kind, 0, 255) || !next_real(p, &s->smartline_length[0]) ||
        (t == TYPE_LINE && !next_real(p, &s->smartline_length[1])))
      return fail("bad line ends");
    s->smartline_type = static_cast<uint8_t>(kind);
    if (kind != 0) s->smartline_length[0] = -10.0 - s->smartline_length[0];
    done();
  }
  if (t == TYPE_ANGLE && item("marks nb:")) {
    int64_t n = 0;
    if (!next_int(p, &n, 1, 16)) return fail("bad angle marks");
    s->graph_type = static_cast<uint8_t>(s->graph_type | (n - 1));
    done();
  }
  if (item("invisible")) s->visible = 0, done();
  if (item("trace")) s->marked = 1, done();
  if (item("sticky")) s->sticky = 1, done();
  if (item("pushed")) {
    if (pushed != nullptr) *pushed = 1;
    done();
  }
  if (t == TYPE_NUMBER || t == TYPE_EQUATION) {
    int64_t n = 0;
    if (!next_int(p, &n, -127, 255)) return fail("number without its decimals");
    s->nbre_decimales = static_cast<uint8_t>(n < 0 ? (-n) | 128 : n);
    p = skip_separators(p);
    s->contraint = starts(p, "FD") ? 1 : 0;
    p += word_at(p).size();
    p = skip_separators(p);
    const std::string_view unit = word_at(p);
    p += unit.size();
    s->unite = 0;
    for (int r = 0; r < 5 && unit != "WU"; ++r)
      for (int c = 0; c < 5; ++c)
        if (kUnitNames[r][c][0] != '\0' && unit == kUnitNames[r][c]) s->unite = static_cast<uint8_t>(r * 32 + c);
    done();
  }
  for (int k = 0; k < 2; ++k) {
    if (!item(k == 0 ? "COLOR" : "FCOLOR")) continue;
    int64_t r = 0, g = 0, b = 0;
    if (!next_int(p, &r, 0, 255) || !next_int(p, &g, 0, 255) || !next_int(p, &b, 0, 255))
      return fail("colour component out of range");
    (k == 0 ? s->Color : s->FillColor) = static_cast<uint32_t>(r + g * 256 + b * 65536);
    done();
  }
  return true;
}

bool parse_color_params(const char*& p, Record& r) {
  const char* titles[2] = {"Param color:", "Param fill:"};
  int64_t* targets[2] = {r.color_params, r.fill_params};
  for (int b = 0; b < 2; ++b) {
    if (!starts(p, titles[b])) continue;
    p += std::strlen(titles[b]);
    p = skip_separators(p);
    const char* names[3] = {"red:", "green:", "blue:"};
    for (int c = 0; c < 3; ++c) {
      if (!starts(p, names[c])) continue;
      p += std::strlen(names[c]);
      if (!next_int(p, &targets[b][c], 1, INT32_MAX)) return fail("bad colour parameter");
      p = skip_separators(p);
    }
  }
  return true;
}

bool parse_quoted(const char*& p, std::string* out) {
  const char* s = p;
  if (*s == '"') ++s;
  int marker = 0;
  std::string text;
  for (;;) {
    char c = *s;
    if (c == '\0' || c == 1) break;
    if (c == '"') {
      if (s[1] == '"') {
        text.push_back('"');
        s += 2;
        continue;
      }
      if (s[1] == '#') {
        text += format_reference_marker(++marker);
        s += 2;
        continue;
      }
      ++s;
      break;
    }
    if (c == '\r' && s[1] != '\n') {
      text += "\r\n";
      ++s;
      continue;
    }
    text.push_back(c);
    ++s;
  }
  *out = from_file(text);
  p = s;
  return true;
}

bool parse_box(const char*& p, TextBox* box) {
  const char* s = p;
  for (int k = 0; k < 4; ++k) {
    int16_t v = 0;
    int32_t used = txt_scan_int(&v, s);
    if (used == 0) return fail("text box incomplete");
    box->box[k] = v;
    s += used;
  }
  box->box[1] = static_cast<int16_t>(-box->box[1]);
  if (box->box[3] < 0) box->box[3] = static_cast<int16_t>(-box->box[3]);
  box->present = true;
  p = s;
  return true;
}

// The older edition measured its texts narrower: the boxes of its texts
// are widened by a twentieth (truncated) to hold them.
bool parse_older_box(const char*& p, TextBox* box) {
  if (!parse_box(p, box)) return false;
  const double wide = std::trunc(box->box[2] * 1.05);
  box->box[2] = static_cast<int16_t>(std::clamp(wide, -32768.0, 32767.0));
  return true;
}

uint16_t count_values(const Record& r, int method, object* const* args, int nargs) {
  const construct_class* cls = r.cls;
  const ClassKnown f = facts_of(cls);
  const uint16_t t = f.type;
  if (t == TYPE_TRIANGLE || t == TYPE_POLYGON) return static_cast<uint16_t>(nargs + 1);
  if (t == TYPE_VECTOR || t == TYPE_SEGMENT) return 2;
  if (f.has(kClassPReg)) return 0;
  if (f.has(kClassText)) return nargs > 0 && args[0] != nullptr && object_type_id(args[0]) == TYPE_NUMBER ? 1 : 3;
  if (f.has(kClassTransf)) return method == 2 ? 2 : 1;
  if (f.has(kClassTable)) return 0;
  return static_cast<uint16_t>(cls->nbvals == kVariableNbVals ? 0 : cls->nbvals);
}

// Reads the whole record. False (with last_error) when it is refused.
bool parse_record(const char*& p, Record& r, std::vector<object*>& args, int16_t* method, object** result) {
  while (*p == '\r' || *p == '\n' || is_blank(*p)) ++p;
  int64_t number = 0;
  if (!txt_is_digit(*p) || !next_int(p, &number, 0, INT32_MAX)) return fail("record without its number");
  r.number = static_cast<uint32_t>(number);
  record_number = r.number;
  while (is_blank(*p) || *p == ':') ++p;
  std::string_view name;
  if (starts(p, "Ma R")) {
    // A final object of the macro application just read: the record gives
    // its number, values, style and texts; the macro gave the rest.
    p += 4;
    int64_t k = 0;
    if (!next_int(p, &k, INT16_MIN, INT16_MAX)) return fail("macro result without its final number");
    *result = take_macro_result(static_cast<int16_t>(k));
    if (*result == nullptr) return fail("macro result " + std::to_string(k) + " was not built");
    r.cls = (*result)->classe;
    name = r.cls != nullptr && r.cls->short_name != nullptr ? r.cls->short_name : "";
    p = skip_separators(p);
  } else {
    flush_pending_selection();
    p = skip_separators(p);
    name = word_at(p);
    p += name.size();
    r.cls = class_named(name);
  }
  if (r.cls == nullptr || (name.empty() && *result == nullptr))
    return leave_out("unknown class \"" + std::string(name) + "\"");
  const ClassKnown facts = facts_of(r.cls);
  const uint16_t t = facts.type;
  p = skip_separators(p);
  if (*result == nullptr && starts(p, "Const:")) {
    p += 6;
    if (!read_number_list(p, r.parents)) return fail("bad parent numbers");
  }
  p = skip_separators(p);
  if (starts(p, "inc.elmts:")) {
    p += 10;
    if (!read_number_list(p, r.included)) return fail("bad referenced numbers");
  }
  p = skip_separators(p);
  if (starts(p, "ass.elmts:")) {
    p += 10;
    if (!read_number_list(p, r.associated)) return fail("bad associated numbers");
  }
  p = skip_separators(p);
  if (!read_type_info(p, r.cls, &r.math)) return false;

  // Parents, then the method they fit.
  if (*result != nullptr) {
    object* o = *result;
    for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k) args.push_back(o->parents[k]);
  }
  for (int64_t n : r.parents) {
    object* o = find_object_by_file_number(static_cast<uint32_t>(n));
    if (o == nullptr || n == 0) return leave_out("parent " + std::to_string(n) + " is not in the figure");
    args.push_back(o);
  }
  if (t == TYPE_LOCUS && *result == nullptr) {
    if (args.size() < 2) return leave_out("locus without its two objects");
    object* a = args.front();
    object* b = args.back();
    args.clear();
    int16_t n = collect_dependency_chain(a, b);
    if (n > 0) {
      kelvo_win_info* fig = KPGeoDocument::currentInfo();
      for (int k = 0; k < n; ++k) args.push_back(fig->inputs->items[k]);
    } else {
      args = {a, b};
    }
  }
  *method = *result != nullptr ? (*result)->methode
                                : find_method_for_parents(r.cls, args.data(), static_cast<uint32_t>(args.size()));
  if (*method < 0) return leave_out("no method of " + std::string(name) + " takes these parents");

  value_count = count_values(r, *method, args.data(), static_cast<int>(args.size()));
  // Values on the head line.
  if (value_count != 0 &&
      field_kinds_of(facts_entry(r.cls), *method, static_cast<int>(args.size()), value_field_kinds) != 0) {
    p = skip_separators(p);
    if (starts(p, "Val:")) p += 4;
    const bool angle = facts.has(kClassAngle);
    for (int i = 0; i < value_count && i < kFieldKindCount; ++i) {
      const uint8_t k = value_field_kinds[i];
      valeur& v = r.values[i];
      if (k & FIELD_H) {
        int32_t used = txt_scan_number(&v.h, p);
        if (used == 0) return fail("missing value");
        p += used;
      }
      if (k & FIELD_V) {
        int32_t used = txt_scan_number(&v.v, p);
        if (used == 0) return fail("missing value");
        p += used;
        v.v = -v.v;
      }
      if (k & FIELD_RADIUS) {
        if (angle) {
          if (!next_real(p, &v.info.rayon)) return fail("missing value");
        } else {
          int32_t used = txt_scan_number(&v.info.rayon, p);
          if (used == 0) return fail("missing value");
          p += used;
        }
      }
    }
  }
  if (value_count != 0 && facts.has(kClassHasValue)) {
    p = skip_separators(p);
    if (starts(p, "Val:")) {
      int64_t x = 0, y = 0;
      if (!next_int(p, &x) || !next_int(p, &y) || !next_real(p, &r.nv_r)) return fail("bad number value");
      r.nv_x = static_cast<double>(x);
      r.nv_y = static_cast<double>(y);
      // The text's place is in pixels; whether the value is one depends on
      // the unit on the style line (rescaled below).
      if (file_resolution > 0) {
        const double f = pixels_per_unit / file_resolution;
        r.nv_x *= f, r.nv_y *= f;
      }
      r.number_value = true;
      p = skip_separators(p);
      const std::string_view a = word_at(p);
      p = skip_separators(p + a.size());
      const std::string_view pw = word_at(p);
      p += pw.size();
      r.flag_a = a == "A";
      if (file_platform != 0 && file_class != 0) r.flag_a = !r.flag_a;
      r.flag_p = pw == "P";
    }
  }
  p = next_line(p);

  // Style line.
  const char* before = p;
  if (!parse_style(p, t, &r.bitmap, &r.settings, &r.pushed)) return false;
  if (!parse_color_params(p, r)) return false;
  if (p != before) p = next_line(p);
  if (r.number_value) r.nv_r *= value_resolution_factor(r.settings.unite);
  if (facts.has(kClassPReg) && *method == 1) value_count = static_cast<uint16_t>(r.math.polreg.nbsides + 2);

  // Text lines.
  bool consumed = false;
  if (!is_text_like_type(t) && *p == '"') {
    parse_quoted(p, &r.label);
    r.has_label = true;
    label_settings& ls = r.label_style;
    ls.Color = ls.FillColor = back_color;
    ls.dot_style = {1, 1};
    p = skip_separators(p);
    if (starts(p, "color:") && !(p += 6, read_color_name(p, &ls.Color))) return false;
    p = skip_separators(p);
    if (starts(p, "fill color:") && !(p += 11, read_color_name(p, &ls.FillColor))) return false;
    p = skip_separators(p);
    if (starts(p, "thicker")) ls.thickness = 1, p += 7;
    else if (starts(p, "thick")) ls.thickness = 2, p += 5;
    else if (starts(p, "thin")) p += 4;
    p = skip_separators(p);
    if (starts(p, "DS:") && !(p += 3, read_dash(p, &ls.dot_style))) return false;
    p = skip_separators(p);
    if (starts(p, "opaque")) ls.opaque = 1, p += 6;
    consumed = true;
  }
  if ((t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_BUTTON) && *p == '"') {
    parse_quoted(p, &r.text);
    r.has_text = true;
    consumed = true;
  }
  if (t == TYPE_TABLE) {
    const int columns = (static_cast<int>(args.size()) + 1) / 2;
    r.has_cells = true;
    while (txt_is_digit(*p) || *p == '-' || *p == '_') {
      const char* eol = end_of_line(p);
      const char* c = p;
      for (int k = 0; k < columns; ++k) {
        const char* tab = c;
        while (tab < eol && *tab != '\t') ++tab;
        r.cells.push_back(from_file(std::string(c, tab)));
        c = tab < eol ? tab + 1 : eol;
      }
      ++r.rows;
      if (r.rows > kMaxListed) return fail("too many table rows");
      const char* following = eol + skip_to_next_line(eol);
      if (following != eol && (txt_is_digit(*following) || *following == '-' || *following == '_')) {
        p = following;
      } else {
        p = eol;
        break;
      }
    }
    consumed = consumed || r.rows > 0;
  }
  if (facts.has(kClassNum | kClassFormula)) {
    const char* eol = end_of_line(p);
    r.number_text = from_file(std::string(p, eol));
    r.has_number_text = true;
    consumed = consumed || eol != p;
    p = eol;
  }
  if (consumed) p = next_line(p);

  const bool framed = t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_TABLE || t == TYPE_BUTTON ||
                      facts.has(kClassNum | kClassFormula | kClassExpNumApp) || (r.has_label && !r.label.empty());
  if (framed && starts(p, "TP:")) {
    if (!parse_box(p, &r.frame)) return false;
    p = next_line(p);
  }

  bool trailer = false;
  if (t == TYPE_PROPERTY) {
    for (int k = 0; k < 2; ++k) {
      if (!starts(p, k == 0 ? "Tr:" : "Fa:")) return fail("property check without its texts");
      if (!r.property) r.property = std::make_unique<Record::PropertyTexts>();
      if (!parse_box(p, &r.property->box[k])) return false;
      p = next_line(p);
      parse_quoted(p, &r.property->text[k]);
      read_rich(p, &r.property->rich[k]);
      if (k == 0) p = next_line(p);
    }
    r.has_property = true;
    trailer = true;
  }
  if (t != TYPE_PROPERTY && (r.has_label || is_text_like_type(t))) {
    const char* s = p;
    read_rich(p, &r.rich);
    trailer = trailer || p != s;
  }
  if (t == TYPE_TABLE) {
    p = skip_separators(p);
    if (starts(p, "TC:")) {
      p += 3;
      r.has_table_columns = true;
      p = skip_blanks(p);
      if (starts(p, "std")) p += 3;
      while (txt_is_digit(*skip_blanks(p))) {
        int64_t i = 0, w = 0;
        if (!next_int(p, &i, 1, 255) || *p != ':' || !next_int(p, &w, 0, 32767)) return fail("bad column width");
        r.columns.emplace_back(i, w);
      }
      trailer = true;
    }
  }
  if (trailer) p = next_line(p);
  // The empty line that ends the record.
  while (*p != '\0' && (*p == '\r' || *p == '\n')) {
    p = next_line(p);
    break;
  }
  return true;
}

// Lays the record over a freshly made object.
void apply_record(object* o, Record& r, const std::vector<object*>& args) {
  const uint16_t t = object_type_id(o);
  const ClassKnown facts = facts_of(o->classe);
  // Values.
  if (o->nbvaleurs != static_cast<int16_t>(value_count) && t != TYPE_LOCUS && t != TYPE_ARC &&
      t != TYPE_CONIC && !(facts.has(kClassPReg) && o->methode == 0)) {
    valeur* fresh = value_count != 0 ? alloc_block<valeur>(value_count) : nullptr;
    if (fresh != nullptr || value_count == 0) {
      const int keep = std::min<int>(o->nbvaleurs, value_count);
      for (int i = 0; i < keep && o->valeurs != nullptr; ++i) fresh[i] = o->valeurs[i];
      if (!is_property_check(o)) GlobalFreeAndNull(&o->valeurs);
      if (!is_property_check(o)) o->valeurs = fresh;
      o->nbvaleurs = static_cast<int16_t>(value_count);
    }
  }
  if (facts.has(kClassTable)) {
    GlobalFreeAndNull(&o->valeurs);
  }
  if (o->valeurs != nullptr && facts.has(kClassAngle) && o->nbvaleurs >= 2)
    o->valeurs[1].info.rayon = r.values[1].info.rayon;
  o->num = r.number;
  table_add(o);
  if (r.flag_a) o->aux2 |= t == TYPE_TEXT ? 8u : 2u;
  if (r.flag_p) o->aux2 |= 4u;
  o->settings = r.settings;
  o->math = r.math;
  if (facts.has(kClassEqCo) && object_type_id(args.empty() ? nullptr : args[0]) == TYPE_POINT &&
      o->math.equa.format != 0)
    o->math.equa.format = 1;
  if (!r.bitmap.empty()) {
    auto* holder = alloc_block<bitmap_info>();
    if (holder != nullptr) {
      holder->name = new_string(r.bitmap);
      o->bitmap = holder;
    }
  }
  // Colour parameters keep their file numbers until the figure reader
  // resolves them into objects.
  auto as_ref = [](int64_t n) { return reinterpret_cast<object*>(static_cast<uintptr_t>(n)); };
  if (r.color_params[0] || r.color_params[1] || r.color_params[2])
    set_object_color_params(o, as_ref(r.color_params[0]), as_ref(r.color_params[1]), as_ref(r.color_params[2]));
  if (r.fill_params[0] || r.fill_params[1] || r.fill_params[2])
    set_object_fill_color_params(o, as_ref(r.fill_params[0]), as_ref(r.fill_params[1]), as_ref(r.fill_params[2]));

  // References by position: the i-th number binds the i-th marker.
  if (t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_BUTTON) {
    free_text_references(&o->inserted);
    insert_object** tail = &o->inserted;
    for (size_t i = 0; i < r.included.size(); ++i) {
      object* ref = find_object_by_file_number(static_cast<uint32_t>(r.included[i]));
      if (ref == nullptr || r.included[i] == 0) continue;
      auto* node = alloc_block<insert_object>();
      if (node == nullptr) break;
      node->obj = ref;
      node->number = static_cast<int16_t>(i + 1);
      *tail = node;
      tail = &node->next;
    }
  }
  // Associated objects (the targets of a button) keep their file numbers
  // until resolve_record_numbers runs; other objects have none.
  objectptrlist** atail = &o->associated;
  for (int64_t n : t == TYPE_BUTTON ? r.associated : std::vector<int64_t>{}) {
    auto* node = alloc_block<objectptrlist>();
    if (node == nullptr) break;
    node->obj = as_ref(n);
    *atail = node;
    atail = &node->next;
  }
  if (t == TYPE_BUTTON && r.pushed) o->aux2 |= 32u;

  // Texts.
  if (r.has_label) {
    free_text_window(o->te);
    o->te = new_text_record(r.label, 0, 0, 0, 20);
    GlobalFreeAndNull(&o->label);
    o->label = alloc_block<label_settings>();
    if (o->label != nullptr) *o->label = r.label_style;
  }
  if (r.has_text) {
    free_text_window(o->te);
    o->te = new_text_record(r.text, 0, 0, 200, 100);
    if (o->te != nullptr) {
      o->te->edit_flags |= 4;
      if (t == TYPE_BUTTON) o->te->reserved2 = 2;
      text_refs_comma_to_separator(o);
    }
  }
  if (r.has_cells && o->macro == nullptr) {
    std::string joined;
    for (const std::string& c : r.cells) joined.append(c).push_back('\0');
    free_text_window(o->te);
    o->te = new_text_record("", 0, 0, 100, 200);
    if (o->te != nullptr) {
      GlobalFreeAndNull(&o->te->text);
      o->te->text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(joined.size() + 1)));
      if (o->te->text != nullptr) std::memcpy(o->te->text, joined.data(), joined.size());
      o->te->length = 0;
    }
    o->nbvaleurs = static_cast<int16_t>(r.rows);
  }
  if (r.has_number_text) {
    std::string text = r.number_text;
    if (class_is(o->classe, "Num")) {
      text_c_to_decimal(text.data());
      free_text_window(o->te);
      o->te = new_text_record(text, 0, 0, 200, 200);
      // The caret stands before the decimal separator (at the end of a
      // whole number), where the arrows step the units digit.
      if (o->te != nullptr) {
        const size_t point = text.find(decimal_separator);
        const auto caret = static_cast<int32_t>(point == std::string::npos ? std::strlen(text.c_str()) : point);
        o->te->sel_start = o->te->sel_end = caret;
      }
    } else {
      // Back to the form the writer took it from: argument separators
      // first, so that the decimal commas made next are not touched.
      if (decimal_separator != '.') std::replace(text.begin(), text.end(), ',', ';');
      text_c_to_decimal_slash(text.data());
      if (o->parents != nullptr &&
          GlobalSize(o->parents) / sizeof(object*) > static_cast<uint32_t>(o->nbparents)) {
        void* old = o->parents[o->nbparents];
        GlobalFreeAndNull(&old);
        o->parents[o->nbparents] = reinterpret_cast<object*>(new_string(text));
        // A formula that does not compile leaves the calculation without a
        // value; the rest of the figure reads on.
        compile_calculation(o);
      }
    }
  }
  if (r.frame.present && o->te != nullptr) {
    o->te->pos = {r.frame.box[0], r.frame.box[1]};
    o->te->size = {r.frame.box[2], r.frame.box[3]};
    // A frame of a text-like object is never smaller than the smallest one
    // a resize leaves.
    if (is_text_like_type(t)) {
      o->te->size.w = std::max<int32_t>(o->te->size.w, kMinTextFrameSide);
      o->te->size.h = std::max<int32_t>(o->te->size.h, kMinTextFrameSide);
    }
    const bool anchored = t == TYPE_TEXT || t == TYPE_BUTTON || t == TYPE_EXPRESSION ||
                          class_is(o->classe, "Num") || class_is(o->classe, "Formula");
    if (anchored && o->valeurs != nullptr && o->nbvaleurs > 0) {
      o->valeurs[0].h = r.frame.box[0];
      o->valeurs[0].v = r.frame.box[1];
    }
  }
  if (r.has_property && r.property && o->valeurs != nullptr && GlobalSize(o->valeurs) >= 2 * sizeof(TErec*)) {
    auto* texts = reinterpret_cast<TErec**>(o->valeurs);
    for (int k = 0; k < 2; ++k) {
      free_text_window(texts[k]);
      const TextBox& b = r.property->box[k];
      texts[k] = new_text_record(r.property->text[k], b.box[0], b.box[1], b.box[2], b.box[3]);
      apply_rich(texts[k], r.property->rich[k], object_has_value_text(o) != 0);
    }
    o->te = texts[0];
  }
  // A text read is laid out as one made with the tools: a comment wraps in
  // its frame instead of running past it.
  if (o->te != nullptr && t != TYPE_PROPERTY && !r.has_label) o->te->text_kind = text_kind_of_type(t);
  if (o->te != nullptr && t != TYPE_PROPERTY) apply_rich(o->te, r.rich, object_has_value_text(o) != 0);
  if (t == TYPE_TABLE && r.has_table_columns && o->te != nullptr) {
    int64_t n = 0;
    for (auto& c : r.columns) n = std::max(n, c.first);
    if (n > 0) {
      auto* widths = alloc_block<int32_t>(static_cast<uint32_t>(n + 1));
      if (widths != nullptr) {
        widths[0] = static_cast<int32_t>(n);
        for (int64_t i = 1; i <= n; ++i) widths[i] = 70;
        for (auto& c : r.columns) widths[c.first] = std::max<int32_t>(static_cast<int32_t>(c.second), kMinColumnWidth);
        GlobalFreeAndNull(&o->te->column_widths);
        o->te->column_widths = widths;
      }
    }
  }
  if (o->te != nullptr && (t == TYPE_NUMBER || (t == TYPE_TEXT && o->nbparents > 0))) o->te->edit_flags |= 1;
  if (r.number_value && o->valeurs != nullptr && o->nbvaleurs > 0) o->valeurs[0].info.rayon = r.nv_r;
  if (r.number_value && o->te != nullptr) {
    o->te->pos.x = static_cast<int32_t>(std::clamp(r.nv_x, -1e9, 1e9));
    o->te->pos.y = static_cast<int32_t>(std::clamp(r.nv_y, -1e9, 1e9));
  }
  // A vertex of a regular polygon is one entry of its polygon's values.
  if (is_polyreg_vertex(o) && o->macro == nullptr && o->nbparents > 0 && o->parents[0] != nullptr) {
    const object* holder = o->parents[0];
    const int k = o->math.polreg.index;
    if (holder->valeurs != nullptr && k >= 0 && k < holder->nbvaleurs) {
      GlobalFreeAndNull(&o->valeurs);
      o->valeurs = holder->valeurs + k;
      o->nbvaleurs = 1;
    }
  }
}

// The end of every record read: values shown by the object, the label put
// back where the record placed it, and the numbers left to resolve.
int32_t finish_object(object* o, const Record& r, object* set, object** slot, int32_t consumed) {
  const ClassKnown facts = facts_of(o->classe);
  if (facts.has(kClassHasValue) && !facts.has(kClassTable)) recompute_object(o);
  if (set != nullptr) recompute_object(set);
  // The equation's text where it was shown, not where the recompute puts a
  // text new on its curve.
  if (r.number_value && o->te != nullptr && facts.has(kClassEqCo))
    restore_measure_text_place(o, static_cast<int32_t>(std::clamp(r.nv_x, -1e9, 1e9)),
                               static_cast<int32_t>(std::clamp(r.nv_y, -1e9, 1e9)));
  if (r.frame.present && o->te != nullptr && r.has_label) {
    o->te->pos = {r.frame.box[0], r.frame.box[1]};
    o->te->size = {r.frame.box[2], r.frame.box[3]};
    if (is_labelable_object(o)) restore_label_place(o);
  }
  o->state |= 256;
  if (o->associated != nullptr || o->pcolor != nullptr || o->pfill != nullptr) unresolved.insert(o);
  if (slot != nullptr) *slot = o;
  return consumed;
}

// ------------------------------------------------------- older format

// What a record of the older format adds to the common creation.
struct DuoExtra {
  uint32_t side = 0;
  int16_t vn = 0;
  object* owner = nullptr;  // the common point of an intersection with a circle
  int16_t nb_points = 0;    // of a locus
};


constexpr int64_t kMaxDuoValues = 2002;

bool text_like_type(uint16_t t) { return t == 16 || t == 17 || t == 18 || t == 19 || t == 20 || t == 22; }

// A word up to a comma (blanks around it dropped), and past the comma.
std::string field_at(const char*& p) {
  p = skip_blanks(p);
  const char* e = p;
  while (!txt_is_line_end(*e) && *e != ',') ++e;
  const char* w = e;
  while (w > p && is_blank(w[-1])) --w;
  std::string out(p, w);
  p = *e == ',' ? e + 1 : e;
  return out;
}

bool color_field(const char*& p, uint32_t* out) {
  const std::string name = field_at(p);
  const int64_t c = txt_color_by_name(name.c_str(), static_cast<int>(name.size()));
  if (c < 0) return fail("unknown colour name \"" + name + "\"");
  *out = static_cast<uint32_t>(c);
  return true;
}

uint8_t unit_by_name(const std::string& unit) {
  for (int r = 0; r < 5 && unit != "WU"; ++r)
    for (int c = 0; c < 5; ++c)
      if (kUnitNames[r][c][0] != '\0' && unit == kUnitNames[r][c]) return static_cast<uint8_t>(r * 32 + c);
  return 0;
}

// The positional style line of the older format.
bool parse_duo_style(const char*& p, uint16_t t, object_settings* s) {
  s->opaque = 0;
  auto words = [&p, s]() {
    p = skip_separators(p);
    s->visible = word_at(p) == "I" ? 0 : 1;
    p += word_at(p).size();
    p = skip_separators(p);
    s->sticky = word_at(p) == "St" ? 1 : 0;
    p += word_at(p).size();
  };
  if (text_like_type(t)) {
    if (!color_field(p, &s->Color) || !color_field(p, &s->FillColor)) return false;
    int64_t dec = 0, a = 0, b = 0, g = 0;
    if (!next_int(p, &dec, -127, 255)) return fail("style without its decimals");
    s->nbre_decimales = static_cast<uint8_t>(dec < 0 ? (-dec) | 128 : dec);
    if (t != TYPE_NUMBER && t != TYPE_EQUATION) {
      if (!next_int(p, &a, 0, 255) || !next_int(p, &b, 0, 255)) return fail("bad text style");
      s->contraint = static_cast<uint8_t>(a);
      s->unite = static_cast<uint8_t>(b);
    } else {
      p = skip_separators(p);
      s->contraint = field_at(p) == "FD" ? 1 : 0;
      s->unite = unit_by_name(field_at(p));
    }
    if (!next_int(p, &g, 0, 255)) return fail("style without its graph type");
    s->graph_type = static_cast<uint8_t>(g);
    words();
    if ((g & 3) <= 1) s->Color = back_color;
    return true;
  }
  if (!color_field(p, &s->Color) || !color_field(p, &s->FillColor)) return false;
  const std::string thick = field_at(p);
  s->thickness = thick == "tT" ? 1 : thick == "T" ? 2 : 0;
  int64_t lg = 0, cycle = 0, g = 0;
  if (!next_int(p, &lg, 0, 255) || !next_int(p, &cycle, 0, 255) || !next_int(p, &g, 0, 255))
    return fail("style without its dash and graph type");
  // A dash longer than its period, or a period of 0, draws solid.
  if (cycle == 0 || lg > cycle) lg = cycle = 1;
  s->dot_style = {static_cast<uint8_t>(lg), static_cast<uint8_t>(cycle)};
  s->graph_type = static_cast<uint8_t>(g);
  words();
  if (t == TYPE_POINT) {
    if (g == 2) s->graph_type = 0, s->thickness = 1;
    else if (g > 2) s->graph_type = static_cast<uint8_t>(std::min<int64_t>(g - 1, 4)), s->thickness = 1;
  } else if (t == TYPE_LOCUS) {
    s->graph_type = 1;
  }
  return true;
}

// The bytes an older file leaves to the graph type: the equation form of an
// equation or coordinates object and the coordinate-system kind of axes,
// grids and the equations on them.
void duo_object_bytes(object* o) {
  const uint8_t g = o->settings.graph_type;
  if (class_is(o->classe, "Eq/Co")) {
    if (o->methode == 1) {
      uint8_t b0 = 0;
      if (g & 16) b0 = 1;
      if (g & 32) b0 = 2;
      if (g & 64) b0 = 4;
      o->math.equa.format = b0;
    }
    const object* axes = o->nbparents > 1 && o->parents != nullptr ? o->parents[1] : nullptr;
    const uint8_t k = axes != nullptr ? axes->settings.graph_type : 0;
    o->math.equa.typeunite = k >= 1 && k <= 3 ? k : 0;
  } else if (class_is(o->classe, "Axes") || class_is(o->classe, "Grid")) {
    o->math.equa.typeunite = g >= 1 && g <= 3 ? g : 0;
  }
  if (object_type_id(o) == TYPE_LOCUS && !locus_is_valid(o)) {
    o->math.locus.lkpt = 0;
    o->math.locus.envelop = 0;
  }
}

// The older format gives a table no colour of its own in its style line
// (text-like objects there are drawn in the background colour): it takes
// the colour of its text.
void duo_table_color(object* o) {
  if (object_type_id(o) == TYPE_TABLE && o->te != nullptr) set_object_color(o, o->te->format.color);
}

// Reads one object block of the older format into r (parents resolved into
// args). False with last_error when it is refused; *unknown is set for an
// unknown class name.
bool parse_duo_record(const char*& p, Record& r, std::vector<object*>& args, int16_t* method, object** result,
                      DuoExtra* duo, bool* unknown) {
  while (*p == '\r' || *p == '\n' || is_blank(*p)) ++p;
  // Name line.
  if (*p == '"') {
    parse_quoted(p, &r.label);
    int64_t box[4] = {0, 0, 0, 20};
    for (int k = 0; k < 4; ++k)
      if (!next_int(p, &box[k], INT16_MIN, INT16_MAX)) return fail("name without its box");
    if ((file_platform == 1 && file_version == 1) || file_platform == 2)
      for (int64_t& v : box) v = static_cast<int64_t>(std::floor(v * pixels_per_unit / 30 + 0.5));
    r.has_label = true;
    r.frame.present = true;
    for (int k = 0; k < 3; ++k) r.frame.box[k] = static_cast<int16_t>(std::clamp<int64_t>(box[k], INT16_MIN, INT16_MAX));
    r.frame.box[3] = 20;
    label_settings* d = get_default_font_info();
    if (d != nullptr) {
      r.label_style = *d;
      GlobalFreeAndNull(&d);
    }
    p = next_line(p);
    while (*p == '\r' || *p == '\n' || is_blank(*p)) ++p;
  }
  int64_t number = 0;
  if (!txt_is_digit(*p) || !next_int(p, &number, 0, INT32_MAX)) return fail("record without its number");
  r.number = static_cast<uint32_t>(number);
  while (is_blank(*p) || *p == ':') ++p;
  int64_t cn = 0, vn = 0;
  std::string name;
  if (starts(p, "Ma R")) {
    p += 4;
    while (!txt_is_line_end(*p) && !txt_is_digit(*p) && *p != '-') ++p;
    int64_t k = 0;
    if (!next_int(p, &k, INT16_MIN, INT16_MAX)) return fail("macro result without its final number");
    *result = take_macro_result(static_cast<int16_t>(k));
    if (*result == nullptr) return fail("macro result " + std::to_string(k) + " was not built");
    r.cls = (*result)->classe;
    if (class_type_id(r.cls) == TYPE_LOCUS) {
      int64_t side = 0;
      p = skip_separators(p);
      if (txt_is_digit(*p) && next_int(p, &side, 0, UINT32_MAX)) duo->side = static_cast<uint32_t>(side);
    }
  } else {
    flush_pending_selection();
    const char* e = p;
    while (!txt_is_line_end(*e) && !is_blank(*e) && *e != ',') ++e;
    name.assign(p, e);
    p = e;
    r.cls = name.empty() ? nullptr : find_class_by_short_name(name.data(), name.size());
    if (r.cls == nullptr) {
      *unknown = true;
      return fail("unknown class \"" + name + "\"");
    }
    int64_t side = 0;
    if (!next_int(p, &side, 0, UINT32_MAX)) return fail("record without its side word");
    duo->side = static_cast<uint32_t>(side);
    if (!next_int(p, &cn, 0, kMaxListed)) return fail("record without its constituent count");
  }
  if (!next_int(p, &vn, 0, kMaxListed)) return fail("record without its value count");
  // No object but a table (whose rows are read one by one) has more values
  // than a regular polygon of 1,000 sides or a locus of 1,000 points twice.
  if (vn > kMaxDuoValues && class_type_id(r.cls) != TYPE_TABLE) return fail("value count out of range");
  duo->vn = static_cast<int16_t>(vn);
  p = next_line(p);

  const uint16_t t = class_type_id(r.cls);
  std::memset(&r.settings, 0, sizeof r.settings);
  r.settings.Color = type_default_color(t);
  r.settings.FillColor = t == TYPE_BUTTON ? color_by_index(37) : back_color;
  r.settings.dot_style = {1, 1};
  r.settings.visible = 1;
  if (t == TYPE_POINT || t == TYPE_LOCUS) r.settings.graph_type = 1;
  else if (t == TYPE_ANGLE) r.settings.graph_type = 16;
  r.settings.smartline_length[0] = r.settings.smartline_length[1] = -1.0;
  if (!parse_duo_style(p, t, &r.settings)) return false;
  p = next_line(p);

  // Constituents.
  std::vector<int64_t> numbers;
  if (*result == nullptr && cn > 0) {
    const char* eol = end_of_line(p);
    for (int64_t k = 0; k < cn; ++k) {
      int64_t n = 0;
      if (!next_int(p, &n, 0, INT32_MAX) || p > eol) return fail("record without its constituents");
      numbers.push_back(n);
    }
  }
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  const bool locus = t == TYPE_LOCUS;
  const bool intersection = facts_of(r.cls).has(kClassInt);

  // Values.
  value_count = 0;
  const int nparents_guess = static_cast<int>(numbers.size());
  if (*result == nullptr && intersection) value_count = 1;
  if (class_field_kinds(r.cls, 0, nparents_guess, value_field_kinds) != 0 || *result != nullptr) {
    const construct_class* cls = r.cls;
    const int m = *result != nullptr ? (*result)->methode : (class_is(cls, "Line") || class_is(cls, "Ray") ||
                                                              class_is(cls, "Cir")) && nparents_guess == 1
                                                                 ? 0
                                                             : class_is(cls, "Transf") && nparents_guess == 1 ? 2
                                                                                                              : -1;
    const char* val = std::strstr(p, "Val:");
    const char* eol = end_of_line(p);
    if (val != nullptr && val < eol &&
        class_field_kinds(cls, m < 0 ? 0 : m, nparents_guess, value_field_kinds) != 0 &&
        !class_has_value(cls)) {
      const char* q = val + 4;
      const bool angle = class_is(cls, "Angle");
      for (int i = 0; i < kFieldKindCount; ++i) {
        const uint8_t k = value_field_kinds[i];
        valeur& v = r.values[i];
        if (k & FIELD_H) {
          const int32_t used = txt_scan_number(&v.h, q);
          if (used == 0) return fail("missing value");
          q += used;
        }
        if (k & FIELD_V) {
          const int32_t used = txt_scan_number(&v.v, q);
          if (used == 0) return fail("missing value");
          q += used;
          v.v = -v.v;
        }
        if (k & FIELD_RADIUS) {
          if (angle) {
            if (!next_real(q, &v.info.rayon)) return fail("missing value");
          } else {
            const int32_t used = txt_scan_number(&v.info.rayon, q);
            if (used == 0) return fail("missing value");
            q += used;
          }
        }
        if (k != 0 && *q == ',') ++q;
      }
    }
  }
  if (class_has_value(r.cls)) {
    const char* val = std::strstr(p, "Val:");
    const char* eol = end_of_line(p);
    if (val != nullptr && val < eol) {
      const char* q = val + 4;
      int64_t x = 0, y = 0;
      if (!next_int(q, &x) || !next_int(q, &y) || !next_real(q, &r.nv_r)) return fail("bad number value");
      r.nv_x = static_cast<double>(x);
      r.nv_y = static_cast<double>(y);
      r.number_value = true;
      q = skip_separators(q);
      const std::string_view a = word_at(q);
      q = skip_separators(q + a.size());
      const std::string_view pw = word_at(q);
      r.flag_a = a == "A";
      if (file_platform != 0) r.flag_a = !r.flag_a;
      r.flag_p = pw == "P";
    }
  }
  const bool framed = t == TYPE_TEXT || t == TYPE_EXPRESSION || t == TYPE_TABLE || class_is(r.cls, "Num") ||
                      class_is(r.cls, "Formula");
  if (framed) {
    const char* tp = std::strstr(p, "TP:");
    const char* eol = end_of_line(p);
    if (tp != nullptr && tp < eol) {
      const char* q = tp;
      if (!parse_older_box(q, &r.frame)) return false;
    }
  }
  const bool any_line = !txt_is_line_end(*p);
  if (any_line) p = next_line(p);

  // Content.
  const bool content = t == TYPE_TEXT || t == TYPE_EXPRESSION ||
                       (*result == nullptr && (class_is(r.cls, "Num") || class_is(r.cls, "Formula") || t == TYPE_TABLE));
  size_t markers = 0;
  if (content) {
    if (t == TYPE_TEXT || t == TYPE_EXPRESSION) {
      const char* s = p;
      for (const char* q = s + 1; *q != '\0' && *q != '\r' && *q != '\n'; ++q) {
        if (*q == '"' && q[1] == '#') ++markers, ++q;
        else if (*q == '"' && q[1] == '"') ++q;
        else if (*q == '"') break;
      }
      parse_quoted(p, &r.text);
      r.has_text = true;
      p = next_line(p);
    } else if (t == TYPE_TABLE) {
      const int columns = (static_cast<int>(numbers.size()) + 1) / 2;
      r.has_cells = true;
      for (int64_t row = 0; row < vn && *p != '\0'; ++row) {
        const char* eol = end_of_line(p);
        const char* c = p;
        for (int k = 0; k < columns; ++k) {
          const char* tab = c;
          while (tab < eol && *tab != '\t') ++tab;
          r.cells.push_back(from_file(std::string(c, tab)));
          c = tab < eol ? tab + 1 : eol;
        }
        ++r.rows;
        p = next_line(eol);
      }
    } else {
      const char* eol = end_of_line(p);
      r.number_text = from_file(std::string(p, eol));
      r.has_number_text = true;
      p = next_line(eol);
    }
  }

  // Parents: a text's last constituents are the numbers its markers show.
  std::vector<int64_t> parents = numbers;
  if (t == TYPE_TEXT && markers > 0) {
    const size_t refs = std::min(markers, numbers.size());
    r.included.assign(numbers.end() - static_cast<std::ptrdiff_t>(refs), numbers.end());
    parents.resize(numbers.size() - refs);
  }
  if (*result != nullptr) {
    object* o = *result;
    for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k) args.push_back(o->parents[k]);
  }
  for (size_t k = 0; k < parents.size(); ++k) {
    object* o = find_object_by_file_number(static_cast<uint32_t>(parents[k]));
    if (o == nullptr || parents[k] == 0) return fail("constituent " + std::to_string(parents[k]) + " is not in the figure");
    if (intersection && k == 2) {
      duo->owner = o;
      continue;
    }
    args.push_back(o);
  }
  if (locus && *result == nullptr) {
    if (args.size() < 2) return fail("locus without its two objects");
    object* a = args.front();
    object* b = args.back();
    args.clear();
    const int16_t n = collect_dependency_chain(a, b);
    if (n > 0) {
      for (int k = 0; k < n; ++k) args.push_back(fig->inputs->items[k]);
    } else {
      args = {a, b};
    }
    // The point count from the value count: the older edition kept two
    // values a point for what is not a point or an envelope of lines.
    const uint16_t traced = object_type_id(b);
    const bool straight = traced == TYPE_LINE || traced == TYPE_RAY || traced == TYPE_SEGMENT;
    if (traced != TYPE_POINT && !straight) duo->side &= ~0xC000u;
    int64_t count = vn;
    if ((duo->side & 0xC000u) != 0 && vn > 30 && straight) count = 20;
    if (!(traced == TYPE_POINT || (straight && (duo->side & 0x4000u) != 0))) count /= 2;
    duo->nb_points = static_cast<int16_t>(std::clamp<int64_t>(count, 5, 1000));
  }
  *method = *result != nullptr ? (*result)->methode
                               : find_method_for_parents(r.cls, args.data(), static_cast<uint32_t>(args.size()));
  if (*method < 0) return fail("no method of " + name + " takes these parents");
  if (*result == nullptr) {
    value_count = count_values(r, *method, args.data(), static_cast<int>(args.size()));
    if (intersection) value_count = 1;
  }
  if (class_is(r.cls, "PReg") && *method == 1) {
    math_info w{};
    w.bitsfield = duo->side;
    value_count = static_cast<uint16_t>(std::clamp<int>(w.polreg.nbsides, 0, 1000) + 2);
  }

  // Property texts, rich text and columns.
  if (t == TYPE_PROPERTY) {
    for (int k = 0; k < 2; ++k) {
      while (*p == '\r' || *p == '\n') ++p;
      if (!starts(p, k == 0 ? "Tr:" : "Fa:")) return fail("property check without its texts");
      if (!r.property) r.property = std::make_unique<Record::PropertyTexts>();
      if (!parse_older_box(p, &r.property->box[k])) return false;
      p = next_line(p);
      parse_quoted(p, &r.property->text[k]);
      read_rich(p, &r.property->rich[k]);
      p = next_line(p);
    }
    r.has_property = true;
  } else if (r.has_label || t == TYPE_TEXT || t == TYPE_NUMBER || t == TYPE_EQUATION || t == TYPE_TABLE ||
             t == TYPE_EXPRESSION) {
    const char* s = p;
    if (starts(s, "p:")) {
      read_rich(p, &r.rich);
      p = next_line(p);
    }
  }
  if (t == TYPE_TABLE && *result == nullptr) {
    while (*p == '\r' || *p == '\n') ++p;
    if (starts(p, "TC:")) {
      r.has_table_columns = true;
      const char* eol = end_of_line(p);
      const char* q = p + 3;
      while (q < eol) {
        int64_t i = 0, w = 0;
        if (!next_int(q, &i, INT32_MIN, INT32_MAX) || q > eol) break;
        if (*q != ':' || !next_int(q, &w, INT32_MIN, INT32_MAX) || q > eol) break;
        // Columns beyond the table's reach or widths no window has are
        // passed over.
        if (i >= 1 && i <= 255 && w >= 0 && w <= 32767) r.columns.emplace_back(i, w);
      }
      p = next_line(eol);
    }
  }
  // The empty line that ends the block.
  if (*p == '\r' || *p == '\n') p = next_line(p);
  return true;
}

// Makes the object a record describes (or lays the record over a macro
// result) and finishes it; the characters consumed, as the record readers
// answer.
int32_t build_record_object(Record& r, std::vector<object*>& args, int16_t method, object* result,
                            object** slot, int32_t consumed, const DuoExtra* duo) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (result != nullptr) {
    // A macro result: its values as read, the rest of the record laid over.
    object* o = result;
    if (o->valeurs != nullptr &&
        class_field_kinds(o->classe, o->methode, o->nbparents, value_field_kinds) != 0) {
      for (int i = 0; i < o->nbvaleurs && i < kFieldKindCount; ++i) {
        const uint8_t k = value_field_kinds[i];
        if (k & FIELD_H) o->valeurs[i].h = r.values[i].h;
        if (k & FIELD_V) o->valeurs[i].v = r.values[i].v;
        if (k & FIELD_RADIUS) o->valeurs[i].info.rayon = r.values[i].info.rayon;
      }
    }
    value_count = static_cast<uint16_t>(std::max<int16_t>(o->nbvaleurs, 0));
    apply_record(o, r, args);
    if (duo != nullptr) duo_table_color(o);
    return finish_object(o, r, nullptr, slot, consumed);
  }

  // Creation, as a tool creates.
  current_class = r.cls;
  objlist_clear(fig->inputs);
  const bool intersection = facts_of(r.cls).has(kClassInt);
  object* set = nullptr;
  if (intersection) {
    if (args.size() != 2 || args[0] == args[1]) {
      last_error = "intersection point without its two objects";
      return -1;
    }
    if (duo != nullptr)
      r.math.inter_index = pack_index_pair(static_cast<uint16_t>(duo->side & 0xFFFF), object_type_id(args[0]),
                                           object_type_id(args[1]));
    set = get_intersection_set(args[0], args[1], nullptr);
    if (set == nullptr) {
      last_error = out_of_memory_text();
      return consumed;
    }
    current_class = r.cls;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, set, 0);
  } else {
    for (size_t i = 0; i < args.size(); ++i) {
      uint32_t tag = 0;
      if (duo != nullptr)
        tag = (duo->side >> ((8 * i) % 32)) & 127u;
      else
        tag = pack_parent_side_info(r.cls, r.math.bitsfield, args[i], static_cast<int>(i & 1)) & 0xFFFF;
      objlist_add(fig->inputs, args[i], static_cast<uint16_t>(tag));
    }
  }
  for (int i = 0; i < kRubberPoints; ++i) rubber_points[i] = r.values[i];
  variable_nb_values = static_cast<int16_t>(value_count);
  uint16_t created = 0;
  object* o = create_object(static_cast<uint16_t>(method), &created, 0, 1, 1);
  if (o == nullptr) {
    last_error = out_of_memory_text();
    return consumed;
  }
  if (intersection) {
    add_intersection_record(set, r.math.inter_index, &r.values[0], o);
    set->num = 0;
  }
  if (duo != nullptr) {
    // The count the file gives, for the objects whose count is not fixed
    // by their kind.
    const uint16_t t = object_type_id(o);
    if (t != TYPE_CONIC && t != TYPE_ARC && t != TYPE_LINE && t != TYPE_RAY && t != TYPE_LOCUS &&
        !is_property_check(o) && !(facts_of(o->classe).has(kClassPReg) && o->methode == 0))
      value_count = static_cast<uint16_t>(duo->vn);
  }
  apply_record(o, r, args);
  if (duo != nullptr) {
    if (!r.flag_a) o->aux2 &= ~2u;
    if (intersection) {
      o->math.inter_index = r.math.inter_index;
      recompute_object(set);
      if (duo->owner != nullptr) link_intersection_point(o, duo->owner);
      intersection_set_refresh(o);
    } else {
      unpack_object_side_info(duo->side, o, nullptr, nullptr, duo->nb_points);
    }
    duo_object_bytes(o);
    duo_table_color(o);
  }

  // Recompute as a constructed object (a macro result keeps what its macro
  // computed), keeping a read label where it was.
  if (!facts_of(o->classe).has(kClassTable | kClassPtAxis)) recompute_object(o);
  return finish_object(o, r, intersection ? set : nullptr, slot, consumed);
}

}  // namespace

const char* object_reader_error() { return last_error.c_str(); }
bool object_reader_record_left_out() { return record_left_out; }
uint32_t object_reader_record_number() { return record_number; }

void begin_record_numbers() { table_build(); }

bool record_numbers_to_resolve() { return !unresolved.empty(); }

void resolve_record_numbers() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) {
    table_close();
    return;
  }
  if (unresolved.empty()) {
    table_close();
    return;
  }
  // The figure may have been renumbered since its records were read.
  if (numbers.open) table_build();
  auto resolve = [](object*& ref) {
    const auto n = reinterpret_cast<uintptr_t>(ref);
    ref = n <= UINT32_MAX ? find_object_by_file_number(static_cast<uint32_t>(n)) : nullptr;
  };
  for (object* o = fig->first; o != nullptr; o = o->next) {
    if (unresolved.count(o) == 0) continue;
    for (objectptrlist** node = &o->associated; *node != nullptr;) {
      resolve((*node)->obj);
      if ((*node)->obj == nullptr) {
        objectptrlist* gone = *node;
        *node = gone->next;
        GlobalFreeAndNull(&gone);
      } else {
        node = &(*node)->next;
      }
    }
    // A colour is driven by numbers only: a reference to anything else is
    // cleared rather than left as a file number in a pointer.
    auto resolve_number = [&resolve](object*& ref) {
      if (ref == nullptr) return;
      resolve(ref);
      if (ref != nullptr && object_type_id(ref) != TYPE_NUMBER) ref = nullptr;
    };
    for (param_color* block : {o->pcolor, o->pfill}) {
      if (block == nullptr) continue;
      resolve_number(block->red);
      resolve_number(block->green);
      resolve_number(block->blue);
    }
  }
  unresolved.clear();
  table_close();
}

uint32_t skip_to_next_line(const char* text) {
  const char* p = end_of_line(text);
  if (*p == '\r') {
    ++p;
    if (*p == '\n') ++p;
  } else if (*p == '\n') {
    ++p;
    if (*p == '\r') ++p;
  }
  return static_cast<uint32_t>(p - text);
}

uint32_t read_object_style(const char* text, uint16_t type_id, char** bitmap_name,
                           object_settings* settings, uint8_t* pushed) {
  const char* p = text;
  std::string bitmap;
  if (!parse_style(p, type_id, &bitmap, settings, pushed)) return 0;
  if (bitmap_name != nullptr && !bitmap.empty()) *bitmap_name = new_string(bitmap);
  return static_cast<uint32_t>(p - text);
}

uint32_t read_quoted_string(const char* text, char** out) {
  const char* p = text;
  std::string s;
  parse_quoted(p, &s);
  if (out != nullptr) *out = new_string(s);
  return static_cast<uint32_t>(p - text);
}

uint32_t read_signed_pair(const char* text, int16_t box[4]) {
  const char* p = text;
  TextBox b;
  if (!parse_box(p, &b)) return 0;
  std::memcpy(box, b.box, sizeof b.box);
  return static_cast<uint32_t>(p - text);
}

object* find_object_by_file_number(uint32_t n) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || n == 0 || (numbers.open && numbers.left_out.count(n) != 0)) return nullptr;
  bool absent = false;
  if (numbers.open && numbers.ordered && numbers.fig == fig) {
    object* hit = n < numbers.by_number.size() ? numbers.by_number[n] : nullptr;
    if (hit != nullptr && hit->in_use == 1 && hit->num == n) return hit;
    // With the numbers in order, no object carrying n means no walk finds
    // one: only the count of records below can name an object.
    absent = hit == nullptr;
  }
  if (!absent) {
    // Records name recent objects most of the time: look from the end first.
    // Numbers grow along the list, so this finds the same object as the walk
    // from the start whenever one carries n.
    for (object* q = last_object(); q != nullptr; q = q->prev) {
      if (q->num == n) return q;
      if (q->num != 0 && q->num < n) break;
    }
    object* o = fig->first;
    while (o != nullptr && o->num < n) o = o->next;
    if (o != nullptr && o->num == n) return o;
    if (o != nullptr) {
      // Overshot: step back over the objects numbered 0.
      for (uint32_t back = o->num - n; back > 0 && o != nullptr; --back) {
        o = o->prev;
        while (o != nullptr && is_intersection_set(o)) o = o->prev;
      }
      if (o != nullptr && o->num == n) return o;
    }
  }
  // Numbers in the file count only the objects that have records.
  uint32_t k = 0;
  for (object* q = fig->first; q != nullptr; q = q->next) {
    if (is_intersection_set(q) || (q->macro != nullptr && q->final_no == 0)) continue;
    if (++k == n) return q;
  }
  return nullptr;
}

int16_t find_method_for_parents(construct_class* cls, object** parents, uint32_t n) {
  if (cls == nullptr) return -1;
  ClassFacts& facts = facts_entry(cls);
  if (facts.known.has(kClassExpNumApp)) {
    for (uint32_t k = 0; k < n; ++k)
      if (object_type_id(parents[k]) == TYPE_AXES) return 1;
    return 0;
  }
  if (facts.known.has(kClassMethodZero)) return 0;
  if (cls->methods == nullptr || cls->methods[0] == nullptr) return -1;
  if (n == 0) {
    // A class built from nothing: its first method that takes no argument.
    for (int16_t m = 0; cls->methods[m] != nullptr; ++m)
      if (cls->methods[m]->args == nullptr || cls->methods[m]->args[0] == 0) return m;
    return -1;
  }
  // While a figure is read, an answer already found for these kinds of
  // parents is the answer.
  bool memo = numbers.open && n <= 4;
  NumberTable::MethodAnswer key{cls, n, {}, -1};
  for (uint32_t k = 0; memo && k < n; ++k) {
    if (parents[k] == nullptr || parents[k]->otype == nullptr)
      memo = false;
    else
      key.types[k] = parents[k]->otype->id;
  }
  if (memo) {
    // The class's last answer first: records of a kind mostly have parents
    // of the same kinds.
    const NumberTable::MethodAnswer& last = facts.last_method;
    if (last.cls == key.cls && last.n == key.n && std::equal(last.types, last.types + n, key.types))
      return last.method;
    for (const NumberTable::MethodAnswer& a : numbers.methods)
      if (a.cls == key.cls && a.n == key.n && std::equal(a.types, a.types + n, key.types)) {
        facts.last_method = a;
        return a.method;
      }
  }
  reset_class_type_marks(cls);
  const uint32_t fed = class_is(cls, "Lgth") && n == 3 ? 2 : n;
  const uint8_t first = class_is(cls, "Line") || class_is(cls, "Ray") || class_is(cls, "Cir") ? 0 : 1;
  int16_t method = -1;
  for (uint32_t k = 0; k < fed; ++k) method = find_tool_arg_slot(cls, parents[k], 0, first, 0);
  if (class_is(cls, "Spr") && n == 1) method = 0;
  reset_class_type_marks(cls);
  if (memo) {
    key.method = method;
    numbers.methods.push_back(key);
    facts.last_method = key;
  }
  return method;
}

int32_t read_object_record(object** slot, const char* text) {
  if (file_class == 0) return read_nova_object_record(slot, text);
  if (file_class == 1 && file_platform <= 2) return read_duo_object_line(slot, text);
  if (slot != nullptr) *slot = nullptr;
  last_error = "records of calculator files are read by the calculator exchange";
  return 0;
}

namespace {

// Storage kept from one record to the next: the list takes it for the
// record and gives it back, emptied, at its end. A record read while
// another is (a nested reading) finds it taken and makes its own.
template <class T>
struct Scratch {
  Scratch(std::vector<T>& keep, std::vector<T>& list) : keep(keep), list(list) {
    list.swap(keep);
    if (list.capacity() == 0) list.reserve(8);
  }
  ~Scratch() {
    list.clear();
    if (keep.capacity() == 0) list.swap(keep);
  }
  std::vector<T>& keep;
  std::vector<T>& list;
};
std::vector<object*> args_scratch;
// The record read, lent the same way.
Record record_scratch;
bool record_scratch_lent = false;

// Reads one record with `parse` under the state every record reader holds
// while it builds (no current class, numbers locked, a file being read),
// given back however the record ends. `parse` answers -1 or what the build
// answered.
template <class Parse>
int32_t read_record_with(object** slot, const char* text, Parse&& parse) {
  if (slot != nullptr) *slot = nullptr;
  last_error.clear();
  record_left_out = false;
  record_number = 0;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || text == nullptr) {
    last_error = "no current figure";
    return -1;
  }
  construct_class* saved_class = current_class;
  current_class = nullptr;
  renumber_lock = 1;
  const uint8_t saved_reading = reading_file;
  reading_file = 1;
  const char* p = text;
  const int32_t result = parse(p);
  current_class = saved_class;
  if (fig->inputs != nullptr) objlist_clear(fig->inputs);
  renumber_lock = 0;
  reading_file = saved_reading;
  return result;
}

}  // namespace

int32_t read_nova_object_record(object** slot, const char* text) {
  return read_record_with(slot, text, [&](const char*& p) -> int32_t {
    // The record and the lists of one record lend their storage to the
    // next; a nested reading makes its own.
    std::unique_ptr<Record> own;
    const bool lend = !record_scratch_lent;
    if (lend) {
      record_scratch_lent = true;
      record_scratch.reset();
    } else {
      own = std::make_unique<Record>();
    }
    struct GiveBack {
      bool lent;
      ~GiveBack() {
        if (lent) record_scratch_lent = false;
      }
    } give_back{lend};
    Record& r = lend ? record_scratch : *own;
    std::vector<object*> args;
    Scratch<object*> args_storage(args_scratch, args);
    int16_t method = -1;
    object* result = nullptr;
    if (!parse_record(p, r, args, &method, &result)) return -1;
    return build_record_object(r, args, method, result, slot, static_cast<int32_t>(p - text), nullptr);
  });
}

int32_t read_duo_object_line(object** slot, const char* text) {
  return read_record_with(slot, text, [&](const char*& p) -> int32_t {
    Record r;
    std::vector<object*> args;
    int16_t method = -1;
    object* result = nullptr;
    DuoExtra duo;
    bool unknown = false;
    if (!parse_duo_record(p, r, args, &method, &result, &duo, &unknown)) return -1;
    return build_record_object(r, args, method, result, slot, static_cast<int32_t>(p - text), &duo);
  });
}

// ------------------------------------------------------- macro applications

namespace {

// The object before the first one the last "Ma:" line created (null: the
// figure's first object came from it).
object* macro_result_anchor = nullptr;
bool macro_results_pending = false;

object* first_macro_result() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return nullptr;
  return macro_result_anchor != nullptr ? macro_result_anchor->next : fig->first;
}

bool depends_on_marked(const object* o, const std::unordered_set<const object*>& marked) {
  for (int k = 0; k < o->nbparents && o->parents != nullptr; ++k)
    if (marked.count(o->parents[k]) != 0) return true;
  for (const insert_object* r = o->inserted; r != nullptr; r = r->next)
    if (marked.count(r->obj) != 0) return true;
  for (const param_color* b : {o->pcolor, o->pfill})
    if (b != nullptr && (marked.count(b->red) != 0 || marked.count(b->green) != 0 || marked.count(b->blue) != 0))
      return true;
  return false;
}

// Deletes the objects and every later object that depends on them.
void delete_with_dependents(const std::vector<object*>& victims) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || victims.empty()) return;
  std::unordered_set<const object*> marked(victims.begin(), victims.end());
  for (object* o = fig->first; o != nullptr; o = o->next)
    if (marked.count(o) == 0 && depends_on_marked(o, marked)) marked.insert(o);
  // Intersection sets forget the points that go.
  for (object* o = fig->first; o != nullptr; o = o->next) {
    if (marked.count(o) != 0 || !is_intersection_set(o) || o->data == nullptr) continue;
    auto* recs = static_cast<inter_rec*>(o->data);
    const uint32_t n = GlobalSize(o->data) / sizeof(inter_rec);
    uint32_t w = 0;
    for (uint32_t i = 0; i < n && recs[i].owner != nullptr; ++i)
      if (marked.count(recs[i].owner) == 0) recs[w++] = recs[i];
    for (uint32_t i = w; i < n; ++i) recs[i] = inter_rec{};
  }
  if (marked.count(macro_result_cursor) != 0) macro_result_cursor = nullptr;
  for (object* o = fig->first; o != nullptr;) {
    object* next = o->next;
    if (marked.count(o) != 0) {
      unresolved.erase(o);
      table_remove(o);
      if (fig->cur2 == o) fig->cur2 = nullptr;
      if (fig->table_object == o) fig->table_object = nullptr;
      objlist_remove(fig->selection, o);
      destroy_object(o);
      if (fig->nbobj > 0) fig->nbobj -= 1;
    }
    o = next;
  }
}

}  // namespace

object* take_macro_result(int16_t k) {
  if (!macro_results_pending || macro_result_cursor == nullptr || k == 0) return nullptr;
  object* target = nullptr;
  std::vector<object*> passed;
  for (object* o = macro_result_cursor; o != nullptr; o = o->next) {
    if (o->macro == nullptr) continue;
    if (o->final_no == k) {
      target = o;
      break;
    }
    if (o->final_no != 0) passed.push_back(o);
  }
  // A final number the macro did not make deletes nothing.
  if (target == nullptr) return nullptr;
  delete_with_dependents(passed);
  for (object* o = first_macro_result(); o != nullptr; o = o->next)
    if (o->macro != nullptr && o->final_no == k) {
      macro_result_cursor = o->next;
      if (macro_result_cursor == nullptr) macro_results_pending = false;
      return o;
    }
  return nullptr;
}

void begin_macro_results(object* last_before) {
  // The objects made wait for their records, which give them their numbers.
  macro_result_anchor = last_before;
  macro_result_start = first_macro_result();
  macro_result_cursor = macro_result_start;
  macro_results_pending = macro_result_cursor != nullptr;
}

void flush_pending_selection() {
  if (!macro_results_pending) return;
  std::vector<object*> left;
  for (object* o = macro_result_cursor; o != nullptr; o = o->next)
    if (o->macro != nullptr && o->final_no != 0) left.push_back(o);
  macro_results_pending = false;
  macro_result_cursor = nullptr;
  delete_with_dependents(left);
  macro_result_start = nullptr;
}

int32_t read_type_info_word(const char* text, const construct_class* cls, math_info* w) {
  const char* p = text;
  if (!read_type_info(p, cls, w)) return -1;
  return static_cast<int32_t>(p - text);
}

int32_t read_macro_instance_line(const char* text) {
  if (text == nullptr || !starts(text, "Ma:")) return 0;
  last_error.clear();
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr) return last_error = "no current figure", -1;
  construct_class* saved_class = current_class;
  const uint8_t saved_reading = reading_file;
  renumber_lock = 1;
  reading_file = 1;
  auto finish = [&](int32_t result) {
    current_class = saved_class;
    if (fig->inputs != nullptr) objlist_clear(fig->inputs);
    renumber_lock = 0;
    reading_file = saved_reading;
    return result;
  };
  flush_pending_selection();
  object* last = last_object();

  const char* p = text + 3;
  const char* eol = end_of_line(p);
  while (p < eol && is_blank(*p)) ++p;
  const char* cst = std::strstr(p, "Const:");
  if (cst == nullptr || cst > eol) return finish((last_error = "macro line without its objects", -1));
  const char* comma = cst;
  while (comma > p && *comma != ',') --comma;
  const std::string name = from_file(std::string(p, comma));

  objlist_clear(fig->inputs);
  p = cst + 6;
  std::vector<object*> args;
  for (;;) {
    int64_t n = 0, t = 0;
    const char* s = p;
    if (!next_int(s, &n, 0, INT32_MAX)) break;
    if (!next_int(s, &t, 0, 255)) return finish((last_error = "macro line with an incomplete pair", -1));
    p = s;
    object* o = find_object_by_file_number(static_cast<uint32_t>(n));
    if (o == nullptr || n == 0 || args.size() >= static_cast<size_t>(kMaxMacroInitials))
      return finish((last_error = "initial object " + std::to_string(n) + " is not in the figure", -1));
    args.push_back(o);
    objlist_add(fig->inputs, o, static_cast<uint16_t>(t));
  }
  p = eol;
  while (*p == '\r' || *p == '\n' || is_blank(*p)) ++p;

  int16_t method = -1;
  bool known = false;
  construct_class* cls =
      find_macro_class_for_instance(name.c_str(), args.data(), static_cast<uint32_t>(args.size()), &method, &known);
  if (!known) return finish((last_error = "macro \"" + name + "\" is not loaded", -1));
  if (cls == nullptr) return finish((last_error = "no method of macro \"" + name + "\" takes these objects", -1));
  current_class = cls;
  // An expression drawn over axes takes the numbers given besides them.
  if (cls == &classe_exp_num_app && method == 1)
    prepare_macro_application();
  else
    apply_macro(method, 0);
  if (macro_application_refused)
    return finish((last_error = "macro \"" + name + "\" does not fit the objects it is applied to", -1));

  begin_macro_results(last);
  for (object* o = macro_result_start; o != nullptr; o = o->next) o->num = 0;
  return finish(static_cast<int32_t>(p - text));
}
