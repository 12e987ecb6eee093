#include "kernel/measure/calculator_window.h"

HWND calculator_window = nullptr;
