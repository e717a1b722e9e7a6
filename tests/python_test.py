"""The Python module famgen against real readers and famgen's own files.

- The arrays are the METIS file that the famgen program writes, entry for entry, for every family
  plain and relabelled, int32 and int64, whole and in ranges; the positions are its coordinates
  file; famgen.write writes the program's bytes in every layout.
- SciPy: every matrix is symmetric, has the connected components its family has, and equals the
  Matrix Market file read back with scipy.io.mmread.
- NetworkX: famgen.networkx is isomorphic to NetworkX's own generators of the same graphs.
- The arrays are the library's buffers, not copies, and the GIL is free while they are filled.
- Failures raise ValueError, MemoryError and OSError with the command line's texts.
Run by CTest with PYTHONPATH on the built package and FAMGEN naming the famgen program.
"""
import os
import subprocess
import threading
import time

import networkx
import numpy
import pytest
import scipy.io
import scipy.sparse
import scipy.sparse.csgraph

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


def test_arrays_are_the_librarys_buffers():
    def owner(array):
        """What holds the memory of an array and of the arrays it is a view of."""
        while isinstance(array.base, numpy.ndarray):
            array = array.base
        return type(array.base).__name__

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


@pytest.mark.parametrize("call,error,text", [
    (lambda: famgen.csr("circle", 0), ValueError, "Circle perimeter is not available. Exiting."),
    (lambda: famgen.csr("hypercube", 70), ValueError,
     "famgen: a hypercube of dimension 70 has figures that do not fit in 64 bits"),
    (lambda: famgen.csr("hypercube", 32, last=10), ValueError,
     "famgen: 32-bit indices cannot number the 4294967296 vertices of this graph (at most "
     "2147483647): ask for 64-bit indices"),
    (lambda: famgen.csr("mesh", 3, 4, stencil="hex"), ValueError,
     "famgen: unknown stencil 'hex': the stencils are star and box"),
    (lambda: famgen.csr("grid", 3, 4, dtype="float32"), ValueError,
     "famgen: the indices are int32 or int64, not float32"),
    (lambda: famgen.csr("grid", 3, 4, permute=2**64), ValueError,
     f"famgen: -permute takes a seed from 0 to {2**64 - 1}, not '{2**64}'"),
    (lambda: famgen.csr("grid", 3, 4, permute=-3), ValueError,
     f"famgen: -permute takes a seed from 0 to {2**64 - 1}, not '-3'"),
    (lambda: famgen.csr("completegraph", 200000, 50, dtype="int64"), MemoryError,
     "famgen: the arrays need "),
    (lambda: famgen.write("grid", 3, 4, out="/nonexistent/graph"), OSError,
     "famgen: cannot "),
    (lambda: famgen.csr("grid", 3, 4, vertex_weights="uniform:5-1"), ValueError,
     "famgen: -vertex-weights takes one model for each constraint"),
    (lambda: famgen.csr("grid", 3, 4, edge_weights="axes:1,2"), ValueError,
     "famgen: -edge-weights axes:1,2 applies to the mesh alone"),
    (lambda: famgen.csr("grid", 3, 4, edge_weights="uniform:1-9", seed=-1), ValueError,
     "famgen: -seed takes a whole number from 0 to 18446744073709551615, not '-1'"),
    (lambda: famgen.csr("grid", 2000, 2000, vertex_weights="uniform:1-1000"), ValueError,
     "famgen: -vertex-weights uniform:1-1000 may add up to"),
    (lambda: famgen.write("grid", 3, 4, out="-", format="mtx", vertex_weights="degree"),
     ValueError, "famgen: "),
])
def test_failures_raise_with_the_command_lines_texts(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value).startswith(text)
