// How a run ends: what it prints and its exit status. Every status famgen exits with is one of
// these, chosen by the one place that prints (main).
#pragma once

#include <string>

namespace famgen {

// The file is written.
inline constexpr int kStatusWritten = 0;
// Refused before any file is touched: figures past 64 bits, no memory for what a family must
// build, no room on the disk, an unknown layout, outputs that cannot go together.
inline constexpr int kStatusRefused = 1;
// No graph type was recognised: the usage text on standard error.
inline constexpr int kStatusUsage = 2;
// The output could not be opened, written, closed or put in place; the process exits with 255.
inline constexpr int kStatusFileFailed = -1;
// A size below its family's minimum exits with the length of the family's message (27 to 60).

struct Outcome {
  int status = kStatusWritten;
  std::string message;  // for standard output: the message of a failed size check
  std::string error;    // for standard error: why the run failed, one line
};

inline Outcome refused(const std::string& why) {
  return {kStatusRefused, {}, "famgen: " + why};
}

}  // namespace famgen
