// Reading and validating an inspection request: one JSON array of at most
// 1,024 path strings, at most 1 MiB, read from a descriptor to its end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/inspection_limits.h"

namespace fileprobe {

inline constexpr std::string_view kRequestUnreadable = "검사 요청을 읽을 수 없어요.";
inline constexpr std::string_view kRequestTooLarge = "검사 요청은 1MiB 이하로 나누어 주세요.";
inline constexpr std::string_view kRequestMalformed =
    "검사 요청은 최대 1024개의 절대 경로 배열이어야 해요.";

struct InspectionRequest {
  std::vector<std::string> paths;
  std::optional<std::string_view> refusal;  // one of the messages above; none when accepted
};

// The paths of the request on `descriptor`, read to its end, or the reason
// it is refused. More than maximumRequestBytes is refused as soon as the
// byte after the limit arrives; nothing beyond it is ever held.
InspectionRequest readInspectionRequest(int descriptor);

}  // namespace fileprobe
