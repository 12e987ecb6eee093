// The program's own tool icons (kernel/tools/builtin_icons) seen as
// tool-icon bitmaps: one per tool by its English name, the attribute
// pop-ups' icons and the two faces of the Trash.
#pragma once

#include <string_view>

#include "app/panels/tool_icon.h"
#include "kernel/tools/builtin_icons.h"

static_assert(sizeof(tool_icon) == kBuiltinIconBytes);

// The icon drawn for a tool's English name ("Circle", "Pointer", ...), or
// null when the program has no art for that name.
inline const tool_icon* builtin_tool_icon(std::string_view english_name) {
  return reinterpret_cast<const tool_icon*>(builtin_named_icon(english_name));
}

// The attribute pop-ups' icons, in the order the attribute menus take them.
inline constexpr int kAttributeIconCount = kBuiltinAttributeIconCount;
inline const tool_icon* attribute_tool_icon(int index) {
  return reinterpret_cast<const tool_icon*>(builtin_attribute_icon(index));
}

enum class trash_face { Empty, Full };
inline const tool_icon* trash_tool_icon(trash_face face) {
  return reinterpret_cast<const tool_icon*>(builtin_trash_icon(face == trash_face::Full));
}
