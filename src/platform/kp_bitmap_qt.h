// The Qt forms of platform bitmaps. Qt-side only: no kernel file includes
// this header.
#pragma once

#include <QImage>

#include "platform/kp_bitmap.h"

// A bitmap made from an image (no pixel memory: data type 3). Owned by the
// caller.
KPUniversalBitmap* kp_bitmap_from_image(const QImage& image);
// The image of a bitmap: over its pixel memory when it has some (valid while
// the bitmap lives and is not resized), else its own image; null when none.
QImage kp_bitmap_image(const KPUniversalBitmap* bitmap);
