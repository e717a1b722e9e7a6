#include "graphfile/output/graph_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>

#include "graphfile/graph.hpp"
#include "graphfile/output/file_target.hpp"
#include "graphfile/output/system_calls.hpp"
#include "graphfile/output/temporaries.hpp"

namespace famgen {

namespace {

// ---- Deciding where each file goes ----

// A regular file is replaced by a new one only when the new one can take its place entirely:
// the user may write it (as fopen(name, "w") requires), it has no other name, and the folder
// lets the user rename over it (a sticky folder only lets the owners of the file or the folder).
bool replaceable(const FileTarget& target) {
  const uid_t user = geteuid();
  const bool sticky_forbids = (target.folder_info.st_mode & S_ISVTX) != 0 && user != 0 &&
                              target.info.st_uid != user && target.folder_info.st_uid != user;
  return target.info.st_nlink == 1 && !sticky_forbids &&
         faccessat(target.folder, target.leaf.c_str(), W_OK, AT_EACCESS) == 0 &&
         faccessat(target.folder, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

Placement placement_of(const FileTarget& target, const FileRequest& request) {
  switch (target.kind) {
    case FileTarget::Kind::kDescriptor:
      return target.owns_descriptor ? Placement::kDevice : Placement::kDescriptor;
    case FileTarget::Kind::kExisting:
      if (!S_ISREG(target.info.st_mode)) return Placement::kDevice;
      if (!replaceable(target)) return Placement::kInPlace;
      break;
    case FileTarget::Kind::kMissing:
      break;
  }
  return request.shared ? Placement::kTemporary : Placement::kUnnamed;
}

bool guarded(Placement placement) {
  return placement == Placement::kInPlace || placement == Placement::kUnnamed ||
         placement == Placement::kTemporary;
}

// The umask, which a new file's mode follows. /proc tells it without changing it; umask()
// itself must set it to read it.
mode_t process_umask() {
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr)
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// Refuses the run, before anything is created or changed, when the regular files it writes on
// one file system cannot fit there together.
bool space_guard_passes(GraphFiles& files, const std::vector<FileRequest>& requests,
                        const std::vector<FileTarget>& targets) {
  struct Need {
    std::uint64_t bytes = 0;
    std::uint64_t available = 0;  // free, and given back by rewriting in place
    std::vector<std::string> names;
  };
  std::map<dev_t, Need> needs;
  // Root may use the blocks a file system keeps back for it.
  const bool root = geteuid() == 0;
  for (std::size_t k = 0; k < requests.size(); ++k) {
    struct statvfs space {};
    if (!guarded(files.files[k].placement) || fstatvfs(targets[k].folder, &space) != 0) {
      continue;  // unknown: let the writes tell
    }
    Need& need = needs[targets[k].folder_info.st_dev];
    if (need.names.empty()) {
      need.available =
          static_cast<std::uint64_t>(root ? space.f_bfree : space.f_bavail) * space.f_frsize;
    }
    if (files.files[k].placement == Placement::kInPlace) {
      need.available =
          saturating_add(need.available, static_cast<std::uint64_t>(targets[k].info.st_size));
    }
    need.bytes = saturating_add(need.bytes, requests[k].size_floor ? requests[k].size_floor() : 0);
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

// Two outputs of one file would overwrite each other; a device (/dev/null) takes both.
bool distinct_outputs(GraphFiles& files, const std::vector<FileRequest>& requests,
                      const std::vector<FileTarget>& targets) {
  // Standard output taking one output, and a regular file that another names: the two would
  // write the same file, each over the other.
  struct stat standard_output {};
  const bool to_standard_output =
      std::any_of(targets.begin(), targets.end(), [](const FileTarget& target) {
        return target.kind == FileTarget::Kind::kDescriptor && target.descriptor == STDOUT_FILENO;
      });
  if (to_standard_output && fstat(STDOUT_FILENO, &standard_output) == 0 &&
      S_ISREG(standard_output.st_mode)) {
    for (std::size_t k = 0; k < requests.size(); ++k) {
      const FileTarget& target = targets[k];
      if (target.kind == FileTarget::Kind::kExisting && same_file(target.info, standard_output)) {
        files.refused = true;
        files.error = "famgen: '" + requests[k].name +
                      "' is the file that standard output writes, which takes another output of "
                      "the run";
        return false;
      }
    }
  }
  for (std::size_t k = 0; k < requests.size(); ++k) {
    for (std::size_t earlier = 0; earlier < k; ++earlier) {
      const FileTarget& a = targets[k];
      const FileTarget& b = targets[earlier];
      bool same = false;
      if (a.kind == FileTarget::Kind::kDescriptor && b.kind == FileTarget::Kind::kDescriptor) {
        if (a.descriptor == STDOUT_FILENO && b.descriptor == STDOUT_FILENO) {
          files.refused = true;
          files.error = "famgen: standard output can take only one output of a run";
          return false;
        }
      } else if (a.kind == FileTarget::Kind::kExisting && b.kind == FileTarget::Kind::kExisting) {
        same = S_ISREG(a.info.st_mode) && same_file(a.info, b.info);
      } else if (a.kind == FileTarget::Kind::kMissing && b.kind == FileTarget::Kind::kMissing) {
        same = same_file(a.folder_info, b.folder_info) && a.leaf == b.leaf;
      }
      if (same) {
        files.refused = true;
        files.error = "famgen: '" + requests[k].name + "' is named for two outputs of one run";
        return false;
      }
    }
  }
  return true;
}

// ---- Making each file ----

// Why a new file could not be made: errno values.
bool no_room(int error_number) {
  return error_number == ENOSPC || error_number == EDQUOT || error_number == ENOMEM ||
         error_number == EMFILE || error_number == ENFILE;
}
bool not_permitted(int error_number) {
  return error_number == EACCES || error_number == EPERM || error_number == EROFS;
}

// An unnamed file in the folder, or -1 with errno set. It is named at the close through its
// /proc/self/fd link, which must lead to it (no /proc mounted: EOPNOTSUPP, and a named
// temporary instead).
int create_unnamed(int folder) {
#ifdef O_TMPFILE
  Descriptor file(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (file.get() < 0) return -1;
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", file.get());
  struct stat linked {};
  struct stat open {};
  if (stat(link, &linked) != 0 || fstat(file.get(), &open) != 0 || !same_file(linked, open)) {
    errno = EOPNOTSUPP;
    return -1;
  }
  // Locked while the run lives, as a named temporary is, for the moment it has a name.
  flock(file.get(), LOCK_EX | LOCK_NB);
  return file.release();
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool unnamed_unsupported(int error_number) {
  return error_number == EOPNOTSUPP || error_number == EISDIR || error_number == EINVAL ||
         error_number == ENOSYS;
}

// A file that is not regular, or a regular file rewritten in place: opened as it is, never
// created and never truncated here.
void open_in_place(GraphFiles& files, GraphFile& file, const FileTarget& target) {
  file.descriptor = openat(file.folder, file.leaf.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (file.descriptor < 0) {
    record_failure(file, "open", errno);
    files.error = file.error;
    return;
  }
  if (file.placement != Placement::kInPlace) return;
  // Concurrent runs take turns: the second starts once the first has closed the file.
  int locked;
  do {
    locked = flock(file.descriptor, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  struct stat info {};
  if (fstat(file.descriptor, &info) != 0 || !same_file(info, target.info)) {
    // Replaced between the look and the open: not the file the run was checked for.
    record_failure(file, "open", ESTALE);
    files.error = file.error;
    return;
  }
  file.old_size = static_cast<std::uint64_t>(info.st_size);
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

void open_new_file(GraphFiles& files, GraphFile& file, const FileTarget& target,
                   const FileRequest& request) {
  const bool exists = target.kind == FileTarget::Kind::kExisting;
  std::size_t limit = name_limit(file.folder);
  if (request.longest_shared_path > 0) {
    const std::size_t shortest = file.folder_path.size() + temporary_name("", 0, 0).size();
    if (shortest > request.longest_shared_path) {
      files.refused = true;
      files.error = "famgen: cannot write '" + file.name + "': its folder's path is " +
                    std::to_string(file.folder_path.size()) +
                    " bytes long, and the MPI library opens paths of at most " +
                    std::to_string(request.longest_shared_path) + " bytes";
      return;
    }
    limit = std::min(limit, request.longest_shared_path - file.folder_path.size());
  }
  remove_stale_temporaries(file.folder, file.leaf, limit);
  int descriptor = -1;
  int error_number = 0;
  if (file.placement == Placement::kUnnamed) {
    descriptor = create_unnamed(file.folder);
    error_number = errno;
    if (descriptor < 0 && unnamed_unsupported(error_number)) file.placement = Placement::kTemporary;
  }
  if (file.placement == Placement::kTemporary) {
    descriptor = create_temporary(file, limit);
    error_number = errno;
  }
  if (descriptor >= 0) {
    file.descriptor = descriptor;
    file.replaces = exists;
    if (exists) file.replaced = target.info;
    return;
  }
  if (not_permitted(error_number) && exists) {
    // A folder the user may not write: the file itself is rewritten.
    file.placement = Placement::kInPlace;
    open_in_place(files, file, target);
    return;
  }
  if (no_room(error_number) || exists) {
    // Never written in place instead: that would put the old file at stake.
    files.refused = true;
    files.error = "famgen: cannot write '" + file.name +
                  "': no new file can be made beside it: " + std::strerror(error_number);
    return;
  }
  record_failure(file, "open", error_number);
  files.error = file.error;
}

// ---- The close ----

// The new file's owner and mode, before it takes its name: the old file's (root hands a file
// back to its owner), the umask's for a new name. An owner or a group the new file cannot be
// given takes with it the set-id bits, and the group its permissions.
void set_final_mode(GraphFile& file) {
  mode_t mode = file.final_mode & 07777;
  struct stat now {};
  if (file.replaces && fstat(file.descriptor, &now) == 0) {
    const struct stat& old = file.replaced;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
      if (fchown(file.descriptor, old.st_uid, old.st_gid) != 0 &&
          fchown(file.descriptor, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Neither: the file stays the user's, in the user's group.
      }
      fstat(file.descriptor, &now);
      if (now.st_uid != old.st_uid) mode &= ~static_cast<mode_t>(S_ISUID);
      if (now.st_gid != old.st_gid) mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
    }
  }
  if (fchmod(file.descriptor, mode) != 0) record_failure(file, "set the mode of", errno);
}

// Gives an unnamed file a temporary name beside the target.
void link_unnamed(GraphFile& file) {
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", file.descriptor);
  const std::size_t limit = name_limit(file.folder);
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::string name = temporary_name(file.leaf, attempt, limit);
    if (linkat(AT_FDCWD, link, file.folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      file.temporary = name;
      return;
    }
    if (errno != EEXIST) break;
  }
  record_failure(file, "name", errno);
}

bool is_new_file(const GraphFile& file) {
  return file.placement == Placement::kUnnamed || file.placement == Placement::kTemporary;
}

// Takes back everything the run made and has not put in place: the temporaries, the
// descriptors, the signal handlers.
void release(GraphFiles& files) {
  const SignalsHeld held;
  for (GraphFile& file : files.files) {
    if (!file.temporary.empty() && file.folder >= 0) {
      unlinkat(file.folder, file.temporary.c_str(), 0);
      forget_temporary(file.folder, file.temporary);
    }
    file.temporary.clear();
    if (file.placement != Placement::kDescriptor) close_descriptor(file.descriptor);
    file.descriptor = -1;
    close_descriptor(file.lock_holder);
    close_descriptor(file.folder);
  }
}

}  // namespace

std::string GraphFile::shared_path() const {
  return folder_path + (temporary.empty() ? leaf : temporary);
}

GraphFiles::~GraphFiles() {
  release(*this);
}

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

GraphFiles open_graph_files(const std::vector<FileRequest>& requests) {
  GraphFiles files;  // a file-size limit then reaches the writer as the write error EFBIG
  std::vector<FileTarget> targets(requests.size());
  std::vector<int> held;  // the folders followed so far, which no /dev/fd name can mean
  files.files.reserve(requests.size());
  for (std::size_t k = 0; k < requests.size(); ++k) {
    FileTarget& target = targets[k];
    GraphFile& file = files.files.emplace_back();
    file.name = requests[k].name;
    FollowFailure failure;
    if (requests[k].name == "-") {
      target.kind = FileTarget::Kind::kDescriptor;
      target.descriptor = STDOUT_FILENO;
    } else if (!follow_name(requests[k].name, held, target, failure)) {
      files.refused = failure.refused;
      files.error = failure.error;
      return files;
    }
    file.placement = placement_of(target, requests[k]);
    if (target.kind == FileTarget::Kind::kDescriptor) {
      file.descriptor = target.descriptor;
      continue;
    }
    file.folder = target.folder;
    file.folder_path = target.folder_path;
    file.leaf = target.leaf;
    held.push_back(file.folder);
    // Other processes open the file by its path: one they can handle, or a refusal before
    // anything is touched (a new file's temporary name is cut to fit, when it is opened).
    if (requests[k].longest_shared_path > 0 && !is_new_file(file) &&
        file.shared_path().size() > requests[k].longest_shared_path) {
      files.refused = true;
      files.error = "famgen: cannot write '" + file.name + "': its path is " +
                    std::to_string(file.shared_path().size()) +
                    " bytes long, and the MPI library opens paths of at most " +
                    std::to_string(requests[k].longest_shared_path) + " bytes";
      return files;
    }
  }
  if (!distinct_outputs(files, requests, targets)) return files;
  if (!space_guard_passes(files, requests, targets)) return files;

  const mode_t new_mode = 0666 & ~process_umask();
  for (std::size_t k = 0; k < requests.size() && files.ok(); ++k) {
    GraphFile& file = files.files[k];
    const FileTarget& target = targets[k];
    switch (file.placement) {
      case Placement::kDescriptor:
        break;
      case Placement::kDevice:
        if (target.kind != FileTarget::Kind::kDescriptor) open_in_place(files, file, target);
        break;
      case Placement::kInPlace:
        open_in_place(files, file, target);
        break;
      case Placement::kUnnamed:
      case Placement::kTemporary:
        file.final_mode =
            target.kind == FileTarget::Kind::kExisting ? target.info.st_mode : new_mode;
        open_new_file(files, file, target, requests[k]);
        break;
    }
    if (file.descriptor >= 0 && !is_new_file(file)) enlarge_pipe(file.descriptor);
  }
  return files;
}

bool needs_reservation(const GraphFile& file) {
  return file.placement == Placement::kInPlace;
}

void reserve_graph_file(GraphFiles& files, GraphFile& file, std::uint64_t bytes) {
  if (!needs_reservation(file) || file.descriptor < 0 || !files.ok() || bytes <= file.old_size) {
    return;
  }
  // Blocks past the old end, kept apart from its length: a run that stops before the file's
  // first byte leaves it as it was.
  int result;
  do {
    result = fallocate(file.descriptor, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    file.reserved = bytes;
    return;
  }
  // A file system that cannot reserve: the space guard's figure is all there is.
  if (errno == EOPNOTSUPP || errno == ENOSYS) return;
  files.refused = true;
  files.error = "famgen: cannot write '" + file.name + "': its " + human_size(bytes) +
                " cannot be reserved before it is rewritten: " + std::strerror(errno);
}

void begin_graph_file(GraphFile& file) {
  file.begun = true;
}

namespace {

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
    file.length += left;
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

}  // namespace

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

void fail_graph_files(GraphFiles& files, const std::string& error, bool refused) {
  if (!files.ok()) return;
  files.error = error;
  // Refused only when no old file and no device has seen a byte of the run.
  files.refused =
      refused && std::none_of(files.files.begin(), files.files.end(), [](const GraphFile& file) {
        return file.placement == Placement::kInPlace ? file.begun
                                                     : !is_new_file(file) && file.length > 0;
      });
}

int close_graph_files(GraphFiles& files) {
  for (GraphFile& file : files.files) {
    if (file.descriptor >= 0 && file.tail_size > 0 && file.error.empty()) {
      iovec rest = {file.tail.get(), file.tail_size};
      write_all(file, &rest, 1);
    }
    file.tail_size = 0;
    if (files.ok() && !file.error.empty()) files.error = file.error;
  }
  for (GraphFile& file : files.files) {
    if (file.placement != Placement::kInPlace || file.descriptor < 0) continue;
    if (file.begun) {
      // The new bytes end the file: the old ones past them and the reservation go.
      if (ftruncate(file.descriptor, static_cast<off_t>(file.length)) != 0) {
        record_failure(file, "truncate", errno);
        if (files.ok()) files.error = file.error;
      }
    } else if (file.reserved > file.old_size) {
      fallocate(file.descriptor, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                static_cast<off_t>(file.old_size),
                static_cast<off_t>(file.reserved - file.old_size));
    }
  }
  {
    // From the first name given to the last rename, no signal can stop the run half-way: the
    // new files take their names together, or none does.
    const SignalsHeld held;
    for (GraphFile& file : files.files) {
      if (!files.ok() || !is_new_file(file) || file.descriptor < 0) continue;
      set_final_mode(file);
      if (file.placement == Placement::kUnnamed && file.error.empty()) link_unnamed(file);
      if (!file.error.empty()) files.error = file.error;
    }
    for (GraphFile& file : files.files) {
      if (file.descriptor < 0) continue;
      // The temporary stays locked through a duplicate until it is renamed, so that no other
      // run takes it for a killed run's.
      if (!file.temporary.empty()) file.lock_holder = fcntl(file.descriptor, F_DUPFD_CLOEXEC, 0);
      // close() reports delayed write errors of some file systems; EINTR is not retried
      // because the descriptor is released either way on Linux.
      if (file.placement != Placement::kDescriptor && close(file.descriptor) != 0) {
        record_failure(file, "close", errno);
        if (files.ok()) files.error = file.error;
      }
      file.descriptor = -1;
    }
    // Every file is complete: each new one takes its name. A rename fails only when the folder
    // changed under the run; the files renamed before it then stay in place.
    for (GraphFile& file : files.files) {
      if (!files.ok() || file.temporary.empty()) continue;
      if (renameat(file.folder, file.temporary.c_str(), file.folder, file.leaf.c_str()) != 0) {
        record_failure(file, "replace", errno);
        files.error = file.error;
        continue;
      }
      forget_temporary(file.folder, file.temporary);
      file.temporary.clear();
    }
    // A signal held until here finds the files in place and no temporary to remove.
    release(files);
  }
  if (files.ok()) return kStatusWritten;
  return files.refused ? kStatusRefused : kStatusFileFailed;
}

}  // namespace famgen
