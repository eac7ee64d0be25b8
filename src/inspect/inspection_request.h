// Reading and validating an inspection request: one JSON array of at most
// 1,024 path strings, at most 1 MiB, read from a descriptor to its end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fileprobe {

inline constexpr std::size_t maximumRequestBytes = 1048576;
inline constexpr std::size_t requestChunkBytes = 65536;
inline constexpr std::size_t maximumRequestPaths = 1024;

inline constexpr std::string_view kRequestUnreadable = "검사 요청을 읽을 수 없어요.";
inline constexpr std::string_view kRequestTooLarge = "검사 요청은 1MiB 이하로 나누어 주세요.";
inline constexpr std::string_view kRequestMalformed =
    "검사 요청은 최대 1024개의 절대 경로 배열이어야 해요.";

struct InspectionRequest {
  std::vector<std::string> paths;
  std::string_view refusal;  // one of the messages above; empty when accepted
};

// Reads `descriptor` to its end, or until it has given one byte more than
// maximumRequestBytes, into `buffer`; returns 0 or the errno of the failing
// read. The buffer never holds more than maximumRequestBytes + 1 bytes.
int readRequestBytes(int descriptor, std::vector<char>& buffer);

// The paths of the request on `descriptor`, or the reason it is refused.
InspectionRequest readInspectionRequest(int descriptor);

}  // namespace fileprobe
