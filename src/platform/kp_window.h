// The base window class of the platform layer on Qt: the defaults of the
// window part of the handle interface (no window longs, no paint brackets).
// Figure windows and dialogs derive from it. Qt header: the kernel never
// includes it.
#pragma once

#include <QWidget>

#include "platform/kelvo_wrap_machine.h"

class KPWindow : public QWidget, public KPWindowLongHolder, public KPPaintTarget {
 public:
  explicit KPWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Window) : QWidget(parent, flags) {}

  LONG_PTR getWindowLong(int) override { return 0; }
  void setWindowLong(int, LONG_PTR) override {}
  HDC beginPaint(tagPAINTSTRUCT*) override { return nullptr; }
  bool endPaint(tagPAINTSTRUCT*) override { return false; }
};
