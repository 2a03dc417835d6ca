// Fetching one file over HTTP into the file system, synchronously, with a
// progress report that can abort the transfer.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace net {

enum class DownloadStatus {
    Done,
    Cancelled,     // the progress handler asked to stop
    NotFound,      // the server has no such file (404, 410)
    NoConnection,  // the name was not resolved, or the server refused or never answered
    ServerError,   // any other error status, a reply that is not HTTP, endless redirects
    Incomplete,    // the connection dropped before the whole body arrived
    TooSlow,       // slower than limits.minimumSpeed for limits.slowTime
    TooLarge,      // the announced length or the bytes received passed limits.maxBytes
    BadAddress,    // not an http:// or https:// address
    WriteError,    // the file could not be written
};

struct DownloadResult {
    DownloadStatus status = DownloadStatus::Done;
    long httpStatus = 0;  // status code of the last reply, 0 when none came
    std::string detail;   // libcurl's or the system's own words, for diagnostics
    bool done() const { return status == DownloadStatus::Done; }
};

// received: bytes of the body so far; total: the length the server announced,
// 0 while unknown. Setting cancel to true aborts the transfer.
using ProgressHandler =
    std::function<void(std::uint64_t received, std::uint64_t total, bool& cancel)>;

// What a transfer may cost. A body larger than maxBytes is refused as soon as
// its announced length or the bytes received pass it.
struct DownloadLimits {
    std::chrono::seconds connectTimeout{20};
    // A transfer slower than minimumSpeed bytes per second for slowTime fails.
    long minimumSpeed = 1024;
    std::chrono::seconds slowTime{30};
    std::uint64_t maxBytes = std::uint64_t{2} << 30;
    long maxRedirects = 5;
};

// Fetches url into target. The body goes to a temporary file beside target,
// named "." + target's name + ".XXXXXX.part" (six random characters), which
// replaces target only when the transfer ended well and, where the server
// announced a length, has exactly that length; on every failure the temporary
// file is removed and target is left as it was. An error status (4xx, 5xx) is
// a failure: its page is never saved. Redirects are followed within
// limits.maxRedirects, to http and https only, and from an https address to
// https only.
DownloadResult downloadFile(std::string_view url, const std::filesystem::path& target,
                            const ProgressHandler& progress, const DownloadLimits& limits = {});

}  // namespace net
