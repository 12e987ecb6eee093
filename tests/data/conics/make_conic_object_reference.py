#!/usr/bin/python3
"""Writes the reference tables of the conic object tests (projection and
intersections).

Projection: the point of a conic nearest to a query point, found by brute
force with numpy over a dense parametrisation (an ellipse by angle, a
hyperbola branch by cosh and sinh, a parabola by its ordinate) and refined by
repeated zooming around the best sample. Queries with two nearly equally
near points are left out.

Intersections: conics through five integer points, lines through two integer
points, circles about an integer centre through an integer point, triangles
with integer vertices, arcs through three integer points of a circle; sympy
counts the real intersections exactly on the rational equations (on a side
or an arc: the crossings within it).

Run it from anywhere; it rewrites the .txt files it owns beside it. Needs
python3-numpy and python3-sympy.
"""
import os
import random

import numpy as np
import sympy

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20261209)


def rotation(theta):
    c, s = np.cos(theta), np.sin(theta)
    return np.array([[c, -s], [s, c]])


def nearest_on_curve(curve, lo, hi, q, samples=20001):
    """All local minima of |curve(t) - q| over [lo, hi], refined; sorted."""
    t = np.linspace(lo, hi, samples)
    pts = curve(t)
    d = np.hypot(pts[0] - q[0], pts[1] - q[1])
    minima = []
    for i in range(samples):
        left = d[i - 1] if i > 0 else np.inf
        right = d[i + 1] if i < samples - 1 else np.inf
        if d[i] <= left and d[i] <= right:
            a, b = t[max(i - 1, 0)], t[min(i + 1, samples - 1)]
            for _ in range(60):
                tt = np.linspace(a, b, 41)
                pp = curve(tt)
                dd = np.hypot(pp[0] - q[0], pp[1] - q[1])
                k = int(np.argmin(dd))
                step = (b - a) / 40
                a, b = tt[k] - step, tt[k] + step
            tt = (a + b) / 2
            p = curve(np.array([tt]))
            minima.append((float(np.hypot(p[0][0] - q[0], p[1][0] - q[1])), float(p[0][0]), float(p[1][0])))
    minima.sort()
    return minima


def write_projections():
    lines = ["# kind x0 y0 ... x4 y4 (defining points) | qx qy (query) | px py (nearest point, brute force)"]
    case = 0
    while case < 90:
        kind = ("ellipse", "hyperbola", "parabola")[case % 3]
        theta = rng.uniform(-np.pi, np.pi)
        centre = np.array([rng.uniform(-300, 300), rng.uniform(-300, 300)])
        rot = rotation(theta)

        def place(local):
            return rot @ local + centre[:, None]

        if kind == "ellipse":
            a, b = rng.uniform(20, 150), rng.uniform(20, 150)
            if abs(a - b) < 5:
                continue
            curves = [(lambda t, a=a, b=b: place(np.array([a * np.cos(t), b * np.sin(t)])), 0.0, 2 * np.pi)]
            params = sorted(rng.uniform(0, 2 * np.pi) for _ in range(5))
            defining = [curves[0][0](np.array([t])) for t in params]
            scale = max(a, b)
        elif kind == "hyperbola":
            a, b = rng.uniform(20, 150), rng.uniform(20, 150)
            curves = [(lambda t, a=a, b=b, s=s: place(np.array([s * a * np.cosh(t), b * np.sinh(t)])), -4.0, 4.0)
                      for s in (1, -1)]
            defining = [curves[0 if i < 3 else 1][0](np.array([rng.uniform(-1.5, 1.5)])) for i in range(5)]
            scale = max(a, b)
        else:
            p = rng.uniform(5, 60)
            curves = [(lambda t, p=p: place(np.array([t * t / (2 * p), t])), -600.0, 600.0)]
            defining = [curves[0][0](np.array([rng.uniform(-150, 150)])) for _ in range(5)]
            scale = 2 * p
        span = 2.5 * scale
        q = centre + np.array([rng.uniform(-span, span), rng.uniform(-span, span)])
        minima = []
        for curve, lo, hi in curves:
            minima += nearest_on_curve(curve, lo, hi, q)
        minima.sort()
        # The nearest point must be clearly nearer than any other candidate.
        if len(minima) > 1 and minima[1][0] - minima[0][0] < 1e-3 * max(minima[0][0], 1.0):
            continue
        _, px, py = minima[0]
        pts = " ".join(f"{float(d[0][0])!r} {float(d[1][0])!r}" for d in defining)
        lines.append(f"{kind} {pts} | {float(q[0])!r} {float(q[1])!r} | {px!r} {py!r}")
        case += 1
    with open(os.path.join(HERE, "projection_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


X, Y = sympy.symbols("x y")


def exact_conic(points):
    """The conic through five exact points, as a sympy polynomial in x, y."""
    rows = [[px * px, px * py, py * py, px, py, 1] for px, py in points]
    m = sympy.Matrix(rows)
    null = m.nullspace()
    if len(null) != 1:
        return None
    c = null[0]
    return sympy.expand(c[0] * X * X + c[1] * X * Y + c[2] * Y * Y + c[3] * X + c[4] * Y + c[5])


def kind_of(eq):
    poly = sympy.Poly(eq, X, Y)
    a = poly.coeff_monomial(X**2)
    b = poly.coeff_monomial(X * Y) / 2
    c = poly.coeff_monomial(Y**2)
    d = poly.coeff_monomial(X) / 2
    e = poly.coeff_monomial(Y) / 2
    f = poly.coeff_monomial(1)
    det = sympy.Matrix([[a, b, d], [b, c, e], [d, e, f]]).det()
    if det == 0:
        return None
    delta = a * c - b * b
    if delta > 0:
        # A real ellipse only.
        return "ellipse" if (a + c) * det < 0 else None
    return "parabola" if delta == 0 else "hyperbola"


def count_real_points(eq1, eq2):
    """Distinct real common points of two curves, or None when the system is
    not in general position (then the case is left out)."""
    g = sympy.groebner([eq1, eq2], X, Y, order="lex")
    polys = list(g.exprs)
    if len(polys) != 2:
        return None
    hx, hy = polys
    if sympy.degree(hx, X) != 1 or sympy.Poly(hy, X, Y).degree(X) != 0:
        return None
    sq = sympy.Poly(hy, Y).sqf_part()
    if sq.degree() != sympy.Poly(hy, Y).degree():
        return None  # a tangency: a double point
    return len(sympy.real_roots(sq))


def random_conic():
    while True:
        if rng.random() < 0.25:
            # A parabola: integer points of y = t^2 / 4 (t even), moved, and
            # turned a quarter turn one time in two.
            cx, cy = rng.randint(-100, 100), rng.randint(-100, 100)
            ts = rng.sample(range(-12, 13), 5)
            pts = [(2 * t + cx, t * t + cy) for t in ts]
            if rng.random() < 0.5:
                pts = [(b, a) for a, b in pts]
            pts = [(sympy.Integer(a), sympy.Integer(b)) for a, b in pts]
        else:
            pts = [(sympy.Integer(rng.randint(-200, 200)), sympy.Integer(rng.randint(-200, 200))) for _ in range(5)]
        eq = exact_conic(pts)
        if eq is None:
            continue
        kind = kind_of(eq)
        if kind is None:
            continue
        return pts, eq, kind


def coefficients(eq):
    poly = sympy.Poly(eq, X, Y)
    vals = [poly.coeff_monomial(m) for m in (X**2, X * Y, Y**2, X, Y, 1)]
    norm = max(abs(v) for v in vals)
    return [float(v / norm) for v in vals]


def fmt_points(pts):
    return " ".join(f"{int(px)} {int(py)}" for px, py in pts)


def side_count(eq, a, b):
    """Crossings of the conic with the closed segment ab, or None when one
    falls on an end or touches (then the case is left out)."""
    t = sympy.Symbol("t")
    q = sympy.Poly(sympy.expand(eq.subs({X: a[0] + t * (b[0] - a[0]), Y: a[1] + t * (b[1] - a[1])})), t)
    if q.is_zero or q.degree() < 1:
        return None
    if q.sqf_part().degree() != q.degree():
        return None
    n = 0
    for r in sympy.real_roots(q):
        if r == 0 or r == 1:
            return None
        if 0 < r < 1:
            n += 1
    return n


def points_on_circle(r):
    """Integer points of the circle of radius r about the origin, by angle."""
    pts = [(x, y) for x in range(-r, r + 1) for y in range(-r, r + 1) if x * x + y * y == r * r]
    return sorted(pts, key=lambda p: np.arctan2(p[1], p[0]))


def arc_count(eq, centre, r, ends):
    """Crossings of the conic with the arc start-middle-end of the circle,
    or None when a crossing lies too near an end or the system is not in
    general position."""
    cx, cy = centre
    circle = (X - cx) ** 2 + (Y - cy) ** 2 - r * r
    g = sympy.groebner([eq, circle], X, Y, order="lex")
    polys = list(g.exprs)
    if len(polys) != 2 or sympy.degree(polys[0], X) != 1 or sympy.Poly(polys[1], X, Y).degree(X) != 0:
        return None
    hy = sympy.Poly(polys[1], Y)
    if hy.sqf_part().degree() != hy.degree():
        return None
    xsol = sympy.solve(polys[0], X)[0]
    (sx, sy), (mx, my), (ex, ey) = [(float(px), float(py)) for px, py in ends]
    def side(px, py):
        return (ex - sx) * (py - sy) - (ey - sy) * (px - sx)
    mid = side(mx, my)
    n = 0
    for yr in sympy.real_roots(hy):
        yv = float(sympy.N(yr, 30))
        xv = float(sympy.N(xsol.subs(Y, yr), 30))
        s = side(xv, yv)
        if abs(s) < 1e-3 * r * r:
            return None
        if (s > 0) == (mid > 0):
            n += 1
    return n


def write_intersections():
    lines = ["# other-kind x0 y0 ... x4 y4 (conic) | other object's integer points | real intersections (sympy)"
             " | conic coefficients of x^2 xy y^2 x y 1 (scaled)",
             "# line: two points; circle: centre, a point; conic: five points; triangle: three vertices;",
             "# arc: centre, start, middle, end (integer points of the circle)"]
    count = {"line": 0, "circle": 0, "conic": 0, "triangle": 0, "arc": 0}
    target = {"line": 40, "circle": 30, "conic": 30, "triangle": 25, "arc": 25}
    while any(count[k] < target[k] for k in count):
        other = min(count, key=lambda k: count[k] / target[k])
        pts, eq, kind = random_conic()
        if other == "line":
            ends = [(sympy.Integer(rng.randint(-250, 250)), sympy.Integer(rng.randint(-250, 250))) for _ in range(2)]
            if ends[0] == ends[1]:
                continue
            (x1, y1), (x2, y2) = ends
            eq2 = (y2 - y1) * (X - x1) - (x2 - x1) * (Y - y1)
            obj = ends
        elif other == "circle":
            obj = [(sympy.Integer(rng.randint(-150, 150)), sympy.Integer(rng.randint(-150, 150))) for _ in range(2)]
            if obj[0] == obj[1]:
                continue
            (cx, cy), (px, py) = obj
            eq2 = (X - cx) ** 2 + (Y - cy) ** 2 - (px - cx) ** 2 - (py - cy) ** 2
        elif other == "triangle":
            obj = [(sympy.Integer(rng.randint(-250, 250)), sympy.Integer(rng.randint(-250, 250))) for _ in range(3)]
            (x1, y1), (x2, y2), (x3, y3) = obj
            if (x2 - x1) * (y3 - y1) - (x3 - x1) * (y2 - y1) == 0:
                continue
            counts = [side_count(eq, obj[k], obj[(k + 1) % 3]) for k in range(3)]
            if any(c is None for c in counts):
                continue
            lines.append(f"{other}-{kind} {fmt_points(pts)} | {fmt_points(obj)} | {sum(counts)} | " +
                         " ".join(repr(c) for c in coefficients(eq)))
            count[other] += 1
            continue
        elif other == "arc":
            r = rng.choice((25, 65, 85))
            # About a point of the conic, so that the circle crosses it.
            near = rng.choice(pts)
            centre = (near[0] + rng.randint(-40, 40), near[1] + rng.randint(-40, 40))
            ring = points_on_circle(r)
            i, j, k = sorted(rng.sample(range(len(ring)), 3))
            if rng.random() < 0.5:
                i, k = k, i
            ends = [(centre[0] + ring[q][0], centre[1] + ring[q][1]) for q in (i, j, k)]
            n = arc_count(eq, centre, r, ends)
            if n is None:
                continue
            lines.append(f"{other}-{kind} {fmt_points(pts)} | {fmt_points([centre] + ends)} | {n} | " +
                         " ".join(repr(c) for c in coefficients(eq)))
            count[other] += 1
            continue
        else:
            obj, eq2, _ = random_conic()
        n = count_real_points(eq, eq2)
        if n is None:
            continue
        lines.append(f"{other}-{kind} {fmt_points(pts)} | {fmt_points(obj)} | {n} | " +
                     " ".join(repr(c) for c in coefficients(eq)))
        count[other] += 1
    with open(os.path.join(HERE, "intersection_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    write_projections()
    write_intersections()
