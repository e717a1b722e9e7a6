#!/usr/bin/python3
"""Third-party readers as clients of famgen's scotch, mtx and edgelist files.

Each file is read by a tool its users would read it with, and what the tool reads is compared
with famgen's METIS file of the same graph, parsed here:
- Scotch's gtst must accept the scotch file of every simple graph, and the -simple file of the
  others, and its vertex, edge and degree figures must be those of the METIS file. gtst exits
  with 0 even when graphCheck refuses the graph, so anything it prints on standard error is a
  failure.
- SciPy's mmread must read every mtx file, small non-simple graphs too, to the METIS
  adjacency with its multiplicities (see check_mtx).
- NetworkX's read_edgelist must read every edgelist file to the METIS edges, and the heading
  must name the METIS vertex count and the number of edge lines read.
- Every mesh of a sweep of small sizes (1 to 4 axes, periodic patterns) must be NetworkX's
  grid_graph (star stencil) or strong product of paths and cycles (box stencil), vertex for
  vertex under the lattice numbering.
- Weighted files: gtst's vertex and edge load figures, the values mmread reads (an integer
  symmetric matrix) and the weights read_weighted_edgelist reads must be the METIS file's.
Last, every layout written on two threads must equal, byte for byte, the single-pass file.
The positions are read too:
- Graphviz's neato (-n2), dot and sfdp must draw the dot file of every graph of the gallery
  (docs/gallery/graphs.txt) as it is, without a word on standard error, and neato's labelled
  circles must not overlap;
- Scotch's gout must read a graph, its geometry file and a mapping from scotch_gpart, and the
  points of the VTK mesh it writes must be famgen's coordinates.
A reader that is not installed is reported with a WARNING line and its part is left out.
Usage: readers_test.py FAMGEN
"""
import collections
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

SIMPLE = [("grid", "3,4"), ("grid", "12,12"), ("folded_grid", "5,7"), ("partial_grid", "7,4"),
          ("partial_folded_grid", "6,6"), ("circle", "50"), ("star", "20"), ("torus", "3,4"),
          ("torus", "10,7"), ("cylinder", "3,4"), ("tree", "5"), ("hypercube", "5"),
          ("sierpinski", "3"), ("unconnected_completegraph", "4,3"), ("completegraph", "5,2"),
          ("mesh", "7"), ("mesh", "6,5", "-periodic", "0,1"),
          ("mesh", "4,5,3", "-stencil", "box", "-periodic", "all"),
          ("mesh", "3,2,3,2", "-stencil", "box"), ("mesh", "2,3,2,3,2", "-periodic", "all"),
          ("rgg2d", "400"), ("rgg3d", "300", "-periodic", "all", "-radius", "0.3")]
# Self-loops, neighbours listed twice, a lone vertex listing itself, and vertices with no edge.
NON_SIMPLE = [("circle", "1"), ("circle", "2"), ("torus", "2,2"), ("folded_grid", "1,1"),
              ("folded_grid", "1,4"), ("cylinder", "3,1"), ("unconnected_completegraph", "1,3")]
LAYOUTS = ["metis", "parhip", "scotch", "mtx", "edgelist"]
# Simple graphs with weights: a vertex weight (Scotch alone holds it besides METIS) and edge
# weights, as each weighted layout holds them.
WEIGHTED = [("grid", "12,12"), ("torus", "10,7"), ("sierpinski", "3"), ("hypercube", "5"),
            ("star", "20"), ("completegraph", "5,2"),
            ("mesh", "4,5,3", "-stencil", "box", "-periodic", "all")]
VERTEX_WEIGHTS = ["-vertex-weights", "uniform:0-50"]
EDGE_WEIGHTS = ["-edge-weights", "uniform:1-1000", "-seed", "11"]

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def famgen(folder, keyword, sizes, layout, threads=None, coordinates=None, options=(),
           simple=False):
    """Writes the file and returns its path, or None when famgen did not write it."""
    path = os.path.join(folder, f"{keyword}-{sizes.replace(',', 'x')}-{threads or 1}"
                                f"{'-simple' if simple else ''}.{layout}")
    command = [FAMGEN, "-graphtype", keyword, "-size", sizes, *options, "-format", layout,
               "-out", path]
    if threads:
        command += ["-threads", str(threads)]
    if coordinates:
        command += ["-coordinates", coordinates]
    if simple:
        command += ["-simple"]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0 or run.stdout or run.stderr or not os.path.exists(path):
        fail(f"famgen {' '.join(command[1:-2])} exited with {run.returncode}: "
             f"{(run.stdout + run.stderr).strip()}")
        return None
    return path


def read_metis(path, keyword):
    """The neighbour lists of vertices 1..n; completegraph files have no heading lines (pass
    no keyword for a -simple file, which always has them)."""
    name = os.path.basename(path)
    with open(path) as file:
        lines = file.read().split("\n")
    if lines.pop() != "":
        fail(f"{name}: the last line has no newline")
    if keyword != "completegraph":
        comment, counts, lines = lines[0], lines[1], lines[2:]
        if not comment.startswith("%") or counts.split()[:1] != [str(len(lines))]:
            fail(f"{name}: heading {comment!r} {counts!r} does not fit its {len(lines)} lines")
    return [[int(word) for word in line.split()] for line in lines]


def entries(adjacency, keep=lambda k, j: True):
    """How many times each (k, j) is listed: j on line k, ids from 1."""
    return collections.Counter((k, j) for k, line in enumerate(adjacency, 1)
                               for j in line if keep(k, j))


def difference(name, read, expected):
    pairs = sorted(pair for pair in set(read) | set(expected) if read[pair] != expected[pair])
    fail(f"{name}: " + "; ".join(f"{pair} read {read[pair]} times, METIS {expected[pair]}"
                                 for pair in pairs[:5]))


def check_scotch(gtst, path, adjacency, name):
    run = subprocess.run([gtst, path], capture_output=True, text=True)
    if run.returncode != 0 or run.stderr:
        return fail(f"gtst refused {name} ({run.returncode}): {run.stderr.strip()}")
    figures = {}  # "S\tVertex degree\tmin=2\tmax=3\tsum=14..." -> {"Vertex degree": {...}}
    for line in run.stdout.splitlines():
        words = line.split("\t")
        if words[0] == "S" and len(words) > 2:
            figures[words[1]] = dict(word.split("=", 1) for word in words[2:])
    degrees = [len(line) for line in adjacency]
    pairs = {tuple(sorted(pair)) for pair in entries(adjacency)}
    if any(k == j for k, j in pairs) or 2 * len(pairs) != sum(degrees):
        return fail(f"{name}: the METIS file is not a simple graph")
    expected = {("Vertex", "nbr"): len(adjacency), ("Edge", "nbr"): len(pairs),
                ("Vertex degree", "min"): min(degrees), ("Vertex degree", "max"): max(degrees),
                ("Vertex degree", "sum"): sum(degrees)}
    for (group, figure), value in expected.items():
        printed = figures.get(group, {}).get(figure)
        if printed != str(value):
            fail(f"gtst on {name}: {group} {figure} is {printed}, METIS gives {value}")


def check_mtx(scipy_io, path, adjacency, name):
    # mmread keeps each entry of a symmetric file and adds the mirror of each off-diagonal one;
    # duplicates stay as separate entries of value 1. Summed, entry (i, j) off the diagonal is
    # then the number of "i j" lines, that is how many times j is on line i of the METIS file
    # (which lists it as often on line j). A diagonal entry is not mirrored: it is the number
    # of times i is listed on its own line, so the loop "1 1" of the 1-vertex circle reads as
    # 2, and the lone "1" of the 1 x 1 folded grid as 1. So the summed matrix is exactly the
    # METIS multiplicity matrix. mmread does not mind entries above the diagonal, so the lower
    # triangle is checked on the file itself.
    n = len(adjacency)
    try:
        info = scipy_io.mminfo(path)
        matrix = scipy_io.mmread(path)
    except Exception as error:  # the reader's refusal, whatever its kind
        return fail(f"mmread refused {name}: {error}")
    if info[:2] + info[3:] != (n, n, "coordinate", "pattern", "symmetric"):
        fail(f"mminfo on {name} gives {info}, not an {n} x {n} symmetric pattern")
    if any(value != 1 for value in matrix.data):
        fail(f"mmread on {name}: pattern entries other than 1")
    read = collections.Counter(zip((int(i) + 1 for i in matrix.row),
                                   (int(j) + 1 for j in matrix.col)))
    if read != entries(adjacency):
        difference(f"mmread on {name}", read, entries(adjacency))
    with open(path) as file:
        body = [line.split() for line in file if not line.startswith("%")][1:]
    if any(int(i) < int(j) for i, j in body):
        fail(f"{name}: mtx entries above the diagonal")


def check_edgelist(networkx, path, adjacency, name):
    with open(path) as file:
        heading = re.fullmatch(r"# (.*): (\d+) vertices, (\d+) edges\n", file.readline())
    if not heading or int(heading[2]) != len(adjacency):
        return fail(f"{name}: edgelist heading does not name {len(adjacency)} vertices")
    try:  # a multigraph keeps the repeated lines, so both the set and the count are read
        graph = networkx.read_edgelist(path, nodetype=int, create_using=networkx.MultiGraph)
    except Exception as error:  # the reader's refusal, whatever its kind
        return fail(f"read_edgelist refused {name}: {error}")
    read = collections.Counter(tuple(sorted((u + 1, v + 1))) for u, v in graph.edges())
    upper = entries(adjacency, lambda k, j: j >= k)  # the lines the file is written from
    edges = {tuple(sorted(pair)) for pair in entries(adjacency)}
    if set(read) != edges:
        difference(f"read_edgelist on {name} (edge set)", collections.Counter(set(read)),
                   collections.Counter(edges))
    elif read != upper:
        difference(f"read_edgelist on {name} (repeated edges)", read, upper)
    if graph.number_of_edges() != int(heading[3]):
        fail(f"{name}: heading names {heading[3]} edges, {graph.number_of_edges()} read")


def read_weighted_metis(path):
    """The vertex weights, neighbour lists and edge weights of vertices 1..n of a METIS file
    with a counts line, as its fmt and ncon say they are laid out."""
    with open(path) as file:
        lines = file.read().split("\n")[:-1]
    counts = [int(word) for word in lines[1].split()]
    fmt = counts[2] if len(counts) > 2 else 0
    ncon = counts[3] if len(counts) > 3 else fmt // 10 % 10
    weighted_edges = fmt % 10 == 1
    vertex, adjacency, edge = [], [], []
    for line in lines[2:]:
        numbers = [int(word) for word in line.split()]
        vertex.append(numbers[:ncon])
        rest = numbers[ncon:]
        adjacency.append(rest[0::2] if weighted_edges else rest)
        edge.append(rest[1::2] if weighted_edges else [])
    return vertex, adjacency, edge


def weight_of_entries(adjacency, edge):
    """{(k, j): the weight of j on line k}, ids from 1."""
    return {(k, j): weight for k, (line, weights) in enumerate(zip(adjacency, edge), 1)
            for j, weight in zip(line, weights)}


def check_weighted_scotch(gtst, path, metis, name):
    vertex, adjacency, edge = metis
    run = subprocess.run([gtst, path], capture_output=True, text=True)
    if run.returncode != 0 or run.stderr:
        return fail(f"gtst refused {name} ({run.returncode}): {run.stderr.strip()}")
    figures = {}
    for line in run.stdout.splitlines():
        words = line.split("\t")
        if words[0] == "S" and len(words) > 2:
            figures[words[1]] = dict(word.split("=", 1) for word in words[2:])
    loads = [weights[0] for weights in vertex]
    arcs = [weight for weights in edge for weight in weights]  # gtst sums the loads of arcs
    expected = {("Vertex", "nbr"): len(adjacency),
                ("Vertex load", "min"): min(loads), ("Vertex load", "max"): max(loads),
                ("Vertex load", "sum"): sum(loads),
                ("Edge load", "min"): min(arcs), ("Edge load", "max"): max(arcs),
                ("Edge load", "sum"): sum(arcs)}
    for (group, figure), value in expected.items():
        printed = figures.get(group, {}).get(figure)
        if printed != str(value):
            fail(f"gtst on {name}: {group} {figure} is {printed}, METIS gives {value}")


def check_weighted_mtx(scipy_io, path, metis, name):
    _, adjacency, edge = metis
    n = len(adjacency)
    try:
        info = scipy_io.mminfo(path)
        matrix = scipy_io.mmread(path).tocoo()
    except Exception as error:  # the reader's refusal, whatever its kind
        return fail(f"mmread refused {name}: {error}")
    if info[:2] + info[3:] != (n, n, "coordinate", "integer", "symmetric"):
        fail(f"mminfo on {name} gives {info}, not an {n} x {n} symmetric integer matrix")
    if (matrix != matrix.T).nnz:
        fail(f"mmread on {name}: the matrix is not symmetric")
    read = {(int(i) + 1, int(j) + 1): int(value)
            for i, j, value in zip(matrix.row, matrix.col, matrix.data)}
    expected = weight_of_entries(adjacency, edge)
    if read != expected:
        pairs = sorted(pair for pair in set(read) | set(expected)
                       if read.get(pair) != expected.get(pair))
        fail(f"mmread on {name}: " + "; ".join(f"{pair} reads {read.get(pair)}, METIS "
                                               f"{expected.get(pair)}" for pair in pairs[:5]))


def check_weighted_edgelist(networkx, path, metis, name):
    _, adjacency, edge = metis
    try:
        graph = networkx.read_weighted_edgelist(path, nodetype=int)
    except Exception as error:  # the reader's refusal, whatever its kind
        return fail(f"read_weighted_edgelist refused {name}: {error}")
    read = {}
    for u, v, weight in graph.edges(data="weight"):
        read[(u + 1, v + 1)] = read[(v + 1, u + 1)] = weight
    expected = weight_of_entries(adjacency, edge)
    if read != expected:
        pairs = sorted(pair for pair in set(read) | set(expected)
                       if read.get(pair) != expected.get(pair))
        fail(f"read_weighted_edgelist on {name}: " + "; ".join(
            f"{pair} reads {read.get(pair)}, METIS {expected.get(pair)}" for pair in pairs[:5]))


def drawn_nodes(plain):
    """The nodes of Graphviz's -Tplain output: (x, y, width) in inches, by name."""
    nodes = {}
    for line in plain.splitlines():
        words = line.split()
        if words and words[0] == "node":
            nodes[words[1]] = (float(words[2]), float(words[3]), float(words[4]))
    return nodes


def check_drawings(neato, folder):
    """Draws each graph of the gallery with neato -n2, and with dot and sfdp where they are, as
    the file asks and with no options; neato -n2's circles, where they carry labels, must not
    overlap, and neither neato nor dot may say a word on standard error."""
    gallery = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "gallery")
    with open(os.path.join(gallery, "graphs.txt")) as file:
        graphs = [line.split() for line in file if line.strip()]
    programs = [[neato, "-n2"]] + [[found] for found in map(shutil.which, ["dot", "sfdp"]) if found]
    for keyword, sizes, *options in graphs:
        path = famgen(folder, keyword, sizes, "dot", options=options)
        if not path:
            continue
        for program in programs:
            name = f"{' '.join(os.path.basename(word) for word in program)} on {keyword} {sizes}"
            run = subprocess.run(program + ["-Tplain", path], capture_output=True, text=True)
            # sfdp places the vertices itself, and may find them too close to route the edges
            # around them (splines=true): it says so, and draws them straight.
            quiet = not run.stderr or os.path.basename(program[0]) == "sfdp"
            if run.returncode != 0 or not quiet or not run.stdout.startswith("graph "):
                fail(f"{name} ({run.returncode}): {run.stderr.strip()}")
                continue
            nodes = drawn_nodes(run.stdout)
            with open(path) as file:
                labelled = "shape=circle" in file.read()
            if program[0] != neato or not labelled:
                continue
            placed = list(nodes.items())
            for k, (u, (ux, uy, width)) in enumerate(placed):
                for v, (vx, vy, _) in placed[k + 1:]:
                    if math.hypot(ux - vx, uy - vy) < width:
                        fail(f"{name}: the circles of {u} and {v} overlap")
    return len(graphs)


def check_geometry(gout, gpart, folder, keyword, sizes):
    geometry = os.path.join(folder, f"{keyword}.xyz")
    graph = famgen(folder, keyword, sizes, "scotch", coordinates=geometry)
    if not graph:
        return
    mapping, mesh = os.path.join(folder, "map"), os.path.join(folder, "mesh.vtk")
    for command in ([gpart, "3", graph, mapping], [gout, graph, geometry, mapping, mesh, "-Ov"]):
        run = subprocess.run(command, capture_output=True, text=True)
        if run.returncode != 0 or run.stderr:
            return fail(f"{os.path.basename(command[0])} on {keyword} {sizes}: {run.stderr}")
    with open(geometry) as file:
        dimension, count = int(file.readline()), int(file.readline())
        ours = [[float(x) for x in line.split()[1:]] + [0.0] * (3 - dimension) for line in file]
    with open(mesh) as file:
        words = file.read().split()
    start = words.index("POINTS") + 3
    drawn = [[float(x) for x in words[start + 3 * k:start + 3 * k + 3]] for k in range(count)]
    # VTK's floats: 6 significant digits.
    if len(ours) != count or any(abs(a - b) > 1e-4 * max(1, abs(a))
                                 for p, q in zip(ours, drawn) for a, b in zip(p, q)):
        fail(f"gout on {keyword} {sizes}: its points are not famgen's coordinates")


def networkx_mesh(networkx, sizes, periodic, box):
    """NetworkX's own mesh, its nodes numbered as famgen numbers the lattice points (the last
    axis fastest, from 1), without the self-loop NetworkX gives a cycle of one."""
    if box:
        factors = [(networkx.cycle_graph if p else networkx.path_graph)(n)
                   for n, p in zip(sizes, periodic)]
        for factor in factors:
            factor.remove_edges_from(list(networkx.selfloop_edges(factor)))
        graph, flat = factors[0], lambda node: (node,)
        for factor in factors[1:]:
            graph = networkx.strong_product(graph, factor)
            flat = (lambda inner: lambda node: inner(node[0]) + (node[1],))(flat)
        point = flat
    else:
        graph = networkx.grid_graph(dim=list(sizes), periodic=list(periodic))
        graph.remove_edges_from(list(networkx.selfloop_edges(graph)))
        # grid_graph names a node by its coordinates from the last dimension to the first.
        point = lambda node: tuple(reversed(node)) if isinstance(node, tuple) else (node,)

    def number(node):
        index = 0
        for n, c in zip(sizes, point(node)):
            index = index * n + c
        return index + 1
    return graph, number


def check_meshes(networkx, folder):
    """A seeded sweep of small meshes against NetworkX; returns how many were compared."""
    import itertools
    import random
    shapes = [(n,) for n in range(1, 6)] + list(itertools.product(range(1, 5), repeat=2))
    shapes += list(itertools.product(range(1, 4), repeat=3))
    shapes += random.Random(7).sample(list(itertools.product(range(1, 4), repeat=4)), 20)
    compared = 0
    for sizes in shapes:
        for periodic in itertools.product((False, True), repeat=len(sizes)):
            for box in (False, True):
                text = ",".join(map(str, sizes))
                flags = ",".join("1" if p else "0" for p in periodic)
                options = ["-stencil", "box" if box else "star", "-periodic", flags]
                path = famgen(folder, "mesh", text, "metis", options=options)
                if not path:
                    continue
                name = f"mesh {text} {' '.join(options)}"
                adjacency = read_metis(path, "mesh")
                ours = {tuple(sorted((k, j))) for k, line in enumerate(adjacency, 1) for j in line}
                graph, number = networkx_mesh(networkx, sizes, periodic, box)
                theirs = {tuple(sorted((number(u), number(v)))) for u, v in graph.edges()}
                if len(adjacency) != graph.number_of_nodes() or ours != theirs:
                    fail(f"{name}: not NetworkX's {'strong product' if box else 'grid_graph'} "
                         f"({len(ours - theirs)} edges more, {len(theirs - ours)} fewer)")
                if any(line != sorted(set(line)) or k in line
                       for k, line in enumerate(adjacency, 1)):
                    fail(f"{name}: a line that is not ascending, repeats or lists its vertex")
                compared += 1
    return compared


gtst = shutil.which("gtst") or shutil.which("scotch_gtst")


def readers():
    """The checks whose reader is installed, by layout: of plain files, the graphs they read,
    of weighted files, and the options that weigh the vertices where the layout holds that."""
    found = {}
    if gtst:
        found["scotch"] = (lambda *a: check_scotch(gtst, *a), SIMPLE,
                           lambda *a: check_weighted_scotch(gtst, *a), VERTEX_WEIGHTS)
    else:
        print("WARNING: Scotch's gtst not found (package scotch): scotch files left unread")
    try:
        import scipy.io
        found["mtx"] = (lambda *a: check_mtx(scipy.io, *a), SIMPLE + NON_SIMPLE,
                        lambda *a: check_weighted_mtx(scipy.io, *a), [])
    except ImportError:
        print("WARNING: SciPy not found (package python3-scipy): mtx files left unread")
    try:
        import networkx
        found["edgelist"] = (lambda *a: check_edgelist(networkx, *a), SIMPLE + NON_SIMPLE,
                             lambda *a: check_weighted_edgelist(networkx, *a), [])
    except ImportError:
        print("WARNING: NetworkX not found (package python3-networkx): edgelist files left unread")
    return found


def main(folder):
    results = []  # per check, whether it added no failure
    found = readers()
    for layout, (check, graphs, _, _) in found.items():
        for keyword, sizes, *options in graphs:
            before = len(failures)
            metis = famgen(folder, keyword, sizes, "metis", options=options)
            path = famgen(folder, keyword, sizes, layout, options=options)
            if metis and path:
                check(path, read_metis(metis, keyword), " ".join([keyword, sizes, *options]))
            results.append(len(failures) == before)
    # -simple: the graphs that gtst refuses as they are, and the one without heading lines.
    if "scotch" in found:
        for keyword, sizes in NON_SIMPLE + [("completegraph", "5,2")]:
            before = len(failures)
            metis = famgen(folder, keyword, sizes, "metis", simple=True)
            path = famgen(folder, keyword, sizes, "scotch", simple=True)
            if metis and path:
                check_scotch(gtst, path, read_metis(metis, None), f"{keyword} {sizes} -simple")
            results.append(len(failures) == before)
    # Weighted files, each against the METIS file of the same weights.
    for layout, (_, _, check, vertex_weights) in found.items():
        for keyword, sizes, *options in WEIGHTED:
            before = len(failures)
            options = [*options, *vertex_weights, *EDGE_WEIGHTS]
            metis = famgen(folder, keyword, sizes, "metis", options=options)
            path = famgen(folder, keyword, sizes, layout, options=options)
            if metis and path:
                check(path, read_weighted_metis(metis),
                      " ".join([keyword, sizes, *options]))
            results.append(len(failures) == before)
    # 300 x 300: every layout is over a MiB, so the threaded run has several jobs to share.
    for layout in LAYOUTS:
        before = len(failures)
        single, threaded = (famgen(folder, "grid", "300,300", layout, t) for t in (None, 2))
        if single and threaded:
            with open(single, "rb") as one, open(threaded, "rb") as two:
                first, second = one.read(), two.read()
            if len(first) <= 1 << 20:
                fail(f"grid 300,300 {layout}: {len(first)} bytes, too few to share out")
            if first != second:
                fail(f"grid 300,300 {layout}: {len(second)} bytes on 2 threads differ from "
                     f"the {len(first)} bytes of one pass")
        results.append(len(failures) == before)
    try:
        import networkx
        before = len(failures)
        print(f"meshes: {check_meshes(networkx, folder)} compared with NetworkX")
        results.append(len(failures) == before)
    except ImportError:
        print("WARNING: NetworkX not found (package python3-networkx): meshes left uncompared")
    neato = shutil.which("neato")
    if neato:
        before = len(failures)
        check_drawings(neato, folder)
        results.append(len(failures) == before)
    else:
        print("WARNING: Graphviz's neato not found (package graphviz): dot files left undrawn")
    gout = shutil.which("gout") or shutil.which("scotch_gout")
    gpart = shutil.which("scotch_gpart") or shutil.which("gpart")
    if gout and gpart:
        for keyword, sizes in [("grid", "20,30"), ("torus", "12,9"), ("sierpinski", "4"),
                               ("mesh", "5,6,7")]:
            before = len(failures)
            check_geometry(gout, gpart, folder, keyword, sizes)
            results.append(len(failures) == before)
    else:
        print("WARNING: Scotch's gout or gpart not found (package scotch): geometry left unread")
    print(f"readers: {results.count(True)} passed, {results.count(False)} failed")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: readers_test.py FAMGEN")
    FAMGEN = os.path.abspath(sys.argv[1])
    if not os.access(FAMGEN, os.X_OK):
        sys.exit(f"readers_test.py: {FAMGEN} is not an executable famgen")
    with tempfile.TemporaryDirectory() as scratch:
        main(scratch)
    sys.exit(1 if failures else 0)
