#include "net/Download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <system_error>

namespace net {

namespace fs = std::filesystem;

namespace {

// libcurl hands the body over in pieces of at most this size; large pieces
// keep the number of writes and progress reports low.
constexpr long kReceiveBuffer = 512 * 1024;

void initialiseCurlOnce() {
    struct Global {
        Global() { curl_global_init(CURL_GLOBAL_DEFAULT); }
        ~Global() { curl_global_cleanup(); }
    };
    static Global global;
}

bool hasScheme(std::string_view url, std::string_view scheme) {
    return url.size() > scheme.size() &&
           std::equal(scheme.begin(), scheme.end(), url.begin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool isHttpAddress(std::string_view url) {
    return hasScheme(url, "http://") || hasScheme(url, "https://");
}

// The body's file while it arrives, beside the target and hidden; removed
// unless it was put in place.
class PartialFile {
  public:
    explicit PartialFile(const fs::path& target) {
        std::string name =
            (target.parent_path() / ("." + target.filename().string())).string() + ".XXXXXX.part";
        descriptor_ = ::mkstemps(name.data(), 5);
        if (descriptor_ >= 0)
            path_ = name;
        else
            error_ = errno;
    }
    ~PartialFile() {
        closeFile();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    int error() const { return error_; }

    bool write(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t written = ::write(descriptor_, data, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                error_ = errno;
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool putInPlaceOf(const fs::path& target) {
        if (!closeFile()) return false;
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            error_ = errno;
            return false;
        }
        path_.clear();
        return true;
    }

  private:
    bool closeFile() {
        if (descriptor_ < 0) return true;
        const int result = ::close(descriptor_);
        descriptor_ = -1;
        if (result != 0) error_ = errno;
        return result == 0;
    }

    int descriptor_ = -1;
    int error_ = 0;
    fs::path path_;
};

struct Transfer {
    PartialFile& file;
    const ProgressHandler& progress;
    std::uint64_t maxBytes;
    std::uint64_t received = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    bool cancelled = false;
    std::exception_ptr handlerError;  // thrown by the progress handler, raised again after
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
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
    if (!transfer.progress) return 0;
    bool cancel = false;
    try {
        transfer.progress(transfer.received,
                          bodyTotal > 0 ? static_cast<std::uint64_t>(bodyTotal) : 0, cancel);
    } catch (...) {
        // An exception must not cross libcurl's C frames.
        transfer.handlerError = std::current_exception();
        return 1;
    }
    if (cancel) transfer.cancelled = true;
    return cancel ? 1 : 0;
}

DownloadStatus statusOfHttpError(long httpStatus) {
    return httpStatus == 404 || httpStatus == 410 ? DownloadStatus::NotFound
                                                  : DownloadStatus::ServerError;
}

DownloadStatus statusOf(CURLcode code, long httpStatus, const Transfer& transfer) {
    if (transfer.cancelled) return DownloadStatus::Cancelled;
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) return DownloadStatus::TooLarge;
    if (transfer.writeFailed) return DownloadStatus::WriteError;
    const bool answered = httpStatus != 0 || transfer.received > 0;
    switch (code) {
        case CURLE_HTTP_RETURNED_ERROR:
            return statusOfHttpError(httpStatus);
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return DownloadStatus::BadAddress;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
            return DownloadStatus::NoConnection;
        case CURLE_OPERATION_TIMEDOUT:
            return answered ? DownloadStatus::TooSlow : DownloadStatus::NoConnection;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return answered ? DownloadStatus::Incomplete : DownloadStatus::NoConnection;
        case CURLE_PARTIAL_FILE:
            return DownloadStatus::Incomplete;
        default:
            return DownloadStatus::ServerError;
    }
}

template <typename Value>
void set(CURL* curl, CURLoption option, Value value) {
    curl_easy_setopt(curl, option, value);
}

// The bounds of a transfer: its time to connect, its speed, its size and
// where its redirects may lead.
void applyLimits(CURL* curl, std::string_view url, const DownloadLimits& limits) {
    set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https address never hands its download over to plain http.
    set(curl, CURLOPT_REDIR_PROTOCOLS_STR, hasScheme(url, "https://") ? "https" : "http,https");
    set(curl, CURLOPT_FOLLOWLOCATION, 1L);
    set(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
    set(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
    set(curl, CURLOPT_LOW_SPEED_LIMIT, limits.minimumSpeed);
    set(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.slowTime.count()));
    set(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
}

}  // namespace

DownloadResult downloadFile(std::string_view url, const fs::path& target,
                            const ProgressHandler& progress, const DownloadLimits& limits) {
    if (!isHttpAddress(url))
        return {DownloadStatus::BadAddress, 0, "only http:// and https:// addresses are fetched"};
    initialiseCurlOnce();
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), curl_easy_cleanup);
    if (!handle) return {DownloadStatus::NoConnection, 0, "libcurl could not start a transfer"};
    PartialFile file(target);
    if (!file.isOpen()) return {DownloadStatus::WriteError, 0, std::strerror(file.error())};

    CURL* curl = handle.get();
    Transfer transfer{file, progress, limits.maxBytes, 0, false, false, false, nullptr};
    char curlError[CURL_ERROR_SIZE] = {};
    const std::string address(url);
    set(curl, CURLOPT_URL, address.c_str());
    applyLimits(curl, address, limits);
    // Without this an error page would arrive as the body.
    set(curl, CURLOPT_FAILONERROR, 1L);
    set(curl, CURLOPT_NOSIGNAL, 1L);
    set(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    set(curl, CURLOPT_USERAGENT, "Tessaly");
    set(curl, CURLOPT_ERRORBUFFER, curlError);
    set(curl, CURLOPT_WRITEFUNCTION, onBody);
    set(curl, CURLOPT_WRITEDATA, &transfer);
    // libcurl calls the progress function only when progress is switched on.
    set(curl, CURLOPT_NOPROGRESS, 0L);
    set(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    set(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    if (transfer.handlerError) std::rethrow_exception(transfer.handlerError);

    DownloadResult result;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    if (code != CURLE_OK) {
        result.status = statusOf(code, result.httpStatus, transfer);
        result.detail = transfer.writeFailed ? std::strerror(file.error())
                        : curlError[0]       ? curlError
                                             : curl_easy_strerror(code);
        return result;
    }
    if (result.httpStatus < 200 || result.httpStatus > 299) {
        result.status = statusOfHttpError(result.httpStatus);
        result.detail = "HTTP status " + std::to_string(result.httpStatus);
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
        result.detail = std::strerror(file.error());
    }
    return result;
}

}  // namespace net
