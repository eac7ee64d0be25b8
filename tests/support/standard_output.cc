#include "support/standard_output.h"

#include <unistd.h>

#include <cstdio>

#include "support/temp_dir.h"

namespace fileprobe::testing {

std::string standardOutputOf(const std::function<void()>& write) {
  TempDir dir;
  const std::string path = dir.at("stdout");
  const int saved = dup(1);
  FILE* file = std::fopen(path.c_str(), "w");
  dup2(fileno(file), 1);
  write();
  dup2(saved, 1);
  close(saved);
  std::fclose(file);
  return readFile(path);
}

}  // namespace fileprobe::testing
