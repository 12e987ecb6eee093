// A conic object with five point parents, built on the stack for tests of
// the conic compute operation and of the intersection routines.
#pragma once

#include <array>
#include <cstring>

#include "kernel/conics/conic_object.h"
#include "kernel/model/figure.h"

struct test_conic {
    std::array<object, 5> points{};
    std::array<valeur, 5> point_values{};
    std::array<object*, 5> parents{};
    object conic{};
    std::array<valeur, kConicValueCount> values{};

    test_conic()
    {
        for (int i = 0; i < 5; ++i) {
            points[i].valeurs = &point_values[i];
            points[i].nbvaleurs = 1;
            parents[i] = &points[i];
        }
        conic.parents = parents.data();
        conic.nbparents = 5;
        conic.valeurs = values.data();
        conic.nbvaleurs = kConicValueCount;
    }

    // Point i at (x, y), or a direction when at_infinity.
    void set(int i, double x, double y, bool at_infinity = false)
    {
        point_values[i].h = x;
        point_values[i].v = y;
        point_values[i].infini_inexist_indetermine = at_infinity ? VAL_AT_INFINITY : 0;
        points[i].state = at_infinity ? OBJ_AT_INFINITY : 0;
    }

    int16_t compute()
    {
        conic.state &= ~(OBJ_UNDEFINED | OBJ_AT_INFINITY);
        compute_conic(&conic);
        return conic_stored_kind(values.data());
    }

    bool undefined() const { return (conic.state & OBJ_UNDEFINED) != 0; }
};
