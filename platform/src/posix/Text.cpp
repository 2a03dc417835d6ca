#include "platform/Text.h"

#include <iconv.h>

#include <vector>

namespace platform {

namespace {

// iconv's name of a Windows code page.
std::string iconvName(unsigned codePage) {
    if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
    if (codePage == 10000) return "MACINTOSH";
    if (codePage == 20127) return "ASCII";
    return "CP" + std::to_string(codePage);
}

}  // namespace

struct CodePageDecoder::State {
    iconv_t converter = reinterpret_cast<iconv_t>(-1);
};

CodePageDecoder::CodePageDecoder(unsigned codePage) : state_(std::make_unique<State>()) {
    state_->converter = iconv_open("UTF-8", iconvName(codePage).c_str());
}

CodePageDecoder::~CodePageDecoder() {
    if (valid()) iconv_close(state_->converter);
}

bool CodePageDecoder::valid() const {
    return state_->converter != reinterpret_cast<iconv_t>(-1);
}

std::string CodePageDecoder::toUtf8(std::string_view bytes) const {
    if (!valid()) return {};
    iconv_t converter = state_->converter;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> input(bytes.begin(), bytes.end());
    std::vector<char> output(bytes.size() * 4 + 16);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) break;
        // An unmappable byte: a replacement character, and on.
        if (outLeft < 3) break;
        *out++ = static_cast<char>(0xEF);
        *out++ = static_cast<char>(0xBF);
        *out++ = static_cast<char>(0xBD);
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    return std::string(output.data(), out);
}

struct CodePageEncoder::State {
    iconv_t converter = reinterpret_cast<iconv_t>(-1);
};

CodePageEncoder::CodePageEncoder(unsigned codePage) : state_(std::make_unique<State>()) {
    state_->converter = iconv_open(iconvName(codePage).c_str(), "UTF-32LE");
}

CodePageEncoder::~CodePageEncoder() {
    if (valid()) iconv_close(state_->converter);
}

bool CodePageEncoder::valid() const {
    return state_->converter != reinterpret_cast<iconv_t>(-1);
}

std::optional<std::string> CodePageEncoder::encode(char32_t character) const {
    if (!valid()) return std::nullopt;
    iconv_t converter = state_->converter;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char input[4];
    for (int k = 0; k < 4; ++k) input[k] = static_cast<char>((character >> (8 * k)) & 0xFF);
    char output[16];
    char* in = input;
    std::size_t inLeft = sizeof input;
    char* out = output;
    std::size_t outLeft = sizeof output;
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    // A stateful code page's closing shift, if any.
    if (iconv(converter, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    return std::string(output, out);
}

}  // namespace platform
