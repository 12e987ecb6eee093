#include "kernel/conics/conic_tangents.h"

#include <cmath>
#include <utility>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"

int32_t conic_window[4];
double trace_start_x, trace_start_y;
double trace_end_dx, trace_end_dy;
uint8_t trace_last_octant;
uint8_t conic_branch;
double tangent_point_x[8], tangent_point_y[8];
double tangent_pair[4];
double tangent_quadratic[3];

namespace {

constexpr double kInf = HUGE_VAL;

// A tangent point (t, s), or +infinity in both when either is not a finite
// number: a parabola's quadratic without a linear term gives gamma / 0 (0/0
// without a constant either), which is no tangent point, as for any family
// without one.
void set_point(double t, double s, double* out)
{
    const bool finite = std::isfinite(t) && std::isfinite(s);
    out[0] = finite ? t : kInf;
    out[1] = finite ? s : kInf;
}

// Stores the pair of the last conic_tangent_pair into the family whose
// first slot is `slot`. `swap`: the pair is (y, x). `by_y`: the family's
// two points are ordered by y, else by x; an ellipse puts the larger first
// when `ellipse_larger_first`, a hyperbola the other way round.
void store_family(int slot, bool swap, bool by_y, bool ellipse_larger_first)
{
    double x1 = tangent_pair[0], y1 = tangent_pair[1];
    double x2 = tangent_pair[2], y2 = tangent_pair[3];
    if (swap) {
        std::swap(x1, y1);
        std::swap(x2, y2);
    }
    x1 += trace_start_x;
    y1 += trace_start_y;
    x2 += trace_start_x;
    y2 += trace_start_y;
    switch (conic_kind) {
    case kConicParabola:
        tangent_point_x[slot] = x1;
        tangent_point_y[slot] = y1;
        return;
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
        const bool larger_first = (conic_kind == kConicEllipse) == ellipse_larger_first;
        const bool first_larger = by_y ? y1 > y2 : x1 > x2;
        const bool keep = first_larger == larger_first;
        tangent_point_x[slot] = keep ? x1 : x2;
        tangent_point_y[slot] = keep ? y1 : y2;
        tangent_point_x[slot + 4] = keep ? x2 : x1;
        tangent_point_y[slot + 4] = keep ? y2 : y1;
        return;
    }
    default: return;
    }
}

void set_quadratic(double alpha, double beta, double gamma)
{
    tangent_quadratic[0] = alpha;
    tangent_quadratic[1] = beta;
    tangent_quadratic[2] = gamma;
}

// The target of an octant: which slot, which axis, which window edge.
struct octant_rule {
    bool x_axis;
    int8_t parabola_slot, parabola_branch_slot;
    int8_t slot, branch_slot;
    int8_t edge;   // index into conic_window
    int8_t inset;  // subtracted from the edge
};

constexpr octant_rule kOctants[8] = {
    {true, 2, 3, 2, 7, 2, 1},  {false, 3, 0, 3, 0, 3, 1}, {false, 0, 1, 4, 1, 3, 1}, {true, 1, 2, 5, 2, 0, 0},
    {true, 2, 3, 6, 3, 0, 0},  {false, 3, 0, 7, 4, 1, 0}, {false, 0, 1, 0, 5, 1, 0}, {true, 1, 2, 1, 6, 2, 0},
};

// floor(|d| + 0.5) as a 32-bit count (saturated).
int32_t step_count(double d)
{
    const double n = std::floor(std::fabs(d) + 0.5);
    if (!(n < 2147483647.0)) return 2147483647;
    return static_cast<int32_t>(n);
}

// Truncation toward zero of a box side. The tangent points come out a few
// units in the last place off: a side that is a whole number up to that
// noise is taken as that number, so that a box does not lose a pixel
// depending on which point of the conic it was computed from.
bool to_int32(double x, int32_t* out)
{
    const double nearest = std::nearbyint(x);
    const double t = std::fabs(x - nearest) <= 1e-9 * std::fmax(1.0, std::fabs(x)) ? nearest : std::trunc(x);
    if (!(t > -2147483649.0 && t < 2147483648.0)) return false;
    *out = static_cast<int32_t>(t);
    return true;
}

} // namespace

void conic_tangent_pair(double p, double q, double r)
{
    const double alpha = tangent_quadratic[0], beta = tangent_quadratic[1], gamma = tangent_quadratic[2];
    for (double& v : tangent_pair) v = kInf;
    if (conic_kind == kConicParabola) {
        if (alpha != 0 || beta != 0) {
            const double t = (gamma / beta) / -2;
            set_point(t, -(p * t + q) / r, &tangent_pair[0]);
        }
    } else {
        const double d = beta * beta - alpha * gamma;
        if (!(d < 0) && alpha != 0) {
            const double root = std::sqrt(d);
            const double t1 = (-beta - root) / alpha, t2 = (root - beta) / alpha;
            set_point(t1, -(p * t1 + q) / r, &tangent_pair[0]);
            set_point(t2, -(p * t2 + q) / r, &tangent_pair[2]);
        }
    }
}

void conic_tangent_points(uint16_t)
{
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e;
    const double delta = A * C - B * B;

    // Horizontal tangents.
    if (std::fabs(B) <= std::fabs(A)) {
        set_quadratic(C * A - B * B, E * A - B * D, -D * D);
        conic_tangent_pair(B, D, A);
        store_family(2, true, true, true);
    } else {
        set_quadratic(delta * A, (D * C - E * B) * A, (D * C - 2 * E * B) * D);
        conic_tangent_pair(A, D, B);
        store_family(2, false, true, true);
    }

    // Vertical tangents.
    if (std::fabs(B) <= std::fabs(C)) {
        set_quadratic(C * A - B * B, D * C - B * E, -E * E);
        conic_tangent_pair(B, E, C);
        store_family(0, false, false, true);
    } else {
        set_quadratic((C * A - B * B) * C, (E * A - D * B) * C, (E * A - 2 * D * B) * E);
        conic_tangent_pair(C, E, B);
        store_family(0, true, false, true);
    }

    // Tangents along the first diagonal.
    const double sigma = 2 * B + A + C;
    if (std::fabs(B + C) <= std::fabs(A + B)) {
        set_quadratic(delta * sigma, (A * E - B * D) * sigma, (D + E) * ((E - D) * A - 2 * B * D));
        conic_tangent_pair(B + C, D + E, A + B);
        store_family(3, true, true, true);
    } else {
        set_quadratic(delta * sigma, (C * D - B * E) * sigma, (D + E) * ((D - E) * C - 2 * B * E));
        conic_tangent_pair(A + B, D + E, B + C);
        store_family(3, false, false, false);
    }

    // Tangents along the second diagonal.
    const double sigma2 = -2 * B + A + C;
    if (std::fabs(B - C) <= std::fabs(A - B)) {
        set_quadratic(delta * sigma2, (A * E - B * D) * sigma2, (E - D) * ((E + D) * A - 2 * B * D));
        conic_tangent_pair(B - C, D - E, A - B);
        store_family(1, true, true, true);
    } else {
        set_quadratic(delta * sigma2, (C * D - B * E) * sigma2, (D - E) * ((D + E) * C - 2 * B * E));
        conic_tangent_pair(A - B, D - E, B - C);
        store_family(1, false, false, true);
    }
}

int32_t conic_tangent_limit(int32_t x, int32_t y, uint16_t octant)
{
    if (octant > 7) return 0;
    const octant_rule& rule = kOctants[octant];
    const double pen = rule.x_axis ? x : y;
    if (trace_last_octant) return step_count((rule.x_axis ? trace_end_dx : trace_end_dy) - pen);
    int slot;
    if (conic_kind == kConicParabola)
        slot = conic_branch ? rule.parabola_branch_slot : rule.parabola_slot;
    else
        slot = conic_branch ? rule.branch_slot : rule.slot;
    double target = rule.x_axis ? tangent_point_x[slot] : tangent_point_y[slot];
    // No tangent point: walk to the window edge.
    if (!std::isfinite(target)) target = static_cast<double>(conic_window[rule.edge]) - rule.inset;
    const double start = rule.x_axis ? trace_start_x : trace_start_y;
    return step_count(target - start - pen);
}

bool conic_bounding_box(tagRECT* rect, const object* conic)
{
    if (conic->valeurs == nullptr || conic->nbvaleurs < kConicValueCount || conic->parents == nullptr ||
        conic->nbparents < 1 || conic->parents[0] == nullptr || conic->parents[0]->valeurs == nullptr)
        return false;
    conic_load_equation(conic->valeurs);
    const valeur& p0 = conic->parents[0]->valeurs[0];
    trace_start_x = p0.h;
    trace_start_y = p0.v;
    const double x0 = p0.h, y0 = p0.v;
    const double D = conic_a * x0 + conic_b * y0 + conic_d;
    const double E = conic_b * x0 + conic_c * y0 + conic_e;
    conic_d = D;
    conic_e = E;
    conic_tangent_points(0);
    tagRECT box;
    if (!to_int32(tangent_point_x[4], &box.left) || !to_int32(tangent_point_y[6], &box.top) ||
        !to_int32(tangent_point_x[0], &box.right) || !to_int32(tangent_point_y[2], &box.bottom))
        return false;
    *rect = box;
    return true;
}

int16_t vector_quadrant(double x, double y)
{
    if (x > 0) return y >= 0 ? 0 : 3;
    if (x == 0) return y >= 0 ? 1 : 3;
    return y > 0 ? 1 : 2;
}

bool conic_bounding_rect(const object* conic, tagRECT* box)
{
    if (conic == nullptr || (conic->state & (OBJ_UNDEFINED | OBJ_AT_INFINITY))) return false;
    if (conic->valeurs == nullptr || conic->nbvaleurs < kConicValueCount) return false;
    if (conic_stored_kind(conic->valeurs) != kConicEllipse) return false;
    if (conic->parents == nullptr || conic->nbparents < 1 || conic->parents[0] == nullptr ||
        (conic->parents[0]->state & OBJ_AT_INFINITY))
        return false;
    return conic_bounding_box(box, conic);
}
