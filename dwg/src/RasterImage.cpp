// IMAGE and WIPEOUT: the raster's placement, display settings and clip boundary.
#include "FieldReader.h"
#include "MoreEntityParsers.h"

namespace dwg::detail {

void parseRasterImage(EntityParseContext& context, bool wipeout) {
    FieldReader f(context.streams, context.file, context.record.entity.header.handle);
    BitReader& d = f.data();
    RasterImage image;
    image.wipeout = wipeout;
    d.bitLong();  // class version
    image.insertion = d.bitPoint3();
    image.u = d.bitPoint3();
    image.v = d.bitPoint3();
    image.size = d.rawPoint2();
    image.displayFlags = d.bitShort();
    image.clipping = d.bit();
    image.brightness = d.rawChar();
    image.contrast = d.rawChar();
    image.fade = d.rawChar();
    if (f.version() >= Version::R2010) image.clipInverted = d.bit();
    const int boundaryType = d.bitShort();
    if (boundaryType == 1) {
        const Point2 a = d.rawPoint2();
        const Point2 b = d.rawPoint2();
        image.clipBoundary = {a, {b.x, a.y}, b, {a.x, b.y}};
    } else {
        const std::size_t count = f.count("vértices de recorte", kBitsRawPoint2);
        image.clipBoundary.reserve(count);
        for (std::size_t i = 0; i < count; ++i) image.clipBoundary.push_back(d.rawPoint2());
    }
    image.imageDefinition = f.handle();
    context.record.entity.data = std::move(image);
}

}  // namespace dwg::detail

namespace dwg {

std::vector<Point3> rasterOutline(const RasterImage& image) {
    // Pixel coordinates run right and down from the top-left pixel's centre.
    auto toWorld = [&](double x, double y) {
        const double along = x + 0.5;
        const double up = image.size.y - 0.5 - y;
        return Point3{image.insertion.x + image.u.x * along + image.v.x * up,
                      image.insertion.y + image.u.y * along + image.v.y * up,
                      image.insertion.z + image.u.z * along + image.v.z * up};
    };
    std::vector<Point3> outline;
    if (image.clipping && image.clipBoundary.size() >= 3) {
        for (const Point2& p : image.clipBoundary) outline.push_back(toWorld(p.x, p.y));
    } else {
        const double right = image.size.x - 0.5;
        const double bottom = image.size.y - 0.5;
        outline = {toWorld(-0.5, bottom), toWorld(right, bottom), toWorld(right, -0.5),
                   toWorld(-0.5, -0.5)};
    }
    return outline;
}

}  // namespace dwg
