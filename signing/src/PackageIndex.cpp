#include "signing/PackageIndex.h"

#include <charconv>
#include <limits>
#include <vector>

#include "signing/Signature.h"

namespace signing {

namespace {

constexpr int kPackageCount = 14;

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

std::vector<std::string_view> fields(std::string_view line) {
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

}  // namespace

PackageIndex PackageIndex::parse(std::string_view text) {
    if (text.size() > kMaxIndexSize) throw IndexError("a lista de pacotes é grande demais");
    if (!text.empty() && text.back() != '\n')
        throw IndexError("a lista de pacotes não termina em fim de linha");
    PackageIndex index;
    int previous = -1;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const auto bad = [number](const char* why) {
            return IndexError("linha " + std::to_string(number) + " da lista de pacotes: " + why);
        };
        const std::vector<std::string_view> parts = fields(line);
        if (parts.size() != 4) throw bad("são esperados quatro campos");
        const auto category = decimal<int>(parts[0], kPackageCount - 1);
        if (!category) throw bad("pacote inválido");
        if (*category <= previous) throw bad("pacote repetido ou fora de ordem");
        const auto size = decimal<std::uint64_t>(parts[1], kMaxPackageSize);
        if (!size) throw bad("tamanho inválido");
        const auto digest = fromHex<32>(parts[2]);
        if (!digest || toHex(*digest) != parts[2]) throw bad("SHA-256 inválido");
        const auto version =
            decimal<std::uint32_t>(parts[3], std::numeric_limits<std::int32_t>::max());
        if (!version || *version == 0) throw bad("versão inválida");
        index.lines_[*category] = IndexLine{*size, *digest, *version};
        previous = *category;
    }
    return index;
}

std::string PackageIndex::format() const {
    std::string text;
    for (const auto& [category, line] : lines_)
        text += std::to_string(category) + ' ' + std::to_string(line.size) + ' ' +
                toHex(line.sha256) + ' ' + std::to_string(line.version) + '\n';
    return text;
}

const IndexLine* PackageIndex::find(int index) const {
    const auto it = lines_.find(index);
    return it == lines_.end() ? nullptr : &it->second;
}

void PackageIndex::set(int index, const IndexLine& line) {
    if (index < 0 || index >= kPackageCount) throw IndexError("pacote inválido");
    lines_[index] = line;
}

IndexLine nextLine(const IndexLine* previous, std::uint64_t size, const Digest& sha256) {
    if (!previous) return {size, sha256, 1};
    if (previous->size == size && previous->sha256 == sha256) return *previous;
    if (previous->version == std::numeric_limits<std::int32_t>::max())
        throw IndexError("a versão do pacote chegou ao máximo");
    return {size, sha256, previous->version + 1};
}

}  // namespace signing
