#include "inspect/inspection_request.h"

#include <algorithm>
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
  while (buffer.size() <= maximumRequestBytes) {
    const std::size_t length = buffer.size();
    const std::size_t ask = std::min(requestChunkBytes, kBufferLimit - length);
    makeRoom(buffer, length + ask);
    buffer.resize(length + ask);
    std::size_t got = 0;
    const int error =
        readSome(descriptor, std::as_writable_bytes(std::span(buffer).subspan(length)), got);
    buffer.resize(length + got);
    if (error != 0) return error;
    if (got == 0) break;
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
