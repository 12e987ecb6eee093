#include "app/kernel_iface/figure_description.h"

#include "kernel/model/classes.h"

std::string describe_object(const object* obj, int) {
  std::string line;
  if (!obj) return line;
  if (obj->otype && obj->otype->name) line = obj->otype->name;
  if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = static_cast<char>(line[0] - 'a' + 'A');
  if (obj->str && obj->str[0] == 1 && obj->str[1]) {
    line += " (";
    line += obj->str + 1;
    line += ')';
  }
  return line;
}
