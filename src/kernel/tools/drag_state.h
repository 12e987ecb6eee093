// Whether a drag of objects is under way: set when the drag begins, cleared
// when it ends. Recomputations read it (a conic keeps its orientation sign
// while it is set).
#pragma once

#include <cstdint>

extern uint8_t drag_in_progress;
