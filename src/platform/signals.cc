#include "platform/signals.h"

#include <signal.h>

namespace fileprobe {

void ignoreBrokenPipeSignal() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace fileprobe
