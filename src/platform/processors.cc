#include "platform/processors.h"

#include <sched.h>

namespace fileprobe {

int availableProcessors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  // sched_getaffinity does not sleep, so it is never interrupted.
  if (::sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 1;
  const int count = CPU_COUNT(&allowed);
  return count > 0 ? count : 1;
}

}  // namespace fileprobe
