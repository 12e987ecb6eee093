#include "platform/kp_bitmap.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/kp_bitmap_qt.h"
#include "platform/kp_graf_port.h"

struct KPUniversalBitmap::Impl {
  bool hasRecord = false;
  tagBITMAP record{};
  std::vector<uint8_t> pixels;  // rows top-down, record.bmWidthBytes apart
  QImage image;                 // the picture when there is no pixel memory
};

namespace {

// Larger pictures are refused rather than allocated.
constexpr int64_t kMaxPixels = int64_t{1} << 28;

QImage::Format format_of(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 32: return QImage::Format_RGB32;
    case 24: return QImage::Format_BGR888;
    case 8: return QImage::Format_Grayscale8;
    default: return QImage::Format_Invalid;
  }
}

bool sane_size(int32_t width, int32_t height, int bits) {
  return width > 0 && height > 0 && format_of(bits) != QImage::Format_Invalid &&
         int64_t{width} * height <= kMaxPixels;
}

tagBITMAP record_from_header(const tagBITMAPINFOHEADER& h) {
  tagBITMAP r{};
  r.bmWidth = h.biWidth;
  r.bmHeight = h.biHeight == INT32_MIN ? 0 : h.biHeight < 0 ? -h.biHeight : h.biHeight;
  r.bmWidthBytes = kp_dib_row_bytes(h.biWidth, h.biBitCount);
  r.bmPlanes = h.biPlanes;
  r.bmBitsPixel = h.biBitCount;
  r.topDown = h.biHeight < 0 ? 1 : 0;
  return r;
}

}  // namespace

int32_t kp_dib_row_bytes(int32_t width, int32_t bits) {
  if (width <= 0 || bits <= 0 || bits > 32) return 0;
  const int64_t bytes = ((int64_t{width} * bits + 31) / 32) * 4;
  return bytes > INT32_MAX ? 0 : static_cast<int32_t>(bytes);
}

KPUniversalBitmap::KPUniversalBitmap() : impl_(std::make_unique<Impl>()) {}
KPUniversalBitmap::~KPUniversalBitmap() = default;

KPUniversalBitmap* KPUniversalBitmap::createUniversalBitmap(const tagBITMAP* r, const void* pixels) {
  if (!r || !sane_size(r->bmWidth, r->bmHeight, r->bmBitsPixel)) return nullptr;
  const int bits = r->bmBitsPixel;
  const int32_t stride = kp_dib_row_bytes(r->bmWidth, bits);
  const int32_t height = r->bmHeight;
  auto* bitmap = new KPUniversalBitmap;
  Impl& d = *bitmap->impl_;
  d.pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
  const size_t widthBytes = static_cast<size_t>(r->bmWidth) * static_cast<size_t>(bits / 8);
  if (pixels) {
    // Row by row, for exactly the width, within both buffers: source rows may
    // carry a padding of their own.
    const size_t srcStride = r->bmWidthBytes > 0 ? static_cast<size_t>(r->bmWidthBytes) : size_t(stride);
    const size_t n = std::min(widthBytes, srcStride);
    const auto* src = static_cast<const uint8_t*>(pixels);
    for (int32_t row = 0; row < height; ++row) {
      const int32_t from = r->topDown ? row : height - 1 - row;
      std::memcpy(d.pixels.data() + size_t(row) * size_t(stride), src + size_t(from) * srcStride, n);
    }
  }
  if (bits == 32) {
    for (int32_t row = 0; row < height; ++row) {
      uint8_t* line = d.pixels.data() + size_t(row) * size_t(stride);
      for (int32_t col = 0; col < r->bmWidth; ++col) line[col * 4 + 3] = 255;
    }
  }
  d.hasRecord = true;
  d.record = tagBITMAP{};
  d.record.bmWidth = r->bmWidth;
  d.record.bmHeight = height;
  d.record.bmWidthBytes = stride;
  d.record.bmPlanes = 1;
  d.record.bmBitsPixel = static_cast<uint16_t>(bits);
  return bitmap;
}

const tagBITMAP* KPUniversalBitmap::winBitmap() const { return impl_->hasRecord ? &impl_->record : nullptr; }
int KPUniversalBitmap::height() const { return impl_->hasRecord ? impl_->record.bmHeight : 0; }
int KPUniversalBitmap::width() const { return impl_->hasRecord ? impl_->record.bmWidth : 0; }

void KPUniversalBitmap::getBITMAP(tagBITMAP* out) const {
  if (!out) return;
  *out = impl_->hasRecord ? impl_->record : tagBITMAP{};
}

int KPUniversalBitmap::getOriginalDataType() const {
  if (!impl_->pixels.empty()) return 2;
  if (!impl_->image.isNull()) return 3;
  return 0;
}

void* KPUniversalBitmap::getOriginalData() const {
  return impl_->pixels.empty() ? nullptr : impl_->pixels.data();
}

KPUniversalBitmap* kp_bitmap_from_image(const QImage& image) {
  if (image.isNull()) return nullptr;
  auto* bitmap = new KPUniversalBitmap;
  auto& d = *bitmap->impl();
  d.image = image;
  d.hasRecord = true;
  d.record.bmWidth = image.width();
  d.record.bmHeight = image.height();
  d.record.bmWidthBytes = static_cast<int32_t>(image.bytesPerLine());
  d.record.bmPlanes = 1;
  d.record.bmBitsPixel = static_cast<uint16_t>(image.depth());
  return bitmap;
}

QImage kp_bitmap_image(const KPUniversalBitmap* bitmap) {
  if (!bitmap) return {};
  const auto& d = *bitmap->impl();
  if (!d.pixels.empty())
    return QImage(d.pixels.data(), d.record.bmWidth, d.record.bmHeight, d.record.bmWidthBytes,
                  format_of(d.record.bmBitsPixel));
  return d.image;
}

KPUniversalBitmap* CreateDIBitmap(KPGrafPort*, const tagBITMAPINFOHEADER* header, uint32_t, const void* pixels,
                                  const tagBITMAPINFO*, uint32_t usage) {
  if (usage != DIB_RGB_COLORS) {
    KP_ASSERT(false, "fuUsage==DIB_RGB_COLORS");
    return nullptr;
  }
  if (!header) return nullptr;
  const tagBITMAP record = record_from_header(*header);
  return KPUniversalBitmap::createUniversalBitmap(&record, pixels);
}

KPUniversalBitmap* CreateDIBSection(KPGrafPort*, const tagBITMAPINFO* info, uint32_t, void** pixels, HANDLE,
                                    uint32_t) {
  if (pixels) *pixels = nullptr;
  if (!info) return nullptr;
  const tagBITMAP record = record_from_header(info->bmiHeader);
  KPUniversalBitmap* bitmap = KPUniversalBitmap::createUniversalBitmap(&record, nullptr);
  if (bitmap && pixels) *pixels = bitmap->getOriginalData();
  return bitmap;
}

int GetDIBits(KPGrafPort*, const KPUniversalBitmap* bitmap, uint32_t first, uint32_t count, void* buffer,
              const tagBITMAPINFOHEADER* header, uint32_t usage) {
  if (!bitmap || !buffer || !header) return 0;
  const int type = bitmap->getOriginalDataType();
  if (type == 0) return 0;
  const int32_t destStride = kp_dib_row_bytes(header->biWidth, header->biBitCount);
  const QImage::Format destFormat = format_of(header->biBitCount);
  if (destStride == 0 || destFormat == QImage::Format_Invalid) return 0;

  QImage source = kp_bitmap_image(bitmap);
  if (source.format() != destFormat) {
    // Another depth, or an image without pixel memory: render the picture
    // over white in the header's layout.
    QImage converted(source.size(), destFormat);
    converted.fill(Qt::white);
    QPainter painter(&converted);
    painter.drawImage(0, 0, source);
    painter.end();
    source = converted;
  }
  const int bytesPerPixel = header->biBitCount / 8;
  const int32_t pixelsPerRow = std::min(header->biWidth, int32_t(source.width()));
  const size_t rowBytes = static_cast<size_t>(pixelsPerRow) * static_cast<size_t>(bytesPerPixel);
  const int64_t height = source.height();
  const bool bottomUp = header->biHeight > 0;
  auto* out = static_cast<uint8_t*>(buffer);
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t scan = int64_t{first} + i;
    if (scan >= height) break;
    const int64_t imageRow = bottomUp ? height - 1 - scan : scan;
    uint8_t* dest = out + size_t(i) * size_t(destStride);
    std::memcpy(dest, source.constScanLine(static_cast<int>(imageRow)), rowBytes);
    if (usage == DIB_PAL_COLORS && bytesPerPixel == 4)
      for (int32_t col = 0; col < pixelsPerRow; ++col) dest[col * 4 + 3] = 255;
  }
  return 1;
}

void create_autoreleased_bitmap(KPGrafPort* dc, int x, int y, int width, int height, int, int, int, int,
                                const void* pixels, const tagBITMAPINFO* info, uint32_t, uint32_t rop) {
  if (!dc || !info) return;
  KPUniversalBitmap* bitmap = CreateDIBitmap(dc, &info->bmiHeader, 4, pixels, info, DIB_RGB_COLORS);
  if (!bitmap) return;
  dc->drawImageRect(bitmap, x, y, width, height, static_cast<int>(rop));
  delete bitmap;
}
