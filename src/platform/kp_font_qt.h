// The Qt form of platform fonts. Qt-side only: no kernel file includes this
// header.
#pragma once

#include <QFont>
#include <QFontMetricsF>

#include "platform/kp_gdi_objects.h"

struct KPFont::Impl {
  QFont font;
};

// Fonts are sized in points of one device pixel each: metrics and drawing
// use a 72-dpi device.
QFontMetricsF kp_font_metrics(const QFont& font);
// Marks an image as 72 dpi so that fonts drawn on it keep that rule.
void kp_set_device_dpi(class QImage& image);
KPFont* kp_font_from_qfont(const QFont& font);
