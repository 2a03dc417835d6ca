// What every transfer of this module shares: libcurl's start, the addresses
// taken, the options that make up the download policy, and the reading of
// libcurl's errors.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "net/Download.h"

namespace net::common {

// libcurl hands the body over in pieces of at most this size; large pieces
// keep the number of writes and progress reports low.
inline constexpr long kReceiveBuffer = 512 * 1024;

void initialiseCurlOnce();
bool hasScheme(std::string_view url, std::string_view scheme);  // scheme with "://", any case
bool isHttpAddress(std::string_view url);

// Address, protocols, redirects (never from https to http), time to connect,
// least speed, most bytes (limits.maxBytes), error statuses as failures, and
// errorBuffer (CURL_ERROR_SIZE bytes) for libcurl's words. address must
// outlive the transfer.
void setPolicy(CURL* curl, const std::string& address, const DownloadLimits& limits,
               char* errorBuffer);

DownloadStatus statusOfHttpError(long httpStatus);
// A failed curl_easy_perform, once cancel and write errors are ruled out.
DownloadStatus statusOfFailure(CURLcode code, long httpStatus, std::uint64_t received);

// While a transfer waits (connecting, or a server that sends nothing),
// libcurl's own progress calls can be a second apart; the caller's window
// must hear from the transfer far more often than that.
inline constexpr std::chrono::milliseconds kIdleReport{50};

// curl_easy_perform, calling idle after every kIdleReport without network
// activity; idle returning false aborts the transfer
// (CURLE_ABORTED_BY_CALLBACK).
CURLcode perform(CURL* curl, const std::function<bool()>& idle);

using BodyHandler = std::size_t (*)(char* data, std::size_t size, std::size_t count, void* user);
using ProgressHandlerFunction = int (*)(void* user, curl_off_t bodyTotal, curl_off_t, curl_off_t,
                                        curl_off_t);

// Hands the body and the progress reports of one transfer to its handlers
// (both given `transfer`) and runs it through perform(), so that the progress
// handler also hears from a transfer that waits.
CURLcode performWith(CURL* curl, BodyHandler onBody, ProgressHandlerFunction onProgress,
                     void* transfer);

// Hands a progress report to the caller's handler, if there is one, as
// libcurl's progress function answers: 1 aborts the transfer. A handler asking
// to stop sets cancelled; one that throws leaves its exception in error, to be
// raised again once libcurl's C frames are left.
int report(const ProgressHandler& progress, std::uint64_t received, std::uint64_t total,
           bool& cancelled, std::exception_ptr& error);

// What the body of a final reply is, by the one rule of both transfers: a
// partial reply (206) is taken only for the range the request asked for, and
// only when its Content-Range begins where that range does and agrees with
// the file's known length; any other success is the whole file.
enum class ReplyBody {
    Whole,      // the whole file, from its first byte
    Continues,  // the range asked for: the body goes on where the request said
    StartOver,  // 416: the range asked for begins past the end of the server's file
    Refused,    // no file at all: a part nobody asked for, another part, or an error status
};

struct ReplyVerdict {
    ReplyBody body = ReplyBody::Whole;
    std::uint64_t rangeLength = 0;       // Continues: the bytes the range holds
    std::optional<std::uint64_t> total;  // Continues: the file's length, when the server knows it
    std::string refusal;                 // Refused: why, for diagnostics
};

// askedFrom: the first byte of the range asked for ("Range: bytes=N-"),
// nothing when the request asked for the whole file. expectedSize: the file's
// length as the caller knows it, 0 when unknown.
ReplyVerdict judgeReply(std::optional<std::uint64_t> askedFrom, long status,
                        std::string_view contentRange, std::uint64_t expectedSize);

// Whether text may go back to the server in an If-Range header: an entity tag
// ("..." or W/"...", visible ASCII) or an HTTP date in its one fixed form
// ("Sun, 06 Nov 1994 08:49:37 GMT"), of at most kMaxRangeCondition bytes.
// Nothing else is ever sent, so no stored text can add a header of its own.
inline constexpr std::size_t kMaxRangeCondition = 512;
bool isRangeCondition(std::string_view text);

template <typename Value>
void set(CURL* curl, CURLoption option, Value value) {
    curl_easy_setopt(curl, option, value);
}

}  // namespace net::common
