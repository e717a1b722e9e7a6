#include "graphfile/output/temporaries.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <random>
#include <string_view>

#include "graphfile/output/system_calls.hpp"

namespace famgen {

namespace {

// Plain storage and a count, the only things a signal handler may touch.
struct PendingTemporary {
  int folder;
  char name[NAME_MAX + 1];
};
constexpr std::size_t kMostPending = 8;
PendingTemporary pending_temporaries[kMostPending];
volatile std::sig_atomic_t pending_count = 0;

// Every signal whose default action ends the process, but SIGXFSZ, which a run ignores so that
// a file-size limit reaches the writer as the write error EFBIG.
constexpr int kEndingSignals[] = {SIGHUP,   SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                  SIGFPE,   SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                                  SIGXCPU,  SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS,
#ifdef SIGSTKFLT
                                  SIGSTKFLT
#endif
};
struct sigaction previous_actions[NSIG];
bool handled[NSIG];

extern "C" void remove_temporaries_and_die(int signal_number) {
  for (std::sig_atomic_t i = 0; i < pending_count; ++i)
    unlinkat(pending_temporaries[i].folder, pending_temporaries[i].name, 0);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

template <class Visit>
void for_each_ending_signal(Visit visit) {
  for (const int signal_number : kEndingSignals)
    visit(signal_number);
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
    visit(signal_number);
}

// Set once by famgen's programs, before any thread starts.
bool program_owns_signals = false;

// Called with the signals held. The handlers leave alone the signals the run was started to
// ignore (nohup). Only in famgen's own programs, which open a run's outputs on one thread, at
// most kMostPending at a time.
bool arm_cleanup(int folder, const std::string& name) {
  if (!program_owns_signals) return true;
  if (name.size() > NAME_MAX || pending_count == kMostPending) return false;
  PendingTemporary& entry = pending_temporaries[pending_count];
  entry.folder = folder;
  std::memcpy(entry.name, name.c_str(), name.size() + 1);
  pending_count = pending_count + 1;
  if (pending_count > 1) return true;
  for_each_ending_signal([](int signal_number) {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_die;
    sigemptyset(&action.sa_mask);
    handled[signal_number] =
        sigaction(signal_number, nullptr, &previous_actions[signal_number]) == 0 &&
        previous_actions[signal_number].sa_handler != SIG_IGN &&
        sigaction(signal_number, &action, nullptr) == 0;
  });
  return true;
}

// Whether name in folder is still the file open as descriptor.
bool still_named(int folder, const std::string& name, int descriptor) {
  struct stat named {};
  struct stat open {};
  return fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         fstat(descriptor, &open) == 0 && same_file(named, open);
}

// The temporary names of a target: ".NAME.famgen-S", the target's name cut so that the whole
// fits in limit bytes. The first kSlots suffixes are the same for every run, so that a run can
// find what a killed run left of the same target; random ones follow when those are taken.
constexpr int kSlots = 8;
static_assert(kTemporaryAttempts > kSlots, "random names follow the fixed ones");
constexpr std::string_view kTemporaryMark = ".famgen-";

// The callers of a library call that ignore SIGXFSZ, and the disposition they put back.
std::mutex file_size_signal_mutex;
int file_size_signal_users = 0;
struct sigaction file_size_signal_before {};

}  // namespace

void claim_process_signals() {
  program_owns_signals = true;
  signal(SIGXFSZ, SIG_IGN);
}

FileSizeSignalIgnored::FileSizeSignalIgnored() {
  if (program_owns_signals) return;
  struct rlimit limit {};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) return;
  const std::lock_guard<std::mutex> lock(file_size_signal_mutex);
  if (file_size_signal_users == 0) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGXFSZ, &ignore, &file_size_signal_before) != 0) return;
  }
  ++file_size_signal_users;
  active_ = true;
}

FileSizeSignalIgnored::~FileSizeSignalIgnored() {
  if (!active_) return;
  const std::lock_guard<std::mutex> lock(file_size_signal_mutex);
  if (--file_size_signal_users == 0) sigaction(SIGXFSZ, &file_size_signal_before, nullptr);
}

void forget_temporary(int folder, const std::string& name) {
  for (std::sig_atomic_t i = 0; i < pending_count; ++i) {
    PendingTemporary& entry = pending_temporaries[i];
    if (entry.folder != folder || name != entry.name) continue;
    entry = pending_temporaries[pending_count - 1];
    pending_count = pending_count - 1;
    break;
  }
  if (pending_count > 0) return;
  for_each_ending_signal([](int signal_number) {
    if (handled[signal_number]) sigaction(signal_number, &previous_actions[signal_number], nullptr);
    handled[signal_number] = false;
  });
}

std::string temporary_name(const std::string& leaf, int attempt, std::size_t limit) {
  char suffix[16];
  if (attempt < kSlots) {
    std::snprintf(suffix, sizeof suffix, "%d", attempt);
  } else {
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(std::random_device()()));
  }
  const std::size_t fixed = kTemporaryMark.size() + std::strlen(suffix);
  const std::size_t room = limit > fixed + 1 ? limit - fixed - 1 : 0;  // 1 for the leading dot
  std::string name;
  if (room > 0) {
    name += '.';
    name.append(leaf, 0, std::min(room, leaf.size()));
  }
  name += kTemporaryMark;
  name += suffix;
  return name;
}

// A temporary of this target that no process holds locked belongs to a run that was killed
// (SIGKILL gives no handler a chance): removed. Only the user's own regular files are touched.
void remove_stale_temporaries(int folder, const std::string& leaf, std::size_t limit) {
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string name = temporary_name(leaf, slot, limit);
    struct stat named {};
    if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(named.st_mode) || named.st_uid != geteuid()) {
      continue;
    }
    const Descriptor stale(
        openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (stale.get() >= 0 && flock(stale.get(), LOCK_EX | LOCK_NB) == 0 &&
        still_named(folder, name, stale.get())) {
      unlinkat(folder, name.c_str(), 0);
    }
  }
}

std::size_t name_limit(int folder) {
  const long limit = fpathconf(folder, _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

int create_temporary(GraphFile& file, std::size_t limit) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::string name = temporary_name(file.leaf, attempt, limit);
    const SignalsHeld held;
    Descriptor created(openat(file.folder, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (created.get() < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    // Another run may have taken it for a killed run's in the moment before the lock.
    if (flock(created.get(), LOCK_EX | LOCK_NB) != 0 ||
        !still_named(file.folder, name, created.get())) {
      continue;
    }
    if (!arm_cleanup(file.folder, name)) {
      unlinkat(file.folder, name.c_str(), 0);
      errno = EMFILE;
      return -1;
    }
    file.temporary = name;
    return created.release();
  }
  errno = EEXIST;
  return -1;
}

}  // namespace famgen
