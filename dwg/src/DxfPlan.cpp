// Resolving a drawing before its DXF is written: the standard entries it
// lacks are added, names are checked, every object gets its handle.
#include <algorithm>
#include <cctype>
#include <set>

#include "DxfPlan.h"
#include "Text.h"

namespace dwg::detail {

void failDxf(const std::string& message) {
    throw WriteError("não é possível gravar o DXF: " + message);
}

namespace {

bool sameName(std::string_view a, std::string_view b) { return asciiUpper(a) == asciiUpper(b); }

// Names of one table, unique without regard to letter case.
class NameSet {
  public:
    explicit NameSet(const char* table) : table_(table) {}
    void add(const std::string& name) {
        if (name.empty()) failDxf(std::string("nome vazio na tabela de ") + table_);
        if (!names_.insert(asciiUpper(name)).second)
            failDxf(std::string("nome repetido na tabela de ") + table_ + ": " + name);
    }

  private:
    const char* table_;
    std::set<std::string> names_;
};

bool isSurfaceType(std::string_view type) {
    static const char* const kNames[] = {"SURFACE",         "PLANESURFACE",   "EXTRUDEDSURFACE",
                                         "LOFTEDSURFACE",   "REVOLVEDSURFACE", "SWEPTSURFACE",
                                         "NURBSURFACE"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [&](const char* name) { return type == name; });
}

std::string_view acisType(const Entity& entity, Version version) {
    const std::string& type = entity.typeName;
    if (type != "3DSOLID" && type != "REGION" && type != "BODY" && !isSurfaceType(type))
        failDxf("dados ACIS em entidade " + type);
    const auto& data = std::get<AcisData>(entity.data);
    if (!data.bytes.empty()) {
        if (version == Version::R2000 && isSab(data))
            failDxf(type + " com dados ACIS binários (SAB), que o DXF 2000 não guarda");
        if (version == Version::R2018 && !isSab(data))
            failDxf(type + " com dados ACIS em texto (SAT), que o DXF 2018 não guarda");
    }
    return type;
}

class Planner {
  public:
    Planner(const Drawing& drawing, Version version) : drawing_(drawing) {
        plan_.version = version;
        plan_.r2018 = version == Version::R2018;
    }
    DxfPlan run();

  private:
    Handle take() { return plan_.take(); }
    void planTables();
    void planLinetypes();
    void planLayers();
    void planStyles();
    void planBlocks();
    void planEntities();
    void checkReferenceCycles() const;

    const Drawing& drawing_;
    DxfPlan plan_;
};

void Planner::planTables() {
    for (Handle* table : {&plan_.vportTable, &plan_.linetypeTable, &plan_.layerTable,
                          &plan_.styleTable, &plan_.viewTable, &plan_.ucsTable, &plan_.appIdTable,
                          &plan_.dimStyleTable, &plan_.blockRecordTable,
                          &plan_.appIdAcad, &plan_.dimStyleStandard, &plan_.namedObjects,
                          &plan_.groups, &plan_.layouts, &plan_.mlineStyles, &plan_.plotStyleNames,
                          &plan_.plotStyleNormal})
        *table = take();
    for (std::size_t i = 0; i < std::max<std::size_t>(drawing_.tiledViews.size(), 1); ++i)
        plan_.viewports.push_back(take());
    if (plan_.r2018) {
        plan_.mleaderStyles = take();
        plan_.mleaderStyleStandard = take();
    }
}

void Planner::planLinetypes() {
    const char* const fixed[][2] = {
        {"ByBlock", ""}, {"ByLayer", ""}, {"Continuous", "Solid line"}};
    NameSet names("tipos de linha");
    std::vector<bool> taken(drawing_.linetypes.size(), false);
    for (const auto& [name, description] : fixed) {
        Linetype linetype;
        linetype.name = name;
        linetype.description = description;
        for (std::size_t i = 0; i < drawing_.linetypes.size(); ++i)
            if (!taken[i] && sameName(drawing_.linetypes[i].name, name)) {
                linetype = drawing_.linetypes[i];
                linetype.dashes.clear();  // the fixed linetypes draw no pattern
                linetype.patternLength = 0;
                plan_.linetypeIndex.try_emplace(linetype.handle, plan_.linetypes.size());
                taken[i] = true;
                break;
            }
        names.add(linetype.name);
        plan_.linetypes.emplace_back(take(), linetype);
    }
    for (std::size_t i = 0; i < drawing_.linetypes.size(); ++i) {
        if (taken[i]) continue;
        names.add(drawing_.linetypes[i].name);
        plan_.linetypeIndex.try_emplace(drawing_.linetypes[i].handle, plan_.linetypes.size());
        plan_.linetypes.emplace_back(take(), drawing_.linetypes[i]);
    }
}

void Planner::planLayers() {
    NameSet names("camadas");
    const auto zero = std::find_if(drawing_.layers.begin(), drawing_.layers.end(),
                                   [](const Layer& layer) { return layer.name == "0"; });
    Layer layerZero;
    layerZero.name = "0";
    layerZero.color = Color::fromIndex(7);
    if (zero != drawing_.layers.end()) {
        layerZero = *zero;
        plan_.layerIndex.try_emplace(zero->handle, 0);
    }
    names.add(layerZero.name);
    plan_.layers.emplace_back(take(), layerZero);
    for (const Layer& layer : drawing_.layers) {
        if (zero != drawing_.layers.end() && &layer == &*zero) continue;
        names.add(layer.name);
        plan_.layerIndex.try_emplace(layer.handle, plan_.layers.size());
        plan_.layers.emplace_back(take(), layer);
    }
}

void Planner::planStyles() {
    NameSet names("estilos de texto");
    const auto standard = std::find_if(
        drawing_.textStyles.begin(), drawing_.textStyles.end(),
        [](const TextStyle& style) { return sameName(style.name, "Standard"); });
    TextStyle first;
    first.name = "Standard";
    first.fontFile = "txt";
    if (standard != drawing_.textStyles.end()) {
        first = *standard;
        plan_.styleIndex.try_emplace(standard->handle, 0);
    }
    names.add(first.name);
    plan_.textStyles.emplace_back(take(), first);
    for (const TextStyle& style : drawing_.textStyles) {
        if (standard != drawing_.textStyles.end() && &style == &*standard) continue;
        // Shape files and unnamed styles (those of shapes, and of dimension
        // styles' arrows) are not for text; they stay apart with their names.
        if (style.name.empty()) continue;
        names.add(style.name);
        plan_.styleIndex.try_emplace(style.handle, plan_.textStyles.size());
        plan_.textStyles.emplace_back(take(), style);
    }
}

void Planner::planBlocks() {
    const Block* model = nullptr;
    const Block* activePaper = nullptr;
    std::vector<const Block*> otherPapers, others;
    for (const Block& block : drawing_.blocks) {
        if (block.modelSpace && !model)
            model = &block;
        else if (block.paperSpace && !activePaper && sameName(block.name, "*Paper_Space"))
            activePaper = &block;
        else if (block.paperSpace)
            otherPapers.push_back(&block);
        else
            others.push_back(&block);
    }
    if (!activePaper && !otherPapers.empty()) {
        activePaper = otherPapers.front();
        otherPapers.erase(otherPapers.begin());
    }
    NameSet names("blocos");
    auto add = [&](const Block* source, std::string name, bool modelSpace, bool paperSpace) {
        DxfBlock block;
        block.source = source;
        block.name = std::move(name);
        block.modelSpace = modelSpace;
        block.paperSpace = paperSpace;
        block.record = take();
        block.begin = take();
        block.end = take();
        if (modelSpace || paperSpace) block.layout = take();
        names.add(block.name);
        if (source) plan_.blockIndex.try_emplace(source->handle, plan_.blocks.size());
        plan_.blocks.push_back(std::move(block));
    };
    add(model, "*Model_Space", true, false);
    plan_.blocks.back().layoutName = "Model";
    add(activePaper, "*Paper_Space", false, true);
    plan_.blocks.back().activePaperSpace = true;
    plan_.blocks.back().layoutName = "Layout1";
    plan_.blocks.back().tabOrder = 1;
    int layoutNumber = 1;
    for (const Block* paper : otherPapers) {
        ++layoutNumber;
        add(paper, "*Paper_Space" + std::to_string(layoutNumber - 2), false, true);
        plan_.blocks.back().layoutName = "Layout" + std::to_string(layoutNumber);
        plan_.blocks.back().tabOrder = layoutNumber;
    }
    // Anonymous blocks (*D of dimensions, *U of dynamic blocks, *T of tables...)
    // are stored as the letter alone or numbered by whoever wrote them; the
    // file numbers them anew, as AutoCAD does on loading.
    int anonymous = 0;
    for (const Block* block : others) {
        std::string name = block->name;
        if (block->anonymous || (name.size() > 1 && name[0] == '*')) {
            while (name.size() > 2 && std::isdigit(static_cast<unsigned char>(name.back())))
                name.pop_back();
            name += std::to_string(++anonymous);
        }
        add(block, name, false, false);
    }
}

void Planner::planEntities() {
    std::size_t entityCount = 0;
    for (const DxfBlock& block : plan_.blocks)
        if (block.source) entityCount += block.source->entities.size();
    plan_.entityOf.reserve(entityCount);
    std::unordered_map<Handle, std::size_t> imageDefinitionIndex;
    std::vector<std::pair<const MLine*, Handle>> mlineStyles;
    for (DxfBlock& block : plan_.blocks) {
        if (!block.source) continue;
        block.entities.reserve(block.source->entities.size());
        for (const Entity& entity : block.source->entities) {
            dxfEntityType(entity, plan_.version);  // refuses what the version cannot hold
            const Handle handle = take();
            block.entities.push_back(handle);
            if (entity.header.handle != 0) plan_.entityOf.try_emplace(entity.header.handle, handle);
            if (const auto* acis = std::get_if<AcisData>(&entity.data)) {
                if (plan_.r2018 && !acis->bytes.empty()) plan_.acisRecords.emplace_back(handle, acis);
            } else if (const auto* image = std::get_if<RasterImage>(&entity.data)) {
                if (image->wipeout) {
                    plan_.hasWipeouts = true;
                    continue;
                }
                auto [found, added] =
                    imageDefinitionIndex.try_emplace(image->imageDefinition, plan_.images.size());
                if (added) {
                    DxfImageDefinition definition{image->imageDefinition, take(), image->size, {}, {}};
                    for (const ImageDefinition& known : drawing_.imageDefinitions)
                        if (known.handle == image->imageDefinition) definition.filePath = known.filePath;
                    plan_.images.push_back(std::move(definition));
                }
                DxfImageDefinition& definition = plan_.images[found->second];
                definition.reactors.emplace_back(take(), handle);
                plan_.imageLinks[image] = {definition.handle, definition.reactors.back().first};
            } else if (const auto* mline = std::get_if<MLine>(&entity.data)) {
                // One style for each set of elements and looks the entities carry.
                auto same = std::find_if(mlineStyles.begin(), mlineStyles.end(), [&](const auto& s) {
                    const MLine& o = *s.first;
                    return o.elements == mline->elements && o.filled == mline->filled &&
                           o.fillColor == mline->fillColor && o.showMiters == mline->showMiters &&
                           o.startSquareCap == mline->startSquareCap &&
                           o.startRoundCap == mline->startRoundCap &&
                           o.startInnerArcs == mline->startInnerArcs &&
                           o.endSquareCap == mline->endSquareCap &&
                           o.endRoundCap == mline->endRoundCap &&
                           o.endInnerArcs == mline->endInnerArcs &&
                           o.startAngle == mline->startAngle && o.endAngle == mline->endAngle;
                });
                if (same == mlineStyles.end()) {
                    const Handle style = take();
                    mlineStyles.emplace_back(mline, style);
                    plan_.mlineStylesWritten.push_back(
                        {style, mlineStyles.size() == 1 ? "Standard"
                                                        : "MLINHA" + std::to_string(mlineStyles.size()),
                         mline});
                    plan_.mlineStyleOf[mline] = style;
                } else {
                    plan_.mlineStyleOf[mline] = same->second;
                }
            }
        }
    }
    // Every drawing has the standard multiline style.
    if (plan_.mlineStylesWritten.empty()) plan_.mlineStylesWritten.push_back({take(), "Standard", nullptr});
    if (!plan_.images.empty()) {
        plan_.imageDictionary = take();
        plan_.imageVariables = take();
    }
    if (plan_.hasWipeouts) plan_.wipeoutVariables = take();
}

// The blocks an entity places: an INSERT's, a DIMENSION's, a multileader's content.
Handle placedBlock(const Entity& entity) {
    if (const auto* insert = std::get_if<Insert>(&entity.data)) return insert->block;
    if (const auto* dimension = std::get_if<Dimension>(&entity.data)) return dimension->block;
    if (const auto* leader = std::get_if<MultiLeader>(&entity.data))
        return leader->block ? leader->block->block : 0;
    return 0;
}

// A block that places itself, at any depth, cannot be drawn or loaded.
// Depth-first without recursion: a hostile drawing may nest blocks deeply.
void Planner::checkReferenceCycles() const {
    enum class Mark : std::uint8_t { Unseen, Open, Done };
    std::vector<Mark> marks(plan_.blocks.size(), Mark::Unseen);
    struct Frame {
        std::size_t block;
        std::size_t entity;
    };
    for (std::size_t root = 0; root < plan_.blocks.size(); ++root) {
        if (marks[root] != Mark::Unseen) continue;
        std::vector<Frame> stack{{root, 0}};
        marks[root] = Mark::Open;
        while (!stack.empty()) {
            Frame& top = stack.back();
            const Block* source = plan_.blocks[top.block].source;
            if (!source || top.entity >= source->entities.size()) {
                marks[top.block] = Mark::Done;
                stack.pop_back();
                continue;
            }
            const auto found = plan_.blockIndex.find(placedBlock(source->entities[top.entity++]));
            if (found == plan_.blockIndex.end()) continue;
            if (marks[found->second] == Mark::Open)
                failDxf("o bloco " + plan_.blocks[found->second].name + " insere a si mesmo");
            if (marks[found->second] == Mark::Unseen) {
                marks[found->second] = Mark::Open;
                stack.push_back({found->second, 0});
            }
        }
    }
}

DxfPlan Planner::run() {
    planTables();
    planLinetypes();
    planLayers();
    planStyles();
    planBlocks();
    checkReferenceCycles();
    planEntities();
    return std::move(plan_);
}

}  // namespace

bool isSab(const AcisData& data) {
    auto startsWith = [&](std::string_view prefix) {
        return data.bytes.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), data.bytes.begin());
    };
    return startsWith("ACIS BinaryFile") || startsWith("ASM BinaryFile");
}

std::string_view dxfEntityType(const Entity& entity, Version version) {
    const bool r2000 = version == Version::R2000;
    return std::visit(
        [&](const auto& data) -> std::string_view {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, Unsupported> || std::is_same_v<T, ProxyGraphics>) {
                failDxf("a entidade " + entity.typeName + " não foi lida e não pode ser gravada");
            } else if constexpr (std::is_same_v<T, Line>) {
                return "LINE";
            } else if constexpr (std::is_same_v<T, Point>) {
                return "POINT";
            } else if constexpr (std::is_same_v<T, Circle>) {
                return "CIRCLE";
            } else if constexpr (std::is_same_v<T, Arc>) {
                return "ARC";
            } else if constexpr (std::is_same_v<T, Ellipse>) {
                return "ELLIPSE";
            } else if constexpr (std::is_same_v<T, LwPolyline>) {
                return "LWPOLYLINE";
            } else if constexpr (std::is_same_v<T, Polyline>) {
                return "POLYLINE";
            } else if constexpr (std::is_same_v<T, Spline>) {
                return "SPLINE";
            } else if constexpr (std::is_same_v<T, Text>) {
                if (data.kind == Text::Kind::Attribute)
                    failDxf("atributo (ATTRIB) fora de uma inserção de bloco");
                return data.kind == Text::Kind::Text ? "TEXT" : "ATTDEF";
            } else if constexpr (std::is_same_v<T, MText>) {
                return "MTEXT";
            } else if constexpr (std::is_same_v<T, Insert>) {
                return "INSERT";
            } else if constexpr (std::is_same_v<T, Face>) {
                return data.kind == Face::Kind::Solid   ? "SOLID"
                       : data.kind == Face::Kind::Trace ? "TRACE"
                                                        : "3DFACE";
            } else if constexpr (std::is_same_v<T, Hatch>) {
                if (r2000 && data.gradientColor)
                    failDxf("HATCH com preenchimento em degradê, que o DXF 2000 não guarda");
                return "HATCH";
            } else if constexpr (std::is_same_v<T, Dimension>) {
                return "DIMENSION";
            } else if constexpr (std::is_same_v<T, Leader>) {
                return "LEADER";
            } else if constexpr (std::is_same_v<T, ConstructionLine>) {
                return data.bothWays ? "XLINE" : "RAY";
            } else if constexpr (std::is_same_v<T, Viewport>) {
                return "VIEWPORT";
            } else if constexpr (std::is_same_v<T, MultiLeader>) {
                if (r2000) failDxf("MULTILEADER não existe no DXF 2000");
                return "MULTILEADER";
            } else if constexpr (std::is_same_v<T, MLine>) {
                return "MLINE";
            } else if constexpr (std::is_same_v<T, RasterImage>) {
                return data.wipeout ? "WIPEOUT" : "IMAGE";
            } else if constexpr (std::is_same_v<T, Helix>) {
                return "HELIX";
            } else if constexpr (std::is_same_v<T, SubdivisionMesh>) {
                if (r2000) failDxf("MESH não existe no DXF 2000");
                return "MESH";
            } else if constexpr (std::is_same_v<T, Tolerance>) {
                return "TOLERANCE";
            } else {
                static_assert(std::is_same_v<T, AcisData>);
                return acisType(entity, version);
            }
        },
        entity.data);
}

const std::string& DxfPlan::layerName(Handle modelLayer) const {
    const auto found = layerIndex.find(modelLayer);
    // An entity on a layer the drawing lost is drawn on layer 0, as AutoCAD's AUDIT does.
    return layers[found == layerIndex.end() ? 0 : found->second].second.name;
}

std::string DxfPlan::linetypeNameOf(Handle modelLinetype) const {
    const auto found = linetypeIndex.find(modelLinetype);
    return found == linetypeIndex.end() ? std::string() : linetypes[found->second].second.name;
}

std::string DxfPlan::linetypeName(const EntityHeader& header) const {
    switch (header.linetypeRef) {
        case EntityHeader::LinetypeRef::ByLayer:
            return {};
        case EntityHeader::LinetypeRef::ByBlock:
            return linetypes[0].second.name;
        case EntityHeader::LinetypeRef::Continuous:
            return linetypes[2].second.name;
        case EntityHeader::LinetypeRef::Explicit:
            break;
    }
    std::string name = linetypeNameOf(header.linetype);
    return sameName(name, "ByLayer") ? std::string() : name;
}

const std::pair<Handle, TextStyle>& DxfPlan::style(Handle modelStyle) const {
    const auto found = styleIndex.find(modelStyle);
    return textStyles[found == styleIndex.end() ? 0 : found->second];
}

const DxfBlock& DxfPlan::block(Handle modelBlock, const char* usedBy) const {
    const auto found = blockIndex.find(modelBlock);
    if (found == blockIndex.end() || blocks[found->second].paperSpace ||
        blocks[found->second].modelSpace)
        failDxf(std::string(usedBy) + " refere-se a um bloco que não existe");
    return blocks[found->second];
}

DxfPlan planDxf(const Drawing& drawing, Version version) {
    if (version != Version::R2000 && version != Version::R2018)
        failDxf("versão de DXF não suportada (apenas 2000 e 2018)");
    return Planner(drawing, version).run();
}

}  // namespace dwg::detail
