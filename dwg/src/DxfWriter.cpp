#include <dwg/DxfWriter.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "DxfEntities.h"
#include "DxfSections.h"
#include "Text.h"

namespace dwg {

using namespace detail;

namespace {

void section(DxfOutput& out, std::string_view name) {
    out.ascii(0, "SECTION");
    out.ascii(2, name);
}

void endSection(DxfOutput& out) { out.ascii(0, "ENDSEC"); }

void writeBlocks(DxfPlan& plan, DxfOutput& out, DxfEntityWriter& entities) {
    section(out, "BLOCKS");
    for (const DxfBlock& block : plan.blocks) {
        const bool paper = block.paperSpace;
        out.begin("BLOCK", block.begin, block.record);
        out.ascii(100, "AcDbEntity");
        if (paper) out.integer(67, 1);
        out.ascii(8, "0");
        out.ascii(100, "AcDbBlockBegin");
        out.text(2, block.name);
        int flags = 0;
        if (block.source) {
            if (block.name.starts_with("*") && !block.modelSpace && !block.paperSpace) flags |= 1;
            for (const Entity& entity : block.source->entities)
                if (const auto* text = std::get_if<Text>(&entity.data);
                    text && text->kind == Text::Kind::AttributeDefinition)
                    flags |= 2;
        }
        out.integer(70, flags);
        out.point(10, block.source ? block.source->basePoint : Point3{});
        out.text(3, block.name);
        out.ascii(1, "");
        // The model space and the active layout keep their entities in ENTITIES.
        if (!block.modelSpace && !block.activePaperSpace) entities.writeBlockEntities(block);
        out.begin("ENDBLK", block.end, block.record);
        out.ascii(100, "AcDbEntity");
        if (paper) out.integer(67, 1);
        out.ascii(8, "0");
        out.ascii(100, "AcDbBlockEnd");
    }
    endSection(out);
}

// The code page of a DXF before AC1021. A name (of a layer, a block...) cannot
// hold the \U+ escapes that stand in for characters outside the code page:
// readers refuse the backslash in it. So the code page is the one, of
// Windows-1252, the drawing's own and the other ANSI ones, that holds the
// most names, the first of them on a tie.
int dxfCodePage(const Drawing& drawing, const DxfPlan& plan) {
    std::vector<std::string_view> names;
    auto nameOf = [&](std::string_view name) {
        if (std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }))
            names.push_back(name);
    };
    for (const auto& [handle, layer] : plan.layers) nameOf(layer.name);
    for (const auto& [handle, linetype] : plan.linetypes) nameOf(linetype.name);
    for (const auto& [handle, style] : plan.textStyles) nameOf(style.name);
    for (const DxfBlock& block : plan.blocks) nameOf(block.name);
    for (const DimensionStyle& style : drawing.dimensionStyles) nameOf(style.name);
    for (const NamedView& view : drawing.views) nameOf(view.name);
    for (const NamedUcs& ucs : drawing.ucss) nameOf(ucs.name);
    // Windows-1252, the drawing's own, then the ANSI code pages by how many use them.
    const int candidates[] = {kDxfDefaultCodePage, drawing.codePage, 39, 38, 40, 41, 28, 29,
                              32, 33, 34, 35, 36, 37, 44};
    int chosen = kDxfDefaultCodePage;
    std::size_t mostHeld = 0;
    for (const int candidate : candidates) {
        if (dxfCodePageName(candidate).empty()) continue;
        const TextEncoder encoder(candidate);
        if (encoder.codePage() != candidate) continue;  // the system lacks it
        const auto held = static_cast<std::size_t>(std::count_if(
            names.begin(), names.end(), [&](std::string_view name) { return encoder.holds(name); }));
        if (held == names.size()) return candidate;
        if (held > mostHeld) {
            chosen = candidate;
            mostHeld = held;
        }
    }
    return chosen;
}

}  // namespace

std::string detail::dxfCodePageName(int codePage) {
    // The drawing's numbers of the Windows (ANSI) code pages.
    static constexpr int kAnsi[] = {28, 29, 30, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 44};
    for (const int ansi : kAnsi)
        if (ansi == codePage) return "ANSI_" + std::to_string(windowsCodePage(codePage));
    return {};
}

std::string writeDxf(const Drawing& drawing, Version version) {
    DxfPlan plan = planDxf(drawing, version);
    std::optional<TextEncoder> codePage;
    if (version < Version::R2007) {
        plan.codePage = dxfCodePage(drawing, plan);
        codePage.emplace(plan.codePage);
    }
    const TextEncoder* encoder = codePage ? &*codePage : nullptr;

    DxfOutput body(encoder);
    writeDxfTables(drawing, plan, body);
    DxfEntityWriter entities(plan, body);
    writeBlocks(plan, body, entities);
    section(body, "ENTITIES");
    for (const DxfBlock& block : plan.blocks)
        if (block.modelSpace || block.activePaperSpace) entities.writeBlockEntities(block);
    endSection(body);
    section(body, "OBJECTS");
    writeDxfObjects(plan, body);
    endSection(body);
    if (plan.r2018 && !plan.acisRecords.empty()) {
        section(body, "ACDSDATA");
        writeDxfAcisData(plan, body);
        endSection(body);
    }
    body.ascii(0, "EOF");

    // The header and the classes come first but are known last: the next free
    // handle, and which classes the objects used.
    DxfOutput head(encoder);
    section(head, "HEADER");
    writeDxfHeader(drawing, plan, head);
    endSection(head);
    section(head, "CLASSES");
    writeDxfClasses(plan, body.typeCounts(), head);
    endSection(head);
    std::string file = head.take();
    file.reserve(file.size() + body.size());
    file += body.take();
    return file;
}

}  // namespace dwg
