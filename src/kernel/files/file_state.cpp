#include "kernel/files/file_state.h"

uint8_t reading_file = 0;
