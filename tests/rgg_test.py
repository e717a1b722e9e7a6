#!/usr/bin/python3
"""rgg2d and rgg3d against SciPy: the graph is what its coordinates file says it is.

- Definition: for a sweep of sizes, radii, dimensions and the torus, the edges of the METIS file
  must be the pairs SciPy's cKDTree.query_pairs(R) finds among the points of the coordinates
  file (boxsize=1 on the torus). The points are printed exactly, but SciPy measures in floating
  point: pairs whose distance lies within R(1 +- 1e-9) are left out of the comparison, and
  counted.
- Statistics, at N = 10^6: the mean degree within 1% of its expectation, (N - 1) times the
  chance that two uniform points lie within R (the ball's volume on the torus; with the border
  correction in the unit square and cube); and the points of a 32 x 32 grid's cells (16^3 in
  3D) pass a chi-square test of uniformity (the torus's points are the same).
SciPy missing is reported with a WARNING line and the test is left out.
Usage: rgg_test.py FAMGEN
"""
import math
import os
import subprocess
import sys
import tempfile

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def famgen(folder, keyword, points, options=()):
    """Writes the METIS file and the coordinates; returns their paths, or None."""
    name = os.path.join(folder, f"{keyword}-{points}-{'-'.join(options).replace('.', '_')}")
    command = [FAMGEN, "-graphtype", keyword, "-size", str(points), *options, "-out",
               name + ".graph", "-coordinates", name + ".xyz"]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0 or run.stdout or run.stderr:
        fail(f"famgen {' '.join(command[1:])} exited with {run.returncode}: {run.stderr}")
        return None
    return name + ".graph", name + ".xyz"


def read_metis(path):
    """The radius of the comment line, the counts line and the edges {u, v} (from 0)."""
    with open(path) as graph:
        comment = graph.readline()
        vertices, edges = map(int, graph.readline().split())
        pairs = set()
        for u, line in enumerate(graph):
            for w in line.split():
                v = int(w) - 1
                pairs.add((min(u, v), max(u, v)))
    radius = float(comment.split("radius ")[1].split(",")[0])
    return radius, vertices, edges, pairs


def distance(points, u, v, periodic):
    gap = abs(points[u] - points[v])
    if periodic:
        gap = [min(g, 1 - g) for g in gap]
    return math.sqrt(sum(g * g for g in gap))


def check_definition(spatial, numpy, folder):
    cases = 0
    undecided = 0
    for keyword in ["rgg2d", "rgg3d"]:
        for points in [1, 2, 60, 400, 5000]:
            # The large radii at the small sizes, where the graph is near complete.
            for radius in [None, "0.02", "0.05"] + (["0.3", "0.75", "1"] if points <= 400 else []):
                for periodic in [False, True]:
                    options = ["-seed", str(points)]
                    if radius:
                        options += ["-radius", radius]
                    if periodic:
                        options += ["-periodic", "all"]
                    files = famgen(folder, keyword, points, options)
                    if not files:
                        continue
                    name = f"{keyword} {points} {' '.join(options)}"
                    r, vertices, edges, listed = read_metis(files[0])
                    coordinates = numpy.loadtxt(files[1], ndmin=2)
                    if vertices != points or coordinates.shape != (points, int(keyword[3])):
                        fail(f"{name}: {vertices} vertices, coordinates {coordinates.shape}")
                        continue
                    if len(listed) != edges:
                        fail(f"{name}: {len(listed)} edges listed, {edges} counted")
                    tree = spatial.cKDTree(coordinates, boxsize=1.0 if periodic else None)
                    found = {(int(u), int(v)) for u, v in tree.query_pairs(r * (1 + 1e-9))}
                    near = {pair for pair in found
                            if distance(coordinates, *pair, periodic) > r * (1 - 1e-9)}
                    undecided += len(near)
                    cases += 1
                    extra = sorted(listed - found)[:3]
                    missing = sorted(found - listed - near)[:3]
                    if extra or missing:
                        fail(f"{name}: edges not within R {extra}, pairs within R missing "
                             f"{missing}")
    print(f"definition: {cases} graphs compared with cKDTree.query_pairs, {undecided} pairs "
          f"within R(1 +- 1e-9) left out")


def ball_chance(d, r, periodic):
    """The chance that two uniform points of the unit square or cube (torus) lie within r."""
    if periodic:
        return math.pi * r * r if d == 2 else 4 / 3 * math.pi * r ** 3
    # Integrals of the triangle densities of the gaps along each axis, r <= 1.
    if d == 2:
        return math.pi * r ** 2 - 8 / 3 * r ** 3 + r ** 4 / 2
    return 4 / 3 * math.pi * r ** 3 - 3 / 2 * math.pi * r ** 4 + 8 / 5 * r ** 5 - r ** 6 / 6


def check_statistics(stats, numpy, folder):
    points = 1000000
    for keyword, periodic in [("rgg2d", True), ("rgg2d", False), ("rgg3d", True),
                              ("rgg3d", False)]:
        d = int(keyword[3])
        files = famgen(folder, keyword, points, ["-periodic", "all" if periodic else "none"])
        if not files:
            continue
        with open(files[0]) as graph:
            comment = graph.readline()
            vertices, edges = map(int, graph.readline().split())
        r = float(comment.split("radius ")[1].split(",")[0])
        mean = 2 * edges / vertices
        expected = (points - 1) * ball_chance(d, r, periodic)
        name = f"{keyword} {points}{' on the torus' if periodic else ''}"
        print(f"{name}: mean degree {mean:.4f}, expected {expected:.4f}")
        if abs(mean - expected) > 0.01 * expected:
            fail(f"{name}: mean degree {mean} is not within 1% of {expected}")
        if periodic:
            continue  # the same points as off the torus
        coordinates = numpy.loadtxt(files[1])
        if coordinates.min() < 0 or coordinates.max() >= 1:
            fail(f"{name}: a point outside [0, 1)^{d}")
        bins = 32 if d == 2 else 16
        cells = numpy.floor(coordinates * bins).astype(numpy.int64)
        index = cells[:, 0] * bins + cells[:, 1]
        if d == 3:
            index = index * bins + cells[:, 2]
        counts = numpy.bincount(index, minlength=bins ** d)
        chi2, p = stats.chisquare(counts)
        print(f"{name}: chi-square {chi2:.1f} over {bins ** d} cells, p = {p:.3f}")
        if p < 0.001:
            fail(f"{name}: the points are not uniform over {bins ** d} cells (p = {p})")


def main(folder):
    try:
        import numpy
        from scipy import spatial, stats
    except ImportError:
        print("WARNING: SciPy not found (package python3-scipy): rgg2d and rgg3d left unchecked")
        return
    check_definition(spatial, numpy, folder)
    check_statistics(stats, numpy, folder)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: rgg_test.py FAMGEN")
    FAMGEN = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as scratch:
        main(scratch)
    sys.exit(1 if failures else 0)
