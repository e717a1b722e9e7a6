// Named temporaries beside a target (".NAME.famgen-S", for the file systems without unnamed
// files, and for the files other processes open by path), and the handlers that remove them when
// a signal ends the process: a temporary is locked while its run lives, so that a later run can
// tell and remove what a killed run left of the same target.
#pragma once

#include <pthread.h>

#include <csignal>
#include <cstddef>
#include <string>

#include "graphfile/output/graph_file.hpp"

namespace famgen {

// Blocks every signal of the calling thread until the object goes.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

// Tries of temporary names for one target: the first ones the same for every run, then random.
inline constexpr int kTemporaryAttempts = 16;

// A temporary's name: the target's name cut so that the whole fits in limit bytes.
std::string temporary_name(const std::string& leaf, int attempt, std::size_t limit);

// A named temporary beside file's target, created 0600, locked while the run lives and removed
// by the signal handlers, its name in file.temporary; or -1 with errno set.
int create_temporary(GraphFile& file, std::size_t limit);

// Removes the temporaries of this target that no process holds locked.
void remove_stale_temporaries(int folder, const std::string& leaf, std::size_t limit);

// Called with the signals held, once the temporary is renamed or removed; the handlers go with
// the last one.
void forget_temporary(int folder, const std::string& name);

// The longest name a file may have in the folder.
std::size_t name_limit(int folder);

}  // namespace famgen
