// Results carry macOS errno numbers because the callers of fileprobe were
// written against them. Every Linux errno is translated once, here.
#pragma once

namespace fileprobe {

// macOS errno values the program produces itself. They are macOS numbers
// already and must never go through macosErrno a second time.
namespace macos {
inline constexpr int kEIO = 5;
inline constexpr int kEBADF = 9;
inline constexpr int kEINVAL = 22;
inline constexpr int kEFBIG = 27;
inline constexpr int kESTALE = 70;
inline constexpr int kENOENT = 2;
}  // namespace macos

// The macOS number of the errno with the same name as the Linux errno
// `linuxErrno`; 5 (EIO) for a Linux errno that macOS does not have.
int macosErrno(int linuxErrno);

}  // namespace fileprobe
