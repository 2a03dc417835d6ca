// What a DXF file of a drawing holds and under which handles, resolved
// before anything is written: the standard entries the drawing lacks, the
// objects its entities need (layouts, multiline styles, image definitions),
// and the model's references turned into the file's handles.
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Writer.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dwg::detail {

[[noreturn]] void failDxf(const std::string& message);

struct DxfBlock {
    const Block* source = nullptr;  // null for a space the drawing does not have
    std::string name;
    Handle record = 0;  // BLOCK_RECORD
    Handle begin = 0;   // BLOCK
    Handle end = 0;     // ENDBLK
    Handle layout = 0;  // model and paper spaces only
    std::string layoutName;
    int tabOrder = 0;
    bool modelSpace = false;
    bool paperSpace = false;
    bool activePaperSpace = false;  // its entities go to the ENTITIES section with the model's
    std::vector<Handle> entities;   // one per source entity, in order
};

struct DxfMlineStyle {
    Handle handle = 0;
    std::string name;
    const MLine* elementsFrom = nullptr;  // null: the standard two lines
};

struct DxfImageDefinition {
    Handle modelHandle = 0;  // the IMAGEDEF the model's images name
    Handle handle = 0;
    Point2 pixels{1, 1};
    std::string filePath;
    // One IMAGEDEF_REACTOR per image that shows it: the reactor, the image.
    std::vector<std::pair<Handle, Handle>> reactors;
};

// Windows-1252, the code page of a DXF before AC1021 unless its names need another.
inline constexpr int kDxfDefaultCodePage = 30;

// $DWGCODEPAGE's name of a drawing's code page number ("ANSI_1252"); empty
// for one that is not an ANSI code page.
std::string dxfCodePageName(int codePage);

struct DxfPlan {
    Version version = Version::R2000;
    bool r2018 = false;
    // Before AC1021: the code page the file's text is in.
    int codePage = kDxfDefaultCodePage;

    Handle vportTable = 0, linetypeTable = 0, layerTable = 0, styleTable = 0, viewTable = 0,
           ucsTable = 0, appIdTable = 0, dimStyleTable = 0, blockRecordTable = 0;
    Handle appIdAcad = 0, dimStyleStandard = 0;
    // The "*Active" viewports: one for each tiled viewport, else one.
    std::vector<Handle> viewports;
    Handle namedObjects = 0, groups = 0, layouts = 0, mlineStyles = 0, plotStyleNames = 0,
           plotStyleNormal = 0, mleaderStyles = 0, mleaderStyleStandard = 0, imageDictionary = 0,
           imageVariables = 0, wipeoutVariables = 0;

    // Table entries; the fixed ones ("0", ByBlock, ByLayer, Continuous, Standard) first.
    std::vector<std::pair<Handle, Layer>> layers;
    std::vector<std::pair<Handle, Linetype>> linetypes;
    std::vector<std::pair<Handle, TextStyle>> textStyles;
    // Model space, the active paper space, the other layouts, then the blocks.
    std::vector<DxfBlock> blocks;
    std::vector<DxfMlineStyle> mlineStylesWritten;
    std::unordered_map<const MLine*, Handle> mlineStyleOf;
    std::vector<DxfImageDefinition> images;
    std::unordered_map<const RasterImage*, std::pair<Handle, Handle>> imageLinks;  // def, reactor
    bool hasWipeouts = false;
    // AC1032: the ACIS data of each entity that has some, stored apart.
    std::vector<std::pair<Handle, const AcisData*>> acisRecords;

    std::unordered_map<Handle, std::size_t> layerIndex, linetypeIndex, styleIndex, blockIndex;
    std::unordered_map<Handle, Handle> entityOf;

    Handle next = 1;
    Handle take() { return next++; }

    const std::string& layerName(Handle modelLayer) const;
    // The model's linetype handle as the name to write; empty for ByLayer.
    std::string linetypeName(const EntityHeader& header) const;
    std::string linetypeNameOf(Handle modelLinetype) const;
    const std::pair<Handle, TextStyle>& style(Handle modelStyle) const;
    const DxfBlock& block(Handle modelBlock, const char* usedBy) const;
    Handle linetypeByBlock() const { return linetypes[0].first; }
    Handle linetypeByLayer() const { return linetypes[1].first; }
    Handle linetypeContinuous() const { return linetypes[2].first; }
    const DxfBlock& modelSpace() const { return blocks[0]; }
};

// The DXF name of an entity; throws WriteError for what the version cannot hold.
std::string_view dxfEntityType(const Entity& entity, Version version);
bool isSab(const AcisData& data);

DxfPlan planDxf(const Drawing& drawing, Version version);

}  // namespace dwg::detail
