#include "SectionContainer.h"

#include <dwg/Error.h>

#include <algorithm>
#include <string>

#include "ContainerError.h"

namespace dwg::container {

const SectionEntry* SectionContainer::find(std::string_view name) const {
    for (const SectionEntry& entry : entries_)
        if (entry.name == name) return &entry;
    return nullptr;
}

std::vector<std::uint8_t> SectionContainer::read(std::string_view name,
                                                 DamagedPages damaged) const {
    const SectionEntry* entry = find(name);
    if (entry == nullptr) throwDamaged("seção " + std::string(name) + " ausente");
    const std::uint64_t size = std::min(entry->size, entry->capacity);
    budget_.charge(size);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size), 0);
    const auto index = static_cast<std::size_t>(entry - entries_.data());
    for (std::size_t page = 0; page < entry->pageCount; ++page) {
        try {
            decodePage(index, page, data, damaged == DamagedPages::Fail);
        } catch (const Error& error) {
            if (damaged == DamagedPages::Fail || error.kind() == Error::Kind::TooLarge) throw;
        }
    }
    return data;
}

std::unique_ptr<SectionContainer> openSectionContainer(std::span<const std::uint8_t> file) {
    if (file.size() < 6) throwDamaged("arquivo curto demais");
    const std::string version(file.begin(), file.begin() + 6);
    if (version == "AC1021") return openR2007Container(file);
    if (version == "AC1018" || version == "AC1024" || version == "AC1027" || version == "AC1032")
        return openR2004Container(file);
    throwUnsupported("versão " + version);
}

}  // namespace dwg::container
