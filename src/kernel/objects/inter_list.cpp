#include "kernel/objects/inter_list.h"

#include <cstring>

#include "kernel/model/memory.h"

namespace {

constexpr int32_t kStep = 5;

bool grow(inter_list* list, int32_t capacity) {
  auto* values = alloc_block<valeur>(static_cast<uint32_t>(capacity));
  auto* indices = alloc_block<uint32_t>(static_cast<uint32_t>(capacity));
  if (!values || !indices) {
    GlobalFreeAndNull(&values);
    GlobalFreeAndNull(&indices);
    return false;
  }
  if (list->count > 0) {
    std::memcpy(values, list->values, sizeof(valeur) * list->count);
    std::memcpy(indices, list->indices, sizeof(uint32_t) * list->count);
  }
  GlobalFreeAndNull(&list->values);
  GlobalFreeAndNull(&list->indices);
  list->values = values;
  list->indices = indices;
  list->capacity = capacity;
  return true;
}

}  // namespace

valeur intersect_probe{};
uint32_t intersect_probe_index = 0;

bool intersection_results_add(inter_list* list, uint32_t index, const valeur* value) {
  if (!list) return false;
  if (!value) {
    list->count = 0;
    return list->values || grow(list, kStep);
  }
  if (!list->values || list->count >= list->capacity) {
    if (list->capacity > INT32_MAX - kStep) return false;
    if (!grow(list, list->values ? list->capacity + kStep : kStep)) return false;
  }
  list->values[list->count] = *value;
  list->indices[list->count] = index;
  ++list->count;
  return true;
}

void intersection_results_free(inter_list* list) {
  if (!list) return;
  GlobalFreeAndNull(&list->values);
  GlobalFreeAndNull(&list->indices);
  list->capacity = 0;
  list->count = 0;
}
