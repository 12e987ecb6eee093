#include "kernel/objects/intersections.h"

#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/solvers.h"

namespace {

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }

void set_point(valeur& out, double h, double v)
{
    out.h = h;
    out.v = v;
}

void flag_infinite_direction(valeur& out, double h, double v)
{
    out.h = h;
    out.v = v;
    out.infini_inexist_indetermine |= VAL_AT_INFINITY;
}

void clear_flags(valeur* out, int count)
{
    for (int i = 0; i < count; ++i) out[i].infini_inexist_indetermine = 0;
}

void mark_missing(valeur& out) { out.infini_inexist_indetermine |= VAL_NOT_EXIST; }

bool is_proper(int16_t kind)
{
    return kind == kConicParabola || kind == kConicEllipse || kind == kConicHyperbola ||
           kind == kConicRectHyperbola || kind == kConicCircle;
}

// The quadratic form of a conic's values in the coefficient area. Line
// pairs store two lines; their product is the equation. A double line is
// its one line squared (its second stored row is only a multiple of it, and
// zero for a line through the origin). A single line (kind 14) pairs with
// the line at infinity: no quadratic part, the line as the linear part.
void load_quadratic(const valeur* conic)
{
    conic_load_equation(conic);
    const int16_t kind = conic_kind;
    if (kind == kConicCrossingLines || kind == kConicParallelLines || kind == kConicDoubleLine) {
        const double a1 = conic_a, b1 = conic_b, c1 = conic_c;
        double a2 = conic_d, b2 = conic_e, c2 = conic_f;
        if (kind == kConicDoubleLine) {
            a2 = a1;
            b2 = b1;
            c2 = c1;
        }
        conic_a = a1 * a2;
        conic_b = (a1 * b2 + b1 * a2) / 2;
        conic_c = b1 * b2;
        conic_d = (a1 * c2 + c1 * a2) / 2;
        conic_e = (b1 * c2 + c1 * b2) / 2;
        conic_f = c1 * c2;
    } else if (kind == kConicLine) {
        const double a = conic_a, b = conic_b, c = conic_c;
        conic_a = conic_b = conic_c = 0;
        conic_d = a / 2;
        conic_e = b / 2;
        conic_f = c;
    }
}

// The digit code of a line pair in value 2 or 3: a 32-bit integer for
// kinds 1, 2 and 8, a double for kind 14.
int digit_code(const valeur* conic, int which)
{
    const valeur& v = conic[2 + which];
    if (conic_stored_kind(conic) == kConicLine) return static_cast<int>(v.info.rayon);
    return v.info.entier;
}

// The two defining points that a digit code names: its units digit first,
// then its tens digit.
void code_points(const valeur* conic, int code, const valeur** first, const valeur** second)
{
    int units = code % 10, tens = (code / 10) % 10;
    if (units < 0 || units > 4) units = 0;
    if (tens < 0 || tens > 4) tens = 0;
    *first = &conic[6 + units];
    *second = &conic[6 + tens];
}

// Line 1 of a kind 14 conic: through the two finite defining points. Its
// first code packs the group of three, which for a line given by two
// points and three directions names directions only; then the second code
// names the line.
int single_line_code(const valeur* conic)
{
    int code = digit_code(conic, 0);
    const valeur *p, *q;
    code_points(conic, code, &p, &q);
    if (at_infinity(*p) || at_infinity(*q)) code = digit_code(conic, 1);
    return code;
}

// A straight line {point, direction} through the defining points of a code.
void code_line(const valeur* conic, int code, valeur line[2])
{
    const valeur *p, *q;
    code_points(conic, code, &p, &q);
    if (at_infinity(*p)) {
        line[0] = *q;
        line[1] = *p;
    } else if (at_infinity(*q)) {
        line[0] = *p;
        line[1] = *q;
    } else {
        line[0] = *p;
        line[1] = *p;
        line[1].h = q->h - p->h;
        line[1].v = q->v - p->v;
    }
}

// Roots of a proper conic (in the coefficient area) with a second conic
// given by its coefficients, through the quartic of the parametrisation by
// lines through a point P0 of the first. Writes one or four outputs and
// returns whether any output asked holds a root.
struct quadratic {
    double A, B, C, D, E, F;
};

struct pencil_options {
    double sign_step;      // 1e-5 for two conics, 1 for a circle
    bool flip_on_positive; // flip when T1 T2 > 0 (conics) or < 0 (circle)
    double f0_threshold;
    bool infinite_at_threshold; // |delta| <= 1e-10 is at infinity (circle) or < 1e-10 (conics)
};

bool first_finite_point(const valeur* conic, double* x0, double* y0)
{
    // A proper conic has at most two directions among its five points.
    for (int i = 0; i < 4; ++i)
        if (!at_infinity(conic[6 + i])) {
            *x0 = conic[6 + i].h;
            *y0 = conic[6 + i].v;
            return true;
        }
    return false;
}

int pencil_roots(const valeur* param, const quadratic& q2, valeur* out, uint32_t root, const pencil_options& o)
{
    double x0, y0;
    const bool all = root == kAllRoots;
    if (!first_finite_point(param, &x0, &y0)) {
        for (int k = 0; k < (all ? 4 : 1); ++k) mark_missing(out[k]);
        return 0;
    }
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e;
    const double gh = -(2 * A * x0 + 2 * B * y0 + 2 * D);
    const double gv = -(2 * B * x0 + 2 * C * y0 + 2 * E);
    const double gnorm = std::sqrt(gh * gh + gv * gv);
    double c = gh / gnorm, s = gv / gnorm;
    const double u = o.sign_step * c, w = o.sign_step * s;
    const double T1 = A * u * u + 2 * B * u * w + C * w * w - gh * u - gv * w;
    const double T2 = A * s * s - 2 * B * c * s + C * c * c + gh * s - gv * c;
    if (o.flip_on_positive ? T1 * T2 > 0 : T1 * T2 < 0) {
        c = -c;
        s = -s;
    }
    const double a1 = A * c * c + 2 * B * c * s + C * s * s;
    const double b1 = (C - A) * c * s + B * (c * c - s * s);
    const double c1 = A * s * s - 2 * B * c * s + C * c * c;
    const double gamma = gh * c + gv * s;
    const double A2 = q2.A * c * c + 2 * q2.B * c * s + q2.C * s * s;
    const double B2 = (q2.C - q2.A) * c * s + q2.B * (c * c - s * s);
    const double C2 = q2.A * s * s - 2 * q2.B * c * s + q2.C * c * c;
    const double Gh = 2 * q2.A * x0 + 2 * q2.B * y0 + 2 * q2.D;
    const double Gv = 2 * q2.B * x0 + 2 * q2.C * y0 + 2 * q2.E;
    const double gn = Gh * c + Gv * s;
    const double gt = Gv * c - Gh * s;
    const double f0 = q2.A * x0 * x0 + 2 * q2.B * x0 * y0 + q2.C * y0 * y0 + 2 * q2.D * x0 + 2 * q2.E * y0 + q2.F;

    double k4, k3, k2, k1, k0;
    if (std::fabs(f0) > o.f0_threshold) {
        k4 = f0 * c1 * c1;
        k3 = gt * gamma * c1 + 4 * f0 * b1 * c1;
        k2 = C2 * gamma * gamma + gn * gamma * c1 + 2 * gt * gamma * b1 + f0 * (4 * b1 * b1 + 2 * a1 * c1);
        k1 = 2 * B2 * gamma * gamma + 2 * gn * gamma * b1 + gt * gamma * a1 + 4 * f0 * a1 * b1;
        k0 = A2 * gamma * gamma + gn * gamma * a1 + f0 * a1 * a1;
    } else if (std::fabs(gt) > 1e-10) {
        k4 = 0;
        k3 = gt * c1;
        k2 = 2 * gt * b1 + gn * c1 + gamma * C2;
        k1 = gt * a1 + 2 * gn * b1 + 2 * gamma * B2;
        k0 = gn * a1 + gamma * A2;
    } else {
        k4 = 0;
        k3 = 0;
        k2 = gn * c1 + gamma * C2;
        k1 = 2 * gn * b1 + 2 * gamma * B2;
        k0 = gn * a1 + gamma * A2;
    }
    solve_quartic(k4, k3, k2, k1, k0);

    bool any = false;
    for (int k = 0; k < 4; ++k) {
        if (!all && static_cast<uint32_t>(k) != root) continue;
        valeur& r = out[all ? k : 0];
        const uint8_t kind = quartic_root_kind[k];
        if (kind == kRootNone) {
            mark_missing(r);
            continue;
        }
        any = true;
        if (kind == kRootInfinite) {
            set_point(r, x0, y0);
            continue;
        }
        const double tau = quartic_roots[k];
        const double delta = a1 + 2 * b1 * tau + c1 * tau * tau;
        const bool infinite = o.infinite_at_threshold ? std::fabs(delta) <= 1e-10 : std::fabs(delta) < 1e-10;
        if (infinite) {
            // A direction of the first conic at infinity; the coordinates
            // give the direction of the pencil line.
            flag_infinite_direction(r, c - tau * s, s + tau * c);
        } else {
            const double lambda = gamma / delta;
            set_point(r, x0 + lambda * (c - tau * s), y0 + lambda * (s + tau * c));
        }
    }
    return any ? 1 : 0;
}

quadratic workspace_quadratic() { return quadratic{conic_a, conic_b, conic_c, conic_d, conic_e, conic_f}; }

} // namespace

int line_line_intersection(const valeur* l1, const valeur* l2, valeur* out)
{
    const bool inf1 = at_infinity(l1[0]), inf2 = at_infinity(l2[0]);
    if (inf1 && inf2) return 0;
    if (inf1) {
        *out = l2[1];
        out->infini_inexist_indetermine |= VAL_AT_INFINITY;
        return 1;
    }
    if (inf2) {
        *out = l1[1];
        out->infini_inexist_indetermine |= VAL_AT_INFINITY;
        return 1;
    }
    out->infini_inexist_indetermine = 0;
    const valeur &p1 = l1[0], &u1 = l1[1], &p2 = l2[0], &u2 = l2[1];
    const double det = u1.h * u2.v - u1.v * u2.h;
    const double side = u1.h * (p1.v - p2.v) - u1.v * (p1.h - p2.h);
    if (std::fabs(det) > 1e-10 &&
        std::fabs(det) / ((std::fabs(u1.h) + std::fabs(u1.v)) * (std::fabs(u2.h) + std::fabs(u2.v))) > 1e-10) {
        const double t = side / det;
        set_point(*out, p2.h + t * u2.h, p2.v + t * u2.v);
        return 1;
    }
    if (side == 0) return 0;
    *out = u1;
    out->infini_inexist_indetermine |= VAL_AT_INFINITY;
    return 1;
}

void two_point_lines_intersection(const valeur* p1, const valeur* p2, const valeur* p3, const valeur* p4,
                                  valeur* out)
{
    double x1 = p1->h, y1 = p1->v, x2 = p2->h, y2 = p2->v;
    double x3 = p3->h, y3 = p3->v, x4 = p4->h, y4 = p4->v;
    // A point at infinity becomes a finite point along its direction.
    if (at_infinity(*p1)) {
        x1 += x2;
        y1 += y2;
    }
    if (at_infinity(*p2)) {
        x2 += x1;
        y2 += y1;
    }
    if (at_infinity(*p3)) {
        x3 += x4;
        y3 += y4;
    }
    if (at_infinity(*p4)) {
        x4 += x3;
        y4 += y3;
    }
    const double a1 = y2 - y1, b1 = -(x2 - x1), c1 = -(x1 * a1 - y1 * (x2 - x1));
    const double a2 = y4 - y3, b2 = -(x4 - x3), c2 = -(x3 * a2 - y3 * (x4 - x3));
    const double det = a1 * b2 - a2 * b1;
    if (std::fabs(det) < 1e-10) {
        // Distinct when either pair of minors with the constants is non-zero:
        // for horizontal lines (a = 0) only the second one tells.
        if (std::fabs(a1 * c2 - a2 * c1) >= 1e-10 || std::fabs(b1 * c2 - b2 * c1) >= 1e-10) {
            out->infini_inexist_indetermine = VAL_AT_INFINITY | VAL_NOT_EXIST;
            set_point(*out, b1, -a1);
        } else {
            out->infini_inexist_indetermine = VAL_NOT_EXIST;
        }
        return;
    }
    out->infini_inexist_indetermine = 0;
    set_point(*out, -(c1 * b2 - c2 * b1) / det, -(c2 * a1 - c1 * a2) / det);
}

int line_circle_intersection(const valeur* line, const valeur* circle, valeur* out, uint32_t root)
{
    const bool all = root == kAllRoots;
    const valeur &p = line[0], &u = line[1];
    const valeur &centre = circle[0], &second = circle[1];
    const double nh = -u.v, nv = u.h;
    const double N = u.h * u.h + u.v * u.v;
    const double k = (p.h - centre.h) * nh + (p.v - centre.v) * nv;
    clear_flags(out, all ? 2 : 1);

    if (at_infinity(centre)) {
        // A circle through infinity is the straight line M.
        if (!at_infinity(second)) {
            valeur m[2] = {second, centre};
            m[1].h = -centre.v;
            m[1].v = centre.h;
            if (all) {
                line_line_intersection(line, m, &out[1]);
                flag_infinite_direction(out[0], u.h, u.v);
                return 1;
            }
            if (root == 0) return line_line_intersection(line, m, &out[0]);
            flag_infinite_direction(out[0], u.h, u.v);
            return 1;
        }
        if (std::fabs(second.h - centre.h) + std::fabs(second.v - centre.v) < 1e-10) {
            if (std::fabs(u.h - centre.h) + std::fabs(u.v - centre.v) < 1e-10) {
                out[0] = centre;
                if (all) out[1] = centre;
                return 1;
            }
            return 0;
        }
    } else if (!at_infinity(second)) {
        const double r = second.info.rayon;
        const double rootN = std::sqrt(N);
        if (rootN < 1e-10) {
            // The line is only its point.
            if (std::fabs(std::hypot(p.h - centre.h, p.v - centre.v) - r) >= 1e-10) return 0;
            out[0] = p;
            if (all) out[1] = p;
            return 1;
        }
        double D = r * r * N - k * k;
        if (D <= -1e-10 && D / ((r * r * rootN + N * r + std::fabs(k)) * 20) <= -1e-10) return 0;
        const double s = std::fabs(std::fabs(k) / rootN - r) < 1e-10 ? 0.0 : std::sqrt(std::fabs(D));
        const double fh = centre.h + (k / N) * nh, fv = centre.v + (k / N) * nv;
        const double step = s / N;
        if (all) {
            set_point(out[0], fh - step * u.h, fv - step * u.v);
            set_point(out[1], fh + step * u.h, fv + step * u.v);
        } else if (root == 0) {
            set_point(out[0], fh - step * u.h, fv - step * u.v);
        } else {
            set_point(out[0], fh + step * u.h, fv + step * u.v);
        }
        return 1;
    }
    flag_infinite_direction(out[0], u.h, u.v);
    if (all) flag_infinite_direction(out[1], u.h, u.v);
    return 1;
}

int circle_circle_intersection(const valeur* c1, const valeur* c2, valeur* out, uint32_t root)
{
    const bool all = root == kAllRoots;
    clear_flags(out, all ? 2 : 1);
    if (at_infinity(c1[0]) || at_infinity(c2[0])) {
        const valeur* straight = at_infinity(c1[0]) ? c1 : c2;
        const valeur* other = straight == c1 ? c2 : c1;
        valeur m[2] = {straight[1], straight[0]};
        m[1].h = -straight[0].v;
        m[1].v = straight[0].h;
        return line_circle_intersection(m, other, out, root);
    }
    const double dh = c1[0].h - c2[0].h, dv = c1[0].v - c2[0].v;
    if (std::fabs(dh) + std::fabs(dv) < 1e-10) return 0;
    const double r1 = c1[1].info.rayon, r2 = c2[1].info.rayon;
    const double K = (c2[0].h * c2[0].h + c2[0].v * c2[0].v - r2 * r2) - (c1[0].h * c1[0].h + c1[0].v * c1[0].v) + r1 * r1;
    valeur radical[2] = {c2[1], c2[1]};
    if (std::fabs(dh) > 1e-10)
        set_point(radical[0], K / (-2 * dh), 0);
    else
        set_point(radical[0], 0, K / (-2 * dv));
    set_point(radical[1], -dv, dh);
    return line_circle_intersection(radical, c1, out, root);
}

int straight_conic_intersection(const valeur* line, const valeur* conic, valeur* out, uint32_t root)
{
    const bool all = root == kAllRoots;
    // Results that are points carry no stale flag from an earlier use.
    clear_flags(out, all ? 2 : 1);
    load_quadratic(conic);
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e, F = conic_f;
    const valeur &p = line[0], &u = line[1];

    if (at_infinity(p)) {
        out[0].infini_inexist_indetermine |= VAL_AT_INFINITY;
        if (all) out[1].infini_inexist_indetermine |= VAL_AT_INFINITY;
        const int16_t kind = conic_kind;
        if (kind != kConicHyperbola && kind != kConicRectHyperbola && kind != kConicCrossingLines &&
            kind != kConicParallelLines && kind != kConicDoubleLine)
            return 0;
        const double disc = B * B - A * C;
        if (std::fabs(disc) < 1e-10) {
            set_point(out[0], -B, A);
            if (all) set_point(out[1], -B, A);
            return 1;
        }
        const double s = std::sqrt(disc);
        if (all) {
            set_point(out[0], -B - s, A);
            set_point(out[1], s - B, A);
        } else if (root == 1) {
            set_point(out[0], s - B, A);
        } else {
            set_point(out[0], -B - s, A);
        }
        return 1;
    }

    const double f = A * p.h * p.h + 2 * B * p.h * p.v + C * p.v * p.v + 2 * D * p.h + 2 * E * p.v + F;
    const double q = A * u.h * u.h + 2 * B * u.h * u.v + C * u.v * u.v;
    const double m = A * p.h * u.h + B * (p.h * u.v + p.v * u.h) + C * p.v * u.v + D * u.h + E * u.v;

    if ((std::fabs(m) + std::fabs(f)) * 1e-10 > std::fabs(q)) {
        // Along an asymptotic direction: at most one finite crossing.
        if (std::fabs(m) < 1e-10) {
            flag_infinite_direction(out[0], u.h, u.v);
            if (all) flag_infinite_direction(out[1], u.h, u.v);
            return 1;
        }
        const double t = f / (-2 * m);
        if (all) {
            set_point(out[0], p.h + t * u.h, p.v + t * u.v);
            flag_infinite_direction(out[1], u.h, u.v);
        } else if (root == 1) {
            flag_infinite_direction(out[0], u.h, u.v);
        } else {
            set_point(out[0], p.h + t * u.h, p.v + t * u.v);
        }
        return 1;
    }
    const double disc = m * m - q * f;
    if (-1e-6 < disc && disc < 1e-6) {
        const double t = -(m / q);
        set_point(out[0], p.h + t * u.h, p.v + t * u.v);
        if (all) out[1] = out[0];
        return 1;
    }
    if (disc <= 0) return 0;
    const double sq = std::sqrt(disc);
    const double t0 = (-m - sq) / q, t1 = (sq - m) / q;
    if (all) {
        set_point(out[0], p.h + t0 * u.h, p.v + t0 * u.v);
        set_point(out[1], p.h + t1 * u.h, p.v + t1 * u.v);
    } else {
        const double t = root == 1 ? t1 : t0;
        set_point(out[0], p.h + t * u.h, p.v + t * u.v);
    }
    return 1;
}

int conic_conic_intersection(const valeur* q1, const valeur* q2, valeur* out, uint32_t root)
{
    const bool all = root == kAllRoots;
    const int count = all ? 4 : 1;
    clear_flags(out, count);
    const int16_t k1 = conic_stored_kind(q1), k2 = conic_stored_kind(q2);
    const bool proper1 = is_proper(k1), proper2 = is_proper(k2);

    if (!proper1 && !proper2) {
        auto line_pair = [](int16_t k) {
            return k == kConicCrossingLines || k == kConicParallelLines || k == kConicLine;
        };
        if (!line_pair(k1) || !line_pair(k2)) {
            for (int i = 0; i < count; ++i) mark_missing(out[i]);
            return 0;
        }
        // Line 1 and line 2 of each pair, by their defining points.
        const valeur* pts[2][2][2] = {};
        const valeur* pair[2] = {q1, q2};
        bool has_second[2];
        for (int c = 0; c < 2; ++c) {
            const bool single = conic_stored_kind(pair[c]) == kConicLine;
            code_points(pair[c], single ? single_line_code(pair[c]) : digit_code(pair[c], 0), &pts[c][0][0],
                        &pts[c][0][1]);
            has_second[c] = !single;
            if (!single) code_points(pair[c], digit_code(pair[c], 1), &pts[c][1][0], &pts[c][1][1]);
        }
        bool found = false;
        for (int r = 0; r < 4; ++r) {
            if (!all && static_cast<uint32_t>(r) != root) continue;
            valeur& o = out[all ? r : 0];
            const int l1 = r / 2, l2 = r % 2;
            if ((l1 == 1 && !has_second[0]) || (l2 == 1 && !has_second[1])) {
                mark_missing(o);
                continue;
            }
            two_point_lines_intersection(pts[0][l1][0], pts[0][l1][1], pts[1][l2][0], pts[1][l2][1], &o);
            found = true;
        }
        return all || found ? 1 : 0;
    }

    // Parametrise the proper one, substitute the other.
    const valeur* param = proper1 ? q1 : q2;
    const valeur* other = proper1 ? q2 : q1;
    load_quadratic(other);
    const quadratic second = workspace_quadratic();
    load_quadratic(param);
    const pencil_options options{1e-5, true, 1e-6, false};
    int any = pencil_roots(param, second, out, root, options);
    return all ? 1 : any;
}

int circle_conic_intersection(const valeur* circle, const valeur* conic, valeur* out, uint32_t root)
{
    const bool all = root == kAllRoots;
    const int count = all ? 4 : 1;
    clear_flags(out, count);
    const int16_t kind = conic_stored_kind(conic);

    if (kind == kConicParallelLines || kind == kConicCrossingLines) {
        valeur line1[2], line2[2];
        code_line(conic, digit_code(conic, 0), line1);
        code_line(conic, digit_code(conic, 1), line2);
        if (all) return line_circle_intersection(line1, circle, out, kAllRoots) +
                        line_circle_intersection(line2, circle, out + 2, kAllRoots);
        if (root <= 1) return line_circle_intersection(line1, circle, out, root);
        if (root <= 3) return line_circle_intersection(line2, circle, out, root - 2);
        return 1;
    }
    if (kind == kConicLine) {
        const double A = conic[0].h, B = conic[0].v, C = conic[0].info.rayon;
        valeur line[2] = {conic[0], conic[0]};
        line[0].infini_inexist_indetermine = 0;
        line[1].infini_inexist_indetermine = 0;
        if (std::fabs(B) > std::fabs(A))
            set_point(line[0], 0, -C / B);
        else
            set_point(line[0], -C / A, 0);
        set_point(line[1], -B, A);
        int r = line_circle_intersection(line, circle, out, root);
        if (all) {
            mark_missing(out[2]);
            mark_missing(out[3]);
        }
        return r;
    }
    if (!is_proper(kind)) return 1;
    if (at_infinity(circle[0])) {
        for (int i = 0; i < count; ++i) mark_missing(out[i]);
        return 0;
    }
    const double ch = circle[0].h, cv = circle[0].v, r = circle[1].info.rayon;
    const quadratic round{1, 0, 1, -ch, -cv, ch * ch + cv * cv - r * r};
    load_quadratic(conic);
    const pencil_options options{1, false, 1e-10, true};
    return pencil_roots(conic, round, out, root, options);
}
