// Writing zip archives for the library: block archives and packages. The same
// entries give the same bytes: entries stay in the order they are added, all
// carry one modification time, data is deflated at one fixed level, and the
// traditional PKWARE encryption's 12-byte header is derived from the entry
// instead of drawn at random (libzip and Info-ZIP draw it, which is why this
// writer is our own). Names are UTF-8 and marked so.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ZipReader.h"

namespace archive {

class ZipWriter {
  public:
    // `modified` is a UTC time from 1980 on (the format's epoch). Without a
    // password the entries are stored in the clear.
    explicit ZipWriter(std::time_t modified, std::string password = {});

    // A folder entry; the name ends with "/".
    void addFolder(std::string_view name);
    void addFile(std::string_view name, std::span<const std::uint8_t> data);

    // The whole archive. Throws ZipError when it would need the 64-bit extensions.
    std::vector<std::uint8_t> finish();

  private:
    struct Entry {
        std::string name;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint32_t externalAttributes = 0;
        std::uint32_t offset = 0;
    };
    void addEntry(Entry entry, std::span<const std::uint8_t> stored);
    void sharedFields(const Entry& entry);

    std::string password_;
    std::uint16_t dosTime_ = 0;
    std::uint16_t dosDate_ = 0;
    std::vector<std::uint8_t> out_;
    std::vector<Entry> entries_;
};

}  // namespace archive
