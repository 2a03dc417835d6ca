#include "Common.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace net::common {

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

void setPolicy(CURL* curl, const std::string& address, const DownloadLimits& limits,
               char* errorBuffer) {
    set(curl, CURLOPT_URL, address.c_str());
    set(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // An https address never hands its download over to plain http.
    set(curl, CURLOPT_REDIR_PROTOCOLS_STR, hasScheme(address, "https://") ? "https" : "http,https");
    set(curl, CURLOPT_FOLLOWLOCATION, 1L);
    set(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
    set(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connectTimeout.count()));
    set(curl, CURLOPT_LOW_SPEED_LIMIT, limits.minimumSpeed);
    set(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.slowTime.count()));
    set(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    // Without this an error page would arrive as the body.
    set(curl, CURLOPT_FAILONERROR, 1L);
    set(curl, CURLOPT_NOSIGNAL, 1L);
    set(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    set(curl, CURLOPT_USERAGENT, "Tessaly");
    // HTTPS trusts what the system trusts: on Windows its certificate store
    // (Schannel always does; an OpenSSL build is told to), elsewhere the
    // system's CA bundle, which the option leaves alone.
    set(curl, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NATIVE_CA));
    set(curl, CURLOPT_ERRORBUFFER, errorBuffer);
}

CURLcode perform(CURL* curl, const std::function<bool()>& idle) {
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        bool finished = running == 0;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                finished = true;
            }
        }
        if (finished) break;
        int active = 0;
        curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(kIdleReport.count()), &active);
        if (active == 0 && idle && !idle()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

CURLcode performWith(CURL* curl, BodyHandler onBody, ProgressHandlerFunction onProgress,
                     void* transfer) {
    set(curl, CURLOPT_WRITEFUNCTION, onBody);
    set(curl, CURLOPT_WRITEDATA, transfer);
    // libcurl calls the progress function only when progress is switched on.
    set(curl, CURLOPT_NOPROGRESS, 0L);
    set(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    set(curl, CURLOPT_XFERINFODATA, transfer);
    return perform(curl, [&] {
        curl_off_t total = -1;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        return onProgress(transfer, total, 0, 0, 0) == 0;
    });
}

DownloadStatus statusOfHttpError(long httpStatus) {
    return httpStatus == 404 || httpStatus == 410 ? DownloadStatus::NotFound
                                                  : DownloadStatus::ServerError;
}

DownloadStatus statusOfFailure(CURLcode code, long httpStatus, std::uint64_t received) {
    const bool answered = httpStatus != 0 || received > 0;
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
        case CURLE_FILESIZE_EXCEEDED:
            return DownloadStatus::TooLarge;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return answered ? DownloadStatus::Incomplete : DownloadStatus::NoConnection;
        case CURLE_PARTIAL_FILE:
            return DownloadStatus::Incomplete;
        default:
            return DownloadStatus::ServerError;
    }
}

int report(const ProgressHandler& progress, std::uint64_t received, std::uint64_t total,
           bool& cancelled, std::exception_ptr& error) {
    if (!progress) return 0;
    bool cancel = false;
    try {
        progress(received, total, cancel);
    } catch (...) {
        error = std::current_exception();
        return 1;
    }
    if (cancel) cancelled = true;
    return cancel ? 1 : 0;
}

}  // namespace net::common
