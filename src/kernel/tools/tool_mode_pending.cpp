// The drag variant and the drag-in-progress flag, until the tool dispatch
// that owns them is merged.
#include "kernel/tools/pick.h"

uint16_t drag_mode = 1;
uint8_t manipulating = 0;
