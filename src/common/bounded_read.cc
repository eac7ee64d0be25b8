#include "common/bounded_read.h"

#include <algorithm>
#include <array>
#include <span>

#include "platform/fs.h"

namespace fileprobe {
namespace {

constexpr std::size_t kBlockBytes = 65536;

// Grows by doubling, capped so that the buffer never reserves more than it
// may hold. A string that grows in place may round its new capacity up to
// twice the old one, past the cap; a fresh string reserves what it is asked.
void makeRoom(std::string& buffer, std::size_t wanted, std::size_t cap) {
  if (buffer.capacity() >= wanted) return;
  std::string bigger;
  bigger.reserve(std::min(std::max(wanted, 2 * buffer.capacity()), cap));
  bigger.append(buffer);
  buffer.swap(bigger);
}

}  // namespace

ErrnoOr<std::string> readToEndBounded(int descriptor, std::size_t limit,
                                      std::size_t expectedBytes) {
  std::string out;
  // One byte beyond the limit is enough to know the input is too large.
  const std::size_t cap = limit + 1;
  if (expectedBytes > 0 && expectedBytes <= limit) makeRoom(out, expectedBytes + 1, cap);
  // Each block lands on the stack first, so that the buffer only ever
  // takes (and the process only ever touches) what actually arrived.
  std::array<std::byte, kBlockBytes> block;
  while (out.size() <= limit) {
    const std::size_t ask = std::min(kBlockBytes, cap - out.size());
    const ErrnoOr<std::size_t> got = readSome(descriptor, std::span(block).first(ask));
    if (!got) return got.failure();
    if (*got == 0) break;
    makeRoom(out, out.size() + *got, cap);
    out.append(reinterpret_cast<const char*>(block.data()), *got);
  }
  return out;
}

}  // namespace fileprobe
