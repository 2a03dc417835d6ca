// The conversion before writing: every block's entities walked once, each
// kind the target release cannot hold replaced by what stands for it there,
// and what was done counted for the report.
#include <dwg/Convert.h>
#include <dwg/IndexColours.h>

#include <algorithm>
#include <set>

#include "ConvertParts.h"
#include "EntityParsers.h"
#include "Text.h"

namespace dwg {
namespace {

using detail::StandIns;

// Entities the conversion may make, over the whole drawing: far above what
// any real drawing turns into, low enough to keep memory bounded.
constexpr std::size_t kMaxEntities = 20'000'000;

// The largest handle the drawing uses or refers to, so that made entities
// get handles of their own.
class HandleCeiling {
  public:
    void see(Handle handle) { highest_ = std::max(highest_, handle); }
    void see(const EntityHeader& header) {
        see(header.handle);
        see(header.owner);
        see(header.layer);
        see(header.linetype);
    }
    void see(const Entity& entity) {
        see(entity.header);
        std::visit([&](const auto& data) { seeData(data); }, entity.data);
    }
    Handle next() const { return highest_ + 1; }

  private:
    template <typename T>
    void seeData(const T&) {}
    void seeData(const Text& text) { see(text.style); }
    void seeData(const MText& text) { see(text.style); }
    void seeData(const Insert& insert) {
        see(insert.block);
        for (const AttributeEntity& attribute : insert.attributes) {
            see(attribute.header);
            see(attribute.text.style);
        }
    }
    void seeData(const Dimension& dimension) {
        see(dimension.block);
        see(dimension.dimStyle);
    }
    void seeData(const Leader& leader) {
        see(leader.annotation);
        see(leader.dimStyle);
    }
    void seeData(const MultiLeader& leader) {
        see(leader.style);
        for (const MLeaderRoot& root : leader.roots)
            for (const MLeaderLine& line : root.lines) {
                see(line.linetype);
                see(line.arrowBlock);
            }
        if (leader.text) see(leader.text->style);
        if (leader.block) {
            see(leader.block->block);
            for (const auto& [definition, value] : leader.block->attributes) see(definition);
        }
    }
    void seeData(const MLine& line) {
        see(line.style);
        for (const MLineElement& element : line.elements) see(element.linetype);
    }
    void seeData(const RasterImage& image) { see(image.imageDefinition); }
    void seeData(const Tolerance& tolerance) { see(tolerance.dimStyle); }

    Handle highest_ = 0;
};

Handle firstFreeHandle(const Drawing& drawing) {
    HandleCeiling ceiling;
    const HeaderVariables& h = drawing.header;
    for (Handle handle : {h.currentLayer, h.blockControl, h.layerControl, h.styleControl,
                          h.linetypeControl, h.viewControl, h.ucsControl, h.vportControl,
                          h.appIdControl, h.dimStyleControl, h.modelSpaceBlock, h.paperSpaceBlock,
                          h.linetypeByLayer, h.linetypeByBlock, h.linetypeContinuous})
        ceiling.see(handle);
    for (const Layer& layer : drawing.layers) {
        ceiling.see(layer.handle);
        ceiling.see(layer.linetype);
    }
    for (const Linetype& linetype : drawing.linetypes) ceiling.see(linetype.handle);
    for (const TextStyle& style : drawing.textStyles) ceiling.see(style.handle);
    if (drawing.activeView && drawing.activeView->visualStyleProperties)
        ceiling.see(drawing.activeView->visualStyleProperties->handle);
    for (const SavedView& view : drawing.tiledViews)
        if (view.visualStyleProperties) ceiling.see(view.visualStyleProperties->handle);
    for (const Block& block : drawing.blocks) {
        ceiling.see(block.handle);
        for (const Entity& entity : block.entities) ceiling.see(entity);
    }
    return ceiling.next();
}

std::map<std::string, int> recordsOf(std::vector<Entity> entities) {
    Block block;
    block.entities = std::move(entities);
    return countEntityTypes(block);
}

bool isMadeSurface(const std::string& typeName) {
    return typeName == "EXTRUDEDSURFACE" || typeName == "LOFTEDSURFACE" ||
           typeName == "SWEPTSURFACE";
}

class Converter {
  public:
    Converter(const Drawing& source, Version target, const ConvertOptions& options)
        : target_(target), options_(options), next_(firstFreeHandle(source)), result_{source, {}} {}

    Converted run() {
        Drawing& drawing = result_.drawing;
        for (Layer& layer : drawing.layers) indexColour(layer.color);
        for (DimensionStyle& style : drawing.dimensionStyles)
            for (Color* colour : {&style.lineColor, &style.extensionColor, &style.textColor})
                indexColour(*colour);
        if (target_ < Version::R2007) {
            // Older versions have no visual styles; the render mode stands in.
            if (drawing.activeView) drawing.activeView->visualStyleProperties.reset();
            for (SavedView& view : drawing.tiledViews) view.visualStyleProperties.reset();
        }
        for (Block& block : drawing.blocks) convertBlock(block);
        finishReport();
        return std::move(result_);
    }

  private:
    struct Tally {
        int count = 0;
        std::set<std::string> becomes;
    };

    void convertBlock(Block& block) {
        std::vector<Entity> kept;
        kept.reserve(block.entities.size());
        for (Entity& entity : block.entities) {
            std::optional<std::vector<Entity>> replacement = convertEntity(entity);
            if (!replacement) {
                kept.push_back(std::move(entity));
                continue;
            }
            made_ += replacement->size();
            if (made_ > kMaxEntities)
                throw ConvertError("o desenho é grande demais para ser convertido");
            for (Entity& made : *replacement) {
                // Parts take colours of their own (a proxy's primitives, an attribute's
                // definition).
                indexColours(made);
                kept.push_back(std::move(made));
            }
        }
        block.entities = std::move(kept);
    }

    // What stands for `entity`, when it cannot stay as it is; nullopt when it
    // stays (its colours and data perhaps changed in place).
    std::optional<std::vector<Entity>> convertEntity(Entity& entity) {
        indexColours(entity);
        std::optional<std::vector<Entity>> made;
        if (std::holds_alternative<Unsupported>(entity.data)) {
            made.emplace();
        } else if (const auto* graphics = std::get_if<ProxyGraphics>(&entity.data)) {
            made = detail::explodeProxyGraphics(entity, *graphics, standardStyle(), next_);
        } else if (const auto* mesh = std::get_if<SubdivisionMesh>(&entity.data);
                   mesh && target_ < Version::R2010) {
            made = detail::polyfaceMeshes(entity, *mesh, next_);
        } else if (const auto* leader = std::get_if<MultiLeader>(&entity.data);
                   leader && (target_ < Version::R2007 || options_.multiLeadersAsParts)) {
            made = detail::explodeMultiLeader(entity, *leader, result_.drawing, options_, next_);
        } else if (auto* helix = std::get_if<Helix>(&entity.data);
                   helix && target_ < Version::R2007) {
            return replaceInPlace(entity, "SPLINE", Spline(std::move(helix->spline)));
        } else if (auto* acis = std::get_if<AcisData>(&entity.data)) {
            return convertAcis(entity, *acis);
        } else if (auto* hatch = std::get_if<Hatch>(&entity.data);
                   hatch && hatch->gradientColor && target_ < Version::R2004) {
            solidInsteadOfGradient(entity, *hatch);
            return std::nullopt;
        } else {
            return std::nullopt;
        }
        note(entity, *made);
        return made;
    }

    // The text style of texts made from proxy graphics, which name none.
    Handle standardStyle() const {
        const std::vector<TextStyle>& styles = result_.drawing.textStyles;
        for (const TextStyle& style : styles)
            if (detail::asciiUpper(style.name) == "STANDARD") return style.handle;
        return styles.empty() ? 0 : styles.front().handle;
    }

    // One entity that keeps its handle and place under another type name.
    std::optional<std::vector<Entity>> replaceInPlace(Entity& entity, std::string typeName,
                                                      EntityData data) {
        Entity replaced{std::move(typeName), entity.header, std::move(data)};
        std::vector<Entity> made;
        made.push_back(std::move(replaced));
        note(entity, made);
        return made;
    }

    std::optional<std::vector<Entity>> convertAcis(Entity& entity, AcisData& acis) {
        const bool surface = detail::isSurfaceClass(entity.typeName);
        try {
            if (!acis.bytes.empty()) acis.bytes = detail::acisForVersion(acis.bytes, target_);
        } catch (const ConvertError&) {
            std::vector<Entity> none;
            note(entity, none);
            return none;
        }
        // Releases before 2007 know no surface entities: the sheet goes in a
        // BODY, the entity that has always held any kind of model.
        if (surface && target_ < Version::R2007)
            return replaceInPlace(entity, "BODY", std::move(acis));
        // An extruded, lofted or swept surface keeps how it was made beside
        // its model, in a form we do not write; a plain SURFACE of the same
        // model keeps its shape.
        if (isMadeSurface(entity.typeName))
            return replaceInPlace(entity, "SURFACE", std::move(acis));
        return std::nullopt;
    }

    void solidInsteadOfGradient(Entity& entity, Hatch& hatch) {
        Color colour = *hatch.gradientColor;
        indexColour(colour);
        entity.header.color = colour;
        hatch.gradientColor.reset();
        hatch.solid = true;
        hatch.patternName = "SOLID";
        hatch.patternLines.clear();
        Tally& tally = converted_["HATCH (degradê)"];
        ++tally.count;
        tally.becomes.insert("HATCH (sólido)");
    }

    // R2000 keeps colour indices only.
    void indexColour(Color& colour) {
        if (target_ >= Version::R2004 || colour.kind != Color::Kind::True) return;
        colour = Color::fromIndex(nearestIndexColour(colour.rgb));
        ++result_.report.trueColours;
    }

    void indexColours(Entity& entity) {
        indexColour(entity.header.color);
        if (auto* insert = std::get_if<Insert>(&entity.data)) {
            for (AttributeEntity& attribute : insert->attributes)
                indexColour(attribute.header.color);
        } else if (auto* line = std::get_if<MLine>(&entity.data)) {
            for (MLineElement& element : line->elements) indexColour(element.color);
            indexColour(line->fillColor);
        } else if (auto* leader = std::get_if<MultiLeader>(&entity.data)) {
            for (MLeaderRoot& root : leader->roots)
                for (MLeaderLine& leaderLine : root.lines) indexColour(leaderLine.color);
            indexColour(leader->textColor);
            if (leader->block) indexColour(leader->block->color);
        }
    }

    void note(const Entity& original, const std::vector<Entity>& made) {
        Tally& tally = made.empty() ? leftOut_[original.typeName] : converted_[original.typeName];
        ++tally.count;
        for (const Entity& entity : made) tally.becomes.insert(entity.typeName);
        for (const auto& [type, count] : recordsOf({original}))
            result_.report.removed[type] += count;
        for (const auto& [type, count] : recordsOf(made)) result_.report.added[type] += count;
    }

    void finishReport() {
        auto list = [](const std::map<std::string, Tally>& tallies) {
            std::vector<ConversionReport::Kind> kinds;
            for (const auto& [name, tally] : tallies) {
                std::string becomes;
                for (const std::string& type : tally.becomes)
                    becomes += (becomes.empty() ? "" : ", ") + type;
                kinds.push_back({name, tally.count, becomes});
            }
            return kinds;
        };
        result_.report.converted = list(converted_);
        result_.report.leftOut = list(leftOut_);
        // Kinds both taken out and put back in (a HELIX's SPLINE in a block
        // of SPLINEs) are counted both ways; what cancels out is dropped.
        for (auto it = result_.report.removed.begin(); it != result_.report.removed.end();) {
            auto added = result_.report.added.find(it->first);
            if (added == result_.report.added.end()) {
                ++it;
                continue;
            }
            const int common = std::min(it->second, added->second);
            it->second -= common;
            added->second -= common;
            if (added->second == 0) result_.report.added.erase(added);
            it = it->second == 0 ? result_.report.removed.erase(it) : std::next(it);
        }
    }

    Version target_;
    const ConvertOptions& options_;
    Handle next_;
    Converted result_;
    std::size_t made_ = 0;
    std::map<std::string, Tally> converted_;
    std::map<std::string, Tally> leftOut_;
};

}  // namespace

Converted convertForVersion(const Drawing& drawing, Version target, const ConvertOptions& options) {
    if (target < Version::R2000)
        throw ConvertError(
            "não é possível converter o desenho para versões anteriores ao "
            "AutoCAD 2000");
    return Converter(drawing, target, options).run();
}

}  // namespace dwg
