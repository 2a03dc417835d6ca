#include <convert/BlockSize.h>
#include <gtest/gtest.h>

#include "Drawings.h"

using convert::BlockSize;
using testsupport::drawingWith;
using testsupport::entity;

namespace {

TEST(BlockSize, SaidInTheDrawingsUnit) {
    const struct {
        BlockSize size;
        const char* text;
    } cases[] = {
        {{120, 60, 75, 5}, "120 × 60 × 75 cm"},
        {{180, 90, 0, 5}, "180 × 90 cm"},
        {{45.5, 30, 0, 5}, "45,5 × 30 cm"},
        {{1234.4, 0.26, 0, 4}, "1234 × 0,3 mm"},
        {{2.04, 1.96, 0.75, 6}, "2 × 2 × 0,8 m"},
        {{36, 24, 30, 1}, "36 × 24 × 30 in"},
        {{0.04, 10, 0, 6}, "< 0,1 × 10 m"},
        {{3, 4, 5, 0}, "3 × 4 × 5 (bloco sem unidades)"},
        {{3, 4, 0, 99}, "3 × 4 (bloco sem unidades)"},
        {{3, 4, 0, -1}, "3 × 4 (bloco sem unidades)"},
    };
    for (const auto& c : cases) EXPECT_EQ(convert::blockSizeText(c.size), c.text) << c.text;
}

TEST(BlockSize, WidthDepthAndHeightOfWhatIsDrawn) {
    dwg::Circle seat{{50, 50, 45}, 20};
    dwg::Line leg{{40, 40, 0}, {40, 40, 45}};
    dwg::ConstructionLine endless{true, {0, 0, 0}, {1, 0, 0}};  // no size of its own
    const dwg::Drawing d = drawingWith({entity("CIRCLE", seat, 0x100), entity("LINE", leg, 0x101),
                                        entity("XLINE", endless, 0x102)},
                                       5);
    const std::optional<BlockSize> size = convert::blockSize(d);
    ASSERT_TRUE(size);
    EXPECT_NEAR(size->width, 40, 1e-6);
    EXPECT_NEAR(size->depth, 40, 1e-6);
    EXPECT_NEAR(size->height, 45, 1e-6);
    EXPECT_EQ(size->insertionUnits, 5);
    EXPECT_FALSE(convert::blockSize(drawingWith({}, 5)));
}

}  // namespace
