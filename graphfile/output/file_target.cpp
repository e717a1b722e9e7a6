#include "graphfile/output/file_target.hpp"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <string_view>

#include "graphfile/output/system_calls.hpp"

namespace famgen {

namespace {

constexpr int kMostLinks = 40;  // the kernel's limit of links in one lookup

std::deque<std::string> components_of(std::string_view path) {
  std::deque<std::string> parts;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  // "folder/" names the folder itself.
  if (!path.empty() && path.back() == '/') parts.emplace_back(".");
  return parts;
}

bool world_writable_sticky(const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// Whether folder is this process's own /proc/self/fd, whose links are its descriptors.
bool is_own_descriptor_folder(int folder) {
  struct statfs system {};
  struct stat here {};
  if (fstatfs(folder, &system) != 0 || system.f_type != PROC_SUPER_MAGIC ||
      fstat(folder, &here) != 0) {
    return false;
  }
  for (const char* own : {"/proc/self/fd", "/proc/thread-self/fd"}) {
    struct stat info {};
    if (stat(own, &info) == 0 && same_file(info, here)) return true;
  }
  return false;
}

bool read_link(int folder, const std::string& name, std::string& text) {
  std::string buffer(PATH_MAX, '\0');
  const ssize_t length = readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
  if (length < 0) return false;
  if (static_cast<std::size_t>(length) == buffer.size()) {
    errno = ENAMETOOLONG;
    return false;
  }
  text.assign(buffer.data(), static_cast<std::size_t>(length));
  return true;
}

}  // namespace

bool follow_name(const std::string& name, const std::vector<int>& held, FileTarget& target,
                 FollowFailure& failure) {
  const auto fail = [&](int error_number) {
    failure.error = failure_text("open", name, error_number);
    return false;
  };
  if (name.empty()) return fail(ENOENT);
  std::deque<std::string> rest = components_of(name);
  const bool absolute = name[0] == '/';
  Descriptor folder(open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return fail(errno);
  std::string path = absolute ? "/" : "";
  int links = 0;
  while (!rest.empty()) {
    const std::string part = std::move(rest.front());
    rest.pop_front();
    const bool last = rest.empty();
    if (!last && part == ".") continue;
    struct stat info {};
    if (part != ".." || last) {
      if (fstatat(folder.get(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (last && errno == ENOENT) {
          target.kind = FileTarget::Kind::kMissing;
          target.leaf = part;
          break;
        }
        return fail(errno);
      }
    }
    if (part != ".." && S_ISLNK(info.st_mode)) {
      if (++links > kMostLinks) return fail(ELOOP);
      struct stat folder_info {};
      if (fstat(folder.get(), &folder_info) != 0) return fail(errno);
      // The kernel's rule against links planted in shared folders, whatever its setting here.
      if (world_writable_sticky(folder_info) && info.st_uid != geteuid() &&
          info.st_uid != folder_info.st_uid) {
        failure.refused = true;
        failure.error = "famgen: cannot write '" + name + "': '" + path + part +
                        "' is a symbolic link of another user in a shared sticky folder, which "
                        "famgen does not follow";
        return false;
      }
      if (last && is_own_descriptor_folder(folder.get())) {
        // /dev/stdout, /dev/fd/N: the descriptor itself, as "-" is standard output.
        char* end = nullptr;
        const long number = std::strtol(part.c_str(), &end, 10);
        const int descriptor = static_cast<int>(number);
        if (*end != '\0' || number < 0 || number > INT_MAX || descriptor == folder.get() ||
            std::find(held.begin(), held.end(), descriptor) != held.end() ||
            fcntl(descriptor, F_GETFD) < 0) {
          return fail(EBADF);
        }
        target.kind = FileTarget::Kind::kDescriptor;
        target.descriptor = descriptor;
        return true;
      }
      std::string text;
      if (!read_link(folder.get(), part, text)) return fail(errno);
      if (last && text[0] != '/' && text.find(":[") != std::string::npos) {
        // A link of /proc to a pipe or a socket ("pipe:[1234]"), which only the kernel can open.
        struct statfs system {};
        if (fstatfs(folder.get(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC) {
          const int descriptor = openat(folder.get(), part.c_str(), O_WRONLY | O_CLOEXEC);
          if (descriptor < 0) return fail(errno);
          target.kind = FileTarget::Kind::kDescriptor;
          target.descriptor = descriptor;
          target.owns_descriptor = true;
          return true;
        }
      }
      std::deque<std::string> parts = components_of(text);
      rest.insert(rest.begin(), parts.begin(), parts.end());
      if (text[0] == '/') {
        folder = Descriptor(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (folder.get() < 0) return fail(errno);
        path.assign(1, '/');
      }
      continue;
    }
    if (!last) {
      if (part != ".." && !S_ISDIR(info.st_mode)) return fail(ENOTDIR);
      Descriptor next(
          openat(folder.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (next.get() < 0) return fail(errno);
      folder = std::move(next);
      path += part + "/";
      continue;
    }
    target.kind = FileTarget::Kind::kExisting;
    target.info = info;
    target.leaf = part;
    break;
  }
  if (fstat(folder.get(), &target.folder_info) != 0) return fail(errno);
  target.folder = folder.release();
  target.folder_path = path;
  return true;
}

}  // namespace famgen
