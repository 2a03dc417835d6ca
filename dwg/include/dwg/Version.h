#pragma once

#include <optional>
#include <string_view>

namespace dwg {

// Ordered, so that format differences read as `version >= Version::R2000`.
enum class Version { R13, R14, R2000, R2004, R2007, R2010, R2013, R2018 };

// "AC1015" for R2000 and so on.
std::string_view versionCode(Version version);
std::optional<Version> versionFromCode(std::string_view code);

}  // namespace dwg
