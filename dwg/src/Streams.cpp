#include "Streams.h"

#include <algorithm>

#include "Crc.h"

namespace dwg::detail {

std::string Streams::text(const FileContext& context) {
    // UTF-16 strings still carry \U+XXXX escapes that older copies of the text needed.
    std::string text = context.version >= Version::R2007
                           ? expandUnicodeEscapes(strings().unicodeText())
                       : context.text ? context.text->decode(data_.rawText())
                                      : data_.rawText();
    context.charge(text.size(), 1);
    return text;
}

void Streams::splitStrings(std::size_t endBit) {
    if (endBit == 0 || endBit > data_.endPosition())
        throw Error::damaged("fluxo de textos fora do objeto");
    BitReader probe = data_;
    const std::size_t flagBit = endBit - 1;
    probe.seek(flagBit);
    if (!probe.bit()) {
        data_.limit(flagBit);
        strings_ = BitReader(data_.bytes().first(0));
        return;
    }
    if (flagBit < 16) throw Error::damaged("fluxo de textos fora do objeto");
    probe.seek(flagBit - 16);
    std::size_t sizeAt = flagBit - 16;
    std::size_t size = static_cast<std::uint16_t>(probe.rawShort());
    if (size & 0x8000) {
        if (flagBit < 32) throw Error::damaged("fluxo de textos fora do objeto");
        sizeAt = flagBit - 32;
        probe.seek(sizeAt);
        const std::size_t high = static_cast<std::uint16_t>(probe.rawShort());
        size = (size & 0x7FFF) | (high << 15);
    }
    if (size > sizeAt || sizeAt - size < data_.position())
        throw Error::damaged("fluxo de textos fora do objeto");
    BitReader strings = data_;
    strings.seek(sizeAt - size);
    strings.limit(sizeAt);
    strings_ = strings;
    data_.limit(sizeAt - size);
}

FramedSection unframeSection(Bytes section, const Sentinel& start, const char* name,
                             const FileContext& context) {
    const std::string what = std::string("seção ") + name;
    if (section.size() < 16 + 4 + 2 + 16) throw Error::damaged(what + " truncada");
    if (!std::equal(start.begin(), start.end(), section.begin()))
        throw Error::damaged(what + " sem marca inicial");
    auto readLong = [&](std::size_t at) {
        return std::uint32_t{section[at]} | std::uint32_t{section[at + 1]} << 8 |
               std::uint32_t{section[at + 2]} << 16 | std::uint32_t{section[at + 3]} << 24;
    };
    const std::uint64_t size = readLong(16);
    auto endSentinelAt = [&](std::uint64_t at) {
        if (at + 16 > section.size()) return false;
        for (std::size_t i = 0; i < 16; ++i)
            if (section[at + i] != static_cast<std::uint8_t>(~start[i])) return false;
        return true;
    };
    std::size_t dataOffset = 20;
    // R2010+ may put another RL after the size; the end sentinel tells which layout this is.
    if (context.version >= Version::R2010 && !endSentinelAt(20 + size + 2) &&
        endSentinelAt(24 + size + 2))
        dataOffset = 24;
    if (size > section.size() || dataOffset + size + 2 > section.size())
        throw Error::damaged(what + " truncada");
    const std::size_t dataEnd = dataOffset + static_cast<std::size_t>(size);
    const std::uint16_t stored =
        static_cast<std::uint16_t>(section[dataEnd] | section[dataEnd + 1] << 8);
    if (!crcMatches(section.subspan(16, dataEnd - 16), stored))
        throw Error::damaged("CRC inválido na " + what);
    return FramedSection{section.subspan(dataOffset, static_cast<std::size_t>(size)), dataOffset};
}

}  // namespace dwg::detail
