#include "inspect/inspection_request.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "platform/fs.h"
#include "platform/json.h"

namespace fileprobe {
namespace {

// One byte beyond the limit is enough to know the request is too large.
constexpr std::size_t kBufferLimit = maximumRequestBytes + 1;

// Grows by doubling, capped so that the buffer never reserves more than it
// may hold (a vector reserves exactly what it is asked for).
void makeRoom(std::vector<char>& buffer, std::size_t wanted) {
  if (buffer.capacity() >= wanted) return;
  buffer.reserve(std::min(std::max(wanted, 2 * buffer.capacity()), kBufferLimit));
}

}  // namespace

int readRequestBytes(int descriptor, std::vector<char>& buffer) {
  buffer.clear();
  // Each block lands on the stack first, so that the buffer only ever
  // takes (and the process only ever touches) what actually arrived.
  std::array<std::byte, requestChunkBytes> block;
  while (buffer.size() <= maximumRequestBytes) {
    const std::size_t ask = std::min(requestChunkBytes, kBufferLimit - buffer.size());
    std::size_t got = 0;
    if (const int error = readSome(descriptor, std::span(block).first(ask), got); error != 0) {
      return error;
    }
    if (got == 0) break;
    makeRoom(buffer, buffer.size() + got);
    const char* bytes = reinterpret_cast<const char*>(block.data());
    buffer.insert(buffer.end(), bytes, bytes + got);
  }
  return 0;
}

InspectionRequest readInspectionRequest(int descriptor) {
  std::vector<char> bytes;
  if (readRequestBytes(descriptor, bytes) != 0) return {{}, kRequestUnreadable};
  if (bytes.size() > maximumRequestBytes) return {{}, kRequestTooLarge};
  std::optional<std::vector<std::string>> paths =
      parseStringArray(std::string_view(bytes.data(), bytes.size()), maximumRequestPaths);
  if (!paths) return {{}, kRequestMalformed};
  return {std::move(*paths), {}};
}

}  // namespace fileprobe
