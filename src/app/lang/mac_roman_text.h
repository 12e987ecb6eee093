// Conversion of language texts between Unicode and the kernel's Mac Roman
// bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace kelvo::lang {

// Characters that Mac Roman lacks become '?', except the superscripts two
// and three, which become the kernel's exponent bytes 0xB2 and 0xB3.
QByteArray to_mac_roman(const QString& text);
QString from_mac_roman(const char* bytes);

}  // namespace kelvo::lang
