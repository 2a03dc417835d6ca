// The program's own small files: read only as the regular files they were
// written as, and replaced whole or not at all.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "Links.h"
#include "TestFiles.h"
#include "library/SmallFile.h"

namespace fs = std::filesystem;
using fixtures::readFile;
using fixtures::writeFile;

namespace {

class SmallFile : public ::testing::Test {
  protected:
    ~SmallFile() override { fs::remove_all(root); }

    const fs::path root = freshFolder();
    const fs::path file = root / "registro";
    const fs::path outside = root / "fora" / "alheio";  // a file that is not ours

  private:
    static fs::path freshFolder() {
        const auto* test = ::testing::UnitTest::GetInstance();
        const fs::path path =
            fs::temp_directory_path() / ("tessaly-small-" + std::to_string(test->random_seed()) +
                                         "-" + test->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
        return path;
    }
};

}  // namespace

TEST_F(SmallFile, ReadsOnlyARegularFileWithinItsBound) {
    writeFile(outside, "0123456789");
    struct Case {
        const char* name;
        std::function<void()> make;
        std::optional<std::string> read;
    };
    const Case cases[] = {
        {"within the bound", [&] { writeFile(file, "01234"); }, "01234"},
        {"exactly the bound", [&] { writeFile(file, "0123456789"); }, "0123456789"},
        {"empty", [&] { writeFile(file, ""); }, ""},
        {"one byte over", [&] { writeFile(file, "0123456789A"); }, std::nullopt},
        {"a link to a file within the bound", [&] { testsupport::plantLink(outside, file); },
         std::nullopt},
        {"a folder", [&] { fs::create_directory(file); }, std::nullopt},
        {"missing", [] {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file);
        c.make();
        EXPECT_EQ(library::readRegularFile(file, 10), c.read);
    }
}

TEST_F(SmallFile, ADurableWriteReplacesItsOwnFileAndNothingALinkPointsTo) {
    const fs::path temporary = root / "registro.novo";
    struct Case {
        const char* name;
        std::function<void()> before;
        bool written;
    };
    const Case cases[] = {
        {"a new file", [] {}, true},
        {"over the file before", [&] { writeFile(file, "antes, mais comprido"); }, true},
        {"a temporary file left by a kill", [&] { writeFile(temporary, "meio"); }, true},
        {"a link at the temporary name", [&] { testsupport::plantLink(outside, temporary); }, true},
        {"a link at the file's name", [&] { testsupport::plantLink(outside, file); }, true},
        {"a folder at the file's name", [&] { fs::create_directories(file / "dentro"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(file);
        fs::remove_all(temporary);
        writeFile(outside, "alheio");
        c.before();
        EXPECT_EQ(library::writeFileDurably(file, "novo\n"), c.written);
        if (c.written) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
            EXPECT_EQ(readFile(file), "novo\n");
        } else {
            EXPECT_TRUE(fs::is_directory(file / "dentro"));
        }
        EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
        EXPECT_EQ(readFile(outside), "alheio");
    }
    EXPECT_FALSE(library::writeFileDurably(root / "ausente" / "registro", "novo\n"));
}
