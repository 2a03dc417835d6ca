#include "BitReader.h"
#include "Containers.h"
#include "Crc.h"

namespace dwg::detail {
namespace {

enum LocatorNumber { kHeaderSection = 0, kClassesSection = 1, kObjectMapSection = 2 };

struct Locator {
    bool present = false;
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
};

constexpr std::size_t kRecordsOffset = 0x19;
constexpr std::size_t kRecordSize = 9;

Bytes sectionBytes(Bytes file, const Locator& locator, const char* name) {
    if (!locator.present) throw Error::damaged(std::string("seção ") + name + " ausente");
    if (locator.seeker > file.size() || locator.size > file.size() - locator.seeker)
        throw Error::damaged(std::string("seção ") + name + " fora do arquivo");
    return file.subspan(locator.seeker, locator.size);
}

}  // namespace

Drawing readLocatorFile(Bytes file, Version version) {
    if (file.size() < kRecordsOffset + 2) throw Error::damaged("cabeçalho do arquivo truncado");
    BitReader header(file);
    header.seek(0x13 * 8);
    const int codePage = static_cast<std::uint16_t>(header.rawShort());
    const auto recordCount = static_cast<std::uint32_t>(header.rawLong());
    if (recordCount > 64) throw Error::damaged("número de seções inválido");
    const std::size_t recordsEnd = kRecordsOffset + std::size_t{recordCount} * kRecordSize;
    if (recordsEnd + 2 > file.size()) throw Error::damaged("cabeçalho do arquivo truncado");

    Locator locators[3];
    for (std::uint32_t i = 0; i < recordCount; ++i) {
        const unsigned number = header.rawChar();
        const auto seeker = static_cast<std::uint32_t>(header.rawLong());
        const auto size = static_cast<std::uint32_t>(header.rawLong());
        if (number < 3) locators[number] = Locator{true, seeker, size};
    }
    const auto storedCrc = static_cast<std::uint16_t>(header.rawShort());
    if (!crcMatches(file.first(recordsEnd), storedCrc))
        throw Error::damaged("CRC inválido no cabeçalho do arquivo");

    const TextDecoder text(codePage);
    MemoryBudget budget(file.size());
    FileContext context;
    context.version = version;
    context.codePage = codePage;
    context.text = &text;
    context.budget = &budget;

    const HeaderVariables variables =
        parseHeaderVariables(sectionBytes(file, locators[kHeaderSection], "de variáveis"), context);
    const ClassTable classes =
        parseClasses(sectionBytes(file, locators[kClassesSection], "de classes"), context);
    const ObjectMap map =
        parseObjectMap(sectionBytes(file, locators[kObjectMapSection], "de handles"), context);
    return parseObjects(file, map, classes, variables, context);
}

}  // namespace dwg::detail
