#include "kernel/text/kernel_strings.h"

char* kernel_strings[kKernelStringCount] = {};

const char* kernel_string(int row) {
  if (row < 0 || row >= kKernelStringCount || kernel_strings[row] == nullptr) return "";
  return kernel_strings[row];
}
