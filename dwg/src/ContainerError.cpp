#include "ContainerError.h"

#include <dwg/Error.h>

namespace dwg::container {

void throwDamaged(const std::string& detail) {
    throw Error::damaged(detail);
}

void throwUnsupported(const std::string& detail) {
    throw Error(Error::Kind::UnsupportedVersion, "arquivo DWG não suportado: " + detail);
}

}  // namespace dwg::container
