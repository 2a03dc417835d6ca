// The HEADER, CLASSES and TABLES sections.
#include <algorithm>
#include <cmath>

#include "DxfSections.h"

namespace dwg::detail {
namespace {

struct ClassInfo {
    const char* dxfName;
    const char* cppName;
    const char* application;
    int proxyFlags;
    bool entity;
};

constexpr ClassInfo kClasses[] = {
    {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", "ObjectDBX Classes", 0, false},
    {"ACDBPLACEHOLDER", "AcDbPlaceHolder", "ObjectDBX Classes", 0, false},
    {"LAYOUT", "AcDbLayout", "ObjectDBX Classes", 0, false},
    {"MLEADERSTYLE", "AcDbMLeaderStyle", "ACDB_MLEADERSTYLE_CLASS", 4095, false},
    {"MULTILEADER", "AcDbMLeader", "ACDB_MLEADER_CLASS", 3071, true},
    {"IMAGE", "AcDbRasterImage", "ISM", 2175, true},
    {"IMAGEDEF", "AcDbRasterImageDef", "ISM", 0, false},
    {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", "ISM", 1, false},
    {"RASTERVARIABLES", "AcDbRasterVariables", "ISM", 0, false},
    {"WIPEOUT", "AcDbWipeout", "WipeOut|AutoCAD Express Tool|expresstools@autodesk.com", 127,
     true},
    {"WIPEOUTVARIABLES", "AcDbWipeoutVariables",
     "WipeOut|AutoCAD Express Tool|expresstools@autodesk.com", 0, false},
    {"MESH", "AcDbSubDMesh", "ObjectDBX Classes", 0, true},
    {"HELIX", "AcDbHelix", "ObjectDBX Classes", 4095, true},
    {"SURFACE", "AcDbSurface", "ObjectDBX Classes", 4095, true},
    {"PLANESURFACE", "AcDbPlaneSurface", "ObjectDBX Classes", 4095, true},
    {"EXTRUDEDSURFACE", "AcDbExtrudedSurface", "ObjectDBX Classes", 4095, true},
    {"LOFTEDSURFACE", "AcDbLoftedSurface", "ObjectDBX Classes", 4095, true},
    {"REVOLVEDSURFACE", "AcDbRevolvedSurface", "ObjectDBX Classes", 4095, true},
    {"SWEPTSURFACE", "AcDbSweptSurface", "ObjectDBX Classes", 4095, true},
    {"NURBSURFACE", "AcDbNurbSurface", "ObjectDBX Classes", 4095, true},
};

void variable(DxfOutput& out, std::string_view name) { out.ascii(9, name); }

void tableStart(DxfOutput& out, std::string_view name, Handle handle, std::size_t count) {
    out.ascii(0, "TABLE");
    out.ascii(2, name);
    out.handle(5, handle);
    out.handle(330, 0);
    out.ascii(100, "AcDbSymbolTable");
    out.integer(70, static_cast<std::int64_t>(count));
}

void entryStart(DxfOutput& out, std::string_view type, Handle handle, Handle table,
                std::string_view subclass, int handleCode = 5) {
    out.begin(type, handle, table, {}, handleCode);
    out.ascii(100, "AcDbSymbolTableRecord");
    out.ascii(100, subclass);
}

void endTable(DxfOutput& out) { out.ascii(0, "ENDTAB"); }

// The view the drawing opens in: the saved one, else its extents.
SavedView openingView(const Drawing& drawing) {
    if (drawing.activeView) return *drawing.activeView;
    SavedView view;
    const auto& h = drawing.header;
    if (h.extentsMin && h.extentsMax && h.extentsMin->x <= h.extentsMax->x &&
        h.extentsMin->y <= h.extentsMax->y) {
        view.centre = {(h.extentsMin->x + h.extentsMax->x) / 2,
                       (h.extentsMin->y + h.extentsMax->y) / 2};
        view.height = std::max(h.extentsMax->y - h.extentsMin->y, 1e-6) * 1.1;
        view.aspect = std::clamp((h.extentsMax->x - h.extentsMin->x) / view.height, 0.1, 10.0);
    }
    return view;
}

void writeViewport(const SavedView& view, Handle handle, const DxfPlan& plan, DxfOutput& out) {
    entryStart(out, "VPORT", handle, plan.vportTable, "AcDbViewportTableRecord");
    out.ascii(2, "*Active");
    out.integer(70, 0);
    out.point(10, view.lowerLeft);  // where it lies in the window
    out.point(11, view.upperRight);
    out.point(12, view.centre);
    out.point(13, Point2{0, 0});
    out.point(14, Point2{1, 1});
    out.point(15, Point2{10, 10});
    out.point(16, view.direction);
    out.point(17, view.target);
    out.real(40, view.height);
    out.real(41, view.aspect);
    out.real(42, view.lensLength);
    out.real(43, view.frontClip);
    out.real(44, view.backClip);
    out.real(50, 0);
    out.angle(51, view.twist);
    const int mode = (view.perspective ? 1 : 0) | (view.frontClipping ? 2 : 0) |
                     (view.backClipping ? 4 : 0) |
                     (view.frontClipping && !view.frontClipAtEye ? 16 : 0);
    out.integer(71, mode);
    out.integer(72, 1000);
    out.integer(73, 1);
    out.integer(74, 3);
    out.integer(75, 0);
    out.integer(76, 0);
    out.integer(77, 0);
    out.integer(78, 0);
    out.integer(281, std::clamp(view.renderMode, 0, 6));
    out.integer(65, 1);
    out.point(110, Point3{});
    out.point(111, Point3{1, 0, 0});
    out.point(112, Point3{0, 1, 0});
    out.integer(79, 0);
    out.real(146, 0);
}

void writeViewportTable(const Drawing& drawing, const DxfPlan& plan, DxfOutput& out) {
    const std::vector<SavedView> views =
        drawing.tiledViews.empty() ? std::vector{openingView(drawing)} : drawing.tiledViews;
    tableStart(out, "VPORT", plan.vportTable, views.size());
    for (std::size_t i = 0; i < views.size(); ++i)
        writeViewport(views[i], plan.viewports.at(i), plan, out);
    endTable(out);
}

void writeLinetypeTable(const DxfPlan& plan, DxfOutput& out) {
    tableStart(out, "LTYPE", plan.linetypeTable, plan.linetypes.size());
    for (const auto& [handle, linetype] : plan.linetypes) {
        entryStart(out, "LTYPE", handle, plan.linetypeTable, "AcDbLinetypeTableRecord");
        out.text(2, linetype.name);
        out.integer(70, 0);
        out.text(3, linetype.description);
        out.integer(72, 65);
        out.integer(73, static_cast<std::int64_t>(linetype.dashes.size()));
        double length = 0;
        for (const double dash : linetype.dashes) length += std::abs(dash);
        out.real(40, linetype.dashes.empty() ? 0 : length);
        for (const double dash : linetype.dashes) {
            out.real(49, dash);
            out.integer(74, 0);
        }
    }
    endTable(out);
}

void layerColor(DxfOutput& out, const Layer& layer, bool r2018) {
    int index = layer.color.kind == Color::Kind::Index ? layer.color.index : 7;
    if (index < 1 || index > 255) index = 7;
    out.integer(62, layer.on ? index : -index);
    if (layer.color.kind == Color::Kind::True) {
        if (!r2018) failDxf("a camada " + layer.name + " usa cor RGB, que o DXF 2000 não guarda");
        out.integer(420, static_cast<std::int64_t>(layer.color.rgb & 0xFFFFFFu));
    }
}

void writeLayerTable(const DxfPlan& plan, DxfOutput& out) {
    tableStart(out, "LAYER", plan.layerTable, plan.layers.size());
    for (const auto& [handle, layer] : plan.layers) {
        entryStart(out, "LAYER", handle, plan.layerTable, "AcDbLayerTableRecord");
        out.text(2, layer.name);
        out.integer(70, (layer.frozen ? 1 : 0) | (layer.locked ? 4 : 0));
        layerColor(out, layer, plan.r2018);
        std::string linetype = plan.linetypeNameOf(layer.linetype);
        // A layer's own linetype is never ByLayer or ByBlock.
        if (linetype.empty() || linetype == plan.linetypes[0].second.name ||
            linetype == plan.linetypes[1].second.name)
            linetype = plan.linetypes[2].second.name;
        out.text(6, linetype);
        out.integer(370, -3);
        out.handle(390, plan.plotStyleNormal);
    }
    endTable(out);
}

void writeStyleTable(const DxfPlan& plan, DxfOutput& out) {
    tableStart(out, "STYLE", plan.styleTable, plan.textStyles.size());
    for (const auto& [handle, style] : plan.textStyles) {
        entryStart(out, "STYLE", handle, plan.styleTable, "AcDbTextStyleTableRecord");
        out.text(2, style.name);
        out.integer(70, (style.shapeFile ? 1 : 0) | (style.vertical ? 4 : 0));
        out.real(40, style.fixedHeight);
        out.real(41, style.widthFactor);
        out.angle(50, style.obliqueAngle);
        out.integer(71, 0);
        out.real(42, style.fixedHeight > 0 ? style.fixedHeight : 2.5);
        out.text(3, style.fontFile);
        out.text(4, style.bigFontFile);
    }
    endTable(out);
}

void writeBlockRecordTable(const DxfPlan& plan, DxfOutput& out) {
    tableStart(out, "BLOCK_RECORD", plan.blockRecordTable, plan.blocks.size());
    for (const DxfBlock& block : plan.blocks) {
        entryStart(out, "BLOCK_RECORD", block.record, plan.blockRecordTable,
                   "AcDbBlockTableRecord");
        out.text(2, block.name);
        out.handle(340, block.layout);
        if (plan.r2018) {
            out.integer(70, 0);
            out.integer(280, 1);
            out.integer(281, 0);
        }
    }
    endTable(out);
}

}  // namespace

void writeDxfHeader(const Drawing& drawing, const DxfPlan& plan, DxfOutput& out) {
    const HeaderVariables& h = drawing.header;
    variable(out, "$ACADVER");
    out.ascii(1, plan.r2018 ? "AC1032" : "AC1015");
    variable(out, "$DWGCODEPAGE");
    out.ascii(3, dxfCodePageName(plan.codePage));
    variable(out, "$INSBASE");
    out.point(10, h.insertionBase);
    // AutoCAD's marks for a drawing with nothing drawn, where the extents are unknown.
    variable(out, "$EXTMIN");
    out.point(10, h.extentsMin.value_or(Point3{1e20, 1e20, 1e20}));
    variable(out, "$EXTMAX");
    out.point(10, h.extentsMax.value_or(Point3{-1e20, -1e20, -1e20}));
    variable(out, "$LIMMIN");
    out.point(10, Point2{0, 0});
    variable(out, "$LIMMAX");
    out.point(10, Point2{420, 297});
    variable(out, "$LTSCALE");
    out.real(40, h.linetypeScale);
    variable(out, "$TEXTSTYLE");
    out.text(7, plan.textStyles.front().second.name);
    variable(out, "$CLAYER");
    out.text(8, plan.layerName(h.currentLayer));
    variable(out, "$CELTYPE");
    out.text(6, plan.linetypes[1].second.name);
    variable(out, "$CECOLOR");
    out.integer(62, 256);
    variable(out, "$CELTSCALE");
    out.real(40, h.newEntityLinetypeScale);
    variable(out, "$DIMSCALE");
    out.real(40, h.dimScale);
    variable(out, "$DIMTXT");
    out.real(40, h.dimTextHeight);
    variable(out, "$DIMSTYLE");
    out.ascii(2, "Standard");
    variable(out, "$PDMODE");
    out.integer(70, h.pointDisplayMode);
    variable(out, "$PDSIZE");
    out.real(40, h.pointDisplaySize);
    variable(out, "$PSLTSCALE");
    out.integer(70, h.paperSpaceLinetypeScaling ? 1 : 0);
    variable(out, "$FILLMODE");
    out.integer(70, h.fillMode ? 1 : 0);
    variable(out, "$TILEMODE");
    out.integer(70, h.tileMode ? 1 : 0);
    variable(out, "$INSUNITS");
    out.integer(70, h.insertionUnits);
    // Metric where the units are; imperial for inches, feet, miles and the like.
    const int units = h.insertionUnits;
    const bool imperial = units == 1 || units == 2 || units == 3 || units == 8 || units == 9 ||
                          units == 10 || units == 21 || units == 22;
    variable(out, "$MEASUREMENT");
    out.integer(70, imperial ? 0 : 1);
    variable(out, "$HANDSEED");
    out.handle(5, plan.next);
}

void writeDxfClasses(const DxfPlan& plan, const std::map<std::string, int, std::less<>>& written,
                     DxfOutput& out) {
    for (const ClassInfo& info : kClasses) {
        const auto found = written.find(std::string_view(info.dxfName));
        if (found == written.end()) continue;
        out.ascii(0, "CLASS");
        out.ascii(1, info.dxfName);
        out.ascii(2, info.cppName);
        out.ascii(3, info.application);
        out.integer(90, info.proxyFlags);
        if (plan.r2018) out.integer(91, found->second);
        out.integer(280, 0);
        out.integer(281, info.entity ? 1 : 0);
    }
}

void writeDxfTables(const Drawing& drawing, const DxfPlan& plan, DxfOutput& out) {
    out.ascii(0, "SECTION");
    out.ascii(2, "TABLES");
    writeViewportTable(drawing, plan, out);
    writeLinetypeTable(plan, out);
    writeLayerTable(plan, out);
    writeStyleTable(plan, out);
    tableStart(out, "VIEW", plan.viewTable, 0);
    endTable(out);
    tableStart(out, "UCS", plan.ucsTable, 0);
    endTable(out);
    tableStart(out, "APPID", plan.appIdTable, 1);
    entryStart(out, "APPID", plan.appIdAcad, plan.appIdTable, "AcDbRegAppTableRecord");
    out.ascii(2, "ACAD");
    out.integer(70, 0);
    endTable(out);
    tableStart(out, "DIMSTYLE", plan.dimStyleTable, 1);
    out.ascii(100, "AcDbDimStyleTable");
    out.integer(71, 1);
    out.handle(340, plan.dimStyleStandard);
    entryStart(out, "DIMSTYLE", plan.dimStyleStandard, plan.dimStyleTable,
               "AcDbDimStyleTableRecord", 105);
    out.ascii(2, "Standard");
    out.integer(70, 0);
    out.real(40, drawing.header.dimScale);
    out.real(140, drawing.header.dimTextHeight);
    out.handle(340, plan.textStyles.front().first);
    endTable(out);
    writeBlockRecordTable(plan, out);
    out.ascii(0, "ENDSEC");
}

}  // namespace dwg::detail
