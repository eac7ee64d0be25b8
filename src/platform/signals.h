// Process-wide signal dispositions.
#pragma once

namespace fileprobe {

// A caller that closed its end of standard output must not turn a finished
// job into a death by SIGPIPE: the write fails instead, and the exit status
// still tells what the job did.
void ignoreBrokenPipeSignal();

}  // namespace fileprobe
