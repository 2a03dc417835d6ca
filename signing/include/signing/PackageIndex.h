// The publisher's list of packages, blocos/indice.txt beside the packages:
// one line per package, "<index> <size in bytes> <SHA-256 in hex> <version>",
// in index order, each ending in "\n"; nothing else. Its detached Ed25519
// signature is blocos/indice.txt.sig, the 64 signature bytes alone.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "signing/Sha256.h"

namespace signing {

inline constexpr const char* kIndexName = "indice.txt";
inline constexpr const char* kSignatureName = "indice.txt.sig";
// An index of 14 lines is under 2 KiB; anything far larger is not one.
inline constexpr std::uint64_t kMaxIndexSize = 64 * 1024;
// Above this a line's size is not a package's (and the gauge's arithmetic stays safe).
inline constexpr std::uint64_t kMaxPackageSize = std::uint64_t{1} << 40;

struct IndexLine {
    std::uint64_t size = 0;
    Digest sha256{};
    std::uint32_t version = 1;
    bool operator==(const IndexLine&) const = default;
};

class IndexError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class PackageIndex {
  public:
    // Throws IndexError, naming the line, for anything but the form above:
    // indices 0 to 13, each at most once and in ascending order, sizes up to
    // kMaxPackageSize, versions from 1 to 2^31 - 1.
    static PackageIndex parse(std::string_view text);
    std::string format() const;

    const IndexLine* find(int index) const;
    void set(int index, const IndexLine& line);
    bool empty() const { return lines_.empty(); }

  private:
    std::map<int, IndexLine> lines_;
};

// The line of a package after it was packed again: the same bytes keep their
// version, other bytes get the next one, a package not listed yet starts at 1.
IndexLine nextLine(const IndexLine* previous, std::uint64_t size, const Digest& sha256);

}  // namespace signing
