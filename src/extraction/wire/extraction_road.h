// Which reader a file goes to, chosen by the extension of its name.
#pragma once

#include <optional>
#include <string_view>

namespace fileprobe {

enum class Road { pdf, image };

// The PDF road for a final name component whose text after the last '.'
// is "pdf" in any letter case; the image road for anything else, no
// extension included.
Road roadForPath(std::string_view path);

// The word that tells the extraction helper which road to take, and the
// road a word names (nothing for any other word).
std::string_view roadWord(Road road);
std::optional<Road> roadOfWord(std::string_view word);

}  // namespace fileprobe
