#include "kernel/tools/draw_feedback.h"

uint16_t attribute_mask = 0;
object* first_hit_object = nullptr;
uint8_t selection_drawing = 0;
