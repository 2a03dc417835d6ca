// The writer through the reader, in every version it writes: what is written
// reads back unchanged, extents are those of the drawing, output depends only
// on the drawing, and drawings the version cannot carry are refused with a
// clear error.
#include <dwg/Preview.h>
#include <dwg/Reader.h>
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

#include "WrittenDrawings.h"

namespace {

using namespace dwg;
using namespace testsupport;

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Handles differ between the model and the file: every reference is replaced
// by a number derived from the name it stands for.
void normalise(Drawing& d, Version version) {
    std::map<Handle, std::string> layers, linetypes, styles, blocks, images, dimensionStyles;
    for (const Layer& l : d.layers) layers[l.handle] = l.name;
    for (const Linetype& l : d.linetypes) linetypes[l.handle] = upper(l.name);
    for (const TextStyle& s : d.textStyles) styles[s.handle] = upper(s.name);
    for (const Block& b : d.blocks) blocks[b.handle] = b.name;
    for (const ImageDefinition& i : d.imageDefinitions) images[i.handle] = i.filePath;
    for (const DimensionStyle& s : d.dimensionStyles) dimensionStyles[s.handle] = upper(s.name);
    auto key = [](const std::map<Handle, std::string>& names, Handle h, const char* fallback) {
        const auto found = names.find(h);
        return static_cast<Handle>(
            std::hash<std::string>{}(found == names.end() ? fallback : found->second));
    };
    for (Layer& l : d.layers) {
        l.handle = key(layers, l.handle, "");
        l.linetype = key(linetypes, l.linetype, "CONTINUOUS");
    }
    for (Linetype& l : d.linetypes) l.handle = key(linetypes, l.handle, "");
    for (TextStyle& s : d.textStyles) s.handle = key(styles, s.handle, "");
    for (ImageDefinition& i : d.imageDefinitions) i.handle = key(images, i.handle, "");
    for (DimensionStyle& s : d.dimensionStyles) {
        s.handle = key(dimensionStyles, s.handle, "");
        s.textStyle = key(styles, s.textStyle, "STANDARD");
        for (Handle* arrow :
             {&s.arrowBlock, &s.firstArrowBlock, &s.secondArrowBlock, &s.leaderArrowBlock})
            *arrow = *arrow ? key(blocks, *arrow, "") : 0;
    }
    for (NamedView& v : d.views) v.handle = 0;
    for (NamedUcs& u : d.ucss) u.handle = 0;
    for (Block& b : d.blocks) {
        b.handle = key(blocks, b.handle, "");
        for (Entity& e : b.entities) {
            e.header.handle = e.header.owner = 0;
            e.header.layer = key(layers, e.header.layer, "0");
            // The handle means something only for an explicit linetype.
            e.header.linetype = e.header.linetypeRef == EntityHeader::LinetypeRef::Explicit
                                    ? key(linetypes, e.header.linetype, "")
                                    : 0;
            if (auto* text = std::get_if<Text>(&e.data))
                text->style = key(styles, text->style, "STANDARD");
            if (auto* text = std::get_if<MText>(&e.data))
                text->style = key(styles, text->style, "STANDARD");
            // No dimension style named is the Standard one.
            auto dimensionStyle = [&](Handle& h) { h = key(dimensionStyles, h, "STANDARD"); };
            if (auto* dimension = std::get_if<Dimension>(&e.data)) {
                dimension->block = key(blocks, dimension->block, "");
                dimensionStyle(dimension->dimStyle);
            }
            if (auto* leader = std::get_if<Leader>(&e.data)) dimensionStyle(leader->dimStyle);
            if (auto* tolerance = std::get_if<Tolerance>(&e.data))
                dimensionStyle(tolerance->dimStyle);
            // Styles are the file's own objects; what the entity takes from them is compared.
            if (auto* mline = std::get_if<MLine>(&e.data)) {
                mline->style = 0;
                // Before 2018 the style stores a linetype's place in the table, which is not
                // read back as a reference.
                for (MLineElement& element : mline->elements)
                    element.linetype = version < Version::R2018
                                           ? 0
                                           : key(linetypes, element.linetype, "BYLAYER");
            }
            if (auto* image = std::get_if<RasterImage>(&e.data))
                image->imageDefinition = key(images, image->imageDefinition, "");
            if (auto* insert = std::get_if<Insert>(&e.data)) {
                insert->block = key(blocks, insert->block, "");
                for (AttributeEntity& attribute : insert->attributes) {
                    attribute.header.handle = attribute.header.owner = 0;
                    attribute.header.layer = key(layers, attribute.header.layer, "0");
                    attribute.text.style = key(styles, attribute.text.style, "STANDARD");
                }
            }
        }
    }
    d.header = {};
    d.activeView.reset();  // the writer stores a plan view of its own
    // From 2010 the writer names the built-in style of each look (a test of its own).
    for (SavedView& view : d.tiledViews) view.visualStyleProperties.reset();
    d.version = Version::R2000;  // compared apart
    d.codePage = 30;
}

constexpr Version kWritten[] = {Version::R2000, Version::R2004, Version::R2010, Version::R2013,
                                Version::R2018};

Drawing roundTrip(const Drawing& drawing, Version version = Version::R2000) {
    const std::vector<std::uint8_t> bytes = writeDwg(drawing, version);
    Drawing back = read(std::span<const std::uint8_t>(bytes));
    EXPECT_EQ(back.version, version);
    EXPECT_EQ(back.damagedObjects, 0);
    return back;
}

void expectSameAfterRoundTrip(Drawing original, Version version) {
    Drawing back = roundTrip(original, version);
    EXPECT_TRUE(back.skippedEntities.empty());
    normalise(original, version);
    normalise(back, version);
    ASSERT_EQ(back.blocks.size(), original.blocks.size());
    for (std::size_t i = 0; i < back.blocks.size(); ++i) {
        ASSERT_EQ(back.blocks[i].entities.size(), original.blocks[i].entities.size());
        for (std::size_t k = 0; k < back.blocks[i].entities.size(); ++k)
            EXPECT_TRUE(back.blocks[i].entities[k] == original.blocks[i].entities[k])
                << original.blocks[i].entities[k].typeName << " #" << k << " of block " << i;
    }
    EXPECT_TRUE(back == original);
}

TEST(WriterRoundTrip, EveryEntityKindReadsBackUnchangedInEveryVersion) {
    for (Version version : kWritten) {
        for (const EntityCase& c : allEntityCases()) {
            SCOPED_TRACE(std::string(versionCode(version)) + " " + c.name);
            Drawing drawing = baseDrawing();
            place(drawing, c);
            if (version < c.since) {
                // Refused, naming the kind.
                try {
                    writeDwg(drawing, version);
                    ADD_FAILURE() << "written";
                } catch (const WriteError& error) {
                    EXPECT_NE(std::string(error.what()).find(c.entity.typeName), std::string::npos)
                        << error.what();
                }
                continue;
            }
            expectSameAfterRoundTrip(drawing, version);
        }
    }
}

TEST(WriterRoundTrip, TablesAndNestedBlocksReadBackUnchangedInEveryVersion) {
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        expectSameAfterRoundTrip(nestedBlocks(), version);
    }
}

// From 2004 on, colours are stored as values: RGB on entities and layers.
TEST(WriterRoundTrip, TrueColoursFrom2004On) {
    for (Version version : {Version::R2004, Version::R2010, Version::R2013, Version::R2018}) {
        SCOPED_TRACE(versionCode(version));
        Drawing drawing = nestedBlocks();
        drawing.layers[1].color = Color::fromTrueColor(0xA0B0C0);
        drawing.blocks[0].entities[0].header.color = Color::fromTrueColor(0x123456);
        drawing.blocks[0].entities.push_back(entity("LINE", Line{{0, 0, 0}, {1, 0, 0}}));
        drawing.blocks[0].entities.back().header.color = Color{Color::Kind::ByBlock, 0, 0};
        expectSameAfterRoundTrip(drawing, version);
    }
}

// Layouts beyond the first keep their own paper space; anonymous blocks share
// their stored name.
TEST(WriterRoundTrip, SeveralLayoutsAndAnonymousBlocksOfOneName) {
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        Drawing drawing = nestedBlocks();
        Block second;
        second.handle = 90;
        second.name = "*Paper_Space0";
        second.paperSpace = true;
        second.entities = {entity("CIRCLE", Circle{{5, 5, 0}, 2, 0, kDefaultExtrusion})};
        drawing.blocks.push_back(second);
        Block anonymous;
        anonymous.handle = 91;
        anonymous.name = "*U";
        anonymous.anonymous = true;
        drawing.blocks.push_back(anonymous);
        anonymous.handle = 92;
        drawing.blocks.push_back(anonymous);
        const Drawing back = roundTrip(drawing, version);
        int papers = 0, anonymousU = 0;
        for (const Block& block : back.blocks) {
            papers += block.paperSpace;
            anonymousU += block.anonymous && block.name == "*U";
            if (block.name == "*Paper_Space0") {
                ASSERT_EQ(block.entities.size(), 1u);
                EXPECT_EQ(block.entities[0].typeName, "CIRCLE");
            }
        }
        EXPECT_EQ(papers, 2);
        EXPECT_EQ(anonymousU, 2);
    }
}

TEST(WriterRoundTrip, MissingStandardEntriesAreAddedAndTheHeaderSettingsKept) {
    Drawing bare;
    Block model;
    model.handle = 5;
    model.modelSpace = true;
    model.entities = {entity("LINE", Line{{0, 0, 0}, {1, 1, 0}}, 0)};
    bare.blocks = {model};
    HeaderVariables& settings = bare.header;
    settings.insertionBase = {1, 2, 3};
    settings.insertionUnits = 5;
    settings.pointDisplayMode = 35;
    settings.pointDisplaySize = -5;
    settings.linetypeScale = 2;
    settings.newEntityLinetypeScale = 0.5;
    settings.paperSpaceLinetypeScaling = false;
    settings.fillMode = false;
    settings.dimScale = 10;
    settings.dimTextHeight = 2.5;
    for (Version version : kWritten) {
    SCOPED_TRACE(versionCode(version));
    const Drawing back = roundTrip(bare, version);
    ASSERT_EQ(back.layers.size(), 1u);
    EXPECT_EQ(back.layers[0].name, "0");
    EXPECT_EQ(back.header.currentLayer, back.layers[0].handle);
    ASSERT_EQ(back.linetypes.size(), 3u);
    EXPECT_EQ(back.header.linetypeByLayer, back.linetypes[1].handle);
    ASSERT_EQ(back.textStyles.size(), 1u);
    // The Standard dimension style takes the header's scale and text height.
    ASSERT_EQ(back.dimensionStyles.size(), 1u);
    EXPECT_EQ(back.dimensionStyles[0].name, "Standard");
    EXPECT_EQ(back.dimensionStyles[0].scale, settings.dimScale);
    EXPECT_EQ(back.dimensionStyles[0].textHeight, settings.dimTextHeight);
    EXPECT_EQ(back.dimensionStyles[0].textStyle, back.textStyles[0].handle);
    ASSERT_NE(back.modelSpace(), nullptr);
    EXPECT_EQ(back.modelSpace()->entities.size(), 1u);
    EXPECT_EQ(back.modelSpace()->entities[0].header.layer, back.layers[0].handle);
    const HeaderVariables& read = back.header;
    EXPECT_EQ(read.insertionBase, settings.insertionBase);
    EXPECT_EQ(read.insertionUnits, settings.insertionUnits);
    EXPECT_EQ(read.pointDisplayMode, settings.pointDisplayMode);
    EXPECT_EQ(read.pointDisplaySize, settings.pointDisplaySize);
    EXPECT_EQ(read.linetypeScale, settings.linetypeScale);
    EXPECT_EQ(read.newEntityLinetypeScale, settings.newEntityLinetypeScale);
    EXPECT_EQ(read.paperSpaceLinetypeScaling, settings.paperSpaceLinetypeScaling);
    EXPECT_EQ(read.fillMode, settings.fillMode);
    EXPECT_EQ(read.dimScale, settings.dimScale);
    EXPECT_EQ(read.dimTextHeight, settings.dimTextHeight);
    }
}

// A block opens where its author left it: the saved view, turned and in
// perspective, comes back in every version.
TEST(WriterRoundTrip, TheSavedViewIsTheViewTheDrawingOpensIn) {
    SavedView saved;
    saved.centre = {12.5, -3};
    saved.height = 240;
    saved.aspect = 1.75;
    saved.target = {100, 50, 10};
    saved.direction = {1, -1, 1};
    saved.twist = 0.5;
    saved.perspective = true;
    saved.lensLength = 35;
    saved.frontClipping = true;
    saved.frontClip = 20;
    saved.renderMode = 4;
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        Drawing drawing = baseDrawing();
        drawing.activeView = saved;
        const Drawing back = roundTrip(drawing, version);
        ASSERT_TRUE(back.activeView.has_value());
        const SavedView& view = *back.activeView;
        EXPECT_EQ(view.centre, saved.centre);
        EXPECT_EQ(view.height, saved.height);
        EXPECT_DOUBLE_EQ(view.aspect, saved.aspect);
        EXPECT_EQ(view.target, saved.target);
        EXPECT_EQ(view.direction, saved.direction);
        EXPECT_DOUBLE_EQ(view.twist, saved.twist);
        EXPECT_TRUE(view.perspective);
        EXPECT_EQ(view.lensLength, saved.lensLength);
        EXPECT_TRUE(view.frontClipping);
        EXPECT_FALSE(view.backClipping);
        EXPECT_EQ(view.frontClip, saved.frontClip);
        EXPECT_EQ(view.renderMode, saved.renderMode);
    }
}

// From 2010 a viewport names the visual style it is shown in: the style it
// was read with comes back field for field, a look without one comes back as
// the built-in style of that look; older versions keep the render mode only.
TEST(WriterRoundTrip, ViewportsKeepTheirVisualStyles) {
    VisualStyleProperties own;
    own.name = "Vidro fosco";
    own.type = 25;
    own.faceLighting = 2;
    own.faceLightingQuality = 1;
    own.faceColorMode = 3;
    own.faceMonoColor = Color::fromTrueColor(0x336699);
    own.faceOpacity = 0.25;
    own.edgeModel = 2;
    own.edgeStyle = 8;
    struct Look {
        VisualStyle look;
        const char* name;
    };
    const Look builtIns[] = {
        {VisualStyle::Wireframe2D, "2dWireframe"}, {VisualStyle::Wireframe3D, "Wireframe"},
        {VisualStyle::Hidden, "Hidden"},           {VisualStyle::Shaded, "Shaded"},
        {VisualStyle::ShadedWithEdges, "Shaded with edges"},
        {VisualStyle::Conceptual, "Conceptual"},   {VisualStyle::ShadesOfGray, "Shades of Gray"},
        {VisualStyle::Sketchy, "Sketchy"},         {VisualStyle::XRay, "X-Ray"},
    };
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        Drawing drawing = baseDrawing();
        SavedView styled;
        styled.renderMode = 6;
        styled.visualStyleProperties = own;
        styled.visualStyle = VisualStyle::XRay;
        drawing.tiledViews = {styled};
        for (const Look& look : builtIns) {
            SavedView view;
            view.visualStyle = look.look;
            view.upperRight = {0.5, 0.5};
            drawing.tiledViews.push_back(view);
        }
        drawing.activeView = drawing.tiledViews.front();
        const Drawing back = roundTrip(drawing, version);
        ASSERT_EQ(back.tiledViews.size(), drawing.tiledViews.size());
        EXPECT_EQ(back.tiledViews[0].renderMode, 6);
        if (version < Version::R2010) {
            for (const SavedView& view : back.tiledViews) EXPECT_FALSE(view.visualStyleProperties);
            continue;
        }
        ASSERT_TRUE(back.tiledViews[0].visualStyleProperties);
        VisualStyleProperties read = *back.tiledViews[0].visualStyleProperties;
        read.handle = own.handle;
        EXPECT_EQ(read, own);
        EXPECT_EQ(back.tiledViews[0].visualStyle, VisualStyle::XRay);
        for (std::size_t i = 0; i < std::size(builtIns); ++i) {
            const SavedView& view = back.tiledViews[i + 1];
            ASSERT_TRUE(view.visualStyleProperties) << builtIns[i].name;
            EXPECT_EQ(view.visualStyleProperties->name, builtIns[i].name);
            EXPECT_EQ(view.visualStyle, builtIns[i].look) << builtIns[i].name;
        }
    }
}

// Extents read back from the header, against boxes worked out by hand.
TEST(WriterExtents, HeaderHoldsTheBoxOfWhatIsDrawn) {
    struct Case {
        const char* name;
        std::vector<Entity> entities;
        std::optional<std::pair<Point3, Point3>> box;
    };
    LwPolyline halfDisc;  // from (0,0) to (2,0), clockwise through (1,1)
    halfDisc.points = {{0, 0}, {2, 0}};
    halfDisc.bulges = {-1, 0};
    Insert rotated;
    rotated.block = kChair;
    rotated.insertion = {10, 10, 0};
    rotated.rotation = std::numbers::pi / 2;
    rotated.scale = {2, 2, 2};
    Insert array = rotated;
    array.rotation = 0;
    array.scale = {1, 1, 1};
    array.columns = 3;
    array.rows = 2;
    array.columnSpacing = 5;
    array.rowSpacing = 4;
    const Case cases[] = {
        {"nothing drawn", {}, std::nullopt},
        {"quarter arc crossing 90 degrees",
         {entity("ARC", Arc{{0, 0, 0},
                            2,
                            std::numbers::pi / 4,
                            3 * std::numbers::pi / 4,
                            0,
                            kDefaultExtrusion})},
         std::pair{Point3{-std::sqrt(2.0), std::sqrt(2.0), 0}, Point3{std::sqrt(2.0), 2, 0}}},
        {"arc through angle zero",
         {entity("ARC", Arc{{0, 0, 0},
                            1,
                            3 * std::numbers::pi / 2,
                            std::numbers::pi / 2,
                            0,
                            kDefaultExtrusion})},
         std::pair{Point3{0, -1, 0}, Point3{1, 1, 0}}},
        {"bulged polyline segment",
         {entity("LWPOLYLINE", halfDisc)},
         std::pair{Point3{0, 0, 0}, Point3{2, 1, 0}}},
        {"rotated ellipse",
         {entity("ELLIPSE",
                 Ellipse{{0, 0, 0}, {0, 3, 0}, kDefaultExtrusion, 0.5, 0, 2 * std::numbers::pi})},
         std::pair{Point3{-1.5, -3, 0}, Point3{1.5, 3, 0}}},
        {"scaled and turned insert",
         {entity("INSERT", rotated)},
         std::pair{Point3{8, 10, 0}, Point3{10, 12, 0}}},
        {"insert array",
         {entity("INSERT", array)},
         std::pair{Point3{10, 10, 0}, Point3{21, 15, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing d = baseDrawing();
        Block chair;  // the unit square from its base point (1,1)
        chair.handle = kChair;
        chair.name = "Cadeira";
        chair.basePoint = {1, 1, 0};
        chair.entities = {entity("LINE", Line{{1, 1, 0}, {2, 2, 0}})};
        d.blocks.push_back(chair);
        d.blocks[0].entities = c.entities;
        const Drawing back = roundTrip(d);
        ASSERT_EQ(back.header.extentsMin.has_value(), c.box.has_value());
        if (!c.box) continue;
        for (const auto& [got, want] : {std::pair{*back.header.extentsMin, c.box->first},
                                        std::pair{*back.header.extentsMax, c.box->second}}) {
            EXPECT_NEAR(got.x, want.x, 1e-9);
            EXPECT_NEAR(got.y, want.y, 1e-9);
            EXPECT_NEAR(got.z, want.z, 1e-9);
        }
    }
}

TEST(Writer, SameDrawingGivesSameBytesAndAnotherDrawingOtherBytes) {
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        const Drawing drawing = nestedBlocks();
        const std::vector<std::uint8_t> first = writeDwg(drawing, version);
        EXPECT_EQ(writeDwg(drawing, version), first);
        Drawing moved = drawing;
        std::get<Insert>(moved.blocks[0].entities[0].data).insertion.x += 1;
        EXPECT_NE(writeDwg(moved, version), first);
    }
}

TEST(Writer, VersionsItDoesNotWriteAreRefused) {
    for (Version version : {Version::R13, Version::R14, Version::R2007})
        EXPECT_THROW(writeDwg(nestedBlocks(), version), WriteError) << versionCode(version);
}

TEST(Writer, DrawingsTheFormatCannotCarryAreRefused) {
    struct Case {
        const char* name;
        std::function<void(Drawing&)> spoil;
    };
    const Case cases[] = {
        {"true colour",
         [](Drawing& d) { d.blocks[0].entities[0].header.color = Color::fromTrueColor(0x123456); }},
        {"layer colour by layer", [](Drawing& d) { d.layers[1].color = Color{}; }},
        {"unknown layer", [](Drawing& d) { d.blocks[0].entities[0].header.layer = 999; }},
        {"unknown linetype", [](Drawing& d) { d.layers[1].linetype = 999; }},
        {"unknown text style",
         [](Drawing& d) {
             Text t;
             t.style = 999;
             d.blocks[0].entities.push_back(entity("TEXT", t));
         }},
        {"unknown block",
         [](Drawing& d) { std::get<Insert>(d.blocks[0].entities[0].data).block = 999; }},
        {"insert of model space",
         [](Drawing& d) { std::get<Insert>(d.blocks[0].entities[0].data).block = kModelSpace; }},
        {"block placing itself",
         [](Drawing& d) {
             Insert loop;
             loop.block = kTable;
             d.blocks[3].entities.push_back(entity("INSERT", loop));  // chair places table
         }},
        {"duplicate layer name", [](Drawing& d) { d.layers[2].name = "PAREDES"; }},
        {"empty block name", [](Drawing& d) { d.blocks[3].name.clear(); }},
        {"second model space", [](Drawing& d) { d.blocks[3].modelSpace = true; }},
        {"entity the writer does not know",
         [](Drawing& d) { d.blocks[0].entities.push_back(entity("SHAPE", Unsupported{})); }},
        {"attribute without a tag",
         [](Drawing& d) {
             std::get<Insert>(d.blocks[0].entities[0].data).attributes.push_back({});
         }},
        {"attribute on an unknown layer",
         [](Drawing& d) {
             auto& attributes = std::get<Insert>(d.blocks[4].entities[1].data).attributes;
             attributes.back().header.layer = 999;
         }},
        {"attribute loose in a block",
         [](Drawing& d) {
             Text loose;
             loose.kind = Text::Kind::Attribute;
             loose.tag = "SOLTO";
             d.blocks[3].entities.push_back(entity("ATTRIB", loose));
         }},
        {"attribute definition without a tag",
         [](Drawing& d) {
             Text definition;
             definition.kind = Text::Kind::AttributeDefinition;
             d.blocks[3].entities.push_back(entity("ATTDEF", definition));
         }},
        {"dimension drawn by no block",
         [](Drawing& d) {
             Dimension dimension;
             dimension.block = 999;
             d.blocks[0].entities.push_back(entity("DIMENSION_LINEAR", dimension));
         }},
        {"dimension drawn by model space",
         [](Drawing& d) {
             Dimension dimension;
             dimension.block = kModelSpace;
             d.blocks[0].entities.push_back(entity("DIMENSION_LINEAR", dimension));
         }},
        {"leader with one vertex",
         [](Drawing& d) {
             Leader leader;
             leader.points = {{1, 1, 0}};
             d.blocks[0].entities.push_back(entity("LEADER", leader));
         }},
        {"viewport in model space",
         [](Drawing& d) { d.blocks[0].entities.push_back(entity("VIEWPORT", Viewport{})); }},
        {"multiline without style elements",
         [](Drawing& d) { d.blocks[0].entities.push_back(entity("MLINE", MLine{})); }},
        {"multiline vertex missing an element",
         [](Drawing& d) {
             MLine mline;
             mline.elements.resize(2);
             mline.vertices = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0}}, {{}}}};
             d.blocks[0].entities.push_back(entity("MLINE", mline));
         }},
        {"multiline element of an unknown linetype",
         [](Drawing& d) {
             MLine mline;
             mline.elements = {{0, Color{}, 999}};
             d.blocks[0].entities.push_back(entity("MLINE", mline));
         }},
        {"dimension of an unknown style",
         [](Drawing& d) {
             Tolerance tolerance;
             tolerance.dimStyle = 999;
             d.blocks[0].entities.push_back(entity("TOLERANCE", tolerance));
         }},
        {"dimension style of an unknown text style",
         [](Drawing& d) { d.dimensionStyles[1].textStyle = 999; }},
        {"dimension style with an unknown arrowhead block",
         [](Drawing& d) { d.dimensionStyles[1].leaderArrowBlock = 999; }},
        {"duplicate dimension style name", [](Drawing& d) { d.dimensionStyles[1].name = "STANDARD"; }},
        {"duplicate view name", [](Drawing& d) { d.views.push_back(d.views[0]); }},
        {"UCS without a name", [](Drawing& d) { d.ucss[0].name.clear(); }},
        {"polyline without vertices",
         [](Drawing& d) { d.blocks[0].entities.push_back(entity("POLYLINE_2D", Polyline{})); }},
        {"polygon mesh whose vertices are not M by N",
         [](Drawing& d) {
             Polyline mesh;
             mesh.kind = Polyline::Kind::PolygonMesh;
             mesh.meshM = 2;
             mesh.meshN = 2;
             mesh.vertices.resize(3);
             d.blocks[0].entities.push_back(entity("POLYLINE_MESH", mesh));
         }},
        {"polyface face naming a vertex it lacks",
         [](Drawing& d) {
             Polyline pface;
             pface.kind = Polyline::Kind::PolyfaceMesh;
             pface.vertices.resize(3);
             pface.faces = {{{1, 2, -4, 0}}};
             d.blocks[0].entities.push_back(entity("POLYLINE_PFACE", pface));
         }},
    };
    for (Version version : kWritten) {
        EXPECT_NO_THROW(writeDwg(nestedBlocks(), version));
        for (const Case& c : cases) {
            // Colours are values from 2004 on.
            if (version >= Version::R2004 && std::string_view(c.name) == "true colour") continue;
            SCOPED_TRACE(std::string(versionCode(version)) + " " + c.name);
            Drawing d = nestedBlocks();
            c.spoil(d);
            try {
                writeDwg(d, version);
                ADD_FAILURE() << "written";
            } catch (const WriteError& error) {
                EXPECT_NE(std::string(error.what()).find("não é possível gravar"),
                          std::string::npos);
            }
        }
    }
}

}  // namespace

namespace {

// The preview picture: a bitmap up to 2010 that decodes to the same pixels,
// a PNG from 2013; none stored when none is given.
TEST(WriterPreview, StoredAsTheVersionStoresIt) {
    Raster picture;
    picture.width = 5;  // rows padded to four bytes
    picture.height = 3;
    for (int i = 0; i < 15; ++i) picture.pixels.push_back(0x010203u * static_cast<unsigned>(i));
    WriteOptions options;
    options.preview = picture;
    for (Version version : kWritten) {
        SCOPED_TRACE(versionCode(version));
        const std::vector<std::uint8_t> bytes = writeDwg(nestedBlocks(), version, options);
        const std::optional<PreviewImage> stored = readPreview(bytes);
        ASSERT_TRUE(stored.has_value());
        if (version >= Version::R2013) {
            EXPECT_EQ(stored->format, PreviewImage::Format::Png);
            ASSERT_GE(stored->bytes.size(), 8u);
            EXPECT_EQ(stored->bytes[1], 'P');
        } else {
            EXPECT_EQ(stored->format, PreviewImage::Format::Bitmap);
            const Raster back = decodeBitmap(stored->bytes);
            EXPECT_EQ(back.width, picture.width);
            EXPECT_EQ(back.height, picture.height);
            EXPECT_EQ(back.pixels, picture.pixels);
        }
        EXPECT_FALSE(readPreview(writeDwg(nestedBlocks(), version)).has_value());
        // The drawing reads as well with its picture.
        EXPECT_NO_THROW(read(std::span<const std::uint8_t>(bytes)));
    }
    Raster wrong = picture;
    wrong.pixels.pop_back();
    options.preview = wrong;
    EXPECT_THROW(writeDwg(nestedBlocks(), Version::R2018, options), WriteError);
}

}  // namespace
