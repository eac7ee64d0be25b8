#include "platform/process_activity.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/unique_fd.h"

namespace fileprobe {
namespace {

// A stat line is a few hundred bytes: a name of at most 16 and 50 numbers.
constexpr std::size_t kStatLineBytes = 1024;
// Fields after the command name: 3 is the state, 14 and 15 user and
// system time (numbered from 1 as in proc(5)).
constexpr int kFirstFieldAfterName = 3;
constexpr int kStateField = 3;
constexpr int kUserTimeField = 14;
constexpr int kSystemTimeField = 15;

ErrnoOr<std::string> readSmallFile(const std::string& path) {
  const ErrnoOr<UniqueFd> file = openForReadFollowingLinks(path);
  if (!file) return file.failure();
  std::array<std::byte, kStatLineBytes> buffer;
  const ErrnoOr<std::size_t> got = readSome(file->get(), buffer);
  if (!got) return got.failure();
  return std::string(reinterpret_cast<const char*>(buffer.data()), *got);
}

bool parseNumber(std::string_view text, std::uint64_t& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc{} && end == text.data() + text.size();
}

// One thread's state and ticks, or false when it cannot be read (a thread
// that just ended).
bool readTask(const std::string& path, char& state, std::uint64_t& ticks) {
  const ErrnoOr<std::string> line = readSmallFile(path);
  return line && parseStatLine(*line, state, ticks);
}

}  // namespace

bool stateHeldBack(char state) {
  switch (state) {
    case 'R':  // running or waiting for a processor
    case 'D':  // uninterruptible wait: the disk, a page fault
    case 'T':  // stopped by a signal
    case 't':  // stopped by a tracer
      return true;
    default:  // sleeping on its own account, or ended
      return false;
  }
}

bool parseStatLine(std::string_view line, char& state, std::uint64_t& ticks) {
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string_view::npos) return false;
  std::string_view rest = line.substr(nameEnd + 1);
  // Fields kFirstFieldAfterName to kSystemTimeField, split at spaces.
  std::array<std::string_view, kSystemTimeField - kFirstFieldAfterName + 1> fields;
  for (std::string_view& field : fields) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find_first_of(" \n"), rest.size());
    field = rest.substr(0, end);
    rest.remove_prefix(end);
  }
  const auto at = [&fields](int number) {
    return fields[static_cast<std::size_t>(number - kFirstFieldAfterName)];
  };
  std::uint64_t user = 0;
  std::uint64_t system = 0;
  if (at(kStateField).size() != 1 || !parseNumber(at(kUserTimeField), user) ||
      !parseNumber(at(kSystemTimeField), system)) {
    return false;
  }
  state = at(kStateField)[0];
  ticks = user + system;
  return true;
}

ErrnoOr<ProcessActivity> readProcessActivity(pid_t pid) {
  ProcessActivity activity;
  const std::string process = "/proc/" + std::to_string(pid);
  char state = 0;
  // The process line sums the time of all its threads, ended ones too.
  if (!readTask(process + "/stat", state, activity.processorTicks)) return Errno{ESRCH};
  const ErrnoOr<UniqueFd> tasks = openDirectoryAtNoFollow(AT_FDCWD, process + "/task");
  if (!tasks) return tasks.failure();
  const ErrnoOr<std::vector<std::string>> threads = directoryNames(tasks->get());
  if (!threads) return threads.failure();
  for (const std::string& thread : *threads) {
    std::uint64_t threadTicks = 0;
    std::string path = process;
    path += "/task/";
    path += thread;
    path += "/stat";
    if (readTask(path, state, threadTicks) && stateHeldBack(state)) {
      activity.heldBack = true;
      return activity;
    }
  }
  return activity;
}

bool madeProgress(const ProcessActivity& before, const ProcessActivity& now) {
  return now.processorTicks > before.processorTicks || now.heldBack;
}

}  // namespace fileprobe
