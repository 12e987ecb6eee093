#include "kernel/tools/draw_feedback.h"

object* first_hit_object = nullptr;
uint8_t selection_drawing = 0;
