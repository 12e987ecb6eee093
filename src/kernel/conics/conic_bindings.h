// Start-up binding of the conic's operations.
#pragma once

// Called by init_construct_classes once the methods are attached: the hit
// test, point-on and intersect slots of the conic type record, and the
// compute operation of the conic method. The conic is not drawn yet.
void bind_conic_operations();
