#include <dwg/Drawing.h>
#include <gtest/gtest.h>

namespace {

dwg::Entity insertOf(dwg::Handle block) {
    dwg::Insert insert;
    insert.block = block;
    return dwg::Entity{"INSERT", {}, insert};
}

dwg::Entity line() {
    return dwg::Entity{"LINE", {}, dwg::Line{}};
}

dwg::Block block(dwg::Handle handle, std::vector<dwg::Entity> entities) {
    dwg::Block b;
    b.handle = handle;
    b.name = "B" + std::to_string(handle);
    b.entities = std::move(entities);
    return b;
}

TEST(WalkBlock, DescendsIntoInsertsWithTheirPath) {
    dwg::Drawing drawing;
    drawing.blocks.push_back(block(1, {line(), insertOf(2)}));
    drawing.blocks.push_back(block(2, {line(), insertOf(3)}));
    drawing.blocks.push_back(block(3, {line()}));
    std::vector<std::size_t> depths;
    const auto report = dwg::walkBlock(drawing, drawing.blocks[0],
                                       [&](const dwg::Entity& entity, const auto& path) {
                                           if (entity.typeName == "LINE")
                                               depths.push_back(path.size());
                                       });
    EXPECT_EQ(depths, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(report.cyclesSkipped, 0);
}

TEST(WalkBlock, CyclesAreCutAndReported) {
    dwg::Drawing drawing;
    drawing.blocks.push_back(block(1, {insertOf(2)}));
    drawing.blocks.push_back(block(2, {line(), insertOf(1), insertOf(2)}));
    int lines = 0;
    const auto report =
        dwg::walkBlock(drawing, drawing.blocks[0],
                       [&](const dwg::Entity& e, const auto&) { lines += e.typeName == "LINE"; });
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(report.cyclesSkipped, 2);
}

TEST(WalkBlock, DepthIsBoundedAndMissingBlocksCounted) {
    dwg::Drawing drawing;
    for (dwg::Handle h = 1; h <= 50; ++h)
        drawing.blocks.push_back(block(h, {line(), insertOf(h + 1)}));
    drawing.blocks.push_back(block(51, {insertOf(999)}));
    int lines = 0;
    const auto shallow = dwg::walkBlock(
        drawing, drawing.blocks[0],
        [&](const dwg::Entity& e, const auto&) { lines += e.typeName == "LINE"; }, {10});
    EXPECT_EQ(lines, 11);
    EXPECT_EQ(shallow.tooDeepSkipped, 1);
    const auto deep =
        dwg::walkBlock(drawing, drawing.blocks[0], [](const dwg::Entity&, const auto&) {}, {100});
    EXPECT_EQ(deep.missingBlocks, 1);
    EXPECT_EQ(deep.tooDeepSkipped, 0);
}

TEST(WalkBlock, NestedFanOutStopsAtTheVisitLimit) {
    // Each level places the next one ten times: 10^20 entities if walked in full.
    dwg::Drawing drawing;
    for (dwg::Handle h = 1; h <= 20; ++h) {
        std::vector<dwg::Entity> entities(10, insertOf(h + 1));
        drawing.blocks.push_back(block(h, std::move(entities)));
    }
    drawing.blocks.push_back(block(21, {line()}));
    std::size_t visits = 0;
    const auto report =
        dwg::walkBlock(drawing, drawing.blocks[0],
                       [&](const dwg::Entity&, const auto&) { ++visits; }, {32, 100000});
    EXPECT_TRUE(report.stoppedAtVisitLimit);
    EXPECT_EQ(visits, 100000u);
}

TEST(CountEntityTypes, ChildrenCountUnderTheirOwnNames) {
    dwg::Polyline mesh;
    mesh.kind = dwg::Polyline::Kind::PolyfaceMesh;
    mesh.vertices.resize(4);
    mesh.faces.resize(2);
    dwg::Insert insert;
    insert.attributes.resize(3);
    const dwg::Block b = block(
        1, {dwg::Entity{"POLYLINE_PFACE", {}, mesh}, dwg::Entity{"INSERT", {}, insert}, line()});
    const auto counts = dwg::countEntityTypes(b);
    EXPECT_EQ(counts, (std::map<std::string, int>{{"ATTRIB", 3},
                                                  {"INSERT", 1},
                                                  {"LINE", 1},
                                                  {"POLYLINE_PFACE", 1},
                                                  {"VERTEX_PFACE", 4},
                                                  {"VERTEX_PFACE_FACE", 2}}));
}

TEST(Colors, IndexZeroIsByBlockAnd256ByLayer) {
    EXPECT_EQ(dwg::Color::fromIndex(0).kind, dwg::Color::Kind::ByBlock);
    EXPECT_EQ(dwg::Color::fromIndex(256).kind, dwg::Color::Kind::ByLayer);
    EXPECT_EQ(dwg::Color::fromIndex(1).kind, dwg::Color::Kind::Index);
    EXPECT_EQ(dwg::Color::fromTrueColor(0xFF123456).rgb, 0x123456u);
}

}  // namespace
