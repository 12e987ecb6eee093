// Rich text (RTF) of a kernel text: the form other programs read when texts
// are copied, and the text editor's rich text. Plain C++.
#pragma once

#include <string>
#include <vector>

#include "platform/rtf_reader.h"

struct TErec;

// The RTF document of runs of rich text (the runs the RTF reader gives),
// each in its own font, size, colour, faces and script: a font table and a
// colour table, then the runs. Characters outside ASCII are written as \uN
// with a Windows-1252 (or '?') fallback; CR and LF (a CR LF pair counts
// once) end paragraphs.
std::string runs_to_rtf(const std::vector<rtf_run>& runs);

// A run without text in the record's font, size, style and colour (a null
// record gives the default face at 12 points in black).
rtf_run record_rtf_run(const TErec* format);

// The RTF document of a Mac Roman text shown in the record's font, size,
// style and colour (a null record gives the default face at 12 points in
// black): one run.
std::string text_to_rtf(const char* mac_roman, size_t length, const TErec* format);
