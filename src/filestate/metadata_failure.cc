#include "filestate/metadata_failure.h"

namespace fileprobe {

void failWith(int platformErrno) { throw MetadataFailure{platformErrno}; }

}  // namespace fileprobe
