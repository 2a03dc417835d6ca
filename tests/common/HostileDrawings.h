// Small drawings, written by our own writer, that ask a renderer for far more
// work than their size: arrays of arrays, a fine hatch repeated, angles far
// beyond one turn. Shared by the tests and the benchmarks.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Writer.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

namespace hostile {

inline dwg::Drawing emptyDrawing() {
    dwg::Drawing d;
    dwg::Layer zero;
    zero.handle = 0x10;
    zero.name = "0";
    zero.color = dwg::Color::fromIndex(7);
    d.layers.push_back(zero);
    dwg::Block model;
    model.handle = 0x1F;
    model.name = "*Model_Space";
    model.modelSpace = true;
    d.blocks.push_back(model);
    d.header.modelSpaceBlock = model.handle;
    return d;
}

inline dwg::Entity entity(const char* type, dwg::EntityData data) {
    dwg::Entity e;
    e.typeName = type;
    e.header.layer = 0x10;
    e.data = std::move(data);
    return e;
}

inline dwg::Insert grid(dwg::Handle block, int side, double spacing) {
    dwg::Insert insert;
    insert.block = block;
    insert.columns = insert.rows = side;
    insert.columnSpacing = insert.rowSpacing = spacing;
    return insert;
}

inline dwg::Block block(dwg::Handle handle, const char* name) {
    dwg::Block b;
    b.handle = handle;
    b.name = name;
    return b;
}

}  // namespace hostile

// A 64 x 64 MINSERT of a block holding `inner` MINSERTs 64 x 64 of a block
// with one invisible line: billions of references, nothing to see.
inline std::vector<std::uint8_t> nestedMinsertDrawing(int inner = 500) {
    using namespace hostile;
    dwg::Drawing d = emptyDrawing();
    dwg::Block leaf = block(0x40, "LINHA");
    dwg::Entity line = entity("LINE", dwg::Line{{0, 0, 0}, {1, 0, 0}});
    line.header.invisible = true;
    leaf.entities.push_back(line);
    dwg::Block middle = block(0x41, "GRADE");
    for (int i = 0; i < inner; ++i) middle.entities.push_back(entity("MINSERT", grid(0x40, 64, 2)));
    d.blocks.push_back(leaf);
    d.blocks.push_back(middle);
    d.blocks[0].entities.push_back(entity("MINSERT", grid(0x41, 64, 200)));
    return dwg::writeR2000(d);
}

// A 64 x 64 MINSERT of one pattern hatch of 12 dashed families, spaced
// `spacing` apart over a 10 x 10 square.
inline std::vector<std::uint8_t> fineHatchMinsertDrawing(double spacing = 0.0006) {
    using namespace hostile;
    dwg::Drawing d = emptyDrawing();
    dwg::Hatch hatch;
    hatch.patternName = "FINO";
    hatch.patternType = 1;
    dwg::HatchLoop square;
    square.flags = 1 | 2;
    square.isPolyline = true;
    square.points = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    square.bulges = {0, 0, 0, 0};
    hatch.loops = {square};
    for (int family = 0; family < 12; ++family) {
        const double angle = family * 0.2617993877991494;  // every 15 degrees
        hatch.patternLines.push_back({angle,
                                      {0, 0},
                                      {-std::sin(angle) * spacing, std::cos(angle) * spacing},
                                      {spacing, -spacing}});
    }
    dwg::Block cell = block(0x40, "HACHURA");
    cell.entities.push_back(entity("HATCH", hatch));
    d.blocks.push_back(cell);
    d.blocks[0].entities.push_back(entity("MINSERT", grid(0x40, 64, 12)));
    return dwg::writeR2000(d);
}

// One ARC from `startAngle` to `endAngle`, and a line beside it.
inline std::vector<std::uint8_t> arcDrawing(double startAngle, double endAngle) {
    using namespace hostile;
    dwg::Drawing d = emptyDrawing();
    d.blocks[0].entities.push_back(
        entity("ARC", dwg::Arc{{0, 0, 0}, 5, startAngle, endAngle, 0, dwg::kDefaultExtrusion}));
    d.blocks[0].entities.push_back(entity("LINE", dwg::Line{{-5, -6, 0}, {5, -6, 0}}));
    return dwg::writeR2000(d);
}

struct NamedDrawing {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// Every crafted drawing above, as the tests and benchmarks open them.
inline std::vector<NamedDrawing> hostileDrawings() {
    return {{"minsert-aninhado", nestedMinsertDrawing()},
            {"hachura-fina", fineHatchMinsertDrawing()},
            {"arco-1e300", arcDrawing(1e300, 1)},
            {"arco-1e17", arcDrawing(1e17, -1e17)}};
}

}  // namespace testsupport
