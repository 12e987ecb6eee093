#include "kernel/conics/conic_type.h"

#include <cfloat>
#include <cmath>

#include "kernel/conics/conic.h"
#include "kernel/conics/conic_object.h"
#include "kernel/conics/solvers.h"
#include "kernel/model/classes.h"
#include "kernel/objects/circle_types.h"
#include "kernel/objects/inter_list.h"
#include "kernel/objects/intersections.h"
#include "kernel/objects/straight_types.h"
#include "kernel/prefs/hit_distance.h"
#include "kernel/text/labels.h"
#include "kernel/tools/hit_state.h"

namespace {

// Manhattan distance within which a probe finds an intersection.
constexpr double kProbeDistance = 16;

bool at_infinity(const valeur& v) { return (v.infini_inexist_indetermine & VAL_AT_INFINITY) != 0; }
bool missing(const valeur& v) { return (v.infini_inexist_indetermine & VAL_NOT_EXIST) != 0; }
void mark_missing(valeur& v) { v.infini_inexist_indetermine |= VAL_NOT_EXIST; }

uint16_t type_id(const object* o) { return o && o->otype ? o->otype->id : 0; }

bool has_values(const object* conic)
{
    return conic->valeurs != nullptr && conic->nbvaleurs >= kConicValueCount;
}

// The value of the conic's parent i, or null.
const valeur* parent_value(const object* conic, int i)
{
    if (conic->parents == nullptr || i >= conic->nbparents) return nullptr;
    const object* p = conic->parents[i];
    return p != nullptr && p->valeurs != nullptr ? &p->valeurs[0] : nullptr;
}

// The first defining point that is not at infinity, or null.
const valeur* first_finite_parent(const object* conic)
{
    if (conic->parents == nullptr) return nullptr;
    for (int i = 0; i < conic->nbparents && i < 5; ++i) {
        const object* p = conic->parents[i];
        if (p != nullptr && p->valeurs != nullptr && !(p->state & OBJ_AT_INFINITY)) return &p->valeurs[0];
    }
    return nullptr;
}

// A result that can be reported near the probe position.
bool near_probe(const valeur& r)
{
    return !missing(r) && !at_infinity(r) &&
           std::fabs(r.h - intersect_probe.h) + std::fabs(r.v - intersect_probe.v) < kProbeDistance;
}

// The foot of (x, y) on the line a x + b y + c = 0 (s = a^2 + b^2).
dpoint line_foot(double a, double b, double c, double s, double x, double y)
{
    const double k = b * x - a * y;
    return dpoint{(k * b - a * c) / s, (-b * c - k * a) / s};
}

bool is_straight_type(uint16_t t) { return t >= TYPE_SEGMENT && t <= TYPE_AXES; }
bool is_sided_type(uint16_t t) { return t >= TYPE_SEGMENT && t <= 6; }

// Straight part k of the other object as {point, direction}; false when the
// part has an end at infinity or the values are missing.
bool conic_straight_part(const object* other, int k, valeur line[2], valeur side[2])
{
    const uint16_t t = type_id(other);
    const valeur* v = other->valeurs;
    if (v == nullptr) return false;
    line[1] = valeur{};
    if (is_sided_type(t)) {
        if (other->nbvaleurs < k + 2) return false;
        side[0] = v[k];
        side[1] = v[k + 1];
        if (at_infinity(v[k]) || at_infinity(v[k + 1])) return false;
        // Sides run from value k + 1 to value k: root order on saved
        // figures depends on it.
        line[0] = v[k];
        line[1].h = v[k].h - v[k + 1].h;
        line[1].v = v[k].v - v[k + 1].v;
        return true;
    }
    if (t == TYPE_AXES) {
        if (other->nbvaleurs < k + 2) return false;
        line[0] = v[0];
        line[1].h = v[k + 1].h;
        line[1].v = v[k + 1].v;
        return true;
    }
    if (other->nbvaleurs < 2) return false;
    line[0] = v[0];
    line[1] = v[1];
    return true;
}

int32_t intersect_straight(object* conic, object* other, void* result, uint32_t selector, uint32_t part,
                           uint32_t number)
{
    const uint16_t t = type_id(other);
    const bool all = selector == kIntersectAll, probe = selector == kIntersectProbe,
               raw = selector == kIntersectRaw;
    const bool special = all || probe || raw;
    const int sides = intersection_side_count(other);
    const int k0 = special ? 0 : static_cast<int>(part);
    const int k1 = special ? sides : k0 + 1;
    auto* out = static_cast<valeur*>(result);
    int32_t code = 2;
    for (int k = k0; k < k1; ++k) {
        valeur res[2] = {};
        valeur line[2], side[2];
        if (!conic_straight_part(other, k, line, side)) {
            mark_missing(res[0]);
            mark_missing(res[1]);
        } else {
            if (straight_conic_intersection(line, conic->valeurs, res, number) == 0) {
                mark_missing(res[0]);
                if (special) mark_missing(res[1]);
            }
            for (int r = 0; r < (special ? 2 : 1); ++r) {
                if ((is_sided_type(t) && point_outside_segment(&res[r], side)) ||
                    (t == TYPE_RAY && point_before_ray_origin(&res[r], line)))
                    mark_missing(res[r]);
            }
        }
        if (probe) {
            for (int r = 0; r < 2; ++r)
                if (near_probe(res[r])) {
                    intersect_probe = res[r];
                    intersect_probe_index = static_cast<uint32_t>(k) | (r != 0 ? 0x10000u : 0u);
                    return 1;
                }
            continue;
        }
        if (!missing(res[0]) || (special && !missing(res[1]))) code = 1;
        if (all) {
            for (int r = 0; r < 2; ++r)
                if (!missing(res[r]))
                    intersection_results_add(static_cast<inter_list*>(result),
                                             static_cast<uint32_t>(k) | (r != 0 ? 0x10000u : 0u), &res[r]);
        } else if (raw) {
            if (out != nullptr) {
                out[0] = res[0];
                out[1] = res[1];
            }
        } else if (out != nullptr) {
            out[0] = res[0];
        }
    }
    return code;
}

int32_t intersect_curve(object* conic, object* other, void* result, uint32_t selector, uint32_t number)
{
    const uint16_t t = type_id(other);
    const bool all = selector == kIntersectAll, probe = selector == kIntersectProbe,
               raw = selector == kIntersectRaw;
    const bool special = all || probe || raw;
    const int wanted = special ? 4 : 1;
    valeur res[4] = {};
    if (t == TYPE_CONIC) {
        if (!has_values(other)) return 2;
        if (conic_conic_intersection(conic->valeurs, other->valeurs, res, number) == 0) return 2;
    } else {
        if (other->valeurs == nullptr || other->nbvaleurs < (t == TYPE_ARC ? 4 : 2)) return 2;
        valeur circle[2];
        round_circle_record(other, circle);
        if (circle_conic_intersection(circle, conic->valeurs, res, number) == 0) return 2;
        if (t == TYPE_ARC)
            for (int r = 0; r < wanted; ++r)
                if (point_outside_arc(&res[r], other->valeurs)) mark_missing(res[r]);
    }
    if (probe) {
        for (int r = 0; r < 4; ++r)
            if (near_probe(res[r])) {
                intersect_probe = res[r];
                intersect_probe_index = static_cast<uint32_t>(r) << 16;
                return 1;
            }
        return 2;
    }
    bool any = !missing(res[0]);
    for (int r = 1; special && r < 4; ++r) any = any || !missing(res[r]);
    if (!any) return 2;
    auto* out = static_cast<valeur*>(result);
    if (all) {
        for (int r = 0; r < 4; ++r)
            if (!missing(res[r]))
                intersection_results_add(static_cast<inter_list*>(result), static_cast<uint32_t>(r) << 16, &res[r]);
    } else if (raw) {
        if (out != nullptr)
            for (int r = 0; r < 4; ++r) out[r] = res[r];
    } else if (out != nullptr) {
        out[0] = res[0];
    }
    return 1;
}

} // namespace

dpoint conic_frame_coordinates(double x, double y)
{
    const double dx = x - conic_origin.x, dy = y - conic_origin.y;
    return dpoint{conic_axis_v.y * dx - conic_axis_v.x * dy, conic_axis_u.x * dy - conic_axis_u.y * dx};
}

dpoint conic_frame_point(double X, double Y)
{
    return dpoint{conic_origin.x + X * conic_axis_u.x + Y * conic_axis_v.x,
                  conic_origin.y + X * conic_axis_u.y + Y * conic_axis_v.y};
}

bool conic_hit_test(object* conic, tagPOINT* p)
{
    hit_part = 0;
    if (conic->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED)) return false;
    if (hit_test_object_label(conic, p)) return true;
    if (!has_values(conic)) return false;
    conic_load_workspace(conic->valeurs);
    const double T = pick_tolerance;
    const double x = p->x, y = p->y;
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e, F = conic_f;
    const double la = conic_param_a, lb = conic_param_b;
    switch (conic_kind) {
    case kConicParallelLines:
    case kConicDoubleLine:
    case kConicCrossingLines:
    case kConicLine: {
        const double e1 = A * x + B * y + C;
        if (T * T * (A * A + B * B) > e1 * e1) return true;
        if (conic_kind == kConicDoubleLine || conic_kind == kConicLine) return false;
        const double e2 = D * x + E * y + F;
        return T * T > e2 * e2 / (D * D + E * E);
    }
    case kConicParabola: {
        const dpoint f = conic_frame_coordinates(x, y);
        if (std::fabs(f.x - f.y * f.y / la / 2) < T) return true;
        if (f.x < 0) return false;
        return std::fabs(f.y * f.y - 2 * la * f.x) < 2 * T * std::fabs(f.y);
    }
    case kConicPoint: return std::fabs(x - conic_origin.x) + std::fabs(y - conic_origin.y) < T;
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
        const dpoint f = conic_frame_coordinates(x, y);
        const double w = (1 - lb * f.y * f.y) / la;
        if (w > 0 && std::fabs(f.x * f.x - w) < 2 * T * std::fabs(f.x)) return true;
        double w2 = 1 - la * f.x * f.x;
        if (lb < 0) w2 = -w2;
        if (w2 < 0) return false;
        return std::fabs(f.y * f.y - w2 / std::fabs(lb)) < 2 * T * std::fabs(f.y);
    }
    case kConicCircle: {
        const valeur* p0 = parent_value(conic, 0);
        if (p0 == nullptr) return false;
        const double rx = p0->h - conic_origin.x, ry = p0->v - conic_origin.y;
        const double dx = x - conic_origin.x, dy = y - conic_origin.y;
        return std::fabs(dx * dx + dy * dy - rx * rx - ry * ry) < T * (std::fabs(rx) + std::fabs(ry));
    }
    case kConicEveryPoint: return true;
    default: return false;
    }
}

void conic_project_point(object* conic, double x, double y, double* out_x, double* out_y)
{
    dpoint p;
    int line = 0;
    if (!conic_project(conic, x, y, &p, &line)) return;
    *out_x = p.x;
    *out_y = p.y;
}

bool conic_project(object* conic, double x, double y, dpoint* out, int* line)
{
    *line = 1;
    if (conic->state & (OBJ_AT_INFINITY | OBJ_UNDEFINED)) return false;
    if (!has_values(conic)) return false;
    conic_load_equation(conic->valeurs);
    const double A = conic_a, B = conic_b, C = conic_c, D = conic_d, E = conic_e, F = conic_f;
    dpoint result;
    switch (conic_kind) {
    case kConicParallelLines:
    case kConicDoubleLine:
    case kConicCrossingLines:
    case kConicLine: {
        const double s1 = A * A + B * B, s2 = D * D + E * E;
        const double e1 = A * x + B * y + C;
        double q2 = DBL_MAX;
        if (conic_kind != kConicLine) {
            const double e2 = D * x + E * y + F;
            q2 = e2 * e2 / s2;
        }
        // Ties go to line 1.
        if (conic_kind == kConicDoubleLine || e1 * e1 / s1 <= q2) {
            result = line_foot(A, B, C, s1, x, y);
        } else {
            result = line_foot(D, E, F, s2, x, y);
            *line = 2;
        }
        break;
    }
    case kConicPoint: result = dpoint{conic->valeurs[4].h, conic->valeurs[4].v}; break;
    case kConicCircle: {
        const valeur* p0 = parent_value(conic, 0);
        if (p0 == nullptr) return false;
        const double cx = conic->valeurs[4].h, cy = conic->valeurs[4].v;
        const double r = std::hypot(p0->h - cx, p0->v - cy);
        const double d = std::hypot(x - cx, y - cy);
        if (d <= 1e-10)
            result = dpoint{cx + r, cy};
        else
            result = dpoint{cx + r * (x - cx) / d, cy + r * (y - cy) / d};
        break;
    }
    case kConicEveryPoint: result = dpoint{x, y}; break;
    case kConicParabola:
    case kConicEllipse:
    case kConicHyperbola:
    case kConicRectHyperbola: {
        // The lines through a point P0 of the conic meet it again at
        // P0 + s(m) (1, m); the slopes of the nearest and farthest of
        // these points from (x, y) solve a quartic.
        const valeur* p0 = first_finite_parent(conic);
        if (p0 == nullptr) return false;
        const double x0 = p0->h, y0 = p0->v;
        const double G = -(A * x0 + B * y0 + D), H = -(B * x0 + C * y0 + E);
        const double dx = x - x0, dy = y - y0;
        const double k = 2 * H * B - G * C;
        const double a4 = H * dx * C * C + (2 * H - dy * C) * k;
        const double a3 = 2 * (G * dx * C * C - H * C * (H - dx * B) + (G - dy * B) * k + H * A * (2 * H - dy * C));
        const double a2 = 6 * (G * H * (A - C) + (G * dx * C - H * dy * A) * B);
        const double a1 = 2 * ((H - dx * B) * (H * A - 2 * G * B) - G * C * (2 * G - dx * A) - H * dy * A * A +
                               G * A * (G - dy * B));
        const double a0 = (2 * G - dx * A) * (H * A - 2 * G * B) - G * dy * A * A;
        solve_quartic(a4, a3, a2, a1, a0);
        double best = DBL_MAX;
        dpoint chosen{0, 0};
        for (int slot = 0; slot < 4; ++slot) {
            dpoint cand;
            const double m = quartic_roots[slot];
            if (m == HUGE_VAL || quartic_root_kind[slot] == kRootNone) {
                // The vertical line through P0.
                if (C == 0) continue;
                cand = dpoint{0, 2 * H / C};
            } else {
                const double den = A + 2 * B * m + C * m * m;
                if (den == 0) continue;
                const double s = 2 * (G + m * H) / den;
                cand = dpoint{s, m * s};
            }
            const double d2 = (cand.x - dx) * (cand.x - dx) + (cand.y - dy) * (cand.y - dy);
            if (d2 < best) {
                best = d2;
                chosen = cand;
            }
        }
        result = dpoint{x0 + chosen.x, y0 + chosen.y};
        break;
    }
    default: return false;
    }
    // A degenerate equation (a line pair with a null normal) has no foot.
    if (!std::isfinite(result.x) || !std::isfinite(result.y)) return false;
    *out = result;
    return true;
}

int32_t conic_intersect(object* conic, object* other, void* result, uint32_t selector)
{
    const uint16_t t = type_id(other);
    if (t < TYPE_SEGMENT || t > TYPE_CONIC) return 3;
    const int sides = intersection_side_count(other);
    const bool special = selector == kIntersectAll || selector == kIntersectProbe || selector == kIntersectRaw;
    if (selector == kIntersectAll) intersection_results_add(static_cast<inter_list*>(result), 0, nullptr);
    uint32_t part = selector & 0xFFFF, number = selector >> 16;
    if (special) {
        part = 0;
        number = kAllRoots;
    } else {
        const bool straight = is_straight_type(t);
        if (straight && static_cast<int>(part) > sides - 1) return 4;
        if ((t == TYPE_LINE || t == TYPE_RAY || t >= TYPE_CIRCLE) && part != 0) return 4;
        if (straight && number > 1) return 4;
        if (number > 3) return 4;
    }
    if (!has_values(conic)) return 2;
    if (is_straight_type(t)) return intersect_straight(conic, other, result, selector, part, number);
    return intersect_curve(conic, other, result, selector, number);
}
