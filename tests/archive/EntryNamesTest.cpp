#include <gtest/gtest.h>

#include "archive/EntryNames.h"
#include "TestFiles.h"

using namespace archive;

namespace {

std::string target(std::string_view name, PathMode mode) {
    const auto relative = relativeTarget(name, mode);
    return relative ? fixtures::slashed(*relative) : "<refused>";
}

TEST(EntryNames, StoredPathsStayBelowTheDestination) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"3/IMG/a.PNG", "3/IMG/a.PNG"},
        {"3\\DWG\\a.DWG.zip", "3/DWG/a.DWG.zip"},
        {"./3//IMG/./a.PNG", "3/IMG/a.PNG"},
        {"3/", "3"},
        {"a..b/..c", "a..b/..c"},
        {"../x.DWG", "<refused>"},
        {"a/../../x.DWG", "<refused>"},
        {"a/..", "<refused>"},
        {"..\\x.DWG", "<refused>"},
        {"/etc/x", "<refused>"},
        {"\\\\server\\share\\x", "<refused>"},
        {"C:x", "<refused>"},
        {"c:/x", "<refused>"},
        {"", "<refused>"},
        {"./", "<refused>"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(target(name, PathMode::StoredPaths), expected) << name;
}

TEST(EntryNames, FlatKeepsTheFileNameAlone) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"blocos/a.b.DWG", "a.b.DWG"}, {"../x.DWG", "x.DWG"},
        {"..\\x.DWG", "x.DWG"},        {"C:x", "x"},
        {"/etc/passwd", "passwd"},     {"a/..", "<refused>"},
        {"a/.", "<refused>"},          {"a/", "<refused>"},
        {"C:", "<refused>"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(target(name, PathMode::Flat), expected) << name;
}

TEST(EntryNames, UnmarkedWindowsNamesAreCodePage850) {
    // ç ã é Ç Ã Õ õ in code page 850; in 437 0xC6 0xC7 0xE4 0xE5 would be box drawings and Greek.
    EXPECT_EQ(decodeEntryName("\x87\xC6\x82\x80\xC7\xE5\xE4", false, false), "çãéÇÃÕõ");
    EXPECT_EQ(decodeEntryName("plain.DWG", false, false), "plain.DWG");
    // "ÃÇ" in code page 850 happens to be valid UTF-8 too; only the mark or Unix decides.
    EXPECT_EQ(decodeEntryName("\xC7\x80", false, false), "ÃÇ");
    EXPECT_EQ(decodeEntryName("\xC7\x80", true, false), "\u01C0");
    EXPECT_EQ(decodeEntryName("ação", false, true), "ação");
    EXPECT_EQ(decodeEntryName("\x87\xC6", false, true), "çã") << "Unix but not UTF-8";
}

TEST(EntryNames, NamesMarkedUtf8ButInvalidAreCodePage850) {
    EXPECT_EQ(decodeEntryName("ação", true, false), "ação");
    EXPECT_EQ(decodeEntryName("\x87\xC6", true, false), "çã");
    EXPECT_EQ(decodeEntryName("\xC0\xAF", true, false), "└»") << "overlong slash";
    EXPECT_EQ(decodeEntryName("\xED\xA0\x80", true, false), "ÝáÇ") << "surrogate";
    EXPECT_EQ(decodeEntryName("\xF4\x90\x80\x80", true, false), "¶ÉÇÇ") << "beyond U+10FFFF";
    EXPECT_EQ(decodeEntryName("a\xE3\xA7", true, false), "aÒº") << "cut short";
}

TEST(EntryNames, MasksMatchTheFileNameIgnoringCase) {
    EXPECT_TRUE(matchesMask("LEIAME", "*.*"));
    EXPECT_TRUE(matchesMask("a/b", "*"));
    EXPECT_TRUE(matchesMask("dir/Sofa.DWG", "*.dwg"));
    EXPECT_FALSE(matchesMask("Sofa.DWG.zip", "*.dwg"));
    EXPECT_TRUE(matchesMask("Sofa.DWG.zip", "*.dwg*"));
    EXPECT_TRUE(matchesMask("a1.png", "a?.PNG"));
    EXPECT_FALSE(matchesMask("a12.png", "a?.png"));
    EXPECT_FALSE(matchesMask("dir.png/x", "*.png"));
    EXPECT_TRUE(matchesMask(std::string(2000, 'a') + "b", "*a*a*a*b"));
}

}  // namespace
