#include "inspect/inspection_request.h"

#include <optional>

#include "common/bounded_read.h"
#include "formats/json.h"

namespace fileprobe {

InspectionRequest readInspectionRequest(int descriptor) {
  const ErrnoOr<std::string> bytes = readToEndBounded(descriptor, maximumRequestBytes);
  if (!bytes) return {{}, kRequestUnreadable};
  if (bytes->size() > maximumRequestBytes) return {{}, kRequestTooLarge};
  std::optional<std::vector<std::string>> paths = parseStringArray(*bytes, maximumRequestPaths);
  if (!paths) return {{}, kRequestMalformed};
  return {std::move(*paths), {}};
}

}  // namespace fileprobe
