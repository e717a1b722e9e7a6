#include "graphfile/output/graph_file.hpp"

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
#include <map>
#include <random>

#include "graphfile/graph.hpp"

namespace famgen {

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

// The new files that a signal must not leave behind. Plain storage and a count, the only things
// a signal handler may touch.
constexpr std::size_t kMostPending = 8;
char pending_temporaries[kMostPending][4096];
volatile std::sig_atomic_t pending_count = 0;
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[std::size(kCleanupSignals)];

extern "C" void remove_temporaries_and_die(int signal_number) {
  for (std::sig_atomic_t i = 0; i < pending_count; ++i)
    unlink(pending_temporaries[i]);
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

// Handlers for the signals that end a run, except those the run was started to ignore; called
// with the signals blocked.
void arm_cleanup(const std::string& temporary) {
  if (temporary.size() >= sizeof pending_temporaries[0] || pending_count == kMostPending) return;
  std::memcpy(pending_temporaries[pending_count], temporary.c_str(), temporary.size() + 1);
  pending_count = pending_count + 1;
  if (pending_count > 1) return;
  for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i) {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_die;
    sigemptyset(&action.sa_mask);
    sigaction(kCleanupSignals[i], nullptr, &previous_actions[i]);
    if (previous_actions[i].sa_handler != SIG_IGN) sigaction(kCleanupSignals[i], &action, nullptr);
  }
}

void disarm_cleanup() {
  if (pending_count == 0) return;
  pending_count = 0;
  for (std::size_t i = 0; i < std::size(kCleanupSignals); ++i)
    sigaction(kCleanupSignals[i], &previous_actions[i], nullptr);
}

// What a name is to be: standard output, a regular file replaced by a new file beside it, or
// a file written in place; guarded when it is or will be a regular file.
struct Target {
  bool standard_output = false;
  bool exists = false;
  bool regular = false;  // a regular file, through any link
  bool guarded = false;
  bool in_place = true;
  struct stat link {};      // of the name itself, the mode and owner a new file takes over
  std::string where;        // a path on the file system it lies on
  std::uint64_t freed = 0;  // what truncating it in place gives back first
};

Target target_of(const std::string& name) {
  Target target;
  if (name == "-") {
    target.standard_output = true;
    return target;
  }
  const std::filesystem::path path(name);
  const std::string file_name = path.filename().string();
  const bool names_a_file = !file_name.empty() && file_name != "." && file_name != "..";
  target.exists = lstat(name.c_str(), &target.link) == 0;
  struct stat linked {};
  const bool linked_exists = target.exists && stat(name.c_str(), &linked) == 0;
  target.regular = linked_exists && S_ISREG(linked.st_mode);
  if (!names_a_file || (target.exists && !S_ISREG(linked.st_mode))) return target;
  target.guarded = true;
  target.where =
      target.exists ? name : (path.has_parent_path() ? path.parent_path().string() : ".");
  target.in_place = target.exists && (!S_ISREG(target.link.st_mode) || target.link.st_nlink != 1 ||
                                      access(name.c_str(), W_OK) != 0);
  // A file replaced by a rename keeps its space until the rename; one truncated in place
  // gives it back first.
  target.freed = linked_exists && target.in_place ? static_cast<std::uint64_t>(linked.st_size) : 0;
  return target;
}

// Refuses the run, before anything is created or changed, when the regular files it writes on
// one file system cannot fit there together.
bool space_guard_passes(GraphFiles& files, const std::vector<FileRequest>& requests,
                        const std::vector<Target>& targets) {
  struct Need {
    std::uint64_t bytes = 0;
    std::uint64_t available = 0;  // free, and given back by truncation
    std::vector<std::string> names;
  };
  std::map<dev_t, Need> needs;
  for (std::size_t k = 0; k < requests.size(); ++k) {
    struct statvfs space {};
    struct stat device {};
    if (!targets[k].guarded || statvfs(targets[k].where.c_str(), &space) != 0 ||
        stat(targets[k].where.c_str(), &device) != 0) {
      continue;  // unknown: let the writes tell
    }
    Need& need = needs[device.st_dev];
    if (need.names.empty())
      need.available = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
    need.available = saturating_add(need.available, targets[k].freed);
    need.bytes = saturating_add(need.bytes, requests[k].lower_bound);
    need.names.push_back(requests[k].name);
  }
  for (const auto& [device, need] : needs) {
    if (need.bytes <= need.available) continue;
    std::string names = "'" + need.names.front() + "'";
    for (std::size_t k = 1; k < need.names.size(); ++k)
      names += " and '" + need.names[k] + "'";
    files.refused = true;
    files.error = "famgen: cannot write " + names +
                  (need.names.size() == 1 ? ": it needs" : ": together they need") + " at least " +
                  human_size(need.bytes) + ", " + human_size(need.available) + " free";
    return false;
  }
  return true;
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

namespace {

// Whether two names lead to one file ("g" and "./g"), or one file to be.
bool same_path(const std::string& first, const std::string& second) {
  std::error_code unknown;
  const auto canonical = [&unknown](const std::string& name) {
    const std::filesystem::path path = std::filesystem::weakly_canonical(name, unknown);
    return unknown ? std::filesystem::path(name) : path;
  };
  return first == second || canonical(first) == canonical(second);
}

}  // namespace

GraphFiles open_graph_files(const std::vector<FileRequest>& requests) {
  GraphFiles files;
  // A file-size limit then reaches the writer as the write error EFBIG instead of killing it.
  signal(SIGXFSZ, SIG_IGN);
  std::vector<Target> targets;
  for (const FileRequest& request : requests)
    targets.push_back(target_of(request.name));
  // Two outputs of one file would overwrite each other; a device (/dev/null) takes both.
  for (std::size_t k = 0; k < requests.size(); ++k) {
    for (std::size_t earlier = 0; earlier < k; ++earlier) {
      if (requests[k].name == "-" && requests[earlier].name == "-") {
        files.refused = true;
        files.error = "famgen: standard output can take only one output of a run";
        return files;
      }
      if (targets[k].guarded && targets[earlier].guarded &&
          same_path(requests[k].name, requests[earlier].name)) {
        files.refused = true;
        files.error = "famgen: '" + requests[k].name + "' is named for two outputs of one run";
        return files;
      }
    }
  }
  if (!space_guard_passes(files, requests, targets)) return files;

  for (std::size_t k = 0; k < requests.size() && files.ok(); ++k) {
    const Target& target = targets[k];
    GraphFile& file = files.files.emplace_back();
    file.name = requests[k].name;
    if (target.standard_output) {
      file.descriptor = STDOUT_FILENO;
      file.close_descriptor = false;
      enlarge_pipe(file.descriptor);
      continue;
    }
    if (target.guarded && !target.in_place) {
      file.descriptor =
          create_beside(file.name, target.exists ? &target.link : nullptr, file.temporary);
      if (file.descriptor >= 0) continue;
    }
    // In place, with the mode of fopen(name, "w"): create, or empty, never remove and
    // re-create, so that a device or a pipe named as the output is written as it is. A regular
    // file is emptied when its writing starts, once every output of the run is open.
    file.descriptor = open(file.name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (file.descriptor < 0) {
      record_failure(file, "open", errno);
      files.error = file.error;
    } else {
      file.truncate_pending = target.regular;
      enlarge_pipe(file.descriptor);
    }
  }
  return files;
}

void begin_graph_file(GraphFiles& files, GraphFile& file) {
  if (!file.truncate_pending) return;
  file.truncate_pending = false;
  if (ftruncate(file.descriptor, 0) != 0) {
    record_failure(file, "truncate", errno);
    if (files.ok()) files.error = file.error;
  }
}

// Writes all of parts[0..count), or records why not. A short count from writev() is not an
// error by itself (pipes, signals), so the loop goes on until everything is out or one fails.
void write_all(GraphFile& file, iovec* parts, int count) {
  while (count > 0 && file.error.empty()) {
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
  if (!file.error.empty()) return;
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

void fail_graph_files(GraphFiles& files, const std::string& error) {
  if (files.ok()) files.error = error;
}

int close_graph_files(GraphFiles& files) {
  for (GraphFile& file : files.files) {
    if (file.descriptor >= 0 && file.tail_size > 0 && file.error.empty()) {
      iovec rest = {file.tail.get(), file.tail_size};
      write_all(file, &rest, 1);
      file.tail_size = 0;
    }
    if (file.descriptor >= 0 && file.close_descriptor) {
      // close() reports delayed write errors of some file systems; EINTR is not retried
      // because the descriptor is released either way on Linux.
      if (close(file.descriptor) != 0) record_failure(file, "close", errno);
    }
    file.descriptor = -1;
    if (files.ok() && !file.error.empty()) files.error = file.error;
  }
  // Every file is complete: each new one takes its name. A rename fails only when the folder
  // changed under the run; the files renamed before it then stay in place.
  for (GraphFile& file : files.files) {
    if (files.ok() && !file.temporary.empty() &&
        rename(file.temporary.c_str(), file.name.c_str()) != 0) {
      record_failure(file, "replace", errno);
      files.error = file.error;
    }
    if (!file.temporary.empty() && (!files.ok() || !file.error.empty())) {
      unlink(file.temporary.c_str());
    }
    file.temporary.clear();
  }
  disarm_cleanup();
  return files.ok() ? 0 : kStatusFileFailed;
}

}  // namespace famgen
