// Fills the service slots that the kernel's tools, figure-window handlers,
// drags and designation ask of the rest of the program with the kernel's
// own functions and with the figure view's answers. Run once at start-up,
// after the document hooks; running it again restores the same slots.
#pragma once

void install_kernel_services();
