#include "platform/kp_image_file.h"

#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QString>

#include "platform/kp_bitmap_qt.h"

namespace {
// Pictures above this many megabytes of pixels are refused, not allocated.
constexpr int kImageAllocationLimitMb = 1024;
}  // namespace

bool kp_write_png_file(const char* path, const uint32_t* pixels, int width, int height, int pitch) {
  if (!path || !pixels || width <= 0 || height <= 0 || pitch < width) return false;
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return false;
  for (int row = 0; row < height; ++row) {
    const uint32_t* src = pixels + static_cast<size_t>(row) * static_cast<size_t>(pitch);
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(row));
    for (int col = 0; col < width; ++col) dst[col] = 0xFF000000u | (src[col] & 0x00FFFFFFu);
  }
  QSaveFile file(QString::fromUtf8(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, "png");
  if (!writer.write(image)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

KPUniversalBitmap* kp_load_image_file(const char* path) {
  if (!path) return nullptr;
  QImageReader::setAllocationLimit(kImageAllocationLimitMb);
  QImageReader reader(QString::fromUtf8(path));
  reader.setAutoTransform(true);
  QImage image = reader.read();
  if (image.isNull()) return nullptr;
  return kp_bitmap_from_image(image.convertToFormat(QImage::Format_RGB32));
}
