// Run under mpirun with any number of processes: every family of the checksum table, in every
// layout, plain and relabelled, single-pass or threaded in each process, written by all the
// processes together must have the recorded checksum (famgen's own bytes); so must two outputs
// of one run; weighted graphs must be the bytes one process writes; and a run that cannot open its
// file fails on every process with the same status, leaving no file. Usage: famgen_mpi_tests
// CHECKSUMS
#include <mpi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "graphfile/output/destinations.hpp"
#include "graphfile/output/mpi_destination.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

struct Row {
  std::string keyword;
  std::string sizes;
  std::string format;
  std::string seed;  // "-" for none
  std::string checksum;
  std::vector<std::string> options = {};  // the family's, after the checksum
};

std::vector<Row> read_table(const std::string& path) {
  std::vector<Row> rows;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Row row;
    if (fields >> row.keyword >> row.sizes >> row.format >> row.seed >> row.checksum) {
      for (std::string option; fields >> option;)
        row.options.push_back(option);
      rows.push_back(row);
    }
  }
  return rows;
}

std::string checksum_of(const std::string& path) {
  FILE* pipe = popen(("sha256sum < '" + path + "'").c_str(), "r");
  if (pipe == nullptr) return {};
  char text[65] = {};
  const std::size_t read = std::fread(text, 1, 64, pipe);
  pclose(pipe);
  return std::string(text, read);
}

Settings settings_for(const Row& row, const std::string& out, bool threaded) {
  std::vector<std::string> arguments = {"famgen-mpi", "-graphtype", row.keyword,
                                        "-size",      row.sizes,    "-out",
                                        out,          "-format",    row.format};
  if (row.seed != "-") arguments.insert(arguments.end(), {"-permute", row.seed});
  arguments.insert(arguments.end(), row.options.begin(), row.options.end());
  if (threaded) arguments.insert(arguments.end(), {"-threads", "2"});
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  Settings settings;
  parse_command_line(static_cast<int>(argv.size()), argv.data(), settings);
  return settings;
}

}  // namespace

int main(int argc, char** argv) {
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  std::optional<ScratchFolder> folder;
  std::string root;
  if (rank == 0) {
    folder.emplace();
    root = folder->path("").string();
  }
  unsigned long long length = root.size();
  MPI_Bcast(&length, 1, MPI_UNSIGNED_LONG_LONG, 0, MPI_COMM_WORLD);
  root.resize(length);
  MPI_Bcast(root.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD);

  int failures = 0;
  int passed = 0;
  const auto report = [&](bool ok, const std::string& what) {
    if (ok) {
      ++passed;
    } else {
      ++failures;
      if (rank == 0) std::printf("FAIL (%d processes): %s\n", size, what.c_str());
    }
  };

  const std::vector<Row> rows = read_table(argc > 1 ? argv[1] : "");
  report(!rows.empty(), "a checksum table, given as the first argument");
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const Row& row = rows[k];
    const bool threaded = k % 3 == 1;
    std::string options;
    for (const std::string& option : row.options)
      options += " " + option;
    const std::string what = row.keyword + " " + row.sizes + options + " " + row.format +
                             (row.seed != "-" ? " -permute " + row.seed : "") +
                             (threaded ? " -threads 2" : "");
    const Settings shared = settings_for(row, root + "/shared", threaded);
    const Outcome outcome =
        dispatch_graph(shared, MpiDestination(write_options(shared), MPI_COMM_WORLD));
    bool ok = outcome.status == 0 && outcome.error.empty();
    if (rank == 0) ok = ok && checksum_of(root + "/shared") == row.checksum;
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    report(ok, what + (outcome.error.empty() ? "" : ": " + outcome.error));
  }

  // Two outputs of one run: the same graph in two layouts, each with its recorded checksum.
  const auto recorded = [&rows](const Row& wanted) {
    for (const Row& row : rows) {
      if (row.keyword == wanted.keyword && row.sizes == wanted.sizes &&
          row.format == wanted.format && row.seed == wanted.seed && row.options.empty()) {
        return row.checksum;
      }
    }
    return std::string("not in the table");
  };
  {
    const Row metis = {"partial_folded_grid", "250,211", "metis", "-", ""};
    const Settings settings = settings_for(metis, root + "/shared", true);
    WriteOptions options = write_options(settings);
    options.outputs.push_back({root + "/second", Format::kParhip});
    const Outcome outcome = dispatch_graph(settings, MpiDestination(options, MPI_COMM_WORLD));
    bool ok = outcome.status == 0;
    if (rank == 0) {
      Row parhip = metis;
      parhip.format = "parhip";
      ok = ok && checksum_of(root + "/shared") == recorded(metis) &&
           checksum_of(root + "/second") == recorded(parhip);
      std::filesystem::remove(root + "/second");
    }
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    report(ok, "two outputs of one run" + (outcome.error.empty() ? "" : ": " + outcome.error));
  }

  // A file with a second name is rewritten in place, its size measured before any byte
  // changes: through both names, the recorded bytes, larger or smaller than the old ones.
  for (const Row& row :
       {Row{"hypercube", "15", "parhip", "12", ""}, Row{"tree", "4", "metis", "-", ""},
        Row{"torus", "301,250", "mtx", "-", ""}}) {
    if (rank == 0) {
      std::filesystem::remove(root + "/link");
      std::filesystem::create_hard_link(root + "/shared", root + "/link");
    }
    MPI_Barrier(MPI_COMM_WORLD);
    const Settings settings = settings_for(row, root + "/shared", row.keyword == "torus");
    const Outcome outcome =
        dispatch_graph(settings, MpiDestination(write_options(settings), MPI_COMM_WORLD));
    bool ok = outcome.status == 0;
    if (rank == 0) {
      ok = ok && checksum_of(root + "/shared") == recorded(row) &&
           checksum_of(root + "/link") == recorded(row);
      std::filesystem::remove(root + "/link");
    }
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    report(ok, row.keyword + " " + row.sizes + " -format " + row.format + " rewritten in place" +
                   (outcome.error.empty() ? "" : ": " + outcome.error));
  }

  // The positions beside the graph (Scotch's geometry beside a Scotch graph) and the drawing,
  // from all the processes together, as one process writes them.
  for (const Row& row :
       {Row{"torus", "301,250", "scotch", "-", ""}, Row{"sierpinski", "8", "metis", "12", ""},
        Row{"circle", "90001", "dot", "-", ""}, Row{"tree", "16", "mtx", "12", ""},
        Row{"completegraph", "4,0", "dot", "-", ""},
        Row{"mesh", "40,30,20", "scotch", "-", "", {"-stencil", "box", "-periodic", "1,0,1"}}}) {
    Settings settings = settings_for(row, root + "/shared", row.keyword == "torus");
    settings.coordinates_name = root + "/points";
    const WriteOptions options = write_options(settings);
    const Outcome outcome = dispatch_graph(settings, MpiDestination(options, MPI_COMM_WORLD));
    bool ok = outcome.status == 0;
    if (rank == 0) {
      std::vector<std::string> expected;
      ok = ok && dispatch_graph(settings, MemoryDestination(options, expected)).status == 0 &&
           read_file(root + "/shared") == expected.at(0) &&
           read_file(root + "/points") == expected.at(1);
      std::filesystem::remove(root + "/points");
    }
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    report(ok, row.keyword + " " + row.sizes + " -format " + row.format + " with -coordinates" +
                   (outcome.error.empty() ? "" : ": " + outcome.error));
  }

  // Weighted graphs: the weights are of the vertex numbers alone, so every process's share
  // carries the weights the single process writes, plain and relabelled, threaded or not. The
  // random geometric graphs, weighted or not, too: each process works out the cells around its
  // share alone.
  for (const Row& row :
       {Row{"grid",
            "300,300",
            "metis",
            "-",
            "",
            {"-vertex-weights", "uniform:1-100,degree", "-edge-weights", "uniform:1-9"}},
        Row{"torus",
            "301,250",
            "parhip",
            "-",
            "",
            {"-edge-weights", "uniform:1-1000", "-seed", "4"}},
        Row{"partial_folded_grid",
            "250,211",
            "parhip",
            "9",
            "",
            {"-vertex-weights", "degree", "-edge-weights", "constant:2"}},
        Row{"mesh",
            "40,30,20",
            "scotch",
            "12",
            "",
            {"-stencil", "box", "-periodic", "1,0,1", "-vertex-weights", "bump:20:100:5",
             "-edge-weights", "axes:3,2,1"}},
        Row{"sierpinski", "8", "mtx", "-", "", {"-edge-weights", "length:10"}},
        Row{"rgg2d", "60000", "metis", "-", "", {}},
        Row{"rgg2d",
            "40000",
            "parhip",
            "-",
            "",
            {"-periodic", "all", "-edge-weights", "length:1000"}},
        Row{"rgg3d", "30000", "scotch", "7", "", {"-vertex-weights", "degree", "-seed", "3"}},
        Row{"completegraph",
            "300,3",
            "metis",
            "5",
            "",
            {"-vertex-weights", "uniform:0-9,constant:1", "-edge-weights", "uniform:1-5"}}}) {
    const bool threaded = row.keyword == "torus" || row.keyword == "mesh" || row.keyword == "rgg3d";
    const Settings settings = settings_for(row, root + "/shared", threaded);
    const WriteOptions options = write_options(settings);
    const Outcome outcome = dispatch_graph(settings, MpiDestination(options, MPI_COMM_WORLD));
    bool ok = outcome.status == 0;
    if (rank == 0) {
      std::vector<std::string> expected;
      ok = ok && dispatch_graph(settings, MemoryDestination(options, expected)).status == 0 &&
           read_file(root + "/shared") == expected.at(0);
    }
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    std::string options_text;
    for (const std::string& option : row.options)
      options_text += " " + option;
    report(ok, row.keyword + " " + row.sizes + " -format " + row.format + options_text +
                   (row.seed != "-" ? " -permute " + row.seed : "") +
                   (outcome.error.empty() ? "" : ": " + outcome.error));
  }

  // Failures: every process ends with the same status and one message, and no file is left.
  for (const std::string& out : {root + "/missing/g", std::string("-")}) {
    const Settings settings = settings_for({"grid", "300,300", "metis", "-", ""}, out, false);
    const Outcome outcome =
        dispatch_graph(settings, MpiDestination(write_options(settings), MPI_COMM_WORLD));
    std::vector<int> statuses(static_cast<std::size_t>(size));
    MPI_Gather(&outcome.status, 1, MPI_INT, statuses.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    bool ok = true;
    if (rank == 0) {
      const int expected = out == "-" ? kStatusRefused : -1;
      for (const int status : statuses)
        ok = ok && status == expected;
      ok = ok && outcome.error.find('\n') == std::string::npos && !outcome.error.empty() &&
           !std::filesystem::exists(root + "/missing");
    }
    MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
    report(ok, "a run writing to " + out + ": " + outcome.error);
  }
  if (rank == 0) {
    std::size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
      const std::string name = entry.path().filename().string();
      left += name != "shared";
    }
    report(left == 0, "files left beside the outputs: " + std::to_string(left));
    std::printf("famgen-mpi on %d processes: %d passed, %d failed\n", size, passed, failures);
  }
  MPI_Finalize();
  return failures == 0 ? 0 : 1;
}
