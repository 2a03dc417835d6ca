// SAT text: whitespace-separated words, "$n" pointers, "@n text" counted
// strings, records ending in "#".
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

#include "Records.h"

namespace acis::detail {
namespace {

class TextReader {
  public:
    explicit TextReader(std::span<const std::uint8_t> bytes)
        : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

    RecordFile read() {
        RecordFile file;
        file.version = static_cast<int>(integer("versão"));
        integer("número de registros");
        integer("número de corpos");
        integer("marcas");
        if (file.version >= 200) {
            // Product, modeller and date as counted strings; then units and tolerances.
            for (int i = 0; i < 3; ++i) countedString(integer("tamanho de texto"));
            for (int i = 0; i < 3; ++i) number("cabeçalho");
        }
        for (;;) {
            std::string_view name = word();
            if (name.empty()) break;  // a model inside a drawing may end without its marker
            if (name.size() > 1 && name[0] == '-' && std::isdigit(static_cast<unsigned char>(name[1])))
                name = word();  // record number, written by later versions
            if (name.starts_with("End-of-") || name.starts_with("Begin-of-")) break;
            if (file.records.size() >= kMaxRecords) throw Error("dados ACIS com registros demais");
            file.records.push_back(record(name));
        }
        return file;
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
    static bool parseNumber(std::string_view w, double& out) {
        if (w.empty()) return false;
        // from_chars takes no leading '+'.
        if (w[0] == '+') w.remove_prefix(1);
        const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), out);
        return error == std::errc() && end == w.data() + w.size() && std::isfinite(out);
    }
    double number(const char* what) {
        double value = 0;
        if (!parseNumber(word(), value)) throw Error(std::string("dados ACIS: número esperado em ") + what);
        return value;
    }
    std::int64_t integer(const char* what) {
        const double value = number(what);
        if (value != std::floor(value) || std::abs(value) > 1e15)
            throw Error(std::string("dados ACIS: inteiro esperado em ") + what);
        return static_cast<std::int64_t>(value);
    }
    std::string_view countedString(std::int64_t length) {
        if (at_ < text_.size() && text_[at_] == ' ') ++at_;
        if (length < 0 || static_cast<std::uint64_t>(length) > text_.size() - at_)
            throw Error("dados ACIS: texto além do fim");
        const std::string_view s = text_.substr(at_, static_cast<std::size_t>(length));
        at_ += static_cast<std::size_t>(length);
        return s;
    }

    Record record(std::string_view name) {
        Record r;
        r.name = name;
        for (;;) {
            const std::string_view w = word();
            if (w.empty()) throw Error("dados ACIS: registro sem fim");
            if (w == "#") return r;
            Value v;
            if (w.back() == '#' && w.size() > 1) {
                // "value#" ends the record too.
                r.values.push_back(value(w.substr(0, w.size() - 1)));
                return r;
            }
            if (w[0] == '@' && w.size() > 1) {
                double length = 0;
                // Checked against the text before it becomes an integer: a length past
                // what an integer holds is no length at all.
                if (!parseNumber(w.substr(1), length) || length != std::floor(length) || length < 0 ||
                    length > static_cast<double>(text_.size()))
                    throw Error("dados ACIS: texto mal formado");
                v.kind = Value::Kind::Word;
                v.word = countedString(static_cast<std::int64_t>(length));
                r.values.push_back(v);
                continue;
            }
            r.values.push_back(value(w));
        }
    }

    static Value value(std::string_view w) {
        Value v;
        if (w == "{") {
            v.kind = Value::Kind::Open;
        } else if (w == "}") {
            v.kind = Value::Kind::Close;
        } else if (w[0] == '$') {
            double n = 0;
            if (!parseNumber(w.substr(1), n) || n != std::floor(n) || n < -1 || n > 1e12)
                throw Error("dados ACIS: ponteiro mal formado");
            v.kind = Value::Kind::Pointer;
            v.pointer = static_cast<std::int64_t>(n);
        } else if (parseNumber(w, v.number)) {
            v.kind = Value::Kind::Number;
        } else {
            v.kind = Value::Kind::Word;
            v.word = w;
        }
        return v;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

RecordFile readText(std::span<const std::uint8_t> bytes) {
    TextReader reader(bytes);
    return reader.read();
}

}  // namespace acis::detail
