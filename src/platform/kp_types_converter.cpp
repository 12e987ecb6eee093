#include "platform/kp_types_converter.h"

#include <cmath>

namespace {

uint32_t component(float f) {
  const float v = std::floor(f * 255.0f);
  return v <= 0 ? 0u : v >= 255 ? 255u : static_cast<uint32_t>(v);
}

}  // namespace

void NSKelvoTypesConverter::KPRECTToNSRect(const tagRECT& r, QRectF* out) {
  if (out) *out = QRectF(r.left, r.top, double(r.right) - r.left, double(r.bottom) - r.top);
}

void NSKelvoTypesConverter::NSRectToKPRECT(const QRectF& r, tagRECT* out) {
  if (!out) return;
  out->left = static_cast<int32_t>(r.x());
  out->top = static_cast<int32_t>(r.y());
  out->right = static_cast<int32_t>(r.x() + r.width());
  out->bottom = static_cast<int32_t>(r.y() + r.height());
}

QRectF NSKelvoTypesConverter::MakeNSRectWithKPRECT(const tagRECT& r) {
  QRectF out;
  KPRECTToNSRect(r, &out);
  return out;
}

QColor NSKelvoTypesConverter::KPCOLORToNSColor(uint32_t c) {
  return QColor::fromRgbF((c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f, 1.0f);
}

QColor NSKelvoTypesConverter::KPCOLORToNSColorV2(uint32_t c) {
  return QColor::fromRgbF(((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f, 1.0f);
}

uint32_t NSKelvoTypesConverter::NSColorToKPCOLOR(const QColor& color) {
  if (!color.isValid()) return 0;
  const QColor rgb = color.toRgb();
  return component(rgb.redF()) | (component(rgb.greenF()) << 8) | (component(rgb.blueF()) << 16);
}

uint32_t NSKelvoTypesConverter::NSColorToKPCOLORV2(const QColor& color) {
  if (!color.isValid()) return 0;
  const QColor rgb = color.toRgb();
  return component(rgb.blueF()) | (component(rgb.greenF()) << 8) | (component(rgb.redF()) << 16);
}
