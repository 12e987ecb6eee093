// Building and freeing the figures the benchmarks measure, and the device
// they draw into. Objects are made through the same creation path as the
// tools, in the current figure.
#pragma once

#include <initializer_list>

struct DisplayDevice;
struct construct_class;
struct object;

namespace bench {

// What the application has while a figure is open: the classes, the colour
// table, the version information and the text view it installs. Each
// benchmark holds one for its whole run; its end frees the current figure
// and the classes and takes the text view out again, so that the next
// benchmark starts from the same state whatever ran before.
class Environment {
 public:
  Environment();
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
};

// An object of `cls`, by `method`, from `parents`; (h, v) is where an object
// placed by a click (a free point, a number) goes.
object* make(construct_class& cls, int method, std::initializer_list<object*> parents, double h = 0, double v = 0);

// A free point at (h, v).
object* point(double h, double v);

// Two free points of group `g`, the groups laid out on a grid, with the
// segment, the line and the circle through them.
struct PointPair {
  object* a;
  object* b;
};
PointPair point_pair_group(int g);

// Frees the current figure and its undo copy, and leaves no current figure.
void drop_current_figure();

// The flush by which the figure window shows a drag step, installed as the
// view installs it: the still layer laid over the moving layer, the moving
// layer copied into the view's own picture, and the static layer copied
// back into the moving one. The layers are static_display and
// moving_display as the benchmark sets them; the view's picture is a
// device of their kind. Held for a benchmark's run; its end takes the
// hooks out again.
class WindowFlush {
 public:
  explicit WindowFlush(bool surfaces = false);
  ~WindowFlush();
  WindowFlush(const WindowFlush&) = delete;
  WindowFlush& operator=(const WindowFlush&) = delete;
};

// An off-screen display device of 1,600 x 1,000 pixels, drawing without
// antialiasing: a window's layer at 100 %, which the pixel pen draws on.
DisplayDevice* display_device();

// A display device of 1,600 x 1,000 pixels that only its port draws on, with
// antialiasing: a window's layer at any other zoom, every stroke going
// through the device context.
DisplayDevice* surface_device();

}  // namespace bench
