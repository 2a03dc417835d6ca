#include "net/Download.h"

#include <curl/curl.h>
#include <platform/Files.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <memory>
#include <random>
#include <system_error>

#include "Common.h"

namespace net {

namespace fs = std::filesystem;

namespace {

// The body's file while it arrives, beside the target and hidden; removed
// unless it was put in place.
class PartialFile {
  public:
    explicit PartialFile(const fs::path& target) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 16; ++attempt) {
            char suffix[24];
            std::snprintf(suffix, sizeof suffix, ".%06llx.part",
                          static_cast<unsigned long long>(random() & 0xFFFFFF));
            fs::path name = target.parent_path() / ".";
            name += target.filename();
            name += suffix;
            file_ = platform::File::createNew(name, error_);
            if (file_.isOpen()) {
                path_ = std::move(name);
                return;
            }
            if (error_ != std::errc::file_exists) return;
        }
    }
    ~PartialFile() {
        std::error_code ignored;
        file_.close(ignored);
        if (!path_.empty()) platform::removeFile(path_, ignored);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    std::string error() const { return error_.message(); }

    bool write(const char* data, std::size_t size) { return file_.writeAll(data, size, error_); }

    bool putInPlaceOf(const fs::path& target) {
        if (!file_.close(error_)) return false;
        platform::renameReplacing(path_, target, error_);
        if (error_) return false;
        path_.clear();
        return true;
    }

  private:
    platform::File file_;
    std::error_code error_;
    fs::path path_;
};

struct Transfer {
    Transfer(CURL* handle, PartialFile& target, const ProgressHandler& handler, std::uint64_t most)
        : curl(handle), file(target), progress(handler), maxBytes(most) {}

    CURL* curl;
    PartialFile& file;
    const ProgressHandler& progress;
    std::uint64_t maxBytes;
    std::uint64_t received = 0;
    bool started = false;  // the reply's body was accepted, at its first byte
    bool refused = false;  // a part of the file, which this request never asks for
    std::string refusal;
    bool tooLarge = false;
    bool writeFailed = false;
    bool cancelled = false;
    std::exception_ptr handlerError;  // thrown by the progress handler, raised again after
};

// At the first body byte, or at the end of an empty body: this request asks
// for the whole file, so only a reply holding all of it is taken.
bool acceptReply(Transfer& transfer) {
    long status = 0;
    curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
    const common::ReplyVerdict verdict = common::judgeReply(std::nullopt, status, {}, 0);
    transfer.started = verdict.body == common::ReplyBody::Whole;
    if (!transfer.started) {
        transfer.refused = true;
        transfer.refusal = verdict.refusal;
    }
    return transfer.started;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (!transfer.started && !acceptReply(transfer)) return 0;
    if (bytes > transfer.maxBytes - transfer.received) {
        transfer.tooLarge = true;
        return 0;
    }
    if (!transfer.file.write(data, bytes)) {
        transfer.writeFailed = true;
        return 0;
    }
    transfer.received += bytes;
    return bytes;
}

int onProgress(void* user, curl_off_t bodyTotal, curl_off_t, curl_off_t, curl_off_t) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (bodyTotal > 0 && static_cast<std::uint64_t>(bodyTotal) > transfer.maxBytes) {
        transfer.tooLarge = true;
        return 1;
    }
    return common::report(transfer.progress, transfer.received,
                          bodyTotal > 0 ? static_cast<std::uint64_t>(bodyTotal) : 0,
                          transfer.cancelled, transfer.handlerError);
}

DownloadStatus statusOf(CURLcode code, long httpStatus, const Transfer& transfer) {
    if (transfer.cancelled) return DownloadStatus::Cancelled;
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) return DownloadStatus::TooLarge;
    if (transfer.writeFailed) return DownloadStatus::WriteError;
    if (transfer.refused) return DownloadStatus::ServerError;
    return common::statusOfFailure(code, httpStatus, transfer.received);
}

}  // namespace

DownloadResult downloadFile(std::string_view url, const fs::path& target,
                            const ProgressHandler& progress, const DownloadLimits& limits) {
    if (!common::isHttpAddress(url))
        return {DownloadStatus::BadAddress, 0, "only http:// and https:// addresses are fetched"};
    common::initialiseCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle) return {DownloadStatus::NoConnection, 0, "libcurl could not start a transfer"};
    PartialFile file(target);
    if (!file.isOpen()) return {DownloadStatus::WriteError, 0, file.error()};

    CURL* curl = handle.get();
    Transfer transfer(curl, file, progress, limits.maxBytes);
    char curlError[CURL_ERROR_SIZE] = {};
    const std::string address(url);
    common::setPolicy(curl, address, limits, curlError);

    const CURLcode code = common::performWith(curl, onBody, onProgress, &transfer);
    if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);

    DownloadResult result;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    if (code != CURLE_OK) {
        result.status = statusOf(code, result.httpStatus, transfer);
        result.detail = transfer.writeFailed ? file.error()
                        : transfer.refused   ? transfer.refusal
                        : curlError[0]       ? curlError
                                             : curl_easy_strerror(code);
        return result;
    }
    if (result.httpStatus < 200 || result.httpStatus > 299) {
        result.status = common::statusOfHttpError(result.httpStatus);
        result.detail = "HTTP status " + std::to_string(result.httpStatus);
        return result;
    }
    if (!transfer.started && !acceptReply(transfer)) {
        result.status = DownloadStatus::ServerError;
        result.detail = transfer.refusal;
        return result;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && static_cast<std::uint64_t>(announced) != transfer.received) {
        result.status = DownloadStatus::Incomplete;
        result.detail = "received " + std::to_string(transfer.received) + " of " +
                        std::to_string(announced) + " bytes";
        return result;
    }
    if (!file.putInPlaceOf(target)) {
        result.status = DownloadStatus::WriteError;
        result.detail = file.error();
    }
    return result;
}

}  // namespace net
