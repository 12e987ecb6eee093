// The figure as an image file, and image files read into bitmaps.
#pragma once

#include <cstdint>

class KPUniversalBitmap;

// Writes the current figure, drawn anew into the shared static layer of its
// view, as a PNG image of width x height pixels; true when the file was
// written. Parts of the image beyond the layer are white.
bool export_figure_image_file(const char* path, int32_t width, int32_t height);

// A new bitmap for the image file (any type the platform reads), or null
// when nothing could be read. Owned by the caller.
KPUniversalBitmap* load_image_file_to_bitmap(const char* path);
