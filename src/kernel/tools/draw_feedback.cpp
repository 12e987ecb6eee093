#include "kernel/tools/draw_feedback.h"

uint8_t selection_drawing = 0;
