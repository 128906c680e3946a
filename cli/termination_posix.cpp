// The end on request on POSIX systems: SIGINT, SIGTERM and SIGHUP are
// waited for on a thread of their own.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <system_error>
#include <thread>

#include "cli/termination.h"

namespace korva {
namespace {

sigset_t termination_signals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  return signals;
}

[[noreturn]] void end_by(int signal_number) {
  // The default action ends the process with the status a shell expects.
  ::signal(signal_number, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal_number);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal_number);
  ::_exit(128 + signal_number);
}

}  // namespace

TerminationCleanup::TerminationCleanup() : names_(std::make_shared<TemporaryNames>()) {
  ::signal(SIGXFSZ, SIG_IGN);
  const sigset_t signals = termination_signals();
  if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  try {
    std::thread([names = names_, signals] {
      int signal_number = 0;
      while (::sigwait(&signals, &signal_number) != 0) {
      }
      // Held for good: no file gets a name any more, and an output set that
      // is being put in place is complete before this goes on.
      auto hold = names->hold();
      names->remove_files();
      end_by(signal_number);
    }).detach();
  } catch (const std::system_error&) {
    // Without the thread the signals keep their default action.
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  }
}

}  // namespace korva
