// Converters between the kernel's integer rectangles and colour words and
// their Qt forms, for the palettes, dialogs and views. Qt-side only: no
// kernel file includes this header.
#pragma once

#include <QColor>
#include <QRectF>

#include "platform/win_types.h"

struct NSKelvoTypesConverter {
  // {left, top, right - left, bottom - top}
  static void KPRECTToNSRect(const tagRECT& rect, QRectF* out);
  // Each edge truncated toward zero.
  static void NSRectToKPRECT(const QRectF& rect, tagRECT* out);
  static QRectF MakeNSRectWithKPRECT(const tagRECT& rect);
  // Red in bits 0-7, green 8-15, blue 16-23.
  static QColor KPCOLORToNSColor(uint32_t color);
  // Red in bits 16-23, blue in bits 0-7 (a 0x00RRGGBB word).
  static QColor KPCOLORToNSColorV2(uint32_t color);
  // Components times 255, rounded down in single precision; an invalid
  // colour gives 0.
  static uint32_t NSColorToKPCOLOR(const QColor& color);
  static uint32_t NSColorToKPCOLORV2(const QColor& color);
};

struct NSKelvoColorUtilities {
  static uint32_t NSColorToKPCOLOR(const QColor& color) { return NSKelvoTypesConverter::NSColorToKPCOLOR(color); }
  static QColor KPCOLORToNSColor(uint32_t color) { return NSKelvoTypesConverter::KPCOLORToNSColor(color); }
};
