#include "formats/unicode.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

namespace fileprobe {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kAsciiEnd = 0x80;
constexpr char32_t kLastSpaceSeparator = 0x3000;  // the ideographic space; no Z above it

struct Decoded {
  utf8proc_int32_t codePoint;  // -1 for a byte that is not valid UTF-8
  std::size_t length;
};

Decoded decodeAt(std::string_view text, std::size_t offset) {
  utf8proc_int32_t codePoint = -1;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + offset);
  const utf8proc_ssize_t length =
      utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(text.size() - offset), &codePoint);
  if (length <= 0) return {-1, 1};
  return {codePoint, static_cast<std::size_t>(length)};
}

// Walks `text` cluster by cluster and returns the byte offset where the
// cluster numbered `maxCharacters` (0-based) would start, and the number of
// clusters before it.
std::pair<std::size_t, std::int64_t> clusterBoundary(std::string_view text,
                                                     std::int64_t maxCharacters) {
  if (text.empty() || maxCharacters <= 0) return {0, 0};
  utf8proc_int32_t state = 0;
  std::int64_t clusters = 1;
  Decoded previous = decodeAt(text, 0);
  std::size_t offset = previous.length;
  while (offset < text.size()) {
    const Decoded next = decodeAt(text, offset);
    const bool breaks =
        previous.codePoint < 0 || next.codePoint < 0 ||
        utf8proc_grapheme_break_stateful(previous.codePoint, next.codePoint, &state);
    if (breaks) {
      if (clusters == maxCharacters) return {offset, clusters};
      ++clusters;
      if (previous.codePoint < 0 || next.codePoint < 0) state = 0;
    }
    previous = next;
    offset += next.length;
  }
  return {text.size(), clusters};
}

bool isTrimmedCharacter(utf8proc_int32_t c) {
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
  const utf8proc_category_t category = utf8proc_category(c);
  return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
         category == UTF8PROC_CATEGORY_ZP;
}

// The code point that ends just before `end`, or -1.
Decoded decodeBefore(std::string_view text, std::size_t end) {
  for (std::size_t length = 1; length <= 4 && length <= end; ++length) {
    const std::size_t start = end - length;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) continue;
    const Decoded d = decodeAt(text, start);
    return d.length == length ? d : Decoded{-1, 1};
  }
  return {-1, 1};
}

}  // namespace

std::string_view firstCharacters(std::string_view text, std::int64_t maxCharacters) {
  return text.substr(0, clusterBoundary(text, maxCharacters).first);
}

std::int64_t countCharacters(std::string_view text, std::int64_t limit) {
  return clusterBoundary(text, limit).second;
}

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const Decoded d = decodeAt(text, begin);
    if (d.codePoint < 0 || !isTrimmedCharacter(d.codePoint)) break;
    begin += d.length;
  }
  std::size_t end = text.size();
  while (end > begin) {
    const Decoded d = decodeBefore(text, end);
    if (d.codePoint < 0 || !isTrimmedCharacter(d.codePoint)) break;
    end -= d.length;
  }
  return text.substr(begin, end - begin);
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t offset = 0; offset < text.size();) {
    const Decoded d = decodeAt(text, offset);
    if (d.codePoint < 0) return false;
    offset += d.length;
  }
  return true;
}

Scalar scalarAt(std::string_view text, std::size_t offset) {
  const auto byte = static_cast<unsigned char>(text[offset]);
  if (byte < kAsciiEnd) return {byte, 1};  // most text is ASCII: no table lookup
  const Decoded d = decodeAt(text, offset);
  if (d.codePoint < 0) return {kReplacementCharacter, 1};
  return {static_cast<char32_t>(d.codePoint), d.length};
}

bool isWhitespaceOrNewline(char32_t codePoint) {
  if (codePoint < kAsciiEnd) return codePoint == ' ' || (codePoint >= '\t' && codePoint <= '\r');
  if (codePoint > kLastSpaceSeparator) return false;  // Hangul, ideographs: no table lookup
  return isTrimmedCharacter(static_cast<utf8proc_int32_t>(codePoint));
}

bool isLetter(char32_t codePoint) {
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(codePoint))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO: return true;
    default: return false;
  }
}

char32_t foldedBaseLetter(char32_t codePoint) {
  if (codePoint < kAsciiEnd) {
    return codePoint >= 'A' && codePoint <= 'Z' ? codePoint - 'A' + 'a' : codePoint;
  }
  // Room for the longest canonical decomposition of one code point.
  constexpr utf8proc_ssize_t kDecompositionRoom = 4;
  utf8proc_int32_t decomposed[kDecompositionRoom] = {};
  int boundaryClass = 0;
  const utf8proc_ssize_t length =
      utf8proc_decompose_char(static_cast<utf8proc_int32_t>(codePoint), decomposed,
                              kDecompositionRoom, UTF8PROC_DECOMPOSE, &boundaryClass);
  const bool decomposes = length >= 1 && length <= kDecompositionRoom;
  const utf8proc_int32_t base =
      decomposes ? decomposed[0] : static_cast<utf8proc_int32_t>(codePoint);
  return static_cast<char32_t>(utf8proc_tolower(base));
}

std::optional<std::u32string> canonicalScalars(std::string_view text) {
  if (!isValidUtf8(text)) return std::nullopt;
  utf8proc_uint8_t* composed = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                   static_cast<utf8proc_ssize_t>(text.size()), &composed, UTF8PROC_COMPOSE);
  if (length < 0) return std::nullopt;
  const std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> owner(composed, &std::free);
  std::u32string scalars;
  const std::string_view view(reinterpret_cast<const char*>(composed),
                              static_cast<std::size_t>(length));
  for (std::size_t offset = 0; offset < view.size();) {
    const Decoded d = decodeAt(view, offset);
    scalars.push_back(static_cast<char32_t>(d.codePoint));
    offset += d.length;
  }
  return scalars;
}

}  // namespace fileprobe
