#include "kernel/conics/plane_numerics.h"

#include <cmath>

std::vector<dpoint> poly_vertices;
int32_t poly_vertex_count = 0;
std::vector<int32_t> poly_first_neighbour;
std::vector<int32_t> poly_neighbours;
std::vector<poly_edge> poly_edges;
int32_t poly_edge_count = 0;

namespace {

constexpr double kEps = 1e-11;

bool same_point(dpoint p, dpoint q)
{
    return std::fabs(p.x - q.x) < kEps && std::fabs(p.y - q.y) < kEps;
}

// Inserts vertex w at the head of vertex v's neighbour list, shifting the
// lists that follow.
void insert_neighbour(int32_t v, int32_t w)
{
    int32_t at = poly_first_neighbour[v];
    poly_neighbours.insert(poly_neighbours.begin() + at, w);
    for (int32_t i = v + 1; i < poly_vertex_count; ++i) poly_first_neighbour[i]++;
}

bool has_neighbour(int32_t v, int32_t w)
{
    for (int32_t k = poly_first_neighbour[v]; poly_neighbours[k] != -1; ++k)
        if (poly_neighbours[k] == w) return true;
    return false;
}

} // namespace

double pseudo_angle(dpoint p, dpoint q)
{
    double dx = q.x - p.x;
    double dy = q.y - p.y;
    double t = (dx == 0 && dy == 0) ? 0.0 : dy / (std::fabs(dx) + std::fabs(dy));
    if (dx < 0) return (2.0 - t) * 90.0;
    if (dy <= 0) return (t + 4.0) * 90.0;
    return t * 90.0;
}

double sweep_angle(dpoint a, dpoint o, dpoint b)
{
    double d = pseudo_angle(o, b) - pseudo_angle(o, a);
    if (std::fabs(d) <= kEps) d = 360.0;
    if (d <= 0) d += 360.0;
    return d;
}

int segment_intersection(dpoint p0, dpoint p1, dpoint p2, dpoint p3, dpoint* point,
                         double* angle2, double* angle3)
{
    double xmin = p0.x < p1.x ? p0.x : p1.x;
    double xmax = p0.x < p1.x ? p1.x : p0.x;
    if ((p2.x > p3.x ? p2.x : p3.x) < xmin || (p2.x < p3.x ? p2.x : p3.x) > xmax) return 0;
    double ymin = p0.y < p1.y ? p0.y : p1.y;
    double ymax = p0.y < p1.y ? p1.y : p0.y;
    if ((p2.y > p3.y ? p2.y : p3.y) < ymin || (p2.y < p3.y ? p2.y : p3.y) > ymax) return 0;

    double ux = p1.x - p0.x, uy = p1.y - p0.y;
    double fx = p2.x - p3.x, fy = p2.y - p3.y;
    double den = uy * fx - ux * fy;
    double numA = fy * (p0.x - p2.x) - fx * (p0.y - p2.y);
    double numB = ux * (p0.y - p2.y) - uy * (p0.x - p2.x);
    if (den > 0) {
        if (numA < 0 || numA > den || numB < 0 || numB > den) return 0;
    } else {
        if (numA < den || numA > 0 || numB < den || numB > 0) return 0;
    }
    if (std::fabs(den) < kEps) return 10;

    double r = numA / den;
    *point = dpoint{p0.x + r * ux, p0.y + r * uy};
    int code;
    if (same_point(*point, p0)) return 10;
    if (same_point(*point, p1)) {
        if (same_point(*point, p2) || same_point(*point, p3)) return 10;
        code = 2;
    } else if (same_point(*point, p2)) {
        *angle2 = 361.0;
        *angle3 = sweep_angle(p0, *point, p3);
        return 3;
    } else if (same_point(*point, p3)) {
        *angle3 = 361.0;
        *angle2 = sweep_angle(p0, *point, p2);
        return 4;
    } else {
        code = 1;
    }
    *angle2 = sweep_angle(p0, *point, p2);
    *angle3 = sweep_angle(p0, *point, p3);
    return code;
}

int collinear_overlap(dpoint p0, dpoint p1, dpoint p2, dpoint p3)
{
    if ((p1.y - p0.y) * (p3.x - p2.x) != (p1.x - p0.x) * (p3.y - p2.y)) return 0;
    bool along_x = p1.x != p0.x;
    double a0 = along_x ? p0.x : p0.y;
    double a1 = along_x ? p1.x : p1.y;
    double a2 = along_x ? p2.x : p2.y;
    double a3 = along_x ? p3.x : p3.y;
    if (same_point(p0, p2)) return ((a0 < a1 && a1 < a3) || (a0 > a1 && a1 > a3)) ? 6 : 0;
    if ((p1.y - p0.y) * (p2.x - p0.x) != (p1.x - p0.x) * (p2.y - p0.y)) return 0;
    if (a1 < a0) {
        // Mirror so that p0p1 runs towards larger values.
        a0 = -a0;
        a1 = -a1;
        a2 = -a2;
        a3 = -a3;
    }
    if (a2 <= a0) {                    // p2 behind p0
        if (a3 > a1) return 1;
        if (a3 >= a0) return 3;
        return 0;
    }
    if (a2 > a1) {                     // p2 beyond p1
        if (a3 < a0) return 2;
        if (a3 <= a1) return 5;
        return 0;
    }
    if (a3 < a0) return 4;             // p2 inside
    if (a3 > a1) return 6;
    return 0;
}

void free_polygon_graph()
{
    std::vector<dpoint>().swap(poly_vertices);
    std::vector<int32_t>().swap(poly_first_neighbour);
    std::vector<int32_t>().swap(poly_neighbours);
    std::vector<poly_edge>().swap(poly_edges);
    poly_vertex_count = 0;
    poly_edge_count = 0;
}

int build_polygon_graph(int32_t n, const dpoint* points)
{
    free_polygon_graph();
    int result = 0;
    if (n < 2) result = -1;
    if (n >= 1 && (std::fabs(points[0].x - points[n - 1].x) >= kEps ||
                   std::fabs(points[0].y - points[n - 1].y) >= kEps))
        result = -3;
    if (result == 0) {
        poly_vertices.reserve(static_cast<size_t>(n));
        poly_first_neighbour.reserve(static_cast<size_t>(n));
        poly_neighbours.reserve(3 * static_cast<size_t>(n));
        poly_vertices.push_back(points[0]);
        poly_first_neighbour.push_back(0);
        poly_neighbours.push_back(-1);
        poly_vertex_count = 1;
        int32_t prev = 0;
        for (int32_t i = 1; i < n; ++i) {
            if (same_point(points[i], points[i - 1])) continue;
            int32_t found = -1;
            for (int32_t v = 0; v < poly_vertex_count; ++v)
                if (same_point(poly_vertices[v], points[i])) {
                    found = v;
                    break;
                }
            if (found >= 0) {
                // A drift of sub-tolerance steps can lead back to the same
                // vertex; that is no edge.
                if (found != prev && !has_neighbour(prev, found)) {
                    insert_neighbour(prev, found);
                    insert_neighbour(found, prev);
                }
                prev = found;
            } else {
                int32_t v = poly_vertex_count++;
                poly_vertices.push_back(points[i]);
                poly_first_neighbour.push_back(static_cast<int32_t>(poly_neighbours.size()));
                poly_neighbours.push_back(prev);
                poly_neighbours.push_back(-1);
                insert_neighbour(prev, v);
                prev = v;
            }
        }
        if (poly_vertex_count < 2) result = -2;
    }
    if (result != 0) return result;

    for (int32_t i = 0; i < poly_vertex_count; ++i)
        for (int32_t k = poly_first_neighbour[i]; poly_neighbours[k] != -1; ++k) {
            int32_t j = poly_neighbours[k];
            if (j > i) poly_edges.push_back(poly_edge{i, j, -1, -1, -1, -1, poly_vertices[i], poly_vertices[j]});
        }
    poly_edge_count = static_cast<int32_t>(poly_edges.size());

    for (int32_t i = 0; i < poly_edge_count; ++i) {
        poly_edge& e = poly_edges[i];
        for (int32_t k = 0; k < poly_edge_count; ++k) {
            if (k == i) continue;
            const poly_edge& o = poly_edges[k];
            int code = collinear_overlap(e.pa, e.pb, o.pa, o.pb);
            if ((code == 1 || code == 2 || code == 3 || code == 4) && e.link_edge_a == -1) {
                e.link_edge_a = k;
                e.link_vertex_a = (code == 1 || code == 3) ? o.a : o.b;
            }
            if ((code == 1 || code == 2 || code == 5 || code == 6) && e.link_edge_b == -1) {
                e.link_edge_b = k;
                e.link_vertex_b = (code == 1 || code == 6) ? o.b : o.a;
            }
            if (e.link_edge_a != -1 && e.link_edge_b != -1) break;
        }
    }
    return 0;
}

double trace_outer_boundary(int32_t n)
{
    if (poly_vertex_count < 1) return 0;
    int32_t start = 0;
    for (int32_t v = 1; v < poly_vertex_count; ++v) {
        const dpoint& p = poly_vertices[v];
        const dpoint& s = poly_vertices[start];
        if (p.x < s.x || (p.x == s.x && p.y > s.y)) start = v;
    }
    const dpoint S = poly_vertices[start];
    dpoint P{S.x, S.y + 1.0};
    dpoint C = S;
    int32_t vertex = start;
    int32_t edge = -1;
    bool at_vertex = true;
    // The crossing that ended the previous step (or lay on its end vertex).
    bool crossing_pending = false;
    int crossing_code = 0;
    int32_t crossing_vertex = -1;
    int32_t crossing_edge = -1;
    double crossing_angle = 0;
    double area2 = 0;
    dpoint L = S;
    // n squared steps at most; counted wide, n can be large.
    int64_t budget = static_cast<int64_t>(n) * n;

    for (;;) {
        int32_t next;
        int32_t next_edge;
        if (!at_vertex) {
            next = crossing_vertex;
            next_edge = crossing_edge;
        } else {
            next = -1;
            double best = 0;
            for (int32_t k = poly_first_neighbour[vertex]; poly_neighbours[k] != -1; ++k) {
                int32_t w = poly_neighbours[k];
                double a = sweep_angle(P, C, poly_vertices[w]);
                if (next == -1 || a < best) {
                    next = w;
                    best = a;
                }
            }
            if (next == -1) break;  // an isolated vertex: nothing to walk
            next_edge = -1;
            if (edge != -1 && best > 180.0) {
                const poly_edge& e = poly_edges[edge];
                int32_t link_edge = vertex == e.b ? e.link_edge_b : e.link_edge_a;
                int32_t link_vertex = vertex == e.b ? e.link_vertex_b : e.link_vertex_a;
                if (link_edge != -1) {
                    next = link_vertex;
                    next_edge = link_edge;
                }
            }
            if (next_edge == -1) {
                int32_t lo = vertex < next ? vertex : next;
                int32_t hi = vertex < next ? next : vertex;
                for (int32_t k = 0; k < poly_edge_count; ++k)
                    if (poly_edges[k].a == lo && poly_edges[k].b == hi) {
                        next_edge = k;
                        break;
                    }
            }
            if (crossing_pending && crossing_code == 2 && crossing_angle < best) {
                next = crossing_vertex;
                next_edge = crossing_edge;
            }
        }
        if (next_edge < 0) break;

        // The nearest edge that crosses C->N.
        const dpoint N = poly_vertices[next];
        const poly_edge& E = poly_edges[next_edge];
        bool taken = false;
        int best_code = 0;
        double best_amin = 0, best_d = 0;
        dpoint best_point{0, 0};
        int32_t best_edge = -1, best_vertex = -1;
        for (int32_t k = 0; k < poly_edge_count; ++k) {
            const poly_edge& o = poly_edges[k];
            if (o.a == E.a || o.a == E.b || o.b == E.a || o.b == E.b) continue;
            dpoint x{0, 0};
            double ang2 = 0, ang3 = 0;
            int r = segment_intersection(C, N, o.pa, o.pb, &x, &ang2, &ang3);
            if (r < 1 || r > 4) continue;
            double d = std::hypot(x.x - C.x, x.y - C.y);
            double amin = ang2 < ang3 ? ang2 : ang3;
            bool take = !taken ? (r == 1 || r == 2 || amin < 180.0)
                               : ((d < best_d && amin < 180.0) || (d <= best_d && amin < best_amin));
            if (take) {
                taken = true;
                best_code = r;
                best_amin = amin;
                best_d = d;
                best_point = x;
                best_edge = k;
                best_vertex = ang2 <= ang3 ? o.a : o.b;
            }
        }
        crossing_pending = taken;
        crossing_code = best_code;
        crossing_vertex = best_vertex;
        crossing_edge = best_edge;
        crossing_angle = best_amin;

        dpoint B;
        if (!taken || best_code == 2) {
            B = N;
            vertex = next;
            at_vertex = true;
        } else {
            B = best_point;
            at_vertex = false;
        }
        edge = next_edge;
        P = C;
        C = B;
        area2 += (L.x - B.x) * (L.y + B.y);
        L = B;
        if (--budget <= 0 || same_point(B, S)) break;
    }
    return area2 / 2.0;
}

double polygon_area(int32_t n, const dpoint* points)
{
    double area = 0;
    if (build_polygon_graph(n, points) == 0) {
        area = trace_outer_boundary(n);
        if (area == -1.0) area = 0;
    }
    free_polygon_graph();
    return area;
}
