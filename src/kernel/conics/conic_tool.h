// The conic tool: its handler takes the five points one by one, and its
// rubber band shows, between clicks, the segment, the arc of a circle or
// the conic the points picked so far and the cursor would give. With fewer
// than four points picked, the position where the cursor last left the
// neighbourhood of the last picked point serves as an extra point.
#pragma once

#include <cstdint>

#include "kernel/model/figure.h"

// Set while the cursor stays near the last picked point; the position
// where it last left it.
extern uint8_t conic_preview_near;
extern tagPOINT conic_preview_remembered;

bool conic_tool_handler(uint16_t* method, object** designated);
void conic_preview(tagPOINT* cursor);
