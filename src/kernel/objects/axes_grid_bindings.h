// Start-up binding of the operations of coordinate systems, grids and angle
// marks (type slots and compute operations), and of the compute operations
// of transformed points and measurement transfers.
#pragma once

// Called by init_construct_classes once the methods are attached.
void bind_axes_grid_angle_operations();
