// The compiled half of the Python module famgen (famgen/__init__.py gives the functions their
// signatures and checks their arguments' types): the library's arrays handed to NumPy without a
// copy, each array owning the library's buffer through a capsule that releases it; the GIL
// released while arrays are filled and files written; failures raised with the library's texts.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "famgen/famgen.hpp"

namespace py = pybind11;

namespace {

// ValueError for what cannot be had (the sizes' messages among them), MemoryError, OSError.
[[noreturn]] void raise(const famgen::Error& error) {
  PyObject* type = PyExc_ValueError;
  if (error.kind == famgen::ErrorKind::kMemory) type = PyExc_MemoryError;
  if (error.kind == famgen::ErrorKind::kFile) type = PyExc_OSError;
  PyErr_SetString(type, error.message.c_str());
  throw py::error_already_set();
}

// The weights: -vertex-weights's models, -edge-weights's model (empty: none) and -seed, which
// also draws rgg2d's and rgg3d's points.
struct Weights {
  std::string vertex;
  std::string edge;
  std::uint64_t seed = 1;
};

famgen::Graph graph_of(const std::string& family, const std::vector<std::int64_t>& sizes,
                       std::optional<std::uint64_t> permute, const std::string& stencil,
                       const std::string& periodic, const std::string& radius, bool simple,
                       const Weights& weights = {}) {
  return {family,         sizes,        stencil,      periodic, permute,
          weights.vertex, weights.edge, weights.seed, simple,   radius};
}

// The options of a range [first, last) of which either end may be left out: from vertex 0, to
// the graph's last vertex (for which the graph's size is worked out first).
std::optional<famgen::Error> options_of(const famgen::Graph& graph, int threads,
                                        std::optional<std::int64_t> first,
                                        std::optional<std::int64_t> last,
                                        famgen::CsrOptions& options) {
  options.threads = threads;
  if (!first && !last) return std::nullopt;
  if (!last) {
    const famgen::Result<famgen::GraphInfo> info = famgen::info(graph);
    if (!info) return info.error();
    last = info->vertex_count;
  }
  options.range = famgen::VertexRange{first.value_or(0), *last};
  return std::nullopt;
}

// The array owns the buffer from now on: NumPy releases it with the capsule. An array of no
// numbers may have no buffer (the weights of a graph without edges): NumPy gets one of its own.
template <class T>
py::array numpy_of(famgen::Array<T>& array, std::vector<py::ssize_t> shape) {
  T* const data = array.data();
  if (data == nullptr) return py::array_t<T>(std::move(shape));
  const py::capsule owner(array.release(), [](void* block) { famgen::free_memory(block); });
  return py::array_t<T>(std::move(shape), data, owner);
}

template <class Index>
py::tuple csr_arrays(const famgen::Graph& graph, int threads, std::optional<std::int64_t> first,
                     std::optional<std::int64_t> last) {
  std::optional<famgen::Result<famgen::Csr<Index>>> made;
  {
    const py::gil_scoped_release unlocked;
    famgen::CsrOptions options;
    if (std::optional<famgen::Error> error = options_of(graph, threads, first, last, options)) {
      made.emplace(std::move(*error));
    } else {
      made.emplace(famgen::csr<Index>(graph, options));
    }
  }
  if (!*made) raise(made->error());
  famgen::Csr<Index>& csr = **made;
  const auto rows = static_cast<py::ssize_t>(csr.xadj.size());
  const auto entries = static_cast<py::ssize_t>(csr.adjncy.size());
  // The weights, None when not asked: vwgt as an (n, ncon) array, adjwgt beside adjncy.
  py::object vwgt = py::none();
  py::object adjwgt = py::none();
  if (csr.constraints > 0) vwgt = numpy_of(csr.vwgt, {rows - 1, csr.constraints});
  if (!graph.edge_weights.empty()) adjwgt = numpy_of(csr.adjwgt, {entries});
  return py::make_tuple(numpy_of(csr.xadj, {rows}), numpy_of(csr.adjncy, {entries}),
                        csr.vertex_count, vwgt, adjwgt);
}

py::tuple csr_of(const std::string& family, const std::vector<std::int64_t>& sizes,
                 std::optional<std::uint64_t> permute, const std::string& stencil,
                 const std::string& periodic, const std::string& radius, int threads, bool wide,
                 std::optional<std::int64_t> first, std::optional<std::int64_t> last,
                 const std::string& vertex_weights, const std::string& edge_weights,
                 std::uint64_t seed, bool simple) {
  const famgen::Graph graph = graph_of(family, sizes, permute, stencil, periodic, radius, simple,
                                       {vertex_weights, edge_weights, seed});
  return wide ? csr_arrays<std::int64_t>(graph, threads, first, last)
              : csr_arrays<std::int32_t>(graph, threads, first, last);
}

py::array coordinates_of(const std::string& family, const std::vector<std::int64_t>& sizes,
                         std::optional<std::uint64_t> permute, const std::string& stencil,
                         const std::string& periodic, const std::string& radius, int threads,
                         std::optional<std::int64_t> first, std::optional<std::int64_t> last,
                         std::uint64_t seed, bool simple) {
  const famgen::Graph graph =
      graph_of(family, sizes, permute, stencil, periodic, radius, simple, {{}, {}, seed});
  std::optional<famgen::Result<famgen::Coordinates>> made;
  {
    const py::gil_scoped_release unlocked;
    famgen::CsrOptions options;
    if (std::optional<famgen::Error> error = options_of(graph, threads, first, last, options)) {
      made.emplace(std::move(*error));
    } else {
      made.emplace(famgen::coordinates(graph, options));
    }
  }
  if (!*made) raise(made->error());
  famgen::Coordinates& positions = **made;
  return numpy_of(positions.values, {static_cast<py::ssize_t>(positions.last - positions.first),
                                     static_cast<py::ssize_t>(positions.dimension)});
}

void write_files(const std::string& family, const std::vector<std::int64_t>& sizes,
                 std::optional<std::uint64_t> permute, const std::string& stencil,
                 const std::string& periodic, const std::string& radius, const std::string& out,
                 const std::string& format, const std::string& coordinates,
                 std::optional<int> threads, const std::string& vertex_weights,
                 const std::string& edge_weights, std::uint64_t seed, bool simple) {
  const famgen::Graph graph = graph_of(family, sizes, permute, stencil, periodic, radius, simple,
                                       {vertex_weights, edge_weights, seed});
  std::optional<famgen::Error> error;
  {
    const py::gil_scoped_release unlocked;
    error = famgen::write(graph, {out, format, coordinates, threads});
  }
  if (error) raise(*error);
}

py::dict info_of(const std::string& family, const std::vector<std::int64_t>& sizes,
                 const std::string& stencil, const std::string& periodic, const std::string& radius,
                 std::uint64_t seed, bool simple) {
  const famgen::Result<famgen::GraphInfo> info = famgen::info(
      graph_of(family, sizes, std::nullopt, stencil, periodic, radius, simple, {{}, {}, seed}));
  if (!info) raise(info.error());
  py::dict about;
  about["vertex_count"] = info->vertex_count;
  about["entries"] = info->entries;
  about["dimension"] = info->dimension;
  about["title"] = info->title;
  return about;
}

}  // namespace

PYBIND11_MODULE(_famgen, module) {
  module.doc() = "famgen's library; use the module famgen, which gives these their signatures";
  // Named as famgen/__init__.py passes them, so that a wrong type names its argument.
  module.def("csr", &csr_of, py::arg("family"), py::arg("sizes"), py::arg("permute"),
             py::arg("stencil"), py::arg("periodic"), py::arg("radius"), py::arg("threads"),
             py::arg("wide"), py::arg("first"), py::arg("last"), py::arg("vertex_weights"),
             py::arg("edge_weights"), py::arg("seed"), py::arg("simple"),
             "(indptr, indices, vertex_count, vwgt, adjwgt); famgen.csr is the public face");
  module.def("coordinates", &coordinates_of, py::arg("family"), py::arg("sizes"),
             py::arg("permute"), py::arg("stencil"), py::arg("periodic"), py::arg("radius"),
             py::arg("threads"), py::arg("first"), py::arg("last"), py::arg("seed"),
             py::arg("simple"), "the positions; famgen.coordinates is the public face");
  module.def("write", &write_files, py::arg("family"), py::arg("sizes"), py::arg("permute"),
             py::arg("stencil"), py::arg("periodic"), py::arg("radius"), py::arg("out"),
             py::arg("format"), py::arg("coordinates"), py::arg("threads"),
             py::arg("vertex_weights"), py::arg("edge_weights"), py::arg("seed"), py::arg("simple"),
             "writes the files; famgen.write is the public face");
  module.def("info", &info_of, py::arg("family"), py::arg("sizes"), py::arg("stencil"),
             py::arg("periodic"), py::arg("radius"), py::arg("seed"), py::arg("simple"),
             "the graph's figures; famgen.info is the public face");
  module.def("version", [] { return std::string(famgen::version()); });
}
