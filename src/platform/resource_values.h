// What a Mac would tell about an item through its URL resource values
// (hidden, alias, package, cloud item), answered from what Linux has.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fileprobe {

struct ResourceValues {
  std::optional<bool> isHidden;
  std::optional<bool> isAliasFile;
  std::optional<bool> isPackage;
  std::optional<bool> isUbiquitousItem;
  std::optional<std::string> downloadingStatus;
};

// The downloading status of a cloud item whose local copy is complete and current.
inline constexpr std::string_view kDownloadingStatusCurrent =
    "NSURLUbiquitousItemDownloadingStatusCurrent";

// The resource values of the item at `path`, taken as given; nothing when
// the item cannot be stat'ed at this moment.
std::optional<ResourceValues> resourceValuesOf(const std::string& path);

// The text after the last "/" once trailing "/" are set aside; empty for a
// path made only of "/".
std::string_view lastPathComponentOf(std::string_view path);
// Whether a folder of this name is a bundle on a Mac: it ends,
// case-insensitively, in one of the bundle extensions.
bool hasPackageExtension(std::string_view name);

}  // namespace fileprobe
