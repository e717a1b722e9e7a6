// Following an output's name to the file it names, one component at a time, as the kernel
// follows it, with the kernel's rule against links planted in shared sticky folders applied
// whatever the system's setting (graph_file.hpp says what the run then does with it).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace famgen {

// What a name leads to, each symbolic link followed as the kernel follows it.
struct FileTarget {
  enum class Kind { kDescriptor, kMissing, kExisting };
  Kind kind = Kind::kMissing;
  int descriptor = -1;  // kDescriptor: the process's own, or one opened here
  bool owns_descriptor = false;
  int folder = -1;          // the folder the file is (or is to be) named in, once followed
  std::string folder_path;  // it as a path: "" for the current folder, else ending in '/'
  std::string leaf;         // the name in it
  struct stat folder_info {};
  struct stat info {};  // kExisting
};

struct FollowFailure {
  std::string error;
  bool refused = false;
};

// Follows name one component at a time. held: the descriptors the run itself holds, which no
// /dev/fd name can mean.
bool follow_name(const std::string& name, const std::vector<int>& held, FileTarget& target,
                 FollowFailure& failure);

}  // namespace famgen
