#include "platform/kp_color_well.h"

#include <QAbstractButton>
#include <QColor>
#include <QVariant>

#include "platform/kp_qt_bridge.h"
#include "platform/kp_types_converter.h"

namespace {

constexpr const char* kWellColor = "kelvoWellColor";

QAbstractButton* well_of(HWND well) { return qobject_cast<QAbstractButton*>(kp_qobject(well)); }

}  // namespace

void kp_set_well_color(HWND well, uint32_t color) {
  QAbstractButton* button = well_of(well);
  if (!button) return;
  // The kernel's colour words hold red in their third byte.
  QColor shown = NSKelvoTypesConverter::KPCOLORToNSColorV2(color);
  shown.setAlphaF(1.0);
  button->setProperty(kWellColor, shown);
  button->setStyleSheet(QStringLiteral("background-color: %1;").arg(shown.name()));
}

uint32_t kp_well_color(HWND well) {
  QAbstractButton* button = well_of(well);
  if (!button) return 0;
  const QVariant value = button->property(kWellColor);
  return value.isValid() ? NSKelvoTypesConverter::NSColorToKPCOLORV2(value.value<QColor>()) : 0;
}
