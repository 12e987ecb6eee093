// One drawing target of the figure (view, print or off-screen). The figure
// model only keeps pointers to it; the rendering subsystem defines it.
#pragma once

struct DisplayDevice;
