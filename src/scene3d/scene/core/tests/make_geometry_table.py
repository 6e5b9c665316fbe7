#!/usr/bin/python3
"""Float64 references for the scene core's geometry tests, computed with numpy.

Writes GeometryTable.inc beside this script: slab tests of rays against axis boxes, first hits of
rays on spheres, and which spheres the editor's camera sees (its frustum from glFrustum and
gluLookAt, built here in float64). Inputs are rounded to float32 first, as the library holds them;
cases within a small margin of a decision boundary are left out, since float32 rounding may
decide them either way.

Run: /usr/bin/python3 make_geometry_table.py
"""
import os

import numpy as np

rng = np.random.default_rng(20240917)


def f32(a):
    return np.asarray(a, dtype=np.float32).astype(np.float64)


def fmt(values):
    return ", ".join("%.9g" % v for v in np.ravel(values))


def slab(o, d, mn, mx):
    """The entry and exit parameters of the ray o + t d (t >= 0) in the box, or None."""
    near, far = -np.inf, np.inf
    for i in range(3):
        if d[i] == 0:
            if o[i] < mn[i] or o[i] > mx[i]:
                return None
            continue
        t1, t2 = sorted(((mn[i] - o[i]) / d[i], (mx[i] - o[i]) / d[i]))
        near, far = max(near, t1), min(far, t2)
    if near > far or far < 0:
        return None
    return near, far


def slab_is_clear(o, d, mn, mx, eps=1e-4):
    """False when a small change of the inputs could flip the answer."""
    near, far = -np.inf, np.inf
    for i in range(3):
        if d[i] == 0:
            if min(abs(o[i] - mn[i]), abs(o[i] - mx[i])) < eps:
                return False
            continue
        t1, t2 = sorted(((mn[i] - o[i]) / d[i], (mx[i] - o[i]) / d[i]))
        near, far = max(near, t1), min(far, t2)
    return abs(near - far) > eps and abs(far) > eps


def slab_cases():
    rows = []
    # Hand-picked: parallel outside the slab, parallel inside, origin inside, box behind.
    fixed = [
        ((0, 2, 0), (1, 0, 0), (-1, -1, -1), (1, 1, 1)),
        ((-5, 0.5, 0.25), (1, 0, 0), (-1, -1, -1), (1, 1, 1)),
        ((0.2, 0.1, -0.3), (0.3, 0.8, 0.5), (-1, -1, -1), (1, 1, 1)),
        ((5, 0, 0), (1, 0, 0), (-1, -1, -1), (1, 1, 1)),
        ((5, 0, 0), (-1, 0, 0), (-1, -1, -1), (1, 1, 1)),
        ((0, 0, 3), (0, 0, -1), (-0.5, -0.5, -0.5), (0.5, 0.5, 0.5)),
    ]
    for o, d, mn, mx in fixed:
        rows.append(tuple(f32(x) for x in (o, d, mn, mx)))
    while len(rows) < 60:
        o = f32(rng.uniform(-4, 4, 3))
        c = rng.uniform(-2, 2, 3)
        h = rng.uniform(0.2, 1.5, 3)
        mn, mx = f32(c - h), f32(c + h)
        if rng.random() < 0.5:  # aim at a point near the box, so that about half hit
            d = f32(c + rng.uniform(-1.3, 1.3, 3) * h - o)
        else:
            d = f32(rng.uniform(-1, 1, 3))
        if rng.random() < 0.25:
            d[rng.integers(3)] = 0
        if not np.any(d) or not slab_is_clear(o, d, mn, mx):
            continue
        rows.append((o, d, mn, mx))
    out = []
    for o, d, mn, mx in rows:
        r = slab(o, d, mn, mx)
        hit, near, far = (r is not None), (r[0] if r else 0), (r[1] if r else 0)
        if not np.isfinite(near):
            near = -1e30
        if not np.isfinite(far):
            far = 1e30
        out.append("  {{%s}, {%s}, {%s}, {%s}, %s, %.12g, %.12g}," %
                   (fmt(o), fmt(d), fmt(mn), fmt(mx), "true" if hit else "false", near, far))
    return out


def sphere_cases():
    out = []
    while len(out) < 40:
        start = f32(rng.uniform(-5, 5, 3))
        v = rng.normal(size=3)
        v = f32(v / np.linalg.norm(v))
        centre = f32(rng.uniform(-2, 2, 3))
        radius = f32(rng.uniform(0.3, 2.5))
        if rng.random() < 0.4:  # aim near the sphere so that about half hit
            aim = centre + rng.normal(scale=radius * 0.8, size=3)
            v = aim - start
            v = f32(v / np.linalg.norm(v))
        d = centre - start
        proj = np.dot(v, d)
        h2 = radius * radius - np.dot(d - proj * v, d - proj * v)
        if abs(h2) < 1e-3:
            continue
        if h2 < 0:
            out.append("  {{%s}, {%s}, {%s}, %.9g, false, {0, 0, 0}}," % (fmt(start), fmt(v), fmt(centre), radius))
            continue
        h = np.sqrt(h2)
        if abs(proj - h) < 1e-3 or abs(proj + h) < 1e-3:
            continue
        if proj - h >= 0:
            t = proj - h
        elif proj + h >= 0:
            t = proj + h
        else:
            out.append("  {{%s}, {%s}, {%s}, %.9g, false, {0, 0, 0}}," % (fmt(start), fmt(v), fmt(centre), radius))
            continue
        p = start + t * v
        out.append("  {{%s}, {%s}, {%s}, %.9g, true, {%s}}," % (fmt(start), fmt(v), fmt(centre), radius, fmt(p)))
    return out


def editor_frustum():
    """The planes (a, b, c, d), normalised, of the editor's camera: 400 x 454 pixels at 96 DPI,
    focal length 100, depth of view 90, at (0, 0, 3) looking at the origin with up (0, 1, 0)."""
    w, h, dpi, focal, depth = 400.0, 454.0, 96.0, 100.0, 90.0
    m = max(w, h)
    right, left = w * (w / w) / (2 * m), -w * (w / w) / (2 * m)
    top, bottom = h * (h / h) / (2 * m), -h * (h / h) / (2 * m)
    n = focal * 2 * dpi / (25.4 * m)
    f = n + depth
    P = np.array([[2 * n / (right - left), 0, (right + left) / (right - left), 0],
                  [0, 2 * n / (top - bottom), (top + bottom) / (top - bottom), 0],
                  [0, 0, -(f + n) / (f - n), -2 * f * n / (f - n)],
                  [0, 0, -1, 0]])
    eye, centre, up = np.array([0, 0, 3.0]), np.zeros(3), np.array([0, 1.0, 0])
    fwd = (centre - eye) / np.linalg.norm(centre - eye)
    s = np.cross(fwd, up)
    s /= np.linalg.norm(s)
    u = np.cross(s, fwd)
    V = np.eye(4)
    V[0, :3], V[1, :3], V[2, :3] = s, u, -fwd
    V[:3, 3] = -V[:3, :3] @ eye
    M = P @ V  # column vectors: clip = P V p
    planes = [M[3] + M[0], M[3] - M[1], M[3] - M[0], M[3] + M[1], M[3] + M[2], M[3] - M[2]]
    return [p / np.linalg.norm(p[:3]) for p in planes]


def cull_cases():
    planes = editor_frustum()
    out = []
    outside = inside = 0
    while len(out) < 60:
        c = f32([rng.uniform(-6, 6), rng.uniform(-6, 6), rng.uniform(-95, 5)])
        r = f32(rng.uniform(0.05, 1.5))
        margin = min(np.dot(p[:3], c) + p[3] for p in planes) + r
        if abs(margin) < 1e-3:
            continue
        clipped = margin < 0
        if clipped and outside >= 40 or not clipped and inside >= 20:
            continue
        outside += clipped
        inside += not clipped
        out.append("  {{%s}, %.9g, %s}," % (fmt(c), r, "true" if clipped else "false"))
    return out


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    lines = [
        "// Generated by make_geometry_table.py from numpy's float64 results; do not edit.",
        "// Rows: origin, direction, box minimum, box maximum, hit, entry, exit.",
        "static const TSlabCase kSlabCases[] = {",
        *slab_cases(),
        "};",
        "// Rows: ray start, unit direction, centre, radius, hit, first hit point.",
        "static const TSphereCase kSphereCases[] = {",
        *sphere_cases(),
        "};",
        "// Rows: centre, radius, outside the editor camera's frustum.",
        "static const TCullCase kCullCases[] = {",
        *cull_cases(),
        "};",
        "",
    ]
    with open(os.path.join(here, "GeometryTable.inc"), "w") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
