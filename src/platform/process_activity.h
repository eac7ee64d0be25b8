// What a running process is doing, as the kernel shows it under /proc: how
// much processor time it has used, and whether the system is holding it
// back (waiting for a processor or the disk, or stopped) or it is waiting
// for something of its own.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string_view>

#include "platform/errno_or.h"

namespace fileprobe {

struct ProcessActivity {
  // User and system time of all its threads, in clock ticks.
  std::uint64_t processorTicks = 0;
  // Some thread is runnable, in an uninterruptible wait (the disk,
  // memory being paged in) or stopped: its pace is the system's.
  bool heldBack = false;
};

// Whether a thread in the state of /proc's `state` letter waits on the
// system rather than on itself.
bool stateHeldBack(char state);

// The state letter and the user plus system ticks of one /proc/PID/stat
// (or task/TID/stat) line; false when the line is not one. The command
// name in parentheses may itself hold spaces and parentheses.
bool parseStatLine(std::string_view line, char& state, std::uint64_t& ticks);

// Reads `pid`'s activity, or the Linux errno (ESRCH-like failures when it
// has ended).
ErrnoOr<ProcessActivity> readProcessActivity(pid_t pid);

// Whether the process moved on between two looks: its processor time grew,
// or the system is what holds it back now.
bool madeProgress(const ProcessActivity& before, const ProcessActivity& now);

}  // namespace fileprobe
