#include "app/lang/mac_roman_text.h"

#include <QList>

#include "platform/mac_roman.h"
#include "platform/mac_roman_qt.h"

namespace kelvo::lang {

QByteArray to_mac_roman(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (char32_t c : text.toUcs4()) {
    unsigned char byte = c == 0 ? 0 : unicode_to_mac_roman(c);
    // Unit names write their exponents as superscripts; the kernel keeps
    // them as the bytes 0xB2 and 0xB3.
    if (byte == 0) byte = c == 0x00B2 ? 0xB2 : c == 0x00B3 ? 0xB3 : '?';
    out.append(static_cast<char>(byte));
  }
  return out;
}

QString from_mac_roman(const char* bytes) {
  if (bytes == nullptr) return QString();
  return mac_roman_to_qstring(bytes);
}

}  // namespace kelvo::lang
