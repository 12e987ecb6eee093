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

void KPPreferencesWrapper::GetAllUserDefaults(void (*visit)(void*, const char*, const char*), void* context) {
  if (!visit) return;
  const QSettings settings = store();
  for (const QString& key : settings.allKeys()) {
    const QVariant stored = settings.value(key);
    // A value the INI syntax turned into a list is no text of ours.
    if (stored.typeId() == QMetaType::QStringList) continue;
    const std::string k = kp_kernel_text(key);
    const std::string v = kp_kernel_text(stored.toString());
    visit(context, k.c_str(), v.c_str());
  }
}

void KPPreferencesWrapper::SetUserDefaults(const char* const* keys, const char* const* values, size_t count,
                                           const char*) {
  if (!keys || !values || count == 0) return;
  QSettings settings = store();
  for (size_t i = 0; i < count; ++i)
    if (keys[i] && values[i]) settings.setValue(kp_qstring(keys[i]), kp_qstring(values[i]));
  settings.sync();
}
