// Ends korva-asm cleanly when it is told to: on SIGINT, SIGTERM and SIGHUP
// the temporary files that exist under a name are removed (and an output
// set that is being put in place is finished first), then the process ends
// by the signal as it would have without this.
#pragma once

#include <memory>

#include "driver/file_io.h"

namespace korva {

class TerminationCleanup {
 public:
  // Blocks the three signals in the calling thread, and so in every thread
  // started after it, and waits for them on a thread of its own. Construct
  // it before any other thread starts.
  TerminationCleanup();

  // The names to remove; give it to the files being written.
  TemporaryNames& names() { return *names_; }

 private:
  // Shared with the waiting thread, which outlives this object.
  std::shared_ptr<TemporaryNames> names_;
};

}  // namespace korva
