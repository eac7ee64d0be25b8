#include "inspect/path_rules.h"

#include <optional>
#include <vector>

#include "common/path_syntax.h"
#include "inspect/resource_values.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr std::size_t kEntryKeys = 4;

// What the rules found about an accepted path.
struct Verdict {
  std::optional<std::string_view> refusal;  // none when accepted
  bool hidden = false;
  bool readable = false;
};

Verdict refused(std::string_view message) { return {message}; }

bool hasAbsoluteForm(std::string_view path) {
  return isAbsolutePath(path) && path.size() <= maximumPathBytes;
}

// Walks from the root, one lstat per prefix, and refuses links anywhere and
// non-folders above the item. Fills `item` with the status of the last prefix.
std::optional<std::string_view> walkRefusal(const std::vector<std::string_view>& components,
                                            FileStatus& item) {
  if (components.empty()) {
    const ErrnoOr<FileStatus> root = statPathNoFollow("/");
    if (!root) return kNoMetadata;
    item = *root;
    return std::nullopt;
  }
  std::string prefix;
  for (std::size_t i = 0; i < components.size(); ++i) {
    prefix += '/';
    prefix += components[i];
    const ErrnoOr<FileStatus> status = statPathNoFollow(prefix);
    if (!status) return kNoMetadata;
    item = *status;
    if (isSymbolicLink(item)) return kSymbolicLink;
    const bool last = i + 1 == components.size();
    if (!last && !isDirectory(item)) return kParentNotFolder;
  }
  return std::nullopt;
}

bool stillSameItem(const std::string& path, const FileStatus& item) {
  const ErrnoOr<FileStatus> now = statPathNoFollow(path);
  return now && identityOf(*now) == identityOf(item) && fileType(*now) == fileType(item);
}

Verdict verdictOf(const std::string& path) {
  if (!hasAbsoluteForm(path)) return refused(kNotAbsolute);
  if (hasDotComponent(path)) return refused(kNotNormalised);
  const std::vector<std::string_view> components = pathComponents(path);
  FileStatus item;
  if (const std::optional<std::string_view> refusal = walkRefusal(components, item)) {
    return refused(*refusal);
  }
  if (!isRegularFile(item) && !isDirectory(item)) return refused(kNotFileOrFolder);
  if (item.flags & kLockFlagsMask) return refused(kLocked);

  const std::optional<ResourceValues> values = resourceValuesOf(path);
  if (!values) return refused(kNoResourceValues);
  if (values->isAliasFile.value_or(false)) return refused(kAlias);
  if (values->isPackage.value_or(false)) return refused(kPackage);
  if (values->isUbiquitousItem.value_or(false) &&
      values->downloadingStatus.value_or("") != kDownloadingStatusCurrent) {
    return refused(kCloudNotDownloaded);
  }
  if (!values->isHidden) return refused(kHiddenUnknown);
  const bool hidden = *values->isHidden;
  const bool readable = mayRead(path);

  if (!stillSameItem(path, item)) return refused(kChangedDuringInspection);
  return {{}, hidden, readable};
}

}  // namespace

ResultDictionary inspectPath(std::string path) {
  const Verdict verdict = verdictOf(path);
  ResultDictionary entry;
  entry.entries.reserve(kEntryKeys);
  entry.set("path", std::move(path));
  entry.set("hidden", verdict.hidden);
  entry.set("readable", verdict.readable);
  if (verdict.refusal) entry.set("error", std::string(*verdict.refusal));
  return entry;
}

}  // namespace fileprobe
