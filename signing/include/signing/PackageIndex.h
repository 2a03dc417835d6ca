// The publisher's list of packages, blocos/indice.txt beside the packages:
// two lines "publicada <time>" and "expira <time>" (UTC, "2026-12-09T18:35:21Z"),
// a line "lista <number>", the list's version, raised at every publication,
// then one line per package, "<index> <size in bytes> <SHA-256 in hex> <version>",
// in index order, each ending in "\n"; nothing else. Lists written before the
// version existed lack its line, and those written before the dates the two
// first lines too; the publisher's tool still reads both, the program trusts
// only dated ones. Its detached Ed25519 signature is blocos/indice.txt.sig,
// the 64 signature bytes alone.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "signing/Sha256.h"
#include "signing/Signature.h"

namespace signing {

inline constexpr const char* kIndexName = "indice.txt";
inline constexpr const char* kSignatureName = "indice.txt.sig";
// An index of 14 lines is under 2 KiB; anything far larger is not one.
inline constexpr std::uint64_t kMaxIndexSize = 64 * 1024;
// Above this a line's size is not a package's (and the gauge's arithmetic stays safe).
inline constexpr std::uint64_t kMaxPackageSize = std::uint64_t{1} << 40;

// Lists are dated to the second.
using Time = std::chrono::sys_seconds;

// How long a list stays good unless its publisher says otherwise: a server
// that keeps serving one list hides newer packages at most this long.
inline constexpr std::chrono::days kDefaultValidity{180};

// "2026-12-09T18:35:21Z".
std::string formatTime(Time time);
// Exactly that form, years 1970 to 9999; nullopt for anything else.
std::optional<Time> parseTime(std::string_view text);

// When a list was signed and until when a program may use it.
struct Validity {
    Time published;
    Time expires;  // later than published
    bool operator==(const Validity&) const = default;
};

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

// Versions of packages, lists and delegations: 1 to this.
inline constexpr std::uint32_t kMaxVersion = 0x7fffffff;

class PackageIndex {
  public:
    // Throws IndexError, naming the line, for anything but the form above:
    // both dates or neither, a list expiring after it was published, a list
    // version only after the dates, indices 0 to 13, each at most once and in
    // ascending order, sizes up to kMaxPackageSize, versions from 1 to kMaxVersion.
    static PackageIndex parse(std::string_view text);
    std::string format() const;

    // nullopt for a list of the older, undated form.
    const std::optional<Validity>& validity() const { return validity_; }
    // Throws IndexError unless the list expires after it is published.
    void setValidity(const Validity& validity);
    // 0 for a list without its version line.
    std::uint32_t listVersion() const { return listVersion_; }
    // Throws IndexError for 0 or beyond kMaxVersion, or on an undated list.
    void setListVersion(std::uint32_t version);
    // Every package line, by index.
    const std::map<int, IndexLine>& lines() const { return lines_; }

    const IndexLine* find(int index) const;
    void set(int index, const IndexLine& line);
    bool empty() const { return lines_.empty(); }

  private:
    std::optional<Validity> validity_;
    std::uint32_t listVersion_ = 0;
    std::map<int, IndexLine> lines_;
};

// The line of a package after it was packed again: the same bytes keep their
// version, other bytes get the next one, a package not listed yet starts at 1.
IndexLine nextLine(const IndexLine* previous, std::uint64_t size, const Digest& sha256);

}  // namespace signing
