#include <dwg/DxfWriter.h>

#include "DxfEntities.h"
#include "DxfSections.h"

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

}  // namespace

std::string writeDxf(const Drawing& drawing, Version version) {
    DxfPlan plan = planDxf(drawing, version);
    const bool utf8 = version >= Version::R2007;

    DxfOutput body(utf8);
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
    DxfOutput head(utf8);
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
