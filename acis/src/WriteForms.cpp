// Writing tokens as SAT text or SAB binary, and the two public changes of a
// save file: its form, and its size.
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "Records.h"
#include "WriteTokens.h"

namespace acis::detail {
namespace {

// From this version the end marker says ASM, and SAB's signature too after it.
constexpr int kAsmMarkerVersion = 21800;
constexpr int kCountedTextVersion = 700;

std::string endMarker(int version) {
    return version >= kAsmMarkerVersion ? "End-of-ASM-data" : "End-of-ACIS-data";
}

void finite(double value) {
    if (!std::isfinite(value)) throw Error("dados ACIS: número inválido");
}

// The shortest text that reads back as the same double, with a point or an
// exponent so that it never reads as an integer.
std::string realText(double value) {
    finite(value);
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    std::string out(text, end);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

class TextWriter {
  public:
    explicit TextWriter(const TokenFile& file) : file_(file) {}

    std::vector<std::uint8_t> run() {
        out_ += std::to_string(file_.version) + " " + std::to_string(file_.recordCount) + " " +
                std::to_string(file_.bodyCount) + " " + std::to_string(file_.flags) + " \n";
        if (file_.version >= kFirstVersionWithInfo) {
            for (const std::string* s : {&file_.product, &file_.modeller, &file_.date})
                out_ += std::to_string(s->size()) + " " + *s + " ";
            out_ += "\n" + realText(file_.units[0]) + " " + realText(file_.units[1]) + " " +
                    realText(file_.units[2]) + " \n";
        }
        for (const TokenRecord& record : file_.records) writeRecord(record);
        if (file_.tail.empty())
            out_ += endMarker(file_.version) + "\n";
        else
            out_.append(file_.tail.begin(), file_.tail.end());
        return {out_.begin(), out_.end()};
    }

  private:
    void writeRecord(const TokenRecord& record) {
        out_ += record.name;
        int depth = 0;
        std::size_t flags = 0;
        for (std::size_t i = 0; i < record.values.size(); ++i) {
            const Token& t = record.values[i];
            out_ += ' ';
            switch (t.kind) {
                case Token::Kind::Char:
                case Token::Kind::Short:
                case Token::Kind::Long:
                case Token::Kind::LongLong:
                case Token::Kind::Enum:
                    out_ += std::to_string(t.integer);
                    break;
                case Token::Kind::Float:
                case Token::Kind::Double:
                    out_ += realText(t.real[0]);
                    break;
                case Token::Kind::Pair:
                    out_ += realText(t.real[0]) + " " + realText(t.real[1]);
                    break;
                case Token::Kind::Position:
                case Token::Kind::Vector:
                    out_ +=
                        realText(t.real[0]) + " " + realText(t.real[1]) + " " + realText(t.real[2]);
                    break;
                case Token::Kind::Text:
                    if (file_.version >= kCountedTextVersion)
                        out_ += "@" + std::to_string(t.text.size()) + " " + t.text;
                    else
                        out_ += t.text.empty() ? std::string("@0 ") : t.text;
                    break;
                case Token::Kind::Ident:
                case Token::Kind::Word:
                case Token::Kind::Number:
                    out_ += t.text;
                    break;
                case Token::Kind::Flag:
                    out_ += flagWord(record, i, depth, flags);
                    if (depth == 0) ++flags;
                    break;
                case Token::Kind::Pointer:
                    out_ += "$" + std::to_string(t.integer);
                    break;
                case Token::Kind::Open:
                    ++depth;
                    out_ += '{';
                    break;
                case Token::Kind::Close:
                    --depth;
                    out_ += '}';
                    break;
            }
        }
        out_ += " #\n";
    }

    // A flag's word: as the record kind names it at that place; elsewhere an
    // interval's end before a double, a logical otherwise.
    static std::string_view flagWord(const TokenRecord& record, std::size_t at, int depth,
                                     std::size_t ordinal) {
        const Token& t = record.values[at];
        if (depth == 0)
            if (const FlagWords* words = flagWords(record.name, ordinal))
                return t.yes ? words->yes : words->no;
        const bool beforeDouble =
            at + 1 < record.values.size() && record.values[at + 1].kind == Token::Kind::Double;
        if (beforeDouble || !t.yes) return t.yes ? "F" : "I";
        return "T";
    }

    const TokenFile& file_;
    std::string out_;
};

class BinaryWriter {
  public:
    explicit BinaryWriter(const TokenFile& file) : file_(file) {}

    std::vector<std::uint8_t> run() {
        const std::string_view signature =
            file_.version > kAsmMarkerVersion ? "ASM BinaryFile4" : "ACIS BinaryFile";
        out_.insert(out_.end(), signature.begin(), signature.end());
        for (std::int64_t n :
             {std::int64_t{file_.version}, file_.recordCount, file_.bodyCount, file_.flags})
            raw32(n);
        for (const std::string* s : {&file_.product, &file_.modeller, &file_.date}) {
            if (s->size() > 255) throw Error("dados ACIS: texto de cabeçalho longo demais");
            out_.push_back(0x07);
            out_.push_back(static_cast<std::uint8_t>(s->size()));
            out_.insert(out_.end(), s->begin(), s->end());
        }
        for (double unit : file_.units) {
            out_.push_back(0x06);
            real(unit);
        }
        for (const TokenRecord& record : file_.records) {
            name(record.name);
            for (const Token& t : record.values) value(t);
            out_.push_back(0x11);
        }
        if (file_.tail.empty())
            name(endMarker(file_.version));
        else
            out_.insert(out_.end(), file_.tail.begin(), file_.tail.end());
        return std::move(out_);
    }

  private:
    void raw32(std::int64_t n) {
        if (n < INT32_MIN || n > INT32_MAX) throw Error("dados ACIS: inteiro grande demais");
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
    }
    void real(double value) {
        finite(value);
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
    void shortText(std::uint8_t tag, std::string_view text) {
        if (text.size() > 255) throw Error("dados ACIS: nome longo demais");
        out_.push_back(tag);
        out_.push_back(static_cast<std::uint8_t>(text.size()));
        out_.insert(out_.end(), text.begin(), text.end());
    }
    // Names go as parts: each '-' ends one.
    void name(std::string_view full) {
        for (std::size_t dash; (dash = full.find('-')) != std::string_view::npos;) {
            shortText(0x0E, full.substr(0, dash));
            full.remove_prefix(dash + 1);
        }
        shortText(0x0D, full);
    }
    void value(const Token& t) {
        switch (t.kind) {
            case Token::Kind::Char:
                out_.push_back(0x02);
                out_.push_back(static_cast<std::uint8_t>(t.integer));
                return;
            case Token::Kind::Short:
                out_.push_back(0x03);
                out_.push_back(static_cast<std::uint8_t>(t.integer));
                out_.push_back(static_cast<std::uint8_t>(t.integer >> 8));
                return;
            case Token::Kind::Long:
            case Token::Kind::Enum:
                out_.push_back(t.kind == Token::Kind::Long ? 0x04 : 0x15);
                raw32(t.integer);
                return;
            case Token::Kind::LongLong: {
                out_.push_back(0x17);
                const auto u = static_cast<std::uint64_t>(t.integer);
                for (int i = 0; i < 8; ++i) out_.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
                return;
            }
            case Token::Kind::Float: {
                finite(t.real[0]);
                const float f = static_cast<float>(t.real[0]);
                std::uint32_t bits = 0;
                std::memcpy(&bits, &f, sizeof bits);
                out_.push_back(0x05);
                raw32(static_cast<std::int32_t>(bits));
                return;
            }
            case Token::Kind::Double:
                out_.push_back(0x06);
                real(t.real[0]);
                return;
            case Token::Kind::Pair:
                out_.push_back(0x16);
                real(t.real[0]);
                real(t.real[1]);
                return;
            case Token::Kind::Position:
            case Token::Kind::Vector:
                out_.push_back(t.kind == Token::Kind::Position ? 0x13 : 0x14);
                for (double r : t.real) real(r);
                return;
            case Token::Kind::Text:
                if (t.text.size() <= 255) {
                    shortText(0x07, t.text);
                } else if (t.text.size() <= 0xFFFF) {
                    out_.push_back(0x08);
                    out_.push_back(static_cast<std::uint8_t>(t.text.size()));
                    out_.push_back(static_cast<std::uint8_t>(t.text.size() >> 8));
                    out_.insert(out_.end(), t.text.begin(), t.text.end());
                } else {
                    out_.push_back(0x12);
                    raw32(static_cast<std::int64_t>(t.text.size()));
                    out_.insert(out_.end(), t.text.begin(), t.text.end());
                }
                return;
            case Token::Kind::Ident:
                name(t.text);
                return;
            case Token::Kind::Flag:
                out_.push_back(t.yes ? 0x0A : 0x0B);
                return;
            case Token::Kind::Pointer:
                out_.push_back(0x0C);
                raw32(t.integer);
                return;
            case Token::Kind::Open:
                out_.push_back(0x0F);
                return;
            case Token::Kind::Close:
                out_.push_back(0x10);
                return;
            case Token::Kind::Word:
            case Token::Kind::Number:
                throw Error("dados ACIS: valor sem tipo");
        }
    }

    const TokenFile& file_;
    std::vector<std::uint8_t> out_;
};

// The index of `record`'s last pointer at its top level; none when it has none.
std::optional<std::size_t> lastPointer(const TokenRecord& record) {
    std::optional<std::size_t> found;
    int depth = 0;
    for (std::size_t i = 0; i < record.values.size(); ++i) {
        const Token::Kind kind = record.values[i].kind;
        if (kind == Token::Kind::Open) ++depth;
        if (kind == Token::Kind::Close) --depth;
        if (depth == 0 && kind == Token::Kind::Pointer) found = i;
    }
    return found;
}

void multiply(Token& t, double factor, std::size_t component = 0) {
    t.real[component] *= factor;
    if (t.kind == Token::Kind::Number) t.text = realText(t.real[0]);
}

// A transform's translation and scale grow by `factor`: SAB holds them as the
// fourth vector and the double after it; SAT as its numbers 10 to 13 after
// the history number of later versions.
void scaleTransform(TokenRecord& transform, int version, double factor) {
    std::vector<Token*> numbers;
    std::vector<Token*> vectors;
    for (Token& t : transform.values) {
        if (t.kind == Token::Kind::Number || t.kind == Token::Kind::Double) numbers.push_back(&t);
        if (t.kind == Token::Kind::Vector) vectors.push_back(&t);
    }
    if (vectors.size() == 4 && !numbers.empty()) {
        for (std::size_t c = 0; c < 3; ++c) multiply(*vectors[3], factor, c);
        multiply(*numbers.front(), factor);
        return;
    }
    const std::size_t first = version >= kCountedTextVersion ? 1 : 0;
    if (numbers.size() < first + 13) throw Error("dados ACIS: transformação mal formada");
    for (std::size_t i = first + 9; i <= first + 12; ++i) multiply(*numbers[i], factor);
}

TokenRecord newTransform(const TokenFile& file, double factor) {
    TokenRecord record;
    record.name = "transform";
    record.values.push_back(Token::pointer(-1));
    const bool binary = file.form == Form::Binary;
    if (file.version >= kCountedTextVersion) {
        Token history = binary ? Token{} : Token::number(Token::Kind::Number, -1);
        if (binary) {
            history.kind = Token::Kind::Long;
            history.integer = -1;
        } else {
            history.text = "-1";
        }
        record.values.push_back(std::move(history));
    }
    const double rows[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    for (const auto& row : rows) {
        if (binary) {
            record.values.push_back(Token::triple(Token::Kind::Vector, row[0], row[1], row[2]));
            continue;
        }
        for (double v : row) {
            Token n = Token::number(Token::Kind::Number, v);
            n.text = realText(v);
            record.values.push_back(std::move(n));
        }
    }
    Token scale = Token::number(binary ? Token::Kind::Double : Token::Kind::Number, factor);
    scale.text = realText(factor);
    record.values.push_back(std::move(scale));
    for (std::string_view word : {"no_rotate", "no_reflect", "no_shear"}) {
        if (binary) {
            record.values.push_back(Token::flag(false));
        } else if (file.version < kFirstVersionWithInfo) {
            Token zero = Token::number(Token::Kind::Number, 0);
            zero.text = "0";
            record.values.push_back(std::move(zero));
        } else {
            Token w;
            w.kind = Token::Kind::Word;
            w.text = std::string(word);
            record.values.push_back(std::move(w));
        }
    }
    return record;
}

}  // namespace

std::vector<std::uint8_t> writeText(const TokenFile& file) {
    return TextWriter(file).run();
}
std::vector<std::uint8_t> writeBinary(const TokenFile& file) {
    return BinaryWriter(file).run();
}

}  // namespace acis::detail

namespace acis {

std::vector<std::uint8_t> inForm(std::span<const std::uint8_t> bytes, Form form) {
    detail::TokenFile file = detail::readTokens(bytes);
    if (file.form == form) return {bytes.begin(), bytes.end()};
    if (!file.tail.empty())
        throw Error("dados ACIS com histórico, que não é convertido de uma forma para a outra");
    if (form == Form::Text) return detail::writeText(file);
    detail::typeTextRecords(file);
    file.form = Form::Binary;
    return detail::writeBinary(file);
}

std::vector<std::uint8_t> scaled(std::span<const std::uint8_t> bytes, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        throw Error("dados ACIS: fator de escala inválido");
    detail::TokenFile file = detail::readTokens(bytes);
    std::vector<bool> done(file.records.size(), false);
    const std::size_t count = file.records.size();
    for (std::size_t r = 0; r < count; ++r) {
        if (file.records[r].name != "body") continue;
        const std::optional<std::size_t> at = detail::lastPointer(file.records[r]);
        if (!at) throw Error("dados ACIS: corpo mal formado");
        const std::int64_t target = file.records[r].values[*at].integer;
        if (target >= 0) {
            const auto index = static_cast<std::size_t>(target);
            if (index >= count || file.records[index].name != "transform")
                throw Error("dados ACIS: transformação de corpo inexistente");
            if (!done[index]) detail::scaleTransform(file.records[index], file.version, factor);
            done[index] = true;
            continue;
        }
        if (!file.tail.empty())
            throw Error(
                "dados ACIS com histórico: um corpo sem transformação não é redimensionado");
        file.records[r].values[*at].integer = static_cast<std::int64_t>(file.records.size());
        file.records.push_back(detail::newTransform(file, factor));
        if (file.recordCount > 0) ++file.recordCount;
    }
    return file.form == Form::Binary ? detail::writeBinary(file) : detail::writeText(file);
}

}  // namespace acis
