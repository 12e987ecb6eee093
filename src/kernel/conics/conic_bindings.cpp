#include "kernel/conics/conic_bindings.h"

#include "kernel/conics/conic_draw.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_point_on.h"
#include "kernel/conics/conic_type.h"
#include "kernel/model/classes.h"

namespace {

void compute_conic_method(object* conic) { compute_conic(conic); }

} // namespace

void bind_conic_operations()
{
    type_conic.draw = draw_conic;
    type_conic.hit_test = conic_hit_test;
    type_conic.point_on = conic_point_on;
    type_conic.intersect = conic_intersect;
    if (construct_method* m = class_method(&classe_conic, 0)) m->compute = compute_conic_method;
}
