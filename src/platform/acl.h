// POSIX ACLs of an open descriptor, through libacl and the ACL attributes.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/errno_or.h"

namespace fileprobe {

// The program's own refusals among the results, named: a list beyond the
// caller's bound is refused as data the program does not take, a list that
// changed size while it was read as an item that is no longer what it was.
inline constexpr int kAclTooLarge = EINVAL;
inline constexpr int kAclChanged = ESTALE;

// The ACL item of `descriptor`, so that two items give equal bytes exactly
// when both their ACLs are equal: when the access ACL is extended, "A", its
// length (4 bytes, little endian) and libacl's external form; then, when the
// item has a default ACL (directories only), "D", its length and the
// kernel's form of it. Empty when there is neither. Each list is at most
// `maxListBytes`.
ErrnoOr<std::string> aclItem(int descriptor, std::size_t maxListBytes);

// Gives `to` the ACLs of `from`: the extended access ACL, or none when
// `from` has none; and the default ACL, removed from `to` when `from` has
// none. Nothing is asked of a file system that holds no ACL on either side.
ErrnoOr<void> copyAcls(int from, int to, std::size_t maxListBytes);

}  // namespace fileprobe
