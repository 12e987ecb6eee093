// The still layer of a drag: the objects that stay still but come after the
// first moving one in the list, and so lie above the moving layer, drawn
// once when the drag begins instead of at every step. A step draws only the
// moving objects on the moving layer; the view shows the still layer over
// them when the moving layer is put on screen.
//
// The figure is drawn in passes (drawing_passes.h): a plain point lies
// above every line and fill, whatever their order in the list. So the
// layer keeps each pass of the still objects apart, and a step draws only
// the first pass of the moving objects and leaves the others to the view,
// which draws them between the still passes: the moving layer's first
// pass, the still one, the moving second pass, the still one, and so on,
// as a drawing of the whole figure orders them.
//
// Each pass is drawn twice, over white and over black. Every way the kernel
// draws (copy, blending of anti-aliased edges, the multiplying fills) turns
// what lies beneath into a*beneath + b per colour channel, so the two
// pictures give a and b for each pixel, and the still objects can be laid
// over any moving picture as if they had been drawn on it. Only the pixels
// a pass touched are kept.
//
// The two pictures are kept from one drag to the next, every pixel back to
// white or black after each pass, and made again only when the moving
// device changes its size or drawing route. The window makes them when it
// makes its layers (prepare_still_layer), not the press of a drag.
//
// The layer is dropped whenever what it shows may change: the figure is
// drawn again (redraw_figure, which every change to a still object, a
// scroll, a zoom, an undo or the end of a drag goes through), the figure's
// list changes, the document is marked changed, or the moving device
// changes its place, zoom or surface.
#pragma once

#include <cstdint>
#include <vector>

struct DisplayDevice;
struct kelvo_win_info;
struct object;

// Whether the layer was built for the figure's current list, from `from`,
// and for the moving device as it is now.
bool still_layer_current(const kelvo_win_info* fig, const object* from);
// Draws the still objects of the moving layer from `from` (the first moving
// object) into a new layer shaped like the moving device. False when there
// is no moving device or no memory; the layer is then dropped.
bool build_still_layer(kelvo_win_info* fig, object* from);
// Makes the two pictures the layer is drawn on, shaped like the moving
// device, unless those kept already fit it. The window makes them with its
// layers, so that the first drag of a session does not allocate and fill
// them in its press. False when the device has no pixels or memory runs out.
bool prepare_still_layer(const DisplayDevice* moving);
// Whether the pictures kept fit the moving device: a build then makes none.
bool still_layer_ready(const DisplayDevice* moving);
// Forgets the layer; its memory stays for the next drag's build.
void drop_still_layer();
// Forgets the layer and gives its memory back (a figure window closing).
void free_still_layer();
// Whether a layer is built (and must be laid over the moving layer shown).
bool still_layer_built();
// A step that drew the first pass of `moving` leaves the later passes to
// compose_still_layer, which draws them between the still passes, or, when
// no view shows the step, to draw_deferred_moving_passes. `moving` must
// live until one of them has run.
void defer_moving_passes(const std::vector<object*>* moving);
// Draws the passes left by the step on `dd`, in order, and forgets them.
void draw_deferred_moving_passes(DisplayDevice* dd);
// Lays the still layer over the target's pixels, which hold the moving
// layer (same size as the moving device), pass by pass, drawing the passes
// the step left between them. Only those passes when no layer is built.
void compose_still_layer(DisplayDevice* target);
