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

}  // namespace platform
