#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TemporaryFolders.h"
#include "signing/PackageIndex.h"
#include "signing/Sha256.h"
#include "signing/Signature.h"

namespace fs = std::filesystem;
using namespace signing;

namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

const std::string kDigest(64, 'a');

std::string line(const std::string& index, const std::string& size, const std::string& digest,
                 const std::string& version) {
    return index + ' ' + size + ' ' + digest + ' ' + version + '\n';
}

const std::string kDates = "publicada 2026-03-01T12:00:00Z\nexpira 2026-08-28T12:00:00Z\n";

Time at(const char* text) {
    const std::optional<Time> time = parseTime(text);
    if (!time) ADD_FAILURE() << text << " is no time";
    return time.value_or(Time{});
}

}  // namespace

TEST(PackageIndex, ParsesWhatItFormats) {
    const std::string text = line("0", "314572800", kDigest, "3") + line("7", "0", kDigest, "1") +
                             line("13", "1099511627776", std::string(64, '0'), "2147483647");
    const PackageIndex index = PackageIndex::parse(text);
    EXPECT_EQ(index.format(), text);
    ASSERT_NE(index.find(0), nullptr);
    EXPECT_EQ(index.find(0)->size, 314572800u);
    EXPECT_EQ(index.find(0)->version, 3u);
    EXPECT_EQ(index.find(13)->version, 2147483647u);
    EXPECT_EQ(index.find(3), nullptr);
    EXPECT_FALSE(index.validity()) << "the older, undated form";
    EXPECT_TRUE(PackageIndex::parse("").empty());

    const PackageIndex dated = PackageIndex::parse(kDates + text);
    EXPECT_EQ(dated.format(), kDates + text);
    ASSERT_TRUE(dated.validity());
    EXPECT_EQ(dated.validity()->published, at("2026-03-01T12:00:00Z"));
    EXPECT_EQ(dated.validity()->expires - dated.validity()->published, kDefaultValidity);
    EXPECT_EQ(*dated.find(0), *index.find(0));
    EXPECT_TRUE(PackageIndex::parse(kDates).empty());
    EXPECT_EQ(dated.listVersion(), 0u) << "a list from before list versions";

    const PackageIndex numbered = PackageIndex::parse(kDates + "lista 2147483647\n" + text);
    EXPECT_EQ(numbered.format(), kDates + "lista 2147483647\n" + text);
    EXPECT_EQ(numbered.listVersion(), kMaxVersion);
}

TEST(PackageIndex, TimesReadBackAsWrittenAndNothingElseReads) {
    using namespace std::chrono;
    const struct {
        const char* text;
        Time time;
    } written[] = {
        {"1970-01-01T00:00:00Z", Time{}},
        {"2024-02-29T23:59:59Z", sys_days(2024y / February / 29) + 23h + 59min + 59s},
        {"9999-12-31T23:59:59Z", sys_days(9999y / December / 31) + 23h + 59min + 59s},
    };
    for (const auto& c : written) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(formatTime(c.time), c.text);
        EXPECT_EQ(parseTime(c.text), c.time);
    }
    for (const char* bad :
         {"2023-02-29T12:00:00Z", "2026-13-01T12:00:00Z", "2026-00-10T12:00:00Z",
          "2026-04-31T12:00:00Z", "2026-03-01T24:00:00Z", "2026-03-01T12:60:00Z",
          "2026-03-01T12:00:60Z", "1969-12-31T23:59:59Z", "2026-03-01 12:00:00Z",
          "2026-03-01T12:00:00", "2026-03-01T12:00:00+00:00", "2026-3-01T12:00:00Z",
          "+026-03-01T12:00:00Z", "2026-03-01t12:00:00z", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseTime(bad));
    }
}

TEST(PackageIndex, RefusesEverythingButItsOwnForm) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"no final line break", line("1", "10", kDigest, "1").substr(0, 70)},
        {"carriage return", "1 10 " + kDigest + " 1\r\n"},
        {"three fields", "1 10 " + kDigest + "\n"},
        {"five fields", "1 10 " + kDigest + " 1 x\n"},
        {"two spaces", "1  10 " + kDigest + " 1\n"},
        {"empty line", line("1", "10", kDigest, "1") + "\n"},
        {"index 14", line("14", "10", kDigest, "1")},
        {"negative index", line("-1", "10", kDigest, "1")},
        {"leading zero", line("01", "10", kDigest, "1")},
        {"repeated", line("2", "10", kDigest, "1") + line("2", "10", kDigest, "1")},
        {"out of order", line("3", "10", kDigest, "1") + line("2", "10", kDigest, "1")},
        {"size beyond 1 TiB", line("1", "1099511627777", kDigest, "1")},
        {"size with sign", line("1", "+10", kDigest, "1")},
        {"short digest", line("1", "10", std::string(63, 'a'), "1")},
        {"upper-case digest", line("1", "10", std::string(64, 'A'), "1")},
        {"digest not hex", line("1", "10", std::string(64, 'g'), "1")},
        {"version 0", line("1", "10", kDigest, "0")},
        {"version beyond 2^31 - 1", line("1", "10", kDigest, "2147483648")},
        {"too large", std::string(kMaxIndexSize + 1, '\n')},
        {"published without expiry",
         "publicada 2026-03-01T12:00:00Z\n" + line("1", "10", kDigest, "1")},
        {"only a publication date", "publicada 2026-03-01T12:00:00Z\n"},
        {"expiry first", "expira 2026-08-28T12:00:00Z\npublicada 2026-03-01T12:00:00Z\n"},
        {"dates after a package", line("1", "10", kDigest, "1") + kDates},
        {"a third date", kDates + "expira 2026-09-28T12:00:00Z\n"},
        {"expires when published", "publicada 2026-03-01T12:00:00Z\nexpira 2026-03-01T12:00:00Z\n"},
        {"expires before it is published",
         "publicada 2026-03-01T12:00:00Z\nexpira 2026-02-28T12:00:00Z\n"},
        {"a date that is none", "publicada 2026-02-30T12:00:00Z\nexpira 2026-08-28T12:00:00Z\n"},
        {"list version without dates", "lista 3\n" + line("1", "10", kDigest, "1")},
        {"list version 0", kDates + "lista 0\n"},
        {"list version beyond 2^31 - 1", kDates + "lista 2147483648\n"},
        {"list version twice", kDates + "lista 3\nlista 4\n"},
        {"list version after a package", kDates + line("1", "10", kDigest, "1") + "lista 3\n"},
        {"a date with a second field",
         "publicada 2026-03-01T12:00:00Z x\nexpira 2026-08-28T12:00:00Z\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(PackageIndex::parse(c.text), IndexError);
    }
}

TEST(Signature, VerifiesOnlyTheSignedBytesUnderTheirKey) {
    const KeyPair publisher = generateKeyPair();
    const KeyPair other = generateKeyPair();
    EXPECT_EQ(publicKeyOf(publisher.secretKey), publisher.publicKey);
    const std::vector<std::uint8_t> message = bytesOf(line("3", "10", kDigest, "1"));
    const Signature signature = sign(publisher.secretKey, message);
    EXPECT_EQ(sign(publisher.secretKey, message), signature) << "the same bytes, the same signature";

    std::vector<std::uint8_t> tampered = message;
    tampered[2] ^= 1;
    std::vector<std::uint8_t> badSignature(signature.begin(), signature.end());
    badSignature[10] ^= 0x80;
    const std::vector<std::uint8_t> whole(signature.begin(), signature.end());
    const std::vector<std::uint8_t> truncated(signature.begin(), signature.end() - 1);
    struct Case {
        const char* name;
        const PublicKey& key;
        const std::vector<std::uint8_t>& message;
        const std::vector<std::uint8_t>& signature;
        bool valid;
    };
    const std::vector<std::uint8_t> empty;
    const Case cases[] = {
        {"as signed", publisher.publicKey, message, whole, true},
        {"one bit of the message changed", publisher.publicKey, tampered, whole, false},
        {"one bit of the signature changed", publisher.publicKey, message, badSignature, false},
        {"another key", other.publicKey, message, whole, false},
        {"signature cut short", publisher.publicKey, message, truncated, false},
        {"no signature", publisher.publicKey, message, empty, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(verify(c.key, c.message, c.signature), c.valid);
    }
}

TEST(Sha256, FileDigestMatchesTheBytesAcrossPieces) {
    // FIPS 180-2's example message.
    EXPECT_EQ(toHex(sha256(bytesOf("abc"))),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const fs::path folder = testsupport::makeTemporaryFolder("tessaly-sha");
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4} << 20,
                             (std::size_t{8} << 20) + 3}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 >> 3);
        const fs::path file = folder / "pacote";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
        std::vector<std::uint64_t> reports;
        const auto digest =
            sha256OfFile(file, [&](std::uint64_t hashed, bool&) { reports.push_back(hashed); });
        EXPECT_EQ(digest, sha256(bytes));
        if (size > 0) {
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports.back(), size);
        }
        EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    }
    EXPECT_FALSE(sha256OfFile(folder / "pacote", [](std::uint64_t, bool& stop) { stop = true; }));
    EXPECT_THROW(sha256OfFile(folder / "ausente"), fs::filesystem_error);
    fs::remove_all(folder);
}
