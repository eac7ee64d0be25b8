// Loading a shared module of the program's own at run time.
#pragma once

#include <string>

namespace fileprobe {

// The address of `symbol` in the module at `path`, loaded with every symbol
// bound at once and kept loaded for the rest of the process; nullptr when
// the module cannot be loaded or lacks the symbol.
void* moduleSymbol(const std::string& path, const char* symbol);

}  // namespace fileprobe
