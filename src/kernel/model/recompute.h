// Recomputation of an object from its parents.
#pragma once

struct object;

// Runs the compute operation of the object's method, unless a parent is
// undefined (the object is then undefined too), and keeps its label beside
// it. Methods without a compute operation leave the object as it is.
void recompute_object(object* obj);
