// The chain of trust from the key built into the program to the package list.
// The publisher keeps a root key offline; the program is built with it.
// Beside the list, in the server's blocos/ folder:
//   raizes.txt: the roots that replaced the built-in one, one line each,
//     "<version> <key> <signature by the root before> <signature by itself>"
//     (hex), versions 2, 3… in order; each signs the text rootLinkMessage.
//   delegacao.txt (+ .sig, by the current root): which package key signs the
//     lists, from when until when, with a version raised at every delegation:
//       delegacao <version> / chave <hex> / desde <time> / ate <time>
//   indice.txt (+ .sig, by that package key).
// A server without a delegation has lists signed by the root itself: that is
// how lists were published before there were roots and delegations, with the
// one key the program was built with.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "signing/PackageIndex.h"
#include "signing/Signature.h"

namespace signing {

inline constexpr const char* kRootsName = "raizes.txt";
inline constexpr const char* kDelegationName = "delegacao.txt";
inline constexpr const char* kDelegationSignatureName = "delegacao.txt.sig";

// A program follows at most this many root changes: the file of roots stays
// small, and so does the work of checking it.
inline constexpr std::size_t kMaxRootLinks = 32;
inline constexpr std::uint64_t kMaxRootsSize = kMaxRootLinks * 400;
inline constexpr std::uint64_t kMaxDelegationSize = 1024;
inline constexpr std::uint64_t kMaxSignatureFileSize = 1024;

// A list published up to this far ahead of the computer's clock is taken as
// a sign of the time; one further ahead only for its version.
inline constexpr std::chrono::hours kClockTolerance{24};

struct Root {
    std::uint32_t version = 1;  // the built-in key is root 1
    PublicKey key{};
    bool operator==(const Root&) const = default;
};

struct RootLink {
    std::uint32_t version = 2;
    PublicKey key{};
    Signature byPrevious{};
    Signature byItself{};
    bool operator==(const RootLink&) const = default;
};

// The text each root link signs.
std::string rootLinkMessage(std::uint32_t version, const PublicKey& key);
// The link that makes next the root after previous, as root `version`.
RootLink linkRoot(const SecretKey& previous, const SecretKey& next, std::uint32_t version);
// Throws IndexError, naming the line, for anything but the form above, more
// than kMaxRootLinks lines, or versions that do not follow one another.
std::vector<RootLink> parseRootLinks(std::string_view text);
std::string formatRootLinks(const std::vector<RootLink>& links);

struct Delegation {
    std::uint32_t version = 1;
    PublicKey packageKey{};
    Time from{};
    Time until{};  // later than from
    bool operator==(const Delegation&) const = default;

    // Throws IndexError for anything but the form above.
    static Delegation parse(std::string_view text);
    std::string format() const;
};

// The files of the chain as a server publishes them; each empty when absent.
struct Publication {
    std::string roots;
    std::string delegation;
    std::string delegationSignature;
    std::string list;
    std::string listSignature;
    bool operator==(const Publication&) const = default;
};

// What a program has taken, every part checked.
struct TrustState {
    Publication publication;
    Root root;
    std::optional<Delegation> delegation;
    PackageIndex list;
    // The latest publication of a list taken that was not far ahead of the
    // clock: the program's time never goes back behind it.
    Time knownTime{};
};

// How the user reads a date and names a package.
struct Wording {
    std::function<std::string(Time)> time;
    std::function<std::string(int)> package;
};

struct Verdict {
    bool trusted = false;
    std::string because;  // when refused: why, for the user, in Portuguese
    TrustState state;     // when trusted: what the program takes now
};

// Whether a program built with builtIn, which has taken `taken` (null when
// nothing yet), may use `offered` at `clock`. Rollback is judged by the
// versions of delegations, lists and packages, never by dates; expiry against
// the later of clock and the time the program already knows.
Verdict judgePublication(const Publication& offered, const PublicKey& builtIn,
                         const TrustState* taken, Time clock, const Wording& wording);

// The record of what a program has taken, and back. readTaken checks every
// signature again from builtIn; nullopt for anything but a record whose
// chain holds.
std::string formatTaken(const TrustState& state);
std::optional<TrustState> readTaken(std::string_view record, const PublicKey& builtIn);

}  // namespace signing
