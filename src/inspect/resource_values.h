// What a Mac would tell about an item through its URL resource values
// (hidden, alias, package, cloud item), answered from what Linux has: the
// item's status and its name.
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

// Whether a folder of this name is a bundle on a Mac: it ends,
// case-insensitively, in one of the bundle extensions.
bool hasPackageExtension(std::string_view name);

}  // namespace fileprobe
