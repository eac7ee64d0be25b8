// What code run in this process writes on standard output.
#pragma once

#include <functional>
#include <string>

namespace fileprobe::testing {

// What `write` puts on descriptor 1, caught in a temporary file.
std::string standardOutputOf(const std::function<void()>& write);

}  // namespace fileprobe::testing
