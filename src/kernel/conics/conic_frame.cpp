#include "kernel/conics/conic_frame.h"

#include <cmath>
#include <utility>

#include "kernel/conics/conic.h"

namespace {

dpoint quarter_turn(dpoint u) { return dpoint{-u.y, u.x}; }

double determinant3()
{
    return conic_a * conic_c * conic_f + 2.0 * conic_b * conic_d * conic_e - conic_c * conic_d * conic_d -
           conic_a * conic_e * conic_e - conic_b * conic_b * conic_f;
}

} // namespace

void conic_axes()
{
    const double A = conic_a, B = conic_b, C = conic_c;
    if (std::fabs(B) >= 1e-06) {
        double r = std::sqrt((A - C) * (A - C) + 4.0 * B * B);
        double l1 = ((A + C) - r) * 0.5;
        double l2 = ((A + C) + r) * 0.5;
        dpoint w{B, l1 - A};
        double norm = std::sqrt(w.x * w.x + w.y * w.y);
        double k = -conic_delta / conic_det;
        conic_param_a = k * l1;
        conic_param_b = k * l2;
        if (conic_param_a <= std::fabs(conic_param_b) || conic_delta <= 0) {
            conic_axis_u = dpoint{w.x / norm, w.y / norm};
            conic_axis_v = quarter_turn(conic_axis_u);
        } else {
            if (conic_param_b > 0) std::swap(conic_param_a, conic_param_b);
            conic_axis_v = dpoint{w.x / norm, w.y / norm};
            conic_axis_u = dpoint{conic_axis_v.y, -conic_axis_v.x};
        }
        return;
    }
    double k = std::fabs(conic_delta / conic_det);
    if (conic_delta <= 0) {
        bool s = A * C * conic_f - C * conic_d * conic_d - A * conic_e * conic_e < 0;
        if (C < 0) s = !s;
        if (s) {
            conic_axis_u = dpoint{1, 0};
            conic_axis_v = dpoint{0, 1};
            conic_param_a = std::fabs(A) * k;
            conic_param_b = -std::fabs(C) * k;
        } else {
            conic_axis_u = dpoint{0, -1};
            conic_axis_v = dpoint{1, 0};
            conic_param_a = std::fabs(C) * k;
            conic_param_b = -std::fabs(A) * k;
        }
    } else if (std::fabs(C) > std::fabs(A)) {
        conic_axis_u = dpoint{-1, 0};
        conic_axis_v = dpoint{0, -1};
        conic_param_a = std::fabs(A) * k;
        conic_param_b = std::fabs(C) * k;
    } else {
        conic_axis_u = dpoint{0, -1};
        conic_axis_v = dpoint{1, 0};
        conic_param_a = std::fabs(C) * k;
        conic_param_b = std::fabs(A) * k;
    }
}

bool parabola_frame()
{
    const double s = conic_a + conic_c;
    double p1 = s * conic_a, p2 = s * conic_b, p3 = conic_a * conic_d + conic_b * conic_e;
    const double q1 = s * conic_d + (conic_d * conic_c - conic_b * conic_e);
    const double q2 = s * conic_e + (conic_a * conic_e - conic_b * conic_d);
    const double q3 = s * conic_f;
    if (std::fabs(conic_a) < 1e-06) {
        p1 = s * conic_b;
        p2 = s * conic_c;
        p3 = conic_c * conic_e + conic_b * conic_d;
    }
    // The vertex solves two linear equations; an equation that leaves them
    // singular has no vertex to give.
    const double den = p1 * q2 - q1 * p2;
    if (den == 0 || !std::isfinite(den)) return false;
    const dpoint vertex{(p2 * q3 - q2 * p3) / den, (q1 * p3 - p1 * q3) / den};
    conic_axis_point = vertex;

    dpoint u;
    if (p1 != 0 && p2 != 0) {
        // Orient the equation so that it is negative inside the parabola.
        conic_axis_point2 = dpoint{-(conic_b * vertex.y + conic_d) / conic_a, vertex.y};
        if (conic_value_at(conic_axis_point2.x, conic_axis_point2.y) > 0) conic_negate_equation();
        u = dpoint{(-p3 - (vertex.y + 1.0) * p2) / p1 - vertex.x, 1.0};
        double norm = std::sqrt(u.x * u.x + u.y * u.y);
        u = dpoint{u.x / norm, u.y / norm};
        conic_axis_point2 = dpoint{vertex.x + u.x, vertex.y + u.y};
        if (conic_value_at(conic_axis_point2.x, conic_axis_point2.y) > 0) u = dpoint{-u.x, -u.y};
        conic_param_a = std::fabs((conic_a * conic_e - conic_b * conic_d) /
                                  ((conic_a + conic_c) * std::sqrt(conic_a * conic_a + conic_b * conic_b)));
    } else if (p1 != 0) {
        if (conic_a < 0) {
            conic_a = -conic_a;
            conic_d = -conic_d;
            conic_e = -conic_e;
            conic_f = -conic_f;
            conic_det = -conic_det;
        }
        conic_param_a = std::fabs(conic_e) / conic_a;
        u = conic_e > 0 ? dpoint{0, -1} : dpoint{0, 1};
    } else {
        if (conic_c < 0) {
            conic_c = -conic_c;
            conic_d = -conic_d;
            conic_e = -conic_e;
            conic_f = -conic_f;
            conic_det = -conic_det;
        }
        conic_param_a = std::fabs(conic_d) / conic_c;
        u = conic_d > 0 ? dpoint{-1, 0} : dpoint{1, 0};
    }
    conic_origin = vertex;
    conic_axis_u = u;
    conic_axis_v = quarter_turn(u);
    return true;
}

int16_t conic_classify()
{
    if (conic_a == 0 && conic_b == 0 && conic_c == 0) {
        if (conic_d != 0 || conic_e != 0) return kConicLine;
        return conic_f != 0 ? kConicNoPoint : kConicEveryPoint;
    }
    conic_delta = conic_a * conic_c - conic_b * conic_b;
    if (std::fabs(conic_delta) < 1e-06) conic_delta = 0;
    if (conic_delta != 0) {
        conic_origin.x = (conic_b * conic_e - conic_c * conic_d) / conic_delta;
        conic_origin.y = (conic_b * conic_d - conic_a * conic_e) / conic_delta;
        double sigma = conic_delta >= 0 ? -1.0 : 1.0;
        if (sigma * conic_value_at(conic_origin.x, conic_origin.y) < 0) conic_negate_coefficients();
    }
    conic_det = determinant3();
    if (std::fabs(conic_det) < 1e-06) conic_det = 0;

    if (conic_delta < 0) {
        if (conic_det == 0) return kConicCrossingLines;
        if (conic_det > 0) conic_negate_equation();
        return std::fabs(conic_a + conic_c) >= 1e-06 ? kConicHyperbola : kConicRectHyperbola;
    }
    if (conic_delta > 0) {
        if (conic_det == 0) return kConicPoint;
        if (conic_det > 0) conic_negate_equation();
        if ((conic_a + conic_c) * conic_det >= 0) return kConicImaginaryEllipse;
        if (std::fabs(conic_a - conic_c) >= 1e-06 || std::fabs(conic_b) >= 1e-06) return kConicEllipse;
        return kConicCircle;
    }
    if (conic_det != 0) return parabola_frame() ? kConicParabola : kConicNothing;

    const bool only_x = conic_b == 0 && conic_c == 0 && conic_e == 0;
    const bool only_y = conic_a == 0 && conic_b == 0 && conic_d == 0;
    // Two parallel lines in y alone have D = A = 0: their spread is E^2 - C F.
    double d = only_y ? conic_e * conic_e - conic_c * conic_f : conic_d * conic_d - conic_a * conic_f;
    if (d <= 0) return std::fabs(d) < 1e-06 ? kConicDoubleLine : kConicNothing;
    if (only_x) {
        double r = std::sqrt(d);
        double A = conic_a, D = conic_d;
        conic_a = A;
        conic_b = 0;
        conic_c = D - r;
        conic_d = A;
        conic_e = 0;
        conic_f = D + r;
    } else if (only_y) {
        double r = std::sqrt(d);
        double C = conic_c, E = conic_e;
        conic_a = 0;
        conic_b = C;
        conic_c = E - r;
        conic_d = 0;
        conic_e = C;
        conic_f = E + r;
    }
    return kConicParallelLines;
}
