// Hand-made object data: an object map section, an R2004 LWPOLYLINE record
// whose counts the test chooses for the tests of hostile files, and object
// records of any kind, framed as each version does, read as an object section.
#pragma once

#include <dwg/Version.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "BitWriter.h"
#include "Crc.h"
#include "Sections.h"

namespace testsupport {

// An object map section of one page (and the empty closing page), from
// (handle step, offset step) pairs as the map stores them.
inline std::vector<std::uint8_t> objectMapSection(
    const std::vector<std::pair<std::uint64_t, std::int64_t>>& steps) {
    std::vector<std::uint8_t> page = {0, 0};
    auto modular = [&](std::uint64_t value, bool isSigned, bool negative) {
        for (;;) {
            if (value < (isSigned ? 0x40u : 0x80u)) {
                page.push_back(static_cast<std::uint8_t>(value | (negative ? 0x40 : 0)));
                return;
            }
            page.push_back(static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
            value >>= 7;
        }
    };
    for (const auto& [handleStep, offsetStep] : steps) {
        modular(handleStep, false, false);
        modular(static_cast<std::uint64_t>(offsetStep < 0 ? -offsetStep : offsetStep), true,
                offsetStep < 0);
    }
    page[0] = static_cast<std::uint8_t>(page.size() >> 8);
    page[1] = static_cast<std::uint8_t>(page.size());
    auto appendCrc = [](std::vector<std::uint8_t>& bytes, std::size_t from) {
        const std::uint16_t crc = dwg::detail::crc16(
            std::span<const std::uint8_t>(bytes.data() + from, bytes.size() - from));
        bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
        bytes.push_back(static_cast<std::uint8_t>(crc));
    };
    appendCrc(page, 0);
    const std::size_t closingPage = page.size();
    page.push_back(0);
    page.push_back(2);
    appendCrc(page, closingPage);
    return page;
}

// The common data of an R2004 model-space entity with no colour, linetype or
// plot style of its own; its handles are its layer's alone.
inline void modelSpaceEntityData(BitWriter& data) {
    data.bit(false);   // no proxy graphics
    data.bits(2, 2);   // model space
    data.bits(2, 2);   // no reactors
    data.bit(true);    // no extension dictionary
    data.bits(2, 2);   // colour 0
    data.bits(1, 2);   // linetype scale 1.0
    data.bits(0, 4);   // linetype and plot style by layer
    data.bits(2, 2);   // visible
    data.rawChar(29);  // lineweight by layer
}

// An R2004 model-space LWPOLYLINE record (MS size, data, CRC) of `dataBytes`
// bytes that states `pointCount` points: the first one raw, the others all
// "same as before" (4 bits each), zero bits up to the end. When `complete` is
// false only the record's first bytes are returned, as where a file claims
// a record larger than itself.
inline std::vector<std::uint8_t> lwPolylineRecord(std::uint32_t handle, std::uint32_t pointCount,
                                                  std::uint32_t dataBytes, bool complete) {
    BitWriter data;
    data.bits(1, 2).rawChar(77);                                  // type: BS as one byte
    data.rawLong(static_cast<std::int32_t>(dataBytes * 8 - 16));  // handle stream start
    data.handle(0, handle);
    data.bits(2, 2);  // no extended data
    modelSpaceEntityData(data);
    data.bits(2, 2);  // polyline flags 0
    data.bitLong(static_cast<std::int32_t>(pointCount));
    data.rawDouble(0).rawDouble(0);  // first point
    std::vector<std::uint8_t> bytes = data.bytes();
    if (complete) bytes.resize(dataBytes, 0);  // the other points, then the layer handle 0
    // MS size in two 15-bit words, the first flagged "more follows".
    const std::uint32_t low = (dataBytes & 0x7FFF) | 0x8000;
    const std::uint32_t high = dataBytes >> 15;
    std::vector<std::uint8_t> record = {
        static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(low >> 8),
        static_cast<std::uint8_t>(high), static_cast<std::uint8_t>(high >> 8)};
    record.insert(record.end(), bytes.begin(), bytes.end());
    if (complete) {
        const std::uint16_t crc = dwg::detail::crc16(record);
        record.push_back(static_cast<std::uint8_t>(crc));
        record.push_back(static_cast<std::uint8_t>(crc >> 8));
    }
    return record;
}

// One object record as `version` (R2000 and later) frames it: MS size,
// (R2010+) handle-stream size, type, (before R2010) handle-stream offset, own
// handle, no extended data, then `data` (from the common object or entity
// data on), (R2007+) `strings` with their size and flag, `handles`, CRC.
inline std::vector<std::uint8_t> objectRecord(dwg::Version version, int type, std::uint64_t handle,
                                              const BitWriter& data, const BitWriter& strings,
                                              const BitWriter& handles) {
    const bool r2010 = version >= dwg::Version::R2010;
    BitWriter afterType;
    afterType.handle(0, handle).bits(2, 2);  // own handle, no extended data
    afterType.append(data);
    if (version >= dwg::Version::R2007) {
        afterType.append(strings);
        if (strings.bitCount() > 0)
            afterType.rawShort(static_cast<std::int16_t>(strings.bitCount()));
        afterType.bit(strings.bitCount() > 0);
    }
    BitWriter body;
    if (r2010) {
        if (type < 0x100)
            body.bits(0, 2).rawChar(static_cast<std::uint8_t>(type));
        else
            body.bits(2, 2).rawShort(static_cast<std::int16_t>(type));
    } else {
        body.bitShort(static_cast<std::int16_t>(type));
        const std::size_t handleStreamAt = body.bitCount() + 32 + afterType.bitCount();
        body.rawLong(static_cast<std::int32_t>(handleStreamAt));
    }
    body.append(afterType);
    const std::size_t handleStreamAt = body.bitCount();
    body.append(handles);
    const std::vector<std::uint8_t>& bytes = body.bytes();
    std::vector<std::uint8_t> record = {static_cast<std::uint8_t>(bytes.size()),
                                        static_cast<std::uint8_t>(bytes.size() >> 8)};
    if (r2010) {
        for (std::uint64_t bits = bytes.size() * 8 - handleStreamAt;; bits >>= 7) {
            record.push_back(static_cast<std::uint8_t>((bits & 0x7F) | (bits > 0x7F ? 0x80 : 0)));
            if (bits <= 0x7F) break;
        }
    }
    record.insert(record.end(), bytes.begin(), bytes.end());
    const std::uint16_t crc = dwg::detail::crc16(record);
    record.push_back(static_cast<std::uint8_t>(crc));
    record.push_back(static_cast<std::uint8_t>(crc >> 8));
    return record;
}

// The common object data of `version` before an object's own fields: no
// reactors, no extension dictionary.
inline BitWriter commonObjectData(dwg::Version version) {
    BitWriter data;
    data.bits(2, 2);                                      // reactors: 0
    if (version >= dwg::Version::R2004) data.bit(true);   // no extension dictionary
    if (version >= dwg::Version::R2013) data.bit(false);  // no data-store data
    return data;
}

// Object records laid end to end with their map: the object section of a
// file of `version`, read with the classes given.
struct ObjectSection {
    dwg::Version version;
    std::vector<std::uint8_t> bytes;
    dwg::detail::ObjectMap map;
    dwg::detail::ClassTable classes;

    void add(int type, std::uint64_t handle, const BitWriter& data, const BitWriter& strings,
             const BitWriter& handles) {
        map.push_back({handle, bytes.size()});
        const auto record = objectRecord(version, type, handle, data, strings, handles);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    void addClass(int number, const std::string& dxfName, bool isEntity) {
        dwg::detail::ClassDef& klass = classes[number];
        klass.number = number;
        klass.dxfName = dxfName;
        klass.isEntity = isEntity;
    }
    dwg::Drawing read() const {
        const dwg::detail::FileContext context{version, 30, nullptr};
        return dwg::detail::parseObjects(bytes, map, classes, {}, context);
    }
};

}  // namespace testsupport
