// The Win32-shaped records and scalar types of the platform interface the
// kernel is written against. Plain C++: the kernel includes this header.
#pragma once

#include <cstdint>

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using COLORREF = uint32_t;  // red in bits 0-7, green 8-15, blue 16-23

// Window handles are opaque pointers to native objects; message parameters
// and window longs are pointer-sized so a pointer fits in any of them.
using HWND = void*;
using HDC = void*;
using HMENU = void*;
using HGDIOBJ = void*;
using HANDLE = void*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;

struct tagPOINT {
  int32_t x;
  int32_t y;
};

struct tagSIZE {
  int32_t cx;
  int32_t cy;
};

struct tagRECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// The brush record of a geometric pen; the fourth word carries the phase at
// which the pen's dashes start.
struct tagLOGBRUSH {
  uint32_t lbStyle;
  COLORREF lbColor;
  uintptr_t lbHatch;
  uint32_t lbDashPhase;
};

// The Win32 BITMAP record, plus one byte telling that pixel rows run top-down.
struct tagBITMAP {
  int32_t bmType;
  int32_t bmWidth;
  int32_t bmHeight;
  int32_t bmWidthBytes;
  uint16_t bmPlanes;
  uint16_t bmBitsPixel;
  void* bmBits;
  uint8_t topDown;
};

struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  tagRECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  uint8_t rgbReserved[32];
};

using RECT = tagRECT;
using POINT = tagPOINT;
