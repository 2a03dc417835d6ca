#include <curl/curl.h>
#include <paths/Utf8Path.h>
#include <platform/Files.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <memory>
#include <optional>

#include "Common.h"
#include "net/Resume.h"

namespace net {

namespace fs = std::filesystem;

namespace {

// The identity file holds one line; anything longer is not one of ours.
constexpr std::size_t kMaxIdentityFile = 1024;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The value of "Name: value" when line carries that header, case-blind.
std::optional<std::string_view> headerValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return std::nullopt;
    return trimmed(line.substr(name.size() + 1));
}

// Opens the partial file or its identity, which are this program's own: never
// through a link, never a FIFO or device (no wait on one either), never a file
// that has another name as well.
platform::File openOwnFile(const fs::path& path, bool forWriting, std::error_code& error) {
    platform::File file = forWriting
                              ? platform::File::openForWriting(path, platform::File::Start::Kept, error)
                              : platform::File::openForReading(path, error);
    if (file.isOpen() && file.hasOtherNames()) {
        error = std::make_error_code(std::errc::operation_not_permitted);
        return {};
    }
    return file;
}

// Removes the partial file or its identity, and nothing of anybody else's of
// that name.
void removeOwnFile(const fs::path& file) {
    std::error_code ignored;
    if (platform::entryKind(file, ignored) == platform::EntryKind::File)
        platform::removeFile(file, ignored);
}

// The identity kept beside the partial file: empty when there is none, or
// what is there is not one line holding an entity tag or a date.
std::string readIdentity(const fs::path& file) {
    std::error_code error;
    platform::File input = openOwnFile(file, false, error);
    if (!input.isOpen()) return {};
    std::string text = input.readUpTo(kMaxIdentityFile, error);
    if (!text.ends_with('\n')) return {};
    text.pop_back();
    return common::isRangeCondition(text) ? text : std::string();
}

bool writeIdentity(const fs::path& file, const std::string& identity) {
    std::error_code error;
    platform::File output = openOwnFile(file, true, error);
    if (!output.isOpen()) return false;
    const std::string line = identity + '\n';
    const bool written = output.truncate(0, error) && output.writeAll(line.data(), line.size(), error);
    return output.close(error) && written;
}

struct Transfer {
    Transfer(CURL* handle, platform::File& part, const ProgressHandler& handler, fs::path identity,
             std::uint64_t from, std::uint64_t expected)
        : curl(handle),
          file(part),
          progress(handler),
          identityFile(std::move(identity)),
          requestedFrom(from),
          expectedSize(expected) {}

    CURL* curl;
    platform::File& file;
    const ProgressHandler& progress;
    fs::path identityFile;
    std::uint64_t requestedFrom;  // the range asked for, 0 for the whole file
    std::uint64_t expectedSize;
    std::uint64_t maxBytes = 0;  // the whole file's bound

    // The headers of the last reply (a redirect's are replaced by its target's).
    std::string etag;
    std::string lastModified;
    std::string contentRange;

    bool started = false;                      // the reply's body was accepted, at its first byte
    std::uint64_t base = 0;                    // where the body starts in the partial file
    std::optional<std::uint64_t> rangeLength;  // the bytes of the range a 206 holds
    std::optional<std::uint64_t> rangeTotal;
    std::uint64_t received = 0;
    std::error_code error;
    bool writeFailed = false;
    bool cancelled = false;
    bool refused = false;  // a part of the file other than the one asked for
    std::string refusal;
    bool tooLarge = false;  // longer than expectedSize, or than the limits allow
    std::exception_ptr handlerError;
};

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        transfer.etag.clear();
        transfer.lastModified.clear();
        transfer.contentRange.clear();
    } else if (const auto etag = headerValue(line, "etag")) {
        transfer.etag = *etag;
    } else if (const auto modified = headerValue(line, "last-modified")) {
        transfer.lastModified = *modified;
    } else if (const auto range = headerValue(line, "content-range")) {
        transfer.contentRange = *range;
    }
    return size * count;
}

// Keeps what identifies the server's file beside the partial file, for the
// next call: its entity tag, else its date. A weak tag never satisfies a
// range condition, so the date is kept rather than one.
void keepIdentity(const Transfer& transfer) {
    const bool strongTag =
        !transfer.etag.starts_with("W/") && common::isRangeCondition(transfer.etag);
    const std::string& identity = strongTag ? transfer.etag : transfer.lastModified;
    if (!common::isRangeCondition(identity) || !writeIdentity(transfer.identityFile, identity))
        removeOwnFile(transfer.identityFile);
}

// At the first body byte, or at the end of an empty body: the range asked for
// continues the partial file, the whole file replaces it, anything else is
// refused.
bool startBody(Transfer& transfer) {
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    const std::optional<std::uint64_t> asked =
        transfer.requestedFrom > 0 ? std::optional(transfer.requestedFrom) : std::nullopt;
    const common::ReplyVerdict verdict =
        common::judgeReply(asked, status, transfer.contentRange, transfer.expectedSize);
    if (verdict.body == common::ReplyBody::Continues) {
        transfer.base = transfer.requestedFrom;
        transfer.rangeLength = verdict.rangeLength;
        transfer.rangeTotal = verdict.total;
    } else if (verdict.body == common::ReplyBody::Whole) {
        transfer.base = 0;
        if (!transfer.file.truncate(0, transfer.error) || !transfer.file.seek(0, transfer.error)) {
            transfer.writeFailed = true;
            return false;
        }
        keepIdentity(transfer);
    } else {
        transfer.refused = true;
        transfer.refusal = verdict.refusal;
        return false;
    }
    transfer.started = true;
    return true;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (!transfer.started && !startBody(transfer)) return 0;
    if (bytes > transfer.maxBytes - transfer.base - transfer.received) {
        transfer.tooLarge = true;
        return 0;
    }
    // Bytes past the range would land where the partial file's next part belongs.
    if (transfer.rangeLength && bytes > *transfer.rangeLength - transfer.received) {
        transfer.refused = true;
        transfer.refusal = "more bytes than the part of the file the server named";
        return 0;
    }
    if (!transfer.file.writeAll(data, bytes, transfer.error)) {
        transfer.writeFailed = true;
        return 0;
    }
    transfer.received += bytes;
    return bytes;
}

int onProgress(void* user, curl_off_t bodyTotal, curl_off_t, curl_off_t, curl_off_t) {
    auto& transfer = *static_cast<Transfer*>(user);
    // Before the reply is known the gauge stands at what is already there.
    const std::uint64_t base = transfer.started ? transfer.base : transfer.requestedFrom;
    if (transfer.started && bodyTotal > 0 &&
        static_cast<std::uint64_t>(bodyTotal) > transfer.maxBytes - base) {
        transfer.tooLarge = true;
        return 1;
    }
    std::uint64_t total = transfer.expectedSize;
    if (total == 0 && transfer.started && bodyTotal > 0)
        total = transfer.base + static_cast<std::uint64_t>(bodyTotal);
    return common::report(transfer.progress, base + transfer.received, total, transfer.cancelled,
                          transfer.handlerError);
}

DownloadStatus statusOf(CURLcode code, long httpStatus, const Transfer& transfer) {
    if (transfer.cancelled) return DownloadStatus::Cancelled;
    if (transfer.writeFailed) return DownloadStatus::WriteError;
    if (transfer.tooLarge) return DownloadStatus::TooLarge;
    if (transfer.refused) return DownloadStatus::ServerError;
    return common::statusOfFailure(code, httpStatus, transfer.received);
}

// A failure worth resuming after: the file on the server is still wanted.
bool keepsPartialFile(const ResumeResult& result) {
    switch (result.status) {
        case DownloadStatus::Cancelled:
        case DownloadStatus::Incomplete:
        case DownloadStatus::TooSlow:
        case DownloadStatus::NoConnection:
            return true;
        case DownloadStatus::ServerError:
            return result.httpStatus >= 500;
        default:
            return false;
    }
}

// One request: the range from `from` when it is not 0, else the whole file.
ResumeResult fetchOnce(const std::string& address, const fs::path& part,
                       const fs::path& identityFile, std::uint64_t from,
                       const std::string& identity, const ProgressHandler& progress,
                       std::uint64_t expectedSize, const DownloadLimits& limits) {
    ResumeResult result;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle) {
        result.status = DownloadStatus::NoConnection;
        result.detail = "libcurl could not start a transfer";
        return result;
    }
    std::error_code opened;
    platform::File file = openOwnFile(part, true, opened);
    if (!file.isOpen() || (from == 0 && !file.truncate(0, opened)) || !file.seek(from, opened)) {
        result.status = DownloadStatus::WriteError;
        result.detail = opened.message();
        return result;
    }
    CURL* curl = handle.get();
    Transfer transfer(curl, file, progress, identityFile, from, expectedSize);
    transfer.maxBytes = limits.maxBytes;
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr,
                                                                        curl_slist_free_all);
    const std::string range = std::to_string(from) + "-";
    if (from > 0) {
        common::set(curl, CURLOPT_RANGE, range.c_str());
        headers.reset(curl_slist_append(nullptr, ("If-Range: " + identity).c_str()));
        common::set(curl, CURLOPT_HTTPHEADER, headers.get());
    }
    char curlError[CURL_ERROR_SIZE] = {};
    common::setPolicy(curl, address, limits, curlError);
    common::set(curl, CURLOPT_HEADERFUNCTION, onHeader);
    common::set(curl, CURLOPT_HEADERDATA, &transfer);

    const CURLcode code = common::performWith(curl, onBody, onProgress, &transfer);
    // An empty body is judged by the same rule, before its file is closed.
    const bool accepted = code != CURLE_OK || transfer.started || startBody(transfer);
    std::error_code closing;
    const bool closed = file.close(closing);
    if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    result.resumedFrom = transfer.started ? transfer.base : 0;
    result.fetched = transfer.received;
    if (code != CURLE_OK) {
        result.status = statusOf(code, result.httpStatus, transfer);
        result.detail = transfer.writeFailed ? transfer.error.message()
                        : transfer.tooLarge  ? "longer than " + std::to_string(transfer.maxBytes) +
                                                  " bytes"
                        : transfer.refused   ? transfer.refusal
                        : curlError[0]       ? curlError
                                             : curl_easy_strerror(code);
        return result;
    }
    if (!closed) {
        result.status = DownloadStatus::WriteError;
        result.detail = closing.message();
        return result;
    }
    if (result.httpStatus != 200 && result.httpStatus != 206) {
        result.status = common::statusOfHttpError(result.httpStatus);
        result.detail = "HTTP status " + std::to_string(result.httpStatus);
        return result;
    }
    if (!accepted) {
        result.status =
            transfer.writeFailed ? DownloadStatus::WriteError : DownloadStatus::ServerError;
        result.detail = transfer.writeFailed ? transfer.error.message() : transfer.refusal;
        return result;
    }
    // The whole body arrived, yet not the part its Content-Range named.
    if (transfer.rangeLength && transfer.received != *transfer.rangeLength) {
        result.status = DownloadStatus::ServerError;
        result.detail = "received " + std::to_string(transfer.received) + " bytes of a part of " +
                        std::to_string(*transfer.rangeLength);
        return result;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    const std::uint64_t length = result.resumedFrom + transfer.received;
    std::optional<std::uint64_t> wanted;
    if (expectedSize > 0)
        wanted = expectedSize;
    else if (transfer.rangeTotal)
        wanted = transfer.rangeTotal;
    else if (announced >= 0)
        wanted = result.resumedFrom + static_cast<std::uint64_t>(announced);
    if (wanted && *wanted != length) {
        result.status = DownloadStatus::Incomplete;
        result.detail =
            "received " + std::to_string(length) + " of " + std::to_string(*wanted) + " bytes";
    }
    return result;
}

}  // namespace

fs::path partialFileOf(const fs::path& target) {
    fs::path part = target.parent_path() / ".";
    part += target.filename();
    part += ".part";
    return part;
}

fs::path partialIdentityOf(const fs::path& target) {
    fs::path identity = partialFileOf(target);
    identity += ".id";
    return identity;
}

ResumeResult downloadResuming(std::string_view url, const fs::path& target,
                              const ProgressHandler& progress, std::uint64_t expectedSize,
                              const DownloadLimits& limits) {
    ResumeResult result;
    if (!common::isHttpAddress(url)) {
        result.status = DownloadStatus::BadAddress;
        result.detail = "only http:// and https:// addresses are fetched";
        return result;
    }
    common::initialiseCurlOnce();
    const fs::path part = partialFileOf(target);
    const fs::path identityFile = partialIdentityOf(target);
    std::error_code error;
    const fs::file_status partStatus = fs::symlink_status(part, error);
    std::uint64_t kept = fs::is_regular_file(partStatus) ? fs::file_size(part, error) : 0;
    const std::string identity = kept > 0 ? readIdentity(identityFile) : std::string();
    if (error || identity.empty() || (expectedSize > 0 && kept > expectedSize)) kept = 0;
    if (fs::exists(partStatus) && !fs::is_regular_file(partStatus)) {
        result.status = DownloadStatus::WriteError;
        result.detail = paths::pathToUtf8(part) + " is not a file";
        return result;
    }

    const std::string address(url);
    // The caller's length is the file's bound.
    DownloadLimits bounded = limits;
    if (expectedSize > 0) bounded.maxBytes = std::min(limits.maxBytes, expectedSize);
    if (kept > 0 && kept == expectedSize) {
        result.resumedFrom = kept;
    } else {
        result = fetchOnce(address, part, identityFile, kept, identity, progress, expectedSize,
                           bounded);
        // The partial file no longer fits the server's file: start over once.
        if (kept > 0 && common::judgeReply(kept, result.httpStatus, {}, expectedSize).body ==
                            common::ReplyBody::StartOver) {
            removeOwnFile(identityFile);
            result = fetchOnce(address, part, identityFile, 0, {}, progress, expectedSize, bounded);
        }
    }
    if (result.done()) {
        platform::renameReplacing(part, target, error);
        if (error) {
            result.status = DownloadStatus::WriteError;
            result.detail = error.message();
        }
    }
    if (result.done() || !keepsPartialFile(result) ||
        !fs::is_regular_file(fs::symlink_status(identityFile, error))) {
        if (!result.done()) removeOwnFile(part);
        removeOwnFile(identityFile);
    }
    return result;
}

}  // namespace net
