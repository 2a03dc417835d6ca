#include "archive/EntryNames.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "paths/Utf8Path.h"
#include "paths/WindowsNames.h"

namespace archive {

namespace {

// Code points of the bytes 0x80 to 0xFF in code page 850 (DOS Latin-1).
constexpr std::array<char16_t, 128> kCp850High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB,
    0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9,
    0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

void appendUtf8(std::string& out, char16_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string fromCp850(std::string_view raw) {
    std::string out;
    out.reserve(raw.size() * 2);
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte < 0x80 ? char16_t{byte} : kCp850High[byte - 0x80]);
    }
    return out;
}

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        char32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const bool overlong =
            (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
        const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
        if (overlong || surrogate || codePoint > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool startsWithDrive(std::string_view component) {
    return component.size() >= 2 && component[1] == ':' &&
           ((component[0] >= 'A' && component[0] <= 'Z') ||
            (component[0] >= 'a' && component[0] <= 'z'));
}

std::vector<std::string_view> splitPath(std::string_view name) {
    std::vector<std::string_view> components;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || isSeparator(name[i])) {
            components.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return components;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view fileNamePart(std::string_view name) {
    const std::size_t cut = name.find_last_of("/\\:");
    return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

}  // namespace

std::string decodeEntryName(std::string_view raw, bool markedUtf8, bool madeOnUnix) {
    if ((markedUtf8 || madeOnUnix) && isValidUtf8(raw)) return std::string(raw);
    return fromCp850(raw);
}

bool hasControlCharacter(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool isFolderEntry(std::string_view name) {
    return !name.empty() && isSeparator(name.back());
}

std::optional<std::filesystem::path> relativeTarget(std::string_view name, PathMode mode) {
    if (mode == PathMode::Flat) {
        const std::string_view fileName = fileNamePart(name);
        if (fileName.empty() || fileName == "." || fileName == ".." ||
            !paths::windowsNameProblem(fileName).empty())
            return std::nullopt;
        return paths::pathFromUtf8(fileName);
    }
    if (name.empty() || isSeparator(name.front()) || startsWithDrive(name)) return std::nullopt;
    std::filesystem::path relative;
    for (const std::string_view component : splitPath(name)) {
        if (component == "..") return std::nullopt;
        if (component.empty() || component == ".") continue;
        if (!paths::windowsNameProblem(component).empty()) return std::nullopt;
        relative /= paths::pathFromUtf8(component);
    }
    if (relative.empty()) return std::nullopt;
    return relative;
}

bool matchesMask(std::string_view name, std::string_view mask) {
    if (mask == "*.*" || mask == "*") return true;
    const std::string_view text = fileNamePart(name);
    // Greedy match that backtracks to the last star only: linear in practice,
    // bounded by text size times mask size at worst.
    std::size_t t = 0, m = 0;
    std::size_t starMask = std::string_view::npos, starText = 0;
    while (t < text.size()) {
        if (m < mask.size() && (mask[m] == '?' || lowerAscii(mask[m]) == lowerAscii(text[t]))) {
            ++t;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starText = t;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace archive
