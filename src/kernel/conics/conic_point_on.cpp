#include "kernel/conics/conic_point_on.h"

#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/conic_type.h"
#include "kernel/model/memory.h"

namespace {

constexpr double kPi = 3.141592653589793;
// Far out along the axis of a parabola.
constexpr double kFarX = 3.4028234663852886e+38;

bool finite(dpoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

void not_existing(valeur* value) { value->infini_inexist_indetermine |= VAL_NOT_EXIST; }

// Stores a position, or marks the point as not existing when the position
// is not a number (a hostile record, a degenerate frame).
void store(valeur* value, dpoint p)
{
    if (!finite(p)) {
        not_existing(value);
        return;
    }
    value->h = p.x;
    value->v = p.y;
}

// The value of defining point i when it is a point (not a direction).
const valeur* finite_parent(const object* conic, int i)
{
    if (conic->parents == nullptr || i < 0 || i >= conic->nbparents) return nullptr;
    const object* p = conic->parents[i];
    if (p == nullptr || p->valeurs == nullptr || (p->state & OBJ_AT_INFINITY)) return nullptr;
    return &p->valeurs[0];
}

// Average of the defining points named by the digits of a code (count
// digits, units first); directions among them are left out. False when the
// code names no defining point or none of them is a point.
bool code_average(const object* conic, int32_t code, int count, dpoint* out)
{
    if (code < 0) return false;
    double sx = 0, sy = 0;
    int n = 0;
    for (int k = 0; k < count; ++k, code /= 10) {
        const int index = code % 10;
        if (index > 4) return false;
        if (const valeur* v = finite_parent(conic, index)) {
            sx += v->h;
            sy += v->v;
            ++n;
        }
    }
    if (code != 0 || n == 0) return false;
    *out = dpoint{sx / n, sy / n};
    return true;
}

// Average of every finite defining point.
bool finite_average(const object* conic, dpoint* out)
{
    return code_average(conic, 43210, 5, out);
}

// The reference point and normal of a line of a line-pair conic (kinds 1,
// 2, 14), for a line tag.
bool line_reference(const object* conic, uint8_t tag, dpoint* R, dpoint* N)
{
    const valeur* v = conic->valeurs;
    if (conic_kind == kConicLine) {
        if (tag != kConicLine1Tag && tag != kConicLine2Tag) return false;
        *N = dpoint{v[0].h, v[0].v};
        return finite_average(conic, R);
    }
    if (tag == kConicLine1Tag) {
        *N = dpoint{v[0].h, v[0].v};
        return code_average(conic, v[2].info.entier, 3, R);
    }
    if (tag == kConicLine2Tag) {
        *N = dpoint{v[1].h, v[1].v};
        return code_average(conic, v[3].info.entier, 2, R);
    }
    return false;
}

// Signed distance of P from R along the line of normal N, positive in the
// direction (N.y, -N.x).
double signed_distance(dpoint P, dpoint R, dpoint N)
{
    const double d = std::hypot(P.x - R.x, P.y - R.y);
    return (P.x - R.x) * N.y - (P.y - R.y) * N.x >= 0 ? d : -d;
}

dpoint along_line(dpoint R, dpoint N, double d)
{
    const double n = std::hypot(N.x, N.y);
    return dpoint{R.x + d * N.y / n, R.y - d * N.x / n};
}

// 16-bit truncation of a number known to be in range; false otherwise.
bool to_int16(double x, int16_t* out)
{
    if (!(std::fabs(x) < 2147483648.0)) return false;
    *out = static_cast<int16_t>(static_cast<int32_t>(x));
    return true;
}

// Frame position at step i of n; false when the kind has no such rule or
// the request makes no sense.
bool step_position(double n, double i, double la, double lb, dpoint* out)
{
    double X = 0, Y = 0;
    switch (conic_kind) {
    case kConicParabola: {
        if (std::fabs(i) < 1e-10 || std::fabs(i - n) < 1e-10) {
            X = kFarX;
        } else if (std::fabs(i - n / 2) < 1e-10) {
            // The vertex.
        } else {
            double theta = i * (2 * kPi / n);
            if (!(std::fabs(theta) < 1e4)) return false;
            while (theta > kPi) theta -= kPi;
            if (std::fabs(theta - kPi / 2) <= 1e-10) {
                X = la;
                Y = la * 1.4142135623730951;
            } else {
                // The line through (a, 0) at angle theta.
                const double tau = std::tan(theta), t2 = tau * tau;
                if (std::fabs(t2) >= 1e-10) {
                    const double b = -la * (t2 + 1), c = la * la * t2;
                    X = (std::sqrt(b * b - t2 * c) - b) / t2;
                    Y = (X - la) * tau;
                    if (Y < 0) {
                        X = c / (t2 * X);
                        Y = (X - la) * tau;
                    }
                }
            }
            if (i > n / 2) Y = -Y;
        }
        break;
    }
    case kConicPoint:
    case kConicCrossingLines: break;
    case kConicEllipse: {
        const double theta = i * 2 * kPi / n;
        X = std::sqrt(1 / la) * std::cos(theta);
        Y = std::sqrt(1 / lb) * std::sin(theta);
        break;
    }
    case kConicHyperbola:
    case kConicRectHyperbola: {
        // The line through the focus (f, 0) at angle theta - pi/2.
        const double r = std::fmod(i, n / 2);
        int16_t step = 0, half = 0;
        if (!to_int16(std::floor(i + 0.5), &step) || !to_int16(n / 2, &half) || half == 0) return false;
        const int branch = step / half;
        const double a = std::sqrt(1 / la), b = std::sqrt(-1 / lb), f = std::sqrt(1 / la - 1 / lb);
        const double phi0 = std::atan(b / a);
        double theta = r * (4 * (kPi - phi0) / n) + phi0 + kPi / 2;
        if (!(std::fabs(theta) < 1e4)) return false;
        while (theta > kPi) theta -= kPi;
        X = f;
        if (4 * r < n && std::fabs(theta) < 1e-10) {
            Y = b * b / a;
        } else if (4 * r > n && std::fabs(theta - kPi) < 1e-10) {
            Y = -b * b / a;
        } else {
            const double tau = std::tan(theta - kPi / 2), t2 = tau * tau;
            double qa = lb * t2 + la, qb = -f * lb * t2;
            const double qc = lb * t2 * f * f - 1;
            const double disc = std::sqrt(qb * qb - qa * qc);
            if (qa != 0) {
                if (qa < 0) {
                    qa = -qa;
                    qb = -qb;
                }
                double sigma = 1;
                if (n <= 4 * r) {
                    if (b <= a * tau && tau > 0) sigma = -1;
                } else if (tau <= 0 && -b > a * tau) {
                    sigma = -1;
                }
                X = (sigma * disc - qb) / qa;
                Y = (X - f) * tau;
            } else if (r != 0) {
                X = qc / (-2 * qb);
                Y = (X - f) * tau;
            } else {
                X = a * 10000000.0;
                Y = b * 10000000.0;
            }
        }
        if (branch != 0) X = -X;
        break;
    }
    default: return false;
    }
    *out = dpoint{X, Y};
    return true;
}

// Mode 2: projects the value and records where it lies.
void place_and_record(object* conic, valeur* value, conic_point_param* block)
{
    const int16_t kind = conic_kind;
    const double la = conic_param_a, lb = conic_param_b;
    const dpoint origin = conic_origin, u = conic_axis_u, v = conic_axis_v;
    dpoint P;
    int line = 1;
    if (!conic_project(conic, value->h, value->v, &P, &line)) {
        // A conic without real points: the point keeps its place, nowhere.
        const bool curved = kind == kConicParabola || kind == kConicEllipse || kind == kConicHyperbola ||
                            kind == kConicRectHyperbola || kind == kConicCircle;
        if (!curved) not_existing(value);
        return;
    }
    if (!finite(P)) {
        not_existing(value);
        return;
    }
    // The projection reloads the equation only; the frame is ours again.
    conic_origin = origin;
    conic_axis_u = u;
    conic_axis_v = v;
    const dpoint F = conic_frame_coordinates(P.x, P.y);
    switch (kind) {
    case kConicParallelLines:
    case kConicDoubleLine:
    case kConicLine: {
        const uint8_t tag = line == 1 ? kConicLine1Tag : kConicLine2Tag;
        dpoint R, N;
        if (!line_reference(conic, tag, &R, &N)) {
            not_existing(value);
            return;
        }
        block->part_tag = tag;
        block->t1 = signed_distance(P, R, N);
        break;
    }
    case kConicParabola:
        block->t1 = F.x - la;
        block->t2 = F.y;
        break;
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
        const double f = std::sqrt(std::fabs(1 / la - 1 / lb));
        if (conic->math.conic_info == 1) {
            block->t1 = F.x + f;
            block->t2 = F.y;
        } else {
            block->t1 = f - F.x;
            block->t2 = -F.y;
        }
        const double t1 = block->t1, t2 = block->t2;
        if (kind == kConicEllipse)
            block->part_tag = t1 >= 0 ? 2 : 1;
        else if (-lb * t2 * t2 <= la * t1 * t1)
            block->part_tag = t1 >= f ? 2 : 1;
        else
            block->part_tag = t1 <= 0 ? 2 : 1;
        break;
    }
    case kConicCrossingLines: {
        const valeur* cv = conic->valeurs;
        const dpoint R{cv[4].h, cv[4].v};
        const dpoint N = line == 1 ? dpoint{cv[0].h, cv[0].v} : dpoint{cv[1].h, cv[1].v};
        block->on_line = 1;
        block->line_no = static_cast<uint8_t>(line);
        block->line_dist = signed_distance(P, R, N);
        break;
    }
    case kConicCircle:
        block->t1 = P.x - conic->valeurs[4].h;
        block->t2 = P.y - conic->valeurs[4].v;
        break;
    default: break;
    }
    store(value, P);
}

// Any other mode: the position from the record.
void recompute_from_record(object* conic, valeur* value, const conic_point_param* block)
{
    const valeur* cv = conic->valeurs;
    const double la = conic_param_a, lb = conic_param_b;
    const dpoint origin{cv[4].h, cv[4].v};
    switch (conic_kind) {
    case kConicParallelLines:
    case kConicDoubleLine:
    case kConicLine: {
        dpoint R, N;
        if (!line_reference(conic, block->part_tag, &R, &N)) {
            not_existing(value);
            return;
        }
        store(value, along_line(R, N, block->t1));
        return;
    }
    case kConicParabola: {
        const double t1 = block->t1, t2 = block->t2;
        double X = 0, Y = 0;
        if (t2 == 0 && t1 > 0) {
            // Along the axis away from the vertex: far out.
            X = kFarX;
        } else if (t1 == 0 && t2 != 0) {
            // Straight across the axis from (a, 0).
            X = la;
            Y = std::copysign(la * 1.4142135623730951, t2);
        } else if (t2 != 0) {
            const double m = t2 / t1, m2 = m * m;
            if (m2 != 0) {
                const double k = -la * m2 - la;
                const double disc = std::fabs(k * k - m2 * la * la * m2);
                X = t1 > 0 ? (std::sqrt(disc) - k) / m2 : (-k - std::sqrt(disc)) / m2;
                Y = (X - la) * m;
            }
        }
        // Toward the vertex along the axis, or no direction: the vertex.
        store(value, conic_frame_point(X, Y));
        return;
    }
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
        if (block->part_tag != 1 && block->part_tag != 2) {
            not_existing(value);
            return;
        }
        const double s = conic->math.conic_info == 1 ? 1 : -1;
        const double Xd = s * block->t1, Yd = s * block->t2;
        const double f2 = 1 / la - 1 / lb;
        const double f = s * std::sqrt(std::fabs(f2));
        const double qa = la * Xd * Xd + lb * Yd * Yd;
        const double qb = lb * f * Yd * Yd;
        const double qc = f2 * lb * Yd * Yd - Xd * Xd;
        double X;
        if (qa == 0) {
            // Along an asymptote: one crossing only.
            if (qb == 0) {
                not_existing(value);
                return;
            }
            X = -qc / (2 * qb);
        } else {
            const double disc = std::fabs(qb * qb - qa * qc);
            X = (block->part_tag == 2) != (s == -1) ? (std::sqrt(disc) - qb) / qa : (-qb - std::sqrt(disc)) / qa;
        }
        double Y;
        if (Xd != 0)
            Y = (X + f) * Yd / Xd;
        else
            Y = Yd < 0 ? -std::sqrt(la) / std::fabs(lb) : std::sqrt(la) / std::fabs(lb);
        store(value, conic_frame_point(X, Y));
        return;
    }
    case kConicCrossingLines: {
        if (block->on_line == 0) {
            store(value, origin);
            return;
        }
        if (block->line_no != 1 && block->line_no != 2) {
            not_existing(value);
            return;
        }
        const dpoint N = block->line_no == 1 ? dpoint{cv[0].h, cv[0].v} : dpoint{cv[1].h, cv[1].v};
        store(value, along_line(origin, N, block->line_dist));
        return;
    }
    case kConicCircle: {
        const valeur* p0 = finite_parent(conic, 0);
        const double len = std::hypot(block->t1, block->t2);
        if (p0 == nullptr || len == 0) {
            not_existing(value);
            return;
        }
        const double r = std::hypot(p0->h - origin.x, p0->v - origin.y);
        store(value, dpoint{origin.x + block->t1 * r / len, origin.y + block->t2 * r / len});
        return;
    }
    case kConicPoint: store(value, origin); return;
    default:
        // No real point to follow (or every point): the point keeps its
        // place and does not exist.
        not_existing(value);
        return;
    }
}

} // namespace

void conic_point_on(object* conic, valeur* value, void** param, int mode)
{
    if (*param == nullptr) {
        *param = GlobalAlloc(GPTR, sizeof(conic_point_param));
        if (mode != 3) mode = 2;
    }
    value->infini_inexist_indetermine = 0;
    if (*param == nullptr || GlobalSize(*param) < sizeof(conic_point_param) || conic->valeurs == nullptr ||
        conic->nbvaleurs < kConicValueCount) {
        not_existing(value);
        return;
    }
    auto* block = static_cast<conic_point_param*>(*param);
    conic_load_workspace(conic->valeurs);

    if (conic->state & OBJ_UNDEFINED) return;
    const valeur* cv = conic->valeurs;
    if (conic->state & OBJ_AT_INFINITY) {
        value->infini_inexist_indetermine |= VAL_AT_INFINITY;
        if ((cv[0].infini_inexist_indetermine & VAL_AT_INFINITY) && conic_a * conic_e - conic_b * conic_d == 0) {
            *value = cv[0];
            value->infini_inexist_indetermine |= VAL_AT_INFINITY;
        }
        return;
    }
    if (cv[0].infini_inexist_indetermine & VAL_AT_INFINITY) {
        // The conic went to a line through (D, E) with normal (A, B).
        const double A = cv[0].h, B = cv[0].v, D = cv[1].h, E = cv[1].v;
        const double k = (B * (value->h - D) - A * (value->v - E)) / (A * A + B * B);
        store(value, dpoint{D + B * k, E - A * k});
        return;
    }

    if (mode == 3) {
        const double n = value->h, i = value->v;
        dpoint at;
        if (!std::isfinite(n) || !std::isfinite(i) || !(n > 0) ||
            !step_position(n, i, conic_param_a, conic_param_b, &at)) {
            not_existing(value);
            return;
        }
        const dpoint p = conic_frame_point(at.x, at.y);
        if (!finite(p)) {
            not_existing(value);
            return;
        }
        value->h = p.x;
        value->v = p.y;
        if (conic_kind == kConicParabola && at.x == kFarX) {
            // Far out along the axis already: no projection can improve on
            // that, and the record keeps it there.
            block->t1 = at.x - conic_param_a;
            block->t2 = 0;
            return;
        }
        mode = 2;
    }
    if (mode == 2)
        place_and_record(conic, value, block);
    else
        recompute_from_record(conic, value, block);
}
