"""famgen: graphs of standard families as NumPy, SciPy and NetworkX graphs, and as files.

    >>> import famgen
    >>> indptr, indices = famgen.csr("torus", 3, 4)
    >>> matrix = famgen.scipy("grid", 1000, 1000, permute=7)
    >>> graph = famgen.networkx("mesh", 10, 10, 10, periodic=True)

A graph is named by its family's keyword and its sizes, in this order:

    family                      sizes        the graph
    grid                        R, W         R rows of W vertices (R, W >= 1)
    folded_grid                 R, W         the grid with opposite corners joined
    partial_grid                R, W         the grid without the horizontal edges of a
                                             central block
    partial_folded_grid         R, W         both of the above
    circle                      N            the cycle of N vertices (N >= 1)
    tree                        DEPTH        complete binary tree of 2^DEPTH - 1 vertices
                                             (DEPTH >= 1)
    torus                       A, B         A rings of B vertices, closed into a loop
                                             (A, B >= 1)
    cylinder                    A, B         A rings of B vertices, open at both ends
    sierpinski                  DEPTH        Sierpinski graph of 3(3^DEPTH + 1)/2 vertices
                                             (DEPTH 1 to 19)
    hypercube                   D            hypercube of 2^D vertices (D >= 2)
    star                        N            a wheel: hub 0 joined to the closed ring 1..N-1
                                             (N >= 3)
    completegraph               N, C         as below, vertex lines only (N >= 1)
    unconnected_completegraph   N, C         C disjoint complete graphs of N vertices
    mesh                        N1, ..., Nd  the N1 x ... x Nd mesh, d from 1 to 8;
                                             stencil="star" (one step along one axis) or
                                             "box" (one step or none along every axis),
                                             periodic=True, False or a flag per axis
    rgg2d                       N            N random points in the unit square joined within
                                             radius= (0.55 (ln N / N)^(1/2) by default);
                                             periodic=True: on the torus; seed= draws them
    rgg3d                       N            the same in the unit cube, 0.55 (ln N / N)^(1/3)

The graph is the famgen program's: vertex k's neighbours are indices[indptr[k]:indptr[k + 1]],
numbered from 0 and in the METIS file's order. permute=SEED numbers the vertices at random (the
same numbering for the same seed, as the program's -permute). Some families' lines list their
own vertex or a neighbour twice; simple=True takes those entries out (the program's -simple).
The arrays are the library's own buffers, handed to NumPy without a copy, and filled on threads
(threads=N at most, 0 for one per core) with the GIL released. first= and last= ask for the
lines of the vertices [first, last) alone, indptr then starting at 0.

Weights: vertex_weights= names a model for each constraint, separated by commas
(uniform:LO-HI, constant:K, degree, bump:PEAK:VERTEX:RADIUS; "uniform:1-10,degree" is METIS's
ncon 2), edge_weights= one model (uniform:LO-HI, constant:K, length:SCALE, or axes:W1,W2,... for
the mesh), seed= the random weights' seed (1 when not given; permute= has its own). A weight
belongs to its vertex or edge, whatever the numbering, range or thread count.

    >>> indptr, indices, vwgt, adjwgt = famgen.csr("mesh", 20, 20, 20,
    ...                                            vertex_weights="uniform:1-10,degree",
    ...                                            edge_weights="uniform:1-5")

Errors: TypeError for an argument of the wrong type (naming it), ValueError for a graph that
cannot be had (an unknown family, a size below the family's least, figures past 64 bits, int32
indices for a graph they cannot hold, a model that is not one), MemoryError for arrays beyond
the memory available and OSError for a file not written; each message begins "famgen".
"""

import operator
import os

from famgen import _famgen

__all__ = ["csr", "scipy", "networkx", "coordinates", "write", "info", "version"]

version = _famgen.version()

_MOST_SEED = 2**64 - 1


# The arguments' checks, before the compiled functions see them: a wrong type names the argument
# and what it takes, in the words of the function called.

def _whole(function, name, value, what):
    """value as a Python int, or a TypeError naming the argument."""
    if not isinstance(value, bool):
        try:
            return operator.index(value)
        except TypeError:
            pass
    raise TypeError(f"famgen.{function}: {name} {what}, not {value!r}")


def _text(function, name, value, what, optional=True):
    """A str argument; "" for None where it may be left out."""
    if value is None and optional:
        return ""
    if not isinstance(value, str):
        raise TypeError(f"famgen.{function}: {name} is {what}, not {value!r}")
    return value


def _named(function, family, sizes):
    if not isinstance(family, str):
        raise TypeError(f"famgen.{function}: family is a family's keyword such as 'grid', "
                        f"not {family!r}")
    whole = [_whole(function, "sizes", size, "are whole numbers") for size in sizes]
    for size in whole:
        if not -2**31 <= size < 2**31:
            raise ValueError(f"famgen: size {size} is past the 32-bit range of sizes")
    return family, whole


def _periodic(function, periodic):
    """periodic= as the mesh takes it: True or "all", False or "none", or a flag per axis."""
    if periodic is None:
        return ""
    if periodic is True or periodic is False:
        return "all" if periodic else "none"
    takes = "True, False, 'all', 'none' or a 0 or 1 (or a bool) for each axis"
    if isinstance(periodic, str):
        if not periodic.strip():
            raise ValueError(f"famgen.{function}: periodic is {takes}, not {periodic!r}")
        return periodic
    try:
        flags = list(periodic)
    except TypeError:
        raise TypeError(f"famgen.{function}: periodic is {takes}, not {periodic!r}") from None
    # A flag is 0, 1 or a bool: an empty list, or another value, is no list of flags.
    if not flags or any(not isinstance(flag, (bool, int)) or flag not in (0, 1) for flag in flags):
        raise ValueError(f"famgen.{function}: periodic is {takes}, not {periodic!r}")
    return ",".join("1" if flag else "0" for flag in flags)


def _seed(function, name, seed):
    """A seed: a whole number from 0 to 2^64 - 1."""
    seed = _whole(function, name, seed, f"is a whole number from 0 to {_MOST_SEED}")
    if not 0 <= seed <= _MOST_SEED:
        raise ValueError(f"famgen.{function}: {name} is a whole number from 0 to {_MOST_SEED}, "
                         f"not {seed}")
    return seed


def _radius(function, radius):
    """radius= as a decimal text: a str as it is, a number as the decimal its repr states."""
    if radius is None:
        return ""
    if isinstance(radius, (int, float)) and not isinstance(radius, bool):
        import decimal
        return format(decimal.Decimal(repr(radius)), "f")
    return _text(function, "radius", radius, "a number or a decimal str such as '0.01'")


def _graph(function, family, sizes, permute, stencil, periodic, simple, radius=None):
    """The arguments that name the graph, checked, as the compiled functions take them."""
    family, sizes = _named(function, family, sizes)
    if not isinstance(simple, bool):
        raise TypeError(f"famgen.{function}: simple is True or False, not {simple!r}")
    return dict(family=family, sizes=sizes,
                permute=None if permute is None else _seed(function, "permute", permute),
                stencil=_text(function, "stencil", stencil, "'star' or 'box'"),
                periodic=_periodic(function, periodic), radius=_radius(function, radius),
                simple=simple)


def _weights(function, vertex_weights, edge_weights, seed):
    return dict(vertex_weights=_text(function, "vertex_weights", vertex_weights,
                                     "a str of models, such as 'uniform:1-10,degree'"),
                edge_weights=_text(function, "edge_weights", edge_weights,
                                   "a str of one model, such as 'uniform:1-5'"),
                seed=_seed(function, "seed", seed))


def _range(function, threads, first, last):
    def end(name, value):
        return None if value is None else _whole(function, name, value,
                                                 "is a vertex number or None")
    return dict(threads=_whole(function, "threads", threads, "is a whole number"),
                first=end("first", first), last=end("last", last))


def _wide(function, name, dtype):
    """Whether the indices are int64: dtype is int32 or int64."""
    import numpy
    try:
        kind = numpy.dtype(dtype).name
    except TypeError:
        raise TypeError(f"famgen.{function}: {name} is int32 or int64, not {dtype!r}") from None
    if kind not in ("int32", "int64"):
        raise ValueError(f"famgen.{function}: {name} is int32 or int64, not {kind}")
    return kind == "int64"


def _arrays(function, family, sizes, permute=None, threads=0, dtype="int32", stencil=None,
            periodic=None, first=None, last=None, vertex_weights=None, edge_weights=None,
            seed=1, simple=False, radius=None):
    """(indptr, indices, vertex_count, vwgt, adjwgt) from the compiled function."""
    return _famgen.csr(**_graph(function, family, sizes, permute, stencil, periodic, simple,
                                radius),
                       **_range(function, threads, first, last),
                       wide=_wide(function, "dtype", dtype),
                       **_weights(function, vertex_weights, edge_weights, seed))


def csr(family, *sizes, permute=None, threads=0, dtype="int32", stencil=None, periodic=None,
        first=None, last=None, vertex_weights=None, edge_weights=None, seed=1, simple=False,
        radius=None):
    """The graph's compressed sparse rows as NumPy arrays: (indptr, indices), or with weights
    (indptr, indices, vwgt, adjwgt) -- the arrays METIS, ParMETIS and Scotch take as xadj,
    adjncy, vwgt and adjwgt.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments:
      permute        None, or a seed from 0 to 2^64 - 1 that numbers the vertices at random
      threads        fill on this many threads at most; 0 (the default) for one per core
      dtype          "int32" (the default) or "int64": the indices' and weights' dtype
      stencil        the mesh's: "star" (the default) or "box"
      periodic       the mesh's axes that wrap: True, False, "all", "none" or a flag per axis;
                     rgg2d's and rgg3d's torus: True or False
      radius         rgg2d's and rgg3d's: points closer than this are joined, 0 < radius <= 1
                     (a number, or a decimal str held exactly); None: 0.55 (ln N / N)^(1/d)
      first, last    the lines of the vertices [first, last) alone; None: from 0, to the end
      vertex_weights a model for each constraint, such as "uniform:1-10,degree"
      edge_weights   one model, such as "uniform:1-5" or "length:100"
      seed           the seed of the random weights and of rgg2d's and rgg3d's points, from 0
                     to 2^64 - 1 (1 by default)
      simple         True: without the entries of a line that name its own vertex or repeat a
                     neighbour

    Returns indptr (last - first + 1 offsets into indices, the first 0) and indices (the
    neighbours of every line, vertices of the whole graph numbered from 0). With
    vertex_weights= or edge_weights=, also vwgt, an (n, ncon) array of the vertex weights
    (METIS's vwgt once flattened), and adjwgt, the weight of each entry of indices; each None
    when not asked. The arrays are the library's buffers, not copies.

    >>> indptr, indices = famgen.csr("grid", 3, 4)
    >>> indices[indptr[0]:indptr[1]].tolist()
    [1, 4]
    """
    indptr, indices, _, vwgt, adjwgt = _arrays(
        "csr", family, sizes, permute, threads, dtype, stencil, periodic, first, last,
        vertex_weights, edge_weights, seed, simple, radius)
    if vertex_weights is None and edge_weights is None:
        return indptr, indices
    return indptr, indices, vwgt, adjwgt


def scipy(family, *sizes, permute=None, threads=0, dtype="int32", data_dtype="float64",
          stencil=None, periodic=None, first=None, last=None, edge_weights=None, seed=1,
          simple=False, radius=None):
    """The adjacency matrix as a scipy.sparse.csr_matrix: a row for each vertex of the range, a
    column for each vertex of the graph. Every SciPy routine takes it (csgraph's laplacian
    takes no csr_array before SciPy 1.11); scipy.sparse.csr_array(A) is the same matrix as an
    array, without a copy.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments, besides csr()'s permute, threads, stencil, periodic, first, last,
    edge_weights, seed, simple and radius:
      dtype          "int32" (the default) or "int64": the indices' dtype (SciPy narrows int64
                     indices to int32, a copy, when they fit)
      data_dtype     the values' dtype, "float64" by default (SciPy's for an adjacency
                     matrix, which its eigensolvers and Laplacians take)

    Returns the matrix, every value 1, or with edge_weights= the edge's weight, of data_dtype
    (the library's array itself when data_dtype is dtype). indptr and indices are the library's
    buffers. An entry that a family's line lists twice is stored twice (SciPy sums such
    duplicates when it computes); simple=True leaves them and the self-loops out.

    >>> A = famgen.scipy("unconnected_completegraph", 200, 1)
    >>> (A @ A).diagonal()[:3]  # the degrees
    array([199., 199., 199.])
    >>> eigenvalues, _ = scipy.sparse.linalg.eigsh(A, k=2)
    """
    import numpy
    import scipy.sparse
    try:
        values_dtype = numpy.dtype(data_dtype)
    except TypeError:
        raise TypeError(f"famgen.scipy: data_dtype is a NumPy dtype such as 'float64', "
                        f"not {data_dtype!r}") from None
    indptr, indices, vertex_count, _, adjwgt = _arrays(
        "scipy", family, sizes, permute, threads, dtype, stencil, periodic, first, last, None,
        edge_weights, seed, simple, radius)
    if adjwgt is not None:
        values = adjwgt.astype(values_dtype, copy=False)
    else:
        values = numpy.ones(len(indices), dtype=values_dtype)
    return scipy.sparse.csr_matrix((values, indices, indptr),
                                   shape=(len(indptr) - 1, vertex_count))


def networkx(family, *sizes, permute=None, threads=0, stencil=None, periodic=None,
             vertex_weights=None, edge_weights=None, seed=1, simple=False, radius=None):
    """The whole graph as a networkx.Graph.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments: csr()'s permute, threads, stencil, periodic, vertex_weights,
    edge_weights, seed, simple and radius.

    Returns a networkx.Graph of the vertices 0 to n - 1 (added in order) and an edge for each
    pair of neighbours: a self-loop where a line lists its own vertex (unless simple=True), an
    entry listed twice as one edge. Nodes and edges carry no attribute but those asked for:
    with edge_weights=, each edge's "weight" is its weight (an int); with vertex_weights=, each
    node's "weight" is its weight (an int) for one constraint, or a tuple of them for several
    (as networkx-metis takes them).

    >>> graph = famgen.networkx("hypercube", 4, edge_weights="uniform:1-9")
    >>> graph.number_of_edges(), sorted(graph.edges[0, 1])
    (32, ['weight'])
    """
    import networkx
    import numpy
    indptr, indices, vertex_count, vwgt, adjwgt = _arrays(
        "networkx", family, sizes, permute, threads, "int64", stencil, periodic, None, None,
        vertex_weights, edge_weights, seed, simple, radius)
    # Each edge from the line of its lower end; the line of its upper end lists it again.
    ends = numpy.repeat(numpy.arange(vertex_count, dtype=numpy.int64), numpy.diff(indptr))
    lower = ends <= indices
    graph = networkx.Graph()
    if vwgt is None:
        graph.add_nodes_from(range(vertex_count))
    else:
        weights = vwgt[:, 0].tolist() if vwgt.shape[1] == 1 else map(tuple, vwgt.tolist())
        graph.add_nodes_from(zip(range(vertex_count),
                                 ({"weight": weight} for weight in weights)))
    if adjwgt is None:
        graph.add_edges_from(zip(ends[lower].tolist(), indices[lower].tolist()))
    else:
        graph.add_weighted_edges_from(zip(ends[lower].tolist(), indices[lower].tolist(),
                                          adjwgt[lower].tolist()))
    return graph


def coordinates(family, *sizes, permute=None, threads=0, stencil=None, periodic=None,
                first=None, last=None, simple=False, seed=1, radius=None):
    """The vertices' positions, as the program's coordinates file gives them.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments: csr()'s permute, threads, stencil, periodic, first, last, simple (the
    simple graph's vertices are the graph's, in the same places), seed and radius (rgg2d's and
    rgg3d's points).

    Returns an (n, d) float64 array: row k the position of the vertex whose line is k, d the
    family's dimension (2 for the grids, 3 for the hypercube's drawing, the mesh's axis count).

    >>> famgen.coordinates("grid", 2, 3)[4].tolist()
    [1.0, 1.0]
    """
    graph = _graph("coordinates", family, sizes, permute, stencil, periodic, simple, radius)
    return _famgen.coordinates(**graph, **_range("coordinates", threads, first, last),
                               seed=_seed("coordinates", "seed", seed))


def write(family, *sizes, out, format="metis", coordinates=None, threads=None, permute=None,
          stencil=None, periodic=None, vertex_weights=None, edge_weights=None, seed=1,
          simple=False, radius=None):
    """Writes the files that the famgen program writes of the graph, byte for byte.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments, besides csr()'s permute, stencil, periodic, vertex_weights,
    edge_weights, seed, simple and radius:
      out            the file to write (a str or a path), "-" for standard output
      format         the layout: "metis" (the default), "parhip", "scotch", "mtx",
                     "edgelist" or "dot"
      coordinates    a file for the vertices' positions beside the graph; None: none
      threads        None (the default): one pass on the calling thread; N: format on N
                     threads, 0 for one per core (the same bytes)

    Returns None; raises OSError when a file cannot be written (nothing is left behind).

    >>> famgen.write("mesh", 100, 100, 100, out="mesh.graph", simple=True)
    """
    def path(name, value, what, optional=True):
        if isinstance(value, os.PathLike):
            value = os.fspath(value)
        return _text("write", name, value, what, optional)
    graph = _graph("write", family, sizes, permute, stencil, periodic, simple, radius)
    _famgen.write(**graph, out=path("out", out, "a file name or '-'", optional=False),
                  format=_text("write", "format", format, "a layout's name such as 'metis'",
                               optional=False),
                  coordinates=path("coordinates", coordinates, "a file name or None"),
                  threads=None if threads is None else _whole("write", "threads", threads,
                                                              "is a whole number or None"),
                  **_weights("write", vertex_weights, edge_weights, seed))


def info(family, *sizes, stencil=None, periodic=None, simple=False, seed=1, radius=None):
    """What the graph is, worked out from its sizes without building it.

    family, *sizes: the graph, such as "grid", 3, 4 (the module's help lists the families).

    Keyword arguments: csr()'s stencil, periodic, simple, seed and radius (rgg2d's and rgg3d's
    edges are counted: their figure depends on the points).

    Returns a dict: vertex_count, entries (what all lines list together: the length of csr()'s
    indices, twice the edges of a simple graph), dimension (coordinates per vertex) and title.

    >>> famgen.info("grid", 3, 4)
    {'vertex_count': 12, 'entries': 34, 'dimension': 2, 'title': '3 x 4 square grid (12 vertices)'}
    """
    graph = _graph("info", family, sizes, None, stencil, periodic, simple, radius)
    del graph["permute"]
    return _famgen.info(**graph, seed=_seed("info", "seed", seed))
