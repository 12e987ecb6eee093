#include "platform/kp_settings.h"

#include <QSettings>

#include "platform/kp_qt_bridge.h"

namespace {
// The user's settings file; tests redirect it with QSettings::setPath.
QSettings store() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova"); }
}  // namespace

BOOL KPPreferencesWrapper::GetUserDefault(const char* key, char* value, size_t capacity, const char* default_value,
                                          const char*) {
  if (!key) return 0;
  std::string text;
  const QVariant stored = store().value(kp_qstring(key));
  if (stored.isValid()) text = kp_kernel_text(stored.toString());
  else if (default_value) text = default_value;
  else return 0;
  kp_copy_text(text, value, static_cast<int>(std::min<size_t>(capacity, 1u << 30)));
  return 1;
}

void KPPreferencesWrapper::SetUserDefault(const char* key, const char* value, const char*) {
  if (!key || !value) return;
  QSettings settings = store();
  settings.setValue(kp_qstring(key), kp_qstring(value));
  settings.sync();
}
