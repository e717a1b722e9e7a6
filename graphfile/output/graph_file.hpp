// The output files of a run: where its bytes go, and the promise that a run which fails leaves
// no partial file behind. A run's files are opened together and put in place together.
//
// - "-" is standard output, written through the descriptor the process was given.
// - A new name, or an existing regular file (not a symbolic link, not hard-linked elsewhere)
//   that the user may write, is written to a new file beside it and renamed over the name only
//   once every output of the run was written and closed. A failure, or SIGINT, SIGTERM or
//   SIGHUP, removes the new files and leaves the old ones as they were.
// - Anything else (a device, a FIFO, a symbolic link, a file in a folder where no new file can
//   be made) is written in place, as fopen(name, "w") does; a regular file so written is
//   truncated only when its own writing starts, after every output was opened.
// - Regular files are refused before any is touched when a file system lacks room for even a
//   lower bound of what the run writes there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace famgen {

struct GraphFile {
  std::string name;
  int descriptor = -1;
  std::string temporary;          // the new file's name while it is written; empty when in place
  bool close_descriptor = true;   // false for standard output, which stays open
  bool truncate_pending = false;  // a regular file written in place, not yet emptied
  // The first failure as one line for standard error; empty while every step has succeeded.
  std::string error;
  // Bytes held back so that every write starts at a multiple of kPageBytes in the file: the
  // kernel copies whole pages into its cache faster than pages begun by an earlier write.
  static constexpr std::size_t kPageBytes = 4096;
  std::unique_ptr<char[]> tail = std::make_unique<char[]>(kPageBytes);
  std::size_t tail_size = 0;
};

struct FileRequest {
  std::string name;
  std::uint64_t lower_bound = 0;  // bytes the file cannot be smaller than
};

struct GraphFiles {
  std::vector<GraphFile> files;  // in the order asked for; fewer when an open failed
  bool refused = false;          // nothing was touched: status 1
  std::string error;             // the first failure of the run, for standard error
  bool ok() const { return error.empty(); }
};

// Opens the outputs of a run. On failure the result carries the error (refused when nothing
// was touched), and close_graph_files removes whatever was made.
GraphFiles open_graph_files(const std::vector<FileRequest>& requests);

// Before the first bytes of a file: empties a regular file written in place.
void begin_graph_file(GraphFiles& files, GraphFile& file);

// Writes all of the bytes, or records why not; up to a page of them may be held back until the
// next call or the close. Does nothing once a failure is recorded.
void write_graph_bytes(GraphFile& file, const char* data, std::size_t size);

// Marks the run failed (a failure seen elsewhere, another process's), so that the close
// removes the new files.
void fail_graph_files(GraphFiles& files, const std::string& error);

// Closes every file and, when all succeeded, renames each new file over its name. Returns 0, or
// -1 when anything since the open failed (files.error then says what); a failed run's new files
// are removed.
int close_graph_files(GraphFiles& files);

// "8.0 TB", "79 GB", "512 B": a size for people, in powers of 1000.
std::string human_size(std::uint64_t bytes);

}  // namespace famgen
