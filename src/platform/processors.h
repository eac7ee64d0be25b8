// The processors this process may run on.
#pragma once

namespace fileprobe {

// How many processors the scheduler lets this process use (its affinity
// mask, which a container or `taskset` narrows), or 1 when it cannot be
// read.
int availableProcessors();

}  // namespace fileprobe
