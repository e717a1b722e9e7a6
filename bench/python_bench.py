#!/usr/bin/python3
"""famgen.csr against the graph libraries that Python users build the same graphs with, side by
side in one run: the square grid and the hypercube built by famgen (its arrays, and a SciPy
matrix on them), python-igraph (Graph.Lattice), NetworkX (grid_2d_graph, hypercube_graph) and
SciPy (Kronecker sums of paths, a CSR matrix). Each tool builds the graph at a size that takes
it a fraction of a second to a few seconds; the figure to compare is the rate per edge, and the
last column is famgen.csr's rate over the tool's. Every build is timed after untimed builds of
the same (until one is no faster than the one before), and each figure is the median of the
rounds.

A second table builds NetworkX graphs: famgen.networkx against NetworkX's own generators of the
same graphs at the same sizes (grid_2d_graph, grid_2d_graph(periodic=True), grid_graph), the
last column famgen.networkx's speed over the generator's. These builds take seconds and warm
with one untimed build each.
Usage: PYTHONPATH=build/python bench/python_bench.py [--quick] [--rounds N] [--threads N]
                                                     [--networkx-only]
"""
import argparse
import gc
import time

import igraph
import networkx
import numpy
import scipy.sparse

import famgen


def scipy_path(n):
    return scipy.sparse.diags([1, 1], [-1, 1], shape=(n, n), format="csr", dtype=numpy.int8)


def scipy_grid(rows, width):
    def identity(n):
        return scipy.sparse.identity(n, format="csr", dtype=numpy.int8)
    matrix = (scipy.sparse.kron(identity(rows), scipy_path(width)) +
              scipy.sparse.kron(scipy_path(rows), identity(width)))
    return scipy.sparse.csr_array(matrix)


def scipy_hypercube(dimension):
    edge = scipy_path(2)
    matrix = edge
    for d in range(1, dimension):
        matrix = (scipy.sparse.kron(matrix, scipy.sparse.identity(2, dtype=numpy.int8)) +
                  scipy.sparse.kron(scipy.sparse.identity(2 ** d, dtype=numpy.int8), edge))
    return scipy.sparse.csr_array(matrix)


def timed(build, rounds, most_warm=6):
    # Memory freed a moment ago is slow at its first touch on some machines (a virtual
    # machine's host backs it again): untimed builds until one is no faster than the last.
    last = float("inf")
    for _ in range(most_warm):
        start = time.perf_counter()
        built = build()
        seconds = time.perf_counter() - start
        del built
        gc.collect()
        if seconds > 0.9 * last:
            break
        last = seconds
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        built = build()
        times.append(time.perf_counter() - start)
        del built
        gc.collect()
    return sorted(times)[len(times) // 2]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="sizes a tenth or so as large")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--networkx-only", action="store_true",
                        help="the NetworkX table alone")
    options = parser.parse_args()
    quick = options.quick
    threads = options.threads

    # (graph, built by, size, edges, build)
    grid = 1500 if quick else 5000
    cube = 20 if quick else 24
    rows = [
        ("grid", "famgen.csr", f"{grid} x {grid}", 2 * grid * (grid - 1),
         lambda: famgen.csr("grid", grid, grid, threads=threads)),
        ("grid", "famgen.scipy", f"{grid} x {grid}", 2 * grid * (grid - 1),
         lambda: famgen.scipy("grid", grid, grid, threads=threads)),
        ("grid", "igraph.Graph.Lattice", "1000 x 1000", 2 * 1000 * 999,
         lambda: igraph.Graph.Lattice([1000, 1000], circular=False)),
        ("grid", "networkx.grid_2d_graph", "300 x 300", 2 * 300 * 299,
         lambda: networkx.grid_2d_graph(300, 300)),
        ("grid", "scipy.sparse (kron)", "3000 x 3000", 2 * 3000 * 2999,
         lambda: scipy_grid(3000, 3000)),
        ("hypercube", "famgen.csr", f"d = {cube}", cube * 2 ** (cube - 1),
         lambda: famgen.csr("hypercube", cube, threads=threads)),
        ("hypercube", "famgen.scipy", f"d = {cube}", cube * 2 ** (cube - 1),
         lambda: famgen.scipy("hypercube", cube, threads=threads)),
        ("hypercube", "igraph.Graph.Lattice", "d = 18", 18 * 2 ** 17,
         lambda: igraph.Graph.Lattice([2] * 18, circular=False)),
        ("hypercube", "networkx.hypercube_graph", "d = 12", 12 * 2 ** 11,
         lambda: networkx.hypercube_graph(12)),
        ("hypercube", "scipy.sparse (kron)", "d = 20", 20 * 2 ** 19,
         lambda: scipy_hypercube(20)),
    ]
    print(f"famgen {famgen.version}, threads={threads}, medians of {options.rounds} warmed "
          f"builds; igraph {igraph.__version__}, NetworkX {networkx.__version__}, "
          f"SciPy {scipy.__version__}\n")
    if not options.networkx_only:
        arrays_table(rows, options.rounds)
    networkx_table(quick, threads, options.rounds)


def networkx_table(quick, threads, rounds):
    side = 300 if quick else 1000
    mesh = 40 if quick else 100
    # (graph, size, edges, famgen.networkx's build, NetworkX's generator, its name)
    graphs = [
        ("grid", f"{side} x {side}", 2 * side * (side - 1),
         lambda: famgen.networkx("grid", side, side, threads=threads),
         lambda: networkx.grid_2d_graph(side, side), "networkx.grid_2d_graph"),
        ("torus", f"{side} x {side}", 2 * side * side,
         lambda: famgen.networkx("torus", side, side, threads=threads),
         lambda: networkx.grid_2d_graph(side, side, periodic=True),
         "networkx.grid_2d_graph(periodic=True)"),
        ("3D mesh", f"{mesh} x {mesh} x {mesh}", 3 * mesh * mesh * (mesh - 1),
         lambda: famgen.networkx("mesh", mesh, mesh, mesh, threads=threads),
         lambda: networkx.grid_graph([mesh, mesh, mesh]), "networkx.grid_graph"),
    ]
    print("\n| graph | built by | size | edges | seconds | M edges/s "
          "| famgen.networkx is faster by |")
    print("|---|---|---|---|---|---|---|")
    for graph, size, edges, ours, theirs, name in graphs:
        our_seconds = timed(ours, rounds, most_warm=1)
        their_seconds = timed(theirs, rounds, most_warm=1)
        print(f"| {graph} | famgen.networkx | {size} | {edges:,} | {our_seconds:.3f} | "
              f"{edges / our_seconds / 1e6:.2f} | |")
        print(f"| {graph} | {name} | {size} | {edges:,} | {their_seconds:.3f} | "
              f"{edges / their_seconds / 1e6:.2f} | {their_seconds / our_seconds:.1f}x |",
              flush=True)


def arrays_table(rows, rounds):
    print("| graph | built by | size | edges | seconds | M edges/s | famgen.csr is faster by |")
    print("|---|---|---|---|---|---|---|")
    famgen_rate = {}
    for graph, tool, size, edges, build in rows:
        seconds = timed(build, rounds)
        rate = edges / seconds
        if tool == "famgen.csr":
            famgen_rate[graph] = rate
        ratio = famgen_rate[graph] / rate
        print(f"| {graph} | {tool} | {size} | {edges:,} | {seconds:.3f} | {rate / 1e6:.1f} | "
              f"{ratio:,.0f}x |" if tool != "famgen.csr" else
              f"| {graph} | {tool} | {size} | {edges:,} | {seconds:.3f} | {rate / 1e6:.1f} | |",
              flush=True)


if __name__ == "__main__":
    main()
