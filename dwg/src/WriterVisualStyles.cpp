// VISUALSTYLE objects (R2010+): the style each viewport is shown in, written
// with every field the CAD program stores. The drawing keeps only the fields
// that decide the look; the rest comes from the built-in style of that look,
// with the values the CAD program gives it.
#include <algorithm>
#include <array>

#include "VisualStyle.h"
#include "WriterModel.h"

namespace dwg::detail {
namespace {

// What sets the built-in styles apart, as the CAD program stores them.
struct BuiltInStyle {
    VisualStyle look;
    const char* name;
    int type;
    int faceLighting;
    int faceLightingQuality;
    int faceColorMode;
    int faceModifiers;  // 1 opacity, 2 specular
    double faceOpacity;
    int edgeModel;
    int edgeStyle;
    Color obscuredColor;
    int obscuredLinetype;
    double creaseAngle;
    int edgeModifiers;
    Color edgeColor;
    Color silhouetteColor;
    int silhouetteWidth;
    int displaySettings;
    bool planView;  // 2dWireframe, whose first R2013 switches differ
};

const Color kByBlock = [] {
    Color c;
    c.kind = Color::Kind::ByBlock;
    c.index = 0;
    return c;
}();
const Color kWhite = Color::fromIndex(7);

const std::array<BuiltInStyle, 10>& builtInStyles() {
    static const std::array<BuiltInStyle, 10> styles = {{
        {VisualStyle::Wireframe2D, "2dWireframe", 4, 0, 2, 0, 0, 0.6, 1, 4, kByBlock, 1, 1, 0,
         kByBlock, kWhite, 5, 1, true},
        {VisualStyle::Wireframe3D, "Wireframe", 5, 0, 2, 0, 0, 0.6, 1, 4, kByBlock, 1, 1, 0,
         kByBlock, kWhite, 3, 1, false},
        {VisualStyle::Hidden, "Hidden", 6, 1, 2, 2, 0, 0.6, 2, 2, kByBlock, 2, 40, 0, kByBlock,
         kWhite, 3, 1, false},
        {VisualStyle::Shaded, "Shaded", 27, 2, 2, 1, 2, 0.6, 0, 4, kByBlock, 1, 1, 8, kByBlock,
         Color::fromTrueColor(0x787878), 3, 5, false},
        {VisualStyle::ShadedWithEdges, "Shaded with edges", 26, 2, 2, 1, 2, 0.6, 1, 2, kByBlock, 2,
         1, 8, kByBlock, kWhite, 3, 5, false},
        {VisualStyle::Conceptual, "Conceptual", 9, 3, 2, 1, 0, 0.6, 2, 2, kByBlock, 1, 40, 8,
         kWhite, kWhite, 3, 1, false},
        {VisualStyle::ShadesOfGray, "Shades of Gray", 23, 2, 2, 3, 0, 0.6, 2, 2, kWhite, 1, 40, 8,
         kWhite, kWhite, 3, 1, false},
        {VisualStyle::Sketchy, "Sketchy", 24, 1, 2, 2, 0, 0.6, 2, 2, kWhite, 1, 40, 11, kWhite,
         kWhite, 6, 1, false},
        {VisualStyle::XRay, "X-Ray", 25, 2, 2, 1, 1, 0.5, 1, 0, kByBlock, 1, 1, 8, kWhite, kWhite,
         3, 13, false},
        // Realistic looks as Shaded does to our renderer; it comes after it so
        // that a look finds Shaded, and a style of its type finds it.
        {VisualStyle::Shaded, "Realistic", 8, 2, 3, 0, 2, 0.6, 0, 0, kByBlock, 1, 1, 8, kByBlock,
         kWhite, 3, 13, false},
    }};
    return styles;
}

const BuiltInStyle& builtInOf(const VisualStyleProperties& style) {
    const auto& styles = builtInStyles();
    const auto sameType = std::find_if(styles.begin(), styles.end(),
                                       [&](const BuiltInStyle& b) { return b.type == style.type; });
    if (sameType != styles.end()) return *sameType;
    const VisualStyle look = visualStyleLook(style);
    return *std::find_if(styles.begin(), styles.end(),
                         [&](const BuiltInStyle& b) { return b.look == look; });
}

}  // namespace

VisualStyleProperties viewportVisualStyle(const SavedView& view) {
    // A dictionary entry needs a name; a nameless style read is written as its look.
    if (view.visualStyleProperties && !view.visualStyleProperties->name.empty())
        return *view.visualStyleProperties;
    const auto& styles = builtInStyles();
    const BuiltInStyle& style =
        *std::find_if(styles.begin(), styles.end(),
                      [&](const BuiltInStyle& b) { return b.look == view.visualStyle; });
    VisualStyleProperties properties;
    properties.name = style.name;
    properties.type = style.type;
    properties.faceLighting = style.faceLighting;
    properties.faceLightingQuality = style.faceLightingQuality;
    properties.faceColorMode = style.faceColorMode;
    properties.faceMonoColor = Color::fromTrueColor(0xFFFFFF);
    if (style.faceModifiers & 1) properties.faceOpacity = style.faceOpacity;
    properties.edgeModel = style.edgeModel;
    properties.edgeStyle = style.edgeStyle;
    return properties;
}

void encodeVisualStyle(ObjectEncoder& object, const VisualStyleProperties& style) {
    const BuiltInStyle& base = builtInOf(style);
    BitWriter& d = object.data();
    // From R2010 each property is followed by a BS saying how it was set: 1
    // as the style has it, 0 for the two the CAD program leaves unset.
    auto set = [&](std::int16_t how = 1) { d.bitShort(how); };
    auto bitLong = [&](int value) {
        d.bitLong(value);
        set();
    };
    auto bitDouble = [&](double value, std::int16_t how = 1) {
        d.bitDouble(value);
        set(how);
    };
    auto bit = [&](bool value) {
        d.bit(value);
        set();
    };
    auto color = [&](const Color& value, std::int16_t how = 1) {
        object.color(value);
        set(how);
    };
    const bool seeThrough = style.faceOpacity < 1;
    const int faceModifiers = seeThrough ? base.faceModifiers | 1 : base.faceModifiers & ~1;

    object.text(style.name);
    d.bitLong(style.type);
    d.bitShort(2);  // lighting model version
    d.bit(false);   // not for internal use only
    bitLong(style.faceLighting);
    bitLong(style.faceLightingQuality);
    bitLong(style.faceColorMode);
    d.bitShort(static_cast<std::int16_t>(faceModifiers));
    set();
    bitDouble(seeThrough ? style.faceOpacity : base.faceOpacity);
    bitDouble(30);  // specular level
    color(style.faceMonoColor);
    bitLong(style.edgeModel);
    bitLong(style.edgeStyle);
    color(kWhite);  // intersection edges
    color(base.obscuredColor);
    bitLong(base.obscuredLinetype);
    bitLong(1);  // intersection edges' linetype
    bitDouble(base.creaseAngle);
    bitLong(base.edgeModifiers);
    color(base.edgeColor);
    bitDouble(1);  // edge opacity
    bitLong(1);    // edge width
    bitLong(6);    // overhang
    bitLong(2);    // jitter
    color(base.silhouetteColor);
    bitLong(base.silhouetteWidth);
    bitLong(0);  // halo gap
    bitLong(0);  // isolines
    bit(false);  // hide precision
    bitLong(base.displaySettings);
    bitDouble(0);  // brightness
    bitLong(0);    // shadows
    if (object.version() < Version::R2013) return;
    // Effects added in 2013, off as in the CAD program's own styles.
    const std::array<bool, 9> switches = {base.planView, true,  !base.planView, false, false,
                                          false,         false, false,          false};
    for (bool value : switches) bit(value);
    bitLong(50);
    bitDouble(0);
    bitDouble(1);
    bitLong(0);
    color(Color::fromTrueColor(0x000000));
    bitLong(50);
    bitLong(3);
    color(Color::fromTrueColor(0x0000FF));
    bit(false);
    bitLong(50);
    bitLong(50);
    bitLong(50);
    bit(false);
    bitLong(50);
    color(Color{}, 0);
    bitDouble(1, 0);
    bitLong(2);  // edge wiggle
    object.text("strokes_ogs.tif");
    set();
    bit(false);
    bitDouble(1);
    bitDouble(1);
}

}  // namespace dwg::detail
