// A download that survives a broken connection: what arrived stays in a
// partial file beside the target, and the next call for the same target asks
// the server for the rest only, with an HTTP range request that holds only
// while the file on the server is still the one the partial file began with
// (If-Range with its ETag, or its Last-Modified date when it has no ETag).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "net/Download.h"

namespace net {

// The partial file of target: "." + its name + ".part", in its folder.
std::filesystem::path partialFileOf(const std::filesystem::path& target);
// What identifies the server's file the partial file is a piece of:
// "." + target's name + ".part.id", one line.
std::filesystem::path partialIdentityOf(const std::filesystem::path& target);

struct ResumeResult : DownloadResult {
    std::uint64_t resumedFrom = 0;  // bytes kept from before, 0 when the body came whole
    std::uint64_t fetched = 0;      // body bytes this call received
};

// Fetches url into target, continuing the partial file where one is there.
// expectedSize, when not 0, is the file's length as the caller knows it: a
// longer body is refused, a partial file of that length is taken as whole
// without asking the server, and it is the total of every progress report.
// A server that ignores the range (200) sends the whole file, which replaces
// the partial one; one that cannot satisfy it (416) is asked again for the
// whole file. Progress counts the bytes kept from before. On success the
// partial file becomes target and its identity is removed. An interrupted or
// cancelled transfer keeps both for the next call; any other failure removes
// them. Error statuses, redirects and limits are as for downloadFile.
ResumeResult downloadResuming(std::string_view url, const std::filesystem::path& target,
                              const ProgressHandler& progress, std::uint64_t expectedSize = 0,
                              const DownloadLimits& limits = {});

}  // namespace net
