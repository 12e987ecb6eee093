// Plane-geometry helpers on points given as pairs of doubles, and the area
// enclosed by the outer boundary of a closed polygon that may cross, touch
// or run back over itself.
//
// Tolerances are absolute, in the units of the coordinates: 1e-11 for the
// coincidence of points and for equal angles.
#pragma once

#include <cstdint>
#include <vector>

#include "kernel/conics/dpoint.h"

// One edge of the polygon graph. a < b are vertex indices. The links of one
// end name the first edge (in table order) that lies on the same line,
// overlaps this edge and runs on beyond that end, and its vertex beyond it.
struct poly_edge {
    int32_t a;
    int32_t b;
    int32_t link_vertex_a;
    int32_t link_vertex_b;
    int32_t link_edge_a;
    int32_t link_edge_b;
    dpoint pa;
    dpoint pb;
};

// The polygon graph: kernel-wide, built by build_polygon_graph, read by
// trace_outer_boundary and freed by polygon_area (or free_polygon_graph).
extern std::vector<dpoint> poly_vertices;
extern int32_t poly_vertex_count;
extern std::vector<int32_t> poly_first_neighbour;
// Neighbour lists one after the other, each ended by -1.
extern std::vector<int32_t> poly_neighbours;
extern std::vector<poly_edge> poly_edges;
extern int32_t poly_edge_count;

// Direction of p->q in pseudo-degrees, in (0, 360]: monotonic in the true
// angle, 90 for +y, 180 for -x, 270 for -y and 360 for +x and the zero vector.
double pseudo_angle(dpoint p, dpoint q);

// Pseudo-angle swept counter-clockwise from o->a to o->b, in (0, 360];
// equal directions give 360.
double sweep_angle(dpoint a, dpoint o, dpoint b);

// Crossing of segment p0p1 with segment p2p3. Codes: 0 none; 1 interior
// crossing; 2 at p1; 3 at p2; 4 at p3; 10 parallel, collinear or at p0.
// point is written once a crossing is computed; angle2 and angle3 (the
// sweeps from p0 to p2 and to p3 about the crossing, 361 for the end the
// crossing lies on) only for codes 1 to 4.
int collinear_overlap(dpoint p0, dpoint p1, dpoint p2, dpoint p3);
int segment_intersection(dpoint p0, dpoint p1, dpoint p2, dpoint p3, dpoint* point,
                         double* angle2, double* angle3);

// How segment p2p3 overlaps segment p0p1 when both lie on one line:
// 0 not at all (or not on one line); 1 it covers p0p1 in the same direction;
// 2 it covers p0p1 in the opposite direction; 3 from p0 to p3; 4 from p0 to
// p2; 5 from p3 to p1; 6 it starts inside p0p1 (or at p0) and leaves it
// through p1 in the same direction.
int collinear_overlap(dpoint p0, dpoint p1, dpoint p2, dpoint p3);

// Builds the graph of a closed polygon of n points (the last repeating the
// first). 0 on success, -1 fewer than two points, -2 all points coincide,
// -3 not closed.
int build_polygon_graph(int32_t n, const dpoint* points);

// Area inside the outer boundary of the graph just built for n points.
double trace_outer_boundary(int32_t n);

// Releases the polygon graph.
void free_polygon_graph();

// Area enclosed by the outer boundary of the closed polygon of n points
// (including the closing repetition of the first point); 0 for a polygon
// that is not closed or has fewer than two distinct points.
double polygon_area(int32_t n, const dpoint* points);
