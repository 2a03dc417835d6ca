// Archives for the reader's tests, made by two independent writers: libzip and
// Info-ZIP's zip program.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "DrawingBytes.h"
#include "TestFiles.h"
#include "library/Library.h"

namespace fixtures {

namespace fs = std::filesystem;

inline const std::string kPassword(library::kArchivePassword);

class TempFolder {
  public:
    TempFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("tessaly-archive-") + test->test_suite_name() + "-" + test->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / name;
        removeAll();
        fs::create_directories(path_);
    }
    ~TempFolder() { removeAll(); }
    const fs::path& path() const { return path_; }

  private:
    void removeAll() {
        std::error_code error;
        // Read-only files written by a test must not keep the folder alive.
        for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::end(it);
             it.increment(error))
            fs::permissions(it->path(), fs::perms::owner_all,
                            fs::perm_options::add | fs::perm_options::nofollow, error);
        fs::remove_all(path_, error);
    }
    fs::path path_;
};

using testsupport::drawingBytes;

struct Member {
    Member(std::string storedName, std::string content)
        : name(std::move(storedName)), data(std::move(content)) {}
    Member& plain() { return encrypted = false, *this; }
    Member& aes() { return encryption = ZIP_EM_AES_256, *this; }
    Member& stored() { return compressed = false, *this; }
    // Stored as given, without the UTF-8 mark, as old Windows tools write names.
    Member& rawName() { return nameEncoding = ZIP_FL_ENC_CP437, *this; }
    Member& utf8Name() { return nameEncoding = ZIP_FL_ENC_UTF_8, *this; }
    Member& unixMode(std::uint32_t mode) { return unix = mode, *this; }
    Member& dosAttributes(std::uint8_t attributes) { return dos = attributes, *this; }
    Member& modifiedAt(std::time_t time) { return modified = time, *this; }

    std::string name;
    std::string data;
    bool encrypted = true;
    zip_uint16_t encryption = ZIP_EM_TRAD_PKWARE;
    bool compressed = true;
    zip_flags_t nameEncoding = ZIP_FL_ENC_GUESS;
    std::optional<std::uint32_t> unix;
    std::optional<std::uint8_t> dos;
    std::optional<std::time_t> modified;
};

inline void writeWithLibzip(const fs::path& archive, const std::vector<Member>& members,
                            const std::string& password = kPassword) {
    int error = 0;
    zip_t* zip = zip_open(library::pathToUtf8(archive).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr) << "libzip error " << error;
    for (const Member& member : members) {
        zip_source_t* source = zip_source_buffer(zip, member.data.data(), member.data.size(), 0);
        const zip_int64_t index =
            zip_file_add(zip, member.name.c_str(), source, member.nameEncoding);
        ASSERT_GE(index, 0) << zip_strerror(zip);
        const auto entry = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(zip, entry, member.compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        if (member.modified) zip_file_set_mtime(zip, entry, *member.modified, 0);
        if (member.encrypted) {
            ASSERT_EQ(zip_file_set_encryption(zip, entry, member.encryption, password.c_str()), 0);
        }
        if (member.unix)
            zip_file_set_external_attributes(zip, entry, 0, ZIP_OPSYS_UNIX, *member.unix << 16);
        if (member.dos) zip_file_set_external_attributes(zip, entry, 0, ZIP_OPSYS_DOS, *member.dos);
    }
    ASSERT_EQ(zip_close(zip), 0) << zip_strerror(zip);
}

// Info-ZIP's zip, run in folder on the relative names given.
inline void writeWithInfoZip(const fs::path& archive, const fs::path& folder,
                             const std::vector<std::string>& names,
                             const std::string& password = kPassword) {
    std::string command = "cd '" + folder.string() + "' && zip -q -X -P '" + password + "' '" +
                          archive.string() + "'";
    for (const std::string& name : names) command += " '" + name + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Where a member lies in an archive without comment, found through the central directory.
struct MemberLayout {
    std::size_t centralEntry = 0;
    std::size_t localHeader = 0;
    std::size_t data = 0;  // after the encryption header, when there is one
    std::size_t dataSize = 0;
};

inline std::size_t readLittleEndian(const std::string& bytes, std::size_t at, int size) {
    std::size_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

inline std::optional<MemberLayout> findMember(const std::string& bytes, const std::string& name) {
    auto le = [&](std::size_t at, int size) { return readLittleEndian(bytes, at, size); };
    const std::size_t endRecord = bytes.size() - 22;
    if (le(endRecord, 4) != 0x06054b50u) return std::nullopt;
    std::size_t entry = le(endRecord + 16, 4);
    for (std::size_t i = 0; i < le(endRecord + 10, 2); ++i) {
        const std::size_t nameLength = le(entry + 28, 2);
        if (bytes.substr(entry + 46, nameLength) == name) {
            const std::size_t encryptionHeader = (le(entry + 8, 2) & 1) ? 12 : 0;
            const std::size_t header = le(entry + 42, 4);
            return MemberLayout{
                entry, header,
                header + 30 + le(header + 26, 2) + le(header + 28, 2) + encryptionHeader,
                le(entry + 20, 4) - encryptionHeader};
        }
        entry += 46 + nameLength + le(entry + 30, 2) + le(entry + 32, 2);
    }
    return std::nullopt;
}

// Rewrites the archive after change has edited its bytes.
template <typename Change>
void patchMember(const fs::path& archive, const std::string& name, Change change) {
    std::string bytes = readFile(archive);
    const std::optional<MemberLayout> member = findMember(bytes, name);
    ASSERT_TRUE(member) << name << " not in " << archive;
    change(bytes, *member);
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << bytes;
}

// Flips one byte in the middle of a member's stored data.
inline void damageMember(const fs::path& archive, const std::string& name) {
    patchMember(archive, name, [](std::string& bytes, const MemberLayout& member) {
        bytes.at(member.data + member.dataSize / 2) ^= 0x5A;
    });
}

// Marks an encrypted member as under strong encryption (general purpose bit 6),
// a method this reader cannot decrypt.
inline void markStrongEncryption(const fs::path& archive, const std::string& name) {
    patchMember(archive, name, [](std::string& bytes, const MemberLayout& member) {
        bytes.at(member.centralEntry + 8) |= 0x40;
        bytes.at(member.localHeader + 6) |= 0x40;
    });
}

// Gives a member another stored name of the same length, in the directory and
// in its local header: how names no writer would store (a NUL inside) are made.
inline void renameStored(const fs::path& archive, const std::string& name,
                         const std::string& newName) {
    ASSERT_EQ(name.size(), newName.size());
    patchMember(archive, name, [&](std::string& bytes, const MemberLayout& member) {
        bytes.replace(member.centralEntry + 46, newName.size(), newName);
        bytes.replace(member.localHeader + 30, newName.size(), newName);
    });
}

// Makes the directory and local header claim another uncompressed size.
inline void setDeclaredSize(const fs::path& archive, const std::string& name, std::uint32_t size) {
    patchMember(archive, name, [&](std::string& bytes, const MemberLayout& member) {
        for (const std::size_t at : {member.centralEntry + 24, member.localHeader + 22})
            for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(size >> (8 * i));
    });
}

// Every path below folder, relative, sorted.
inline std::vector<std::string> listTree(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries.push_back(slashed(fs::relative(entry.path(), folder)));
    std::sort(entries.begin(), entries.end());
    return entries;
}

}  // namespace fixtures
