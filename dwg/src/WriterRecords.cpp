// Pieces every object record shares: framing, common object and entity data,
// and the code-page form of strings.
#include "Crc.h"
#include "Text.h"
#include "WriterModel.h"

namespace dwg::detail {

std::string encodeText(std::string_view utf8) {
    // Without a system converter the encoder holds no state, so one serves every thread.
    static const TextEncoder windows1252(kWriterCodePage);
    return windows1252.encode(utf8);
}

std::u16string utf16Text(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

void RecordStreams::text(std::string_view utf8) {
    if (version_ >= Version::R2007)
        strings_.unicodeText(utf16Text(utf8));
    else
        data_.text(encodeText(utf8));
}

void RecordStreams::color(const Color& color) {
    if (version_ < Version::R2004) {
        data_.bitShort(colorIndex(color));
        return;
    }
    data_.bitShort(0);
    data_.bitLong(static_cast<std::int32_t>(colorValue(color)));
    data_.rawChar(0);  // no colour or book name
}

BitWriter RecordStreams::takeBeforeHandles() {
    BitWriter out = std::move(data_);
    data_ = BitWriter();
    if (version_ < Version::R2007) return out;
    // The strings, their size in bits, and a flag saying whether there are any.
    const std::size_t size = strings_.position();
    if (size == 0) {
        out.bit(false);
        return out;
    }
    out.append(std::move(strings_));
    strings_ = BitWriter();
    if (size >= 0x8000) {
        out.rawShort(static_cast<std::int16_t>(size >> 15));
        out.rawShort(static_cast<std::int16_t>((size & 0x7FFF) | 0x8000));
    } else {
        out.rawShort(static_cast<std::int16_t>(size));
    }
    out.bit(true);
    return out;
}

std::int16_t colorIndex(const Color& color) {
    switch (color.kind) {
        case Color::Kind::ByBlock:
            return 0;
        case Color::Kind::Index:
            return static_cast<std::int16_t>(color.index);
        default:
            return kColorByLayer;
    }
}

std::uint32_t colorValue(const Color& color) {
    switch (color.kind) {
        case Color::Kind::ByLayer:
            return 0xC0000000;
        case Color::Kind::ByBlock:
            return 0xC1000000;
        case Color::Kind::True:
            return 0xC2000000 | (color.rgb & 0xFFFFFF);
        case Color::Kind::Index:
            break;
    }
    return 0xC3000000 | static_cast<std::uint32_t>(color.index & 0xFF);
}

ObjectEncoder::ObjectEncoder(Version version, int type, Handle handle) : RecordStreams(version) {
    BitWriter& d = data();
    if (version >= Version::R2010) {
        if (type < 0x100) {
            d.twoBits(0);
            d.rawChar(static_cast<std::uint8_t>(type));
        } else if (type >= 0x1F0 && type < 0x2F0) {
            d.twoBits(1);
            d.rawChar(static_cast<std::uint8_t>(type - 0x1F0));
        } else {
            d.twoBits(2);
            d.rawShort(static_cast<std::int16_t>(type));
        }
    } else {
        d.bitShort(static_cast<std::int16_t>(type));
        sizeFieldBit_ = d.position();
        d.rawLong(0);  // where the handle stream starts, known at the end
    }
    d.handle(Ref::Own, handle);
    d.bitShort(0);  // no extended data
}

std::vector<std::uint8_t> ObjectEncoder::finish() {
    BitWriter all = takeBeforeHandles();
    const std::size_t handleStreamStart = all.position();
    all.append(std::move(handles()));
    std::vector<std::uint8_t> body = all.take();
    std::vector<std::uint8_t> record;
    record.reserve(body.size() + 8);
    appendModularShort(record, static_cast<std::uint32_t>(body.size()));
    if (version() >= Version::R2010) {
        appendUnsignedModularChar(record, body.size() * 8 - handleStreamStart);
    } else {
        patchRawLong(body, sizeFieldBit_, static_cast<std::int32_t>(handleStreamStart));
    }
    record.insert(record.end(), body.begin(), body.end());
    appendRawShort(record, crc16(record));
    return record;
}

void beginObject(ObjectEncoder& object, Handle owner, const std::vector<Handle>& reactors) {
    object.data().bitLong(static_cast<std::int32_t>(reactors.size()));
    if (object.version() >= Version::R2004) object.data().bit(true);  // no extension dictionary
    if (object.version() >= Version::R2013) object.data().bit(false);  // no data-store data
    object.handles().handle(Ref::SoftPointer, owner);
    for (Handle reactor : reactors) object.handles().handle(Ref::SoftPointer, reactor);
    if (object.version() < Version::R2004)
        object.handles().handle(Ref::HardOwner, 0);  // no extension dictionary
}

void writeDefaultLighting(RecordStreams& streams) {
    if (streams.version() < Version::R2007) return;
    BitWriter& d = streams.data();
    d.bit(true);     // default lights
    d.rawChar(1);    // one distant light
    d.bitDouble(0);  // brightness
    d.bitDouble(0);  // contrast
    streams.color(Color::fromIndex(250));  // ambient light
}

void beginTableEntry(ObjectEncoder& object, Handle control, std::string_view name) {
    beginObject(object, control, {});
    object.text(name);
    if (object.version() >= Version::R2007) {
        object.data().bitShort(0x40);  // referenced; not from an external reference
    } else {
        object.data().bit(true);    // referenced
        object.data().bitShort(0);  // not from an external reference
        object.data().bit(false);   // not dependent on one either
    }
    object.handles().handle(Ref::HardPointer, 0);  // external reference block
}

void beginEntity(ObjectEncoder& object, const EntityFrame& frame) {
    const Version v = object.version();
    BitWriter& d = object.data();
    d.bit(false);  // no proxy graphics
    d.twoBits(static_cast<unsigned>(frame.mode));
    d.bitLong(0);  // reactors
    if (v >= Version::R2004) d.bit(true);    // no extension dictionary
    if (v >= Version::R2013) d.bit(frame.dataStore);
    if (v <= Version::R2000) d.bit(false);   // previous and next entity are given below
    if (v >= Version::R2004) {
        if (frame.color.kind == Color::Kind::True) {
            d.bitShort(static_cast<std::int16_t>(0x8000));
            d.bitLong(static_cast<std::int32_t>(colorValue(frame.color)));
        } else {
            d.bitShort(colorIndex(frame.color));
        }
    } else {
        d.bitShort(colorIndex(frame.color));
    }
    d.bitDouble(frame.linetypeScale);
    d.twoBits(frame.linetypeFlags);
    d.twoBits(0);  // plot style by layer
    if (v >= Version::R2007) {
        d.twoBits(0);  // material by layer
        d.rawChar(0);  // casts and receives shadows
    }
    if (v >= Version::R2010) d.bits(0, 3);  // no visual styles of its own
    d.bitShort(frame.invisible ? 1 : 0);
    d.rawChar(frame.lineweight);

    BitWriter& h = object.handles();
    if (frame.mode == 0) h.handle(Ref::SoftPointer, frame.owner);
    if (v < Version::R2004) {
        h.handle(Ref::HardOwner, 0);  // no extension dictionary
        h.handle(Ref::SoftPointer, frame.previous);
        h.handle(Ref::SoftPointer, frame.next);
    }
    h.handle(Ref::HardPointer, frame.layer);
    if (frame.linetypeFlags == 3) h.handle(Ref::HardPointer, frame.linetype);
}

EntityFrame blockEntityFrame(const PlannedBlock& block, Handle layer) {
    EntityFrame frame;
    switch (block.space) {
        case Space::Model:
            frame.mode = 2;
            break;
        case Space::Paper:
            frame.mode = 1;
            break;
        case Space::Block:
        case Space::OtherLayout:
            frame.mode = 0;
            frame.owner = block.header;
            break;
    }
    frame.layer = layer;
    return frame;
}

}  // namespace dwg::detail
