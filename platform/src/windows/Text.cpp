#include "platform/Text.h"

#include <windows.h>

#include <vector>

namespace platform {

struct CodePageDecoder::State {
    UINT codePage = 0;
};

CodePageDecoder::CodePageDecoder(unsigned codePage) : state_(std::make_unique<State>()) {
    if (IsValidCodePage(codePage)) state_->codePage = codePage;
}

CodePageDecoder::~CodePageDecoder() = default;

bool CodePageDecoder::valid() const {
    return state_->codePage != 0;
}

std::string CodePageDecoder::toUtf8(std::string_view bytes) const {
    // The calls count in int; a drawing's texts are far shorter.
    if (!valid() || bytes.empty() || bytes.size() > (1u << 28)) return {};
    const int length = static_cast<int>(bytes.size());
    std::vector<wchar_t> wide(bytes.size());
    const int units = MultiByteToWideChar(state_->codePage, 0, bytes.data(), length, wide.data(),
                                          length);
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(std::max(needed, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, out.data(), needed, nullptr, nullptr);
    return out;
}

struct CodePageEncoder::State {
    UINT codePage = 0;
};

CodePageEncoder::CodePageEncoder(unsigned codePage) : state_(std::make_unique<State>()) {
    if (IsValidCodePage(codePage)) state_->codePage = codePage;
}

CodePageEncoder::~CodePageEncoder() = default;

bool CodePageEncoder::valid() const {
    return state_->codePage != 0;
}

std::optional<std::string> CodePageEncoder::encode(char32_t character) const {
    if (!valid() || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return std::nullopt;
    wchar_t wide[2];
    int units = 1;
    if (character >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((character - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((character - 0x10000) & 0x3FF));
        units = 2;
    } else {
        wide[0] = static_cast<wchar_t>(character);
    }
    char output[16];
    BOOL usedDefault = FALSE;
    // UTF-7 and UTF-8 take neither the flag nor the question.
    const bool asks = state_->codePage != CP_UTF7 && state_->codePage != CP_UTF8;
    const int length = WideCharToMultiByte(state_->codePage, asks ? WC_NO_BEST_FIT_CHARS : 0,
                                           wide, units, output, sizeof output, nullptr,
                                           asks ? &usedDefault : nullptr);
    if (length <= 0 || usedDefault) return std::nullopt;
    return std::string(output, static_cast<std::size_t>(length));
}

}  // namespace platform
