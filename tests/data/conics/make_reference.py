#!/usr/bin/python3
"""Writes the reference values that the kernel's numeric tests compare with.

The values come from libraries that this project did not write: sympy for
exact real roots, numpy's SVD and eigen-solver for conics, shapely (GEOS) for
polygon areas. Run it from anywhere; it rewrites the .txt files beside it.
Needs python3-numpy, python3-sympy and python3-shapely.
"""
import os
import random
from fractions import Fraction

import numpy as np
import sympy
from shapely.geometry import LineString
from shapely.ops import polygonize, unary_union

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(20240607)


def exact_real_roots(coeffs):
    """Distinct real roots (with multiplicity) of an exact polynomial."""
    x = sympy.Symbol("x")
    poly = sympy.Poly([sympy.Rational(Fraction(c)) for c in coeffs], x)
    roots = []
    for r in sympy.real_roots(poly):
        roots.append(float(sympy.N(r, 30)))
    return sorted(roots)


def write_roots():
    lines = ["# degree coefficients(highest first) | real roots ascending, with multiplicity"]
    for degree in (2, 3, 4):
        for case in range(60):
            if case % 3 == 0:
                # From chosen real roots, so that every count of real roots occurs.
                nreal = rng.choice(range(0, degree + 1, 2) if degree % 2 == 0 else range(1, degree + 1, 2))
                poly = np.poly1d([rng.uniform(0.2, 5) * rng.choice((-1, 1))])
                for _ in range(nreal):
                    poly *= np.poly1d([1.0, -rng.uniform(-20, 20)])
                for _ in range((degree - nreal) // 2):
                    re, im = rng.uniform(-10, 10), rng.uniform(0.5, 10)
                    poly *= np.poly1d([1.0, -2 * re, re * re + im * im])
                coeffs = [float(c) for c in poly.coeffs]
            else:
                coeffs = [rng.uniform(-10, 10) for _ in range(degree + 1)]
            roots = exact_real_roots(coeffs)
            lines.append(f"{degree} " + " ".join(repr(c) for c in coeffs) + " | " +
                         " ".join(repr(r) for r in roots))
    with open(os.path.join(HERE, "roots_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def outer_area(points):
    lines = unary_union(LineString(points))
    faces = list(polygonize(lines))
    if not faces:
        return 0.0
    return unary_union(faces).area


def write_polygons():
    lines = ["# n x0 y0 ... x(n-1) y(n-1) | area inside the outer boundary (GEOS)"]
    for case in range(80):
        n = rng.randint(3, 12)
        pts = [(rng.uniform(-100, 100), rng.uniform(-100, 100)) for _ in range(n)]
        if case % 4 == 0:
            # Star-shaped and simple: sort by angle about the centroid.
            cx = sum(p[0] for p in pts) / n
            cy = sum(p[1] for p in pts) / n
            pts.sort(key=lambda p: np.arctan2(p[1] - cy, p[0] - cx))
        closed = pts + [pts[0]]
        area = outer_area(closed)
        lines.append(f"{len(closed)} " + " ".join(f"{x!r} {y!r}" for x, y in closed) + f" | {area!r}")
    with open(os.path.join(HERE, "polygon_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


def rotation(theta):
    c, s = np.cos(theta), np.sin(theta)
    return np.array([[c, -s], [s, c]])


def write_conics():
    lines = ["# kind x0 y0 ... x4 y4 | A B C D E F (null vector of [x^2 2xy y^2 2x 2y 1], unit norm)"
             " | param_a param_b (eigen-solver; parabola: its parameter p)"]
    for case in range(60):
        kind = ("ellipse", "hyperbola", "parabola")[case % 3]
        theta = rng.uniform(-np.pi, np.pi)
        centre = np.array([rng.uniform(-200, 200), rng.uniform(-200, 200)])
        rot = rotation(theta)
        local = []
        if kind == "ellipse":
            a, b = rng.uniform(20, 150), rng.uniform(20, 150)
            for t in sorted(rng.uniform(0, 2 * np.pi) for _ in range(5)):
                local.append((a * np.cos(t), b * np.sin(t)))
        elif kind == "hyperbola":
            a, b = rng.uniform(20, 150), rng.uniform(20, 150)
            for i in range(5):
                t = rng.uniform(-1.5, 1.5)
                sign = 1 if i < 3 else -1
                local.append((sign * a * np.cosh(t), b * np.sinh(t)))
        else:
            p = rng.uniform(5, 60)
            for _ in range(5):
                y = rng.uniform(-150, 150)
                local.append((y * y / (2 * p), y))
        pts = [tuple(rot @ np.array(q) + centre) for q in local]
        design = np.array([[x * x, 2 * x * y, y * y, 2 * x, 2 * y, 1.0] for x, y in pts])
        _, _, vt = np.linalg.svd(design)
        coef = vt[-1] / np.linalg.norm(vt[-1])
        A, B, C, D, E, F = coef
        delta = A * C - B * B
        det = np.linalg.det(np.array([[A, B, D], [B, C, E], [D, E, F]]))
        if kind == "parabola":
            params = (p, 0.0)
        else:
            ev = np.linalg.eigvalsh(np.array([[A, B], [B, C]])) * (-delta / det)
            params = tuple(sorted(ev, key=lambda v: -v) if kind == "hyperbola" else sorted(ev))
        lines.append(f"{kind} " + " ".join(f"{x!r} {y!r}" for x, y in pts) + " | " +
                     " ".join(repr(float(c)) for c in coef) + " | " +
                     " ".join(repr(float(v)) for v in params))
    with open(os.path.join(HERE, "conic_reference.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    write_roots()
    write_polygons()
    write_conics()
