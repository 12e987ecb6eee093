#include "platform/kp_events_wrapper.h"

#include <QGuiApplication>

bool KPEventsWrapper::modifierKeyDown(uint32_t key_code) {
  if (!QGuiApplication::instance()) return false;
  const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  switch (key_code) {
    case kModifierShift:
      return mods & Qt::ShiftModifier;
    case kModifierCommand:
      return mods & Qt::ControlModifier;
    case kModifierOption:
      return mods & (Qt::AltModifier | Qt::MetaModifier);
    default:
      return false;
  }
}
