#include "ContainerError.h"

#include <stdexcept>

namespace dwg::container {

void throwDamaged(const std::string& detail) {
    throw std::runtime_error("arquivo DWG danificado: " + detail);
}

void throwUnsupported(const std::string& detail) {
    throw std::runtime_error("arquivo DWG não suportado: " + detail);
}

}  // namespace dwg::container
