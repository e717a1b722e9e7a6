// famgen as a library: a graph of a standard family as the compressed sparse rows that METIS,
// ParMETIS and Scotch take (xadj, adjncy), for the whole graph or any range of its vertices, in
// 32-bit or 64-bit indices, with the vertices' positions if asked; or written to files as the
// command line writes them.
//
// A graph is named as on the command line: the family keyword, the sizes of -size in their
// order, the mesh's -stencil and -periodic, and -permute's seed. The arrays hold exactly the
// METIS file of the same graph: line k of the file (from 1) lists the neighbours of vertex
// k - 1 in the order adjncy[xadj[k - 1] .. xadj[k]) lists them, numbered from 0, relabelled as
// the file is with a seed. Failures are values carrying the library's texts, which name the
// members of Graph and the options, not the command line's options.
//
//   const auto grid = famgen::csr<std::int32_t>({.family = "grid", .sizes = {3, 4}, .permute = 7});
//   if (!grid) return std::fputs(grid.error().message.c_str(), stderr), 1;
//   METIS_PartGraphKway(..., grid->xadj.data(), grid->adjncy.data(), ...);
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace famgen {

// A graph as the command line names it:
//   famgen -graphtype FAMILY -size SIZES [-stencil STENCIL] [-periodic AXES] [-permute SEED]
//          [-vertex-weights MODELS] [-edge-weights MODEL] [-seed SEED] [-simple] [-radius R]
struct Graph {
  std::string family{};               // the keyword, exactly: "grid", "torus", "mesh", ...
  std::vector<std::int64_t> sizes{};  // the numbers of -size, in order; each within 32 bits
  std::string stencil{};              // the mesh's: "star" or "box"; empty when not given
  std::string periodic{};  // the mesh's: "all", "none", or "1,0,1"; rgg's: "all" or "none"
  std::optional<std::uint64_t> permute{};  // number vertex v as π(v), π chosen by this seed
  // Weights, as -vertex-weights and -edge-weights name them; empty: none. A vertex weight for
  // each model of vertex_weights, separated by commas ("uniform:1-10,degree": METIS's ncon 2):
  // uniform:LO-HI, constant:K, degree or bump:PEAK:VERTEX:RADIUS. An edge weight of the model
  // of edge_weights: uniform:LO-HI, constant:K, length:SCALE or, for the mesh, axes:W1,W2,...
  std::string vertex_weights{};
  std::string edge_weights{};
  // Of the random weights and rgg2d's and rgg3d's points, as -seed; not of -permute's numbering.
  std::uint64_t seed = 1;
  // The simple graph, as -simple: no line lists its own vertex, none lists a neighbour twice
  // (the first entry stays, in its place); the vertex weights of the degree model are its
  // degrees. The families whose lines list neither are unchanged.
  bool simple = false;
  // rgg2d's and rgg3d's -radius: a decimal above 0 and at most 1, as "0.01"; empty: the default,
  // 0.55 (ln N / N)^(1/d). Their points are drawn with seed, and periodic "all" is the torus.
  std::string radius{};
};

enum class ErrorKind {
  kRefused,  // the request cannot be had: an unknown family, figures past 64 bits, 32-bit
             // indices for a graph they cannot hold, a range outside the graph
  kSizes,    // a size below the family's least
  kMemory,   // the arrays need more memory than the system has available
  kFile,     // a file could not be opened, written, closed or put in place
};

struct Error {
  ErrorKind kind = ErrorKind::kRefused;
  // "famgen: " and why, without a line end: "famgen: circle takes the size N, at least 1, not 0"
  std::string message{};
};

// A value, or the error that kept it from being made.
template <class T>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}
  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T&& operator*() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const Error& error() const { return std::get<1>(state_); }

 private:
  std::variant<T, Error> state_;
};

// Releases memory that the library handed over (Array::release, the C interface's arrays).
void free_memory(void* block) noexcept;

// size() numbers in memory of the library's, released when the array goes, or handed over
// whole by release() (to NumPy, to a C caller) and then released with free_memory.
template <class T>
class Array {
 public:
  Array() = default;
  Array(T* data, std::size_t size) noexcept : data_(data), size_(size) {}  // memory from malloc
  Array(Array&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  Array& operator=(Array&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~Array() { free_memory(data_); }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t k) noexcept { return data_[k]; }
  const T& operator[](std::size_t k) const noexcept { return data_[k]; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }
  T* release() noexcept {
    size_ = 0;
    return std::exchange(data_, nullptr);
  }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

// The vertices first, first + 1, ..., last - 1, numbered from 0.
struct VertexRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

struct CsrOptions {
  std::optional<VertexRange> range{};  // absent: every vertex
  int threads = 0;                     // at most this many threads fill; 0 or less: one per core
  bool coordinates = false;            // the positions too
};

// The lines of the vertices [first, last) of a graph of vertex_count vertices.
template <class Index>
struct Csr {
  static_assert(std::is_same_v<Index, std::int32_t> || std::is_same_v<Index, std::int64_t>,
                "the indices are std::int32_t or std::int64_t");
  std::int64_t vertex_count = 0;
  std::int64_t first = 0;
  std::int64_t last = 0;
  Array<Index> xadj{};    // last - first + 1 offsets into adjncy, the first 0
  Array<Index> adjncy{};  // xadj[last - first] entries: vertices of the whole graph, from 0
  // With CsrOptions::coordinates: dimension coordinates per vertex, vertex by vertex, in units
  // (the coordinates file's numbers: integers, or six decimals for the round families).
  int dimension = 0;
  Array<double> coordinates{};
  // With Graph::vertex_weights: constraints (METIS's ncon) weights per vertex, vertex by vertex
  // (vwgt); with Graph::edge_weights: the weight of each entry of adjncy (adjwgt). Empty when
  // not asked. A weight of vertex v, or of the edge {v, w}, is the same in every range, thread
  // count and numbering, as in the files.
  int constraints = 0;
  Array<Index> vwgt{};
  Array<Index> adjwgt{};
  std::int64_t vertices() const { return last - first; }
};

// The compressed sparse rows of the graph, filled on threads. Index is std::int32_t or
// std::int64_t; 32-bit indices are refused for a graph of more than 2^31 - 1 vertices or lines
// of more than 2^31 - 1 entries, and weights whose sums may pass what the files' readers sum
// them in (2^31 - 1 for a graph whose figures fit 32 bits) are refused. The arrays are the only
// memory of any size the call keeps (the Sierpinski graph also builds its neighbour lists while it
// runs).
template <class Index>
Result<Csr<Index>> csr(const Graph& graph, const CsrOptions& options = {});

// The positions alone (CsrOptions::coordinates is taken as set).
struct Coordinates {
  std::int64_t vertex_count = 0;
  std::int64_t first = 0;
  std::int64_t last = 0;
  int dimension = 0;
  Array<double> values{};  // (last - first) × dimension
};
Result<Coordinates> coordinates(const Graph& graph, const CsrOptions& options = {});

// What a graph is, worked out from its sizes without building it.
struct GraphInfo {
  std::int64_t vertex_count = 0;
  std::int64_t entries = 0;  // what all lines list together: adjncy's length for the whole graph
  int dimension = 0;         // coordinates per vertex
  std::string title{};       // "3 x 4 square grid (12 vertices)"; ", simple graph" when simple
};
Result<GraphInfo> info(const Graph& graph);

// The files the command line writes:
//   famgen ... -out OUT [-format FORMAT] [-coordinates COORDINATES] [-threads THREADS]
struct FileOptions {
  std::string out{};             // a file name, or "-" for standard output
  std::string format = "metis";  // metis, parhip, scotch, mtx, edgelist or dot
  std::string coordinates{};     // the positions' file; empty: none
  std::optional<int> threads{};  // absent: one pass on the calling thread
};
std::optional<Error> write(const Graph& graph, const FileOptions& options);

std::string_view version();

}  // namespace famgen
