#include "archive/MemberBytes.h"

#include <zip.h>

#include <memory>
#include <string>

#include "paths/Utf8Path.h"

namespace archive {

namespace {

struct ArchiveCloser {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
struct MemberCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

[[noreturn]] void damaged(const std::string& shownName, std::string_view why) {
    throw ZipError("O membro do arquivo zip " + shownName + " não pôde ser lido: " +
                   std::string(why));
}

}  // namespace

std::vector<std::uint8_t> readMemberBytes(const std::filesystem::path& archiveFile,
                                          std::string_view mask, std::string_view password,
                                          std::uint64_t maxSize) {
    const std::string shownName = paths::pathToUtf8(archiveFile);
    int openError = ZIP_ER_OK;
    std::unique_ptr<zip_t, ArchiveCloser> zip(zip_open(shownName.c_str(), ZIP_RDONLY, &openError));
    if (!zip) throw ZipError("Não foi possível abrir o arquivo zip " + shownName + ".");

    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(zip.get(), index, ZIP_FL_ENC_RAW);
        if (!raw || isFolderEntry(raw) || hasControlCharacter(raw) || !matchesMask(raw, mask))
            continue;
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip.get(), index, 0, &stat) != 0) damaged(shownName, "sem descrição");
        // Anything but traditional PKWARE is refused before libzip is asked
        // (1.7.3 leaks on methods it lacks).
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE &&
            stat.encryption_method != ZIP_EM_TRAD_PKWARE)
            damaged(shownName, "criptografia não suportada");
        if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(stat.comp_method, 0))
            damaged(shownName, "compressão não suportada");
        if ((stat.valid & ZIP_STAT_SIZE) && stat.size > maxSize)
            damaged(shownName, "grande demais");

        const std::string key(password);
        std::unique_ptr<zip_file_t, MemberCloser> file(
            zip_fopen_index_encrypted(zip.get(), index, 0, key.empty() ? nullptr : key.c_str()));
        if (!file) damaged(shownName, "senha ou dados inválidos");
        std::vector<std::uint8_t> data;
        if (stat.valid & ZIP_STAT_SIZE) data.reserve(static_cast<std::size_t>(stat.size));
        std::uint8_t chunk[64 * 1024];
        for (;;) {
            // Read to the very end: only there does libzip compare the check sum.
            const zip_int64_t got = zip_fread(file.get(), chunk, sizeof chunk);
            if (got < 0) damaged(shownName, "dados danificados");
            if (got == 0) break;
            if (data.size() + static_cast<std::uint64_t>(got) > maxSize)
                damaged(shownName, "grande demais");
            data.insert(data.end(), chunk, chunk + got);
        }
        if ((stat.valid & ZIP_STAT_SIZE) && data.size() != stat.size)
            damaged(shownName, "tamanho errado");
        if (zip_fclose(file.release()) != 0) damaged(shownName, "dados danificados");
        return data;
    }
    throw ZipError("O arquivo zip " + shownName + " não contém o membro procurado.");
}

}  // namespace archive
