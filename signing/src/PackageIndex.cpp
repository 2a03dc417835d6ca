#include "signing/PackageIndex.h"

#include <cstdio>
#include <vector>

#include "Fields.h"

namespace signing {

namespace {

constexpr int kPackageCount = 14;

using detail::decimal;
using detail::fields;

constexpr std::string_view kPublished = "publicada";
constexpr std::string_view kExpires = "expira";
constexpr std::string_view kListVersion = "lista";

// The value of a run of decimal digits; nullopt when anything else is in it.
std::optional<int> fixedDigits(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string formatTime(Time time) {
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<Time> parseTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto year = fixedDigits(text.substr(0, 4));
    const auto month = fixedDigits(text.substr(5, 2));
    const auto day = fixedDigits(text.substr(8, 2));
    const auto hour = fixedDigits(text.substr(11, 2));
    const auto minute = fixedDigits(text.substr(14, 2));
    const auto second = fixedDigits(text.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second || *year < 1970 || *hour > 23 ||
        *minute > 59 || *second > 59)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days(date) + std::chrono::hours(*hour) + std::chrono::minutes(*minute) +
           std::chrono::seconds(*second);
}

PackageIndex PackageIndex::parse(std::string_view text) {
    if (text.size() > kMaxIndexSize) throw IndexError("a lista de pacotes é grande demais");
    if (!text.empty() && text.back() != '\n')
        throw IndexError("a lista de pacotes não termina em fim de linha");
    PackageIndex index;
    int previous = -1;
    int number = 0;
    std::optional<Time> published;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const auto bad = [number](const char* why) {
            return IndexError("linha " + std::to_string(number) + " da lista de pacotes: " + why);
        };
        const std::vector<std::string_view> parts = fields(line);
        // The dates head the list: "publicada" first, "expira" right after it.
        const bool dateLine = parts.size() == 2 && (parts[0] == kPublished || parts[0] == kExpires);
        if (number == 1 && dateLine && parts[0] == kPublished) {
            published = parseTime(parts[1]);
            if (!published) throw bad("data de publicação inválida");
            continue;
        }
        if (number == 2 && published) {
            if (!dateLine || parts[0] != kExpires) throw bad("falta a data de validade");
            const auto expires = parseTime(parts[1]);
            if (!expires) throw bad("data de validade inválida");
            if (*expires <= *published) throw bad("a lista expira antes de ser publicada");
            index.validity_ = Validity{*published, *expires};
            continue;
        }
        if (dateLine) throw bad("data fora do lugar");
        if (parts.size() == 2 && parts[0] == kListVersion) {
            if (number != 3 || !index.validity_) throw bad("versão da lista fora do lugar");
            const auto version = decimal<std::uint32_t>(parts[1], kMaxVersion);
            if (!version || *version == 0) throw bad("versão da lista inválida");
            index.listVersion_ = *version;
            continue;
        }
        if (parts.size() != 4) throw bad("são esperados quatro campos");
        const auto category = decimal<int>(parts[0], kPackageCount - 1);
        if (!category) throw bad("pacote inválido");
        if (*category <= previous) throw bad("pacote repetido ou fora de ordem");
        const auto size = decimal<std::uint64_t>(parts[1], kMaxPackageSize);
        if (!size) throw bad("tamanho inválido");
        const auto digest = fromHex<32>(parts[2]);
        if (!digest || toHex(*digest) != parts[2]) throw bad("SHA-256 inválido");
        const auto version = decimal<std::uint32_t>(parts[3], kMaxVersion);
        if (!version || *version == 0) throw bad("versão inválida");
        index.lines_[*category] = IndexLine{*size, *digest, *version};
        previous = *category;
    }
    if (published && !index.validity_)
        throw IndexError("a lista de pacotes não tem data de validade");
    return index;
}

std::string PackageIndex::format() const {
    std::string text;
    if (validity_)
        text = std::string(kPublished) + ' ' + formatTime(validity_->published) + '\n' +
               std::string(kExpires) + ' ' + formatTime(validity_->expires) + '\n';
    if (listVersion_ > 0) text += std::string(kListVersion) + ' ' + std::to_string(listVersion_) + '\n';
    for (const auto& [category, line] : lines_)
        text += std::to_string(category) + ' ' + std::to_string(line.size) + ' ' +
                toHex(line.sha256) + ' ' + std::to_string(line.version) + '\n';
    return text;
}

const IndexLine* PackageIndex::find(int index) const {
    const auto it = lines_.find(index);
    return it == lines_.end() ? nullptr : &it->second;
}

void PackageIndex::setValidity(const Validity& validity) {
    if (validity.expires <= validity.published)
        throw IndexError("a lista expira antes de ser publicada");
    validity_ = validity;
}

void PackageIndex::setListVersion(std::uint32_t version) {
    if (!validity_) throw IndexError("uma lista sem datas não tem versão");
    if (version == 0 || version > kMaxVersion) throw IndexError("versão da lista inválida");
    listVersion_ = version;
}

void PackageIndex::set(int index, const IndexLine& line) {
    if (index < 0 || index >= kPackageCount) throw IndexError("pacote inválido");
    lines_[index] = line;
}

IndexLine nextLine(const IndexLine* previous, std::uint64_t size, const Digest& sha256) {
    if (!previous) return {size, sha256, 1};
    if (previous->size == size && previous->sha256 == sha256) return *previous;
    if (previous->version == kMaxVersion)
        throw IndexError("a versão do pacote chegou ao máximo");
    return {size, sha256, previous->version + 1};
}

}  // namespace signing
