// Results carry macOS errno numbers because the callers of fileprobe were
// written against them. Inside, every error is the platform's own errno;
// the move and the metadata copy convert once, here, when they write their
// result records.
#pragma once

namespace fileprobe {

// An errno number in macOS numbering, kept apart from the platform's own
// numbers by its type: only macosErrno makes one.
struct MacosErrno {
  int value;
};

// The macOS number of the errno with the same name as the platform errno
// `platformErrno`; 0 for 0, and 5 (EIO) for an errno that macOS does not have.
MacosErrno macosErrno(int platformErrno);

}  // namespace fileprobe
