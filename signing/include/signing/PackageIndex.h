// The publisher's list of packages, blocos/indice.txt beside the packages:
// two lines "publicada <time>" and "expira <time>" (UTC, "2026-12-09T18:35:21Z"),
// then one line per package, "<index> <size in bytes> <SHA-256 in hex> <version>",
// in index order, each ending in "\n"; nothing else. Lists written before the
// dates existed lack the two first lines; the publisher's tool still reads
// them, the program never trusts them. Its detached Ed25519 signature is
// blocos/indice.txt.sig, the 64 signature bytes alone.
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

class PackageIndex {
  public:
    // Throws IndexError, naming the line, for anything but the form above:
    // both dates or neither, a list expiring after it was published, indices
    // 0 to 13, each at most once and in ascending order, sizes up to
    // kMaxPackageSize, versions from 1 to 2^31 - 1.
    static PackageIndex parse(std::string_view text);
    std::string format() const;

    // nullopt for a list of the older, undated form.
    const std::optional<Validity>& validity() const { return validity_; }
    // Throws IndexError unless the list expires after it is published.
    void setValidity(const Validity& validity);

    const IndexLine* find(int index) const;
    void set(int index, const IndexLine& line);
    bool empty() const { return lines_.empty(); }

  private:
    std::optional<Validity> validity_;
    std::map<int, IndexLine> lines_;
};

// The line of a package after it was packed again: the same bytes keep their
// version, other bytes get the next one, a package not listed yet starts at 1.
IndexLine nextLine(const IndexLine* previous, std::uint64_t size, const Digest& sha256);

// When a list signed again at `now` is published: after the list it replaces
// even when the publisher's clock went back, so that every program that took
// the previous list takes this one too.
Time nextPublication(const PackageIndex* previous, Time now);

enum class IndexTrust {
    Trusted,
    NotSigned,  // the key did not sign these bytes
    Malformed,  // signed, but not a dated list
    Older,      // published before the newest list the program has already taken
    Expired,    // its time is over: a server may be holding newer lists back
};

struct CheckedIndex {
    IndexTrust trust = IndexTrust::NotSigned;
    PackageIndex index;  // read whenever the signature holds
    std::string detail;  // why it is not trusted, in Portuguese
};

// Whether a program that has taken `newest` (null when none) may use, at
// `now`, the list `text` with its detached `signature`. The order matters to
// what the user is told: a list that goes back is named so even once expired.
CheckedIndex checkSignedIndex(std::span<const std::uint8_t> text,
                              std::span<const std::uint8_t> signature, const PublicKey& key,
                              Time now, const PackageIndex* newest);
// The same judgement for a list whose signature was checked before.
IndexTrust judgeIndex(const PackageIndex& index, Time now, const PackageIndex* newest);

}  // namespace signing
