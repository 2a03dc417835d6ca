// A whole file: open its container and decode every section it lists.
#include <stdexcept>

#include "SectionContainer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto container = dwg::container::openSectionContainer({data, size});
        for (const auto& entry : container->sections()) {
            const auto bytes = container->read(entry.name);
            if (bytes.size() > entry.size) __builtin_trap();
        }
    } catch (const std::runtime_error&) {
    }
    return 0;
}
