#include "kernel/window/value_keys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/files/text_convert.h"
#include "kernel/measure/measure_text.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/recompute.h"
#include "kernel/model/table.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/window/main_commands.h"
#include "kernel/window/window_hooks.h"

namespace {

constexpr uint32_t kExactValue = 1;  // bit of aux1: the raw value is more exact than the text
constexpr int kRowUndefined = 306;

uint16_t type_of(const object* o) { return o && o->otype ? o->otype->id : 0; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_coordinate(const object* o) { return o && o->classe == &classe_equation && o->methode == 0; }
bool is_editable_number(const object* o) { return o && (o->classe == &classe_nombre || is_coordinate(o)); }

// The arrows as the figure view hands them over (the low byte of their
// function-key codes) become the arrow codes.
uint32_t arrow_code(uint32_t key) {
  switch (key) {
    case 0: return kValueKeyUp;
    case 1: return kValueKeyDown;
    case 2: return kValueKeyLeft;
    case 3: return kValueKeyRight;
    default: return key;
  }
}

bool is_arrow(uint32_t key) { return key >= kValueKeyLeft && key <= kValueKeyDown; }

// A number text read from its start: the digits, the separator and the
// sign, without digit groups and spaces; the cursor and the separator as
// indices into that clean copy.
struct number_scan {
  std::string clean;
  int cursor = -1;
  int separator = -1;
  bool negative = false;
  int digits = 0;
  int place() const { return separator - cursor + 1; }
  int decimals() const { return static_cast<int>(clean.size()) - separator - 1; }
};

number_scan scan_number_text(const char* text, int32_t selection) {
  number_scan s;
  const char* p = text ? text : "";
  int i = 0;
  for (;; ++i) {
    const char c = p[i];
    const bool taken = c != '\0' && (c == decimal_separator || c == second_separator || c == ' ' || c == '-' || is_digit(c));
    if (i == selection && s.cursor < 0) s.cursor = static_cast<int>(s.clean.size());
    if (!taken) break;
    if (c == decimal_separator) {
      if (s.separator < 0) s.separator = static_cast<int>(s.clean.size());
      s.clean += c;
    } else if (c == '-') {
      s.negative = true;
      s.clean += c;
    } else if (is_digit(c)) {
      ++s.digits;
      s.clean += c;
    }
  }
  const int end = static_cast<int>(s.clean.size());
  if (s.cursor < 0) s.cursor = end;
  if (s.separator < 0) s.separator = end;
  if (s.negative && s.cursor == 0) s.cursor = 1;
  return s;
}

// The clean copy as a number, in the C form whatever the user's locale.
double read_clean_number(const std::string& clean) {
  std::string c = clean;
  for (char& ch : c)
    if (ch == decimal_separator) ch = '.';
  const char* begin = c.c_str();
  char* end = nullptr;
  // strtod follows LC_NUMERIC: the kernel keeps the C locale for numbers.
  const double v = std::strtod(begin, &end);
  return end == begin ? 0.0 : v;
}

std::string print_number(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string out = buffer;
  for (char& c : out)
    if (c == '.') c = decimal_separator;
  return out;
}

void regenerate(object* obj) {
  if (main_command_services().regenerate_rtf_if_needed) main_command_services().regenerate_rtf_if_needed(obj);
}

TErec* text_of(object* obj) { return obj && obj->te && obj->te->text ? obj->te : nullptr; }

// The editor's part of a typed key: the character replaces the selection,
// Backspace removes it or the character before the cursor.
void apply_edit(TErec* te, uint32_t key) {
  std::string text = te->text;
  const int32_t n = static_cast<int32_t>(text.size());
  int32_t a = std::clamp(te->sel_start, 0, n), b = std::clamp(te->sel_end, 0, n);
  if (b < a) std::swap(a, b);
  if (key == 8) {
    if (a == b && a > 0) --a;
    text.erase(static_cast<size_t>(a), static_cast<size_t>(b - a));
  } else {
    text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), 1, static_cast<char>(key));
    ++a;
  }
  if (set_text_record_text(te, text.c_str())) te->sel_start = te->sel_end = a;
}

void finish_number_key(object* number, int decimals) {
  if (decimals < 1) decimals = 0;
  if (decimals > 127) decimals = 127;
  if (decimals != (number->settings.nbre_decimales & 127)) {
    number->settings.nbre_decimales = static_cast<uint8_t>((number->settings.nbre_decimales & 128) | decimals);
    regenerate(number);
  }
}

void write_back(object* number, double value, int decimals, int place) {
  format_number_text(number, static_cast<int16_t>(place), print_number(value, decimals).c_str());
  if (is_coordinate(number)) set_point_coordinate_value(number, value, false);
}

}  // namespace

// ------------------------------------------------------------------ texts

int16_t number_text_place(const object* obj) { return obj ? static_cast<int16_t>(obj->aux3 & 0xFFFF) : 1; }

void format_number_text(object* obj, int16_t place, const char* text) {
  if (!obj) return;
  obj->aux3 = static_cast<uint16_t>(place);
  std::string in = text && *text ? text : "0";
  const bool sign = in[0] == '-';
  std::string body = in.substr(sign ? 1 : 0);
  if (!body.empty() && body[0] == '0') {
    size_t i = 0;
    while (body[i] == '0' && i + 1 < body.size() && body[i + 1] != decimal_separator) ++i;
    body.erase(0, i);
  }
  const std::string unit = unit_short_name(obj->settings.unite);
  std::string out;
  int32_t cursor = 0;
  const size_t sep = body.find(decimal_separator);
  const int32_t sep_index = static_cast<int32_t>(sep == std::string::npos ? body.size() : sep);
  cursor = place <= 0 ? sep_index + 1 - place : sep_index - (place - 1);
  int32_t inserted_before = 0;
  if ((!body.empty() && static_cast<unsigned char>(body[0]) == 0xEC) || in.find('I') != std::string::npos) {
    out = sign ? "-" : "";
    out += kInfinitySign;
  } else if (!body.empty() && (body[0] == '>' || body[0] == 'N')) {
    out = kernel_string(kRowUndefined);
  } else if (body.find_first_of("Ee") != std::string::npos) {
    out = (sign ? "-" : "") + body + " " + unit;
  } else {
    out = sign ? "-" : "";
    int32_t integer_digits = 0;
    while (integer_digits < sep_index && is_digit(body[static_cast<size_t>(integer_digits)])) ++integer_digits;
    for (int32_t k = 0; k < static_cast<int32_t>(body.size()); ++k) {
      out += body[static_cast<size_t>(k)];
      const int32_t right = integer_digits - 1 - k;
      if (k < integer_digits && right > 0 && right % 3 == 0) {
        out += second_separator;
        if (k + 1 < cursor) ++inserted_before;
      }
    }
    if (!unit.empty()) out += " " + unit;
  }
  cursor += (sign ? 1 : 0) + inserted_before;
  const int32_t length = static_cast<int32_t>(out.size());
  cursor = std::clamp(cursor, 0, length);
  TErec* te = obj->te;
  if (!te || !set_text_record_text(te, out.c_str())) return;
  te->sel_start = te->sel_end = cursor;
  te->length = length;
  mark_text_needs_regen(obj);
  regenerate(obj);
}

// --------------------------------------------------------------- stepping

void set_number_value_exact(object* number) {
  if (number) number->aux1 |= kExactValue;
}

void step_number_by_key(object* number, uint32_t key) {
  TErec* te = text_of(number);
  if (!te) return;
  key = arrow_code(key);
  const char c = static_cast<char>(key);
  const bool editing = key < 256 && (is_digit(c) || c == decimal_separator || key == 8);
  if (editing && !is_editable_number(number)) return;

  number_scan s = scan_number_text(te->text, te->sel_start);
  int decimals = s.decimals();
  const bool typing_sign = key == '-' && s.cursor == 0 && is_editable_number(number);

  if (editing || typing_sign) {
    bool edit = false;
    if (is_digit(c)) edit = s.digits < kMaxNumberDigits;
    else if (c == decimal_separator) edit = s.separator >= static_cast<int>(s.clean.size());
    else if (key == 8) edit = true;
    else edit = !s.negative;
    if (edit) {
      number->aux1 &= ~kExactValue;
      if (key == 8 && te->text[0] == '-' && (te->sel_end == 1 || (te->sel_end == 2 && te->text[1] == ' ')))
        te->sel_start = 0;
      if (typing_sign) te->sel_start = te->sel_end = 0;
      apply_edit(te, key);
      s = scan_number_text(te->text, te->sel_start);
      decimals = s.decimals();
      format_number_text(number, static_cast<int16_t>(s.place()), s.clean.c_str());
      if (is_coordinate(number)) set_point_coordinate_value(number, read_clean_number(s.clean), false);
    }
    finish_number_key(number, decimals);
    return;
  }

  int place = s.place();
  if (key == kValueKeyUp || key == kValueKeyDown) {
    number->aux1 &= ~kExactValue;
    const double value = read_clean_number(s.clean);
    double step = place >= 1 ? std::pow(10.0, place - 1) : std::pow(10.0, place);
    if (key == kValueKeyDown) step = -step;
    double fresh = value + step;
    const double magnitude = fresh == 0 ? 0 : std::log10(std::fabs(fresh));
    if (std::max(decimals, 0) + magnitude >= kMaxNumberDigits) fresh = value;
    write_back(number, fresh, decimals, place);
  } else if (key == kValueKeyLeft || key == kValueKeyRight || key == '+' || key == '-') {
    const double value = (number->aux1 & kExactValue) && number->valeurs && number->nbvaleurs > 0
                             ? number->valeurs[0].info.rayon / measure_unit_factor(number)
                             : read_clean_number(s.clean);
    if (key == kValueKeyLeft) {
      if (s.cursor > (s.negative ? 1 : 0)) ++place;
    } else if (key == kValueKeyRight || key == '+') {
      const bool at_end = place + decimals == 0;
      if (at_end || key == '+') {
        if (s.digits < kMaxNumberDigits) {
          decimals = decimals < 1 ? 1 : decimals + 1;
          if (key == kValueKeyRight) --place;
        }
      } else {
        --place;
      }
    } else if (decimals >= 1) {
      if (place + decimals == 0) ++place;
      --decimals;
    }
    write_back(number, value, decimals, place);
  } else {
    return;
  }
  finish_number_key(number, decimals);
}

// ------------------------------------------------------------ coordinates

bool set_point_coordinate_value(object* coordinates, double value, bool infinite) {
  if (!coordinates || coordinates->nbparents < 2 || !coordinates->parents || !coordinates->valeurs) return false;
  object* point = coordinates->parents[0];
  object* axes = coordinates->parents[1];
  if (!point || !point->valeurs || point->nbvaleurs < 1 || !axes || !axes->valeurs || axes->nbvaleurs < 3)
    return false;
  valeur& p = point->valeurs[0];
  point->state &= ~(OBJ_UNDEFINED | OBJ_AT_INFINITY);
  p.infini_inexist_indetermine = 0;
  const bool polar = coordinates->math.equa.typeunite != 0;
  const bool second = coordinates->math.equa.format != 0;
  const valeur &o = axes->valeurs[0], &i = axes->valeurs[1], &j = axes->valeurs[2];
  double& stored = coordinates->valeurs[0].info.rayon;
  if (infinite) {
    coordinates->valeurs[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
    p.infini_inexist_indetermine |= VAL_AT_INFINITY;
    point->state |= OBJ_AT_INFINITY;
    if (polar && second) point->state |= OBJ_UNDEFINED;
    if (!polar) {
      // The direction of the edited axis.
      const valeur& u = second ? j : i;
      p.h = u.h;
      p.v = u.v;
    }
    stored = value;
    return true;
  }
  if (polar && second) {
    const double angle = value * measure_unit_factor(coordinates) - stored;
    const double dh = p.h - o.h, dv = o.v - p.v;
    const double c = std::cos(angle), s = std::sin(angle);
    p.h = o.h + dh * c - dv * s;
    p.v = o.v - (dh * s + dv * c);
  } else if (polar) {
    if (std::fabs(stored) < 1e-10) {
      p.h = o.h + value * 1.4142135623730951 / 2;
      p.v = o.v - value * 1.4142135623730951 / 2;
    } else {
      p.h = o.h + (p.h - o.h) * value / stored;
      p.v = o.v + (p.v - o.v) * value / stored;
    }
  } else {
    const valeur& u = second ? j : i;
    p.h += (value - stored) * u.h;
    p.v += (value - stored) * u.v;
  }
  stored = value;
  recompute_object(point);
  return true;
}

// ------------------------------------------------------------------- keys

bool key_accepted(object* obj, uint32_t key) {
  if (!obj) return false;
  const char c = static_cast<char>(key);
  switch (type_of(obj)) {
    case TYPE_NUMBER:
      // The arrows step the number (the low byte of the view's arrow codes).
      return key <= 3 || is_arrow(key) || (key < 256 && (c == decimal_separator || is_digit(c))) || key == 8 ||
             key == '-' || key == '+';
    case TYPE_EQUATION:
      return key == '-' || key == '+' || key == 9;
    case TYPE_AXES:
    case TYPE_GRID:
      return key == 9 || key <= 3;
    case TYPE_TABLE:
      return key == 8 || key == kValueKeyForwardDelete;
    default:
      return (key >= 32 && key != 127) || key == 8 || key == 13 || key == 7 || is_arrow(key) ||
             key == kValueKeyForwardDelete;
  }
}

void value_key_command_impl(object* obj, uint32_t key) {
  if (!obj) return;
  switch (type_of(obj)) {
    case TYPE_NUMBER:
      step_number_by_key(obj, key);
      return;
    case TYPE_TABLE:
      if (key != 8 && key != kValueKeyForwardDelete) return;
      // The row or column chosen by a click goes, then the shown text
      // follows the rows left.
      table_remove_row_or_column(obj);
      if (window_services().update_object_text_record) window_services().update_object_text_record(obj);
      return;
    case TYPE_EQUATION: {
      uint8_t& decimals = obj->settings.nbre_decimales;
      const int n = decimals & 127;
      if (key == '+' && n < 15) decimals = static_cast<uint8_t>((decimals & 128) | (n + 1));
      if (key == '-' && n > 2) decimals = static_cast<uint8_t>((decimals & 128) | (n - 1));
      if (key == 9 && obj->nbparents > 0 && obj->parents) {
        uint8_t& form = obj->math.equa.format;
        switch (type_of(obj->parents[0])) {
          case TYPE_LINE: form = form == 0 ? 1 : 0; break;
          case TYPE_CIRCLE: form = form == 0 ? 2 : 0; break;
          case TYPE_CONIC: form = form == 0 ? 4 : 0; break;
          default: break;
        }
      }
      return;
    }
    case TYPE_AXES:
    case TYPE_GRID: {
      uint8_t& mode = obj->math.equa.typeunite;
      if (key == 9) mode = static_cast<uint8_t>((mode + 1) % 4);
      else if (key <= 3) mode = static_cast<uint8_t>(key);
      return;
    }
    default:
      return;
  }
}
