"""The Python module famgen against real readers and famgen's own files.

- The arrays are the METIS file that the famgen program writes, entry for entry, for every family
  plain and relabelled, int32 and int64, whole and in ranges; the positions are its coordinates
  file; famgen.write writes the program's bytes in every layout.
- SciPy: every matrix is symmetric, has the connected components its family has, and equals the
  Matrix Market file read back with scipy.io.mmread.
- SciPy's routines take the matrices: products, Laplacians and eigensolvers see float64 degrees.
- NetworkX: famgen.networkx is isomorphic to NetworkX's own generators of the same graphs, holds
  the edges of the arrays, and carries no attribute that was not asked for.
- simple=True is the program's -simple: the same files, and arrays that are its METIS file.
- The arrays are the library's buffers, not copies, and the GIL is free while they are filled.
- Failures raise TypeError naming the argument, and ValueError, MemoryError and OSError in the
  library's words, never the program's options or its "Exiting.".
- Every public function says what it takes and returns.
Run by CTest with PYTHONPATH on the built package and FAMGEN naming the famgen program.
"""
import inspect
import os
import pydoc
import re
import subprocess
import threading
import time

import networkx
import numpy
import pytest
import scipy.io
import scipy.sparse
import scipy.sparse.csgraph
import scipy.sparse.linalg

import famgen

FAMGEN = os.environ["FAMGEN"]

# family, sizes, mesh options, connected components
GRAPHS = [
    ("grid", (5, 7), {}, 1),
    ("folded_grid", (4, 6), {}, 1),
    ("partial_folded_grid", (7, 5), {}, 1),
    ("circle", (9,), {}, 1),
    ("star", (8,), {}, 1),
    ("torus", (4, 5), {}, 1),
    ("cylinder", (3, 6), {}, 1),
    ("tree", (5,), {}, 1),
    ("hypercube", (6,), {}, 1),
    ("sierpinski", (3,), {}, 1),
    ("unconnected_completegraph", (5, 3), {}, 3),
    ("completegraph", (4, 3), {}, 3),
    ("mesh", (3, 4, 5), {"stencil": "box", "periodic": (1, 0, 1)}, 1),
    ("mesh", (6,), {"periodic": True}, 1),
    # Radii far past the connectivity threshold: one component but with odds below 10^-20.
    ("rgg2d", (300,), {"radius": "0.3"}, 1),
    ("rgg3d", (200,), {"radius": 0.45, "periodic": True}, 1),
]
NAMES = [f"{family} {','.join(map(str, sizes))}" for family, sizes, _, _ in GRAPHS]


def command_line(family, sizes, options, seed=None):
    """famgen's arguments for the graph."""
    arguments = ["-graphtype", family, "-size", ",".join(map(str, sizes))]
    if "stencil" in options:
        arguments += ["-stencil", options["stencil"]]
    if "periodic" in options:
        periodic = options["periodic"]
        arguments += ["-periodic", "all" if periodic is True else ",".join(map(str, periodic))]
    if "radius" in options:
        arguments += ["-radius", str(options["radius"])]
    if "seed" in options:
        arguments += ["-seed", str(options["seed"])]
    if seed is not None:
        arguments += ["-permute", str(seed)]
    return arguments


def famgen_file(folder, arguments, *more):
    path = folder / "graph"
    subprocess.run([FAMGEN, *arguments, "-out", str(path), *more], check=True)
    return path


def metis_lines(folder, family, sizes, options, seed):
    """The file's lines, numbered from 0; completegraph's file has no heading."""
    lines = famgen_file(folder, command_line(family, sizes, options, seed)).read_text()
    lines = lines.split("\n")[:-1]
    if family != "completegraph":
        lines = lines[2:]
    return [[int(word) - 1 for word in line.split()] for line in lines]


def rows(indptr, indices):
    return [indices[indptr[k]:indptr[k + 1]].tolist() for k in range(len(indptr) - 1)]


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
@pytest.mark.parametrize("seed", [None, 7, 2**64 - 3])
@pytest.mark.parametrize("dtype", ["int32", "int64"])
def test_arrays_are_the_metis_file(tmp_path, family, sizes, options, components, seed, dtype):
    lines = metis_lines(tmp_path, family, sizes, options, seed)
    indptr, indices = famgen.csr(family, *sizes, permute=seed, dtype=dtype, threads=2, **options)
    assert indptr.dtype == dtype and indices.dtype == dtype
    assert rows(indptr, indices) == lines
    for first, last in [(0, 0), (1, len(lines) // 2), (len(lines) // 3, len(lines))]:
        part = famgen.csr(family, *sizes, permute=seed, dtype=dtype, first=first, last=last,
                          **options)
        assert rows(*part) == lines[first:last]
    assert rows(*famgen.csr(family, *sizes, permute=seed, first=2, **options)) == lines[2:]


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
def test_positions_are_the_coordinates_file(tmp_path, family, sizes, options, components):
    path = tmp_path / "xyz"
    famgen_file(tmp_path, command_line(family, sizes, options, 5), "-coordinates", str(path))
    expected = numpy.loadtxt(path, ndmin=2)
    positions = famgen.coordinates(family, *sizes, permute=5, **options)
    assert positions.shape == expected.shape
    assert (positions == expected).all()


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
def test_scipy_sees_a_symmetric_graph_in_its_components(family, sizes, options, components):
    matrix = famgen.scipy(family, *sizes, permute=11, **options)
    assert matrix.shape == (matrix.shape[0], matrix.shape[0])
    assert (matrix != matrix.T).nnz == 0
    found, _ = scipy.sparse.csgraph.connected_components(matrix, directed=False)
    assert found == components


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
def test_the_matrix_market_file_reads_back_to_the_matrix(tmp_path, family, sizes, options,
                                                         components):
    path = famgen_file(tmp_path, command_line(family, sizes, options, 3), "-format", "mtx")
    read = scipy.sparse.csr_array(scipy.io.mmread(str(path)))
    matrix = famgen.scipy(family, *sizes, permute=3, **options)
    assert (read != matrix).nnz == 0


# Weight requests of the command line: -vertex-weights, -edge-weights (None: not given).
WEIGHTS = [
    ("uniform:1-100,degree", "uniform:1-9"),
    ("constant:3", None),
    (None, "length:7"),
    ("bump:40:2:3,uniform:0-5,degree", "constant:2"),
]


def weighted_metis(folder, family, sizes, options, seed, vertex_weights, edge_weights,
                   weight_seed):
    """A weighted METIS file's lines as (vertex weights, neighbours from 0, edge weights)."""
    arguments = command_line(family, sizes, options, seed) + ["-seed", str(weight_seed)]
    if vertex_weights:
        arguments += ["-vertex-weights", vertex_weights]
    if edge_weights:
        arguments += ["-edge-weights", edge_weights]
    lines = famgen_file(folder, arguments).read_text().split("\n")[:-1]
    counts = [line for line in lines if not line.startswith("%")][0].split()
    ncon = int(counts[3]) if len(counts) > 3 else (1 if vertex_weights else 0)
    step = 2 if edge_weights else 1
    read = []
    for line in lines[lines.index(next(l for l in lines if not l.startswith("%"))) + 1:]:
        words = [int(word) for word in line.split()]
        entries = words[ncon:]
        read.append((words[:ncon], [w - 1 for w in entries[::step]],
                     entries[1::2] if edge_weights else []))
    return read


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
@pytest.mark.parametrize("vertex_weights,edge_weights", WEIGHTS)
@pytest.mark.parametrize("seed", [None, 7])
def test_weights_are_the_metis_files(tmp_path, family, sizes, options, components,
                                     vertex_weights, edge_weights, seed):
    lines = weighted_metis(tmp_path, family, sizes, options, seed, vertex_weights, edge_weights,
                           29)
    for dtype, threads, first, last in [("int32", 2, 0, len(lines)),
                                        ("int64", 1, len(lines) // 3, len(lines) - 1)]:
        indptr, indices, vwgt, adjwgt = famgen.csr(
            family, *sizes, permute=seed, dtype=dtype, threads=threads, first=first, last=last,
            vertex_weights=vertex_weights, edge_weights=edge_weights, seed=29, **options)
        assert rows(indptr, indices) == [line[1] for line in lines[first:last]]
        if vertex_weights:
            assert vwgt.dtype == dtype and vwgt.shape[0] == last - first
            assert vwgt.tolist() == [line[0] for line in lines[first:last]]
        else:
            assert vwgt is None
        if edge_weights:
            assert adjwgt.dtype == dtype
            assert rows(indptr, adjwgt) == [line[2] for line in lines[first:last]]
        else:
            assert adjwgt is None


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
def test_weighted_matrices_networkx_and_files_agree(tmp_path, family, sizes, options,
                                                    components):
    edge_weights, vertex_weights = "uniform:1-1000", "uniform:0-50,degree"
    path = famgen_file(tmp_path, command_line(family, sizes, options, 3), "-format", "mtx",
                       "-edge-weights", edge_weights, "-seed", "4")
    read = scipy.sparse.csr_array(scipy.io.mmread(str(path)))
    matrix = famgen.scipy(family, *sizes, permute=3, edge_weights=edge_weights, seed=4,
                          **options)
    assert read.dtype.kind == "i"
    if family not in ("unconnected_completegraph", "sierpinski", "completegraph"):
        # (families whose lines list an entry twice: SciPy sums the duplicates alike)
        assert (read != matrix).nnz == 0
    assert (matrix != matrix.T).nnz == 0
    graph = famgen.networkx(family, *sizes, permute=3, edge_weights=edge_weights,
                            vertex_weights=vertex_weights, seed=4, **options)
    indptr, indices, vwgt, adjwgt = famgen.csr(family, *sizes, permute=3, seed=4,
                                               edge_weights=edge_weights,
                                               vertex_weights=vertex_weights, **options)
    for v in range(len(indptr) - 1):
        assert graph.nodes[v]["weight"] == tuple(vwgt[v])
        for k in range(indptr[v], indptr[v + 1]):
            assert graph.edges[v, indices[k]]["weight"] == adjwgt[k]


def test_weighted_write_writes_the_programs_bytes(tmp_path):
    arguments = command_line("mesh", (4, 5, 3), {"stencil": "box", "periodic": (1, 0, 0)}, 9)
    weights = ["-edge-weights", "axes:1,10,100", "-seed", "12"]
    for layout, vertex_weights in [("metis", "degree,uniform:1-4"), ("parhip", "bump:9:7:2"),
                                   ("scotch", "uniform:3-8"), ("mtx", None), ("edgelist", None),
                                   ("dot", None)]:
        more = ["-vertex-weights", vertex_weights] if vertex_weights else []
        theirs = famgen_file(tmp_path, arguments, "-format", layout, *weights, *more)
        ours = tmp_path / f"ours.{layout}"
        famgen.write("mesh", 4, 5, 3, stencil="box", periodic=[True, False, False], permute=9,
                     out=str(ours), format=layout, threads=2, edge_weights="axes:1,10,100",
                     vertex_weights=vertex_weights, seed=12)
        assert ours.read_bytes() == theirs.read_bytes(), layout


ISOMORPHIC = [
    (("grid", 4, 6), {}, networkx.grid_2d_graph(4, 6)),
    (("circle", 9), {}, networkx.cycle_graph(9)),
    (("star", 8), {}, networkx.wheel_graph(8)),
    (("torus", 4, 5), {}, networkx.grid_2d_graph(4, 5, periodic=True)),
    (("cylinder", 3, 6), {}, networkx.grid_2d_graph(3, 6, periodic=(False, True))),
    (("tree", 5), {}, networkx.balanced_tree(2, 4)),
    (("hypercube", 6), {}, networkx.hypercube_graph(6)),
    (("unconnected_completegraph", 5, 3), {},
     networkx.disjoint_union_all([networkx.complete_graph(5)] * 3)),
    (("mesh", 3, 4, 5), {}, networkx.grid_graph(dim=(3, 4, 5))),
    (("mesh", 3, 4, 3), {"periodic": (0, 1, 1)}, networkx.grid_graph(dim=(3, 4, 3), periodic=(0, 1, 1))),
    (("mesh", 3, 4), {"stencil": "box"},
     networkx.strong_product(networkx.path_graph(3), networkx.path_graph(4))),
    (("mesh", 3, 5), {"stencil": "box", "periodic": (0, 1)},
     networkx.strong_product(networkx.path_graph(3), networkx.cycle_graph(5))),
]


@pytest.mark.parametrize("named,options,expected", ISOMORPHIC,
                         ids=[" ".join(map(str, named)) for named, _, _ in ISOMORPHIC])
@pytest.mark.parametrize("seed", [None, 13])
def test_networkx_graphs_are_networkx_generators(named, options, expected, seed):
    graph = famgen.networkx(*named, permute=seed, **options)
    assert sorted(graph.nodes) == list(range(expected.number_of_nodes()))
    assert networkx.is_isomorphic(graph, expected)


def test_write_writes_the_programs_bytes(tmp_path):
    arguments = command_line("mesh", (4, 5, 3), {"stencil": "box", "periodic": (1, 0, 0)}, 9)
    for layout in ["metis", "parhip", "scotch", "mtx", "edgelist", "dot"]:
        theirs = famgen_file(tmp_path, arguments, "-format", layout, "-coordinates",
                             str(tmp_path / "theirs.xyz"))
        ours = tmp_path / f"ours.{layout}"
        famgen.write("mesh", 4, 5, 3, stencil="box", periodic=[True, False, False], permute=9,
                     out=str(ours), format=layout, coordinates=str(tmp_path / "ours.xyz"),
                     threads=2)
        assert ours.read_bytes() == theirs.read_bytes(), layout
        assert (tmp_path / "ours.xyz").read_bytes() == (tmp_path / "theirs.xyz").read_bytes()


def owner(array):
    """What holds the memory of an array and of the arrays it is a view of."""
    while isinstance(array.base, numpy.ndarray):
        array = array.base
    return type(array.base).__name__


def test_arrays_are_the_librarys_buffers():
    indptr, indices = famgen.csr("torus", 30, 40)
    assert not indptr.flags.owndata and not indices.flags.owndata
    assert owner(indptr) == owner(indices) == "PyCapsule"
    matrix = famgen.scipy("torus", 30, 40)
    assert owner(matrix.indptr) == owner(matrix.indices) == "PyCapsule"


def test_the_gil_is_free_while_arrays_are_filled():
    started = threading.Event()
    done = threading.Event()
    window = []
    made = []

    def fill():
        started.set()
        window.append(time.perf_counter())
        made.append(famgen.csr("torus", 3000, 3000, threads=1))
        window.append(time.perf_counter())
        done.set()

    worker = threading.Thread(target=fill)
    worker.start()
    started.wait()
    turns = []
    while not done.is_set():
        turns.append(time.perf_counter())
        for _ in range(1000):
            pass
    worker.join()
    assert len(made[0][1]) == 36000000
    # With the GIL held while the arrays are filled (a tenth of a second or more), this thread
    # could not turn at all in the middle of the call.
    begin, end = window
    middle = (begin + (end - begin) / 5, end - (end - begin) / 5)
    assert any(middle[0] < turn < middle[1] for turn in turns)


# family, sizes, options, what every vertex's degree is (None: they differ), the largest
# eigenvalue of the adjacency matrix
SPECTRA = [
    (("unconnected_completegraph", 200, 1), {}, 199, 199),
    (("torus", 30, 40), {}, 4, 4),
    (("hypercube", 7), {}, 7, 7),
    (("mesh", 4, 5, 6), {"periodic": True}, 6, 6),
    (("mesh", 3, 3), {"stencil": "box", "periodic": True}, 8, 8),
    (("star", 9), {}, None, 4),  # a hub joined to a ring of 8: 1 + sqrt(1 + 8)
]


@pytest.mark.parametrize("named,options,degree,largest", SPECTRA,
                         ids=[" ".join(map(str, named)) for named, _, _, _ in SPECTRA])
@pytest.mark.parametrize("seed", [None, 5])
def test_scipy_routines_take_the_matrices(named, options, degree, largest, seed):
    matrix = famgen.scipy(*named, permute=seed, **options)
    assert matrix.dtype == numpy.float64
    degrees = numpy.diff(matrix.indptr)
    if degree is not None:
        assert (degrees == degree).all()
    assert ((matrix @ matrix).diagonal() == degrees).all()
    laplacian = scipy.sparse.csgraph.laplacian(matrix)
    assert (laplacian.diagonal() == degrees).all()
    assert numpy.abs(laplacian @ numpy.ones(matrix.shape[0])).max() == 0
    eigenvalues = scipy.sparse.linalg.eigsh(matrix, k=2, which="LA", return_eigenvectors=False)
    assert max(eigenvalues) == pytest.approx(largest)


# values' dtype, index dtype, whether the values are the library's adjwgt itself
DATA_DTYPES = [
    ("float64", "int32", False),
    ("float32", "int64", False),
    ("int32", "int32", True),
    ("int64", "int64", True),
    ("int8", "int32", False),
]


@pytest.mark.parametrize("data_dtype,dtype,shared", DATA_DTYPES)
def test_the_matrices_values_are_of_data_dtype(data_dtype, dtype, shared):
    plain = famgen.scipy("grid", 6, 7, dtype=dtype, data_dtype=data_dtype)
    assert plain.dtype == data_dtype and (plain.data == 1).all()
    weighted = famgen.scipy("grid", 6, 7, dtype=dtype, data_dtype=data_dtype,
                            edge_weights="uniform:1-100", seed=3)
    _, _, _, adjwgt = famgen.csr("grid", 6, 7, dtype=dtype, edge_weights="uniform:1-100", seed=3)
    assert weighted.dtype == data_dtype
    assert weighted.data.tolist() == adjwgt.astype(data_dtype).tolist()
    assert (owner(weighted.data) == "PyCapsule") == shared


def edge_set(indptr, indices):
    """The edges of the arrays, each as (lower end, upper end)."""
    return {(min(v, int(w)), max(v, int(w)))
            for v in range(len(indptr) - 1) for w in indices[indptr[v]:indptr[v + 1]]}


@pytest.mark.parametrize("family,sizes,options,components", GRAPHS, ids=NAMES)
@pytest.mark.parametrize("simple", [False, True])
def test_networkx_graphs_hold_the_arrays_and_nothing_unasked(family, sizes, options,
                                                            components, simple):
    graph = famgen.networkx(family, *sizes, permute=7, simple=simple, **options)
    indptr, indices = famgen.csr(family, *sizes, permute=7, simple=simple, **options)
    assert list(graph.nodes) == list(range(len(indptr) - 1))
    assert {(min(u, v), max(u, v)) for u, v in graph.edges} == edge_set(indptr, indices)
    assert all(not attributes for _, attributes in graph.nodes(data=True))
    assert all(not attributes for _, _, attributes in graph.edges(data=True))


# vertex_weights, edge_weights: what the nodes' and the edges' "weight" are
NETWORKX_WEIGHTS = [
    ("uniform:1-9", None),
    ("degree,constant:4", None),
    (None, "uniform:1-1000"),
    ("bump:30:3:2", "length:10"),
]


@pytest.mark.parametrize("vertex_weights,edge_weights", NETWORKX_WEIGHTS)
def test_networkx_weights_are_the_arrays_python_ints(vertex_weights, edge_weights):
    named = ("mesh", 4, 5, 3)
    graph = famgen.networkx(*named, permute=2, vertex_weights=vertex_weights,
                            edge_weights=edge_weights, seed=8)
    indptr, indices, vwgt, adjwgt = famgen.csr(*named, permute=2, seed=8,
                                               vertex_weights=vertex_weights,
                                               edge_weights=edge_weights)
    for v, attributes in graph.nodes(data=True):
        if vertex_weights is None:
            assert attributes == {}
            continue
        expected = vwgt[v].tolist()
        assert attributes == {"weight": expected[0] if len(expected) == 1 else tuple(expected)}
        assert all(type(w) is int for w in numpy.atleast_1d(attributes["weight"]).tolist())
        assert type(attributes["weight"]) in (int, tuple)
    for v in range(len(indptr) - 1):
        for k in range(indptr[v], indptr[v + 1]):
            attributes = graph.edges[v, int(indices[k])]
            if edge_weights is None:
                assert attributes == {}
            else:
                assert attributes == {"weight": adjwgt[k]}
                assert type(attributes["weight"]) is int


# Graphs whose lines list their own vertex or a neighbour twice, and one whose lines list
# neither; the weights the simple graph is asked for (degree counts its own entries).
SIMPLE = [
    ("unconnected_completegraph", (3, 4), {}),
    ("completegraph", (5, 3), {}),
    ("completegraph", (30, 2), {}),  # lines longer than the short lines' lookup
    ("sierpinski", (3,), {}),
    ("circle", (2,), {}),
    ("circle", (1,), {}),
    ("torus", (2, 3), {}),
    ("star", (3,), {}),
    ("folded_grid", (1, 2), {}),
    ("mesh", (2, 3), {"periodic": True}),
    ("grid", (4, 5), {}),
]
SIMPLE_NAMES = [f"{family} {','.join(map(str, sizes))}" for family, sizes, _ in SIMPLE]


@pytest.mark.parametrize("family,sizes,options", SIMPLE, ids=SIMPLE_NAMES)
@pytest.mark.parametrize("seed", [None, 6])
def test_simple_writes_the_programs_simple_files(tmp_path, family, sizes, options, seed):
    arguments = command_line(family, sizes, options, seed) + ["-simple"]
    for layout, weights in [("metis", {}), ("scotch", {}), ("mtx", {}),
                            ("metis", {"vertex_weights": "degree,uniform:1-5",
                                       "edge_weights": "uniform:1-9"}),
                            ("parhip", {"vertex_weights": "degree", "edge_weights": "length:3"})]:
        more = []
        if weights:
            more = ["-vertex-weights", weights["vertex_weights"], "-edge-weights",
                    weights["edge_weights"], "-seed", "5"]
        theirs = famgen_file(tmp_path, arguments, "-format", layout, *more)
        ours = tmp_path / "ours"
        famgen.write(family, *sizes, permute=seed, out=str(ours), format=layout, threads=2,
                     simple=True, seed=5, **weights, **options)
        assert ours.read_bytes() == theirs.read_bytes(), (layout, weights)


@pytest.mark.parametrize("family,sizes,options", SIMPLE, ids=SIMPLE_NAMES)
@pytest.mark.parametrize("seed", [None, 6])
def test_simple_arrays_are_the_programs_simple_file(tmp_path, family, sizes, options, seed):
    vertex_weights, edge_weights = "degree,uniform:2-7", "uniform:1-50"
    path = famgen_file(tmp_path, command_line(family, sizes, options, seed), "-simple")
    lines = path.read_text().split("\n")[2:-1]
    expected = [[int(word) - 1 for word in line.split()] for line in lines]
    for dtype, first, last in [("int32", 0, None), ("int64", len(lines) // 3, len(lines))]:
        indptr, indices = famgen.csr(family, *sizes, permute=seed, dtype=dtype, simple=True,
                                     first=first, last=last, **options)
        assert rows(indptr, indices) == expected[first:last]
    entries = sum(map(len, expected))
    assert famgen.info(family, *sizes, simple=True, **options)["entries"] == entries
    weighted = weighted_metis(tmp_path, family, sizes, options, seed, vertex_weights,
                              edge_weights, 11)
    # (the weighted file of the simple graph: the same arguments and -simple)
    arguments = command_line(family, sizes, options, seed) + [
        "-simple", "-seed", "11", "-vertex-weights", vertex_weights, "-edge-weights",
        edge_weights]
    words = famgen_file(tmp_path, arguments).read_text().split("\n")[2:-1]
    words = [[int(word) for word in line.split()] for line in words]
    indptr, indices, vwgt, adjwgt = famgen.csr(
        family, *sizes, permute=seed, simple=True, vertex_weights=vertex_weights,
        edge_weights=edge_weights, seed=11, **options)
    assert vwgt.tolist() == [line[:2] for line in words]
    assert rows(indptr, indices) == [[w - 1 for w in line[2::2]] for line in words]
    assert rows(indptr, adjwgt) == [line[3::2] for line in words]
    assert len(weighted) == len(words)


# A graph whose lines list loops or repeats: its matrix and its simple graph's
@pytest.mark.parametrize("named", [("torus", 2, 3), ("circle", 1), ("folded_grid", 1, 2)])
def test_the_simple_matrix_has_no_loops_or_repeats(named):
    def positions(matrix):
        coo = matrix.tocoo()
        return list(zip(coo.row.tolist(), coo.col.tolist()))
    plain = positions(famgen.scipy(*named))
    simple = famgen.scipy(*named, simple=True)
    assert sorted(set(positions(simple))) == sorted({(u, v) for u, v in plain if u != v})
    assert len(positions(simple)) == simple.nnz < len(plain)
    assert (simple != simple.T).nnz == 0


def test_every_public_function_says_what_it_takes_and_returns():
    functions = [getattr(famgen, name) for name in famgen.__all__
                 if callable(getattr(famgen, name))]
    assert len(functions) == len(famgen.__all__) - 1  # all but version
    for function in functions:
        doc = inspect.getdoc(function)
        assert doc and len(doc) > 300, function.__name__
        assert "Returns" in doc and ">>> " in doc, function.__name__
        for name, parameter in inspect.signature(function).parameters.items():
            if parameter.kind == parameter.KEYWORD_ONLY:
                assert re.search(rf"\b{name}\b", doc), (function.__name__, name)
        help_text = pydoc.render_doc(function)
        assert "permute=None" in help_text or function is famgen.info
    module = inspect.getdoc(famgen)
    for row in ["grid", "torus", "hypercube", "unconnected_completegraph", "mesh"]:
        assert re.search(rf"^    {row} +\S", module, re.MULTILINE), row


# A call with an argument of the wrong type, and the TypeError's text.
TYPE_ERRORS = [
    (lambda: famgen.csr("grid", "3", 4), "famgen.csr: sizes are whole numbers, not '3'"),
    (lambda: famgen.csr("grid", 3.0, 4), "famgen.csr: sizes are whole numbers, not 3.0"),
    (lambda: famgen.scipy(3, 4), "famgen.scipy: family is a family's keyword such as 'grid', "
                                 "not 3"),
    (lambda: famgen.csr("grid", 3, 4, permute="7"),
     "famgen.csr: permute is a whole number from 0 to 18446744073709551615, not '7'"),
    (lambda: famgen.networkx("grid", 3, 4, seed=1.5),
     "famgen.networkx: seed is a whole number from 0 to 18446744073709551615, not 1.5"),
    (lambda: famgen.csr("grid", 3, 4, threads="2"),
     "famgen.csr: threads is a whole number, not '2'"),
    (lambda: famgen.csr("grid", 3, 4, first=1.5), "famgen.csr: first is a vertex number or None, "
                                                  "not 1.5"),
    (lambda: famgen.csr("mesh", 3, 4, stencil=1), "famgen.csr: stencil is 'star' or 'box', not 1"),
    (lambda: famgen.coordinates("mesh", 3, 4, periodic=1),
     "famgen.coordinates: periodic is True, False, 'all', 'none' or a 0 or 1 (or a bool) for "
     "each axis, not 1"),
    (lambda: famgen.csr("grid", 3, 4, vertex_weights=["degree"]),
     "famgen.csr: vertex_weights is a str of models, such as 'uniform:1-10,degree', "
     "not ['degree']"),
    (lambda: famgen.csr("grid", 3, 4, dtype="no such"),
     "famgen.csr: dtype is int32 or int64, not 'no such'"),
    (lambda: famgen.scipy("grid", 3, 4, data_dtype="no such"),
     "famgen.scipy: data_dtype is a NumPy dtype such as 'float64', not 'no such'"),
    (lambda: famgen.info("grid", 3, 4, simple="yes"),
     "famgen.info: simple is True or False, not 'yes'"),
    (lambda: famgen.write("grid", 3, 4, out=5), "famgen.write: out is a file name or '-', not 5"),
    (lambda: famgen.write("grid", 3, 4, out="-", format=None),
     "famgen.write: format is a layout's name such as 'metis', not None"),
]


@pytest.mark.parametrize("call,text", TYPE_ERRORS, ids=[text for _, text in TYPE_ERRORS])
def test_type_errors_name_the_argument(call, text):
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value) == text


# A failing call, the exception and its text (or, ending in "...", the text's beginning).
FAILURES = [
    (lambda: famgen.csr("circle", 0), ValueError,
     "famgen: circle takes the size N, at least 1, not 0"),
    (lambda: famgen.csr("grid", 4), ValueError,
     "famgen: grid takes the sizes R,W, each at least 1, not 4"),
    (lambda: famgen.csr("hypercube", 1), ValueError,
     "famgen: hypercube takes the size D, at least 2, not 1"),
    (lambda: famgen.scipy("star", 2), ValueError,
     "famgen: star takes the size N, at least 3, not 2"),
    (lambda: famgen.info("completegraph", 0, 3), ValueError,
     "famgen: completegraph takes the sizes N,C, N at least 1, not 0,3"),
    (lambda: famgen.csr("unconnected_completegraph", 3, 0), ValueError,
     "famgen: unconnected_completegraph takes the sizes N,C, each at least 1, not 3,0"),
    (lambda: famgen.coordinates("mesh"), ValueError,
     "famgen: mesh takes 1 to 8 sizes (N1,...,Nd), each at least 1, not none"),
    (lambda: famgen.csr("mesh", 3, 0), ValueError,
     "famgen: mesh takes 1 to 8 sizes (N1,...,Nd), each at least 1, not 3,0"),
    (lambda: famgen.csr("hypercube", 70), ValueError,
     "famgen: a hypercube of dimension 70 has figures that do not fit in 64 bits"),
    (lambda: famgen.csr("hypercube", 32, last=10), ValueError,
     "famgen: 32-bit indices cannot number the 4294967296 vertices of this graph (at most "
     "2147483647): ask for 64-bit indices"),
    (lambda: famgen.csr("mesh", 3, 4, stencil="hex"), ValueError,
     "famgen: unknown stencil 'hex': the stencils are star and box"),
    (lambda: famgen.csr("mesh", 3, 4, periodic="x"), ValueError,
     "famgen: the periodic axes take all, none or a 0 or 1 for each axis (1,0,1), not 'x'"),
    (lambda: famgen.csr("mesh", 3, 4, periodic=(1, 0, 1)), ValueError,
     "famgen: the periodic axes give 3 flags for a mesh of 2 axes"),
    (lambda: famgen.csr("grid", 3, 4, stencil="box"), ValueError,
     "famgen: a stencil applies to the mesh alone, periodic axes to the mesh, rgg2d and rgg3d"),
    (lambda: famgen.csr("rgg2d", 10, radius=2), ValueError,
     "famgen: the radius takes a decimal above 0 and at most 1 (0.01, 1), not '2'"),
    (lambda: famgen.csr("rgg3d", 10, radius="1e-3"), ValueError,
     "famgen: the radius takes a decimal above 0 and at most 1 (0.01, 1), not '1e-3'"),
    (lambda: famgen.csr("grid", 3, 4, radius=0.5), ValueError,
     "famgen: a radius applies to rgg2d and rgg3d alone"),
    (lambda: famgen.csr("rgg2d", 10, periodic=(1, 0)), ValueError,
     "famgen: rgg2d and rgg3d take the periodic axes all or none, not a flag for each axis"),
    (lambda: famgen.csr("rgg2d", 0), ValueError,
     "famgen: rgg2d takes the size N, at least 1, not 0"),
    (lambda: famgen.csr("grid", 3, 4, dtype="float32"), ValueError,
     "famgen.csr: dtype is int32 or int64, not float32"),
    (lambda: famgen.csr("grid", 3, 4, permute=2**64), ValueError,
     f"famgen.csr: permute is a whole number from 0 to {2**64 - 1}, not {2**64}"),
    (lambda: famgen.write("grid", 3, 4, out="-", permute=-3), ValueError,
     f"famgen.write: permute is a whole number from 0 to {2**64 - 1}, not -3"),
    (lambda: famgen.csr("grid", 3, 4, edge_weights="uniform:1-9", seed=-1), ValueError,
     "famgen.csr: seed is a whole number from 0 to 18446744073709551615, not -1"),
    (lambda: famgen.csr("completegraph", 200000, 50, dtype="int64"), MemoryError,
     "famgen: the arrays need ..."),
    (lambda: famgen.write("grid", 3, 4, out="/nonexistent/graph"), OSError, "famgen: cannot ..."),
    (lambda: famgen.write("grid", 3, 4, out=""), OSError,
     "famgen: no output file named (a file name, or - for standard output)"),
    (lambda: famgen.csr("grid", 3, 4, vertex_weights="uniform:5-1"), ValueError,
     "famgen: the vertex weights take one model for each constraint (1 to 8, separated by "
     "commas): uniform:LO-HI, constant:K, degree or bump:PEAK:VERTEX:RADIUS, with whole numbers, "
     "not 'uniform:5-1'"),
    (lambda: famgen.networkx("grid", 3, 4, edge_weights="degree"), ValueError,
     "famgen: the edge weights take one model: ..."),
    (lambda: famgen.csr("grid", 3, 4, edge_weights="axes:1,2"), ValueError,
     "famgen: the edge weight model axes:1,2 applies to the mesh alone"),
    (lambda: famgen.csr("mesh", 3, 4, edge_weights="axes:1"), ValueError,
     "famgen: the edge weight model axes:1 gives 1 axis weight for a mesh of 2 axes"),
    (lambda: famgen.csr("grid", 2000, 2000, vertex_weights="uniform:1-1000"), ValueError,
     "famgen: the vertex weight model uniform:1-1000 may add up to 4000000000 on this graph, "
     "past the 32-bit integers its readers sum weights in"),
    (lambda: famgen.csr("grid", 3, 4, vertex_weights="bump:3:100:2"), ValueError,
     "famgen: the vertex weight model bump:3:100:2 centres on vertex 100, past the graph's 12"),
    (lambda: famgen.write("grid", 3, 4, out="-", format="mtx", vertex_weights="degree"),
     ValueError, "famgen: Matrix Market's matrix holds no vertex weights (the formats metis, "
                 "parhip and scotch do)"),
    (lambda: famgen.write("grid", 3, 4, out="-", format="scotch", vertex_weights="degree,degree"),
     ValueError, "famgen: Scotch's graph holds one vertex load a vertex, not 2 (ask for one "
                 "vertex weight model)"),
    # Lists of periodic flags with no flag, or with something else than 0, 1 or a bool, and
    # sizes past what the library takes, refused rather than read as something else.
    (lambda: famgen.csr("mesh", 3, 4, periodic=[]), ValueError,
     "famgen.csr: periodic is True, False, 'all', 'none' or a 0 or 1 (or a bool) for each axis, "
     "not []"),
    (lambda: famgen.csr("mesh", 3, 4, periodic=""), ValueError,
     "famgen.csr: periodic is True, False, 'all', 'none' or a 0 or 1 (or a bool) for each axis, "
     "not ''"),
    (lambda: famgen.csr("mesh", 3, 4, periodic=[2, "x"]), ValueError,
     "famgen.csr: periodic is True, False, 'all', 'none' or a 0 or 1 (or a bool) for each axis, "
     "not [2, 'x']"),
    (lambda: famgen.csr("mesh", 3, 4, periodic="1,,0"), ValueError,
     "famgen: the periodic axes take all, none or a 0 or 1 for each axis (1,0,1), not '1,,0'"),
    (lambda: famgen.csr("grid", 2**70, 4), ValueError,
     "famgen: size 1180591620717411303424 is past the 32-bit range of sizes"),
]


@pytest.mark.parametrize("call,error,text", FAILURES, ids=[text for _, _, text in FAILURES])
def test_failures_raise_in_the_librarys_words(call, error, text):
    with pytest.raises(error) as raised:
        call()
    message = str(raised.value)
    if text.endswith("..."):
        assert message.startswith(text[:-3])
    else:
        assert message == text
    # The program's options (-permute, -vertex-weights, ...) and its "Exiting." are its own.
    assert not re.search(r"(^|[ (])-[a-z]", message) and "Exiting" not in message
