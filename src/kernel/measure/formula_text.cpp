#include "kernel/measure/formula_text.h"

#include "kernel/files/text_convert.h"

int convert_formula_to_c_locale(char* formula) {
  if (formula == nullptr || decimal_separator == '.') return 0;
  for (char* p = formula; *p != '\0'; ++p) {
    bool digit_before = p != formula && p[-1] >= '0' && p[-1] <= '9';
    bool digit_after = p[1] >= '0' && p[1] <= '9';
    if (*p == decimal_separator && digit_before && digit_after)
      *p = '.';
    else if (*p == ';')
      *p = ',';
  }
  return 0;
}
