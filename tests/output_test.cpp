// Where the bytes go: standard output as it is, a space guard before a file is touched, whole or
// nothing for regular files, for every output of a run together, and failures that stop every
// thread with one line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

extern char** environ;

namespace {

int count_lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<std::string> folder_entries(const ScratchFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path("")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void write_text(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path) << text;
}

// Standard output is written through the descriptor the process was given, under any of its
// names: ">>" appends.
TEST(Output, DashAppendsToWhatStandardOutputIs) {
  const ScratchFolder folder;
  const auto log = folder.path("log");
  write_text(log, "earlier line\n");
  const std::vector<std::string> names = {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"};
  for (const std::string& name : names) {
    for (const std::string threads : {"", " -threads 2"}) {
      const std::string command =
          FAMGEN_BINARY " -graphtype circle -size 3 -out " + name + threads + " >>" + log.string();
      ASSERT_EQ(std::system(command.c_str()), 0) << name;
    }
  }
  const std::string circle = "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n";
  std::string expected = "earlier line\n";
  for (std::size_t k = 0; k < 2 * names.size(); ++k)
    expected += circle;
  EXPECT_EQ(read_file(log), expected);
  EXPECT_FALSE(std::filesystem::exists("-"));
  // ./- still names a file.
  const ProcessResult named =
      run_famgen({"-graphtype", "circle", "-size", "3", "-out", folder.path("-").string()});
  EXPECT_EQ(named.exit_status, 0);
  EXPECT_EQ(read_file(folder.path("-")), circle);
}

// A file that cannot fit is refused at once, before anything is created or changed, in every
// layout; one that fits is never refused.
TEST(Output, SpaceGuardRefusesAFileThatCannotFit) {
  const ScratchFolder folder;
  const auto existing = folder.path("existing");
  write_text(existing, "old\n");
  for (const std::string format : {"metis", "parhip", "scotch", "mtx", "edgelist"}) {
    for (const auto& out : {folder.path("new"), existing}) {
      const auto start = std::chrono::steady_clock::now();
      // (ParHIP's offsets are byte positions of 64 bits: its grid is one whose file they can
      // still number, which its layout would otherwise refuse first.)
      const bool parhip = format == "parhip";
      const ProcessResult result = run_famgen(
          {"-graphtype", "grid", "-size", parhip ? "600000000,600000000" : "2000000000,2000000000",
           "-out", out.string(), "-format", format});
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      EXPECT_EQ(result.exit_status, 1) << format;
      EXPECT_EQ(count_lines(result.standard_error), 1) << result.standard_error;
      EXPECT_NE(
          result.standard_error.find(parhip ? "needs at least 14 EB, " : "needs at least 18 EB, "),
          std::string::npos)
          << result.standard_error;
      EXPECT_NE(result.standard_error.find("B free"), std::string::npos);
    }
  }
  EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"existing"});
  EXPECT_EQ(read_file(existing), "old\n");
}

struct SpawnedRun {
  pid_t pid = -1;
};

// The bytes a process has handed to write calls so far (0 when it cannot be told).
std::uint64_t bytes_written_by(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value)
    if (key == "wchar:") return value;
  return 0;
}

// Waits until the process has written a few MiB (its new file, unnamed, shows in no folder).
void wait_for_writing(pid_t pid) {
  for (int wait = 0; wait < 5000 && bytes_written_by(pid) < (4u << 20); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Starts famgen directly (no shell, whose background jobs ignore SIGINT).
pid_t spawn_famgen(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {FAMGEN_BINARY};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Whole or nothing: a run that fails or is stopped leaves the previous file as it was and no
// other file in the folder.
TEST(Output, AnInterruptedRunLeavesThePreviousFile) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    for (const std::string threads : {"", "2"}) {
      const ScratchFolder folder;
      const auto out = folder.path("g");
      write_text(out, "previous\n");
      std::vector<std::string> arguments = {"-graphtype",  "grid", "-size",
                                            "20000,20000", "-out", out.string()};
      if (!threads.empty()) arguments.insert(arguments.end(), {"-threads", threads});
      const pid_t pid = spawn_famgen(arguments);
      ASSERT_GT(pid, 0);
      // Stopped once its new file has begun to grow.
      wait_for_writing(pid);
      kill(pid, signal_number);
      int status = 0;
      waitpid(pid, &status, 0);
      if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
        GTEST_SKIP() << "too little free space here for the run to start";
      }
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
      EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"g"}) << signal_number;
      EXPECT_EQ(read_file(out), "previous\n");
    }
  }
}

// Failures, single pass and threaded: the status and the one line of a failed write, the
// previous file kept and nothing else left; a device (/dev/full) is written in place as before.
TEST(Output, FailuresKeepThePreviousFile) {
  struct Fault {
    std::string label;
    std::string command_prefix;
    std::string reason;
  };
  const std::vector<Fault> faults = {
      {"file-size limit", "ulimit -f 200; ", "File too large"},
  };
  for (const Fault& fault : faults) {
    for (const std::string threads : {"", " -threads 2", " -threads 7"}) {
      SCOPED_TRACE(fault.label + threads);
      const ScratchFolder folder;
      const auto out = folder.path("g");
      write_text(out, "previous\n");
      const std::string command = "bash -c '" + fault.command_prefix + FAMGEN_BINARY +
                                  " -graphtype torus -size 2000,2000 -out " + out.string() +
                                  threads + "' 2>" + folder.path("err").string();
      const int raw = std::system(command.c_str());
      ASSERT_TRUE(WIFEXITED(raw));
      EXPECT_EQ(WEXITSTATUS(raw), 255);
      const std::string error = read_file(folder.path("err"));
      EXPECT_EQ(count_lines(error), 1) << error;
      EXPECT_NE(error.find(fault.reason), std::string::npos) << error;
      EXPECT_EQ(read_file(out), "previous\n");
      EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"err", "g"}));
    }
  }
  for (const std::string threads : {"1", "2", "7"}) {
    const ProcessResult full = run_famgen(
        {"-graphtype", "hypercube", "-size", "18", "-out", "/dev/full", "-threads", threads});
    EXPECT_EQ(full.exit_status, 255) << threads;
    EXPECT_EQ(count_lines(full.standard_error), 1) << full.standard_error;
    EXPECT_NE(full.standard_error.find("No space left on device"), std::string::npos);
  }
}

// A pipe closed early ends the run by SIGPIPE, as any tool in a pipeline, on any thread count:
// never a status of 0 and never a hang.
TEST(Output, APipeClosedEarlyEndsTheRun) {
  for (const std::string threads : {"", " -threads 1", " -threads 2", " -threads 7"}) {
    const std::string command = "bash -c '" FAMGEN_BINARY
                                " -graphtype grid -size 3000,3000 -out -" +
                                threads + " | head -c 1000 >/dev/null; exit ${PIPESTATUS[0]}'";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 128 + SIGPIPE) << threads;
  }
}

ino_t inode_of(const std::filesystem::path& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A symbolic link stays a link, and the file it names is replaced whole in its own folder; a
// file with two names stays one file, rewritten in place and cut to its new length.
TEST(Output, LinksKeepTheirShape) {
  const ScratchFolder folder;
  const std::string circle = "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n";
  std::filesystem::create_directories(folder.path("elsewhere"));
  const auto target = folder.path("elsewhere/target");
  write_text(target, "previous\n");
  std::filesystem::permissions(
      target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const ino_t replaced = inode_of(target);
  std::filesystem::create_symlink("elsewhere/target", folder.path("link"));
  const ProcessResult linked =
      run_famgen({"-graphtype", "circle", "-size", "3", "-out", folder.path("link").string()});
  EXPECT_EQ(linked.exit_status, 0) << linked.standard_error;
  EXPECT_TRUE(std::filesystem::is_symlink(folder.path("link")));
  EXPECT_EQ(read_file(target), circle);
  EXPECT_NE(inode_of(target), replaced);  // a new file, renamed over the old
  EXPECT_EQ(std::filesystem::status(target).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"elsewhere", "link"}));
  // A file with a second name, longer than what replaces it: both names keep naming the one
  // file, which holds the new bytes alone.
  const auto first_name = folder.path("first");
  write_text(first_name, std::string(100000, 'x'));
  const ino_t shared = inode_of(first_name);
  std::filesystem::create_hard_link(first_name, folder.path("second"));
  EXPECT_EQ(
      run_famgen({"-graphtype", "circle", "-size", "2", "-out", folder.path("second").string()})
          .exit_status,
      0);
  EXPECT_EQ(read_file(first_name), "% 2 vertices circle\n2 2\n2 2\n1 1\n");
  EXPECT_EQ(inode_of(folder.path("second")), shared);
}

// What a run killed by SIGKILL leaves (a temporary no live run holds locked) is removed by the
// next run for that name; one that a live run holds is left to it.
TEST(Output, LeftoversOfKilledRunsAreRemoved) {
  struct Case {
    std::string label;
    std::string name;
    bool locked;
    bool removed;
  };
  const std::vector<Case> cases = {
      {"a killed run's temporary", ".g.famgen-0", false, true},
      {"another slot", ".g.famgen-7", false, true},
      {"a live run's temporary", ".g.famgen-0", true, false},
      {"not a name famgen gives", ".g.famgen-x", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const ScratchFolder folder;
    write_text(folder.path("g"), "old\n");
    write_text(folder.path(c.name), "partial");
    const int held = open(folder.path(c.name).c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    // The lock of an open file description other than the run's, as a live run holds it.
    if (c.locked) {
      ASSERT_EQ(flock(held, LOCK_EX), 0);
    }
    const ProcessResult result =
        run_famgen({"-graphtype", "circle", "-size", "3", "-out", folder.path("g").string()});
    close(held);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    EXPECT_EQ(std::filesystem::exists(folder.path(c.name)), !c.removed);
    EXPECT_EQ(read_file(folder.path("g")), "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n");
  }
}

TEST(Output, AFileInALockedFolderIsWrittenInPlace) {
  if (geteuid() == 0) GTEST_SKIP() << "as root every folder is writable";
  const ScratchFolder folder;
  const auto locked = folder.path("locked");
  std::filesystem::create_directories(locked);
  write_text(locked / "g", "previous\n");
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const ProcessResult in_place =
      run_famgen({"-graphtype", "circle", "-size", "3", "-out", (locked / "g").string()});
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  EXPECT_EQ(in_place.exit_status, 0) << in_place.standard_error;
  EXPECT_EQ(read_file(locked / "g"), "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n");
}

// A replaced file keeps its mode; a new one gets the mode a plain create gives.
TEST(Output, ModesOfNewAndReplacedFiles) {
  const ScratchFolder folder;
  const auto existing = folder.path("existing");
  write_text(existing, "previous\n");
  std::filesystem::permissions(existing, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read);
  ASSERT_EQ(
      run_famgen({"-graphtype", "circle", "-size", "3", "-out", existing.string()}).exit_status, 0);
  EXPECT_EQ(std::filesystem::status(existing).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(run_famgen({"-graphtype", "circle", "-size", "3", "-out", folder.path("new").string()})
                .exit_status,
            0);
  struct stat info {};
  ASSERT_EQ(stat(folder.path("new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

// A run with two outputs (here the same graph in two layouts) is one run: both files are
// written, or neither is and the old ones stay as they were, with one line saying why.
TEST(Output, TwoOutputsAreWrittenTogetherOrNotAtAll) {
  struct Case {
    std::string label;
    std::string first;  // names under the scratch folder, or a device
    std::string second;
    int status;
    std::string error;  // a part of the one line; empty when the run succeeds
  };
  const std::vector<Case> cases = {
      {"both written", "a", "b", 0, ""},
      {"the second cannot be opened", "a", "missing/b", -1, "cannot open"},
      {"the second cannot be written", "a", "/dev/full", -1, "No space left on device"},
      {"the first cannot be written", "/dev/full", "b", -1, "No space left on device"},
      {"one name twice", "a", "a", 1, "is named for two outputs"},
      {"one file by two names", "a", "./a", 1, "is named for two outputs"},
  };
  const auto torus = [](const GraphDestination& destination) {
    return generate_torus(300, 400, write_to(destination));
  };
  std::vector<std::string> expected;
  torus(MemoryDestination({{{"", Format::kMetis}, {"", Format::kParhip}}, {}, {}}, expected));
  for (const Case& c : cases) {
    for (const ThreadRequest threads : {ThreadRequest{}, ThreadRequest{2}}) {
      SCOPED_TRACE(c.label + (threads ? " on threads" : ""));
      const ScratchFolder folder;
      const auto where = [&](const std::string& name) {
        return name[0] == '/' ? name : folder.path(name).string();
      };
      write_text(folder.path("a"), "old a\n");
      write_text(folder.path("b"), "old b\n");
      const Outcome outcome = torus(FileDestination(
          {{{where(c.first), Format::kMetis}, {where(c.second), Format::kParhip}}, threads, {}}));
      EXPECT_EQ(outcome.status, c.status);
      EXPECT_EQ(count_lines(outcome.error), 0) << outcome.error;
      EXPECT_NE(outcome.error.find(c.error), std::string::npos) << outcome.error;
      EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"a", "b"}));
      const bool written = c.status == 0;
      EXPECT_TRUE(read_file(folder.path("a")) == (written ? expected[0] : "old a\n"));
      EXPECT_TRUE(read_file(folder.path("b")) == (written ? expected[1] : "old b\n"));
    }
  }
}

// Runs a destination's write in a child process, under a limit on the file size that keeps a
// run which should have been refused from filling the disk; returns the child's wait status.
template <class Write>
int in_child(Write write, rlim_t file_size_limit, pid_t* started = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit limit{file_size_limit, file_size_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(write().status & 0xff);
  }
  if (started != nullptr) {
    *started = pid;
    return 0;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// The space guard adds up what the outputs need on one file system: two files that would each
// fit, but not together, are refused before either is touched.
TEST(Output, SpaceGuardCountsEveryOutputOnAFileSystem) {
  const ScratchFolder folder;
  struct statvfs space {};
  ASSERT_EQ(statvfs(folder.path("").c_str(), &space), 0);
  const double free_bytes = static_cast<double>(space.f_bavail) * space.f_frsize;
  // A METIS file of a grid takes at least 8 bytes a vertex, so each needs about 0.6 of it.
  const auto side = static_cast<std::int32_t>(std::sqrt(0.6 * free_bytes / 8));
  write_text(folder.path("a"), "old a\n");
  const int status = in_child(
      [&] {
        return generate_grid(
            side, side,
            write_to(FileDestination(
                {{{folder.path("a").string()}, {folder.path("b").string()}}, {}, {}})),
            0, 0);
      },
      1 << 20);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"a"});
  EXPECT_EQ(read_file(folder.path("a")), "old a\n");
}

// A signal removes every new file of the run, not just the one being written.
TEST(Output, AnInterruptedRunWithTwoOutputsLeavesNeither) {
  const ScratchFolder folder;
  write_text(folder.path("a"), "old a\n");
  const WriteOptions options{
      {{folder.path("a").string(), Format::kMetis}, {folder.path("b").string(), Format::kScotch}},
      {},
      {}};
  pid_t pid = -1;
  in_child([&] { return generate_grid(20000, 20000, write_to(FileDestination(options)), 0, 0); },
           RLIM_INFINITY, &pid);
  ASSERT_GT(pid, 0);
  wait_for_writing(pid);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
    GTEST_SKIP() << "too little free space here for the run to start";
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"a"});
  EXPECT_EQ(read_file(folder.path("a")), "old a\n");
}

// The space guard's figure is never above a file's size (a file that fits is never refused)
// and within 10 % below it, for every family in every layout, plain and relabelled, at sizes
// that take the estimate (past 256 KiB), digit boundaries among them.
TEST(Output, SpaceGuardFigureIsWithinTenPerCentBelowTheSize) {
  const std::vector<KeywordSizes> graphs = {{"grid", "300,500"},
                                            {"folded_grid", "500,250"},
                                            {"partial_grid", "300,300"},
                                            {"partial_folded_grid", "250,400"},
                                            {"circle", "300000"},
                                            {"star", "60000"},
                                            {"torus", "200,300"},
                                            {"cylinder", "300,250"},
                                            {"tree", "16"},
                                            {"hypercube", "13"},
                                            {"sierpinski", "9"},
                                            {"completegraph", "400,3"},
                                            {"unconnected_completegraph", "20,1500"},
                                            {"mesh", "40,50,60"},
                                            {"mesh", "30,30,30", {"-stencil", "box"}},
                                            {"mesh", "9,9,9,9", {"-periodic", "1,0,1,0"}},
                                            {"torus", "3,400", {"-simple"}}};
  double lowest = 1;
  double highest = 0;
  for (const KeywordSizes& graph : graphs) {
    with_source(graph, [&](const GraphSource& source) {
      for (const Format format : every_format()) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{5}}) {
          SCOPED_TRACE(graph.name() + " " + format_name(format) + (seed ? " relabelled" : ""));
          const OutputPlan plan(source, format, seed);
          if (!plan.refusal().empty()) continue;  // a drawing of four axes
          const auto size = static_cast<double>(whole_file(source, format, seed).size());
          const auto floor = static_cast<double>(size_floor(plan));
          EXPECT_LE(floor, size);
          EXPECT_GE(floor, 0.9 * size);
          EXPECT_EQ(exact_size(plan, 2), static_cast<std::uint64_t>(size));
          lowest = std::min(lowest, floor / size);
          highest = std::max(highest, floor / size);
        }
      }
    });
  }
  std::printf("space guard figure / size: %.4f to %.4f\n", lowest, highest);
}

}  // namespace
