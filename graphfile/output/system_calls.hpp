// What the units of the output files share (graph_file.cpp, file_target.cpp, temporaries.cpp):
// the texts of failed calls, descriptors closed when they go out of scope, and whether two
// stat records are one file.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>

#include "graphfile/output/graph_file.hpp"

namespace famgen {

inline std::string failure_text(std::string_view what, const std::string& name, int error_number) {
  std::string text = "famgen: cannot ";
  text += what;
  text += " '";
  text += name;
  text += "': ";
  text += std::strerror(error_number);
  return text;
}

inline void record_failure(GraphFile& file, std::string_view what, int error_number) {
  if (!file.error.empty()) return;  // the first failure is the one worth reporting
  file.error = failure_text(what, file.name, error_number);
}

inline void close_descriptor(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

// A descriptor that is closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
  Descriptor(Descriptor&& other) noexcept : descriptor_(other.release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      close_descriptor(descriptor_);
      descriptor_ = other.release();
    }
    return *this;
  }
  ~Descriptor() { close_descriptor(descriptor_); }
  int get() const { return descriptor_; }
  int release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
  }

 private:
  int descriptor_;
};

inline bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace famgen
