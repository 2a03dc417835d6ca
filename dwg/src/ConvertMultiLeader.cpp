// MULTILEADER for releases before 2007, which know none: its leader lines,
// arrowheads, landings, text and block content, each as the entity that
// draws it the same way.
#include <algorithm>
#include <cmath>

#include "ConvertParts.h"
#include "Vector3.h"

namespace dwg::detail {
namespace {

const Entity* findEntity(const Block& block, Handle handle) {
    for (const Entity& entity : block.entities)
        if (entity.header.handle == handle) return &entity;
    return nullptr;
}

// An INSERT that places `block` as `placement` does (block coordinates from
// its base point to world): the placement's axes give the extrusion,
// rotation and scales.
Insert insertFor(const Block& block, const Affine& placement) {
    const Point3 x = placement.column(0), y = placement.column(1), z = placement.column(2);
    Insert insert;
    insert.block = block.handle;
    Point3 normal = unit(cross(x, y), unit(z));
    const OcsAxes axes(normal);
    const Point3 xInPlane = axes.fromWorld(x);
    insert.extrusion = normal;
    insert.rotation = std::atan2(xInPlane.y, xInPlane.x);
    insert.scale = {length(x), length(y), dot(z, normal) < 0 ? -length(z) : length(z)};
    insert.insertion = axes.fromWorld(placement.apply(block.basePoint));
    return insert;
}

// A block's attribute definition shown with `value`, placed in world
// coordinates as `placement` (block to world) puts it.
Text placedAttribute(const Text& definition, const std::string& value, const Affine& placement) {
    const OcsAxes from(definition.extrusion);
    const Point3 along =
        from.toWorld({std::cos(definition.rotation), std::sin(definition.rotation), 0});
    const Point3 up =
        from.toWorld({-std::sin(definition.rotation), std::cos(definition.rotation), 0});
    const Point3 placedAlong = placement.applyLinear(along);
    const Point3 placedUp = placement.applyLinear(up);
    const Point3 normal = unit(cross(placedAlong, placedUp), definition.extrusion);
    const OcsAxes to(normal);
    auto place = [&](const Point2& p) {
        return to.fromWorld(placement.apply(from.toWorld({p.x, p.y, definition.elevation})));
    };
    Text shown = definition;
    shown.kind = Text::Kind::Attribute;
    shown.text = value;
    shown.extrusion = normal;
    const Point3 insertion = place(definition.insertion);
    const Point3 alignment = place(definition.alignment);
    shown.insertion = {insertion.x, insertion.y};
    shown.alignment = {alignment.x, alignment.y};
    shown.elevation = insertion.z;
    const double heightScale = length(placedUp);
    shown.height = definition.height * heightScale;
    if (heightScale > 0)
        shown.widthFactor = definition.widthFactor * length(placedAlong) / heightScale;
    const Point3 direction = to.fromWorld(placedAlong);
    shown.rotation = std::atan2(direction.y, direction.x);
    return shown;
}

// Where an MTEXT's lines go, when nothing can lay it out: characters about
// 0.8 of the height wide, lines 5/3 of the height apart.
std::pair<Point2, Point2> estimatedBox(const MText& text) {
    constexpr double kCharacterWidth = 0.8;
    constexpr double kLinePitch = 5.0 / 3.0;
    std::size_t lines = 1, longest = 0, current = 0;
    for (std::size_t i = 0; i < text.text.size(); ++i) {
        if (text.text.compare(i, 2, "\\P") == 0) {
            ++lines;
            longest = std::max(longest, current);
            current = 0;
            ++i;
        } else if ((static_cast<unsigned char>(text.text[i]) & 0xC0) != 0x80) {
            ++current;  // one per character, not per byte of UTF-8
        }
    }
    longest = std::max(longest, current);
    const double width = text.rectangleWidth > 0
                             ? text.rectangleWidth
                             : kCharacterWidth * text.height * static_cast<double>(longest);
    const double height = text.height * (1 + kLinePitch * static_cast<double>(lines - 1));
    // Attachment 1 to 9: top, middle, bottom rows; left, centre, right columns.
    const int column = (text.attachment - 1) % 3, row = (text.attachment - 1) / 3;
    const double left = text.insertion.x - width * column / 2.0;
    const double top = text.insertion.y + height * row / 2.0;
    return {{left, top - height}, {left + width, top}};
}

class Exploder {
  public:
    Exploder(const Entity& leader, const MultiLeader& data, const Drawing& drawing,
             const ConvertOptions& options, Handle& next)
        : data_(data), drawing_(drawing), options_(options), made_(leader, next) {}

    std::vector<Entity> run() {
        for (const MLeaderRoot& root : data_.roots) {
            for (const MLeaderLine& line : root.lines) leaderLine(root, line);
            if (data_.landing && root.landingDistance > 0 && std::isfinite(root.landingDistance))
                made_.add("LINE", Line{root.connection,
                                       root.connection + root.direction * root.landingDistance});
        }
        if (data_.text) {
            made_.add("MTEXT", *data_.text, data_.textColor);
            if (data_.textFrame) textFrame(*data_.text);
        }
        if (data_.block) blockContent(*data_.block);
        return made_.take();
    }

  private:
    void leaderLine(const MLeaderRoot& root, const MLeaderLine& line) {
        if (line.leaderType == 0 || line.points.empty()) return;
        std::vector<Point3> points = line.points;
        points.push_back(root.connection);
        const std::size_t first = made_.count();
        if (line.leaderType == 2 && points.size() > 2) {
            Spline spline;
            spline.fitPoints = points;
            made_.add("SPLINE", std::move(spline), line.color);
        } else {
            made_.polyline(points, false, line.color);
        }
        if (points.size() >= 2) arrowhead(points[0], points[1], line);
        lookOfLine(first, line);
    }

    // The leader's own linetype and lineweight stand where the line says ByBlock.
    void lookOfLine(std::size_t first, const MLeaderLine& line) {
        for (std::size_t i = first; i < made_.count(); ++i) {
            EntityHeader& header = made_[i].header;
            if (line.linetype == 0 || line.linetype == drawing_.header.linetypeByLayer) {
                header.linetypeRef = EntityHeader::LinetypeRef::ByLayer;
            } else if (line.linetype != drawing_.header.linetypeByBlock) {
                header.linetypeRef = EntityHeader::LinetypeRef::Explicit;
                header.linetype = line.linetype;
            }
            if (line.lineweight != -2) header.lineweight = line.lineweight;
        }
    }

    void arrowhead(const Point3& tip, const Point3& from, const MLeaderLine& line) {
        const double size = line.arrowSize;
        const Point3 leg = from - tip;
        const double legLength = length(leg);
        if (!(legLength > 0) || !(size > 0) || !std::isfinite(size)) return;
        if (const Block* arrow = line.arrowBlock ? drawing_.findBlock(line.arrowBlock) : nullptr) {
            // Arrow blocks are drawn a unit long, pointing along +x.
            Insert insert;
            insert.block = arrow->handle;
            insert.insertion = tip;
            insert.rotation = std::atan2(-leg.y, -leg.x);
            insert.scale = {size, size, size};
            made_.add("INSERT", std::move(insert), line.color);
            return;
        }
        // The standard closed filled arrow, three times as long as it is wide.
        const Point3 along = leg * (1 / legLength);
        const Point3 across{-along.y, along.x, 0};
        const double acrossLength = length(across);
        if (!(acrossLength > 1e-12)) return;
        const Point3 side = across * (size / 6 / acrossLength);
        const Point3 back = tip + along * size;
        made_.fill({tip, back + side, back - side}, line.color);
    }

    // A rectangle round what the text draws, `landingGap` away from it.
    void textFrame(const MText& text) {
        std::optional<std::pair<Point2, Point2>> box;
        if (options_.measureText) box = options_.measureText(text);
        if (!box) box = estimatedBox(text);
        const double gap = std::max(data_.landingGap, 0.0);
        const auto [low, high] = *box;
        if (!(high.x >= low.x && high.y >= low.y)) return;
        const double z = text.insertion.z;
        made_.polyline({{low.x - gap, low.y - gap, z},
                        {high.x + gap, low.y - gap, z},
                        {high.x + gap, high.y + gap, z},
                        {low.x - gap, high.y + gap, z}},
                       true, data_.textColor);
    }

    void blockContent(const MLeaderBlockContent& content) {
        const Block* block = drawing_.findBlock(content.block);
        if (!block) return;
        const Affine placement =
            Affine::fromMatrix(content.transform) * Affine::translation(block->basePoint * -1);
        Insert insert = insertFor(*block, placement);
        for (const auto& [definitionHandle, value] : content.attributes) {
            const Entity* definition = findEntity(*block, definitionHandle);
            const auto* text = definition ? std::get_if<Text>(&definition->data) : nullptr;
            if (!text || text->kind != Text::Kind::AttributeDefinition) continue;
            AttributeEntity attribute;
            attribute.header = definition->header;
            attribute.header.owner = 0;
            attribute.header.proxyGraphics.clear();
            attribute.text = placedAttribute(*text, value, placement);
            insert.attributes.push_back(std::move(attribute));
        }
        Entity& made = made_.add("INSERT", std::move(insert), content.color);
        for (AttributeEntity& attribute : std::get<Insert>(made.data).attributes) {
            attribute.header.handle = made_.takeHandle();
            attribute.header.owner = made.header.handle;
        }
    }

    const MultiLeader& data_;
    const Drawing& drawing_;
    const ConvertOptions& options_;
    StandIns made_;
};

}  // namespace

std::vector<Entity> explodeMultiLeader(const Entity& leader, const MultiLeader& data,
                                       const Drawing& drawing, const ConvertOptions& options,
                                       Handle& nextHandle) {
    return Exploder(leader, data, drawing, options, nextHandle).run();
}

}  // namespace dwg::detail
