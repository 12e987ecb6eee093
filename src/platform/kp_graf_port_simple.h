// A small drawing port over a caller's QPainter, for the panels that draw
// with pens and brushes of their own (the macro icon editor and its
// palette): colours are words 0x00BBGGRR (red in the low byte), pens carry
// a width and a dash style, polygons fill even-odd or winding. A Qt-side
// header: the kernel never includes it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

class QPainter;

class KPGrafPortSimple {
 public:
  struct Pen {
    uint32_t color = 0;  // 0x00BBGGRR
    int width = 1;
    int style = 0;       // low 4 bits: the dash of setCurrentPenAttributes
  };

  KPGrafPortSimple(QPainter* context, const tagRECT& frame);

  // Fill colour; answers the previous one.
  uint32_t setBrush(uint32_t color);
  uint32_t getBrush() const { return brush_; }
  // Stroke colour, width and dash; answers the previous pen.
  Pen selectObject(const Pen& pen);
  void moveTo(int32_t x, int32_t y);
  tagPOINT moveToEx(int32_t x, int32_t y);
  void lineTo(int32_t x, int32_t y);
  void fillRect(const tagRECT& r);
  void frameRect(const tagRECT& r);
  // A closed path, filled (mode 1 even-odd, otherwise winding) and stroked.
  void polygon(const tagPOINT* points, int count);
  int setPolyFillMode(int mode);
  QPainter* getContext() const { return context_; }
  const tagRECT& portFrame() const { return frame_; }

  // The dash lengths of a pen style ({1, 0} is solid; style 7 is drawn solid).
  static std::vector<double> dashPattern(int style);

 private:
  void setCurrentPenAttributes();

  QPainter* context_;
  tagRECT frame_;
  uint32_t brush_ = 0x00FFFFFF;
  Pen pen_;
  int poly_fill_mode_ = 2;
  tagPOINT current_{0, 0};
};
