// Start-up binding of the operations of points and straight objects: the
// slots of their type records and the compute and point-on operations of
// the construction methods that build them.
#pragma once

// Called by init_construct_classes once the methods are attached.
void bind_point_and_straight_operations();
