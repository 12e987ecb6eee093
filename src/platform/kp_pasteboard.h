// The system clipboard as the kernel sees it: one item carrying several
// flavours, each a named block of bytes. Putting a flavour adds it to what
// the clipboard holds since the last clear; reading answers the bytes of a
// flavour. Plain C++: the kernel includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Status codes of the clipboard calls.
inline constexpr int32_t kPasteboardOk = 0;
// The clipboard was changed by someone else since this program last cleared it.
inline constexpr int32_t kPasteboardModified = -25130;
// The flavour asked for is not there.
inline constexpr int32_t kPasteboardNoFlavor = -25133;
// There is no clipboard (no application).
inline constexpr int32_t kPasteboardNotOwner = -25135;

// Flavour names: the program's own records, rich text, plain text and a BMP
// image (also offered as an image to programs that take pictures).
inline constexpr const char* kFlavorKelvo = "KELVO_FORMAT_STR";
inline constexpr const char* kFlavorRtf = "text/rtf";
inline constexpr const char* kFlavorText = "text/plain";
inline constexpr const char* kFlavorBmp = "image/bmp";

// Empties the clipboard; from here on this program owns it.
int32_t kp_pasteboard_clear();
// Adds a flavour to the clipboard (the bytes are copied).
int32_t kp_pasteboard_put(const char* flavor, const void* bytes, size_t length);
// The bytes of a flavour into *out.
int32_t kp_pasteboard_copy(const char* flavor, std::string* out);
// The flavours the clipboard holds, separated by '\n' (for tests).
std::string kp_pasteboard_flavors();
