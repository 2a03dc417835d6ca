// The rule both transfers follow for what a reply's body is, and what may go
// back to the server as the condition of a range request.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Common.h"

using net::common::ReplyBody;

TEST(ReplyRule, APartIsTakenOnlyForTheRangeAskedFor) {
    struct Case {
        const char* name;
        std::optional<std::uint64_t> askedFrom;
        long status;
        const char* contentRange;
        std::uint64_t expectedSize;
        ReplyBody body;
        std::uint64_t rangeLength = 0;
        std::optional<std::uint64_t> total = std::nullopt;
    };
    const Case cases[] = {
        {"all of it", std::nullopt, 200, "", 0, ReplyBody::Whole},
        {"all of it, the range ignored", 300, 200, "", 600, ReplyBody::Whole},
        {"all of it, a stray Content-Range", std::nullopt, 200, "bytes 0-9/600", 0,
         ReplyBody::Whole},
        {"a part, none asked", std::nullopt, 206, "bytes 0-299/600", 0, ReplyBody::Refused},
        {"every byte as a part, none asked", std::nullopt, 206, "bytes 0-599/600", 0,
         ReplyBody::Refused},
        {"the part asked", 300, 206, "bytes 300-599/600", 0, ReplyBody::Continues, 300, 600},
        {"the part asked, of the size expected", 300, 206, "bytes 300-599/600", 600,
         ReplyBody::Continues, 300, 600},
        {"the part asked, total unknown", 300, 206, "bytes 300-599/*", 600, ReplyBody::Continues,
         300},
        {"the part asked, stopping short", 300, 206, "bytes 300-399/600", 0, ReplyBody::Continues,
         100, 600},
        {"the part asked, of another file size", 300, 206, "bytes 300-599/600", 700,
         ReplyBody::Refused},
        {"no Content-Range", 300, 206, "", 0, ReplyBody::Refused},
        {"another part", 300, 206, "bytes 0-599/600", 0, ReplyBody::Refused},
        {"the unsatisfiable form", 300, 206, "bytes */600", 0, ReplyBody::Refused},
        {"last before first", 300, 206, "bytes 300-299/600", 0, ReplyBody::Refused},
        {"last past the total", 300, 206, "bytes 300-600/600", 0, ReplyBody::Refused},
        {"no total", 300, 206, "bytes 300-599/", 0, ReplyBody::Refused},
        {"another unit", 300, 206, "items 300-599/600", 0, ReplyBody::Refused},
        {"a sign", 300, 206, "bytes +300-599/600", 0, ReplyBody::Refused},
        {"beyond 64 bits", 300, 206, "bytes 300-99999999999999999999/99999999999999999999", 0,
         ReplyBody::Refused},
        {"past the end of the file", 300, 416, "bytes */200", 0, ReplyBody::StartOver},
        {"416, no range asked", std::nullopt, 416, "bytes */200", 0, ReplyBody::Refused},
        {"an error status", std::nullopt, 500, "", 0, ReplyBody::Refused},
        {"a redirect as the last reply", std::nullopt, 302, "", 0, ReplyBody::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const net::common::ReplyVerdict verdict =
            net::common::judgeReply(c.askedFrom, c.status, c.contentRange, c.expectedSize);
        EXPECT_EQ(verdict.body, c.body);
        EXPECT_EQ(verdict.refusal.empty(), c.body != ReplyBody::Refused);
        if (c.body == ReplyBody::Continues) {
            EXPECT_EQ(verdict.rangeLength, c.rangeLength);
            EXPECT_EQ(verdict.total, c.total);
        }
    }
}

TEST(ReplyRule, OnlyAnEntityTagOrAnHttpDateIsARangeCondition) {
    struct Case {
        std::string text;
        bool condition;
    };
    const Case cases[] = {
        {"\"96000-18efb4cc056b496e\"", true},
        {"W/\"96000\"", true},
        {"\"\"", true},
        {"\"" + std::string(510, 'a') + "\"", true},  // the longest kept
        {"\"" + std::string(511, 'a') + "\"", false},
        {"96000", false},
        {"\"96000", false},
        {"\"", false},
        {"w/\"96000\"", false},
        {"\"a\"b\"", false},
        {"\"a b\"", false},
        {"\"a\rX-Injected: 1\"", false},
        {"\"a\"\r\nX-Injected: 1", false},
        {"\"\x7f\"", false},
        {"\"\xc3\xa9\"", false},
        {std::string("\"a\0b\"", 5), false},
        {"Sun, 06 Nov 1994 08:49:37 GMT", true},
        {"Wed, 29 Feb 2012 23:59:60 GMT", true},
        {"Sunday, 06-Nov-94 08:49:37 GMT", false},
        {"Sun Nov  6 08:49:37 1994", false},
        {"Sun, 06 Nov 1994 08:49:37 UTC", false},
        {"sun, 06 Nov 1994 08:49:37 GMT", false},
        {"Sun, 00 Nov 1994 08:49:37 GMT", false},
        {"Sun, 32 Nov 1994 08:49:37 GMT", false},
        {"Sun, 06 Nov 1994 24:00:00 GMT", false},
        {"Sun, 6 Nov 1994 08:49:37 GMT", false},
        {"Sun, +6 Nov 1994 08:49:37 GMT", false},
        {"Sun, 06 Nov 1994 08:49:37 GMT\r\nX-Injected: 1", false},
        {" Sun, 06 Nov 1994 08:49:37 GMT", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(net::common::isRangeCondition(c.text), c.condition);
    }
}
