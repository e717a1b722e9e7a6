// The output file: where a run's bytes go, and the promise that a run which fails leaves no
// partial file behind.
//
// - "-" is standard output, written through the descriptor the process was given.
// - A new name, or an existing regular file (not a symbolic link, not hard-linked elsewhere)
//   that the user may write, is written to a new file beside it and renamed over the name only
//   once every write and the close succeeded. A failure, or SIGINT, SIGTERM or SIGHUP, removes
//   the new file and leaves the old one as it was.
// - Anything else (a device, a FIFO, a symbolic link, a file in a folder where no new file can
//   be made) is opened and truncated in place, as fopen(name, "w") does.
// - A regular file is refused before it is touched when the file system lacks room for even a
//   lower bound of the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct GraphFile {
  std::string name;
  int descriptor = -1;
  std::string temporary;         // the new file's name while it is written; empty when in place
  bool close_descriptor = true;  // false for standard output, which stays open
  bool refused = false;          // the space guard refused the run: status 1, nothing touched
  // The first failure as one line for standard error; empty while every step has succeeded.
  std::string error;
  // Bytes held back so that every write starts at a multiple of kPageBytes in the file: the
  // kernel copies whole pages into its cache faster than pages begun by an earlier write.
  static constexpr std::size_t kPageBytes = 4096;
  std::unique_ptr<char[]> tail = std::make_unique<char[]>(kPageBytes);
  std::size_t tail_size = 0;
};

// Opens the output for a file of at least lower_bound bytes. On failure the returned file
// carries the error and close_graph_file reports -1.
GraphFile open_graph_file(const std::string& output_name, std::uint64_t lower_bound);

// Writes all of the bytes, or records why not; up to a page of them may be held back until the
// next call or the close. Does nothing once a failure is recorded.
void write_graph_bytes(GraphFile& file, const char* data, std::size_t size);

// Closes the file and, for a new file written beside the name, renames it over the name.
// Returns 0, or -1 when anything since the open failed (file.error then says what); a failed
// run's new file is removed.
int close_graph_file(GraphFile& file);

inline bool graph_file_ok(const GraphFile& file) {
  return file.error.empty();
}

// "8.0 TB", "79 GB", "512 B": a size for people, in powers of 1000.
std::string human_size(std::uint64_t bytes);
