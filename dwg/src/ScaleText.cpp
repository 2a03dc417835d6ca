#include "ScaleText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dwg::detail {
namespace {

// MTEXT codes that take an argument up to ';'.
bool takesArgument(char code) {
    return std::string_view("ACFfHQTWp").find(code) != std::string_view::npos;
}

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::string shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string withDecimals(double value, int decimals, char separator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string out = text;
    for (char& c : out)
        if (c == '.') c = separator;
    return out;
}

}  // namespace

std::string scaledMTextHeights(std::string_view text, double factor) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char code = text[i + 1];
        const std::size_t end = text.find(';', i + 2);
        if (code != 'H' || end == std::string_view::npos) {
            // An escaped character or another code goes as it is.
            out += text[i];
            out += code;
            ++i;
            continue;
        }
        const std::string_view argument = text.substr(i + 2, end - i - 2);
        double height = 0;
        const auto [stop, error] =
            std::from_chars(argument.data(), argument.data() + argument.size(), height);
        if (error == std::errc() && stop == argument.data() + argument.size() &&
            std::isfinite(height))
            out += "\\H" + shortest(height * factor) + ";";
        else
            out += std::string(text.substr(i, end - i + 1));  // relative (…x) or unreadable
        i = end;
    }
    return out;
}

bool replaceShownValue(std::string& text, double before, double after) {
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const std::size_t end = takesArgument(text[i + 1]) ? text.find(';', i + 2) : i + 1;
            if (end == std::string::npos) return false;
            i = end + 1;
            continue;
        }
        if (!isDigit(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        char separator = '.';
        int decimals = 0;
        if (i + 1 < text.size() && (text[i] == '.' || text[i] == ',') && isDigit(text[i + 1])) {
            separator = text[i++];
            while (i < text.size() && isDigit(text[i])) {
                ++i;
                ++decimals;
            }
        }
        std::string number = text.substr(start, i - start);
        for (char& c : number)
            if (c == ',') c = '.';
        const double shown = std::strtod(number.c_str(), nullptr);
        const double precision = 0.5 * std::pow(10.0, -decimals);
        if (std::fabs(shown - std::fabs(before)) <= precision * (1 + 1e-9)) {
            text.replace(start, i - start, withDecimals(std::fabs(after), decimals, separator));
            return true;
        }
    }
    return false;
}

}  // namespace dwg::detail
