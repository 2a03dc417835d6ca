// SAB binary: tagged values, little-endian. A record's name comes as name
// parts (tag 0x0E, joined with '-') and a last part (0x0D); tag 0x11 ends it.
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "Records.h"

namespace acis::detail {
namespace {

constexpr std::string_view kSignatures[] = {"ACIS BinaryFile", "ASM BinaryFile4"};
constexpr std::size_t kSignatureSize = 15;

enum Tag : std::uint8_t {
    kChar = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kFloat = 0x05,
    kDouble = 0x06,
    kShortText = 0x07,
    kText = 0x08,
    kSecond = 0x0A,  // the second of a two-way choice: reversed, double-sided...
    kFirst = 0x0B,   // the first: forward, single-sided...
    kPointer = 0x0C,
    kName = 0x0D,
    kNamePart = 0x0E,
    kOpen = 0x0F,
    kClose = 0x10,
    kEnd = 0x11,
    kLongText = 0x12,
    kPosition = 0x13,
    kVector = 0x14,
    kEnum = 0x15,
    kParameterPair = 0x16,  // two doubles: a point in a surface's parameters
    kLongInteger = 0x17,    // eight bytes
};

class BinaryReader {
  public:
    explicit BinaryReader(std::span<const std::uint8_t> bytes) : b_(bytes) {}

    RecordFile read() {
        at_ = kSignatureSize;
        RecordFile file;
        file.version = static_cast<int>(raw32());
        raw32();  // records
        raw32();  // bodies
        raw32();  // flags
        for (int i = 0; i < 3; ++i) expect(kShortText, "cabeçalho"), text(byte());
        for (int i = 0; i < 3; ++i) expect(kDouble, "cabeçalho"), real();
        std::string name;
        Record record;
        bool named = false;
        while (true) {
            const std::uint8_t tag = byte();
            if (!named) {
                if (tag == kNamePart) {
                    name += text(byte());
                    name += '-';
                    continue;
                }
                if (tag != kName) throw Error("dados ACIS binários: nome de registro esperado");
                name += text(byte());
                if (name.starts_with("End-of-") || name.starts_with("Begin-of-")) break;
                names_.push_back(std::move(name));
                name.clear();
                named = true;
                continue;
            }
            if (tag == kEnd) {
                if (file.records.size() >= kMaxRecords) throw Error("dados ACIS com registros demais");
                file.records.push_back(std::move(record));
                record = Record{};
                named = false;
                continue;
            }
            value(tag, record.values);
        }
        // Names are kept apart so that their storage does not move while records refer to it.
        for (std::size_t i = 0; i < file.records.size(); ++i) file.records[i].name = names_[i];
        file.names = std::move(names_);
        return file;
    }

  private:
    std::uint8_t byte() {
        if (at_ >= b_.size()) throw Error("dados ACIS binários truncados");
        return b_[at_++];
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        if (n > b_.size() - at_) throw Error("dados ACIS binários truncados");
        const auto s = b_.subspan(at_, n);
        at_ += n;
        return s;
    }
    std::uint32_t raw32() {
        const auto s = take(4);
        return std::uint32_t{s[0]} | std::uint32_t{s[1]} << 8 | std::uint32_t{s[2]} << 16 |
               std::uint32_t{s[3]} << 24;
    }
    std::uint64_t raw64() {
        const auto s = take(8);
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = bits << 8 | s[static_cast<std::size_t>(i)];
        return bits;
    }
    double real() {
        const double value = std::bit_cast<double>(raw64());
        if (!std::isfinite(value)) throw Error("dados ACIS binários: número inválido");
        return value;
    }
    std::string_view text(std::size_t n) {
        const auto s = take(n);
        return {reinterpret_cast<const char*>(s.data()), s.size()};
    }
    void expect(std::uint8_t tag, const char* what) {
        if (byte() != tag) throw Error(std::string("dados ACIS binários: marca inesperada em ") + what);
    }
    static Value number(double n) {
        Value v;
        v.kind = Value::Kind::Number;
        v.number = n;
        return v;
    }

    void value(std::uint8_t tag, std::vector<Value>& out) {
        Value v;
        switch (tag) {
            case kChar:
                out.push_back(number(byte()));
                return;
            case kShort: {
                const auto s = take(2);
                out.push_back(number(static_cast<std::int16_t>(s[0] | s[1] << 8)));
                return;
            }
            case kLong:
            case kEnum:
                out.push_back(number(static_cast<std::int32_t>(raw32())));
                return;
            case kFloat: {
                const float f = std::bit_cast<float>(raw32());
                if (!std::isfinite(f)) throw Error("dados ACIS binários: número inválido");
                out.push_back(number(f));
                return;
            }
            case kDouble:
                out.push_back(number(real()));
                return;
            case kShortText:
            case kName:
            case kNamePart:
                v.kind = Value::Kind::Word;
                v.word = text(byte());
                break;
            case kText: {
                const auto s = take(2);
                v.kind = Value::Kind::Word;
                v.word = text(static_cast<std::size_t>(s[0] | s[1] << 8));
                break;
            }
            case kLongText:
                v.kind = Value::Kind::Word;
                v.word = text(raw32());
                break;
            case kFirst:
            case kSecond:
                v.kind = Value::Kind::Flag;
                v.second = tag == kSecond;
                break;
            case kPointer:
                v.kind = Value::Kind::Pointer;
                v.pointer = static_cast<std::int32_t>(raw32());
                break;
            case kOpen:
                v.kind = Value::Kind::Open;
                break;
            case kClose:
                v.kind = Value::Kind::Close;
                break;
            case kLongInteger:
                out.push_back(number(static_cast<double>(static_cast<std::int64_t>(raw64()))));
                return;
            case kPosition:
            case kVector:
                for (int i = 0; i < 3; ++i) out.push_back(number(real()));
                return;
            case kParameterPair:
                for (int i = 0; i < 2; ++i) out.push_back(number(real()));
                return;
            default:
                throw Error("dados ACIS binários: marca desconhecida");
        }
        out.push_back(v);
    }

    std::span<const std::uint8_t> b_;
    std::size_t at_ = 0;
    std::vector<std::string> names_;
};

}  // namespace

bool isBinary(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSignatureSize) return false;
    const std::string_view head(reinterpret_cast<const char*>(bytes.data()), kSignatureSize);
    for (std::string_view s : kSignatures)
        if (head == s) return true;
    // Some writers put another digit after "ASM BinaryFile".
    return head.starts_with("ASM BinaryFile");
}

RecordFile readBinary(std::span<const std::uint8_t> bytes) {
    BinaryReader reader(bytes);
    return reader.read();
}

}  // namespace acis::detail
