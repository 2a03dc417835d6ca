#include <dwg/Reader.h>

#include <fstream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "Containers.h"

namespace dwg {
namespace {

// Far above any block drawing; keeps a wrong path from filling memory.
constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{1} << 30;

Drawing readBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 6 || bytes[0] != 'A' || bytes[1] != 'C')
        throw Error(Error::Kind::NotDwg, "o arquivo não é um desenho DWG");
    const std::string code(reinterpret_cast<const char*>(bytes.data()), 6);
    const std::optional<Version> version = versionFromCode(code);
    if (!version) {
        for (char c : code)
            if (c < '0' && c != 'A' && c != 'C')
                throw Error(Error::Kind::NotDwg, "o arquivo não é um desenho DWG");
        throw Error::unsupportedVersion(code);
    }
    if (*version <= Version::R2000) return detail::readLocatorFile(bytes, *version);
    return detail::readPagedFile(bytes, *version);
}

}  // namespace

Drawing read(std::span<const std::uint8_t> bytes) {
    // Nothing but dwg::Error leaves the reader, whatever the file holds.
    try {
        return readBytes(bytes);
    } catch (const Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw Error::tooLarge("memória insuficiente");
    } catch (const std::length_error&) {
        throw Error::tooLarge("memória insuficiente");
    } catch (const std::exception&) {
        throw Error::damaged("conteúdo inconsistente");
    }
}

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    const std::string shown = path.string();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw Error(Error::Kind::CannotOpen, "não foi possível abrir o arquivo " + shown);
    if (size > kMaxFileSize)
        throw Error(Error::Kind::CannotOpen, "arquivo grande demais: " + shown);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(Error::Kind::CannotOpen, "não foi possível abrir o arquivo " + shown);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw Error::tooLarge("memória insuficiente para " + shown);
    }
    if (size > 0 &&
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        throw Error(Error::Kind::CannotOpen, "não foi possível ler o arquivo " + shown);
    return bytes;
}

Drawing read(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = readFileBytes(path);
    return read(std::span<const std::uint8_t>(bytes));
}

}  // namespace dwg
