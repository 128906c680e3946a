// Ends korva-asm cleanly when it is told to: the temporary files that exist
// under a name are removed (and an output set that is being put in place is
// finished first), then the process ends as it would have without this. On
// POSIX systems the requests are SIGINT, SIGTERM and SIGHUP; on Windows,
// Ctrl+C, Ctrl+Break and the closing of the console.
#pragma once

#include <memory>

#include "system/file_io.h"

namespace korva {

class TerminationCleanup {
 public:
  // Starts waiting for the requests on a thread of its own. Construct it
  // before any other thread starts: on POSIX systems the signals are blocked
  // in the calling thread, and so in every thread started after it. There,
  // a file size limit also fails a write (which is reported) instead of
  // ending the process.
  TerminationCleanup();

  // The names to remove; give it to the files being written.
  TemporaryNames& names() { return *names_; }

 private:
  // Shared with the waiting thread, which outlives this object.
  std::shared_ptr<TemporaryNames> names_;
};

}  // namespace korva
