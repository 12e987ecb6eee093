// A point or vector of the plane as two doubles, x then y.
#pragma once

struct dpoint {
    double x;
    double y;
};
