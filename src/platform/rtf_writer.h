// Writes runs of rich text (the runs the RTF reader gives) as an RTF
// document: a font table and a colour table, then each run with its font,
// size, colour, faces and script. Characters outside ASCII are written as
// \uN with a '?' fallback; a line feed ends a paragraph. Plain C++.
#pragma once

#include <string>
#include <vector>

#include "platform/rtf_reader.h"

std::string write_rtf(const std::vector<rtf_run>& runs);
