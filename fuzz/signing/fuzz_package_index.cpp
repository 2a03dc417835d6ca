// Any bytes as each of the publisher's files and the program's record of
// what it took: refused with IndexError (or nullopt for the record), or read
// into what writes back to the very same bytes. The first byte picks the
// reader: the list's dates, the list, the root changes, the delegation, the
// record of what was taken.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "signing/PackageIndex.h"
#include "signing/Trust.h"

namespace {

template <typename Read, typename Write>
void roundTrip(std::string_view text, Read read, Write write) {
    try {
        if (write(read(text)) != text) std::abort();
    } catch (const signing::IndexError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 5) {
        case 0:
            if (const auto time = signing::parseTime(text))
                if (signing::formatTime(*time) != text) std::abort();
            break;
        case 1:
            roundTrip(text, signing::PackageIndex::parse, [](const signing::PackageIndex& index) {
                if (index.validity() && index.validity()->expires <= index.validity()->published)
                    std::abort();
                return index.format();
            });
            break;
        case 2:
            roundTrip(text, signing::parseRootLinks,
                      [](const std::vector<signing::RootLink>& links) {
                          if (links.size() > signing::kMaxRootLinks) std::abort();
                          return signing::formatRootLinks(links);
                      });
            break;
        case 3:
            roundTrip(text, signing::Delegation::parse,
                      [](const signing::Delegation& delegation) { return delegation.format(); });
            break;
        case 4: {
            // Whatever key: nothing but a chain that key signed is ever read.
            const signing::PublicKey key{};
            if (signing::readTaken(text, key)) std::abort();
            break;
        }
    }
    return 0;
}
