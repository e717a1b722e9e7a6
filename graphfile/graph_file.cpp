#include "graphfile/graph_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// Writes all of [data, data + size) or records why not. A short count from write() is not an
// error by itself (pipes, signals), so the loop goes on until everything is out or one fails.
void write_all(GraphFile& file, const char* data, std::size_t size) {
  if (!graph_file_ok(file)) return;
  while (size > 0) {
    const ssize_t written = ::write(file.descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      record_failure(file, "write", errno);
      return;
    }
    if (written == 0) {  // a device that takes nothing would otherwise spin forever
      record_failure(file, "write", EIO);
      return;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void append_bytes(GraphFile& file, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t room =
        static_cast<std::size_t>(file.flush_mark - file.cursor) + kBufferSlack / 2;
    const std::size_t part = bytes.size() < room ? bytes.size() : room;
    std::memcpy(file.cursor, bytes.data(), part);
    bytes.remove_prefix(part);
    after_write(file, file.cursor + part);
  }
}

}  // namespace

GraphFile open_graph_file(const std::string& output_name) {
  GraphFile file;
  file.name = output_name;
  file.buffer = std::make_unique<char[]>(kBlockSize + kBufferSlack);
  file.cursor = file.buffer.get();
  file.flush_mark = file.buffer.get() + kBlockSize;
  // The mode of fopen(name, "w"): create, or truncate to empty, never remove and re-create, so
  // that a device or a pipe named as the output is written as it is.
  file.descriptor = ::open(output_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file.descriptor < 0) record_failure(file, "open", errno);
  return file;
}

void flush_block(GraphFile& file) {
  char* const start = file.buffer.get();
  write_all(file, start, kBlockSize);
  const std::size_t rest = static_cast<std::size_t>(file.cursor - file.flush_mark);
  std::memmove(start, file.flush_mark, rest);
  file.cursor = start + rest;
}

void write_comment_line(GraphFile& file, std::string_view format,
                        std::initializer_list<std::int64_t> values) {
  std::string line;
  const std::int64_t* value = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        line += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 'd' && value != values.end()) {
        char digits[32];
        line.append(digits, decimal::write_signed(digits, *value++));
        ++i;
        continue;
      }
    }
    line += format[i];
  }
  append_bytes(file, line);
}

void write_counts_line(GraphFile& file, std::int64_t vertex_count, std::int64_t edge_figure,
                       CountsLineEnd line_end) {
  char* cursor = decimal::write_signed(file.cursor, vertex_count);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, edge_figure);
  if (line_end == CountsLineEnd::kSpaceThenNewline) *cursor++ = ' ';
  *cursor++ = '\n';
  after_write(file, cursor);
}

int close_graph_file(GraphFile& file) {
  if (file.buffer) {
    write_all(file, file.buffer.get(), static_cast<std::size_t>(file.cursor - file.buffer.get()));
    file.buffer.reset();
    file.cursor = file.flush_mark = nullptr;
  }
  if (file.descriptor >= 0) {
    // close() reports delayed write errors of some file systems; EINTR is not retried because
    // the descriptor is released either way on Linux.
    if (::close(file.descriptor) != 0) record_failure(file, "close", errno);
    file.descriptor = -1;
  }
  return graph_file_ok(file) ? 0 : -1;
}
