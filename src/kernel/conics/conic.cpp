#include "kernel/conics/conic.h"

#include <cmath>
#include <utility>

#include "kernel/conics/conic_frame.h"

double conic_a, conic_b, conic_c, conic_d, conic_e, conic_f;
int16_t conic_kind;
double conic_delta;
double conic_det;
dpoint conic_origin;
dpoint conic_axis_u;
dpoint conic_axis_v;
double conic_param_a;
double conic_param_b;
dpoint conic_axis_point;
dpoint conic_axis_point2;

namespace {

void clear_coefficients()
{
    conic_a = conic_b = conic_c = conic_d = conic_e = conic_f = 0;
}

// Digit codes of a line pair: the indices of the defining entries on line
// 1 (A x + B y + C) and on line 2 (D x + E y + F), three and two places.
// A pass records each index on the first line it lies on within t; an index
// is recorded once only, so no line is named by the same point twice.
struct line_codes {
    int l1[3] = {-1, -1, -1};
    int l2[2] = {-1, -1};
    int n1 = 0;
    int n2 = 0;

    bool recorded(int m) const
    {
        for (int k = 0; k < n1; ++k)
            if (l1[k] == m) return true;
        for (int k = 0; k < n2; ++k)
            if (l2[k] == m) return true;
        return false;
    }

    void pass(const double x[5], const double y[5], double t)
    {
        for (int m = 0; m < 5; ++m) {
            if (recorded(m)) continue;
            if (std::fabs(conic_a * x[m] + conic_b * y[m] + conic_c) < t) {
                if (n1 < 3) l1[n1++] = m;
            } else if (std::fabs(conic_d * x[m] + conic_e * y[m] + conic_f) < t) {
                if (n2 < 2) l2[n2++] = m;
            }
        }
    }

    // Places left empty take the running count.
    void finish()
    {
        for (int k = 0; k < 3; ++k)
            if (l1[k] == -1) l1[k] = n1++;
        for (int k = 0; k < 2; ++k)
            if (l2[k] == -1) l2[k] = n2++;
        conic_param_a = l1[0] + 10 * l1[1] + 100 * l1[2];
        conic_param_b = l2[0] + 10 * l2[1];
    }
};

bool entries_collinear(double dx1, double dy1, double dx2, double dy2)
{
    if (dy1 == 0) return dy2 == 0;
    if (dx1 == 0) return dx2 == 0;
    if (dx2 == 0 || dy2 == 0) return false;
    if (std::fabs(dx1) > std::fabs(dy1)) return std::fabs(dy1 / dx1 - dy2 / dx2) < 1e-06;
    return std::fabs(dx1 / dy1 - dx2 / dy2) < 1e-06;
}

} // namespace

void conic_negate_coefficients()
{
    conic_a = -conic_a;
    conic_b = -conic_b;
    conic_c = -conic_c;
    conic_d = -conic_d;
    conic_e = -conic_e;
    conic_f = -conic_f;
}

void conic_negate_equation()
{
    conic_negate_coefficients();
    conic_det = -conic_det;
}

double conic_value_at(double x, double y)
{
    return conic_a * x * x + 2.0 * conic_b * x * y + conic_c * y * y + 2.0 * conic_d * x + 2.0 * conic_e * y + conic_f;
}

int16_t conic_special_configuration(const double x[5], const double y[5], int16_t mode)
{
    const int n = 5 - mode;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (std::fabs(x[i] - x[j]) < 1e-06 && std::fabs(y[i] - y[j]) < 1e-06) {
                clear_coefficients();
                return kConicCoincidence;
            }
    if (mode == 2 && std::fabs(y[3] * x[4] - y[4] * x[3]) < 1e-06) return kConicCoincidence;

    int ti = -1, tj = -1, tk = -1;
    for (int i = 0; i <= 2 && ti < 0; ++i)
        for (int j = i + 1; j < n && ti < 0; ++j)
            for (int k = j + 1; k <= 4; ++k) {
                double dx1 = x[j] - x[i], dy1 = y[j] - y[i];
                double dx2 = k < n ? x[k] - x[i] : x[k];
                double dy2 = k < n ? y[k] - y[i] : y[k];
                if (entries_collinear(dx1, dy1, dx2, dy2)) {
                    ti = i;
                    tj = j;
                    tk = k;
                    break;
                }
            }
    if (ti < 0) return -1;

    int r = -1, s = -1;
    for (int m = 0; m < 5; ++m)
        if (m != ti && m != tj && m != tk) (r < 0 ? r : s) = m;
    conic_param_a = ti + 10 * tj + 100 * tk;
    conic_param_b = 10 * r + s;

    // The two points of the triple farthest apart define its line.
    int p = ti, q = tj;
    if (tk < n) {
        bool by_x = x[tj] != x[ti];
        const double* c = by_x ? x : y;
        if ((c[tj] - c[ti]) * (c[tk] - c[ti]) < 0) {
            p = tj;
            q = tk;
        } else if ((c[ti] - c[tj]) * (c[tk] - c[tj]) < 0) {
            p = ti;
            q = tk;
        }
    }

    double dx = x[q] - x[p], dy = y[q] - y[p];
    for (int m : {r, s}) {
        double ex = m < n ? x[m] - x[p] : x[m];
        double ey = m < n ? y[m] - y[p] : y[m];
        if (std::fabs(dy * ex - ey * dx) < 1e-06 * (std::fabs(dx) + std::fabs(dy) + std::fabs(ex) + std::fabs(ey))) {
            clear_coefficients();
            return kConicAlignment;
        }
    }

    conic_a = y[q] - y[p];
    conic_b = x[p] - x[q];
    conic_c = -x[p] * conic_a - y[p] * conic_b;
    if (r < n && s < n) {
        conic_d = y[s] - y[r];
        conic_e = x[r] - x[s];
        conic_f = -x[r] * conic_d - y[r] * conic_e;
        if ((x[q] - x[p]) * (y[s] - y[r]) == (x[s] - x[r]) * (y[q] - y[p])) return kConicParallelLines;
    } else if (r < n) {
        conic_d = y[s];
        conic_e = -x[s];
        conic_f = y[r] * x[s] - x[r] * y[s];
        if ((x[q] - x[p]) * y[s] == (y[q] - y[p]) * x[s]) return kConicParallelLines;
    } else {
        conic_d = 0;
        conic_e = 0;
        conic_f = 1;
        return kConicLine;
    }
    double den = conic_a * conic_e - conic_b * conic_d;
    conic_origin.x = (conic_b * conic_f - conic_c * conic_e) / den;
    conic_origin.y = (conic_c * conic_d - conic_a * conic_f) / den;
    return kConicCrossingLines;
}

int16_t conic_from_points(const double x[5], const double y[5], int16_t mode)
{
    const double x0 = x[0], y0 = y[0];
    double M[4][5];
    for (int k = 1; k <= 4; ++k) {
        bool direction = (k == 3 && mode >= 2) || (k == 4 && mode != 0);
        double dx = direction ? x[k] : x[k] - x0;
        double dy = direction ? y[k] : y[k] - y0;
        double* row = M[k - 1];
        row[0] = dx * dx;
        row[1] = dy * dy;
        row[2] = 2.0 * dx * dy;
        row[3] = direction ? 0.0 : 2.0 * dx;
        row[4] = direction ? 0.0 : 2.0 * dy;
    }

    // Unknowns A, C, B, D, E in columns 0..4; eliminate from the last column.
    for (int c = 4; c >= 2; --c) {
        int pivot = c - 1;
        double largest = std::fabs(M[c - 1][c]);
        for (int r = c - 2; r >= 0; --r)
            if (std::fabs(M[r][c]) > largest) {
                largest = std::fabs(M[r][c]);
                pivot = r;
            }
        if (largest < 1e-06) continue;
        if (pivot < c - 1)
            for (int col = 0; col <= c; ++col) std::swap(M[pivot][col], M[c - 1][col]);
        for (int r = c - 2; r >= 0; --r) {
            double factor = M[r][c] / M[c - 1][c];
            if (factor == 0) continue;
            for (int col = 0; col <= c; ++col) M[r][col] -= M[c - 1][col] * factor;
        }
    }

    const double m00 = M[0][0], m01 = M[0][1];
    const double m10 = M[1][0], m11 = M[1][1], m12 = M[1][2];
    if (std::fabs(m00) < 1e-10 && std::fabs(m01) < 1e-10) return 2;

    double A, C;
    bool plain = true;
    if (!(std::fabs(m01) <= 1e-10 || std::fabs(m12) <= 1e-10)) {
        double t, q;
        if (std::fabs(m00 / m01) >= 1) {
            t = (m00 * m11 - m10 * m01) / (m00 * m12);
            q = t * t + m01 / m00;
        } else {
            t = (m00 * m11 - m10 * m01) / (m01 * m12);
            q = t * t + m00 / m01;
        }
        plain = std::fabs(q) >= 1e-10;
    }
    if (plain) {
        if (std::fabs(m00) < 1e-06) {
            A = 1;
            C = 0;
        } else if (std::fabs(m01) < 1e-06) {
            A = 0;
            C = 1;
        } else {
            A = 1;
            C = -m00 / m01;
        }
    } else {
        // A parabola under the plain normalisation: take A + C = 1.
        if (std::fabs(m00 - m01) < 1e-10) return 2;
        A = -m01 / (m00 - m01);
        C = 1 - A;
        if (std::fabs(C) < 1e-10) {
            A = 1;
            C = 0;
        }
        if (std::fabs(A) < 1e-10) {
            A = 0;
            C = 1;
        }
    }

    double B;
    if (std::fabs(m12) <= 1e-06) {
        A = 0;
        C = 0;
        B = 1;
    } else {
        B = -(m10 * A + m11 * C) / m12;
    }
    if (std::fabs(M[2][3]) <= 1e-06) return 1;
    double D = -(M[2][0] * A + M[2][1] * C + M[2][2] * B) / M[2][3];
    if (std::fabs(M[3][4]) <= 1e-06) return 1;
    double E = -(M[3][0] * A + M[3][1] * C + M[3][2] * B + M[3][3] * D) / M[3][4];
    if (std::fabs(B) < 1e-06) B = 0;
    if (std::fabs(D) < 1e-06) D = 0;
    if (std::fabs(E) < 1e-06) E = 0;

    conic_a = A;
    conic_b = B;
    conic_c = C;
    conic_f = A * x0 * x0 + 2.0 * B * x0 * y0 + C * y0 * y0 - 2.0 * D * x0 - 2.0 * E * y0;
    conic_d = D - x0 * A - y0 * B;
    conic_e = E - x0 * B - y0 * C;
    return 0;
}

int16_t conic_through_five_points(const double x[5], const double y[5], int16_t mode)
{
    int16_t kind = conic_special_configuration(x, y, mode);
    if (kind > 0) return kind;
    int16_t r = conic_from_points(x, y, mode);
    if (r != 0) {
        clear_coefficients();
        return r == 2 ? kConicAlignment : kConicEveryPoint;
    }

    conic_delta = conic_a * conic_c - conic_b * conic_b;
    if (std::fabs(conic_delta) < 1e-08) conic_delta = 0;
    if (conic_delta != 0) {
        conic_origin.x = (conic_b * conic_e - conic_c * conic_d) / conic_delta;
        conic_origin.y = (conic_b * conic_d - conic_a * conic_e) / conic_delta;
    }
    conic_det = conic_a * conic_c * conic_f + 2.0 * conic_b * conic_d * conic_e - conic_c * conic_d * conic_d -
                conic_a * conic_e * conic_e - conic_b * conic_b * conic_f;
    if (std::fabs(conic_det) < 9.999999999999999e-10) conic_det = 0;

    if (conic_delta == 0) {
        if (conic_det != 0) return parabola_frame() ? kConicParabola : kConicNothing;
        double d1 = conic_d * conic_d - conic_a * conic_f;
        double d2 = conic_e * conic_e - conic_c * conic_f;
        if (d1 < -1e-10 || d2 < -1e-10) return kConicNothing;
        bool c_dominant = std::fabs(conic_c) + 1e-10 > std::fabs(conic_b) && std::fabs(conic_b) + 1e-10 > std::fabs(conic_a);
        double K = c_dominant ? conic_e : conic_d;
        if (d1 < 1e-10 && d2 < 1e-10) {
            // A double line: the equation is (a x + b y + c)^2, whose rows
            // (A, B, D) and (B, C, E) are the line times a and times b; take
            // the row of the larger factor.
            if (c_dominant) {
                conic_a = conic_b;
                conic_b = conic_c;
            }
            conic_c = K;
            conic_param_a = 210;
            conic_param_b = 43;
            return kConicDoubleLine;
        }
        double P, Q;
        if (std::fabs(conic_c) > std::fabs(conic_b)) {
            P = conic_b;
            Q = conic_c;
        } else {
            P = conic_a;
            Q = conic_b;
        }
        double s = d1 > d2 ? std::sqrt(d1) : std::sqrt(d2);
        conic_a = P;
        conic_b = Q;
        conic_c = K - s;
        conic_d = P;
        conic_e = Q;
        conic_f = K + s;
        line_codes codes;
        codes.pass(x, y, 1e-10);
        codes.finish();
        return kConicParallelLines;
    }

    if (conic_delta > 0) {
        if (conic_det > 0) conic_negate_equation();
        if (conic_det == 0) return kConicNothing;
        if (std::fabs(conic_a - conic_c) < 1e-06 && std::fabs(conic_b) < 1e-06) {
            conic_param_b = (conic_a + conic_c) * -0.5 * conic_delta / conic_det;
            conic_param_a = conic_param_b;
            return kConicCircle;
        }
        conic_kind = kConicEllipse;
        conic_axes();
        return kConicEllipse;
    }

    if (conic_det > 0) conic_negate_equation();
    if (conic_det != 0) {
        conic_kind = std::fabs(conic_a + conic_c) < 1e-06 ? kConicRectHyperbola : kConicHyperbola;
        conic_axes();
        return conic_kind;
    }

    // Two lines crossing at the centre.
    const double A = conic_a, B = conic_b, C = conic_c;
    const double x0 = conic_origin.x, y0 = conic_origin.y;
    auto set_lines = [](double a1, double b1, double c1, double a2, double b2, double c2) {
        conic_a = a1;
        conic_b = b1;
        conic_c = c1;
        conic_d = a2;
        conic_e = b2;
        conic_f = c2;
    };
    if (std::fabs(A) < 1e-08 && std::fabs(C) < 1e-08) {
        set_lines(0, 1, -y0, 1, 0, -x0);
    } else if (std::fabs(A) < 1e-08) {
        set_lines(0, 1, -y0, 2.0 * B, C, -x0 * 2.0 * B - y0 * C);
    } else if (std::fabs(C) < 1e-08) {
        set_lines(1, 0, -x0, A, 2.0 * B, -x0 * A - y0 * 2.0 * B);
    } else {
        double s = std::sqrt(-conic_delta);
        double m1 = (s - B) / C;
        double m2 = (-B - s) / C;
        set_lines(-m1, 1, m1 * x0 - y0, -m2, 1, m2 * x0 - y0);
    }
    // A second, looser pass when the first did not place all five entries.
    line_codes codes;
    codes.pass(x, y, 1e-10);
    if (codes.n1 + codes.n2 <= 4) codes.pass(x, y, 1e-10 * 10);
    codes.finish();
    return kConicCrossingLines;
}
