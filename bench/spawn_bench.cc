// Times whole processes side by side. Each command is a plan file with one
// line per run (arguments separated by tabs); run i of every plan is started
// in turn before run i+1 of any, so that all commands see the same machine
// state. Prints the median and mean wall time of each command and its ratio
// to the first one, the baseline.
//
//   spawn_bench [--stdin FILE] [--fd3 FILE] [--fd4 FILE] LABEL=PLAN [LABEL=PLAN ...]
//
// --fd3 and --fd4 open FILE read-only as descriptor 3 or 4 of every run, as
// a caller of the metadata copy hands its items over.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
  std::string label;
  std::vector<std::vector<std::string>> runs;
  std::vector<double> seconds;
};

std::vector<std::vector<std::string>> readPlan(const std::string& path) {
  std::vector<std::vector<std::string>> runs;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> argv;
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, '\t')) argv.push_back(field);
    if (!argv.empty()) runs.push_back(argv);
  }
  return runs;
}

struct Inherited {
  int descriptor;
  std::string path;
};

double timeOneRun(const std::vector<std::string>& arguments, const std::string& stdinPath,
                  const std::vector<Inherited>& inherited) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdinPath.empty() ? "/dev/null" : stdinPath.c_str(),
                                   O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (const auto& item : inherited) {
    posix_spawn_file_actions_addopen(&actions, item.descriptor, item.path.c_str(), O_RDONLY, 0);
  }
  std::vector<char*> argv;
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::string stdinPath;
  std::vector<Inherited> inherited;
  std::vector<Command> commands;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--stdin" && i + 1 < argc) {
      stdinPath = argv[++i];
      continue;
    }
    if ((argument == "--fd3" || argument == "--fd4") && i + 1 < argc) {
      inherited.push_back({argument == "--fd3" ? 3 : 4, argv[++i]});
      continue;
    }
    const auto equals = argument.find('=');
    if (equals == std::string::npos) {
      std::fprintf(stderr,
                   "usage: spawn_bench [--stdin FILE] [--fd3 FILE] [--fd4 FILE] LABEL=PLAN...\n");
      return 2;
    }
    commands.push_back({argument.substr(0, equals), readPlan(argument.substr(equals + 1)), {}});
  }
  std::size_t runs = commands.empty() ? 0 : commands.front().runs.size();
  for (const auto& c : commands) runs = std::min(runs, c.runs.size());
  for (std::size_t r = 0; r < runs; ++r) {
    for (auto& c : commands) c.seconds.push_back(timeOneRun(c.runs[r], stdinPath, inherited));
  }
  const double baseline = commands.empty() ? 1 : median(commands.front().seconds);
  for (const auto& c : commands) {
    std::printf("%-36s median %8.3f ms  mean %8.3f ms  ratio %5.2fx  (%zu runs)\n", c.label.c_str(),
                median(c.seconds) * 1e3, mean(c.seconds) * 1e3, median(c.seconds) / baseline,
                c.seconds.size());
  }
  return 0;
}
