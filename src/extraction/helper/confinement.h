// Irreversible confinement of the extraction helper before it parses a
// file: whatever a hostile file makes the parsing libraries do afterwards,
// the process can read only the system files parsing needs, write only to
// the descriptors it already holds, and start, reach or change nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/errno_or.h"

namespace fileprobe {

struct ConfinementOutcome {
  // The Landlock ABI the kernel offers; 0 when it has none (the rest of
  // the confinement holds all the same).
  int landlockAbi = 0;
};

// Confines the calling process, which must still have a single thread:
// no new privileges, no core dumps and not dumpable, Landlock allowing
// only reading beneath `readableTrees` (folders or single files; missing
// ones are skipped), and a seccomp filter that allows what parsing needs
// and refuses everything else with EPERM. Returns what it found, or the
// Linux errno of the step that failed; the process must not parse after a
// failure, since part of the confinement may be missing.
ErrnoOr<ConfinementOutcome> confineProcess(const std::vector<std::string>& readableTrees);

}  // namespace fileprobe
