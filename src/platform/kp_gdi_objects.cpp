#include "platform/kp_gdi_objects.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QFontInfo>
#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/kp_bitmap.h"
#include "platform/kp_font_qt.h"
#include "platform/kp_graf_port.h"
#include "platform/mac_roman.h"
#include "platform/mac_roman_qt.h"
#include "platform/ns_kelvo_text_view.h"

namespace {

// 72 dpi: one point per pixel.
constexpr int kDotsPerMeter72 = 2835;

const QImage& metrics_device() {
  static const QImage device = [] {
    QImage image(1, 1, QImage::Format_RGB32);
    kp_set_device_dpi(image);
    return image;
  }();
  return device;
}

double usable_size(double size) { return size > 0 ? size : 12.0; }

// Whether the system has the family named by a kernel face name. Asking the
// font database runs the system's font substitution, which costs far more
// than the font itself; figures ask for the same few faces over and over.
// The program adds no fonts while it runs, so an answer stays true.
bool has_family(const char* face) {
  static std::mutex lock;
  static std::unordered_map<std::string, bool> known;
  std::lock_guard<std::mutex> guard(lock);
  auto [it, fresh] = known.try_emplace(face, false);
  if (fresh) it->second = QFontDatabase::hasFamily(mac_roman_to_qstring(face));
  return it->second;
}

}  // namespace

void kp_set_device_dpi(QImage& image) {
  image.setDotsPerMeterX(kDotsPerMeter72);
  image.setDotsPerMeterY(kDotsPerMeter72);
}

QFontMetricsF kp_font_metrics(const QFont& font) { return QFontMetricsF(font, &metrics_device()); }

KPFont* kp_font_from_qfont(const QFont& font) {
  auto impl = std::make_unique<KPFont::Impl>();
  impl->font = font;
  // The figure's fonts are laid out at 72 dots per inch. Qt keeps one font
  // engine per request, and a request of the figure would otherwise be the
  // same as one of the interface at the screen's resolution: the menus and
  // dialogs would then be drawn with the figure's engine, in another size.
  // This strategy, which the interface never asks for, keeps them apart.
  impl->font.setStyleStrategy(QFont::PreferMatch);
  return new KPFont(std::move(impl));
}

KPPen* KPPen::extCreatePen(uint32_t style, uint32_t width, const tagLOGBRUSH* brush, uint32_t, const uint32_t*) {
  auto* pen = new KPPen;
  pen->setStyle(static_cast<long>(style));
  pen->setSize(static_cast<float>(width));
  if (brush) {
    pen->setStrokeColor(brush->lbColor);
    pen->setAdvanced(brush->lbDashPhase);
  }
  return pen;
}

KPPen* KPPen::createPen(long style, float size, uint32_t colorRef) {
  auto* pen = new KPPen;
  pen->setStyle(style);
  pen->setSize(size);
  pen->setStrokeColor(colorRef);
  return pen;
}

KPBrush* KPBrush::createSolidBrush(uint32_t color) {
  auto* brush = new KPBrush;
  brush->setBrushColor(color);
  return brush;
}

KPFont::KPFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KPFont::~KPFont() = default;

bool KPFont::fontSystemAvailable() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void KPFont::reportNoFontSystem() {
  static bool reported = false;
  if (reported) return;
  reported = true;
  std::fputs("Kelvo: texts are neither measured nor drawn without the graphical interface "
             "(no QGuiApplication exists)\n",
             stderr);
}

KPFont* KPFont::withName(const char* face, double pointSize) {
  if (!face || !*face) return nullptr;
  if (!fontSystemAvailable()) return nullptr;
  if (!has_family(face)) return nullptr;
  QFont font(mac_roman_to_qstring(face));
  font.setPointSizeF(usable_size(pointSize));
  return kp_font_from_qfont(font);
}

double KPFont::systemFontSize() { return 12.0; }

KPFont* KPFont::systemFont(double pointSize) {
  if (!fontSystemAvailable()) return nullptr;
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSizeF(usable_size(pointSize));
  return kp_font_from_qfont(font);
}

std::string KPFont::fontName() const { return qstring_to_mac_roman(impl_->font.family()); }
std::string KPFont::displayName() const { return qstring_to_mac_roman(QFontInfo(impl_->font).family()); }
double KPFont::pointSize() const { return impl_->font.pointSizeF(); }
KPFont* KPFont::copy() const { return kp_font_from_qfont(impl_->font); }
double KPFont::ascender() const { return kp_font_metrics(impl_->font).ascent(); }
double KPFont::descender() const { return -kp_font_metrics(impl_->font).descent(); }
double KPFont::leading() const { return kp_font_metrics(impl_->font).leading(); }

double KPFont::widthOf(const char* text, size_t length) const {
  if (!text) return 0;
  const QString s = unit_text_to_qstring(std::string_view(text, length));
  // A value about to be shown in this font is laid out once, for its width
  // here and for its drawing.
  double width = 0;
  if (kp_plain_run_width(impl_->font, s, &width)) return width;
  return kp_font_metrics(impl_->font).horizontalAdvance(s);
}

bool KPGetObject::getObject(KPGdiObject* object, int, void* buffer) {
  if (!object || !buffer) return false;
  if (object->kind() != KPObjectKind::Bitmap) return false;
  static_cast<KPUniversalBitmap*>(object)->getBITMAP(static_cast<tagBITMAP*>(buffer));
  return true;
}

KPFont* create_ns_font(const tagLOGFONT* record) {
  if (!record) return KPFont::systemFont(12);
  // A negative Win32 height is a character height; either sign means size.
  const double size = usable_size(std::abs(static_cast<double>(record->lfHeight)));
  char face[sizeof record->lfFaceName + 1] = {};
  std::memcpy(face, record->lfFaceName, sizeof record->lfFaceName);
  KPFont* font = KPFont::withName(face, size);
  if (!font) font = KPFont::systemFont(size);
  return font;
}

KPFont* CreateFontIndirect(const tagLOGFONT* record) { return create_ns_font(record); }

BOOL GetTextMetrics(KPGrafPort* dc, tagTEXTMETRIC* metrics) {
  if (!dc || !metrics || !dc->getCurrentFont()) return 0;
  // One set of metrics: each one made looks the font's engine up again.
  const QFontMetricsF font = kp_font_metrics(dc->getCurrentFont()->impl()->font);
  const double ascender = font.ascent(), descender = -font.descent();
  const double height = ascender - descender - font.leading();
  metrics->tmHeight = static_cast<int32_t>(height);
  if (metrics->tmHeight <= 10000) {
    metrics->tmAscent = static_cast<int32_t>(ascender);
    metrics->tmDescent = static_cast<int32_t>(descender);
  } else {
    metrics->tmHeight = 14;
    metrics->tmAscent = 12;
    metrics->tmDescent = -2;
  }
  metrics->tmMaxCharWidth = metrics->tmHeight;
  return 1;
}

BOOL GetTextCapMetrics(KPGrafPort* dc, double* cap_height, double* ascent) {
  if (cap_height) *cap_height = 0;
  if (ascent) *ascent = 0;
  if (!dc || !dc->getCurrentFont()) return 0;
  const QFontMetricsF font = kp_font_metrics(dc->getCurrentFont()->impl()->font);
  const auto usable = [](double v) { return std::isfinite(v) && v > 0 && v < 10000 ? v : 0.0; };
  if (cap_height) *cap_height = usable(font.capHeight());
  if (ascent) *ascent = usable(font.ascent());
  return 1;
}

int GetTextFace(KPGrafPort*, int, char*) { return 0; }
int EnumFontFamiliesEx(KPGrafPort*, tagLOGFONT*, void*, intptr_t, uint32_t) { return 0; }

BOOL DeleteObject(KPGdiObject* object) {
  if (!object || object->isStock()) return 0;
  delete object;
  return 1;
}
