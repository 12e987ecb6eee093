// Mac Roman kernel texts at the Qt boundary. Qt-side only: no kernel file
// includes this header.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString mac_roman_to_qstring(std::string_view mac_roman);
// The kernel's own texts of units, equations and labels write the exponents
// 2 and 3 as the bytes 0xB2 and 0xB3 (which plain Mac Roman reads as the
// signs less-or-equal and greater-or-equal) and the degree of an angle unit
// as 0xFB (a ring accent in Mac Roman): they show as the raised digits
// U+00B2 and U+00B3 and the degree sign. Every other byte reads as Mac Roman.
QString unit_text_to_qstring(std::string_view mac_roman);
// Characters Mac Roman lacks become '?'.
std::string qstring_to_mac_roman(const QString& text);
