// The formula compiler and the evaluator over arbitrary
// bytes, against a calculation with three parents in length, angle and
// plain units. The first byte chooses whether the units notice and
// questions are switched off; with them on the message boxes answer at
// once.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_target.h"
#include "kernel/measure/formula.h"
#include "kernel/measure/formula_text.h"
#include "kernel/model/figure.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "platform/kp_dialog.h"

namespace {

object parent_objects[3];
valeur parent_values[3];
object* parent_list[3];
object calculation;
valeur result;

void prepare() {
  pixels_per_unit = 38;
  const uint8_t units[3] = {(1 << 5) | 1, (4 << 5) | 1, 0};
  const double values[3] = {76, 0.5, 0};
  for (int i = 0; i < 3; ++i) {
    parent_objects[i] = object{};
    parent_values[i] = valeur{};
    parent_values[i].info.rayon = values[i];
    parent_objects[i].settings.unite = units[i];
    parent_objects[i].valeurs = &parent_values[i];
    parent_objects[i].nbvaleurs = 1;
    parent_list[i] = &parent_objects[i];
  }
  calculation = object{};
  calculation.parents = parent_list;
  calculation.nbparents = 3;
  calculation.valeurs = &result;
  calculation.nbvaleurs = 1;
  KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest&) { return 0; });
}

}  // namespace

KELVO_FUZZ_TARGET(formula_fuzz) {
  static bool ready = [] {
    prepare();
    return true;
  }();
  (void)ready;
  if (size == 0) return 0;
  formula_questions_off = data[0] & 1;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  current_calculation = &calculation;
  uint16_t position = 0;
  if (compile_formula(text.data(), &position) == 0) {
    check_formula_units();
    formula_code = formula_program;
    formula_cell_index = 0;
    formula_error = 0;
    evaluate_compiled_formula();
    GlobalFreeAndNull(&formula_program);
  }
  // The text helpers take the same bytes.
  mark_formula_variables(text.c_str(), &calculation);
  collect_formula_variables(text.c_str());
  std::string converted = text;
  convert_formula_to_c_locale(converted.data());
  current_calculation = nullptr;
  return 0;
}
