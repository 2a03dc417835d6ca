// Reading the publisher's small text files: lines of fields split by one blank.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

namespace signing::detail {

// A decimal number without sign or leading zeros, at most `largest`.
template <typename Number>
std::optional<Number> decimal(std::string_view text, Number largest) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > largest)
        return std::nullopt;
    return value;
}

inline std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= line.size(); ++at) {
        if (at == line.size() || line[at] == ' ') {
            parts.push_back(line.substr(start, at - start));
            start = at + 1;
        }
    }
    return parts;
}

}  // namespace signing::detail
