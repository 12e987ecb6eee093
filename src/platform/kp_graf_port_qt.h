// The Qt side of drawing surfaces. Qt-side only: no kernel file includes
// this header.
#pragma once

#include <QImage>
#include <QPainter>

#include "platform/kp_graf_port.h"

// A surface over a painter the caller keeps active (a printer page, a
// widget being painted); width and height in device pixels.
KPContext* kp_context_for_painter(QPainter* painter, int width, int height);
// The image of a bitmap surface (sharing its memory), or a null image.
QImage kp_context_image(const KPContext* context);
// The pixels of a bitmap surface read in place (a null image without
// them), for drawing them elsewhere at once: valid while the surface lives
// unchanged in size. A copy of an image its painter is drawing on would be
// a deep copy of the whole picture.
QImage kp_context_pixels(const KPContext* context);
QPainter* kp_context_painter(const KPContext* context);
