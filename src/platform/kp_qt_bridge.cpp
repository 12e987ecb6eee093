#include "platform/kp_qt_bridge.h"

#include <QVariant>
#include <algorithm>
#include <cstring>

#include "platform/mac_roman.h"

namespace {
constexpr const char* kItemId = "kpItemId";
constexpr const char* kProcedure = "kpProcedure";
}  // namespace

void kp_set_item_id(QObject* item, int id) {
  if (item) item->setProperty(kItemId, id);
}

bool kp_item_id(const QObject* item, int* id) {
  if (!item) return false;
  const QVariant v = item->property(kItemId);
  if (!v.isValid()) return false;
  if (id) *id = v.toInt();
  return true;
}

void kp_bind_procedure(QObject* page, NSKelvoWrapMachine* wrapper) {
  if (page) page->setProperty(kProcedure, QVariant::fromValue(reinterpret_cast<quintptr>(wrapper)));
}

NSKelvoWrapMachine* kp_bound_procedure(const QObject* page) {
  if (!page) return nullptr;
  const QVariant v = page->property(kProcedure);
  return v.isValid() ? reinterpret_cast<NSKelvoWrapMachine*>(v.value<quintptr>()) : nullptr;
}

QString kp_qstring(const char* kernel_text) {
  if (!kernel_text) return {};
  return QString::fromStdString(mac_roman_to_utf8(kernel_text));
}

std::string kp_kernel_text(const QString& text) { return utf8_to_mac_roman(text.toStdString()); }

int kp_copy_text(const std::string& text, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  const int n = std::min<int>(static_cast<int>(text.size()), capacity - 1);
  std::memcpy(buffer, text.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}
