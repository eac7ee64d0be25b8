// The Korean sentences the extraction job shows the user.
#pragma once

#include <string_view>

namespace fileprobe {

inline constexpr std::string_view kWarningNoFile = "인식할 파일을 확인할 수 없어요.";
inline constexpr std::string_view kWarningUnreadableOrTooLarge =
    "파일을 읽을 수 없거나 64MB보다 커서 파일명만 분석했어요.";
inline constexpr std::string_view kWarningUnreadablePdf =
    "잠겨 있거나 읽을 수 없는 PDF여서 파일명만 분석했어요.";
inline constexpr std::string_view kWarningUnreadableImage =
    "이미지를 읽을 수 없어 파일명만 분석했어요.";
inline constexpr std::string_view kWarningImageNotRecognised =
    "이미지의 글자를 인식하지 못해 파일명만 분석했어요.";
inline constexpr std::string_view kWarningImageRecognised =
    "이미지 첫 장의 글자를 인식했어요. OCR 결과에는 오인식이 있을 수 있어요.";
inline constexpr std::string_view kWarningFirstThreePages = "PDF 첫 3페이지만 분석했어요.";
inline constexpr std::string_view kWarningSomePagesFailed =
    "일부 페이지의 글자를 인식하지 못했어요.";
inline constexpr std::string_view kWarningOcrMayErr = "OCR 결과에는 오인식이 있을 수 있어요.";

}  // namespace fileprobe
