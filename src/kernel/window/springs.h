// Springs: the coil drawn for a spring object, for the springs of the
// multiple animation and for the spring being pulled; the release
// animations that shrink a let-go spring towards its anchor and past it;
// and the spring type's drawing and hit test.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

struct DisplayDevice;
struct object;

// A coil of 100 dots in five turns from (x0, y0) to (x1, y1), figure
// coordinates, on the device. Each turn is an ellipse 5 pixels across the
// spring and 10 along it; a spring of length 0 is one ellipse.
void draw_spring(DisplayDevice* dd, double x0, double y0, double x1, double y1, uint32_t color);

// The spring type: drawn from its anchor (value 0) to the anchor less its
// vector (value 1) in its colour, or in the background colour while it is
// being erased; hit on either end or along it.
void draw_spring_object(DisplayDevice* dd, object* spring);
bool hit_test_spring(object* spring, tagPOINT* point);

// Every spring of the multiple animation, in black, on the static device.
void draw_all_springs();

// The release animations on the moving device: every spring of the
// multiple animation at once, and one spring from (x0, y0) pulled to
// (x1, y1). A spring shorter than 4 pixels (|dx| + |dy|) is not animated.
void draw_animation_springs();
void draw_spring_between_points(int32_t x0, int32_t y0, int32_t x1, int32_t y1);

// The positions d of the frames of a release animation that runs while d
// is below `bound` (the free end is drawn at d / length of the way back).
std::vector<int32_t> spring_release_frames(int32_t bound);
// The bound of the release of one spring of Manhattan length n, and of
// the animation of all springs.
inline int32_t spring_release_bound(int32_t n) { return 3 * n / 2; }
inline constexpr int32_t kAllSpringsReleaseBound = 150;

// Installs the spring type's operations and the springs' services to the
// drags and the tools.
void bind_spring_operations();
