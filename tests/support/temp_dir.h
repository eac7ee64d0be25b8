// A real temporary folder for file-system tests, removed afterwards.
#pragma once

#include <string>
#include <string_view>

namespace fileprobe::testing {

class TempDir {
 public:
  // Under /tmp unless `parent` names another folder (such as /dev/shm).
  explicit TempDir(const std::string& parent = "/tmp");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string at(std::string_view relative) const;

 private:
  std::string path_;
};

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
// The path of tests/fixtures/`name` in the source tree.
std::string fixture(std::string_view name);
// The number of descriptors this process has open.
int openDescriptorCount();

}  // namespace fileprobe::testing
