#include "Common.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <memory>

namespace net::common {

namespace {

std::optional<std::uint64_t> number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::uint64_t> total;  // "*" when the server does not know it
};

// "bytes <first>-<last>/<total or *>", the form of a reply that holds a range.
std::optional<ContentRange> parseContentRange(std::string_view value) {
    if (!value.starts_with("bytes ")) return std::nullopt;
    value.remove_prefix(6);
    const std::size_t dash = value.find('-');
    const std::size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = number(value.substr(0, dash));
    const auto last = number(value.substr(dash + 1, slash - dash - 1));
    if (!first || !last || *last < *first) return std::nullopt;
    ContentRange range{*first, *last, std::nullopt};
    const std::string_view total = value.substr(slash + 1);
    if (total != "*") {
        range.total = number(total);
        if (!range.total || *range.total <= *last) return std::nullopt;
    }
    return range;
}

bool isEntityTag(std::string_view text) {
    if (text.starts_with("W/")) text.remove_prefix(2);
    return text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
           std::all_of(text.begin() + 1, text.end() - 1,
                       [](char c) { return c > ' ' && c < 0x7f && c != '"'; });
}

// The IMF-fixdate form of an HTTP date, the one a server must send.
bool isHttpDate(std::string_view text) {
    static constexpr std::array<std::string_view, 7> days = {"Mon", "Tue", "Wed", "Thu",
                                                             "Fri", "Sat", "Sun"};
    static constexpr std::array<std::string_view, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto oneOf = [](std::string_view word, const auto& words) {
        return std::find(words.begin(), words.end(), word) != words.end();
    };
    const auto within = [&text](std::size_t at, std::size_t digits, std::uint64_t least,
                                std::uint64_t most) {
        const auto value = number(text.substr(at, digits));
        return value && *value >= least && *value <= most;
    };
    constexpr std::string_view shape = "Ddd, 00 Mmm 0000 00:00:00 GMT";
    return text.size() == shape.size() && oneOf(text.substr(0, 3), days) &&
           text.substr(3, 2) == ", " && within(5, 2, 1, 31) && text[7] == ' ' &&
           oneOf(text.substr(8, 3), months) && text[11] == ' ' && within(12, 4, 0, 9999) &&
           text[16] == ' ' && within(17, 2, 0, 23) && text[19] == ':' && within(20, 2, 0, 59) &&
           text[22] == ':' && within(23, 2, 0, 60) && text.substr(25) == " GMT";
}

}  // namespace

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

ReplyVerdict judgeReply(std::optional<std::uint64_t> askedFrom, long status,
                        std::string_view contentRange, std::uint64_t expectedSize) {
    const auto refuse = [](std::string why) {
        return ReplyVerdict{ReplyBody::Refused, 0, std::nullopt, std::move(why)};
    };
    if (status == 416 && askedFrom) return {ReplyBody::StartOver, 0, std::nullopt, {}};
    if (status < 200 || status > 299) return refuse("HTTP status " + std::to_string(status));
    if (status != 206) return {};
    if (!askedFrom) return refuse("a part of the file in reply to a request for all of it");
    const std::string shown(contentRange);
    const std::optional<ContentRange> range = parseContentRange(contentRange);
    if (!range) return refuse("a part of the file without a valid Content-Range: " + shown);
    if (range->first != *askedFrom) return refuse("another part than the one asked for: " + shown);
    if (range->total && expectedSize > 0 && *range->total != expectedSize)
        return refuse("a file of " + std::to_string(*range->total) + " bytes, not " +
                      std::to_string(expectedSize) + ": " + shown);
    return {ReplyBody::Continues, range->last - range->first + 1, range->total, {}};
}

bool isRangeCondition(std::string_view text) {
    return text.size() <= kMaxRangeCondition && (isEntityTag(text) || isHttpDate(text));
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
