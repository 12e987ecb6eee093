// The thumbnail of the whole drawing page that the page sheet shows: the
// current figure scaled down for the time of one drawing into a cached
// off-screen device, texts shown as grey boxes.
#pragma once

#include <cstdint>

struct DisplayDevice;
struct kelvo_win_info;

// The pixels of the thumbnail: 32-bit pixels, rows top-down, `pitch` pixels
// apart. They belong to the cache and stay valid until the next thumbnail.
struct page_image {
  const uint32_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;
};

// Draws the thumbnail for a print scaling factor p (> 0): the scale s is
// 300 pixels over the drawing page's height, and the figure is scaled by
// s x p for the drawing. Null pixels without a current figure or figure
// view, or for a p that is not a positive number. Out arguments (each may
// be null): width, height and s. The figure's values, label and text
// positions and the unit length are exactly as before afterwards, and the
// document is not marked edited.
page_image make_figure_page_image(double print_scale, int32_t* width, int32_t* height, double* scale);

// Scales the current figure by k for a drawing; the scope puts back every
// value it changed when it ends, whatever happens meanwhile.
class scale_figure_for_printing {
 public:
  explicit scale_figure_for_printing(double k);
  ~scale_figure_for_printing();
  scale_figure_for_printing(const scale_figure_for_printing&) = delete;
  scale_figure_for_printing& operator=(const scale_figure_for_printing&) = delete;

 private:
  struct saved;
  saved* saved_;
};

// Draws every object of the figure in list order into the device, each
// without its picture and with thickness 0, over the figure's background.
// With a box scale above 0 a text-like object is a light grey box of its
// text frame scaled by it instead; with a label box scale above 0 an
// object's label is a light grey box of its frame scaled by that one,
// centred where the label is.
void draw_figure_plain(DisplayDevice* dd, kelvo_win_info* fig, double text_box_scale, double label_box_scale);

// A new off-screen device showing the current figure's objects inside the
// rectangle of figure coordinates; the caller destroys it. Null without a
// current figure view or figure, or for an empty rectangle or one of more
// than 2^26 pixels.
DisplayDevice* render_figure_image(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Frees the cached device (the application's end, and tests).
void free_page_image_cache();
