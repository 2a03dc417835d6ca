#include <dwg/Version.h>

#include <array>
#include <utility>

namespace dwg {
namespace {

constexpr std::array<std::pair<Version, std::string_view>, 8> kCodes = {{
    {Version::R13, "AC1012"},
    {Version::R14, "AC1014"},
    {Version::R2000, "AC1015"},
    {Version::R2004, "AC1018"},
    {Version::R2007, "AC1021"},
    {Version::R2010, "AC1024"},
    {Version::R2013, "AC1027"},
    {Version::R2018, "AC1032"},
}};

}  // namespace

std::string_view versionCode(Version version) {
    for (const auto& [v, code] : kCodes)
        if (v == version) return code;
    return "";
}

std::optional<Version> versionFromCode(std::string_view code) {
    for (const auto& [v, known] : kCodes)
        if (known == code) return v;
    return std::nullopt;
}

}  // namespace dwg
