#include <convert/Export.h>
#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Drawings.h"
#include "TemporaryFolders.h"

using namespace dwg;
using testsupport::drawingWith;
using testsupport::entity;

namespace {

namespace fs = std::filesystem;

// A table 120 × 60 cm with its name written on it, as a DWG file.
std::vector<std::uint8_t> tableInCentimetres() {
    LwPolyline top;
    top.closed = true;
    top.points = {{0, 0}, {120, 0}, {120, 60}, {0, 60}};
    Text name;
    name.text = "Mesa";
    name.height = 5;
    name.insertion = {10, 10};
    name.style = testsupport::kStandardStyle;
    return writeDwg(drawingWith({entity("LWPOLYLINE", top, 0x100), entity("TEXT", name, 0x101)}, 5),
                    Version::R2018);
}

std::vector<std::uint8_t> fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Export, EachFormatIsWrittenInItsUnits) {
    const std::vector<std::uint8_t> original = tableInCentimetres();
    for (SaveFormat format : kSaveFormats) {
        SCOPED_TRACE(std::string(formatLabel(format)));
        const convert::ExportChoice choice{format, LengthUnit::Millimetres};
        const convert::ExportResult result = convert::exportDrawing(original, choice);
        ASSERT_FALSE(result.bytes.empty());
        EXPECT_TRUE(result.units.scaled);
        EXPECT_DOUBLE_EQ(result.units.factor, 10);
        const std::vector<std::string> messages = convert::exportMessages(result, choice);
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages[0], "Medidas convertidas de centímetros para milímetros (escala 10).");
        if (isDxf(format)) {
            const std::string text(result.bytes.begin(), result.bytes.end());
            EXPECT_NE(text.find(versionCode(formatVersion(format))), std::string::npos);
            continue;
        }
        const Drawing back = dwg::read(result.bytes);
        EXPECT_EQ(back.version, formatVersion(format));
        EXPECT_EQ(back.header.insertionUnits, 4);
        const auto& top = std::get<LwPolyline>(back.modelSpace()->entities.at(0).data);
        EXPECT_EQ(top.points[2], (Point2{1200, 600}));
        // The picture stored is ours: something drawn on the dark ground.
        EXPECT_TRUE(readPreview(result.bytes));
    }
}

TEST(Export, ABlockWithoutUnitsIsSavedAsItIsAndSaysSo) {
    const std::vector<std::uint8_t> original =
        writeDwg(drawingWith({entity("LINE", Line{{0, 0, 0}, {100, 0, 0}})}, 0), Version::R2018);
    const convert::ExportChoice choice{SaveFormat::Dwg2000, LengthUnit::Metres};
    const convert::ExportResult result = convert::exportDrawing(original, choice);
    EXPECT_FALSE(result.units.scaled);
    const Drawing back = dwg::read(result.bytes);
    EXPECT_EQ(std::get<Line>(back.modelSpace()->entities.at(0).data).end, (Point3{100, 0, 0}));
    EXPECT_EQ(convert::exportMessages(result, choice),
              (std::vector<std::string>{"O bloco não tem unidades definidas: foi gravado no "
                                        "tamanho em que foi desenhado, não em metros."}));
}

TEST(Export, FailuresSayWhyInPortuguese) {
    const std::vector<std::uint8_t> notDwg = {'n', 'a', 'o', ' ', 'e', ' ', 'D', 'W', 'G'};
    try {
        convert::exportDrawing(notDwg, {});
        FAIL() << "no error";
    } catch (const convert::ExportError& error) {
        EXPECT_TRUE(
            std::string(error.what()).starts_with("Não foi possível ler o desenho do bloco"))
            << error.what();
    }
    const std::atomic<bool> cancelled{true};
    EXPECT_THROW(convert::exportDrawing(tableInCentimetres(), {}, &cancelled),
                 convert::ExportError);
}

class WriteWhole : public ::testing::Test {
  protected:
    void SetUp() override { folder_ = testsupport::makeTemporaryFolder("convert-export"); }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(folder_, error);
    }
    fs::path folder_;
};

TEST_F(WriteWhole, ReplacesTheTargetAndLeavesNothingElse) {
    const fs::path target = folder_ / "Mesa.DWG";
    std::ofstream(target) << "old";
    // A file of the user's that looks like our temporary one stays as it is.
    std::ofstream(folder_ / "Mesa.DWG.gravando-0") << "user's";
    const std::vector<std::uint8_t> bytes = tableInCentimetres();
    convert::writeWhole(target, bytes);
    EXPECT_EQ(fileBytes(target), bytes);
    EXPECT_EQ(fileBytes(folder_ / "Mesa.DWG.gravando-0"),
              (std::vector<std::uint8_t>{'u', 's', 'e', 'r', '\'', 's'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

TEST_F(WriteWhole, AFolderThatIsNotThereGetsNoFile) {
    const fs::path target = folder_ / "nao-existe" / "Mesa.DWG";
    EXPECT_THROW(convert::writeWhole(target, tableInCentimetres()), convert::ExportError);
    EXPECT_FALSE(fs::exists(folder_ / "nao-existe"));
}

}  // namespace
