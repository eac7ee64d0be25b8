// The answer of text extraction, in one place for both processes: the
// helper makes it and writes it on its standard output (answerBytes), the
// job reads it back (parseAnswer) and writes it as the run's result line
// (emit). The methods and every sentence shown to the user are here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "extraction/wire/extraction_road.h"

namespace fileprobe {

// How the text was found: the PDF's text layer, recognition, or none at all
// (the caller falls back on the file's name).
enum class Method { text, ocr, filename };

// The Korean sentences the extraction job shows the user.
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

// Written when the result cannot be serialised: empty text, method
// "filename", no warning.
inline constexpr std::string_view kExtractionFallbackLine = R"({"text":"","method":"filename"})";

struct ExtractionAnswer {
  std::string text;
  Method method = Method::filename;
  std::optional<std::string> warning;
  bool operator==(const ExtractionAnswer&) const = default;
};

ExtractionAnswer filenameAnswer(std::string_view warning);

// The warning when the file cannot be read on `road` at all.
std::string_view cannotReadWarning(Road road);

// The bytes the helper writes, with the text cut to kMaximumCharacters
// user-perceived characters (the one place the text is cut); nothing when
// the text is not valid UTF-8.
std::optional<std::string> answerBytes(const ExtractionAnswer& answer);

// The answer in `bytes` when they hold exactly one object with a string
// `text` of at most kMaximumCharacters, a `method` naming one of the three,
// an optional string `warning` and no other member; nothing for anything
// else.
std::optional<ExtractionAnswer> parseAnswer(std::string_view bytes);

// Writes {"text","method"[,"warning"]} as the run's one line. An absent
// warning leaves the key out; an empty one is written.
void emit(const ExtractionAnswer& answer);

}  // namespace fileprobe
