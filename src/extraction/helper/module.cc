#include "extraction/helper/module.h"

#include <dlfcn.h>

namespace fileprobe {

void* moduleSymbol(const std::string& path, const char* symbol) {
  // Never closed: the module's code backs closures that live until exit.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return module ? ::dlsym(module, symbol) : nullptr;
}

}  // namespace fileprobe
