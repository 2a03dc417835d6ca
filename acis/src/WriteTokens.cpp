// Reading a save file into tokens that keep everything needed to write it
// again. Both readers are bounded by the bytes: every token takes at least
// one byte, and the records are capped as the model reader caps them.
#include "WriteTokens.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>

#include "Records.h"

namespace acis::detail {
namespace {

constexpr std::size_t kSignatureSize = 15;

bool isEndMarker(std::string_view name) {
    return name.starts_with("End-of-") || name.starts_with("Begin-of-");
}

class SabReader {
  public:
    explicit SabReader(std::span<const std::uint8_t> bytes) : b_(bytes) {}

    TokenFile read() {
        TokenFile file;
        file.form = Form::Binary;
        at_ = kSignatureSize;
        file.version = static_cast<int>(signed32());
        file.recordCount = signed32();
        file.bodyCount = signed32();
        file.flags = signed32();
        file.product = headerText();
        file.modeller = headerText();
        file.date = headerText();
        for (double& unit : file.units) {
            expect(0x06);
            unit = real();
        }
        for (;;) {
            const std::size_t recordStart = at_;
            TokenRecord record;
            if (!readName(record.name))
                throw Error("dados ACIS binários: nome de registro esperado");
            if (isEndMarker(record.name)) {
                if (!record.name.starts_with("End-of-"))
                    file.tail.assign(b_.begin() + static_cast<std::ptrdiff_t>(recordStart),
                                     b_.end());
                return file;
            }
            if (file.records.size() >= kMaxRecords) throw Error("dados ACIS com registros demais");
            for (;;) {
                const std::uint8_t tag = byte();
                if (tag == 0x11) break;
                record.values.push_back(value(tag));
            }
            file.records.push_back(std::move(record));
        }
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
    std::int32_t signed32() {
        const auto s = take(4);
        return static_cast<std::int32_t>(std::uint32_t{s[0]} | std::uint32_t{s[1]} << 8 |
                                         std::uint32_t{s[2]} << 16 | std::uint32_t{s[3]} << 24);
    }
    double real() {
        const auto s = take(8);
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = bits << 8 | s[static_cast<std::size_t>(i)];
        return std::bit_cast<double>(bits);
    }
    std::string text(std::size_t n) {
        const auto s = take(n);
        return std::string(s.begin(), s.end());
    }
    void expect(std::uint8_t tag) {
        if (byte() != tag) throw Error("dados ACIS binários: cabeçalho mal formado");
    }
    std::string headerText() {
        expect(0x07);
        return text(byte());
    }
    // A record's name: parts (0x0E) and a last part (0x0D).
    bool readName(std::string& name) {
        for (;;) {
            const std::uint8_t tag = byte();
            if (tag != 0x0D && tag != 0x0E) return false;
            name += text(byte());
            if (tag == 0x0D) return true;
            name += '-';
        }
    }

    Token value(std::uint8_t tag) {
        Token t;
        switch (tag) {
            case 0x02:
                t.kind = Token::Kind::Char;
                t.integer = static_cast<std::int8_t>(byte());
                return t;
            case 0x03: {
                const auto s = take(2);
                t.kind = Token::Kind::Short;
                t.integer = static_cast<std::int16_t>(s[0] | s[1] << 8);
                return t;
            }
            case 0x04:
            case 0x15:
                t.kind = tag == 0x04 ? Token::Kind::Long : Token::Kind::Enum;
                t.integer = signed32();
                return t;
            case 0x17: {
                const auto s = take(8);
                std::uint64_t bits = 0;
                for (int i = 7; i >= 0; --i) bits = bits << 8 | s[static_cast<std::size_t>(i)];
                t.kind = Token::Kind::LongLong;
                t.integer = static_cast<std::int64_t>(bits);
                return t;
            }
            case 0x05:
                return Token::number(Token::Kind::Float,
                                     std::bit_cast<float>(static_cast<std::uint32_t>(signed32())));
            case 0x06:
                return Token::number(Token::Kind::Double, real());
            case 0x07:
                t.kind = Token::Kind::Text;
                t.text = text(byte());
                return t;
            case 0x08: {
                const auto s = take(2);
                t.kind = Token::Kind::Text;
                t.text = text(static_cast<std::size_t>(s[0] | s[1] << 8));
                return t;
            }
            case 0x12:
                t.kind = Token::Kind::Text;
                t.text = text(static_cast<std::uint32_t>(signed32()));
                return t;
            case 0x0A:
            case 0x0B:
                return Token::flag(tag == 0x0A);
            case 0x0C: {
                // A record's number, or -1 for none; SAT has no way to say anything else.
                const std::int32_t index = signed32();
                if (index < -1) throw Error("dados ACIS binários: ponteiro mal formado");
                return Token::pointer(index);
            }
            case 0x0D:
            case 0x0E:
                // A class name inside a record, parts joined as in record names.
                t.kind = Token::Kind::Ident;
                t.text = text(byte());
                if (tag == 0x0E) {
                    std::string rest;
                    if (!readName(rest)) throw Error("dados ACIS binários: nome incompleto");
                    t.text += "-" + rest;
                }
                return t;
            case 0x0F:
                t.kind = Token::Kind::Open;
                return t;
            case 0x10:
                t.kind = Token::Kind::Close;
                return t;
            case 0x16: {
                Token pair = Token::number(Token::Kind::Pair, real());
                pair.real[1] = real();
                return pair;
            }
            case 0x13:
            case 0x14: {
                const double x = real(), y = real(), z = real();
                return Token::triple(tag == 0x13 ? Token::Kind::Position : Token::Kind::Vector, x,
                                     y, z);
            }
            default:
                throw Error("dados ACIS binários: marca desconhecida");
        }
    }

    std::span<const std::uint8_t> b_;
    std::size_t at_ = 0;
};

class SatReader {
  public:
    explicit SatReader(std::span<const std::uint8_t> bytes)
        : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

    TokenFile read() {
        TokenFile file;
        file.form = Form::Text;
        file.version = static_cast<int>(integer());
        file.recordCount = integer();
        file.bodyCount = integer();
        file.flags = integer();
        if (file.version >= kFirstVersionWithInfo) {
            file.product = counted(integer());
            file.modeller = counted(integer());
            file.date = counted(integer());
            for (double& unit : file.units) unit = number(word());
        }
        for (;;) {
            skipSpace();
            const std::size_t recordStart = at_;
            std::string_view name = word();
            if (name.empty()) return file;  // a model in a drawing may end without its marker
            if (name.size() > 1 && name[0] == '-' &&
                std::isdigit(static_cast<unsigned char>(name[1])))
                name = word();  // the record's number, which later versions write first
            if (isEndMarker(name)) {
                if (!name.starts_with("End-of-"))
                    file.tail.assign(text_.begin() + static_cast<std::ptrdiff_t>(recordStart),
                                     text_.end());
                return file;
            }
            if (file.records.size() >= kMaxRecords) throw Error("dados ACIS com registros demais");
            file.records.push_back(record(name));
        }
    }

  private:
    void skipSpace() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }
    std::string_view word() {
        skipSpace();
        const std::size_t start = at_;
        while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
        return text_.substr(start, at_ - start);
    }
    static bool parse(std::string_view w, double& out) {
        if (!w.empty() && w[0] == '+') w.remove_prefix(1);
        if (w.empty()) return false;
        const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), out);
        return error == std::errc() && end == w.data() + w.size() && std::isfinite(out);
    }
    static double number(std::string_view w) {
        double value = 0;
        if (!parse(w, value)) throw Error("dados ACIS: número esperado");
        return value;
    }
    std::int64_t integer() {
        const double value = number(word());
        if (value != std::floor(value) || std::fabs(value) > 1e15)
            throw Error("dados ACIS: inteiro esperado");
        return static_cast<std::int64_t>(value);
    }
    std::string counted(std::int64_t length) {
        if (at_ < text_.size() && text_[at_] == ' ') ++at_;
        if (length < 0 || static_cast<std::uint64_t>(length) > text_.size() - at_)
            throw Error("dados ACIS: texto além do fim");
        std::string s(text_.substr(at_, static_cast<std::size_t>(length)));
        at_ += static_cast<std::size_t>(length);
        return s;
    }

    TokenRecord record(std::string_view name) {
        TokenRecord r;
        r.name = std::string(name);
        for (;;) {
            std::string_view w = word();
            if (w.empty()) throw Error("dados ACIS: registro sem fim");
            if (w == "#") return r;
            const bool last = w.size() > 1 && w.back() == '#';
            if (last) w.remove_suffix(1);
            if (w[0] == '@' && w.size() > 1) {
                Token t;
                t.kind = Token::Kind::Text;
                t.text = counted(static_cast<std::int64_t>(number(w.substr(1))));
                r.values.push_back(std::move(t));
            } else {
                r.values.push_back(value(w));
            }
            if (last) return r;
        }
    }

    static Token value(std::string_view w) {
        Token t;
        double n = 0;
        if (w == "{") {
            t.kind = Token::Kind::Open;
        } else if (w == "}") {
            t.kind = Token::Kind::Close;
        } else if (w[0] == '$') {
            if (!parse(w.substr(1), n) || n != std::floor(n) || n < -1 || n > 1e12)
                throw Error("dados ACIS: ponteiro mal formado");
            t = Token::pointer(static_cast<std::int64_t>(n));
        } else if (parse(w, n)) {
            t = Token::number(Token::Kind::Number, n);
            t.text = std::string(w);
            // Whole numbers are kept exactly too: SAB's 64-bit integers exceed a double's digits.
            std::string_view digits = w[0] == '+' ? w.substr(1) : w;
            std::from_chars(digits.data(), digits.data() + digits.size(), t.integer);
        } else {
            t.kind = Token::Kind::Word;
            t.text = std::string(w);
        }
        return t;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

TokenFile readTokens(std::span<const std::uint8_t> bytes) {
    if (isBinary(bytes)) return SabReader(bytes).read();
    return SatReader(bytes).read();
}

}  // namespace acis::detail

namespace acis {

Form formOf(std::span<const std::uint8_t> bytes) {
    return detail::isBinary(bytes) ? Form::Binary : Form::Text;
}

}  // namespace acis
