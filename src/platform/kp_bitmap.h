// Pictures as Win32 device-independent bitmaps: a header followed by rows of
// pixels, bottom-up unless the height is negative, each row padded to a
// multiple of 32 bits. A KPUniversalBitmap keeps one picture as pixel memory
// in the layout its image is read from: rows top-down, the DIB's own byte
// order (blue, green, red), and at 32 bits a fourth byte of 255. Plain C++:
// the kernel includes this header.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/kp_gdi_objects.h"
#include "platform/win_types.h"

class KPGrafPort;

struct tagBITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // negative for top-down rows
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(tagBITMAPINFOHEADER) == 40);

struct tagRGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

struct tagBITMAPINFO {
  tagBITMAPINFOHEADER bmiHeader;
  tagRGBQUAD bmiColors[1];
};

inline constexpr uint32_t DIB_RGB_COLORS = 0;
inline constexpr uint32_t DIB_PAL_COLORS = 1;

// Bytes of one DIB row: width pixels of that depth, padded to 32 bits; 0 for
// sizes that make no sense.
int32_t kp_dib_row_bytes(int32_t width, int32_t bitsPerPixel);

class KPUniversalBitmap : public KPGdiObject {
 public:
  struct Impl;
  KPUniversalBitmap();
  ~KPUniversalBitmap() override;
  KPUniversalBitmap(const KPUniversalBitmap&) = delete;
  KPUniversalBitmap& operator=(const KPUniversalBitmap&) = delete;
  KPObjectKind kind() const override { return KPObjectKind::Bitmap; }

  // From a DIB-shaped record and its pixels in the record's row order (null
  // pixels: zeroed memory); null for a depth other than 8, 24 or 32 bits or
  // an absurd size. The caller owns the bitmap.
  static KPUniversalBitmap* createUniversalBitmap(const tagBITMAP* record, const void* pixels);

  const tagBITMAP* winBitmap() const;
  int height() const;
  int width() const;
  void getBITMAP(tagBITMAP* out) const;
  // 2 with pixel memory, 3 with only an image, 0 with neither.
  int getOriginalDataType() const;
  // The pixel memory (rows top-down, winBitmap()->bmWidthBytes apart).
  void* getOriginalData() const;

  Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

KPUniversalBitmap* CreateDIBitmap(KPGrafPort* dc, const tagBITMAPINFOHEADER* header, uint32_t init,
                                  const void* pixels, const tagBITMAPINFO* info, uint32_t usage);
// A bitmap over zeroed pixels (at 32 bits, black with the fourth byte 255);
// *pixels receives its memory, through which the caller draws the picture.
KPUniversalBitmap* CreateDIBSection(KPGrafPort* dc, const tagBITMAPINFO* info, uint32_t usage, void** pixels,
                                    HANDLE section, uint32_t offset);
// Copies `count` scan lines starting at scan line `first` into the buffer,
// which holds `count` rows of the header's width and depth, bottom-up when
// the header's height is positive. Answers 0 when the bitmap has no pixels.
int GetDIBits(KPGrafPort* dc, const KPUniversalBitmap* bitmap, uint32_t first, uint32_t count, void* buffer,
              const tagBITMAPINFOHEADER* header, uint32_t usage);
// Stands for StretchDIBits: draws the whole picture into the destination
// rectangle (surface pixels, y down) with the raster operation.
void create_autoreleased_bitmap(KPGrafPort* dc, int x, int y, int width, int height, int srcX, int srcY,
                                int srcWidth, int srcHeight, const void* pixels, const tagBITMAPINFO* info,
                                uint32_t usage, uint32_t rop);
