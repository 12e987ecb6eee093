// The drawing passes over the current figure: a full redraw into the shared
// off-screen device in three passes (objects that are not opaque, opaque
// objects, then points), the traces, the figure background and a few
// queries. With no current figure the passes draw nothing and the queries
// answer false or null.
#pragma once

#include <cstdint>
#include <vector>

struct DisplayDevice;
struct object;

// Whole screen pixels per centimetre, which the shell sets from the screen at
// start-up (set_screen_resolution): the pick tolerance, the speed of a
// flick and the calculator screens shown as backgrounds follow it.
extern double screen_pixels_per_cm;

// The passes, in the order they are drawn: what is drawn in a later pass
// lies above what an earlier one drew, whatever their order in the list.
enum : int {
  kPassTranslucent = 0,  // objects that are not opaque, plain points aside
  kPassOpaque = 1,       // opaque objects, plain points aside
  kPassPoints = 2,       // plain points, with their labels
  kPassCount = 3
};

// Whether the object is drawn in the pass (kPass*).
bool object_drawn_in_pass(const object* o, int pass);
// Draws the objects of the layer (kLayer* of draw_object.h) in three passes.
void draw_figure_objects(DisplayDevice* dd, uint8_t layer);
// The same from `from` to the end of the list, when no object before `from`
// is moving: a drag draws its moving layer without walking the static part.
// With still_only, only the objects the drag does not move.
void draw_figure_objects_from(DisplayDevice* dd, uint8_t layer, object* from, bool still_only = false);
// One pass of the same walk.
void draw_figure_pass(DisplayDevice* dd, uint8_t layer, object* from, int pass, bool still_only = false);
// The moving objects of a drag, in list order, in the same three passes on
// the moving layer: what the moving layer shows when the still objects
// above them are kept in the still layer.
void draw_moving_objects(DisplayDevice* dd, const std::vector<object*>& moving);
// One pass of the same.
void draw_moving_pass(DisplayDevice* dd, const std::vector<object*>& moving, int pass);
// Full redraw into static_display (objects only when draw_objects is
// non-zero), then the copy into moving_display.
void redraw_figure(uint8_t draw_objects);
// Draws the objects that leave a trace into static_display and the trace
// layer, without their labels.
void redraw_marked_objects();
// The same over `marked`, every object of the figure that leaves a trace,
// in list order.
void redraw_marked_objects(const std::vector<object*>& marked);

void draw_figure_background(DisplayDevice* dd);
void refresh_figure_background(DisplayDevice* dd);
void draw_background_picture(DisplayDevice* dd);

bool figure_has_background();
bool figure_has_marked_object();
// The first text of the figure whose references include the object.
object* find_referencing_text(const object* obj);
