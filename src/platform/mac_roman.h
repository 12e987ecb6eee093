// Kernel texts are 8-bit Mac Roman byte strings; the rest of the world speaks
// Unicode. These convert between the two. Plain C++: the kernel may include
// this header. The QString forms are in mac_roman_qt.h.
#pragma once

#include <string>
#include <string_view>

// Each byte of a Mac Roman text as UTF-8.
std::string mac_roman_to_utf8(std::string_view mac_roman);

// A UTF-8 text as Mac Roman bytes; characters Mac Roman lacks become '?',
// and so does each byte of a malformed UTF-8 sequence.
std::string utf8_to_mac_roman(std::string_view utf8);

// A kernel text of units, equations or labels as UTF-8: the bytes 0xB2 and
// 0xB3 are the raised digits 2 and 3 and 0xFB the degree sign (see
// unit_text_to_qstring); every other byte reads as Mac Roman.
std::string unit_text_to_utf8(std::string_view unit_text);
// The code point of one byte of such a text.
char32_t unit_text_code_point(unsigned char byte);

// The Unicode code point of one Mac Roman byte.
char32_t mac_roman_to_unicode(unsigned char byte);

// The Mac Roman byte of a code point, or 0 when Mac Roman has none (code
// point 0 itself gives 0 too).
unsigned char unicode_to_mac_roman(char32_t code_point);
