// The calculator dialog while it is open, else null. Message boxes disable
// it while they are up.
#pragma once

#include "platform/win_types.h"

extern HWND calculator_window;
