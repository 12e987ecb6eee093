// The program's own tool icons, drawn once at start-up into tool-icon
// bitmaps: one per construction tool (by English name), one per class-less
// tool, the attribute pop-ups' icons and the two faces of the Trash.
#pragma once

#include <string_view>

#include "app/panels/tool_icon.h"

// The icon drawn for a tool's English name ("Circle", "Pointer", ...), or
// null when the program has no art for that name.
const tool_icon* builtin_tool_icon(std::string_view english_name);

// The attribute pop-ups' icons, in the order the attribute menus take them:
// thickness (3), dot style (3), point style (5), angle marks (6), line
// style (4), second line style (3), axes style (4).
inline constexpr int kAttributeIconCount = 28;
const tool_icon* attribute_tool_icon(int index);

enum class trash_face { Empty, Full };
const tool_icon* trash_tool_icon(trash_face face);
