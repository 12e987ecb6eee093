#include "kernel/tools/tool_args.h"

#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"

namespace {

constexpr TYPEOBJ kMatched = 0x8000;
constexpr TYPEOBJ kRuledOut = 0x4000;

// Length of the list up to its terminating 0.
int list_length(const TYPEOBJ* args) {
  int n = 0;
  while (args[n] != 0) ++n;
  return n;
}

bool accepts(TYPEOBJ code, uint16_t id) { return argument_code_accepts(code, id); }

// Marks the first free entry of the list that accepts id; false when none.
bool mark_entry(TYPEOBJ* args, uint16_t id) {
  const int n = list_length(args);
  for (int k = 0; k < n;) {
    TYPEOBJ code = args[k];
    if (code & kRuledOut) return false;
    if ((code & 0x3FFF) == 0x1FFF && k + 1 < n) {
      if (accepts(args[k + 1] & 0x3FFF, id)) return true;  // any number of them
      k += 2;
      continue;
    }
    if ((code & 0x3000) == 0x2000) {
      const int m = code & 0x0FFF;
      if (!(code & kMatched)) {
        for (int j = 1; j <= m && k + j < n; ++j) {
          if (accepts(args[k + j] & 0x3FFF, id)) {
            for (int i = 0; i <= m && k + i < n; ++i) args[k + i] |= kMatched;
            return true;
          }
        }
      }
      k += 1 + m;
      continue;
    }
    if (!(code & kMatched) && accepts(code, id)) {
      args[k] |= kMatched;
      return true;
    }
    ++k;
  }
  return false;
}

bool all_matched(const TYPEOBJ* args) {
  const int n = list_length(args);
  for (int k = 0; k < n;) {
    TYPEOBJ code = args[k];
    if (code & kRuledOut) return false;
    if ((code & 0x3FFF) == 0x1FFF) {
      k += 2;
      continue;
    }
    if ((code & 0x3000) == 0x2000) {
      if (!(code & kMatched)) return false;
      k += 1 + (code & 0x0FFF);
      continue;
    }
    if (!(code & kMatched)) return false;
    ++k;
  }
  return true;
}

bool depends_on(const object* o, const object* a, std::vector<const object*>& seen) {
  if (o == a) return true;
  for (const object* s : seen)
    if (s == o) return false;
  seen.push_back(o);
  for (int k = 0; k < o->nbparents; ++k)
    if (o->parents[k] != nullptr && depends_on(o->parents[k], a, seen)) return true;
  return false;
}

}  // namespace

int16_t find_tool_arg_slot(construct_class* cls, object* obj, uint16_t, uint8_t first, uint8_t) {
  if (cls == nullptr || cls->methods == nullptr || obj == nullptr || obj->otype == nullptr) return -1;
  const uint16_t id = obj->otype->id;
  int16_t found = -1;
  for (int16_t m = 0; cls->methods[m] != nullptr; ++m) {
    TYPEOBJ* args = cls->methods[m]->args;
    if (args == nullptr) continue;
    if (!mark_entry(args, id)) {
      for (int k = 0, n = list_length(args); k < n; ++k) args[k] |= kRuledOut;
      continue;
    }
    if (all_matched(args) && (found < 0 || !first)) found = m;
  }
  return found;
}

int16_t collect_dependency_chain(object* a, object* b) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig == nullptr || a == nullptr || b == nullptr || a == b) return 0;
  std::vector<const object*> seen;
  if (!depends_on(b, a, seen)) return 0;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, a, 0);
  int16_t count = 1;
  bool after_a = false;
  for (object* o = fig->first; o != nullptr && o != b; o = o->next) {
    if (o == a) {
      after_a = true;
      continue;
    }
    if (!after_a) continue;
    std::vector<const object*> s1, s2;
    if (depends_on(o, a, s1) && depends_on(b, o, s2)) {
      objlist_add(fig->inputs, o, 0);
      ++count;
    }
  }
  objlist_add(fig->inputs, b, 0);
  return static_cast<int16_t>(count + 1);
}
