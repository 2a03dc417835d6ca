// Any bytes as a package list: either refused with IndexError or read into a
// list that writes back to the very same bytes, dated in order when dated.
// The first byte picks the other reader: the list's dates alone.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "signing/PackageIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] & 1) {
        if (const auto time = signing::parseTime(text))
            if (signing::formatTime(*time) != text) std::abort();
        return 0;
    }
    try {
        const signing::PackageIndex index = signing::PackageIndex::parse(text);
        if (index.format() != text) std::abort();
        if (index.validity() && index.validity()->expires <= index.validity()->published)
            std::abort();
    } catch (const signing::IndexError&) {
    }
    return 0;
}
