// Finding or making the intersection set of two objects, and registering
// an intersection point with its set: the operations of the intersection
// sets that the figure readers use.
#pragma once

#include "kernel/objects/intersection_set.h"
