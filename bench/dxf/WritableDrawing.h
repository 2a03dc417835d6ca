// What the benchmarks write: a sample drawing without the entities the DXF
// writer refuses to guess at (those the reader did not decode, and ACIS data
// in the other version's form), as the conversion before the writer drops or
// turns them.
#pragma once

#include <dwg/Drawing.h>

#include <algorithm>
#include <string_view>

namespace benchsupport {

// Returns how many entities were dropped.
inline int dropUnwritable(dwg::Drawing& drawing, dwg::Version version) {
    int dropped = 0;
    for (dwg::Block& block : drawing.blocks) {
        dropped += static_cast<int>(std::erase_if(block.entities, [&](const dwg::Entity& e) {
            if (std::holds_alternative<dwg::Unsupported>(e.data) ||
                std::holds_alternative<dwg::ProxyGraphics>(e.data))
                return true;
            const auto* acis = std::get_if<dwg::AcisData>(&e.data);
            if (!acis || acis->bytes.empty()) return false;
            const std::string_view start(reinterpret_cast<const char*>(acis->bytes.data()),
                                         std::min<std::size_t>(acis->bytes.size(), 15));
            const bool sab = start.starts_with("ACIS BinaryFile") || start.starts_with("ASM BinaryFile");
            return sab != (version == dwg::Version::R2018);
        }));
    }
    return dropped;
}

}  // namespace benchsupport
