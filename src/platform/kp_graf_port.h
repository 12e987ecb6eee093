// The device context of the kernel's Win32-like interface: one port per
// drawing target turns the kernel's integer, y-down drawing calls into
// drawing on a surface. Device space is y-up: a kernel point (x, y) lands on
// the device point (x * scale, (H - y) * scale), H being the height of the
// port frame; the surface itself is addressed y-down, so at scale 1 a kernel
// point is the surface pixel of the same coordinates. Plain C++: the kernel
// includes this header; the surfaces are Qt objects behind KPContext.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/kp_gdi_objects.h"
#include "platform/win_types.h"

// A drawing surface: an image over pixel memory (32-bit pixels, 0xFFRRGGBB
// words, rows top-down) or, on the Qt side, a printer page.
class KPContext {
 public:
  struct Impl;
  // An image over the caller's pixel memory, which must outlive the context.
  static KPContext* createBitmapContext(void* pixels, int width, int height, int bytesPerRow);
  // An image over its own memory, filled with white.
  static KPContext* createImageContext(int width, int height);
  explicit KPContext(Impl* impl);
  ~KPContext();
  KPContext(const KPContext&) = delete;
  KPContext& operator=(const KPContext&) = delete;

  int width() const;
  int height() const;
  void* pixels() const;  // null for a printer page
  int bytesPerRow() const;
  Impl* impl() const { return impl_; }

 private:
  Impl* impl_;
};

struct KPRectF {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

struct KPFinePixels;
class QPainterPath;

class KPGrafPort : public KPGdiObject {
 public:
  KPGrafPort();
  ~KPGrafPort() override;
  KPGrafPort(const KPGrafPort&) = delete;
  KPGrafPort& operator=(const KPGrafPort&) = delete;
  KPObjectKind kind() const override { return KPObjectKind::Port; }

  static KPGrafPort* createKPDC();
  static KPGrafPort* createCGDC() { return createKPDC(); }
  // 0 background-colour brush (frozen at the first request), 1 light-grey
  // brush, 5 null brush, 7 black pen, 13 system font; null for any other.
  static KPGdiObject* getStockObject(int index);

  void allowsAntialiasing(bool allow);
  bool antialiasing() const { return antialias_; }
  void drawBackground(uint32_t color);
  // Width of a Mac Roman text in the port's text font; 100 for a width of
  // 10000 or more.
  long stringWidth(std::string_view macRoman) const;
  // Draws a Mac Roman text with its top at the rectangle's bottom edge and
  // its left at the rectangle's left; the rectangle's right becomes the end
  // of the drawn text.
  void kelvoDrawText(const char* text, int length, tagRECT* rect, uint32_t format);
  // Draws a laid-out rich text (a QTextDocument) with its top-left corner at
  // (x, y) in port units (y down), scaled by `scale`, clipped to `width` x
  // `height` units when both are positive; characters without a colour of
  // their own take `color` (0x00RRGGBB).
  void drawTextDocument(const void* document, double x, double y, double scale, double width, double height,
                        uint32_t color);
  // Draws a text that paints itself: `paint` is handed the port's painter
  // (a QPainter) with its origin at (x, y) in port units (y down), scaled by
  // `scale`, clipped as drawTextDocument clips, its pen in `color`
  // (0x00RRGGBB); `clip` is that clip rectangle, or null.
  // `ink`, when the text knows it, bounds every pixel `paint` may touch (in
  // the text's units) and promises that `paint` changes nothing of the
  // painter but its pen and font: a text whose ink lies inside its frame
  // with room to spare is then drawn without the clip, whose cost grows
  // with the surface's height, and without saving the painter's state.
  using TextPainter = void (*)(void* painter, const void* text, const KPRectF* clip);
  void drawText(TextPainter paint, const void* text, double x, double y, double scale, double width, double height,
                uint32_t color, const KPRectF* ink = nullptr);
  void currentDrawTextFont(KPFont* font);
  // The font given with currentDrawTextFont (null: the system font).
  KPFont* drawTextFont() const { return sCurFont_; }
  void kelvoSimpleDrawTexString(std::string_view macRoman, double x, double y);
  bool isPrinting() const { return printing_; }
  void setPrinting(bool printing);

  void globalToLocalTextSizeDD(tagPOINT* size) const;
  void localtoGlobalTextSizeDD(tagPOINT* size) const;
  void localtoGlobalDD(tagPOINT* point) const;
  void globaltoLocalDD(tagPOINT* point) const;

  int setBkMode(int mode);
  int setROP2(int rop);
  int setPolyFillMode(int mode);

  BOOL ellipse(int left, int top, int right, int bottom);
  // Counter-clockwise (y up) from start to end, angles in radians.
  BOOL arc(int cx, int cy, float radius, float start, float end);
  void setPixel(int x, int y, uint32_t color);
  void lineTo(int x, int y);
  void lineToFast(int x, int y);
  void moveTo(int x, int y);
  void moveToEx(int x, int y, tagPOINT* previous);
  void polygon(const tagPOINT* points, int count);
  void fillRect(const tagRECT* rect);
  void frameRect(const tagRECT* rect);
  KPRectF _intToFloatRect(const tagRECT* rect) const;

  // Selects a brush, pen, font or bitmap (a bitmap becomes the surface the
  // port draws on); answers the object of that kind selected before.
  KPGdiObject* selectObject(KPGdiObject* object);
  void SetFillColor();
  void SetStrockColor();
  void setCurrentPenAttributes();
  uint32_t setKelvoTextColor(uint32_t color);
  void setBrush(KPBrush* brush);
  KPBrush* getBrush() const { return currentBrush_; }
  KPPen* getCurrentPen() const { return currentPen_; }
  KPFont* getCurrentFont() const { return currentFont_; }
  KPFont* setCurrentFont(KPFont* font);
  // The font text is drawn with (the system font unless one was given).
  KPFont* getTextFont() const { return textFont(); }
  void selectFont(const void*) {}
  KPGdiObject* getCurrentObject(int kind) const;
  KPUniversalBitmap* getSelectedBitmap() const { return bitmap_; }

  float getScale() const { return scale_; }
  float getWidth() const { return static_cast<float>(portFrame_.width); }
  float getHeight() const { return static_cast<float>(portFrame_.height); }
  void setFrame(const KPRectF& frame) { portFrame_ = frame; }
  KPRectF getFrame() const { return portFrame_; }
  void setGrafScale(float scale) { scale_ = scale; }

  KPContext* getContext() const { return context_; }
  void getBitmapSize(int* width, int* height) const;
  // Binds the port to a surface (null unbinds it); the port frame becomes
  // the surface's bounds. The port does not own the surface.
  void fixContext(KPContext* context, const KPRectF& frame, const KPRectF& clip);

  // Draws a bitmap into the rectangle (surface pixels, y down) with raster
  // operation 13 (copy) or 9 (mask: multiply with what lies beneath).
  void drawImageRect(const KPUniversalBitmap* bitmap, int x, int y, int width, int height, int rop);
  // Draws a bitmap with its bottom-left corner at (x, y) (surface pixels, y
  // down), scaled by `scale` and its bottom edge turned by `angle` radians
  // (clockwise on screen); raster operation as drawImageRect.
  void drawImageTurned(const KPUniversalBitmap* bitmap, double x, double y, double scale, double angle, int rop);
  // Copies another surface's pixels onto this port's surface at the top left.
  void copySurface(const KPContext* source);

  struct State;

 private:
  void strokeTo(double x0, double y0, double x1, double y1);
  // Where a stroke of the pen is written straight into the image's pixels
  // (kp_fine_strokes.h), and in which colour; false where the painter
  // draws it.
  bool fineStroke(KPFinePixels* target, uint32_t* color) const;
  bool fineRectangle(const QPainterPath& path);
  void applyPen();
  void applyBrush();
  KPFont* textFont() const;

  State* state_ = nullptr;
  KPContext* context_ = nullptr;
  KPContext* ownContext_ = nullptr;  // the surface of a selected bitmap
  KPUniversalBitmap* bitmap_ = nullptr;
  KPRectF portFrame_;
  float scale_ = 1.0f;
  // The pixels a text drawn without a clip reached outside its frame,
  // kept while it is drawn.
  std::vector<unsigned char> keptPixels_;
  KPBrush* sCurBrush_ = nullptr;
  KPBrush* currentBrush_ = nullptr;
  KPPen* sCurPen_ = nullptr;
  KPPen* currentPen_ = nullptr;
  KPBrush* textBrush_ = nullptr;
  KPPen* textPen_ = nullptr;
  KPFont* sCurFont_ = nullptr;
  KPFont* currentFont_ = nullptr;
  mutable KPFont* defaultFont_ = nullptr;
  tagPOINT currentPos_{0, 0};
  int polyFillMode_ = 0;
  int opMode_ = 13;
  int bkMode_ = 0;
  bool printing_ = false;
  bool antialias_ = true;
  KPGdiObject* cache_ = reinterpret_cast<KPGdiObject*>(intptr_t{-1});
};
