// The judgement of one inspected path: accepted as an ordinary file or
// folder with its hidden and readable attributes, or refused with the first
// reason that applies.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/json.h"
#include "inspect/inspection_limits.h"

namespace fileprobe {

inline constexpr std::string_view kNotAbsolute = "올바른 절대 경로가 아니에요.";
inline constexpr std::string_view kNotNormalised = "정규화된 절대 경로를 사용해 주세요.";
inline constexpr std::string_view kNoMetadata = "경로 메타데이터를 확인할 수 없어요.";
inline constexpr std::string_view kSymbolicLink = "심볼릭 링크 경로는 검사하지 않아요.";
inline constexpr std::string_view kParentNotFolder = "상위 경로가 폴더가 아니에요.";
inline constexpr std::string_view kNotFileOrFolder = "일반 파일 또는 폴더가 아니에요.";
inline constexpr std::string_view kLocked = "잠금 또는 추가 전용 속성이 있는 파일·폴더는 보호해요.";
inline constexpr std::string_view kNoResourceValues =
    "숨김 속성 또는 읽기 권한을 확인할 수 없어요.";
inline constexpr std::string_view kAlias = "Finder 별칭은 원래 위치에 보존해요.";
inline constexpr std::string_view kPackage = "앱 또는 패키지 폴더는 원래 위치에 보존해요.";
inline constexpr std::string_view kCloudNotDownloaded =
    "기기에 완전히 내려받지 않은 클라우드 파일은 제외해요.";
inline constexpr std::string_view kHiddenUnknown = "숨김 속성을 확인할 수 없어요.";
inline constexpr std::string_view kChangedDuringInspection = "검사 중 경로가 변경되었어요.";

// The entry for `path`: keys path (exactly as given), hidden, readable and,
// for a refused path, error. A refused entry has hidden and readable false.
// Only reads metadata; opens nothing and never fails.
ResultDictionary inspectPath(std::string path);

}  // namespace fileprobe
