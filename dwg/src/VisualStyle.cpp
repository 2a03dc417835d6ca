#include "VisualStyle.h"

#include <cmath>

namespace dwg::detail {
namespace {

// Built-in styles that the face and edge fields alone do not set apart.
constexpr int kTypeWireframe2D = 4;
constexpr int kTypeSketchy = 24;

constexpr int kFaceModifierOpacity = 1;
constexpr int kFaceColorBackground = 2;
constexpr int kFaceColorMono = 3;
constexpr int kFaceLightingGooch = 3;

}  // namespace

VisualStyleProperties parseVisualStyle(Streams& streams, const FileContext& file, Handle own) {
    BitReader& d = streams.data();
    VisualStyleProperties style;
    style.handle = own;
    style.name = streams.text(file);
    style.type = d.bitLong();
    // From R2010 each property is followed by a BS of its own, which says
    // nothing about the look.
    const bool tagged = file.version >= Version::R2010;
    auto property = [&](auto read) {
        const auto value = read();
        if (tagged) d.bitShort();
        return value;
    };
    const auto bitLong = [&] { return d.bitLong(); };
    const auto bitDouble = [&] { return d.bitDouble(); };
    int faceModifiers = 0;
    double opacity = 1;
    if (tagged) {
        d.bitShort();  // lighting model version
        d.bit();       // internal use only
        style.faceLighting = property(bitLong);
        style.faceLightingQuality = property(bitLong);
        style.faceColorMode = property(bitLong);
        faceModifiers = property([&] { return static_cast<int>(d.bitShort()); });
        opacity = property(bitDouble);
        property(bitDouble);  // specular level
        style.faceMonoColor = property([&] { return d.color(file.version, streams.strings()); });
    } else {
        style.faceLighting = d.bitLong();
        style.faceLightingQuality = d.bitLong();
        style.faceColorMode = d.bitLong();
        opacity = d.bitDouble();
        d.bitDouble();  // specular level
        style.faceMonoColor = d.color(file.version, streams.strings());
        faceModifiers = d.bitLong();
    }
    style.edgeModel = property(bitLong);
    style.edgeStyle = property(bitLong);
    // Older files keep the opacity's sign as a second switch; its modifier bit decides.
    if ((faceModifiers & kFaceModifierOpacity) && std::isfinite(opacity))
        style.faceOpacity = std::fmin(std::fabs(opacity), 1.0);
    return style;
}

VisualStyle visualStyleLook(const VisualStyleProperties& style) {
    // The plan view is drawn as such whatever the fields say: some writers give
    // every style they store the fields of a shaded one.
    if (style.type == kTypeWireframe2D) return VisualStyle::Wireframe2D;
    if (style.faceLighting <= 0) return VisualStyle::Wireframe3D;
    // Faces in the background colour hide what lies behind them and show nothing of their own.
    if (style.faceColorMode == kFaceColorBackground)
        return style.type == kTypeSketchy ? VisualStyle::Sketchy : VisualStyle::Hidden;
    if (style.faceOpacity < 1) return VisualStyle::XRay;
    if (style.faceLighting == kFaceLightingGooch) return VisualStyle::Conceptual;
    if (style.faceColorMode == kFaceColorMono) return VisualStyle::ShadesOfGray;
    return style.edgeModel == 0 ? VisualStyle::Shaded : VisualStyle::ShadedWithEdges;
}

VisualStyle renderModeLook(int renderMode) {
    switch (renderMode) {
        case 1:
            return VisualStyle::Wireframe3D;
        case 2:
            return VisualStyle::Hidden;
        case 3:
        case 4:
            return VisualStyle::Shaded;
        case 5:
        case 6:
            return VisualStyle::ShadedWithEdges;
        default:
            return VisualStyle::Wireframe2D;
    }
}

}  // namespace dwg::detail
