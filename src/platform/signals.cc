#include "platform/signals.h"

#include <signal.h>

namespace fileprobe {

// Setting a valid disposition of a valid signal cannot fail.
void ignoreBrokenPipeSignal() { (void)::signal(SIGPIPE, SIG_IGN); }

}  // namespace fileprobe
