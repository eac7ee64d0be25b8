#include "common/limits.h"

namespace fileprobe {

std::int64_t maximumCharacters = 0;
std::uint64_t maximumFileBytes = 0;

void setGlobalLimits() {
  maximumCharacters = 60000;
  maximumFileBytes = 67108864;
}

}  // namespace fileprobe
