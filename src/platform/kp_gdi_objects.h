// The kernel's drawing objects other than the device context: pens, solid
// brushes, fonts, the object query and their release. Plain C++: the kernel
// includes this header; the Qt forms live behind pointers in the .cpp files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_types.h"

class KPUniversalBitmap;

// Assertion for calls the kernel must never make: stops a debug build, and
// lets a release build go on with the harmless fallback that follows it.
#ifdef NDEBUG
#define KP_ASSERT(cond, what) ((void)0)
#else
#include <cassert>
#define KP_ASSERT(cond, what) assert((cond) && (what))
#endif

enum class KPObjectKind { Pen, Brush, Font, Bitmap, Port };

// Every object the kernel selects into a device context or releases with
// DeleteObject. Stock objects are shared and never released.
class KPGdiObject {
 public:
  virtual ~KPGdiObject() = default;
  virtual KPObjectKind kind() const = 0;
  bool isStock() const { return stock_; }
  void markStock() { stock_ = true; }

 private:
  bool stock_ = false;
};

class KPPen : public KPGdiObject {
 public:
  KPObjectKind kind() const override { return KPObjectKind::Pen; }

  uint32_t getAdvanced() const { return advanced_; }
  void setAdvanced(uint32_t phase) { advanced_ = phase; }
  long getStyle() const { return penStyle_; }
  void setStyle(long style) { penStyle_ = static_cast<int>(style); }
  float getSize() const { return penSize_; }
  void setSize(float size) { penSize_ = size; }
  void setStrokeColor(uint32_t color) { strokeKPColor_ = color; }
  uint32_t strokeColor() const { return strokeKPColor_; }
  void select() {}

  // A geometric pen: colour from the brush record, dash phase from its
  // fourth word; the user dash array is not used.
  static KPPen* extCreatePen(uint32_t style, uint32_t width, const tagLOGBRUSH* brush, uint32_t count,
                             const uint32_t* dashes);
  static KPPen* createPen(long style, float size, uint32_t colorRef);

 private:
  uint32_t strokeKPColor_ = 0;  // red in bits 0-7
  float penSize_ = 1.0f;        // device units
  int penStyle_ = 0;
  uint32_t advanced_ = 0;       // dash phase in device units
};

class KPBrush : public KPGdiObject {
 public:
  KPObjectKind kind() const override { return KPObjectKind::Brush; }
  uint32_t getBrushColor() const { return colref_; }
  void setBrushColor(uint32_t color) { colref_ = color; }
  static KPBrush* createSolidBrush(uint32_t color);

 private:
  uint32_t colref_ = 0;
};

// A font of a face and a size in points (one point is one device pixel at
// scale 1). Face names cross this interface as Mac Roman bytes.
class KPFont : public KPGdiObject {
 public:
  struct Impl;
  explicit KPFont(std::unique_ptr<Impl> impl);
  ~KPFont() override;
  KPObjectKind kind() const override { return KPObjectKind::Font; }

  // The installed face of that name at that size, or null when there is none.
  static KPFont* withName(const char* face, double pointSize);
  // The system font at a size (12 when the size is not positive).
  static KPFont* systemFont(double pointSize);
  // Fonts exist only with the graphical interface (a QGuiApplication): the
  // kernel runs without one, and then both makers above answer null. Text
  // is then neither measured nor drawn; the first such use says so once on
  // the standard error (reportNoFontSystem).
  static bool fontSystemAvailable();
  static void reportNoFontSystem();
  static double systemFontSize();

  std::string fontName() const;     // the family as the font system names it
  std::string displayName() const;  // the name shown to the user
  double pointSize() const;
  KPFont* copy() const;

  // Metrics in device pixels at scale 1; descender is negative below the
  // baseline.
  double ascender() const;
  double descender() const;
  double leading() const;
  double widthOf(const char* macRoman, size_t length) const;

  Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// The Win32 LOGFONT record (60 bytes).
struct tagLOGFONT {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];
};
static_assert(sizeof(tagLOGFONT) == 60);

// The Win32 TEXTMETRIC record.
struct tagTEXTMETRIC {
  int32_t tmHeight;
  int32_t tmAscent;
  int32_t tmDescent;
  int32_t tmInternalLeading;
  int32_t tmExternalLeading;
  int32_t tmAveCharWidth;
  int32_t tmMaxCharWidth;
  int32_t tmWeight;
  int32_t tmOverhang;
  int32_t tmDigitizedAspectX;
  int32_t tmDigitizedAspectY;
  uint8_t tmFirstChar;
  uint8_t tmLastChar;
  uint8_t tmDefaultChar;
  uint8_t tmBreakChar;
  uint8_t tmItalic;
  uint8_t tmUnderlined;
  uint8_t tmStruckOut;
  uint8_t tmPitchAndFamily;
  uint8_t tmCharSet;
};

class KPGrafPort;

struct KPGetObject {
  // A bitmap copies its description into the buffer and answers true; a
  // font, null or anything else answers false and leaves the buffer alone.
  static bool getObject(KPGdiObject* object, int size, void* buffer);
};

// The face of the record at its height taken as a point size (the magnitude
// of a negative Win32 character height; 12 when 0); the system font of that
// size when the face is not installed. The caller owns the font.
KPFont* create_ns_font(const tagLOGFONT* record);
KPFont* CreateFontIndirect(const tagLOGFONT* record);

// Height, ascent, descent (negative) and maximum width (a copy of the height)
// of the port's current font; 0 without a port or font.
BOOL GetTextMetrics(KPGrafPort* dc, tagTEXTMETRIC* metrics);
// The height of the capitals (and digits) of the port's current font above
// its baseline and the font's ascent, in device pixels with their fractions
// (GetTextMetrics keeps whole pixels); false, and both 0, without a port or
// font.
BOOL GetTextCapMetrics(KPGrafPort* dc, double* cap_height, double* ascent);
// Fonts are not enumerated here: no face is copied, no callback runs.
int GetTextFace(KPGrafPort* dc, int size, char* buffer);
int EnumFontFamiliesEx(KPGrafPort* dc, tagLOGFONT* record, void* callback, intptr_t param, uint32_t flags);

// Releases a pen, brush, font, bitmap or device context; stock objects and
// null are left alone.
BOOL DeleteObject(KPGdiObject* object);
