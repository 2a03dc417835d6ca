#include "TextLayout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "TextFace.h"

namespace render::detail {
namespace {

constexpr char32_t kDiameter = 0x2300;
constexpr char32_t kDegree = 0x00B0;
constexpr char32_t kPlusMinus = 0x00B1;
constexpr char32_t kReplacement = 0xFFFD;
constexpr double kUnderlineY = -0.2;
constexpr double kOverlineY = 1.2;
constexpr double kStrikeY = 0.5;
constexpr double kStackScale = 0.7;
constexpr double kLineAdvance = 5.0 / 3;  // baseline to baseline, in heights
constexpr std::size_t kMaxCharacters = 1 << 16;

int hexValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

// \U+XXXX at s[i]: the character, or 0.
char32_t unicodeEscape(std::u32string_view s, std::size_t i) {
    if (i + 6 >= s.size() || s[i] != '\\' || (s[i + 1] != 'U' && s[i + 1] != 'u') ||
        s[i + 2] != '+')
        return 0;
    char32_t value = 0;
    for (std::size_t k = 3; k < 7; ++k) {
        const int digit = hexValue(s[i + k]);
        if (digit < 0) return 0;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    return value;
}

// %%x at s[i]: the symbol and the length of the code, or {0, 0}. Toggles
// (%%u, %%o) come back as 'u' / 'o' with `toggle` set.
struct Special {
    char32_t character = 0;
    std::size_t length = 0;
    bool toggle = false;
};
Special specialSymbol(std::u32string_view s, std::size_t i) {
    if (i + 2 >= s.size() || s[i] != '%' || s[i + 1] != '%') return {};
    const char32_t code = s[i + 2];
    switch (code) {
        case 'c':
        case 'C':
            return {kDiameter, 3};
        case 'd':
        case 'D':
            return {kDegree, 3};
        case 'p':
        case 'P':
            return {kPlusMinus, 3};
        case '%':
            return {'%', 3};
        case 'u':
        case 'U':
            return {'u', 3, true};
        case 'o':
        case 'O':
            return {'o', 3, true};
        default:
            break;
    }
    if (code >= '0' && code <= '9') {
        std::size_t k = i + 2;
        char32_t value = 0;
        while (k < s.size() && k < i + 5 && s[k] >= '0' && s[k] <= '9')
            value = value * 10 + (s[k++] - '0');
        return {value, k - i};
    }
    return {};
}

char32_t visible(char32_t c) {
    return c < 0x20 ? kReplacement : c;
}

struct Format {
    double height = 1;
    double widthFactor = 1;
    double oblique = 0;
    double tracking = 1;
    std::optional<dwg::Color> colour;
    bool underline = false;
    bool overline = false;
    bool strike = false;

    bool sameLook(const Format& o) const {
        return height == o.height && widthFactor == o.widthFactor && oblique == o.oblique &&
               tracking == o.tracking && underline == o.underline && overline == o.overline &&
               strike == o.strike && colour.has_value() == o.colour.has_value() &&
               (!colour || (colour->kind == o.colour->kind && colour->index == o.colour->index &&
                            colour->rgb == o.colour->rgb));
    }
};

struct Atom {
    enum class Kind { Character, Space, Break, Stack };
    Kind kind = Kind::Character;
    char32_t character = 0;
    Format format;
    std::u32string top, bottom;
    char32_t stackType = '/';
    double x = 0;  // set by the line layout, plane units

    static Atom of(Kind kind, char32_t character, const Format& format) {
        Atom a;
        a.kind = kind;
        a.character = character;
        a.format = format;
        return a;
    }
};

double atomWidth(const Atom& a) {
    const TextFace& face = TextFace::instance();
    const Format& f = a.format;
    const double unit = f.height * f.widthFactor;
    switch (a.kind) {
        case Atom::Kind::Character:
            return face.glyph(a.character).advance * unit * f.tracking;
        case Atom::Kind::Space:
            return face.glyph(' ').advance * unit * f.tracking;
        case Atom::Kind::Break:
            return 0;
        case Atom::Kind::Stack: {
            double top = 0, bottom = 0;
            for (const char32_t c : a.top) top += face.glyph(c).advance;
            for (const char32_t c : a.bottom) bottom += face.glyph(c).advance;
            const double scale = unit * kStackScale;
            return (a.stackType == '#' ? top + bottom : std::max(top, bottom)) * scale + unit * 0.2;
        }
    }
    return 0;
}

// The argument of a code, up to its ';' (or the end); i moves past it.
std::u32string codeArgument(std::u32string_view s, std::size_t& i) {
    std::u32string argument;
    while (i < s.size() && s[i] != ';') argument.push_back(s[i++]);
    if (i < s.size()) ++i;
    return argument;
}

// A number with an optional trailing 'x' (relative); nullopt when malformed.
std::optional<std::pair<double, bool>> parseNumber(const std::u32string& argument) {
    std::string ascii;
    bool relative = false;
    for (const char32_t c : argument) {
        if (c == 'x' || c == 'X') {
            relative = true;
            break;
        }
        if (c > 0x7F) return std::nullopt;
        ascii.push_back(static_cast<char>(c));
    }
    char* end = nullptr;
    const double value = std::strtod(ascii.c_str(), &end);
    if (end == ascii.c_str() || !std::isfinite(value)) return std::nullopt;
    return std::make_pair(value, relative);
}

std::vector<Atom> parseMText(std::u32string_view s, const Format& base) {
    std::vector<Atom> atoms;
    std::vector<Format> saved;
    Format f = base;
    auto character = [&](char32_t c) {
        atoms.push_back(Atom::of(Atom::Kind::Character, visible(c), f));
    };
    std::size_t i = 0;
    while (i < s.size()) {
        const char32_t c = s[i];
        if (c == '{') {
            if (saved.size() < 64) saved.push_back(f);
            ++i;
        } else if (c == '}') {
            if (!saved.empty()) {
                f = saved.back();
                saved.pop_back();
            }
            ++i;
        } else if (c == '\\' && i + 1 < s.size()) {
            if (const char32_t u = unicodeEscape(s, i)) {
                character(u);
                i += 7;
                continue;
            }
            const char32_t code = s[i + 1];
            i += 2;
            switch (code) {
                case 'P':
                case 'N':
                case 'X':
                    atoms.push_back(Atom::of(Atom::Kind::Break, 0, f));
                    break;
                case '~':
                    character(0xA0);
                    break;
                case '\\':
                case '{':
                case '}':
                    character(code);
                    break;
                case 'L':
                case 'l':
                    f.underline = code == 'L';
                    break;
                case 'O':
                case 'o':
                    f.overline = code == 'O';
                    break;
                case 'K':
                case 'k':
                    f.strike = code == 'K';
                    break;
                case 'H':
                case 'W':
                case 'Q':
                case 'T':
                case 'C':
                case 'c': {
                    const auto number = parseNumber(codeArgument(s, i));
                    if (!number) break;
                    const auto [value, relative] = *number;
                    if (code == 'H' && value > 0)
                        f.height = std::clamp(relative ? f.height * value : value,
                                              base.height / 100, base.height * 100);
                    else if (code == 'W' && value > 0)
                        f.widthFactor =
                            std::clamp(relative ? f.widthFactor * value : value, 0.01, 100.0);
                    else if (code == 'Q')
                        f.oblique = std::clamp(value, -80.0, 80.0) * std::numbers::pi / 180;
                    else if (code == 'T' && value > 0)
                        f.tracking = std::clamp(value, 0.1, 10.0);
                    else if (code == 'C')
                        f.colour =
                            dwg::Color::fromIndex(static_cast<int>(std::clamp(value, 0.0, 256.0)));
                    else if (code == 'c')
                        f.colour = dwg::Color::fromTrueColor(
                            static_cast<std::uint32_t>(std::clamp(value, 0.0, 16777215.0)));
                    break;
                }
                case 'f':
                case 'F': {
                    // Font name|b1|i1|...: only italic changes what we draw.
                    const std::u32string argument = codeArgument(s, i);
                    if (argument.find(U"|i1") != std::u32string::npos)
                        f.oblique = 15 * std::numbers::pi / 180;
                    else if (argument.find(U"|i0") != std::u32string::npos)
                        f.oblique = base.oblique;
                    break;
                }
                case 'A':
                case 'p':
                    codeArgument(s, i);
                    break;
                case 'S': {
                    std::u32string argument;
                    while (i < s.size() && s[i] != ';') {
                        if (s[i] == '\\' && i + 1 < s.size()) ++i;  // escaped ^ / # ;
                        argument.push_back(s[i++]);
                    }
                    if (i < s.size()) ++i;
                    Atom stack = Atom::of(Atom::Kind::Stack, 0, f);
                    const std::size_t split = argument.find_first_of(U"^/#");
                    stack.top = argument.substr(0, split);
                    if (split != std::u32string::npos) {
                        stack.stackType = argument[split];
                        stack.bottom = argument.substr(split + 1);
                    }
                    atoms.push_back(std::move(stack));
                    break;
                }
                default:
                    break;  // a code we do not draw
            }
        } else if (const Special special = specialSymbol(s, i); special.length > 0) {
            if (special.toggle)
                (special.character == 'u' ? f.underline : f.overline) ^= true;
            else
                character(special.character);
            i += special.length;
        } else if (c == '^' && i + 1 < s.size() &&
                   (s[i + 1] == 'J' || s[i + 1] == 'I' || s[i + 1] == 'M')) {
            if (s[i + 1] == 'J') atoms.push_back(Atom::of(Atom::Kind::Break, 0, f));
            if (s[i + 1] == 'I') atoms.push_back(Atom::of(Atom::Kind::Space, ' ', f));
            i += 2;
        } else if (c == '\n') {
            atoms.push_back(Atom::of(Atom::Kind::Break, 0, f));
            ++i;
        } else if (c == ' ' || c == '\t') {
            atoms.push_back(Atom::of(Atom::Kind::Space, ' ', f));
            ++i;
        } else {
            if (c >= 0x20) character(c);
            ++i;
        }
    }
    return atoms;
}

// A stacked fraction or tolerance: two smaller texts about a bar a little
// above the middle of the line.
void placeStack(const Atom& a, double x, double baseline, MTextLayout& layout) {
    const TextFace& face = TextFace::instance();
    const Format& f = a.format;
    const double small = f.height * kStackScale;
    const double bar = baseline + f.height * 0.4;
    auto widthOf = [&](const std::u32string& text) {
        double w = 0;
        for (const char32_t c : text) w += face.glyph(visible(c)).advance;
        return w * small * f.widthFactor;
    };
    auto place = [&](const std::u32string& text, double startX, double baselineY) {
        TextFragment part;
        part.origin = {startX, baselineY};
        part.height = small;
        part.widthFactor = f.widthFactor;
        part.oblique = f.oblique;
        part.colour = f.colour;
        double advance = 0;
        for (const char32_t c : text) {
            const Glyph& g = face.glyph(visible(c));
            if (!g.outline.empty()) part.glyphs.push_back({&g, advance});
            advance += g.advance;
        }
        if (!part.glyphs.empty()) layout.fragments.push_back(std::move(part));
    };
    const double left = x + f.height * f.widthFactor * 0.1;
    const double topWidth = widthOf(a.top), bottomWidth = widthOf(a.bottom);
    if (a.stackType == '#') {
        place(a.top, left, bar + f.height * 0.1);
        place(a.bottom, left + topWidth, bar - f.height * 0.1 - small);
        layout.bars.push_back({{left + topWidth - small * 0.3, bar - small * 0.8},
                               {left + topWidth + small * 0.3, bar + small * 0.8}});
        return;
    }
    const double width = std::max(topWidth, bottomWidth);
    place(a.top, left + (width - topWidth) / 2, bar + f.height * 0.15);
    place(a.bottom, left + (width - bottomWidth) / 2, bar - f.height * 0.15 - small);
    if (a.stackType == '/') layout.bars.push_back({{left, bar}, {left + width, bar}});
}

}  // namespace

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(std::min(text.size(), kMaxCharacters));
    std::size_t i = 0;
    while (i < text.size() && out.size() < kMaxCharacters) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t c = b;
        if (b >= 0xF0 && b < 0xF8) {
            extra = 3;
            c = b & 0x07;
        } else if (b >= 0xE0) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xC0) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0x80) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (b >= 0xF8 ||
            i + static_cast<std::size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(kReplacement);
            break;
        }
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

SimpleText parseSimpleText(std::string_view content) {
    const std::u32string s = decodeUtf8(content);
    const TextFace& face = TextFace::instance();
    SimpleText out;
    bool underline = false, overline = false;
    double underlineFrom = 0, overlineFrom = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t c = s[i];
        if (const char32_t u = unicodeEscape(s, i)) {
            c = u;
            i += 7;
        } else if (const Special special = specialSymbol(s, i); special.length > 0) {
            i += special.length;
            if (special.toggle) {
                bool& on = special.character == 'u' ? underline : overline;
                double& from = special.character == 'u' ? underlineFrom : overlineFrom;
                if (on && out.advance > from)
                    out.decorations.push_back(
                        {from, out.advance, special.character == 'u' ? kUnderlineY : kOverlineY});
                on = !on;
                from = out.advance;
                continue;
            }
            c = special.character;
        } else {
            ++i;
        }
        const Glyph& glyph = face.glyph(visible(c));
        if (!glyph.outline.empty()) out.glyphs.push_back({&glyph, out.advance});
        out.advance += glyph.advance;
    }
    if (underline && out.advance > underlineFrom)
        out.decorations.push_back({underlineFrom, out.advance, kUnderlineY});
    if (overline && out.advance > overlineFrom)
        out.decorations.push_back({overlineFrom, out.advance, kOverlineY});
    return out;
}

MTextLayout layoutMText(std::string_view content, const MTextBox& box) {
    Format base;
    base.height = box.height;
    base.widthFactor = box.widthFactor;
    base.oblique = box.oblique;
    std::vector<Atom> atoms = parseMText(decodeUtf8(content), base);

    // Lines: [first, end) atom ranges, their width and tallest text.
    struct Line {
        std::size_t first = 0, end = 0;
        double width = 0;
        double height = 0;
    };
    std::vector<Line> lines(1);
    double x = 0;
    auto newLine = [&](std::size_t at) {
        lines.back().end = at;
        lines.push_back({at, at, 0, 0});
        x = 0;
    };
    std::size_t i = 0;
    while (i < atoms.size()) {
        Atom& a = atoms[i];
        if (a.kind == Atom::Kind::Break) {
            newLine(i + 1);
            ++i;
            continue;
        }
        if (a.kind == Atom::Kind::Space) {
            a.x = x;
            x += atomWidth(a);
            ++i;
            continue;
        }
        std::size_t j = i;
        double wordWidth = 0;
        while (j < atoms.size() &&
               (atoms[j].kind == Atom::Kind::Character || atoms[j].kind == Atom::Kind::Stack))
            wordWidth += atomWidth(atoms[j++]);
        if (box.wrapWidth > 0 && x + wordWidth > box.wrapWidth * 1.0001 && lines.back().width > 0)
            newLine(i);
        for (std::size_t k = i; k < j; ++k) {
            atoms[k].x = x;
            x += atomWidth(atoms[k]);
            lines.back().height = std::max(lines.back().height, atoms[k].format.height);
        }
        lines.back().width = x;
        i = j;
    }
    lines.back().end = atoms.size();

    // Baselines from the top, then the whole block moved to its attachment.
    std::vector<double> baselines;
    double y = 0;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const double h = lines[l].height > 0 ? lines[l].height : box.height;
        y -= l == 0 ? h : h * kLineAdvance * box.lineSpacing;
        baselines.push_back(y);
    }
    const int attachment = std::clamp(box.attachment, 1, 9);
    const int row = (attachment - 1) / 3, column = (attachment - 1) % 3;
    const double blockHeight = -baselines.back();
    const double shiftY = row == 0 ? 0 : row == 1 ? blockHeight / 2 : blockHeight;

    MTextLayout layout;
    layout.lineCount = static_cast<int>(lines.size());
    const TextFace& face = TextFace::instance();
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const Line& line = lines[l];
        const double shiftX = column == 0 ? 0 : column == 1 ? -line.width / 2 : -line.width;
        const double baseline = baselines[l] + shiftY;
        // The fragment being filled (an index: stacks add fragments too).
        constexpr std::size_t kNone = SIZE_MAX;
        std::size_t open = kNone;
        const Format* openFormat = nullptr;
        double openStart = 0, openEnd = 0;
        auto close = [&] {
            if (open == kNone) return;
            TextFragment& fragment = layout.fragments[open];
            const double to = (openEnd - openStart) / (fragment.height * fragment.widthFactor);
            for (Decoration& d : fragment.decorations) d.to = to;
            open = kNone;
        };
        for (std::size_t k = line.first; k < line.end; ++k) {
            const Atom& a = atoms[k];
            if (a.kind == Atom::Kind::Break) continue;
            const Format& f = a.format;
            if (a.kind == Atom::Kind::Stack) {
                close();
                placeStack(a, shiftX + a.x, baseline, layout);
                continue;
            }
            if (open != kNone && !openFormat->sameLook(f)) close();
            if (open == kNone) {
                open = layout.fragments.size();
                openFormat = &f;
                openStart = openEnd = a.x;
                TextFragment fragment;
                fragment.origin = {shiftX + a.x, baseline};
                fragment.height = f.height;
                fragment.widthFactor = f.widthFactor;
                fragment.oblique = f.oblique;
                fragment.colour = f.colour;
                if (f.underline) fragment.decorations.push_back({0, 0, kUnderlineY});
                if (f.overline) fragment.decorations.push_back({0, 0, kOverlineY});
                if (f.strike) fragment.decorations.push_back({0, 0, kStrikeY});
                layout.fragments.push_back(std::move(fragment));
            }
            if (a.kind == Atom::Kind::Character) {
                const Glyph& g = face.glyph(a.character);
                const double unit = f.height * f.widthFactor;
                if (!g.outline.empty())
                    layout.fragments[open].glyphs.push_back({&g, (a.x - openStart) / unit});
                openEnd = a.x + atomWidth(a);
            }
        }
        close();
    }
    std::erase_if(layout.fragments,
                  [](const TextFragment& f) { return f.glyphs.empty() && f.decorations.empty(); });
    return layout;
}

}  // namespace render::detail
