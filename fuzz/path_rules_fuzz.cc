// Any path string through the inspection rules, most of them inside a fixed
// sandbox tree. Every entry keeps the path as given, carries at most one of
// the rule messages, and a refused entry is never hidden or readable.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "inspect/path_rules.h"
#include "sandbox.h"

namespace {

using namespace fileprobe;

const std::set<std::string_view> kMessages = {kNotAbsolute,
                                              kNotNormalised,
                                              kNoMetadata,
                                              kSymbolicLink,
                                              kParentNotFolder,
                                              kNotFileOrFolder,
                                              kLocked,
                                              kNoResourceValues,
                                              kAlias,
                                              kPackage,
                                              kCloudNotDownloaded,
                                              kHiddenUnknown,
                                              kChangedDuringInspection};

template <typename T>
const T* valueOf(const ResultDictionary& entry, std::string_view key) {
  for (const auto& [name, value] : entry.entries) {
    if (name == key) return std::get_if<T>(&value);
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path(reinterpret_cast<const char*>(data), size);
  // A leading byte of 0 keeps the string as it is; anything else puts it in the sandbox.
  if (!path.empty() && path[0] != '\0') path = fuzzing::sandboxPath() + "/" + path;
  const ResultDictionary entry = inspectPath(path);
  const std::string* kept = valueOf<std::string>(entry, "path");
  const bool* hidden = valueOf<bool>(entry, "hidden");
  const bool* readable = valueOf<bool>(entry, "readable");
  const std::string* error = valueOf<std::string>(entry, "error");
  if (kept == nullptr || *kept != path || hidden == nullptr || readable == nullptr) std::abort();
  if (error != nullptr && (!kMessages.contains(*error) || *hidden || *readable)) std::abort();
  if (entry.entries.size() != (error != nullptr ? 4u : 3u)) std::abort();
  return 0;
}
