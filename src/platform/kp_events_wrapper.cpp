#include "platform/kp_events_wrapper.h"

#include <QGuiApplication>

bool KPEventsWrapper::modifierKeyDown(uint32_t key_code) {
  if (!QGuiApplication::instance()) return false;
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  switch (key_code) {
    case kModifierOption:
      return mods & (Qt::AltModifier | Qt::MetaModifier);
    default:
      return false;
  }
}
