#include "fileops/move_job.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "common/exit_status.h"
#include "common/path_syntax.h"
#include "common/result_line.h"
#include "fileops/decimal_number.h"
#include "filestate/descriptor_state.h"
#include "platform/file_status.h"
#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr std::size_t kMoveArgumentCount = 6;
constexpr std::size_t kSourceArgument = 2;
constexpr std::size_t kDestinationArgument = 3;
constexpr std::size_t kDeviceArgument = 4;
constexpr std::size_t kInodeArgument = 5;

// A path the job is willing to try: absolute, free of NUL, normalised, and
// not the root itself (the root has no parent to rename it in).
bool isMovablePath(std::string_view path) {
  return isAbsolutePath(path) && isNormalisedPath(path) && finalNameOf(path) != kRootPath;
}

// Only a regular file or a folder is moved; a link, FIFO, socket or device
// at the source name is not the item the caller meant to move.
bool isMovableKind(const FileStatus& status) {
  return isRegularFile(status) || isDirectory(status);
}

bool isIdentifiedItem(const FileStatus& status, ItemIdentity expected) {
  return identityOf(status) == expected && isMovableKind(status);
}

struct NamedItem {
  int parent;
  const std::string& name;
};

// The identity check and the rename are two calls, so an item put at the
// source name between them is the one the rename moved. The item now at
// the destination name is therefore checked again: when it is another one
// it goes back to the source name, again without replacing anything, and
// the answer is ESTALE. When that name has been taken meanwhile, or the
// destination cannot be read, nothing more is done: both items stay where
// they are, and the answer is still ESTALE.
ErrnoOr<void> confirmMovedItem(const MoveOperations& operations, NamedItem from, NamedItem to,
                               ItemIdentity expected) {
  const ErrnoOr<FileStatus> moved = operations.statAt(to.parent, to.name);
  if (!moved) return Errno{ESTALE};
  if (isIdentifiedItem(*moved, expected)) return {};
  (void)operations.rename(to.parent, to.name, from.parent, from.name);
  return Errno{ESTALE};
}

}  // namespace

int moveResult(bool ok, MacosErrno reported) {
  std::string line = R"({"ok":)";
  line += ok ? "true" : "false";
  line += R"(,"errno":)";
  line += std::to_string(reported.value);
  line += "}";
  writeFixedLine(line);
  return ok ? kStatusDone : kStatusOperationFailed;
}

ErrnoOr<void> moveExclusive(const Arguments& arguments, const MoveOperations& operations) {
  // Everything is checked before anything is opened.
  if (arguments.size() != kMoveArgumentCount) return Errno{EINVAL};
  const std::string_view source = arguments[kSourceArgument];
  const std::string_view destination = arguments[kDestinationArgument];
  const std::optional<std::uint64_t> expectedDevice =
      unsignedDecimalValue(arguments[kDeviceArgument]);
  const std::optional<std::uint64_t> expectedInode =
      unsignedDecimalValue(arguments[kInodeArgument]);
  if (!isMovablePath(source) || !isMovablePath(destination) || !expectedDevice || !expectedInode) {
    return Errno{EINVAL};
  }
  const ItemIdentity expected{*expectedDevice, *expectedInode};
  const std::string sourceName(finalNameOf(source));
  const std::string destinationName(finalNameOf(destination));

  // Both parents are reached one component at a time without following a
  // link, so a link swapped in anywhere above either item fails the walk.
  ErrnoOr<UniqueFd> sourceParent = openDirectoryWithoutLinks(parentPathOf(source));
  if (!sourceParent) return sourceParent.failure();
  ErrnoOr<UniqueFd> destinationParent = openDirectoryWithoutLinks(parentPathOf(destination));
  // Every way out closes the parents in the order they were opened; an
  // errno is always taken before.
  const auto closeParents = [&](ErrnoOr<void> result) {
    sourceParent->reset();
    if (destinationParent) destinationParent->reset();
    return result;
  };
  if (!destinationParent) return closeParents(destinationParent.failure());

  // The name is looked up in the parent just opened, so the item checked is
  // the one the rename below acts on, unless it is replaced in between.
  const ErrnoOr<FileStatus> status = operations.statAt(sourceParent->get(), sourceName);
  if (!status) return closeParents(status.failure());
  if (!isIdentifiedItem(*status, expected)) return closeParents(Errno{ESTALE});

  // Never a plain rename as a fallback: a file system that cannot refuse to
  // replace makes the move fail instead.
  const NamedItem from{sourceParent->get(), sourceName};
  const NamedItem to{destinationParent->get(), destinationName};
  if (ErrnoOr<void> renamed = operations.rename(from.parent, from.name, to.parent, to.name);
      !renamed) {
    return closeParents(renamed);
  }
  ErrnoOr<void> outcome = confirmMovedItem(operations, from, to, expected);
  // Both folders have changed whatever the outcome (a rename back changes
  // them again), and the outcome stands whatever the syncs report; they only
  // ask for both directory entries to reach the disk.
  (void)syncDescriptor(sourceParent->get());
  (void)syncDescriptor(destinationParent->get());
  return closeParents(outcome);
}

int runMoveJob(const Arguments& arguments) {
  const ErrnoOr<void> moved = moveExclusive(arguments);
  return moveResult(static_cast<bool>(moved), macosErrno(moved.error()));
}

}  // namespace fileprobe
