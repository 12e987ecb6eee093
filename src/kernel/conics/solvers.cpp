#include "kernel/conics/solvers.h"

#include <cmath>
#include <limits>
#include <utility>

double quad_roots[2];
double cubic_roots[3];
double quartic_roots[4];
uint8_t quartic_root_kind[4];

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kThirdPi = 1.0471975511965976;

// Which result slots the current call has written. The slot rules test for
// +infinity only in values the current call produced: a slot a lower-degree
// solver left alone still holds whatever an earlier call put there, and
// counts as finite.
bool quad_written = false;
bool cubic_written[3];

double cube_root(double x)
{
    return x > 0 ? std::pow(x, 1.0 / 3.0) : -std::pow(-x, 1.0 / 3.0);
}

void compare_exchange(double* r, int i, int j)
{
    if (r[i] > r[j]) std::swap(r[i], r[j]);
}

void set_kinds(uint8_t k0, uint8_t k1, uint8_t k2, uint8_t k3)
{
    quartic_root_kind[0] = k0;
    quartic_root_kind[1] = k1;
    quartic_root_kind[2] = k2;
    quartic_root_kind[3] = k3;
}

} // namespace

int16_t solve_quadratic(double a, double b, double c)
{
    quad_written = false;
    double disc = b * b + a * -4.0 * c;
    if (std::fabs(a) <= 1e-6) {
        if (std::fabs(b) > 1e-10) {
            quad_roots[0] = -c / b;
            quad_roots[1] = kInf;
        } else if (std::fabs(c) >= 1e-10) {
            quad_roots[0] = kInf;
            quad_roots[1] = kInf;
        } else {
            return kRootsEverywhere;
        }
        quad_written = true;
        return 2;
    }
    if (std::fabs(disc) > 1e-10) {
        if (disc < 0) return 0;
        double s = std::sqrt(disc);
        // The root of larger magnitude from the stable formula, the other
        // one from the product of the roots.
        if (b > 0) {
            quad_roots[0] = (-b - s) / (2.0 * a);
            quad_roots[1] = c / (quad_roots[0] * a);
        } else {
            quad_roots[1] = (s - b) / (2.0 * a);
            quad_roots[0] = c / (quad_roots[1] * a);
        }
        if (quad_roots[0] > quad_roots[1]) std::swap(quad_roots[0], quad_roots[1]);
    } else {
        quad_roots[0] = b / (-2.0 * a);
        quad_roots[1] = quad_roots[0];
    }
    quad_written = true;
    return 2;
}

int16_t solve_cubic(double a, double b, double c, double d, bool all_roots)
{
    cubic_written[0] = cubic_written[1] = cubic_written[2] = false;
    if (std::fabs(a) < 1e-10) {
        int q = solve_quadratic(b, c, d) + 1;
        cubic_roots[0] = quad_roots[0];
        cubic_roots[1] = quad_roots[1];
        cubic_roots[2] = kInf;
        cubic_written[0] = cubic_written[1] = quad_written;
        cubic_written[2] = true;
        return static_cast<int16_t>(q > kRootsEverywhere ? kRootsEverywhere : q);
    }
    if (a != 1.0) {
        b = b / a;
        c = c / a;
        d = d / a;
    }
    double m = b * b / 3.0 - c;
    double n = b * c / 3.0 + 2.0 * b * b * b / -27.0 - d;
    double disc = n * n / 4.0 + m * m * m / -27.0;
    if (disc >= 0) {
        double s = std::sqrt(disc);
        double u = cube_root(n / 2.0 + s);
        double v = cube_root(n / 2.0 - s);
        cubic_roots[0] = b / -3.0 + u + v;
        cubic_written[0] = true;
        return 1;
    }
    double r = std::sqrt(n * n / 4.0 - disc);
    // Rounding can carry the cosine a hair past 1 when two roots nearly
    // meet; the angle is then 0 or pi, not a NaN.
    double cosine = n / (2.0 * r);
    if (cosine > 1.0) cosine = 1.0;
    if (cosine < -1.0) cosine = -1.0;
    double theta = std::acos(cosine) / 3.0;
    double k = std::pow(r, 1.0 / 3.0);
    cubic_roots[0] = b / -3.0 + 2.0 * k * std::cos(theta);
    cubic_written[0] = true;
    if (!all_roots) return 1;
    cubic_roots[1] = b / -3.0 - 2.0 * k * std::cos(kThirdPi - theta);
    cubic_roots[2] = b / -3.0 - 2.0 * k * std::cos(theta + kThirdPi);
    cubic_written[1] = cubic_written[2] = true;
    return 3;
}

int16_t solve_quartic(double a, double b, double c, double d, double e)
{
    double* R = quartic_roots;
    bool written[4] = {true, true, true, true};
    int count;
    if (std::fabs(a) < 1e-10) {
        int q = solve_cubic(b, c, d, e, true) + 1;
        R[0] = cubic_roots[0];
        R[1] = cubic_roots[1];
        R[2] = cubic_roots[2];
        R[3] = kInf;
        written[0] = cubic_written[0];
        written[1] = cubic_written[1];
        written[2] = cubic_written[2];
        if (q > kRootsEverywhere) {
            set_kinds(kRootNone, kRootNone, kRootNone, kRootNone);
            return kRootsEverywhere;
        }
        count = q;
    } else {
        if (a != 1.0) {
            b = b / a;
            c = c / a;
            d = d / a;
            e = e / a;
        }
        R[0] = R[1] = R[2] = R[3] = 0;
        solve_cubic(8.0, -4.0 * c, 2.0 * (b * d - 4.0 * e), (4.0 * c - b * b) * e - d * d, false);
        double y = cubic_roots[0];
        double w = 8.0 * y + b * b - 4.0 * c;
        double s = 0;
        double t = 0;
        bool solvable = true;
        // The largest root of the resolvent gives w >= 0 in exact arithmetic.
        // At w = 0 (x^4 - 1, and every even quartic with e < 0) the quartic
        // is (x^2 + b x / 2 + y)^2 = y^2 - e, so its two quadratics are known
        // without dividing by s; near 0 the division would only spread
        // rounding noise. The slots do not depend on which quadratic comes
        // first, so this keeps the numbering of every root.
        double scale = std::fabs(8.0 * y) + b * b + std::fabs(4.0 * c);
        if (w <= 1e-12 * scale) {
            double r2 = y * y - e;
            if (r2 < 0)
                solvable = false;
            else
                t = std::copysign(std::sqrt(r2), b * y - d);
        } else {
            s = std::sqrt(w);
            t = (b * y - d) / s;
        }
        count = 0;
        if (solvable) {
            int q1 = solve_quadratic(1.0, (b + s) / 2.0, y + t);
            if (q1 != 0) {
                R[0] = quad_roots[0];
                R[1] = quad_roots[1];
            }
            count = q1;
            int q2 = solve_quadratic(1.0, (b - s) / 2.0, y - t);
            if (q2 != 0) {
                R[q1] = quad_roots[0];
                R[q1 + 1] = quad_roots[1];
                count = q1 + q2;
            }
        }
    }
    auto infinite = [&](int i) { return written[i] && R[i] == kInf; };
    if (infinite(3)) {
        if (infinite(2)) {
            if (infinite(1)) {
                if (infinite(0))
                    set_kinds(kRootInfinite, kRootInfinite, kRootInfinite, kRootInfinite);
                else
                    set_kinds(kRootFinite, kRootInfinite, kRootInfinite, kRootInfinite);
            } else {
                uint8_t k = count == 4 ? kRootFinite : kRootNone;
                set_kinds(k, k, kRootInfinite, kRootInfinite);
            }
        } else if (count == 4) {
            compare_exchange(R, 0, 1);
            compare_exchange(R, 0, 2);
            compare_exchange(R, 1, 2);
            set_kinds(kRootFinite, kRootFinite, kRootFinite, kRootInfinite);
        } else {
            // The cubic's single root goes low or high by where the mean of
            // the cubic's three roots lies.
            if (-c / b > 3.0 * R[0]) {
                set_kinds(kRootFinite, kRootNone, kRootNone, kRootInfinite);
            } else {
                set_kinds(kRootNone, kRootNone, kRootFinite, kRootInfinite);
                R[2] = R[0];
            }
        }
    } else if (count == 0) {
        set_kinds(kRootNone, kRootNone, kRootNone, kRootNone);
    } else if (count == 4) {
        compare_exchange(R, 0, 1);
        compare_exchange(R, 0, 2);
        compare_exchange(R, 0, 3);
        compare_exchange(R, 1, 2);
        compare_exchange(R, 1, 3);
        compare_exchange(R, 2, 3);
        set_kinds(kRootFinite, kRootFinite, kRootFinite, kRootFinite);
    } else {
        // Two real roots. The reference point is b / (-4 a) with b already
        // divided by a: -b / (4 a^2), not the mean -b / (4 a) of the roots.
        // Slot numbers are stored in figure files, so it stays as it is.
        double m = b / (-4.0 * a);
        if (R[0] < m && m < R[1]) {
            set_kinds(kRootFinite, kRootNone, kRootNone, kRootFinite);
            R[3] = R[1];
        } else if (2.0 * m > R[0] + R[1]) {
            set_kinds(kRootFinite, kRootFinite, kRootNone, kRootNone);
        } else {
            set_kinds(kRootNone, kRootNone, kRootFinite, kRootFinite);
            R[2] = R[0];
            R[3] = R[1];
        }
    }
    return static_cast<int16_t>(count);
}
