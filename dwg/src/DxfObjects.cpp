// The OBJECTS section (dictionaries, layouts, styles, image definitions) and
// the ACDSDATA section of AC1032 files.
#include <algorithm>
#include <filesystem>

#include "DxfSections.h"
#include "Text.h"

namespace dwg::detail {
namespace {

using Entries = std::vector<std::pair<std::string, Handle>>;

void dictionary(DxfOutput& out, Handle handle, Handle owner, Entries entries) {
    std::sort(entries.begin(), entries.end());
    if (owner == 0)
        out.begin("DICTIONARY", handle, owner);
    else
        out.begin("DICTIONARY", handle, owner, {owner});
    out.ascii(100, "AcDbDictionary");
    out.integer(281, 1);
    for (const auto& [name, entry] : entries) {
        out.text(3, name);
        out.handle(350, entry);
    }
}

void layout(DxfOutput& out, const DxfPlan& plan, const DxfBlock& block) {
    out.begin("LAYOUT", block.layout, plan.layouts, {plan.layouts});
    out.ascii(100, "AcDbPlotSettings");
    out.ascii(1, "");
    out.ascii(2, "none_device");
    out.ascii(4, "");
    out.ascii(6, "");
    for (int code = 40; code <= 49; ++code) out.real(code, 0);
    out.real(140, 0);
    out.real(141, 0);
    out.real(142, 1);
    out.real(143, 1);
    out.integer(70, block.modelSpace ? 1712 : 688);
    out.integer(72, 1);
    out.integer(73, 0);
    out.integer(74, 5);
    out.ascii(7, "");
    out.integer(75, 16);
    out.real(147, 1);
    out.real(148, 0);
    out.real(149, 0);
    out.ascii(100, "AcDbLayout");
    out.text(1, block.layoutName);
    out.integer(70, 1);
    out.integer(71, block.tabOrder);
    out.point(10, Point2{0, 0});
    out.point(11, Point2{420, 297});
    out.point(12, Point3{});
    out.point(14, Point3{1e20, 1e20, 1e20});
    out.point(15, Point3{-1e20, -1e20, -1e20});
    out.real(146, 0);
    out.point(13, Point3{});
    out.point(16, Point3{1, 0, 0});
    out.point(17, Point3{0, 1, 0});
    out.integer(76, 0);
    out.handle(330, block.record);
}

void mlineStyle(DxfOutput& out, const DxfPlan& plan, const DxfMlineStyle& style) {
    out.begin("MLINESTYLE", style.handle, plan.mlineStyles, {plan.mlineStyles});
    out.ascii(100, "AcDbMlineStyle");
    out.text(2, style.name);
    const MLine* m = style.elementsFrom;
    int flags = 0;
    if (m)
        flags = (m->filled ? 1 : 0) | (m->showMiters ? 2 : 0) | (m->startSquareCap ? 16 : 0) |
                (m->startInnerArcs ? 32 : 0) | (m->startRoundCap ? 64 : 0) |
                (m->endSquareCap ? 256 : 0) | (m->endInnerArcs ? 512 : 0) |
                (m->endRoundCap ? 1024 : 0);
    out.integer(70, flags);
    out.ascii(3, "");
    const auto index = [](const Color& c) { return c.kind == Color::Kind::Index ? c.index : 256; };
    out.integer(62, m ? index(m->fillColor) : 256);
    // A cap angle of zero is no angle; the caps then stand square (90°).
    out.angle(51, m && m->startAngle != 0 ? m->startAngle : 1.5707963267948966);
    out.angle(52, m && m->endAngle != 0 ? m->endAngle : 1.5707963267948966);
    std::vector<MLineElement> elements;
    if (m)
        elements = m->elements;
    else
        elements = {{0.5, Color{Color::Kind::ByLayer, 256, 0}, 0},
                    {-0.5, Color{Color::Kind::ByLayer, 256, 0}, 0}};
    out.integer(71, static_cast<std::int64_t>(elements.size()));
    for (const MLineElement& element : elements) {
        out.real(49, element.offset);
        out.integer(62, index(element.color));
        const std::string linetype = plan.linetypeNameOf(element.linetype);
        out.text(6, linetype.empty() ? std::string("BYLAYER") : linetype);
    }
}

void mleaderStyle(DxfOutput& out, const DxfPlan& plan) {
    const std::int64_t byBlock = static_cast<std::int32_t>(0xC1000000u);
    out.begin("MLEADERSTYLE", plan.mleaderStyleStandard, plan.mleaderStyles,
              {plan.mleaderStyles});
    out.ascii(100, "AcDbMLeaderStyle");
    out.integer(179, 2);
    out.integer(170, 2);
    out.integer(171, 1);
    out.integer(172, 0);
    out.integer(90, 2);
    out.real(40, 0);
    out.real(41, 0);
    out.integer(173, 1);
    out.integer(91, byBlock);
    out.handle(340, plan.linetypeByBlock());
    out.integer(92, -2);
    out.integer(290, 1);
    out.real(42, 2);
    out.integer(291, 1);
    out.real(43, 8);
    out.ascii(3, "Standard");
    out.real(44, 4);
    out.ascii(300, "");
    out.handle(342, plan.textStyles.front().first);
    out.integer(174, 1);
    out.integer(178, 1);
    out.integer(175, 1);
    out.integer(176, 0);
    out.integer(93, byBlock);
    out.real(45, 4);
    out.integer(292, 0);
    out.integer(297, 0);
    out.real(46, 4);
    out.integer(94, byBlock);
    out.real(47, 1);
    out.real(49, 1);
    out.real(140, 1);
    out.integer(293, 1);
    out.real(141, 0);
    out.integer(294, 1);
    out.integer(177, 0);
    out.real(142, 1);
    out.integer(295, 0);
    out.integer(296, 0);
    out.real(143, 3.75);
    out.integer(271, 0);
    out.integer(272, 9);
    out.integer(273, 9);
}

// Image names in ACAD_IMAGE_DICT: the file's name without folder or
// extension, made unique.
std::vector<std::string> imageNames(const DxfPlan& plan) {
    std::vector<std::string> names;
    for (const DxfImageDefinition& image : plan.images) {
        std::string base = image.filePath;
        const auto slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base.erase(0, slash + 1);
        if (const auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.erase(dot);
        if (base.empty()) base = "IMAGEM";
        std::string name = base;
        for (int n = 2; std::any_of(names.begin(), names.end(), [&](const std::string& other) {
                 return asciiUpper(other) == asciiUpper(name);
             });
             ++n)
            name = base + "_" + std::to_string(n);
        names.push_back(name);
    }
    return names;
}

void images(DxfOutput& out, const DxfPlan& plan) {
    const std::vector<std::string> names = imageNames(plan);
    Entries entries;
    for (std::size_t i = 0; i < plan.images.size(); ++i)
        entries.emplace_back(names[i], plan.images[i].handle);
    dictionary(out, plan.imageDictionary, plan.namedObjects, entries);
    for (const DxfImageDefinition& image : plan.images) {
        std::vector<Handle> reactors{plan.imageDictionary};
        for (const auto& [reactor, entity] : image.reactors) reactors.push_back(reactor);
        out.begin("IMAGEDEF", image.handle, plan.imageDictionary, reactors);
        out.ascii(100, "AcDbRasterImageDef");
        out.integer(90, 0);
        out.text(1, image.filePath);
        out.point(10, image.pixels);
        out.point(11, Point2{1, 1});
        out.integer(280, 1);
        out.integer(281, 0);
        for (const auto& [reactor, entity] : image.reactors) {
            out.begin("IMAGEDEF_REACTOR", reactor, entity);
            out.ascii(100, "AcDbRasterImageDefReactor");
            out.integer(90, 2);
            out.handle(330, entity);
        }
    }
    out.begin("RASTERVARIABLES", plan.imageVariables, plan.namedObjects, {plan.namedObjects});
    out.ascii(100, "AcDbRasterVariables");
    out.integer(90, 0);
    out.integer(70, 1);
    out.integer(71, 1);
    out.integer(72, 0);
}

}  // namespace

void writeDxfObjects(const DxfPlan& plan, DxfOutput& out) {
    Entries root = {{"ACAD_GROUP", plan.groups},
                    {"ACAD_LAYOUT", plan.layouts},
                    {"ACAD_MLINESTYLE", plan.mlineStyles},
                    {"ACAD_PLOTSTYLENAME", plan.plotStyleNames}};
    if (plan.r2018) root.emplace_back("ACAD_MLEADERSTYLE", plan.mleaderStyles);
    if (!plan.images.empty()) {
        root.emplace_back("ACAD_IMAGE_DICT", plan.imageDictionary);
        root.emplace_back("ACAD_IMAGE_VARS", plan.imageVariables);
    }
    if (plan.hasWipeouts) root.emplace_back("ACAD_WIPEOUT_VARS", plan.wipeoutVariables);
    dictionary(out, plan.namedObjects, 0, root);

    dictionary(out, plan.groups, plan.namedObjects, {});

    Entries layouts;
    for (const DxfBlock& block : plan.blocks)
        if (block.layout) layouts.emplace_back(block.layoutName, block.layout);
    dictionary(out, plan.layouts, plan.namedObjects, layouts);
    for (const DxfBlock& block : plan.blocks)
        if (block.layout) layout(out, plan, block);

    Entries mlineStyles;
    for (const DxfMlineStyle& style : plan.mlineStylesWritten)
        mlineStyles.emplace_back(style.name, style.handle);
    dictionary(out, plan.mlineStyles, plan.namedObjects, mlineStyles);
    for (const DxfMlineStyle& style : plan.mlineStylesWritten) mlineStyle(out, plan, style);

    out.begin("ACDBDICTIONARYWDFLT", plan.plotStyleNames, plan.namedObjects, {plan.namedObjects});
    out.ascii(100, "AcDbDictionary");
    out.integer(281, 1);
    out.ascii(3, "Normal");
    out.handle(350, plan.plotStyleNormal);
    out.ascii(100, "AcDbDictionaryWithDefault");
    out.handle(340, plan.plotStyleNormal);
    out.begin("ACDBPLACEHOLDER", plan.plotStyleNormal, plan.plotStyleNames, {plan.plotStyleNames});

    if (plan.r2018) {
        dictionary(out, plan.mleaderStyles, plan.namedObjects,
                   {{"Standard", plan.mleaderStyleStandard}});
        mleaderStyle(out, plan);
    }
    if (!plan.images.empty()) images(out, plan);
    if (plan.hasWipeouts) {
        out.begin("WIPEOUTVARIABLES", plan.wipeoutVariables, plan.namedObjects,
                  {plan.namedObjects});
        out.ascii(100, "AcDbWipeoutVariables");
        out.integer(70, 1);
    }
}

void writeDxfAcisData(const DxfPlan& plan, DxfOutput& out) {
    out.integer(70, 2);
    out.integer(71, 6);
    // The schema the records follow: an entity's handle and its modeller data.
    out.ascii(0, "ACDSSCHEMA");
    out.integer(90, 0);
    out.ascii(1, "AcDb3DSolid_ASM_Data");
    out.ascii(2, "AcDbDs::ID");
    out.integer(280, 10);
    out.integer(91, 8);
    out.ascii(2, "ASM_Data");
    out.integer(280, 15);
    out.integer(91, 0);
    out.ascii(101, "ACDSRECORD");
    out.integer(95, 0);
    out.integer(90, 2);
    out.ascii(2, "AcDbDs::TreatedAsObjectData");
    out.integer(280, 1);
    out.integer(291, 1);
    out.ascii(101, "ACDSRECORD");
    out.integer(95, 0);
    out.integer(90, 3);
    out.ascii(2, "AcDbDs::Legacy");
    out.integer(280, 1);
    out.integer(291, 1);
    out.ascii(101, "ACDSRECORD");
    out.ascii(1, "AcDbDs::ID");
    out.integer(90, 4);
    out.ascii(2, "AcDs:Indexable");
    out.integer(280, 1);
    out.integer(291, 1);
    out.ascii(101, "ACDSRECORD");
    out.ascii(1, "AcDbDs::HandleAttribute");
    out.integer(90, 7);
    out.ascii(2, "AcDbDs::HandleAttribute");
    out.integer(280, 7);
    out.integer(282, 1);
    for (const auto& [handle, data] : plan.acisRecords) {
        out.ascii(0, "ACDSRECORD");
        out.integer(90, 0);
        out.ascii(2, "AcDbDs::ID");
        out.integer(280, 10);
        out.handle(320, handle);
        out.ascii(2, "ASM_Data");
        out.integer(280, 15);
        out.integer(94, static_cast<std::int64_t>(data->bytes.size()));
        out.binary(310, data->bytes);
    }
}

}  // namespace dwg::detail
