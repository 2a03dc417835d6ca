#include "paths/WindowsNames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace paths {

namespace {

std::string upperAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

bool isDeviceName(std::string_view name) {
    // The device is the part before the first dot, blanks at its end ignored.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    const std::string upper = upperAscii(base);
    static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) return true;
    // COM0-COM9 and LPT0-LPT9, and the superscript digits ¹ ² ³ Windows also counts.
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0))
        return false;
    const std::string_view digit = std::string_view(upper).substr(3);
    return (digit.size() == 1 && std::isdigit(static_cast<unsigned char>(digit[0]))) ||
           digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::string windowsNameProblem(std::string_view name) {
    if (name.empty()) return "nome vazio";
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "o nome tem caracteres de controle";
        if (c == ':') return "o nome tem dois-pontos, que o Windows lê como parte de outro arquivo";
        if (std::string_view("\\/*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return "o nome tem caracteres que o Windows não aceita";
    }
    if (name.back() == '.' || name.back() == ' ') return "o nome termina em ponto ou espaço";
    if (isDeviceName(name)) return "o nome é reservado pelo Windows para um dispositivo";
    return {};
}

}  // namespace paths
