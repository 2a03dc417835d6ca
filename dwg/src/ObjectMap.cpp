#include <unordered_set>

#include "BitReader.h"
#include "Crc.h"
#include "Sections.h"

namespace dwg::detail {

namespace {

// Whether a handle is listed for the first time. Handles grow through the map
// in every file seen; only a map that goes back needs a set of what it listed.
class FirstListing {
  public:
    explicit FirstListing(const ObjectMap& map) : map_(map) {}

    bool operator()(Handle handle) {
        if (handle > highest_) {
            highest_ = handle;
            if (indexed_) seen_.insert(handle);
            return true;
        }
        if (!indexed_) {
            for (const ObjectLocation& location : map_) seen_.insert(location.handle);
            indexed_ = true;
        }
        return seen_.insert(handle).second;
    }

  private:
    const ObjectMap& map_;
    Handle highest_ = 0;
    bool indexed_ = false;
    std::unordered_set<Handle> seen_;
};

}  // namespace

ObjectMap parseObjectMap(Bytes section, const FileContext& context) {
    ObjectMap map;
    FirstListing firstListing(map);
    std::size_t pageStart = 0;
    while (true) {
        if (pageStart + 2 > section.size()) throw Error::damaged("mapa de objetos truncado");
        // Page size and CRC are big-endian here, unlike the rest of the file.
        const std::size_t pageSize = std::size_t{section[pageStart]} << 8 | section[pageStart + 1];
        if (pageSize < 2 || pageStart + pageSize + 2 > section.size())
            throw Error::damaged("mapa de objetos truncado");
        const std::uint16_t stored = static_cast<std::uint16_t>(section[pageStart + pageSize] << 8 |
                                                                section[pageStart + pageSize + 1]);
        if (!crcMatches(section.subspan(pageStart, pageSize), stored))
            throw Error::damaged("CRC inválido no mapa de objetos");
        if (pageSize == 2) break;

        BitReader page(section.subspan(pageStart + 2, pageSize - 2));
        Handle handle = 0;
        std::int64_t offset = 0;
        while (!page.atEnd()) {
            // Handles only grow within a page: a zero step would list a handle again.
            const std::uint64_t step = page.unsignedModularChar();
            if (step == 0) throw Error::damaged("handle repetido no mapa de objetos");
            handle += step;
            offset += page.modularChar();
            if (offset < 0) throw Error::damaged("posição de objeto negativa");
            if (!firstListing(handle)) continue;  // a later page never replaces an earlier entry
            if (map.size() >= kMaxObjects) throw Error::damaged("objetos demais");
            // Room for the entry and for the vector's growth.
            context.charge(2, sizeof(ObjectLocation));
            map.push_back(ObjectLocation{handle, static_cast<std::uint64_t>(offset)});
        }
        pageStart += pageSize + 2;
    }
    return map;
}

}  // namespace dwg::detail
