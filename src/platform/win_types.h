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

// Win32 WINDOWPLACEMENT with the device rectangle some platforms add: 15 words.
struct tagWINDOWPLACEMENT {
  uint32_t length;
  uint32_t flags;
  uint32_t showCmd;
  tagPOINT ptMinPosition;
  tagPOINT ptMaxPosition;
  tagRECT rcNormalPosition;
  tagRECT rcDevice;
};

// The Win32 OPENFILENAME record as the file dialogs read and write it.
struct tagOFN {
  uint32_t lStructSize;
  HWND hwndOwner;
  HANDLE hInstance;
  const char* lpstrFilter;
  char* lpstrCustomFilter;
  uint32_t nMaxCustFilter;
  uint32_t nFilterIndex;
  char* lpstrFile;
  uint32_t nMaxFile;
  char* lpstrFileTitle;
  uint32_t nMaxFileTitle;
  const char* lpstrInitialDir;
  const char* lpstrTitle;
  uint32_t Flags;
  uint16_t nFileOffset;
  uint16_t nFileExtension;
  const char* lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  const char* lpTemplateName;
};

// One directory entry of FindFirstFile / FindNextFile.
struct tagWIN32_FIND_DATA {
  uint32_t dwFileAttributes;
  uint64_t ftCreationTime;
  uint64_t ftLastAccessTime;
  uint64_t ftLastWriteTime;
  uint32_t nFileSizeHigh;
  uint32_t nFileSizeLow;
  uint32_t dwReserved0;
  char cFileName[260];
};

using WINDOWPLACEMENT = tagWINDOWPLACEMENT;
using OPENFILENAME = tagOFN;
using WIN32_FIND_DATA = tagWIN32_FIND_DATA;
