// Tests of the classes, toolboxes and panels that build them without the
// application start from the state of start-up, whatever ran before in the
// same process (the shell tests' application, say), and leave it so: the
// palette and its panels go first, then the toolboxes, then the classes.
// The next shell test builds the application's own again.
#pragma once

#include "app/panels/tools_palette.h"
#include "kernel/model/classes.h"

inline void take_down_tools_and_classes() {
  stop_tools_palette();
  free_construct_classes();
}
