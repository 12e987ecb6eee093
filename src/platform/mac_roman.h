// Kernel texts are Mac Roman bytes; Qt speaks Unicode. These two convert at
// the boundary. Every Mac Roman byte has a Unicode character, so a kernel
// text survives the round trip unchanged.
#pragma once

#include <string>
#include <string_view>

std::string mac_roman_to_utf8(std::string_view mac_roman);
// Characters without a Mac Roman form become '?'; bytes that are not valid
// UTF-8 are taken as Mac Roman already.
std::string utf8_to_mac_roman(std::string_view utf8);
