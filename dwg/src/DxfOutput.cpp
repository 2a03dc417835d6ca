#include "DxfOutput.h"

#include <charconv>
#include <cmath>

#include "Text.h"
#include "WriterModel.h"

namespace dwg::detail {

void DxfOutput::codeLine(int code) {
    char buffer[16];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, code);
    (void)error;
    const std::size_t length = static_cast<std::size_t>(end - buffer);
    // Codes right-aligned in three columns, as AutoCAD writes them.
    if (length < 3) out_.append(3 - length, ' ');
    out_.append(buffer, length);
    out_ += "\r\n";
}

std::string caretEscaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        if (c == '^') {
            out += "^ ";
        } else if (static_cast<unsigned char>(c) < 32) {
            out += '^';
            out += static_cast<char>(c + 64);
        } else {
            out += c;
        }
    }
    return out;
}

std::string DxfOutput::encoded(std::string_view utf8) const {
    return caretEscaped(codePage_ ? codePage_->encode(utf8) : std::string(utf8));
}

void DxfOutput::text(int code, std::string_view utf8) {
    codeLine(code);
    out_ += encoded(utf8);
    out_ += "\r\n";
}

void DxfOutput::ascii(int code, std::string_view value) {
    codeLine(code);
    out_ += value;
    out_ += "\r\n";
}

void DxfOutput::real(int code, double value) {
    if (!std::isfinite(value))
        throw WriteError("não é possível gravar o DXF: valor numérico inválido (código " +
                         std::to_string(code) + ")");
    if (value == 0) value = 0;  // no "-0.0"
    codeLine(code);
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    std::string_view digits(buffer, static_cast<std::size_t>(end - buffer));
    out_ += digits;
    // A real is written as one, so that no reader takes it for an integer.
    if (digits.find_first_of(".e") == std::string_view::npos) out_ += ".0";
    out_ += "\r\n";
}

void DxfOutput::integer(int code, std::int64_t value) {
    codeLine(code);
    char buffer[24];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    out_.append(buffer, end);
    out_ += "\r\n";
}

void DxfOutput::handle(int code, Handle value) {
    codeLine(code);
    char buffer[24];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    (void)error;
    for (char* c = buffer; c != end; ++c)
        out_ += static_cast<char>(*c >= 'a' ? *c - 'a' + 'A' : *c);
    out_ += "\r\n";
}

void DxfOutput::point(int code, const Point3& p) {
    real(code, p.x);
    real(code + 10, p.y);
    real(code + 20, p.z);
}

void DxfOutput::point(int code, const Point2& p) {
    real(code, p.x);
    real(code + 10, p.y);
}

void DxfOutput::extrusion(const Point3& normal, int code) {
    if (normal == kDefaultExtrusion) return;
    point(code, normal);
}

void DxfOutput::binary(int code, std::span<const std::uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t start = 0; start < bytes.size(); start += 127) {
        codeLine(code);
        const std::size_t end = std::min(bytes.size(), start + 127);
        for (std::size_t i = start; i < end; ++i) {
            out_ += kHex[bytes[i] >> 4];
            out_ += kHex[bytes[i] & 15];
        }
        out_ += "\r\n";
    }
}

void DxfOutput::longText(int lastCode, int moreCode, std::string_view utf8) {
    const std::string value = encoded(utf8);
    std::size_t start = 0;
    // Chunks of 250 bytes that never cut a UTF-8 sequence.
    while (value.size() - start > 250) {
        std::size_t end = start + 250;
        while (end > start && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
        if (end > start + 1 && value[end - 1] == '^') --end;  // keeps ^J and the like whole
        codeLine(moreCode);
        out_.append(value, start, end - start);
        out_ += "\r\n";
        start = end;
    }
    codeLine(lastCode);
    out_.append(value, start);
    out_ += "\r\n";
}

void DxfOutput::begin(std::string_view type, Handle handle, Handle owner,
                      std::span<const Handle> reactors, int handleCode) {
    ascii(0, type);
    if (const auto found = counts_.find(type); found != counts_.end())
        ++found->second;
    else
        counts_.emplace(std::string(type), 1);
    this->handle(handleCode, handle);
    if (!reactors.empty()) {
        ascii(102, "{ACAD_REACTORS");
        for (const Handle reactor : reactors) this->handle(330, reactor);
        ascii(102, "}");
    }
    this->handle(330, owner);
}

}  // namespace dwg::detail
