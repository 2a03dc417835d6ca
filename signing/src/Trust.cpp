#include "signing/Trust.h"

#include <algorithm>

#include "Fields.h"

namespace signing {

using detail::decimal;
using detail::fields;

namespace {

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The lines of text, each ended by "\n"; throws when the last is not.
std::vector<std::string_view> linesOf(std::string_view text, const char* what) {
    if (!text.empty() && text.back() != '\n')
        throw IndexError(std::string(what) + " não termina em fim de linha");
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// "%1", "%2"… of pattern replaced by the values, in order.
std::string filled(std::string pattern, const std::vector<std::string>& values) {
    for (std::size_t i = values.size(); i-- > 0;) {
        const std::string mark = "%" + std::to_string(i + 1);
        for (std::size_t at = pattern.find(mark); at != std::string::npos;
             at = pattern.find(mark, at + values[i].size()))
            pattern.replace(at, mark.size(), values[i]);
    }
    return pattern;
}

constexpr std::string_view kDelegation = "delegacao";
constexpr std::string_view kKey = "chave";
constexpr std::string_view kFrom = "desde";
constexpr std::string_view kUntil = "ate";

// The key a list taken was signed with.
const PublicKey& listKeyOf(const TrustState& state) {
    return state.delegation ? state.delegation->packageKey : state.root.key;
}

}  // namespace

std::string rootLinkMessage(std::uint32_t version, const PublicKey& key) {
    return "raiz " + std::to_string(version) + ' ' + toHex(key) + '\n';
}

RootLink linkRoot(const SecretKey& previous, const SecretKey& next, std::uint32_t version) {
    RootLink link{version, publicKeyOf(next), {}, {}};
    const std::string message = rootLinkMessage(version, link.key);
    link.byPrevious = sign(previous, bytesOf(message));
    link.byItself = sign(next, bytesOf(message));
    return link;
}

std::vector<RootLink> parseRootLinks(std::string_view text) {
    if (text.size() > kMaxRootsSize) throw IndexError("a lista de chaves raiz é grande demais");
    std::vector<RootLink> links;
    const std::vector<std::string_view> lines = linesOf(text, "a lista de chaves raiz");
    if (lines.size() > kMaxRootLinks)
        throw IndexError("a lista de chaves raiz tem mais de " + std::to_string(kMaxRootLinks) +
                         " trocas");
    for (const std::string_view line : lines) {
        const std::string where =
            "linha " + std::to_string(links.size() + 1) + " das chaves raiz: ";
        const std::vector<std::string_view> parts = fields(line);
        if (parts.size() != 4) throw IndexError(where + "são esperados quatro campos");
        const auto version = decimal<std::uint32_t>(parts[0], kMaxVersion);
        const auto key = fromHex<32>(parts[1]);
        const auto byPrevious = fromHex<64>(parts[2]);
        const auto byItself = fromHex<64>(parts[3]);
        if (!version || *version < 2 || (!links.empty() && *version != links.back().version + 1))
            throw IndexError(where + "versão fora de ordem");
        // Lower-case hex only: one text for each link.
        if (!key || !byPrevious || !byItself || toHex(*key) != parts[1] ||
            toHex(*byPrevious) != parts[2] || toHex(*byItself) != parts[3])
            throw IndexError(where + "chave ou assinatura inválida");
        links.push_back({*version, *key, *byPrevious, *byItself});
    }
    return links;
}

std::string formatRootLinks(const std::vector<RootLink>& links) {
    std::string text;
    for (const RootLink& link : links)
        text += std::to_string(link.version) + ' ' + toHex(link.key) + ' ' +
                toHex(link.byPrevious) + ' ' + toHex(link.byItself) + '\n';
    return text;
}

Delegation Delegation::parse(std::string_view text) {
    if (text.size() > kMaxDelegationSize) throw IndexError("a delegação é grande demais");
    const std::vector<std::string_view> lines = linesOf(text, "a delegação");
    const std::string_view names[] = {kDelegation, kKey, kFrom, kUntil};
    if (lines.size() != 4) throw IndexError("a delegação tem quatro linhas");
    std::string_view values[4];
    for (int i = 0; i < 4; ++i) {
        const std::vector<std::string_view> parts = fields(lines[static_cast<std::size_t>(i)]);
        if (parts.size() != 2 || parts[0] != names[i])
            throw IndexError("linha " + std::to_string(i + 1) + " da delegação: falta " +
                             std::string(names[i]));
        values[i] = parts[1];
    }
    const auto version = decimal<std::uint32_t>(values[0], kMaxVersion);
    const auto key = fromHex<32>(values[1]);
    const auto from = parseTime(values[2]);
    const auto until = parseTime(values[3]);
    if (!version || *version == 0) throw IndexError("versão da delegação inválida");
    if (!key || toHex(*key) != values[1]) throw IndexError("chave da delegação inválida");
    if (!from || !until || *until <= *from) throw IndexError("período da delegação inválido");
    return {*version, *key, *from, *until};
}

std::string Delegation::format() const {
    return std::string(kDelegation) + ' ' + std::to_string(version) + '\n' + std::string(kKey) +
           ' ' + toHex(packageKey) + '\n' + std::string(kFrom) + ' ' + formatTime(from) + '\n' +
           std::string(kUntil) + ' ' + formatTime(until) + '\n';
}

Verdict judgePublication(const Publication& offered, const PublicKey& builtIn,
                         const TrustState* taken, Time clock, const Wording& wording) {
    Verdict verdict;
    const auto refused = [&verdict](std::string why) {
        verdict.because = std::move(why);
        return verdict;
    };
    const auto number = [](std::uint32_t n) { return std::to_string(n); };

    // The roots: from the one the program holds, each change signed by the
    // root before it and by the new one.
    Root root = taken ? taken->root : Root{1, builtIn};
    if (!offered.roots.empty()) {
        std::vector<RootLink> links;
        try {
            links = parseRootLinks(offered.roots);
        } catch (const IndexError& error) {
            return refused(
                "A lista de chaves raiz do servidor não pode ser lida por esta versão "
                "do programa (" +
                std::string(error.what()) + "). Entre em contato com o editor da biblioteca.");
        }
        // A program built with a later root starts from its place in the
        // chain, which that root signed itself.
        if (!taken)
            for (const RootLink& link : links)
                if (link.key == builtIn &&
                    verify(builtIn, bytesOf(rootLinkMessage(link.version, link.key)),
                           link.byItself))
                    root = {link.version, builtIn};
        for (const RootLink& link : links) {
            if (link.version <= root.version) continue;
            const std::string message = rootLinkMessage(link.version, link.key);
            if (!verify(root.key, bytesOf(message), link.byPrevious) ||
                !verify(link.key, bytesOf(message), link.byItself))
                return refused(filled(
                    "A troca da chave raiz do editor publicada pelo servidor (versão %1) não tem a "
                    "assinatura da chave raiz que este programa conhece: alguém pode estar se "
                    "passando pelo editor da biblioteca.",
                    {number(link.version)}));
            root = {link.version, link.key};
        }
    }

    // The delegation, which names the key of the lists.
    const PublicKey* listKey = &root.key;
    std::optional<Delegation> delegation;
    if (!offered.delegation.empty() || !offered.delegationSignature.empty()) {
        if (!verify(root.key, bytesOf(offered.delegation), bytesOf(offered.delegationSignature)))
            return refused(
                "A delegação da chave dos pacotes publicada pelo servidor não tem a "
                "assinatura da chave raiz do editor da biblioteca: os pacotes podem "
                "ter sido alterados.");
        try {
            delegation = Delegation::parse(offered.delegation);
        } catch (const IndexError& error) {
            return refused(
                "A delegação da chave dos pacotes não pode ser lida por esta versão do "
                "programa (" +
                std::string(error.what()) + "). Entre em contato com o editor da biblioteca.");
        }
        if (taken && taken->delegation) {
            const Delegation& before = *taken->delegation;
            if (delegation->version < before.version ||
                (delegation->version == before.version && *delegation != before))
                return refused(filled(
                    "A delegação da chave dos pacotes publicada pelo servidor (versão %1) é mais "
                    "antiga que a última recebida por este programa (versão %2): ela pode "
                    "autorizar uma chave que o editor já revogou.",
                    {number(delegation->version), number(before.version)}));
        }
        listKey = &delegation->packageKey;
    } else if (taken && taken->delegation) {
        return refused(
            "O servidor não publica a delegação da chave dos pacotes que este "
            "programa já recebeu: os pacotes podem ter sido alterados.");
    }

    // The list itself.
    if (!verify(*listKey, bytesOf(offered.list), bytesOf(offered.listSignature)))
        return refused(
            "A lista de pacotes do servidor não tem a assinatura do editor da "
            "biblioteca: os pacotes podem ter sido alterados.");
    const auto unreadable = [&](const std::string& why) {
        return refused(
            "A lista de pacotes do servidor não pode ser lida por esta versão do "
            "programa (" +
            why + "). Entre em contato com o editor da biblioteca.");
    };
    PackageIndex list;
    try {
        list = PackageIndex::parse(offered.list);
    } catch (const IndexError& error) {
        return unreadable(error.what());
    }
    if (!list.validity())
        return unreadable("a lista de pacotes não tem data de publicação nem de validade");

    // Rollback, by versions, against what the same package key signed before:
    // once it is replaced its lists are refused, and a key that signed a far
    // too high version is no floor for the one that replaced it.
    if (taken && listKeyOf(*taken) == *listKey) {
        const PackageIndex& before = taken->list;
        const bool sameNumberOtherList = list.listVersion() == before.listVersion() &&
                                         list.listVersion() > 0 &&
                                         offered.list != taken->publication.list;
        if (list.listVersion() < before.listVersion() || sameNumberOtherList)
            return refused(filled(
                "A lista de pacotes do servidor é mais antiga que a última recebida por este "
                "programa (lista %1; a última, %2): o servidor pode estar repetindo uma lista "
                "antiga para voltar as bibliotecas a versões anteriores.",
                {number(list.listVersion()), number(before.listVersion())}));
        for (const auto& [index, line] : before.lines()) {
            const IndexLine* now = list.find(index);
            if (now && now->version < line.version)
                return refused(filled(
                    "A lista de pacotes do servidor volta o pacote %1 da versão %2 à versão %3: "
                    "o servidor pode estar repetindo uma lista antiga.",
                    {wording.package(index), number(line.version), number(now->version)}));
        }
    }

    // Freeze: a list or delegation past its time. The program's time is the
    // later of the clock and what it already knows.
    const Time known = taken ? taken->knownTime : Time{};
    const Time now = std::max(clock, known);
    const auto clockNote = [&] {
        return clock < known
                   ? filled(
                         " A data deste computador, %1, parece atrasada: este programa já "
                         "recebeu uma lista publicada em %2.",
                         {wording.time(clock), wording.time(known)})
                   : filled(" Confira também se a data deste computador (%1) está certa.",
                            {wording.time(clock)});
    };
    if (delegation && now >= delegation->until)
        return refused(filled("A delegação da chave dos pacotes expirou em %1. Entre em contato "
                              "com o editor da biblioteca para que ele assine uma nova.",
                              {wording.time(delegation->until)}) +
                       clockNote());
    if (now >= list.validity()->expires)
        return refused(filled("A lista de pacotes do servidor expirou em %1: ela pode não trazer "
                              "as versões mais novas dos pacotes. Entre em contato com o editor "
                              "da biblioteca para que ele publique uma lista atualizada.",
                              {wording.time(list.validity()->expires)}) +
                       clockNote());

    verdict.trusted = true;
    const Time published = list.validity()->published;
    verdict.state = {offered, root, delegation, std::move(list),
                     published <= clock + kClockTolerance ? std::max(known, published) : known};
    return verdict;
}

namespace {

constexpr std::string_view kRecordHeading = "tessaly-confianca 1";
constexpr std::string_view kKnown = "conhecida";

struct RecordFile {
    const char* name;
    std::string Publication::*member;
    std::uint64_t largest;
};
const RecordFile kRecord[] = {
    {kRootsName, &Publication::roots, kMaxRootsSize},
    {kDelegationName, &Publication::delegation, kMaxDelegationSize},
    {kDelegationSignatureName, &Publication::delegationSignature, kMaxSignatureFileSize},
    {kIndexName, &Publication::list, kMaxIndexSize},
    {kSignatureName, &Publication::listSignature, kMaxSignatureFileSize},
};

}  // namespace

// "tessaly-confianca 1", "conhecida <time>", then each file as
// "<name> <length>", a line break, its bytes and a line break.
std::string formatTaken(const TrustState& state) {
    std::string text = std::string(kRecordHeading) + '\n' + std::string(kKnown) + ' ' +
                       formatTime(state.knownTime) + '\n';
    for (const RecordFile& file : kRecord) {
        const std::string& bytes = state.publication.*file.member;
        text += std::string(file.name) + ' ' + std::to_string(bytes.size()) + '\n' + bytes + '\n';
    }
    return text;
}

std::optional<TrustState> readTaken(std::string_view record, const PublicKey& builtIn) {
    const auto line = [&record]() -> std::optional<std::string_view> {
        const std::size_t end = record.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view text = record.substr(0, end);
        record.remove_prefix(end + 1);
        return text;
    };
    if (line() != kRecordHeading) return std::nullopt;
    const std::optional<std::string_view> knownLine = line();
    if (!knownLine || !knownLine->starts_with(std::string(kKnown) + ' ')) return std::nullopt;
    const std::optional<Time> known = parseTime(knownLine->substr(kKnown.size() + 1));
    if (!known) return std::nullopt;
    Publication publication;
    for (const RecordFile& file : kRecord) {
        const std::optional<std::string_view> heading = line();
        if (!heading) return std::nullopt;
        const std::vector<std::string_view> parts = fields(*heading);
        if (parts.size() != 2 || parts[0] != file.name) return std::nullopt;
        const auto size = decimal<std::uint64_t>(parts[1], file.largest);
        if (!size || record.size() < *size + 1 || record[*size] != '\n') return std::nullopt;
        publication.*file.member = std::string(record.substr(0, *size));
        record.remove_prefix(*size + 1);
    }
    if (!record.empty()) return std::nullopt;
    // Checked as if first offered; the clock is left out: a list taken stays
    // the floor when it expires.
    const Wording silent{[](Time) { return std::string(); }, [](int) { return std::string(); }};
    Verdict verdict = judgePublication(publication, builtIn, nullptr, Time::min(), silent);
    if (!verdict.trusted) return std::nullopt;
    verdict.state.knownTime = *known;
    return std::move(verdict.state);
}

}  // namespace signing
