// The output files of a run: where its bytes go, and the promise that a run which fails or is
// stopped leaves every old file as it was and no new file behind. A run's files are opened
// together and put in place together.
//
// - "-" is standard output, and /dev/stdout, /dev/fd/N and /proc/self/fd/N are the descriptor
//   they name: written through the descriptor the process was given, so that ">>" appends.
// - A name is followed one component at a time, as the kernel follows it, with the kernel's
//   rule applied whatever the system's setting: a symbolic link in a sticky, world-writable
//   folder (/tmp) is followed only when it belongs to the user or to the folder's owner;
//   otherwise the run is refused. A link that is followed stays a link: the file it names is
//   the one replaced, in its own folder.
// - A new file, or an existing regular file that the user may replace (one name, a folder the
//   user may write), is written as a new file in that folder, created 0600 and given its final
//   mode (the old file's, or the umask's for a new name) just before it takes the name, once
//   every output of the run was written and closed. On Linux it is an unnamed file (O_TMPFILE)
//   that no signal, not even SIGKILL, and no crash can leave behind; where the file system has
//   none, a named temporary whose name always fits, removed by a handler for every signal that
//   ends the process by default, and by a later run for that name should the process have been
//   killed (each temporary is locked while its run lives).
// - When no new file can be made (a full disk, no free inode), the run is refused with the old
//   file as it was: never written in place instead.
// - The regular files that cannot be replaced (hard-linked, or in a folder the user may not
//   write) are rewritten in place: locked, so that concurrent runs queue; their full size
//   reserved before the first old byte changes, so that a full disk refuses them whole; cut to
//   their new length at the close.
// - Devices and FIFOs are written as they are, never truncated.
// - Regular files are refused before any is touched when a file system lacks room for what the
//   run writes there, by an estimate within a few per cent of the real size and never above it.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace famgen {

// Where a file's bytes go until the close.
enum class Placement {
  kDescriptor,  // a descriptor the process was given (standard output), left open
  kDevice,      // a device, a FIFO or another file that is not regular, written as it is
  kInPlace,     // a regular file rewritten where it is
  kUnnamed,     // a new unnamed file in the target's folder, linked over the name at the close
  kTemporary,   // a new file beside the target under a temporary name, renamed at the close
};

struct GraphFile {
  std::string name;  // as the run was given it
  Placement placement = Placement::kDevice;
  int descriptor = -1;
  int folder = -1;          // the folder the file takes its name in (an O_PATH descriptor)
  std::string leaf;         // the file's name there
  std::string temporary;    // the new file's name in folder while it has one
  std::string folder_path;  // the folder as a path other processes can open ("" for ".")
  struct stat replaced {};  // the file a new one replaces, when replaces
  bool replaces = false;
  mode_t final_mode = 0644;    // the new file's mode once complete
  bool begun = false;          // written in place: its first bytes went out
  std::uint64_t old_size = 0;  // in place: the length it had
  std::uint64_t reserved = 0;  // in place: the bytes reserved for it
  std::uint64_t length = 0;    // bytes written so far
  int lock_holder = -1;        // keeps the temporary locked between close and rename
  // The first failure as one line for standard error; empty while every step has succeeded.
  std::string error;
  // Bytes held back so that every write starts at a multiple of kPageBytes in the file: the
  // kernel copies whole pages into its cache faster than pages begun by an earlier write.
  static constexpr std::size_t kPageBytes = 4096;
  std::unique_ptr<char[]> tail = std::make_unique<char[]>(kPageBytes);
  std::size_t tail_size = 0;

  // The path by which other processes open the bytes being written (famgen-mpi).
  std::string shared_path() const;
};

struct FileRequest {
  std::string name;
  // Bytes the file cannot be smaller than, for the space guard: asked only of the regular files
  // it guards.
  std::function<std::uint64_t()> size_floor;
  // Other processes write the file by its path (famgen-mpi): a named temporary, whose path is
  // at most this long (0: any), or a refusal.
  bool shared = false;
  std::size_t longest_shared_path = 0;
};

// Called once at the start by famgen's own programs, whose process this is: SIGXFSZ ignored for
// good, and handlers for the signals that end the process, which remove its named temporaries.
// A library call leaves the host's signal handlers alone: a temporary that a signal leaves
// behind is removed by the next run that writes the same file (remove_stale_temporaries).
void claim_process_signals();

// While one lives, a file-size limit reaches the writer as the write error EFBIG rather than as
// SIGXFSZ, which would end the process: in a library call, SIGXFSZ is ignored only where a
// file-size limit is set, and its disposition put back when the last concurrent call ends.
class FileSizeSignalIgnored {
 public:
  FileSizeSignalIgnored();
  ~FileSizeSignalIgnored();
  FileSizeSignalIgnored(FileSizeSignalIgnored&& other) noexcept : active_(other.active_) {
    other.active_ = false;
  }
  FileSizeSignalIgnored& operator=(FileSizeSignalIgnored&& other) noexcept {
    std::swap(active_, other.active_);
    return *this;
  }

 private:
  bool active_ = false;
};

struct GraphFiles {
  GraphFiles() = default;
  GraphFiles(GraphFiles&&) = default;
  GraphFiles& operator=(GraphFiles&&) = default;
  // Removes what a run that never reached close_graph_files made (an exception on the way).
  ~GraphFiles();

  std::vector<GraphFile> files;  // in the order asked for; fewer when an open failed
  bool refused = false;          // no old file was touched: status 1
  std::string error;             // the first failure of the run, for standard error
  FileSizeSignalIgnored file_size_signal;
  bool ok() const { return error.empty(); }
};

// Opens the outputs of a run. On failure the result carries the error (refused when nothing
// was touched), and nothing it made is left.
GraphFiles open_graph_files(const std::vector<FileRequest>& requests);

// Whether the file is rewritten in place, and so must have its full size reserved first.
bool needs_reservation(const GraphFile& file);

// Reserves bytes for a file rewritten in place before any of its old bytes change; refuses the
// run (nothing touched) when the file system cannot hold them.
void reserve_graph_file(GraphFiles& files, GraphFile& file, std::uint64_t bytes);

// Before the first bytes of a file.
void begin_graph_file(GraphFile& file);

// Writes all of the bytes, or records why not; up to a page of them may be held back until the
// next call or the close. Does nothing once a failure is recorded.
void write_graph_bytes(GraphFile& file, const char* data, std::size_t size);

// Marks the run failed (a failure seen elsewhere, another process's), so that the close
// removes the new files; refused when no old file was touched.
void fail_graph_files(GraphFiles& files, const std::string& error, bool refused = false);

// Closes every file and, when all succeeded, gives each new file its name. Returns 0, 1 when
// the run was refused, or -1 when anything since the open failed (files.error then says what);
// a failed run's new files are removed.
int close_graph_files(GraphFiles& files);

// "8.0 TB", "79 GB", "512 B": a size for people, in powers of 1000.
std::string human_size(std::uint64_t bytes);

}  // namespace famgen
