// The program's own icons: pictures of 1,280 bytes (a 16 x 16 image, then a
// 32 x 32 one, one index of the 16-colour palette per pixel), drawn once at
// their first use and kept for the run, so that the class and toolbox
// records that point at them never see them go. Nothing writes into them.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr int kBuiltinIconBytes = 1280;

// Built-in icon k of the construction classes, k from 0 to 50; null for
// any other k.
inline constexpr int kBuiltinClassIconCount = 51;
uint8_t* builtin_class_icon(int k);

// The picture drawn under a name: the tools by their English names
// ("Circle", "Pointer", ...), the faces of the colour and text-size
// pop-ups ("Pen Colour Menu", "Smaller Text", ...); null for a name
// without one.
const uint8_t* builtin_named_icon(std::string_view name);

// The attribute pop-ups' icons, in the order the attribute menus take them:
// thickness (3), dot style (3), point style (5), angle marks (6), line
// style (4), second line style (3), axes style (4); null past them.
inline constexpr int kBuiltinAttributeIconCount = 28;
const uint8_t* builtin_attribute_icon(int index);

// The two faces of the Trash.
const uint8_t* builtin_trash_icon(bool full);
