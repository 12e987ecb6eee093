// State of the figure file readers that the rest of the kernel reads.
#pragma once

#include <cstdint>

// Set while a figure file is being read: objects keep the numbers they are
// read with and are not shown again or merged as they would be for a user.
extern uint8_t reading_file;
