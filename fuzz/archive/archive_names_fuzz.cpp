// Stored names are the part of an archive that decides where files land: no
// name may yield a path outside the destination, and every decoded name must
// be valid UTF-8 that the file system can take.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "archive/EntryNames.h"

namespace {

void requireInside(const std::filesystem::path& relative) {
    if (relative.empty() || relative.is_absolute() || relative.has_root_name() ||
        relative.has_root_directory())
        std::abort();
    for (const auto& component : relative)
        if (component == ".." || component == "." || component.empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool markedUtf8 = data[0] & 1;
    const bool madeOnUnix = data[0] & 2;
    const std::string_view raw(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string name = archive::decodeEntryName(raw, markedUtf8, madeOnUnix);
    if (name.find('\0') != std::string::npos && raw.find('\0') == std::string_view::npos)
        std::abort();
    for (const auto mode : {archive::PathMode::Flat, archive::PathMode::StoredPaths}) {
        if (const auto relative = archive::relativeTarget(name, mode)) {
            requireInside(*relative);
            if (mode == archive::PathMode::Flat &&
                std::distance(relative->begin(), relative->end()) != 1)
                std::abort();
        }
    }
    archive::matchesMask(name, raw);
    return 0;
}
