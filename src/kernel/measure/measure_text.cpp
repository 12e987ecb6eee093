#include "kernel/measure/measure_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/files/text_convert.h"
#include "kernel/measure/equation_text.h"
#include "kernel/measure/unit_factor.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/objects/locus_engine.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_record.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/value_keys.h"

namespace {

constexpr int kRowUnitShortNames = 30;  // 5 lengths, 5 areas, 5 volumes, rd, degree, gr
constexpr int kRowUndefined = 306;
constexpr int kRowRadius = 276;
constexpr int kRowLineAtInfinity = 279;
constexpr int kRowInfiniteRadius = 280;
constexpr int kRowJoin = 352;

const char* const kLengthNames[5] = {"mm", "cm", "m", "km", "su"};

}  // namespace

std::string unit_short_name(uint8_t unit) {
  const unsigned kind = unit >> 5, u = unit & 31;
  if (kind >= 1 && kind <= 3) {
    if (u > 4) return "";
    const char* row = kernel_string(kRowUnitShortNames + static_cast<int>((kind - 1) * 5 + u));
    if (*row) return row;
    std::string name = kLengthNames[u];
    if (kind == 2) name += '\xB2';
    if (kind == 3) name += '\xB3';
    return name;
  }
  if (kind == 4) {
    if (u > 2) return "";
    const char* row = kernel_string(kRowUnitShortNames + 15 + static_cast<int>(u));
    // The degree takes its own byte whatever the language file says.
    if (u == 1) return "\xFB";
    if (*row) return row;
    return u == 0 ? "rd" : "gr";
  }
  return "";
}

std::string format_measure_number(double shown, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  char buffer[512];
  if (shown > 1e12 || shown < -1e12) {
    std::snprintf(buffer, sizeof buffer, "%.15e", shown);
    std::string out;
    const char* p = buffer;
    int digits = 0, after_point = 0;
    bool past_point = false;
    for (; *p && *p != 'e'; ++p) {
      if (digits >= 10) break;
      if (past_point && decimals - after_point <= 0) break;
      out += *p;
      if (*p == '.') {
        past_point = true;
      } else if (*p >= '0' && *p <= '9') {
        ++digits;
        if (past_point) ++after_point;
      }
    }
    while (*p && *p != 'e') ++p;
    if (*p == 'e') {
      out += *p++;
      while (*p == '+' || *p == '-') out += *p++;
      if (*p == '0' && p[1]) ++p;
      out += p;
    }
    return out;
  }
  if (shown >= -1e-12 && shown <= 1e-12) shown = 0;
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, shown);
  return buffer;
}

void format_measure_value(double value, object* obj, bool infinite) {
  if (!obj) return;
  if (obj->valeurs && obj->nbvaleurs > 0) obj->valeurs[0].info.rayon = value;
  if (locus_busy) return;
  std::string text;
  if (infinite || !std::isfinite(value)) {
    if (value < 0) text = "-";
    text += kInfinitySign;
  } else {
    text = format_measure_number(value / measure_unit_factor(obj), obj->settings.nbre_decimales & 127);
    for (char& c : text)
      if (c == '.') c = decimal_separator;
  }
  format_number_text(obj, number_text_place(obj), text.c_str());
}

void update_measure_text(object* number, uint8_t unit) {
  if (!number || !number->valeurs || number->nbvaleurs < 1) return;
  if ((unit >> 5) != (number->settings.unite >> 5)) {
    const double old_factor = measure_unit_factor(number);
    const uint8_t old_unit = number->settings.unite;
    number->settings.unite = unit;
    const double new_factor = measure_unit_factor(number);
    number->settings.unite = old_unit;
    number->valeurs[0].info.rayon *= new_factor / old_factor;
  }
  number->settings.unite = unit;
  format_measure_value(number->valeurs[0].info.rayon, number, false);
}

void build_measure_text(object* obj) {
  if (!obj) return;
  if (!obj->te && !init_object_text_records(obj)) return;
  std::string text;
  object* first = obj->nbparents > 0 && obj->parents ? obj->parents[0] : nullptr;
  const int type = first && first->otype ? first->otype->id : 0;
  equation_text.clear();
  if (type == TYPE_LINE) {
    format_line_equation(obj);
  } else if (type == TYPE_CIRCLE && first->valeurs && first->nbvaleurs >= 2) {
    const bool centre = (first->valeurs[0].infini_inexist_indetermine & VAL_AT_INFINITY) != 0;
    const bool radius = (first->valeurs[1].infini_inexist_indetermine & VAL_AT_INFINITY) != 0;
    if (centre && radius) {
      obj->state |= OBJ_UNDEFINED;
      return;
    }
    if (!centre && !radius) {
      const double x0 = first->valeurs[0].h, y0 = first->valeurs[0].v, r = first->valeurs[1].info.rayon;
      conic_a = 1, conic_b = 0, conic_c = 1, conic_d = -x0, conic_e = -y0;
      conic_f = x0 * x0 + y0 * y0 - r * r;
      conic_kind = kConicCircle;
      format_equation_text(obj);
    } else if (centre) {
      // The circle is a line: its point and direction stand in the circle's
      // values for as long as the line text is written.
      const valeur v0 = first->valeurs[0], v1 = first->valeurs[1];
      const uint32_t state = first->state;
      first->valeurs[0] = v1;
      first->valeurs[1].h = v0.v;
      first->valeurs[1].v = -v0.h;
      first->state &= ~OBJ_AT_INFINITY;
      format_line_equation(obj);
      first->valeurs[0] = v0;
      first->valeurs[1] = v1;
      first->state = state;
      equation_text += kernel_string(kRowJoin);
      equation_text += kernel_string(kRowLineAtInfinity);
    } else if (obj->math.equa.typeunite == 0) {
      equation_text = kernel_string(kRowInfiniteRadius);
    } else {
      equation_text = kernel_string(kRowRadius);
      equation_text += '\x01';
      equation_text += '=';
      equation_text += kInfinitySign;
    }
  } else if (type == TYPE_CONIC && first->valeurs && first->nbvaleurs >= 5) {
    conic_load_workspace(first->valeurs);
    format_equation_text(obj);
  } else if (type == TYPE_LOCUS) {
    format_locus_equation(obj);
  }
  text = equation_text;
  if (text.empty()) text = kernel_string(kRowUndefined);
  if (obj->valeurs && obj->nbvaleurs > 0) obj->valeurs[0].infini_inexist_indetermine = 0;
  if (!obj->te || !set_text_record_text(obj->te, text.c_str())) return;
  mark_text_needs_regen(obj);
}
