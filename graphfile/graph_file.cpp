#include "graphfile/graph_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

void record_failure(GraphFile& file, std::string_view what, int error_number) {
  if (!file.error.empty()) return;  // the first failure is the one worth reporting
  file.error = "famgen: cannot ";
  file.error += what;
  file.error += " '";
  file.error += file.name;
  file.error += "': ";
  file.error += std::strerror(error_number);
}

// The new file that a signal must not leave behind. Plain storage and a flag, the only things
// a signal handler may touch.
char pending_temporary[4096];
volatile std::sig_atomic_t temporary_pending = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[std::size(kCleanupSignals)];

extern "C" void remove_temporary_and_die(int signal_number) {
  if (temporary_pending) unlink(pending_temporary);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void block_cleanup_signals(int how) {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : kCleanupSignals)
    sigaddset(&set, signal_number);
  sigprocmask(how, &set, nullptr);
}

// Handlers for the signals that end a run, except those the run was started to ignore.
void arm_cleanup(const std::string& temporary) {
  if (temporary.size() >= sizeof pending_temporary) return;
  std::memcpy(pending_temporary, temporary.c_str(), temporary.size() + 1);
  temporary_pending = 1;
  for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_die;
    sigemptyset(&action.sa_mask);
    sigaction(kCleanupSignals[i], nullptr, &previous_actions[i]);
    if (previous_actions[i].sa_handler != SIG_IGN) sigaction(kCleanupSignals[i], &action, nullptr);
  }
}

void disarm_cleanup() {
  if (!temporary_pending) return;
  temporary_pending = 0;
  for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i)
    sigaction(kCleanupSignals[i], &previous_actions[i], nullptr);
}

// The free space where path lies (a file or a folder), or nothing when it cannot be told.
bool free_space(const std::string& path, std::uint64_t& bytes) {
  struct statvfs info {};
  if (statvfs(path.c_str(), &info) != 0) return false;
  bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

// Refuses a regular file that cannot fit, before anything is created or changed.
bool space_guard_passes(GraphFile& file, const std::string& where, std::uint64_t lower_bound,
                        std::uint64_t freed_by_truncation) {
  std::uint64_t available = 0;
  if (!free_space(where, available)) return true;  // unknown: let the writes tell
  if (lower_bound <= available + freed_by_truncation) return true;
  file.refused = true;
  file.error = "famgen: cannot write '" + file.name + "': it needs at least " +
               human_size(lower_bound) + ", " + human_size(available + freed_by_truncation) +
               " free";
  return false;
}

// A new file beside name, with the mode a plain create gives (or the mode of the file it will
// replace), or -1 when none can be made there.
int create_beside(const std::filesystem::path& name, const struct stat* replaced,
                  std::string& temporary) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".famgen-%08x", static_cast<unsigned>(random()));
    std::filesystem::path candidate = name;
    std::string hidden = ".";
    hidden += name.filename().string();
    hidden += suffix;
    candidate.replace_filename(hidden);
    temporary = candidate.string();
    block_cleanup_signals(SIG_BLOCK);
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const int open_error = errno;
    if (descriptor >= 0) arm_cleanup(temporary);
    block_cleanup_signals(SIG_UNBLOCK);
    if (descriptor >= 0) {
      if (replaced != nullptr) {
        fchmod(descriptor, replaced->st_mode & 07777);
        if (fchown(descriptor, replaced->st_uid, replaced->st_gid) != 0) {
          // Only the owner's own files can be handed back as they were; the new file is then
          // the user's, as any file the user creates.
        }
      }
      return descriptor;
    }
    if (open_error != EEXIST) break;
  }
  temporary.clear();
  return -1;
}

// A pipe holds 64 KiB by default; 1 MiB (the most an unprivileged process may ask for) lets
// the writer and the reader work in larger steps.
void enlarge_pipe(int descriptor) {
  struct stat info {};
  if (fstat(descriptor, &info) == 0 && S_ISFIFO(info.st_mode)) {
    constexpr int kPipeBytes = 1 << 20;
    if (fcntl(descriptor, F_GETPIPE_SZ) < kPipeBytes) fcntl(descriptor, F_SETPIPE_SZ, kPipeBytes);
  }
}

}  // namespace

std::string human_size(std::uint64_t bytes) {
  static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  }
  return text;
}

GraphFile open_graph_file(const std::string& output_name, std::uint64_t lower_bound) {
  GraphFile file;
  file.name = output_name;
  // A file-size limit then reaches the writer as the write error EFBIG instead of killing it.
  signal(SIGXFSZ, SIG_IGN);
  if (output_name == "-") {
    file.descriptor = STDOUT_FILENO;
    file.close_descriptor = false;
    enlarge_pipe(file.descriptor);
    return file;
  }

  const std::filesystem::path path(output_name);
  const std::string file_name = path.filename().string();
  const bool names_a_file = !file_name.empty() && file_name != "." && file_name != "..";
  struct stat link {};
  const bool exists = lstat(output_name.c_str(), &link) == 0;
  struct stat target {};
  const bool target_exists = exists && stat(output_name.c_str(), &target) == 0;
  if (names_a_file && (!exists || S_ISREG(target.st_mode))) {
    const std::string where =
        exists ? output_name : (path.has_parent_path() ? path.parent_path().string() : ".");
    // A file replaced by a rename keeps its space until the rename; one truncated in place
    // gives it back first.
    const bool in_place = exists && (!S_ISREG(link.st_mode) || link.st_nlink != 1 ||
                                     access(output_name.c_str(), W_OK) != 0);
    const std::uint64_t freed =
        target_exists && in_place ? static_cast<std::uint64_t>(target.st_size) : 0;
    if (!space_guard_passes(file, where, lower_bound, freed)) return file;
    if (!in_place) {
      file.descriptor = create_beside(path, exists ? &link : nullptr, file.temporary);
      if (file.descriptor >= 0) return file;
    }
  }
  // The mode of fopen(name, "w"): create, or truncate to empty, never remove and re-create, so
  // that a device or a pipe named as the output is written as it is.
  file.descriptor = open(output_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file.descriptor < 0) {
    record_failure(file, "open", errno);
  } else {
    enlarge_pipe(file.descriptor);
  }
  return file;
}

// Writes all of parts[0..count), or records why not. A short count from writev() is not an
// error by itself (pipes, signals), so the loop goes on until everything is out or one fails.
void write_all(GraphFile& file, iovec* parts, int count) {
  while (count > 0 && graph_file_ok(file)) {
    const ssize_t written = writev(file.descriptor, parts, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      record_failure(file, "write", errno);
      return;
    }
    if (written == 0) {  // a device that takes nothing would otherwise spin forever
      record_failure(file, "write", EIO);
      return;
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= parts->iov_len) {
      left -= parts->iov_len;
      ++parts;
      --count;
    }
    if (count > 0) {
      parts->iov_base = static_cast<char*>(parts->iov_base) + left;
      parts->iov_len -= left;
    }
  }
}

void write_graph_bytes(GraphFile& file, const char* data, std::size_t size) {
  if (!graph_file_ok(file)) return;
  const std::size_t total = file.tail_size + size;
  if (total < GraphFile::kPageBytes) {
    std::memcpy(file.tail.get() + file.tail_size, data, size);
    file.tail_size = total;
    return;
  }
  const std::size_t whole_pages = total / GraphFile::kPageBytes * GraphFile::kPageBytes;
  const std::size_t from_data = whole_pages - file.tail_size;
  iovec parts[2] = {{file.tail.get(), file.tail_size}, {const_cast<char*>(data), from_data}};
  write_all(file, parts, 2);
  file.tail_size = size - from_data;
  std::memcpy(file.tail.get(), data + from_data, file.tail_size);
}

int close_graph_file(GraphFile& file) {
  if (file.descriptor >= 0 && file.tail_size > 0 && graph_file_ok(file)) {
    iovec rest = {file.tail.get(), file.tail_size};
    write_all(file, &rest, 1);
    file.tail_size = 0;
  }
  if (file.descriptor >= 0 && file.close_descriptor) {
    // close() reports delayed write errors of some file systems; EINTR is not retried because
    // the descriptor is released either way on Linux.
    if (close(file.descriptor) != 0) record_failure(file, "close", errno);
  }
  file.descriptor = -1;
  if (!file.temporary.empty()) {
    if (graph_file_ok(file) && rename(file.temporary.c_str(), file.name.c_str()) != 0) {
      record_failure(file, "replace", errno);
    }
    if (!graph_file_ok(file)) unlink(file.temporary.c_str());
    disarm_cleanup();
    file.temporary.clear();
  }
  return graph_file_ok(file) ? 0 : -1;
}
