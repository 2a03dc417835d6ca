// What a server says decides where its bytes land in the partial file, and a
// stored identity goes back to it in a header: a part is only ever taken as
// the range asked for, within the file's length, and a range condition never
// holds a byte that could end or add a header.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "Common.h"

namespace {

void requireSafeCondition(std::string_view text) {
    if (!net::common::isRangeCondition(text)) return;
    if (text.size() > net::common::kMaxRangeCondition) std::abort();
    for (const char c : text)
        if (c < ' ' || c > '~') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    // The first bytes choose the request and the status; the rest is the header.
    const std::optional<std::uint64_t> askedFrom =
        data[0] & 1 ? std::optional<std::uint64_t>(data[1]) : std::nullopt;
    constexpr long statuses[] = {200, 206, 416, 204, 302, 500};
    const long status = statuses[data[2] % std::size(statuses)];
    const std::uint64_t expectedSize = data[0] & 2 ? 256 : 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

    const net::common::ReplyVerdict verdict =
        net::common::judgeReply(askedFrom, status, text, expectedSize);
    using net::common::ReplyBody;
    if (verdict.body == ReplyBody::Continues) {
        if (!askedFrom || status != 206 || verdict.rangeLength == 0) std::abort();
        if (verdict.total && *verdict.total - *askedFrom < verdict.rangeLength) std::abort();
        if (verdict.total && expectedSize > 0 && *verdict.total != expectedSize) std::abort();
    }
    if (verdict.body == ReplyBody::StartOver && (!askedFrom || status != 416)) std::abort();
    if (verdict.body == ReplyBody::Whole && status == 206) std::abort();
    requireSafeCondition(text);
    return 0;
}
