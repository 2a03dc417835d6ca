// Drawing texts in their code pages, and the names Windows refuses.
#include <gtest/gtest.h>
#include <platform/Text.h>

#include "paths/WindowsNames.h"

TEST(CodePages, BytesOfEachCodePageBecomeTheirCharacters) {
    const struct {
        unsigned codePage;
        const char* bytes;
        const char* utf8;
    } cases[] = {
        {1252, "Cora\xE7\xE3o \x80", "Coração €"},
        {1250, "\x8A\x9A", "Šš"},
        {1251, "\xCC\xE8\xF0", "Мир"},
        {1253, "\xC1", "Α"},
        {28591, "\xE7\xE3", "çã"},
        {437, "\x87\x81", "çü"},
        {850, "\x87\xC6", "çã"},
        {932, "\x93\xFA\x96\x7B", "日本"},
        {936, "\xD6\xD0\xCE\xC4", "中文"},
        {949, "\xC7\xD1", "한"},
        {950, "\xA4\xA4", "中"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        const platform::CodePageDecoder decoder(c.codePage);
        ASSERT_TRUE(decoder.valid());
        EXPECT_EQ(decoder.toUtf8(c.bytes), c.utf8);
    }
    EXPECT_FALSE(platform::CodePageDecoder(4).valid()) << "no such code page";
}

TEST(CodePages, CharactersGoIntoACodePageOnlyWhereItHasThem) {
    const struct {
        unsigned codePage;
        char32_t character;
        const char* bytes;  // null: the code page lacks it
    } cases[] = {
        {1252, U'ç', "\xE7"},   {1252, U'€', "\x80"},      {1252, U'Ω', nullptr},
        {1252, U'A', "A"},       {1252, U'中', nullptr},     {1251, U'М', "\xCC"},
        {1250, U'Š', "\x8A"},   {936, U'中', "\xD6\xD0"}, {936, U'ก', nullptr},
        {932, U'日', "\x93\xFA"}, {949, U'한', "\xC7\xD1"}, {950, U'中', "\xA4\xA4"},
        // No look-alike stands in: Windows-1252 has no Ł, not even as L.
        {1252, U'Ł', nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " U+" << std::hex
                                        << static_cast<unsigned>(c.character));
        const platform::CodePageEncoder encoder(c.codePage);
        ASSERT_TRUE(encoder.valid());
        const std::optional<std::string> bytes = encoder.encode(c.character);
        if (!c.bytes) {
            EXPECT_FALSE(bytes.has_value()) << *bytes;
            continue;
        }
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, c.bytes);
    }
    EXPECT_FALSE(platform::CodePageEncoder(4).valid()) << "no such code page";
}

TEST(WindowsNames, DevicesStreamsAndTrailingDotsAreRefused) {
    const struct {
        const char* name;
        bool refused;
    } cases[] = {
        {"Mesa", false},
        {"Cadeira de balanço.PNG", false},
        {"Console.DWG", false},
        {"COM10", false},
        {"CONE.PNG", false},
        {".3.novo-Ab12Cd", false},
        {"CON", true},
        {"con", true},
        {"NUL.PNG", true},
        {"Aux.dwg", true},
        {"COM1.DWG.zip", true},
        {"lpt9", true},
        {"COM\xC2\xB9", true},
        {"PRN .txt", true},
        {"Mesa.", true},
        {"Mesa ", true},
        {"Mesa:zone", true},
        {"a<b", true},
        {"a|b", true},
        {"a\\b", true},
        {"", true},
        {"tab\tname", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(!paths::windowsNameProblem(c.name).empty(), c.refused);
    }
}
