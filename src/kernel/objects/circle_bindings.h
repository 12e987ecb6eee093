// Start-up binding of the operations of circles, arcs, intersection sets
// and intersection points.
#pragma once

// Called by init_construct_classes once the methods are attached: the
// slots of the circle and arc type records, and the compute operations of
// the intersection-set and intersection-point methods.
void bind_circle_and_intersection_operations();
