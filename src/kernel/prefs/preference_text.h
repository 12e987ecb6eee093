// The preferences as the text of a preferences file, built in memory.
#pragma once

#include <cstdint>

// Writes the preference text (the preferences file's header line, then one
// line per stored preference) to dst and answers its length; a null dst
// only counts. Both passes give the same text.
int32_t save_temp_preferences(char* dst);
