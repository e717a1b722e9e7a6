// Run under mpirun with any number of processes: every family, in every layout, plain and
// relabelled, single-pass and threaded in each process, written by all the processes together
// must equal famgen's own file byte for byte; and a run that cannot open its file fails on every
// process with the same status, leaving no file.
#include <mpi.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.hpp"
#include "graphfile/mpi_destination.hpp"
#include "tests/graph_reader.hpp"

namespace {

struct Case {
  std::string keyword;
  std::string sizes;
};

// Sizes whose files hold a few jobs, so that the processes' ranges end inside jobs, rows and
// rings; the smallest sizes too, where processes get no lines at all.
const std::vector<Case> kCases = {{"grid", "400,301"},
                                  {"folded_grid", "1,4"},
                                  {"folded_grid", "201,300"},
                                  {"partial_grid", "300,299"},
                                  {"partial_folded_grid", "250,211"},
                                  {"circle", "1"},
                                  {"circle", "90001"},
                                  {"star", "70000"},
                                  {"torus", "2,1"},
                                  {"torus", "301,250"},
                                  {"cylinder", "1,5"},
                                  {"cylinder", "300,200"},
                                  {"tree", "1"},
                                  {"tree", "16"},
                                  {"hypercube", "15"},
                                  {"sierpinski", "8"},
                                  {"completegraph", "4,0"},
                                  {"completegraph", "400,3"},
                                  {"unconnected_completegraph", "1,3"},
                                  {"unconnected_completegraph", "120,40"}};

Settings settings_for(const Case& c, const std::string& format, const std::string& out,
                      bool relabelled, bool threaded) {
  std::vector<std::string> arguments = {"famgen-mpi", "-graphtype", c.keyword, "-size", c.sizes,
                                        "-out",       out,          "-format", format};
  if (relabelled) arguments.insert(arguments.end(), {"-permute", "12"});
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

  for (const Case& c : kCases) {
    for (const std::string format : {"metis", "parhip", "scotch", "mtx", "edgelist"}) {
      for (const bool relabelled : {false, true}) {
        const bool threaded = relabelled == (format == "metis" || format == "parhip");
        const std::string what = c.keyword + " " + c.sizes + " " + format +
                                 (relabelled ? " -permute" : "") + (threaded ? " -threads 2" : "");
        const Settings shared = settings_for(c, format, root + "/shared", relabelled, threaded);
        const Outcome outcome =
            dispatch_graph(shared, MpiDestination(write_options(shared), MPI_COMM_WORLD));
        bool ok = outcome.status == 0 && outcome.error.empty();
        if (rank == 0) {
          const Settings alone = settings_for(c, format, root + "/alone", relabelled, threaded);
          ok = ok && dispatch_graph(alone).status == 0 &&
               read_file(root + "/shared") == read_file(root + "/alone");
        }
        MPI_Bcast(&ok, 1, MPI_CXX_BOOL, 0, MPI_COMM_WORLD);
        report(ok, what + (outcome.error.empty() ? "" : ": " + outcome.error));
      }
    }
  }

  // Failures: every process ends with the same status and one message, and no file is left.
  for (const std::string& out : {root + "/missing/g", std::string("-")}) {
    const Settings settings = settings_for({"grid", "300,300"}, "metis", out, false, false);
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
      left += name != "shared" && name != "alone";
    }
    report(left == 0, "files left beside the outputs: " + std::to_string(left));
    std::printf("famgen-mpi on %d processes: %d passed, %d failed\n", size, passed, failures);
  }
  MPI_Finalize();
  return failures == 0 ? 0 : 1;
}
