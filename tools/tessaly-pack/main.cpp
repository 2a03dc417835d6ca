// The publisher's package builder.
//
//   tessaly-pack [--sign CHAVE] [--valid-days DIAS] [--output PASTA]
//                [--install PASTA_DO_PROGRAMA] <n> <pasta de desenhos>
//   tessaly-pack renew [--valid-days DIAS] CHAVE PASTA
//   tessaly-pack keygen [--raiz] PASTA
//   tessaly-pack delegar [--valid-days DIAS] RAIZ.chave PACOTES.pub PASTA
//   tessaly-pack trocar-raiz RAIZ_ATUAL.chave RAIZ_NOVA.chave PASTA
//
// Renders each drawing's thumbnail, makes its block archive and writes the
// package <n>.zip into the output folder, ready for the server's blocos/
// folder, or installs the blocks straight into <program folder>/Blocos/<n>.
// With --sign, the package's line in the output folder's indice.txt is
// written too and the list signed again with the secret key, published now
// and good for DIAS days (180 by default). renew signs PASTA/indice.txt again
// with new dates and the same lines, before it expires. keygen writes a new
// package key pair into PASTA, or with --raiz the root key pair the program is
// built with. delegar signs with the root that the package key signs the
// lists of PASTA, for DIAS days (365 by default); trocar-raiz makes a new
// root follow the current one.
// Drawings that cannot be read are named on stderr and left out. Exit
// status: 0 everything packed, 1 packed with drawings left out, 2 nothing
// written (wrong arguments or an output that cannot be written).
#include <platform/CommandLine.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "Pack.h"
#include "Sign.h"
#include "Thumbnail.h"
#include "library/Library.h"

namespace {

namespace fs = std::filesystem;

int usage() {
    std::fputs(
        std::string("uso: tessaly-pack [--sign CHAVE] [--valid-days DIAS] [--output PASTA]\n"
                    "                  [--install PASTA_DO_PROGRAMA] <n> <pasta de desenhos>\n"
                    "     tessaly-pack renew [--valid-days DIAS] CHAVE PASTA\n"
                    "     tessaly-pack keygen [--raiz] PASTA\n"
                    "     tessaly-pack delegar [--valid-days DIAS] RAIZ.chave PACOTES.pub PASTA\n"
                    "     tessaly-pack trocar-raiz RAIZ_ATUAL.chave RAIZ_NOVA.chave PASTA\n"
                    "  n: categoria de 0 a 13; o pacote fica em PASTA/<n>.zip\n"
                    "  --sign: atualiza e assina PASTA/indice.txt com a chave secreta CHAVE\n"
                    "  --valid-days: a lista assinada vale DIAS dias, de 1 a 3650 (padrão: " +
                    std::to_string(signing::kDefaultValidity.count()) +
                    ")\n"
                    "  renew: assina de novo PASTA/indice.txt, com novas datas, antes que expire\n"
                    "  keygen: grava um novo par de chaves de pacotes em PASTA (" +
                    std::string(pack::kPublicKeyName) + ", " + pack::kSecretKeyName +
                    "); com --raiz, o par da chave raiz (" + pack::kRootPublicKeyName + ", " +
                    pack::kRootSecretKeyName +
                    ")\n"
                    "  delegar: assina com a chave raiz que PACOTES.pub assina as listas de "
                    "PASTA,\n"
                    "           por DIAS dias (padrão: " +
                    std::to_string(pack::kDefaultDelegationValidity.count()) +
                    ")\n"
                    "  trocar-raiz: a nova chave raiz sucede a atual; a delegação de PASTA é "
                    "assinada de novo\n")
            .c_str(),
        stderr);
    return 2;
}

// A bar on the terminal; nothing when stderr is a file or a pipe.
void showProgress(std::size_t index, std::size_t count, const std::string& name) {
    constexpr int kWidth = 30;
    const int filled = count ? static_cast<int>(kWidth * index / count) : kWidth;
    std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu %s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), index + 1, count, name.c_str());
}

std::time_t entryTime() {
    // Reproducible builds set SOURCE_DATE_EPOCH; zip times start in 1980.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        long long seconds = 0;
        const char* end = epoch + std::strlen(epoch);
        if (std::from_chars(epoch, end, seconds).ptr == end && seconds >= 315532800)
            return static_cast<std::time_t>(seconds);
    }
    return pack::kDefaultEntryTime;
}

// A whole decimal number from 1 to 3650 days.
std::optional<std::chrono::days> validDays(std::string_view text) {
    int days = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (error != std::errc() || end != text.data() + text.size() || days < 1 || days > 3650)
        return std::nullopt;
    return std::chrono::days(days);
}

signing::Time clockNow() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

void reportPublication(const pack::Published& published) {
    for (const std::string& note : published.notes)
        std::fprintf(stderr, "tessaly-pack: aviso: %s\n", note.c_str());
    std::printf("lista de pacotes %u publicada em %s, expira em %s\n", published.listVersion,
                signing::formatTime(published.validity.published).c_str(),
                signing::formatTime(published.validity.expires).c_str());
}

int failed(const std::exception& failure) {
    std::fprintf(stderr, "tessaly-pack: %s\n", failure.what());
    return 2;
}

// The operands of a command from args[2] on, and its --valid-days; nullopt
// for anything else, or another count of operands.
std::optional<std::vector<std::string>> commandOperands(const std::vector<std::string>& args,
                                                        std::size_t count,
                                                        std::chrono::days& validity) {
    std::vector<std::string> operands;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--valid-days" && i + 1 < args.size()) {
            const auto days = validDays(args[++i]);
            if (!days) return std::nullopt;
            validity = *days;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            operands.emplace_back(arg);
        }
    }
    if (operands.size() != count) return std::nullopt;
    return operands;
}

}  // namespace

int renew(const std::vector<std::string>& args) {
    std::chrono::days validity = signing::kDefaultValidity;
    const auto operands = commandOperands(args, 2, validity);
    if (!operands) return usage();
    try {
        reportPublication(pack::renewSignedIndex(library::pathFromUtf8((*operands)[1]),
                                                 pack::readSecretKey(library::pathFromUtf8((*operands)[0])),
                                                 {clockNow(), validity}));
    } catch (const std::exception& failure) {
        return failed(failure);
    }
    return 0;
}

int delegate(const std::vector<std::string>& args) {
    std::chrono::days validity = pack::kDefaultDelegationValidity;
    const auto operands = commandOperands(args, 3, validity);
    if (!operands) return usage();
    try {
        const signing::Delegation delegation = pack::delegate(
            library::pathFromUtf8((*operands)[2]),
            pack::readSecretKey(library::pathFromUtf8((*operands)[0])),
            pack::readPublicKey(library::pathFromUtf8((*operands)[1])), {clockNow(), validity});
        std::printf("delegação %u: a chave %s assina as listas de %s até %s\n", delegation.version,
                    signing::toHex(delegation.packageKey).c_str(), (*operands)[2].c_str(),
                    signing::formatTime(delegation.until).c_str());
    } catch (const std::exception& failure) {
        return failed(failure);
    }
    return 0;
}

int replaceRoot(const std::vector<std::string>& args) {
    std::chrono::days unused{};
    const auto operands = commandOperands(args, 3, unused);
    if (!operands || unused.count() != 0) return usage();
    try {
        const std::uint32_t version =
            pack::replaceRoot(library::pathFromUtf8((*operands)[2]),
                              pack::readSecretKey(library::pathFromUtf8((*operands)[0])),
                              pack::readSecretKey(library::pathFromUtf8((*operands)[1])));
        std::printf("chave raiz %u publicada em %s/%s; guarde a nova chave raiz e publique a "
                    "pasta inteira\n",
                    version, (*operands)[2].c_str(), signing::kRootsName);
    } catch (const std::exception& failure) {
        return failed(failure);
    }
    return 0;
}

int keygen(const std::vector<std::string>& args) {
    const bool root = args.size() == 4 && args[2] == "--raiz";
    if (args.size() != 3 && !root) return usage();
    const std::string& folder = args.back();
    try {
        pack::writeKeyPair(library::pathFromUtf8(folder),
                           root ? pack::KeyKind::Root : pack::KeyKind::Package);
    } catch (const std::exception& failure) {
        return failed(failure);
    }
    std::printf("chave pública em %s/%s; a chave secreta fica em %s/%s\n", folder.c_str(),
                root ? pack::kRootPublicKeyName : pack::kPublicKeyName, folder.c_str(),
                root ? pack::kRootSecretKeyName : pack::kSecretKeyName);
    return 0;
}

int main(int argc, char** argv) {
    platform::useUtf8Console();
    const std::vector<std::string> args = platform::utf8Arguments(argc, argv);
    const std::string command = argc >= 2 ? args[1] : "";
    if (command == "keygen") return keygen(args);
    if (command == "renew") return renew(args);
    if (command == "delegar") return delegate(args);
    if (command == "trocar-raiz") return replaceRoot(args);
    std::optional<fs::path> output;
    std::optional<fs::path> secretKey;
    std::optional<fs::path> install;
    std::optional<std::chrono::days> validity;
    std::vector<std::string> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = args[i];
        if (arg == "--output" && i + 1 < argc)
            output = library::pathFromUtf8(args[++i]);
        else if (arg == "--sign" && i + 1 < argc)
            secretKey = library::pathFromUtf8(args[++i]);
        else if (arg == "--install" && i + 1 < argc)
            install = library::pathFromUtf8(args[++i]);
        else if (arg == "--valid-days" && i + 1 < argc && (validity = validDays(args[++i])))
            continue;
        else if (arg.starts_with("--"))
            return usage();
        else
            operands.emplace_back(arg);
    }
    int category = -1;
    if (operands.size() != 2 || (!output && !install) || (secretKey && !output) ||
        (validity && !secretKey))
        return usage();
    const auto [end, error] =
        std::from_chars(operands[0].data(), operands[0].data() + operands[0].size(), category);
    if (error != std::errc() || end != operands[0].data() + operands[0].size() || category < 0 ||
        category >= library::kCategoryCount)
        return usage();
    const fs::path drawings = library::pathFromUtf8(operands[1]);
    if (!fs::is_directory(drawings)) {
        std::fprintf(stderr, "tessaly-pack: a pasta %s não existe\n", operands[1].c_str());
        return 2;
    }

    const bool terminal = isatty(STDERR_FILENO);
    const std::time_t time = entryTime();
    pack::PackedCategory packed;
    try {
        // Read first: a wrong key file costs nothing of the packing.
        const std::optional<signing::SecretKey> key =
            secretKey ? std::optional(pack::readSecretKey(*secretKey)) : std::nullopt;
        packed = pack::packDrawings(drawings, time, pack::renderThumbnail,
                                    terminal ? pack::Progress(showProgress) : pack::Progress());
        if (terminal) std::fputs("\r\033[K", stderr);
        for (const pack::SkippedDrawing& skipped : packed.skipped)
            std::fprintf(stderr, "tessaly-pack: %s deixado de fora: %s\n",
                         library::pathToUtf8(skipped.file).c_str(), skipped.reason.c_str());
        if (output) {
            fs::create_directories(*output);
            const std::vector<std::uint8_t> package =
                pack::packageArchive(category, packed.blocks, time);
            // The list first: a list this key did not sign stops before anything is written.
            if (key)
                reportPublication(pack::updateSignedIndex(
                    *output, category, package, *key,
                    {clockNow(), validity.value_or(signing::kDefaultValidity)}));
            pack::writeFileAtomically(*output / library::packageName(category), package);
        }
        if (install) pack::installBlocks(*install, category, packed.blocks);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tessaly-pack: %s\n", failure.what());
        return 2;
    }
    std::printf("categoria %d: %zu blocos, %zu deixados de fora\n", category, packed.blocks.size(),
                packed.skipped.size());
    return packed.skipped.empty() ? 0 : 1;
}
