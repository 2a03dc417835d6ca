#include "Sections.h"
#include "Streams.h"

namespace dwg::detail {
namespace {

constexpr Sentinel kClassesStart = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                    0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};

constexpr int kEntityClassId = 0x1F2;
constexpr int kFirstClassNumber = 500;

ClassDef readClass(Streams& streams, const FileContext& context) {
    BitReader& data = streams.data();
    ClassDef item;
    item.number = data.bitShort();
    item.proxyFlags = data.bitShort();
    item.applicationName = streams.text(context);
    item.cppName = streams.text(context);
    item.dxfName = streams.text(context);
    item.wasZombie = data.bit();
    item.isEntity = data.bitShort() == kEntityClassId;
    if (context.version >= Version::R2004) {
        data.bitLong();  // instance count
        data.bitLong();  // DWG version
        data.bitLong();  // maintenance version
        data.bitLong();
        data.bitLong();
    }
    if (item.number < kFirstClassNumber) throw Error::damaged("número de classe inválido");
    context.charge(1, sizeof(ClassTable::value_type) + 4 * sizeof(void*));  // with the tree node
    return item;
}

}  // namespace

ClassTable parseClasses(Bytes section, const FileContext& context) {
    const FramedSection framed = unframeSection(section, kClassesStart, "de classes", context);
    Streams streams{BitReader(framed.data)};
    ClassTable table;
    if (context.version < Version::R2004) {
        // Records run to the end of the data; only padding bits may be left over.
        while (streams.data().remainingBits() >= 8) {
            ClassDef item = readClass(streams, context);
            table[item.number] = std::move(item);
        }
        return table;
    }
    BitReader& data = streams.data();
    if (context.version >= Version::R2007) {
        const std::size_t countPosition = data.position();
        const auto bitCount = static_cast<std::uint32_t>(data.rawLong());
        const std::size_t handlesStart = countPosition + bitCount;
        if (handlesStart > data.endPosition()) throw Error::damaged("tamanho de classes inválido");
        streams.splitStrings(handlesStart);
    }
    const int highestNumber = data.bitShort();
    data.rawChar();
    data.rawChar();
    data.bit();
    if (highestNumber >= kFirstClassNumber)
        data.requireItems(highestNumber - kFirstClassNumber + 1, 10, "classes");
    for (int expected = kFirstClassNumber; expected <= highestNumber; ++expected) {
        ClassDef item = readClass(streams, context);
        table[item.number] = std::move(item);
    }
    return table;
}

}  // namespace dwg::detail
