"""famgen: graphs of standard families as NumPy, SciPy and NetworkX graphs, and as files.

    >>> import famgen
    >>> indptr, indices = famgen.csr("torus", 3, 4)
    >>> matrix = famgen.scipy("grid", 1000, 1000, permute=7)

A graph is named as on the famgen command line: the family's keyword, its sizes in the order of
-size, the mesh's stencil= and periodic=, and permute= for -permute's seed. The arrays are the
METIS file's lines: vertex k's neighbours are indices[indptr[k]:indptr[k + 1]], numbered from 0
and in the file's order. They are the library's own buffers, handed to NumPy without a copy,
and filled on threads (threads=N at most, 0 for one per core) with the GIL released. first= and
last= ask for the lines of the vertices [first, last) alone, indptr then starting at 0.

Weights, as the command line's -vertex-weights, -edge-weights and -seed give them:
vertex_weights= names a model for each constraint, separated by commas (uniform:LO-HI,
constant:K, degree, bump:PEAK:VERTEX:RADIUS; "uniform:1-10,degree" is METIS's ncon 2),
edge_weights= one model (uniform:LO-HI, constant:K, length:SCALE, or axes:W1,W2,... for the
mesh), seed= the random weights' seed (1 when not given; -permute's numbering has its own). A
weight belongs to its vertex or edge, whatever the numbering, range or thread count.

    >>> indptr, indices, vwgt, adjwgt = famgen.csr("mesh", 20, 20, 20,
    ...                                            vertex_weights="uniform:1-10,degree",
    ...                                            edge_weights="uniform:1-5")

Errors raise ValueError (an unknown family, a size below the family's least, figures past 64
bits, int32 indices for a graph they cannot hold), MemoryError (arrays beyond the memory
available) and OSError (a file not written), each with the command line's text.
"""

from famgen import _famgen

__all__ = ["csr", "scipy", "networkx", "coordinates", "write", "info", "version"]

version = _famgen.version()


def _periodic(periodic):
    """periodic= as -periodic's value: True or "all", False or "none", or a flag per axis."""
    if periodic is None:
        return ""
    if periodic is True or periodic is False:
        return "all" if periodic else "none"
    if isinstance(periodic, str):
        return periodic
    return ",".join("1" if flag else "0" for flag in periodic)


def _seed(permute):
    """-permute's seed: a whole number from 0 to 2^64 - 1, as the command line takes it."""
    if permute is None:
        return None
    if not 0 <= permute < 2**64:
        raise ValueError(f"famgen: -permute takes a seed from 0 to {2**64 - 1}, not '{permute}'")
    return permute


def _weight_seed(seed):
    """-seed's value: a whole number from 0 to 2^64 - 1."""
    if isinstance(seed, bool) or not isinstance(seed, int) or not 0 <= seed < 2**64:
        raise ValueError(f"famgen: -seed takes a whole number from 0 to {2**64 - 1}, "
                         f"not '{seed}'")
    return seed


def _wide(dtype):
    import numpy
    name = numpy.dtype(dtype).name
    if name not in ("int32", "int64"):
        raise ValueError(f"famgen: the indices are int32 or int64, not {name}")
    return name == "int64"


def _arrays(family, sizes, permute, threads, dtype, stencil, periodic, first, last,
            vertex_weights=None, edge_weights=None, seed=1):
    return _famgen.csr(family, list(sizes), _seed(permute), stencil or "", _periodic(periodic),
                       threads, _wide(dtype), first, last, vertex_weights or "",
                       edge_weights or "", _weight_seed(seed))


def csr(family, *sizes, permute=None, threads=0, dtype="int32", stencil=None, periodic=None,
        first=None, last=None, vertex_weights=None, edge_weights=None, seed=1):
    """(indptr, indices) of the graph, int32 or int64 NumPy arrays. With vertex_weights= or
    edge_weights=, (indptr, indices, vwgt, adjwgt): vwgt an (n, ncon) array of the vertex
    weights (METIS's vwgt once flattened), adjwgt each entry's edge weight, beside indices; each
    None when not asked, and of the indices' dtype."""
    indptr, indices, _, vwgt, adjwgt = _arrays(family, sizes, permute, threads, dtype, stencil,
                                               periodic, first, last, vertex_weights,
                                               edge_weights, seed)
    if vertex_weights is None and edge_weights is None:
        return indptr, indices
    return indptr, indices, vwgt, adjwgt


def scipy(family, *sizes, permute=None, threads=0, dtype="int32", stencil=None, periodic=None,
          first=None, last=None, edge_weights=None, seed=1):
    """The adjacency matrix as a scipy.sparse.csr_array on famgen's arrays: one row per vertex
    of the range, a column per vertex of the graph, every entry 1 (int8; an entry the file
    lists twice is stored twice), or with edge_weights= the edge's weight (of dtype, the
    library's array itself). SciPy keeps int32 indices as they are, and narrows int64 ones
    to int32 (a copy) when they fit."""
    import numpy
    import scipy.sparse
    indptr, indices, vertex_count, _, adjwgt = _arrays(family, sizes, permute, threads, dtype,
                                                       stencil, periodic, first, last, None,
                                                       edge_weights, seed)
    values = adjwgt if adjwgt is not None else numpy.ones(len(indices), dtype=numpy.int8)
    return scipy.sparse.csr_array((values, indices, indptr),
                                  shape=(len(indptr) - 1, vertex_count))


def networkx(family, *sizes, permute=None, threads=0, stencil=None, periodic=None,
             vertex_weights=None, edge_weights=None, seed=1):
    """The whole graph as a networkx.Graph, built by NetworkX from the SciPy matrix: vertices
    0 to n - 1, a self-loop where a line lists its own vertex, repeated entries as one edge.
    With edge_weights=, each edge's "weight" is its weight; with vertex_weights=, each node's
    "weight" is its weight (one constraint) or a tuple of them (several, as networkx-metis
    takes them)."""
    import networkx
    matrix = scipy(family, *sizes, permute=permute, threads=threads, stencil=stencil,
                   periodic=periodic, edge_weights=edge_weights, seed=seed)
    graph = networkx.from_scipy_sparse_array(matrix)
    if vertex_weights is not None:
        _, _, vwgt, _ = csr(family, *sizes, permute=permute, threads=threads, stencil=stencil,
                            periodic=periodic, vertex_weights=vertex_weights, seed=seed)
        weights = vwgt.tolist()
        networkx.set_node_attributes(
            graph, {v: (w[0] if len(w) == 1 else tuple(w)) for v, w in enumerate(weights)},
            "weight")
    return graph


def coordinates(family, *sizes, permute=None, threads=0, stencil=None, periodic=None,
                first=None, last=None):
    """The vertices' positions as an (n, d) float64 array, row k the position of the vertex
    whose line is k (the coordinates file's numbers)."""
    return _famgen.coordinates(family, list(sizes), _seed(permute), stencil or "",
                               _periodic(periodic), threads, first, last)


def write(family, *sizes, out, format="metis", coordinates=None, threads=None, permute=None,
          stencil=None, periodic=None, vertex_weights=None, edge_weights=None, seed=1):
    """Writes the files the command line writes: out ("-" for standard output) in the layout
    format, and the positions at coordinates when given; threads=None is the single pass."""
    _famgen.write(family, list(sizes), _seed(permute), stencil or "", _periodic(periodic), out,
                  format, coordinates or "", threads, vertex_weights or "", edge_weights or "",
                  _weight_seed(seed))


def info(family, *sizes, stencil=None, periodic=None):
    """vertex_count, entries (what all lines list), dimension and title, without building the
    graph."""
    return _famgen.info(family, list(sizes), stencil or "", _periodic(periodic))
