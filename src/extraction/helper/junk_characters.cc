#include "extraction/helper/junk_characters.h"

#include "formats/unicode.h"

namespace fileprobe {
namespace {

constexpr char32_t kLineFeed = 0x0A;
constexpr char32_t kTab = 0x09;
constexpr char32_t kLastC0 = 0x1F;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kLastC1 = 0x9F;
constexpr char32_t kPrivateUseFirst = 0xE000;
constexpr char32_t kPrivateUseLast = 0xF8FF;
constexpr char32_t kSupplementaryPrivateUseFirst = 0xF0000;  // planes 15 and 16
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char kSpace = ' ';
constexpr char kDeleteByte = 0x7F;

}  // namespace

bool isControlCode(char32_t codePoint) {
  if (codePoint == kLineFeed || codePoint == kTab) return false;
  return codePoint <= kLastC0 || (codePoint >= kDelete && codePoint <= kLastC1);
}

bool isJunkCodePoint(char32_t codePoint) {
  return isControlCode(codePoint) ||
         (codePoint >= kPrivateUseFirst && codePoint <= kPrivateUseLast) ||
         codePoint >= kSupplementaryPrivateUseFirst || codePoint == kReplacementCharacter;
}

std::string withoutJunk(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool afterJunk = false;  // junk was dropped since the last character kept
  bool afterSpace = true;  // the last character kept is white space, or none was
  for (std::size_t offset = 0; offset < text.size();) {
    const char byte = text[offset];
    if (!afterJunk && byte > kSpace && byte < kDeleteByte) {  // printable ASCII
      out += byte;
      afterSpace = false;
      ++offset;
      continue;
    }
    const Scalar scalar = scalarAt(text, offset);
    const std::string_view bytes = text.substr(offset, scalar.length);
    offset += scalar.length;
    if (isJunkCodePoint(scalar.codePoint)) {
      afterJunk = true;
      continue;
    }
    const bool space = isWhitespaceOrNewline(scalar.codePoint);
    // White space after junk that already follows white space would stand
    // doubled: a line or a gap that held only junk disappears.
    if (afterJunk && space && afterSpace) continue;
    if (afterJunk && !space && !afterSpace) out += ' ';
    afterJunk = false;
    afterSpace = space;
    out += bytes;
  }
  return out;
}

}  // namespace fileprobe
