// How the saved view shows 3D objects: the active viewport's view mode, lens
// and render mode, and from R2007 the VISUALSTYLE object it names, read from
// hand-made records in each version's framing; and the look each visual
// style's fields give.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "CraftedObjects.h"
#include "VisualStyle.h"

namespace {

using dwg::Version;
using dwg::VisualStyle;
using testsupport::BitWriter;
namespace detail = dwg::detail;

constexpr int kViewportType = 65;
constexpr int kVisualStyleClass = 500;

// An object section whose class 500 is VISUALSTYLE.
testsupport::ObjectSection sectionWithStyles(Version version) {
    testsupport::ObjectSection objects{version, {}, {}, {}};
    objects.addClass(kVisualStyleClass, "VISUALSTYLE", false);
    return objects;
}

struct ViewportFields {
    bool perspective = false;
    bool frontClipping = false;
    bool backClipping = false;
    bool frontClipAtEye = true;
    double lens = 50;
    double front = 0;
    double back = 0;
    int renderMode = 0;
    dwg::Handle visualStyle = 0;  // R2007+
    // Where it lies in the window; not written when absent (the record ends).
    std::optional<std::array<double, 4>> rectangle = {};  // lower left x, y, upper right x, y
};

// A "*Active" VPORT looking down (1, 1, 1) at the origin, its fields up to
// the render mode's companions as the version stores them; the rest of the
// record is not read.
void addViewport(testsupport::ObjectSection& section, dwg::Handle handle, const ViewportFields& f) {
    const Version v = section.version;
    BitWriter data = testsupport::commonObjectData(v), strings, handles;
    if (v >= Version::R2007) {
        strings.unicodeText("*Active");
        data.bitShort(0);
    } else {
        data.text("*Active").bit(false).bitShort(0).bit(false);
    }
    data.bitDouble(10).bitDouble(15).rawDouble(1).rawDouble(2);  // height, aspect × height, centre
    data.point3(0, 0, 0).point3(1, 1, 1).bitDouble(0);           // target, direction, twist
    data.bitDouble(f.lens).bitDouble(f.front).bitDouble(f.back);
    data.bit(f.perspective).bit(f.frontClipping).bit(f.backClipping).bit(f.frontClipAtEye);
    data.rawChar(static_cast<std::uint8_t>(f.renderMode));
    if (v >= Version::R2007) data.bit(true).rawChar(1).bitDouble(0).bitDouble(0).colorIndex(250);
    if (f.rectangle)
        for (const double corner : *f.rectangle) data.rawDouble(corner);
    handles.handle(4, 0x8);                        // viewport table
    if (v < Version::R2004) handles.handle(3, 0);  // extension dictionary
    handles.handle(5, 0);                          // xref block
    if (v >= Version::R2007) handles.handle(4, 0).handle(5, f.visualStyle).handle(3, 0);
    handles.handle(5, 0).handle(5, 0);  // named and base UCS
    section.add(kViewportType, handle, data, strings, handles);
}

struct StyleFields {
    std::string name;
    int type = 4;
    int lighting = 0;
    int quality = 2;
    int colorMode = 1;
    int modifiers = 2;  // specular only
    double opacity = 0.6;
    int edgeModel = 1;
    int edgeStyle = 4;
};

// A VISUALSTYLE record in the layout of its version (each property followed
// by a BS of its own from R2010); with `complete` false it stops after the type.
void addVisualStyle(testsupport::ObjectSection& section, dwg::Handle handle, const StyleFields& s,
                    bool complete = true) {
    const bool tagged = section.version >= Version::R2010;
    BitWriter data = testsupport::commonObjectData(section.version), strings;
    strings.unicodeText(s.name);
    data.bitLong(s.type);
    if (complete) {
        // Each value, then (R2010+) its BS.
        auto property = [&](auto write) {
            write();
            if (tagged) data.bitShort(1);
        };
        auto bitLong = [&](int value) { return [&data, value] { data.bitLong(value); }; };
        if (tagged) {
            data.bitShort(2).bit(false);  // lighting model version, internal
            property(bitLong(s.lighting));
            property(bitLong(s.quality));
            property(bitLong(s.colorMode));
            property([&] { data.bitShort(static_cast<std::int16_t>(s.modifiers)); });
            property([&] { data.bitDouble(s.opacity); });
            property([&] { data.bitDouble(30); });  // specular level
            property([&] { data.colorIndex(8); });
        } else {
            data.bitLong(s.lighting).bitLong(s.quality).bitLong(s.colorMode);
            data.bitDouble(s.opacity).bitDouble(30).colorIndex(8).bitLong(s.modifiers);
        }
        property(bitLong(s.edgeModel));
        property(bitLong(s.edgeStyle));
        data.bitDouble(1).bitLong(8);  // more of the record, not read
    }
    section.add(kVisualStyleClass, handle, data, strings, BitWriter().handle(4, 0x20));
}

const StyleFields kConceptual{"Conceptual", 9, 3, 2, 1, 2, 0.6, 2, 2};
const StyleFields kXRay{"X-Ray", 25, 2, 2, 1, 1, 0.5, 1, 0};
const StyleFields kHidden{"Hidden", 6, 1, 2, 2, 2, 0.6, 2, 2};

TEST(SavedView, ViewModeLensAndRenderModeOfTheActiveViewport) {
    using enum Version;
    using enum VisualStyle;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        Version version;
        ViewportFields stored;
        VisualStyle look;
        bool usable = true;  // else the view is kept without perspective and clipping
    };
    const Case cases[] = {
        {"plan", R2000, {}, Wireframe2D},
        {"perspective", R2000, {.perspective = true, .lens = 35}, Wireframe2D},
        {"clipped",
         R2004,
         {.frontClipping = true,
          .backClipping = true,
          .frontClipAtEye = false,
          .front = 4,
          .back = -6,
          .renderMode = 1},
         Wireframe3D},
        {"hidden", R2004, {.renderMode = 2}, Hidden},
        {"flat", R2000, {.renderMode = 3}, Shaded},
        {"gouraud", R2004, {.renderMode = 4}, Shaded},
        {"flatWithEdges", R2000, {.renderMode = 5}, ShadedWithEdges},
        {"gouraudWithEdges", R2004, {.renderMode = 6}, ShadedWithEdges},
        {"unknownMode", R2004, {.renderMode = 9}, Wireframe2D},
        {"lensNotANumber", R2000, {.perspective = true, .lens = nan}, Wireframe2D, false},
        {"lensZero", R2004, {.perspective = true, .lens = 0}, Wireframe2D, false},
        {"clipNotANumber",
         R2000,
         {.frontClipping = true, .backClipping = true, .front = nan, .back = nan},
         Wireframe2D,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto objects = sectionWithStyles(c.version);
        addViewport(objects, 0x30, c.stored);
        const dwg::Drawing drawing = objects.read();
        EXPECT_EQ(drawing.damagedObjects, 0);
        ASSERT_TRUE(drawing.activeView);
        const dwg::SavedView& view = *drawing.activeView;
        const ViewportFields& f = c.stored;
        EXPECT_EQ(view.perspective, c.usable && f.perspective);
        EXPECT_EQ(view.lensLength, c.usable ? f.lens : 50);
        EXPECT_EQ(view.frontClipping, c.usable && f.frontClipping);
        EXPECT_EQ(view.backClipping, c.usable && f.backClipping);
        EXPECT_EQ(view.frontClipAtEye, f.frontClipAtEye);
        if (view.frontClipping) {
            EXPECT_EQ(view.frontClip, f.front);
        }
        if (view.backClipping) {
            EXPECT_EQ(view.backClip, f.back);
        }
        EXPECT_EQ(view.renderMode, f.renderMode);
        EXPECT_EQ(view.visualStyle, c.look);
        EXPECT_FALSE(view.visualStyleProperties);
        EXPECT_EQ(view.direction, (dwg::Point3{1, 1, 1}));  // its length is the eye's distance
    }
}

TEST(SavedView, TheVisualStyleTheViewportNamesDecidesTheLook) {
    using enum Version;
    using enum VisualStyle;
    struct Case {
        const char* name;
        Version version;
        StyleFields style;
        bool styleComplete;
        dwg::Handle named;  // what the viewport names; the style is stored as 0x40
        int renderMode;
        VisualStyle look;
        bool propertiesRead;
    };
    const Case cases[] = {
        {"conceptual2007", R2007, kConceptual, true, 0x40, 0, Conceptual, true},
        {"xRay2010", R2010, kXRay, true, 0x40, 0, XRay, true},
        {"hidden2013", R2013, kHidden, true, 0x40, 4, Hidden, true},
        {"hidden2018", R2018, kHidden, true, 0x40, 0, Hidden, true},
        // Without a style that reads, the render mode stored beside it decides.
        {"namesNothing", R2007, kConceptual, true, 0x41, 2, Hidden, false},
        {"namesNone", R2013, kConceptual, true, 0, 4, Shaded, false},
        {"styleCutShort", R2013, kConceptual, false, 0x40, 5, ShadedWithEdges, false},
        {"styleCutShort2007", R2007, kXRay, false, 0x40, 1, Wireframe3D, false},
        // Before R2007 a viewport names none, though files saved by later
        // programs may hold the objects.
        {"olderViewport", R2004, kConceptual, true, 0x40, 6, ShadedWithEdges, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto objects = sectionWithStyles(c.version);
        addViewport(objects, 0x30, {.renderMode = c.renderMode, .visualStyle = c.named});
        addVisualStyle(objects, 0x40, c.style, c.styleComplete);
        const dwg::Drawing drawing = objects.read();
        EXPECT_EQ(drawing.damagedObjects, 0);
        ASSERT_TRUE(drawing.activeView);
        const dwg::SavedView& view = *drawing.activeView;
        EXPECT_EQ(view.visualStyle, c.look);
        EXPECT_EQ(view.renderMode, c.renderMode);
        ASSERT_EQ(view.visualStyleProperties.has_value(), c.propertiesRead);
        if (!c.propertiesRead) continue;
        const dwg::VisualStyleProperties& p = *view.visualStyleProperties;
        EXPECT_EQ(p.handle, 0x40u);
        EXPECT_EQ(p.name, c.style.name);
        EXPECT_EQ(p.type, c.style.type);
        EXPECT_EQ(p.faceLighting, c.style.lighting);
        EXPECT_EQ(p.faceLightingQuality, c.style.quality);
        EXPECT_EQ(p.faceColorMode, c.style.colorMode);
        EXPECT_EQ(p.faceMonoColor, dwg::Color::fromIndex(8));
        EXPECT_EQ(p.faceOpacity, (c.style.modifiers & 1) ? c.style.opacity : 1);
        EXPECT_EQ(p.edgeModel, c.style.edgeModel);
        EXPECT_EQ(p.edgeStyle, c.style.edgeStyle);
    }
}

// Model space split into tiled viewports: each "*Active" record's rectangle
// of the window, the current one first. One that cannot be read, or is no
// rectangle inside the window, is taken for the whole window.
TEST(SavedView, TiledViewportsEachHaveTheirRectangle) {
    using Rectangle = std::array<double, 4>;
    struct Case {
        const char* name;
        Version version;
        std::vector<std::optional<Rectangle>> stored;
        std::vector<Rectangle> read;  // none: not tiled
    };
    const Rectangle whole{0, 0, 1, 1};
    const Case cases[] = {
        {"one viewport", Version::R2018, {Rectangle{0, 0, 1, 1}}, {}},
        {"two side by side",
         Version::R2000,
         {Rectangle{0, 0, 0.5, 1}, Rectangle{0.5, 0, 1, 1}},
         {{0, 0, 0.5, 1}, {0.5, 0, 1, 1}}},
        {"three, from R2007",
         Version::R2007,
         {Rectangle{0, 0.5, 0.5, 1}, Rectangle{0, 0, 0.5, 0.5}, Rectangle{0.5, 0, 1, 1}},
         {{0, 0.5, 0.5, 1}, {0, 0, 0.5, 0.5}, {0.5, 0, 1, 1}}},
        {"upside down, outside, cut short",
         Version::R2018,
         {Rectangle{0.5, 0.5, 0, 0}, Rectangle{-2, 0, 0.5, 1}, std::nullopt},
         {whole, whole, whole}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto objects = sectionWithStyles(c.version);
        dwg::Handle handle = 0x30;
        for (const auto& rectangle : c.stored)
            addViewport(objects, handle++, {.rectangle = rectangle});
        const dwg::Drawing drawing = objects.read();
        ASSERT_TRUE(drawing.activeView);
        ASSERT_EQ(drawing.tiledViews.size(), c.read.size());
        for (std::size_t i = 0; i < c.read.size(); ++i) {
            const dwg::SavedView& tile = drawing.tiledViews[i];
            EXPECT_EQ((Rectangle{tile.lowerLeft.x, tile.lowerLeft.y, tile.upperRight.x,
                                 tile.upperRight.y}),
                      c.read[i])
                << i;
            EXPECT_EQ(tile.height, 10) << "the view itself is read whatever its rectangle";
        }
        if (!c.read.empty()) {
            EXPECT_EQ(*drawing.activeView, drawing.tiledViews.front());
        }
    }
}

// The fields as the CAD program stores its built-in styles, and as one
// other writer stores every style (the fields of a shaded one).
TEST(VisualStyleLook, BuiltInStylesLookAsTheirNamesSay) {
    struct Case {
        const char* name;
        int type, lighting, quality, colorMode;
        double opacity;
        int edgeModel, edgeStyle;
        VisualStyle look;
    };
    const Case cases[] = {
        {"2dWireframe", 4, 0, 2, 1, 1, 1, 4, VisualStyle::Wireframe2D},
        {"2dWireframeWithShadedFields", 4, 2, 2, 0, 1, 1, 4, VisualStyle::Wireframe2D},
        {"Wireframe", 5, 0, 2, 0, 1, 1, 4, VisualStyle::Wireframe3D},
        {"3dWireframe", 5, 0, 2, 0, 1, 1, 4, VisualStyle::Wireframe3D},
        {"Hidden", 6, 1, 2, 2, 1, 2, 2, VisualStyle::Hidden},
        {"Sketchy", 24, 1, 2, 2, 1, 2, 2, VisualStyle::Sketchy},
        {"Realistic", 8, 2, 3, 0, 1, 0, 0, VisualStyle::Shaded},
        {"Shaded", 27, 2, 2, 1, 1, 0, 4, VisualStyle::Shaded},
        {"Flat", 0, 2, 1, 1, 1, 0, 0, VisualStyle::Shaded},
        {"Gouraud", 2, 2, 2, 1, 1, 0, 0, VisualStyle::Shaded},
        {"Basic", 7, 1, 0, 1, 1, 0, 4, VisualStyle::Shaded},
        {"Shaded with edges", 26, 2, 2, 1, 1, 1, 2, VisualStyle::ShadedWithEdges},
        {"FlatWithEdges", 1, 2, 1, 1, 1, 1, 0, VisualStyle::ShadedWithEdges},
        {"JitterOff", 20, 2, 2, 0, 1, 1, 4, VisualStyle::ShadedWithEdges},
        {"Conceptual", 9, 3, 2, 1, 1, 2, 2, VisualStyle::Conceptual},
        {"Shades of Gray", 23, 2, 2, 3, 1, 2, 2, VisualStyle::ShadesOfGray},
        {"X-Ray", 25, 2, 2, 1, 0.5, 1, 0, VisualStyle::XRay},
        // A style of the author's own: its fields alone.
        {"custom edges only", 10, 0, 2, 1, 1, 2, 0, VisualStyle::Wireframe3D},
        {"custom see-through hidden", 10, 1, 2, 2, 0.3, 2, 2, VisualStyle::Hidden},
        {"custom hostile lighting", 10, -7, 2, 1, 1, 1, 0, VisualStyle::Wireframe3D},
    };
    for (const Case& c : cases) {
        dwg::VisualStyleProperties style;
        style.name = c.name;
        style.type = c.type;
        style.faceLighting = c.lighting;
        style.faceLightingQuality = c.quality;
        style.faceColorMode = c.colorMode;
        style.faceOpacity = c.opacity;
        style.edgeModel = c.edgeModel;
        style.edgeStyle = c.edgeStyle;
        EXPECT_EQ(detail::visualStyleLook(style), c.look) << c.name;
    }
}

}  // namespace
