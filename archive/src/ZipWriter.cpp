#include "archive/ZipWriter.h"

#include <zlib.h>

#include <array>
#include <chrono>
#include <limits>

namespace archive {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kEndOfCentralDirectory = 0x06054B50;
constexpr std::uint16_t kVersion = 20;              // 2.0: deflate, folders, encryption
constexpr std::uint16_t kMadeOnUnix = 3 << 8 | 20;  // Unix, so that modes are kept
constexpr std::uint16_t kEncrypted = 1;
constexpr std::uint16_t kUtf8Name = 1 << 11;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint32_t kFileMode = 0100644;
constexpr std::uint32_t kFolderMode = 040755;
constexpr std::uint32_t kDosFolder = 0x10;
constexpr std::size_t kEncryptionHeader = 12;

void put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t fitting32(std::size_t value) {
    if (value >= std::numeric_limits<std::uint32_t>::max())
        throw ZipError("arquivo zip grande demais");
    return static_cast<std::uint32_t>(value);
}

// The traditional PKWARE stream cipher, keyed by the password.
class PkwareCipher {
  public:
    explicit PkwareCipher(std::string_view password) : table_(get_crc_table()) {
        for (char c : password) update(static_cast<std::uint8_t>(c));
    }
    std::uint8_t encrypt(std::uint8_t plain) {
        const std::uint32_t temp = (keys_[2] & 0xFFFF) | 2;
        const auto cipher = static_cast<std::uint8_t>(plain ^ ((temp * (temp ^ 1)) >> 8));
        update(plain);
        return cipher;
    }

  private:
    std::uint32_t crcStep(std::uint32_t crc, std::uint8_t byte) const {
        return table_[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    void update(std::uint8_t plain) {
        keys_[0] = crcStep(keys_[0], plain);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813 + 1;
        keys_[2] = crcStep(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
    }
    const z_crc_t* table_;
    std::array<std::uint32_t, 3> keys_{0x12345678, 0x23456789, 0x34567890};
};

// Raw deflate at the best level; empty when it does not make the data smaller.
std::vector<std::uint8_t> deflated(std::span<const std::uint8_t> data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        throw ZipError("não foi possível comprimir");
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw ZipError("não foi possível comprimir");
    if (out.size() >= data.size()) out.clear();
    return out;
}

}  // namespace

ZipWriter::ZipWriter(std::time_t modified, std::string password) : password_(std::move(password)) {
    using namespace std::chrono;
    const sys_seconds time{seconds(modified)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss timeOfDay(time - day);
    const int year = static_cast<int>(date.year());
    if (year < 1980) throw ZipError("data anterior a 1980");
    dosTime_ = static_cast<std::uint16_t>(timeOfDay.hours().count() << 11 |
                                          timeOfDay.minutes().count() << 5 |
                                          timeOfDay.seconds().count() / 2);
    dosDate_ = static_cast<std::uint16_t>((year - 1980) << 9 |
                                          static_cast<unsigned>(date.month()) << 5 |
                                          static_cast<unsigned>(date.day()));
}

// The fields both headers of an entry hold, from the flags to the name's length.
void ZipWriter::sharedFields(const Entry& entry) {
    put16(out_, entry.flags);
    put16(out_, entry.method);
    put16(out_, dosTime_);
    put16(out_, dosDate_);
    put32(out_, entry.crc);
    put32(out_, entry.compressedSize);
    put32(out_, entry.size);
    put16(out_, static_cast<std::uint16_t>(entry.name.size()));
}

void ZipWriter::addEntry(Entry entry, std::span<const std::uint8_t> stored) {
    if (entry.name.size() > 0xFFFF || entries_.size() >= 0xFFFF)
        throw ZipError("arquivo zip grande demais");
    for (unsigned char c : entry.name)
        if (c >= 0x80) entry.flags |= kUtf8Name;
    entry.offset = fitting32(out_.size());
    put32(out_, kLocalHeader);
    put16(out_, kVersion);
    sharedFields(entry);
    put16(out_, 0);  // no extra field
    out_.insert(out_.end(), entry.name.begin(), entry.name.end());
    out_.insert(out_.end(), stored.begin(), stored.end());
    entries_.push_back(std::move(entry));
}

void ZipWriter::addFolder(std::string_view name) {
    Entry entry;
    entry.name = name;
    entry.externalAttributes = kFolderMode << 16 | kDosFolder;
    addEntry(std::move(entry), {});
}

void ZipWriter::addFile(std::string_view name, std::span<const std::uint8_t> data) {
    Entry entry;
    entry.name = name;
    entry.externalAttributes = kFileMode << 16;
    entry.size = fitting32(data.size());
    entry.crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    std::vector<std::uint8_t> stored = deflated(data);
    entry.method = stored.empty() ? kStored : kDeflated;
    if (entry.method == kStored) stored.assign(data.begin(), data.end());
    if (!password_.empty()) {
        // The header's last byte lets a reader check the password; the others
        // only have to differ between entries, so they come from the entry itself.
        std::array<std::uint8_t, kEncryptionHeader> header{};
        std::uint32_t seed = entry.crc ^ static_cast<std::uint32_t>(crc32(
                                             0, reinterpret_cast<const Bytef*>(entry.name.data()),
                                             static_cast<uInt>(entry.name.size())));
        for (std::size_t i = 0; i + 1 < header.size(); ++i) {
            seed = seed * 1103515245 + 12345;
            header[i] = static_cast<std::uint8_t>(seed >> 16);
        }
        header.back() = static_cast<std::uint8_t>(entry.crc >> 24);
        PkwareCipher cipher(password_);
        std::vector<std::uint8_t> encrypted;
        encrypted.reserve(header.size() + stored.size());
        for (std::uint8_t b : header) encrypted.push_back(cipher.encrypt(b));
        for (std::uint8_t b : stored) encrypted.push_back(cipher.encrypt(b));
        stored = std::move(encrypted);
        entry.flags |= kEncrypted;
    }
    entry.compressedSize = fitting32(stored.size());
    addEntry(std::move(entry), stored);
}

std::vector<std::uint8_t> ZipWriter::finish() {
    const std::uint32_t directoryStart = fitting32(out_.size());
    for (const Entry& entry : entries_) {
        put32(out_, kCentralHeader);
        put16(out_, kMadeOnUnix);
        put16(out_, kVersion);
        sharedFields(entry);
        put16(out_, 0);  // extra field
        put16(out_, 0);  // comment
        put16(out_, 0);  // disk
        put16(out_, 0);  // internal attributes
        put32(out_, entry.externalAttributes);
        put32(out_, entry.offset);
        out_.insert(out_.end(), entry.name.begin(), entry.name.end());
    }
    const std::uint32_t directorySize = fitting32(out_.size()) - directoryStart;
    put32(out_, kEndOfCentralDirectory);
    put16(out_, 0);
    put16(out_, 0);
    put16(out_, static_cast<std::uint16_t>(entries_.size()));
    put16(out_, static_cast<std::uint16_t>(entries_.size()));
    put32(out_, directorySize);
    put32(out_, directoryStart);
    put16(out_, 0);  // comment
    entries_.clear();
    return std::move(out_);
}

}  // namespace archive
