// Tool state that the drawing of a figure reads: the attribute tool in use,
// the object that starts the moving layer of a drag, and the flag the
// selection feedback raises while it draws the marks of selected objects.
#pragma once

#include <cstdint>

struct object;

// Attribute kinds the current attribute tool applies; kAttributeShowHide
// alone is the show/hide tool.
inline constexpr uint16_t kAttributeShowHide = 0x8000;
extern uint16_t attribute_mask;

// interaction_state (kernel/tools/hit_state.h) while the pin tool and while
// an attribute tool is current.
inline constexpr uint8_t kInteractionPinTool = 5;
inline constexpr uint8_t kInteractionAttributeTool = 6;

// The first object found under the cursor; the moving layer is drawn only
// while it is set.
extern object* first_hit_object;

// 1 while the selection feedback draws: strokes get a background-coloured
// halo and the selection dash.
extern uint8_t selection_drawing;
