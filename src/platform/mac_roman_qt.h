// Mac Roman kernel texts at the Qt boundary. Qt-side only: no kernel file
// includes this header.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString mac_roman_to_qstring(std::string_view mac_roman);
// Characters Mac Roman lacks become '?'.
std::string qstring_to_mac_roman(const QString& text);
