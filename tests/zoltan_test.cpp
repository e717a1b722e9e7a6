// Zoltan's recursive coordinate bisection as a client of famgen's coordinates: it reads the
// positions of an R x W grid and cuts it straight, so the 2-part cut is min(R, W) edges, and
// the 4-part cut is that of two straight cuts across the halves. Also a 3D cylinder and a
// relabelled grid, whose points are the same points on other lines.
// Usage: zoltan_test FAMGEN
#include <mpi.h>
#include <unistd.h>
#include <zoltan.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Mesh {
  std::vector<std::vector<long>> adjacency;  // [k - 1]: vertex k's neighbours
  std::vector<std::vector<double>> points;   // [k - 1]: vertex k's coordinates
};

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

Mesh read_mesh(const std::string& graph, const std::string& coordinates) {
  Mesh mesh;
  const std::vector<std::string> lines = lines_of(graph);
  for (std::size_t k = 2; k < lines.size(); ++k) {  // past the comment and the counts
    std::istringstream words(lines[k]);
    mesh.adjacency.emplace_back();
    for (long v; words >> v;)
      mesh.adjacency.back().push_back(v);
  }
  for (const std::string& line : lines_of(coordinates)) {
    std::istringstream words(line);
    mesh.points.emplace_back();
    for (double x; words >> x;)
      mesh.points.back().push_back(x);
  }
  return mesh;
}

int object_count(void* data, int* error) {
  *error = ZOLTAN_OK;
  return static_cast<int>(static_cast<Mesh*>(data)->points.size());
}

void object_list(void* data, int, int, ZOLTAN_ID_PTR global, ZOLTAN_ID_PTR local, int, float*,
                 int* error) {
  const auto& mesh = *static_cast<Mesh*>(data);
  for (std::size_t k = 0; k < mesh.points.size(); ++k)
    global[k] = local[k] = static_cast<ZOLTAN_ID_TYPE>(k);
  *error = ZOLTAN_OK;
}

int dimension(void* data, int* error) {
  *error = ZOLTAN_OK;
  return static_cast<int>(static_cast<Mesh*>(data)->points.front().size());
}

void geometry(void* data, int, int, int count, ZOLTAN_ID_PTR global, ZOLTAN_ID_PTR, int dim,
              double* coordinates, int* error) {
  const auto& mesh = *static_cast<Mesh*>(data);
  for (int k = 0; k < count; ++k) {
    for (int d = 0; d < dim; ++d)
      coordinates[k * dim + d] = mesh.points[global[k]][static_cast<std::size_t>(d)];
  }
  *error = ZOLTAN_OK;
}

// The edges whose ends RCB puts in different parts, or -1 when Zoltan fails.
long rcb_cut(Mesh& mesh, int parts) {
  Zoltan_Struct* zz = Zoltan_Create(MPI_COMM_WORLD);
  Zoltan_Set_Param(zz, "DEBUG_LEVEL", "0");
  Zoltan_Set_Param(zz, "LB_METHOD", "RCB");
  Zoltan_Set_Param(zz, "NUM_GLOBAL_PARTS", std::to_string(parts).c_str());
  Zoltan_Set_Param(zz, "RETURN_LISTS", "PARTS");
  Zoltan_Set_Num_Obj_Fn(zz, object_count, &mesh);
  Zoltan_Set_Obj_List_Fn(zz, object_list, &mesh);
  Zoltan_Set_Num_Geom_Fn(zz, dimension, &mesh);
  Zoltan_Set_Geom_Multi_Fn(zz, geometry, &mesh);
  int changes = 0, gid_entries = 0, lid_entries = 0, imports = 0, exports = 0;
  ZOLTAN_ID_PTR import_global = nullptr, import_local = nullptr;
  ZOLTAN_ID_PTR export_global = nullptr, export_local = nullptr;
  int *import_procs = nullptr, *import_parts = nullptr;
  int *export_procs = nullptr, *export_parts = nullptr;
  const int status =
      Zoltan_LB_Partition(zz, &changes, &gid_entries, &lid_entries, &imports, &import_global,
                          &import_local, &import_procs, &import_parts, &exports, &export_global,
                          &export_local, &export_procs, &export_parts);
  long cut = -1;
  if (status == ZOLTAN_OK) {
    std::vector<int> part(mesh.points.size(), -1);
    for (int k = 0; k < exports; ++k)
      part[export_global[k]] = export_parts[k];
    cut = 0;
    for (std::size_t u = 0; u < mesh.adjacency.size(); ++u) {
      for (const long v : mesh.adjacency[u])
        cut += static_cast<long>(u) + 1 < v && part[u] != part[static_cast<std::size_t>(v - 1)];
    }
  }
  Zoltan_LB_Free_Part(&import_global, &import_local, &import_procs, &import_parts);
  Zoltan_LB_Free_Part(&export_global, &export_local, &export_procs, &export_parts);
  Zoltan_Destroy(&zz);
  return cut;
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  float version = 0;
  int failures = 0;
  if (argc != 2 || Zoltan_Initialize(argc, argv, &version) != ZOLTAN_OK) {
    std::fprintf(stderr, "usage: zoltan_test FAMGEN\n");
    return 2;
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("famgen-zoltan-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  struct Case {
    std::string keyword;
    std::string sizes;
    std::string options;
    long cut2;
    long cut4;  // 0: not checked
  };
  // 2 parts: one straight cut across the longer side. 4 parts: then each half across its own
  // longer side (a 20 x 30 grid: 20, then 15 twice; a 40 x 24 grid: 24, then 20 twice).
  // The cylinder of 8 rings of 20, longer than it is wide, is cut across its axis: the 20
  // edges between rings 4 and 5.
  const std::vector<Case> cases = {{"grid", "20,30", "", 20, 50},
                                   {"grid", "40,24", "", 24, 64},
                                   {"grid", "20,30", "-permute 5", 20, 50},
                                   {"cylinder", "8,20", "", 20, 0}};
  for (const Case& c : cases) {
    const std::string graph = (folder / "graph").string();
    const std::string coordinates = (folder / "coordinates").string();
    const std::string command = std::string(argv[1]) + " -graphtype " + c.keyword + " -size " +
                                c.sizes + " " + c.options + " -out " + graph + " -coordinates " +
                                coordinates;
    if (std::system(command.c_str()) != 0) {
      std::printf("FAIL: %s\n", command.c_str());
      ++failures;
      continue;
    }
    Mesh mesh = read_mesh(graph, coordinates);
    for (const auto& [parts, expected] : {std::pair{2, c.cut2}, std::pair{4, c.cut4}}) {
      if (expected == 0) continue;
      const long cut = rcb_cut(mesh, parts);
      const bool ok = cut == expected;
      failures += !ok;
      std::printf("%s: RCB of %s %s %s into %d parts cuts %ld edges, expected %ld\n",
                  ok ? "ok" : "FAIL", c.keyword.c_str(), c.sizes.c_str(), c.options.c_str(), parts,
                  cut, expected);
    }
  }
  std::filesystem::remove_all(folder);
  MPI_Finalize();
  return failures == 0 ? 0 : 1;
}
