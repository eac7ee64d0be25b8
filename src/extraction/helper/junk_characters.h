// Characters that carry no text: what a font without a usable Unicode map
// leaves in a page's text layer (private-use code points, U+FFFD, control
// codes), and what never reaches the caller from either road.
#pragma once

#include <string>
#include <string_view>

namespace fileprobe {

// Private use (U+E000-F8FF and planes 15-16), U+FFFD, and the C0 and C1
// control codes other than line feed and tab.
bool isJunkCodePoint(char32_t codePoint);

// The C0 and C1 control codes among them: raw glyph codes of a font that
// has no Unicode map at all, unlike private use, which a map chose.
bool isControlCode(char32_t codePoint);

// `text` without junk code points. A run of them between two characters
// that are not white space becomes one space, so that the words on either
// side stay apart; elsewhere the run is dropped, with the white space that
// would then stand doubled (a line of junk leaves no empty line). Bytes
// that are not valid UTF-8 count as U+FFFD.
std::string withoutJunk(std::string_view text);

}  // namespace fileprobe
