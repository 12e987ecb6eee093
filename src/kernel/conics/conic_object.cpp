#include "kernel/conics/conic_object.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "kernel/conics/conic.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/drag_state.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Language rows of the kind names.
constexpr int kRowLine = 225;
constexpr int kRowEllipse = 226;
constexpr int kRowCircle = 227;
constexpr int kRowHyperbola = 228;
constexpr int kRowRectHyperbola = 229;
constexpr int kRowParabola = 230;

uint8_t* info_bytes(valeur& v) { return reinterpret_cast<uint8_t*>(&v.info); }
const uint8_t* info_bytes(const valeur& v) { return reinterpret_cast<const uint8_t*>(&v.info); }

void store_kind(object* conic, int16_t kind)
{
    info_bytes(conic->valeurs[4])[3] = static_cast<uint8_t>(static_cast<int8_t>(kind));
}

void set_value(valeur& v, double h, double vv, double rayon)
{
    v.h = h;
    v.v = vv;
    v.info.rayon = rayon;
}

void set_kind_name(object* conic, int16_t kind)
{
    // A text the user gave (first byte 1) is never replaced.
    if (conic->str != nullptr && static_cast<uint8_t>(conic->str[0]) == 1) return;
    int row = 0;
    switch (kind) {
    case kConicParabola: row = kRowParabola; break;
    case kConicEllipse: row = kRowEllipse; break;
    case kConicHyperbola: row = kRowHyperbola; break;
    case kConicRectHyperbola: row = kRowRectHyperbola; break;
    case kConicCircle: row = kRowCircle; break;
    case kConicLine: row = kRowLine; break;
    case kConicPoint:
    case kConicImaginaryEllipse:
    case kConicCrossingLines:
    case kConicParallelLines:
    case kConicDoubleLine:
    case kConicNothing:
    case kConicNoPoint:
    case kConicEveryPoint: break;
    default: return;  // kinds 10 and 11 leave the name as it was
    }
    conic->str = row != 0 ? kernel_strings[row] : nullptr;
}

// The line through the two finite defining points of a kind-14 conic.
void store_single_line(object* conic)
{
    const valeur* pts[5];
    int finite[5];
    int nfinite = 0;
    int p = 0, q = 0;
    for (int i = 0; i < 5; ++i) {
        pts[i] = &conic->parents[i]->valeurs[0];
        if (conic->parents[i]->state & OBJ_AT_INFINITY) {
            q = 10 * q + i;
        } else {
            p = 10 * p + i;
            finite[nfinite++] = i;
        }
    }
    if (nfinite < 2) {
        store_kind(conic, kConicCoincidence);
        conic->state |= OBJ_UNDEFINED;
        return;
    }
    const double x1 = pts[finite[0]]->h, y1 = pts[finite[0]]->v;
    const double x2 = pts[finite[1]]->h, y2 = pts[finite[1]]->v;
    if (std::fabs(x2 - x1) + std::fabs(y2 - y1) < 1e-06) {
        store_kind(conic, kConicCoincidence);
        conic->state |= OBJ_UNDEFINED;
        return;
    }
    conic_a = y2 - y1;
    conic_b = x1 - x2;
    set_value(conic->valeurs[0], conic_a, conic_b, -x1 * conic_a - y1 * conic_b);
    // The code of the group of three comes first.
    if (nfinite == 2) {
        conic_param_a = q;
        conic_param_b = p;
    } else {
        conic_param_a = p;
        conic_param_b = q;
    }
    conic->valeurs[2].info.rayon = conic_param_a;
    conic->valeurs[3].info.rayon = conic_param_b;
}

} // namespace

int16_t conic_stored_kind(const valeur* values)
{
    return static_cast<int16_t>(static_cast<int8_t>(info_bytes(values[4])[3]));
}

void conic_load_equation(const valeur* values)
{
    conic_a = values[0].h;
    conic_b = values[0].v;
    conic_c = values[0].info.rayon;
    conic_d = values[1].h;
    conic_e = values[1].v;
    conic_f = values[1].info.rayon;
    conic_kind = conic_stored_kind(values);
}

void conic_load_workspace(const valeur* values)
{
    conic_load_equation(values);
    conic_axis_u = dpoint{values[2].h, values[2].v};
    conic_param_a = values[2].info.rayon;
    conic_axis_v = dpoint{values[3].h, values[3].v};
    conic_param_b = values[3].info.rayon;
    conic_origin = dpoint{values[4].h, values[4].v};
}

int compute_conic(object* conic)
{
    if (conic->nbparents < 5 || conic->nbvaleurs < kConicValueCount || conic->parents == nullptr ||
        conic->valeurs == nullptr) {
        conic->state |= OBJ_UNDEFINED;
        return 0;
    }
    int directions[5];
    int ndir = 0;
    for (int i = 0; i < 5; ++i) {
        conic->valeurs[6 + i] = conic->parents[i]->valeurs[0];
        if (conic->parents[i]->state & OBJ_AT_INFINITY) directions[ndir++] = i;
    }
    double x[5], y[5];
    for (int i = 0; i < 5; ++i) {
        x[i] = conic->parents[i]->valeurs[0].h;
        y[i] = conic->parents[i]->valeurs[0].v;
    }
    auto exchange = [&](int i, int j) {
        std::swap(x[i], x[j]);
        std::swap(y[i], y[j]);
    };

    int16_t kind;
    if (ndir == 0) {
        kind = conic_through_five_points(x, y, 0);
    } else if (ndir <= 2) {
        // The directions go last.
        if (ndir == 1) {
            if (directions[0] != 4) exchange(directions[0], 4);
        } else if (directions[1] == 4) {
            if (directions[0] != 3) exchange(directions[0], 3);
        } else {
            exchange(directions[0], 4);
            if (directions[1] != 3) exchange(directions[1], 3);
        }
        kind = conic_through_five_points(x, y, static_cast<int16_t>(ndir));
    } else if (ndir == 3) {
        kind = kConicLine;
        const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        for (const auto& pr : pairs) {
            int i = directions[pr[0]], j = directions[pr[1]];
            if (std::fabs(x[i] * y[j] - x[j] * y[i]) < 1e-06) {
                kind = kConicCoincidence;
                break;
            }
        }
    } else {
        kind = kConicAlignment;
    }
    conic_kind = kind;
    store_kind(conic, kind);
    set_kind_name(conic, kind);

    if (kind == kConicCoincidence || kind == kConicAlignment) {
        conic->state |= OBJ_UNDEFINED;
        return 0;
    }
    if (kind == kConicLine) {
        store_single_line(conic);
        return 0;
    }

    // Orientation sign: it flips with the first axis, so that points on
    // the conic keep their side while the figure is changed step by step.
    // During a drag the previous axis follows at once and nothing flips.
    valeur& previous = conic->valeurs[5];
    if (drag_in_progress) {
        previous.h = conic_axis_u.x;
        previous.v = conic_axis_u.y;
    }
    if (previous.h * conic_axis_u.x < 0 && std::fabs(conic_axis_u.x) > std::fabs(conic_axis_u.y))
        conic->math.conic_info = conic->math.conic_info == 1 ? static_cast<uint32_t>(-1) : 1u;

    set_value(conic->valeurs[0], conic_a, conic_b, conic_c);
    set_value(conic->valeurs[1], conic_d, conic_e, conic_f);
    conic->valeurs[2].h = conic_axis_u.x;
    conic->valeurs[2].v = conic_axis_u.y;
    conic->valeurs[3].h = conic_axis_v.x;
    conic->valeurs[3].v = conic_axis_v.y;
    if (kind == kConicCrossingLines || kind == kConicParallelLines || kind == kConicDoubleLine) {
        conic->valeurs[2].info.entier = static_cast<int32_t>(conic_param_a);
        conic->valeurs[3].info.entier = static_cast<int32_t>(conic_param_b);
    } else {
        conic->valeurs[2].info.rayon = conic_param_a;
        conic->valeurs[3].info.rayon = conic_param_b;
    }
    conic->valeurs[4].h = conic_origin.x;
    conic->valeurs[4].v = conic_origin.y;
    info_bytes(conic->valeurs[4])[2] = 255;
    previous.h = conic_axis_u.x;
    previous.v = conic_axis_u.y;
    return 0;
}

void conic_point_at_step(object* point, int16_t n, double t)
{
    if (point->nbparents < 1 || point->parents == nullptr || point->valeurs == nullptr) return;
    const valeur* cv = point->parents[0]->valeurs;
    conic_load_workspace(cv);
    const int16_t kind = conic_kind;
    const double a = conic_param_a, b = conic_param_b;
    point->state &= ~OBJ_UNDEFINED;
    double X = 0, Y = 0;
    const int h = n / 2;
    switch (kind) {
    case kConicEllipse: {
        double theta = 2 * kPi * t / n;
        X = std::sqrt(1 / a) * std::cos(theta);
        Y = std::sqrt(1 / b) * std::sin(theta);
        break;
    }
    case kConicPoint:
    case kConicCrossingLines: break;
    case kConicParabola: {
        if (h <= 0) {
            point->state |= OBJ_UNDEFINED;
            return;
        }
        const int i = static_cast<int>(std::floor(t + 0.5));
        const int branch = i / h;
        int m = i % h;
        if (branch != 0) m = h - m;
        if (m == 0) {
            Y = 0;
            X = branch == 0 ? 3.4028234663852886e+38 : 0;
        } else {
            const double phi = (m + 0.5) * kPi / h;
            if (std::fabs(phi - kPi / 2) <= 1e-10) {
                X = a;
                Y = a * 1.4142135623730951;
            } else {
                // The line Y = tau (X - a) meets Y^2 = 2 a X where
                // tau^2 X^2 + 2 c X + a^2 tau^2 = 0; take the root with Y >= 0.
                const double tau = std::tan(phi);
                const double t2 = tau * tau;
                const double c = -a * (t2 + 1);
                const double root = std::sqrt(c * c - t2 * t2 * a * a);
                X = (root - c) / t2;
                Y = (X - a) * tau;
                if (Y < 0) {
                    X = (-c - root) / t2;
                    Y = (X - a) * tau;
                }
            }
        }
        if (branch != 0) Y = -Y;
        break;
    }
    case kConicHyperbola:
    case kConicRectHyperbola: {
        if (h <= 0) {
            point->state |= OBJ_UNDEFINED;
            return;
        }
        const double alpha = std::sqrt(1 / a);
        const double beta = std::sqrt(-1 / b);
        const double c = std::sqrt(1 / a - 1 / b);
        const int i = static_cast<int>(std::floor(t + 0.5));
        const int branch = i / h;
        const int m = i % h;
        const double phi0 = std::atan(beta / alpha);
        const double psi = (m + 0.5) * 2 * (kPi - phi0) / h + phi0 - kPi / 2;
        if (2 * m < h && std::fabs(psi) < 1e-10) {
            X = c;
            Y = beta * beta / alpha;
        } else if (2 * m > h && std::fabs(psi - kPi) < 1e-10) {
            X = c;
            Y = -beta * beta / alpha;
        } else {
            // The line through the focus (c, 0) at angle psi + pi/2 meets
            // the curve where P X^2 + 2 Q X + R = 0.
            const double tau = std::tan(psi + kPi / 2);
            const double t2 = tau * tau;
            double P = b * t2 + a;
            double Q = -c * b * t2;
            const double R = b * t2 * c * c - 1;
            const double w = std::sqrt(Q * Q - P * R);
            if (P != 0) {
                if (P < 0) {
                    P = -P;
                    Q = -Q;
                }
                const bool minus = (2 * m >= h && beta <= alpha * tau && tau > 0) ||
                                   (2 * m < h && tau <= 0 && -beta > alpha * tau);
                const double sigma = minus ? -1.0 : 1.0;
                X = (sigma * w - Q) / P;
                Y = (X - c) * tau;
            } else if (m != 0) {
                X = R / (-2 * Q);
                Y = (X - c) * tau;
            } else {
                X = 10000000 * alpha;
                Y = 10000000 * beta;
            }
        }
        if (branch != 0) X = -X;
        break;
    }
    default: point->state |= OBJ_UNDEFINED; return;
    }
    valeur& pos = point->valeurs[0];
    pos.h = conic_origin.x + X * conic_axis_u.x + Y * conic_axis_v.x;
    pos.v = conic_origin.y + X * conic_axis_u.y + Y * conic_axis_v.y;
}
