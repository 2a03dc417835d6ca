// Resolving a drawing before it is written: the standard table entries it
// lacks are added, names are checked, every object gets its file handle and
// every reference is checked to point at something that will be written.
#include <algorithm>
#include <functional>
#include <set>

#include "Text.h"
#include "WriterModel.h"

namespace dwg::detail {
namespace {

[[noreturn]] void fail(const std::string& message) {
    throw WriteError("não é possível gravar o desenho: " + message);
}

void checkColor(const Color& color, const std::string& where, Version version) {
    if (color.kind == Color::Kind::True && version < Version::R2004)
        fail(where + " usa cor RGB, que o formato AutoCAD 2000 não guarda");
    if (color.kind == Color::Kind::Index && (color.index < 1 || color.index > 255))
        fail(where + " tem índice de cor inválido");
}

// Names of one table, unique without regard to letter case.
class NameSet {
  public:
    explicit NameSet(const char* table) : table_(table) {}
    void add(const std::string& name) {
        if (name.empty()) fail(std::string("nome vazio na tabela de ") + table_);
        if (!names_.insert(asciiUpper(name)).second)
            fail(std::string("nome repetido na tabela de ") + table_ + ": " + name);
    }

  private:
    const char* table_;
    std::set<std::string> names_;
};

class Planner {
  public:
    Planner(const Drawing& drawing, Version version) : drawing_(drawing) {
        plan_.version = version;
    }
    WritePlan run();

  private:
    Handle take() { return next_++; }
    void planLinetypes();
    void planLayers();
    void planStyles();
    void planBlocks();
    void planDimensionStyles();
    void planViewsAndUcss();
    void planViewports();
    void planEntities();
    void checkEntities();
    void checkInsertCycles();
    void checkAttributes(const Insert& insert, const std::string& where);
    void checkDimensionBlock(const Dimension& dimension, const std::string& where);
    void checkMLine(const MLine& mline, const std::string& where);
    void planMlineStyle(const MLine& mline);
    void planImage(const RasterImage& image, Handle entity);
    void planClasses();
    Handle mapped(const std::unordered_map<Handle, Handle>& map, Handle handle,
                  const char* what) const;

    const Drawing& drawing_;
    WritePlan plan_;
    Handle next_ = 1;
    std::unordered_map<Handle, std::size_t> imageDefinitionIndex_;  // by the model's handle
};

bool sameMlineStyle(const MLine& a, const MLine& b) {
    return a.elements == b.elements && a.filled == b.filled && a.fillColor == b.fillColor &&
           a.showMiters == b.showMiters && a.startSquareCap == b.startSquareCap &&
           a.startRoundCap == b.startRoundCap && a.startInnerArcs == b.startInnerArcs &&
           a.endSquareCap == b.endSquareCap && a.endRoundCap == b.endRoundCap &&
           a.endInnerArcs == b.endInnerArcs && a.startAngle == b.startAngle &&
           a.endAngle == b.endAngle;
}

// The name an image definition takes in the image dictionary: its file's own
// name without folder or extension, made unique.
std::string imageEntryName(const std::string& path, const std::set<std::string>& taken) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    if (name.empty()) name = "IMAGEM";
    std::string unique = name;
    for (int i = 2; taken.count(asciiUpper(unique)); ++i) unique = name + "_" + std::to_string(i);
    return unique;
}

void Planner::planLinetypes() {
    struct Fixed {
        const char* name;
        const char* description;
        Handle* handle;
    };
    const Fixed fixed[] = {{"ByBlock", "", &plan_.linetypeByBlock},
                           {"ByLayer", "", &plan_.linetypeByLayer},
                           {"Continuous", "Solid line", &plan_.linetypeContinuous}};
    NameSet names("tipos de linha");
    for (const Fixed& f : fixed) {
        *f.handle = take();
        Linetype linetype;
        linetype.name = f.name;
        linetype.description = f.description;
        // The drawing's own entry of that name, with its spelling, when it has one.
        for (const Linetype& own : drawing_.linetypes)
            if (asciiUpper(own.name) == asciiUpper(f.name)) linetype = own;
        names.add(linetype.name);
        plan_.linetypes.emplace_back(*f.handle, linetype);
    }
    for (const Linetype& own : drawing_.linetypes) {
        const auto fixedIndex = std::find_if(
            std::begin(fixed), std::end(fixed),
            [&](const Fixed& f) { return asciiUpper(own.name) == asciiUpper(f.name); });
        if (fixedIndex != std::end(fixed)) {
            plan_.linetypeOf[own.handle] = *fixedIndex->handle;
            continue;
        }
        names.add(own.name);
        if (own.dashes.size() > 255) fail("tipo de linha com traços demais: " + own.name);
        const Handle handle = take();
        plan_.linetypeOf[own.handle] = handle;
        plan_.linetypes.emplace_back(handle, own);
    }
}

void Planner::planLayers() {
    NameSet names("camadas");
    Layer zero;
    zero.name = "0";
    zero.color = Color::fromIndex(7);
    std::vector<const Layer*> others;
    for (const Layer& own : drawing_.layers) {
        if (own.name == "0")
            zero = own;
        else
            others.push_back(&own);
    }
    auto add = [&](Layer layer) {
        names.add(layer.name);
        checkColor(layer.color, "a camada " + layer.name, plan_.version);
        if (layer.color.kind != Color::Kind::Index && layer.color.kind != Color::Kind::True)
            fail("a camada " + layer.name + " precisa de uma cor própria");
        const Handle handle = take();
        plan_.layerOf[layer.handle] = handle;
        layer.linetype = layer.linetype == 0
                             ? plan_.linetypeContinuous
                             : mapped(plan_.linetypeOf, layer.linetype, "tipo de linha da camada");
        plan_.layers.emplace_back(handle, std::move(layer));
    };
    add(zero);
    for (const Layer* layer : others) add(*layer);
    // Handle 0 in an entity means layer "0" too.
    plan_.layerOf[0] = plan_.layerZero();
}

void Planner::planStyles() {
    NameSet names("estilos de texto");
    TextStyle standard;
    standard.name = "Standard";
    standard.fontFile = "txt";
    std::vector<const TextStyle*> others;
    for (const TextStyle& own : drawing_.textStyles) {
        if (asciiUpper(own.name) == "STANDARD")
            standard = own;
        else
            others.push_back(&own);
    }
    auto add = [&](const TextStyle& style) {
        // Shape files loaded for linetypes are entries without a name.
        if (!(style.shapeFile && style.name.empty())) names.add(style.name);
        const Handle handle = take();
        plan_.styleOf[style.handle] = handle;
        plan_.textStyles.emplace_back(handle, style);
    };
    add(standard);
    for (const TextStyle* style : others) add(*style);
    plan_.styleOf[0] = plan_.standardStyle();
}

void Planner::planBlocks() {
    const Block* model = nullptr;
    std::vector<const Block*> papers;
    std::vector<const Block*> others;
    for (const Block& block : drawing_.blocks) {
        if (block.isXref) fail("referências externas não são gravadas: " + block.name);
        if (block.modelSpace) {
            if (model) fail("mais de um espaço de modelo");
            model = &block;
        } else if (block.paperSpace) {
            // The active layout's own block comes first, whatever the file's order.
            if (asciiUpper(block.name) == "*PAPER_SPACE")
                papers.insert(papers.begin(), &block);
            else
                papers.push_back(&block);
        } else {
            others.push_back(&block);
        }
    }
    // Anonymous blocks share their names (*D, *U...): readers number them.
    NameSet names("blocos");
    auto add = [&](const Block* source, Space space, std::string name) {
        PlannedBlock planned;
        planned.source = source;
        planned.space = space;
        planned.name = std::move(name);
        if (!(source && source->anonymous && planned.name.starts_with('*')))
            names.add(planned.name);
        planned.header = take();
        planned.begin = take();
        planned.end = take();
        if (space != Space::Block) planned.layout = take();
        if (source) plan_.blockOf[source->handle] = planned.header;
        plan_.blocks.push_back(std::move(planned));
    };
    add(model, Space::Model, "*Model_Space");
    plan_.blocks.back().layoutName = "Model";
    add(papers.empty() ? nullptr : papers.front(), Space::Paper, "*Paper_Space");
    plan_.blocks.back().layoutName = "Layout1";
    for (std::size_t i = 1; i < papers.size(); ++i) {
        add(papers[i], Space::OtherLayout, "*Paper_Space" + std::to_string(i - 1));
        plan_.blocks.back().layoutName = "Layout" + std::to_string(i + 1);
    }
    for (const Block* block : others) add(block, Space::Block, block->name);
}

// Standard first; references to text styles and arrowhead blocks turned into the file's.
void Planner::planDimensionStyles() {
    NameSet names("estilos de cota");
    DimensionStyle standard;
    standard.name = "Standard";
    standard.scale = drawing_.header.dimScale;
    standard.textHeight = drawing_.header.dimTextHeight;
    std::vector<const DimensionStyle*> others;
    bool ownStandard = false;
    for (const DimensionStyle& own : drawing_.dimensionStyles) {
        if (asciiUpper(own.name) == "STANDARD" && !ownStandard) {
            standard = own;
            ownStandard = true;
        } else {
            others.push_back(&own);
        }
    }
    auto add = [&](DimensionStyle style, Handle handle) {
        names.add(style.name);
        checkColor(style.lineColor, "o estilo de cota " + style.name, plan_.version);
        checkColor(style.extensionColor, "o estilo de cota " + style.name, plan_.version);
        checkColor(style.textColor, "o estilo de cota " + style.name, plan_.version);
        plan_.dimStyleOf[style.handle] = handle;
        style.handle = handle;
        style.textStyle = mapped(plan_.styleOf, style.textStyle, "estilo de texto do estilo de cota");
        for (Handle* arrow : {&style.arrowBlock, &style.firstArrowBlock, &style.secondArrowBlock,
                              &style.leaderArrowBlock})
            if (*arrow) *arrow = mapped(plan_.blockOf, *arrow, "bloco de seta do estilo de cota");
        plan_.dimStyles.push_back(std::move(style));
    };
    add(standard, plan_.dimStyle);
    for (const DimensionStyle* style : others) add(*style, take());
    // Handle 0 in an entity means the Standard style.
    plan_.dimStyleOf[0] = plan_.dimStyle;
}

void Planner::planViewsAndUcss() {
    NameSet viewNames("vistas");
    for (const NamedView& view : drawing_.views) {
        viewNames.add(view.name);
        plan_.views.emplace_back(take(), view);
    }
    NameSet ucsNames("sistemas de coordenadas");
    for (const NamedUcs& ucs : drawing_.ucss) {
        ucsNames.add(ucs.name);
        plan_.ucss.emplace_back(take(), ucs);
    }
}

void Planner::planViewports() {
    std::vector<SavedView> views = drawing_.tiledViews;
    if (views.empty())
        views.push_back(drawing_.activeView ? *drawing_.activeView : extentsView(plan_));
    for (const SavedView& view : views) {
        PlannedViewport viewport{take(), view, 0};
        // The render mode stands in for the style before 2010.
        if (plan_.version >= Version::R2010) {
            VisualStyleProperties style = viewportVisualStyle(view);
            auto& written = plan_.visualStylesWritten;
            auto same = std::find_if(written.begin(), written.end(), [&](const auto& w) {
                return asciiUpper(w.properties.name) == asciiUpper(style.name);
            });
            if (same == written.end())
                same = written.insert(written.end(), {take(), std::move(style)});
            viewport.visualStyle = same->handle;
        }
        plan_.viewports.push_back(std::move(viewport));
    }
}

void Planner::planEntities() {
    for (PlannedBlock& block : plan_.blocks) {
        if (!block.source) continue;
        for (const Entity& entity : block.source->entities) {
            block.entities.push_back(take());
            std::vector<Handle> owned;
            if (const auto count = ownedRecordCount(entity))
                for (std::size_t i = 0; i <= *count; ++i) owned.push_back(take());
            block.owned.push_back(std::move(owned));
            if (const auto* mline = std::get_if<MLine>(&entity.data)) planMlineStyle(*mline);
            if (const auto* image = std::get_if<RasterImage>(&entity.data))
                if (!image->wipeout) planImage(*image, block.entities.back());
        }
    }
    if (plan_.mlineStylesWritten.empty())
        plan_.mlineStylesWritten.push_back({plan_.mlineStyle, "Standard", nullptr});
    if (!plan_.imageDefinitions.empty()) plan_.imageDictionary = take();
    // Each block header lists the inserts that place it.
    std::unordered_map<Handle, PlannedBlock*> byHeader;
    for (PlannedBlock& block : plan_.blocks) byHeader.emplace(block.header, &block);
    for (const PlannedBlock& block : plan_.blocks) {
        if (!block.source) continue;
        for (std::size_t i = 0; i < block.entities.size(); ++i) {
            const auto* insert = std::get_if<Insert>(&block.source->entities[i].data);
            if (!insert) continue;
            PlannedBlock* target = byHeader.at(mapped(plan_.blockOf, insert->block, "bloco"));
            if (target->space != Space::Block)
                fail("inserção do espaço de modelo ou de papel como bloco");
            target->inserts.push_back(block.entities[i]);
        }
    }
}

void Planner::planMlineStyle(const MLine& mline) {
    for (const PlannedMlineStyle& style : plan_.mlineStylesWritten) {
        if (sameMlineStyle(*style.source, mline)) {
            plan_.mlineStyleOf[&mline] = style.handle;
            return;
        }
    }
    const bool first = plan_.mlineStylesWritten.empty();
    const Handle handle = first ? plan_.mlineStyle : take();
    plan_.mlineStylesWritten.push_back(
        {handle, first ? "Standard" : "MLINHA" + std::to_string(plan_.mlineStylesWritten.size() + 1),
         &mline});
    plan_.mlineStyleOf[&mline] = handle;
}

// Images showing one file share its definition; one the drawing lost gets a
// definition without a file, of the image's size.
void Planner::planImage(const RasterImage& image, Handle entity) {
    auto [found, added] =
        imageDefinitionIndex_.try_emplace(image.imageDefinition, plan_.imageDefinitions.size());
    if (added) {
        PlannedImageDefinition planned;
        planned.handle = take();
        planned.definition.handle = image.imageDefinition;
        planned.definition.pixels = image.size;
        for (const ImageDefinition& known : drawing_.imageDefinitions)
            if (known.handle == image.imageDefinition && image.imageDefinition != 0)
                planned.definition = known;
        std::set<std::string> taken;
        for (const PlannedImageDefinition& other : plan_.imageDefinitions)
            taken.insert(asciiUpper(other.name));
        planned.name = imageEntryName(planned.definition.filePath, taken);
        plan_.imageDefinitions.push_back(std::move(planned));
    }
    PlannedImageDefinition& definition = plan_.imageDefinitions[found->second];
    definition.reactors.emplace_back(take(), entity);
    plan_.imageLinks[&image] = {definition.handle, definition.reactors.back().first};
}

// Every vertex gives each of the style's elements its parameters.
void Planner::checkMLine(const MLine& mline, const std::string& where) {
    if (mline.elements.empty() || mline.elements.size() > 255)
        fail(where + " não tem os elementos do seu estilo");
    for (const MLineVertex& vertex : mline.vertices)
        if (vertex.elementParameters.size() != mline.elements.size() ||
            vertex.fillParameters.size() != mline.elements.size())
            fail(where + " tem vértices que não seguem os elementos do estilo");
    for (const MLineElement& element : mline.elements)
        if (element.linetype != 0) mapped(plan_.linetypeOf, element.linetype, "tipo de linha");
}

Handle Planner::mapped(const std::unordered_map<Handle, Handle>& map, Handle handle,
                       const char* what) const {
    const auto found = map.find(handle);
    if (found == map.end())
        fail(std::string(what) + " inexistente (referência " + std::to_string(handle) + ")");
    return found->second;
}

void Planner::checkEntities() {
    for (const PlannedBlock& block : plan_.blocks) {
        if (!block.source) continue;
        for (const Entity& entity : block.source->entities) {
            const std::string where = "uma entidade " + entity.typeName + " do bloco " + block.name;
            const EntityHeader& header = entity.header;
            mapped(plan_.layerOf, header.layer, "camada");
            checkColor(header.color, where, plan_.version);
            if (header.linetypeRef == EntityHeader::LinetypeRef::Explicit)
                mapped(plan_.linetypeOf, header.linetype, "tipo de linha");
            std::visit(
                [&](const auto& data) {
                    using T = std::decay_t<decltype(data)>;
                    if constexpr (std::is_same_v<T, Text> || std::is_same_v<T, MText>)
                        mapped(plan_.styleOf, data.style, "estilo de texto");
                    if constexpr (std::is_same_v<T, Text>)
                        if (data.kind == Text::Kind::AttributeDefinition && data.tag.empty())
                            fail(where + " não tem identificador");
                    if constexpr (std::is_same_v<T, Polyline>) checkPolyline(data, where);
                    if constexpr (std::is_same_v<T, Dimension>) checkDimensionBlock(data, where);
                    if constexpr (std::is_same_v<T, Dimension> || std::is_same_v<T, Leader> ||
                                  std::is_same_v<T, Tolerance>)
                        mapped(plan_.dimStyleOf, data.dimStyle, "estilo de cota");
                    if constexpr (std::is_same_v<T, Leader>)
                        if (data.points.size() < 2) fail(where + " tem menos de dois vértices");
                    if constexpr (std::is_same_v<T, Insert>) checkAttributes(data, where);
                    if constexpr (std::is_same_v<T, AcisData>) checkBody(entity, plan_.version, where);
                    if constexpr (std::is_same_v<T, SubdivisionMesh>)
                        checkMesh(data, plan_.version, where);
                    if constexpr (std::is_same_v<T, MLine>) checkMLine(data, where);
                    if constexpr (std::is_same_v<T, Viewport>)
                        if (block.space != Space::Paper && block.space != Space::OtherLayout)
                            fail(where + " está fora do espaço de papel");
                },
                entity.data);
            const bool supported = canWrite(entity, plan_.version);
            if (!supported)
                fail(where + " é de um tipo que não é gravado" +
                     (std::holds_alternative<Helix>(entity.data)
                          ? " antes do formato AutoCAD 2007"
                          : ""));
        }
    }
}

void Planner::checkAttributes(const Insert& insert, const std::string& where) {
    for (const AttributeEntity& attribute : insert.attributes) {
        mapped(plan_.layerOf, attribute.header.layer, "camada do atributo");
        checkColor(attribute.header.color, "um atributo de " + where, plan_.version);
        if (attribute.header.linetypeRef == EntityHeader::LinetypeRef::Explicit)
            mapped(plan_.linetypeOf, attribute.header.linetype, "tipo de linha do atributo");
        mapped(plan_.styleOf, attribute.text.style, "estilo de texto do atributo");
        if (attribute.text.kind != Text::Kind::Attribute || attribute.text.tag.empty())
            fail("um atributo de " + where + " não tem identificador");
    }
}

// A dimension is drawn by a block of its own, never a space.
void Planner::checkDimensionBlock(const Dimension& dimension, const std::string& where) {
    const Handle block = mapped(plan_.blockOf, dimension.block, "bloco da cota");
    for (const PlannedBlock& planned : plan_.blocks)
        if (planned.header == block && planned.space != Space::Block)
            fail(where + " é desenhada pelo espaço de modelo ou de papel");
}

// A block that places itself, directly or through others, cannot be drawn.
void Planner::checkInsertCycles() {
    std::unordered_map<Handle, const Block*> byHandle;
    for (const Block& block : drawing_.blocks) byHandle.emplace(block.handle, &block);
    enum class Mark { Unseen, Open, Done };
    std::unordered_map<Handle, Mark> marks;
    std::function<void(const Block&)> visit = [&](const Block& block) {
        marks[block.handle] = Mark::Open;
        for (const Entity& entity : block.entities) {
            const auto* insert = std::get_if<Insert>(&entity.data);
            if (!insert) continue;
            const Block& target = *byHandle.at(insert->block);
            const Mark mark = marks[target.handle];
            if (mark == Mark::Open) fail("o bloco " + target.name + " insere a si mesmo");
            if (mark == Mark::Unseen) visit(target);
        }
        marks[block.handle] = Mark::Done;
    };
    for (const Block& block : drawing_.blocks)
        if (marks[block.handle] == Mark::Unseen) visit(block);
}

// The classes of the objects and entities written that have no fixed type.
void Planner::planClasses() {
    auto add = [&](const char* cppName, const char* dxfName, bool entity, std::size_t instances,
                   const char* application = "ObjectDBX Classes") {
        WriterClass c;
        c.number = 500 + static_cast<int>(plan_.classes.size());
        c.applicationName = application;
        c.cppName = cppName;
        c.dxfName = dxfName;
        c.entity = entity;
        c.instances = instances;
        plan_.classes.push_back(std::move(c));
    };
    add("AcDbDictionaryWithDefault", "ACDBDICTIONARYWDFLT", false, 1);
    add("AcDbPlaceHolder", "ACDBPLACEHOLDER", false, 1);
    add("AcDbLayout", "LAYOUT", false,
        std::count_if(plan_.blocks.begin(), plan_.blocks.end(),
                      [](const PlannedBlock& block) { return block.layout != 0; }));
    // Surfaces and meshes, each class declared where the drawing has one.
    auto instancesOf = [&](auto&& matches) {
        std::size_t instances = 0;
        for (const PlannedBlock& block : plan_.blocks)
            if (block.source)
                for (const Entity& entity : block.source->entities) instances += matches(entity);
        return instances;
    };
    for (const SurfaceClass& surface : surfaceClasses()) {
        const std::size_t instances =
            instancesOf([&](const Entity& e) { return e.typeName == surface.dxfName; });
        if (instances == 0) continue;
        add(surface.cppName, surface.dxfName, true, instances);
        plan_.classes.back().proxyFlags = surface.proxyFlags;
    }
    if (const std::size_t meshes = instancesOf([](const Entity& e) {
            return std::holds_alternative<SubdivisionMesh>(e.data);
        }))
        add("AcDbSubDMesh", "MESH", true, meshes);
    if (const std::size_t helices = instancesOf([](const Entity& e) {
            return std::holds_alternative<Helix>(e.data);
        }))
        add("AcDbHelix", "HELIX", true, helices);
    const std::size_t images = instancesOf([](const Entity& e) {
        const auto* image = std::get_if<RasterImage>(&e.data);
        return image && !image->wipeout;
    });
    const std::size_t wipeouts = instancesOf([](const Entity& e) {
        const auto* image = std::get_if<RasterImage>(&e.data);
        return image && image->wipeout;
    });
    if (images) {
        add("AcDbRasterImage", "IMAGE", true, images, "ISM");
        add("AcDbRasterImageDef", "IMAGEDEF", false, plan_.imageDefinitions.size(), "ISM");
        add("AcDbRasterImageDefReactor", "IMAGEDEF_REACTOR", false, images, "ISM");
    }
    if (wipeouts) add("AcDbWipeout", "WIPEOUT", true, wipeouts, "WipeOut");
    if (!plan_.visualStylesWritten.empty()) {
        add("AcDbVisualStyle", "VISUALSTYLE", false, plan_.visualStylesWritten.size());
        plan_.classes.back().proxyFlags = 4095;
    }
}

WritePlan Planner::run() {
    for (Handle* fixed : {&plan_.blockControl,    &plan_.layerControl,
                          &plan_.styleControl,    &plan_.linetypeControl,
                          &plan_.viewControl,     &plan_.ucsControl,
                          &plan_.vportControl,    &plan_.appIdControl,
                          &plan_.dimStyleControl, &plan_.viewportEntityControl,
                          &plan_.namedObjects,    &plan_.groups,
                          &plan_.layouts,         &plan_.mlineStyles,
                          &plan_.plotSettings,    &plan_.plotStyles,
                          &plan_.plotStyleNormal, &plan_.mlineStyle,
                          &plan_.appIdAcad,       &plan_.dimStyle})
        *fixed = take();
    if (plan_.version >= Version::R2004) {
        plan_.materials = take();
        plan_.colors = take();
    }
    if (plan_.version >= Version::R2007) plan_.visualStyles = take();
    planLinetypes();
    planLayers();
    planStyles();
    planBlocks();
    planDimensionStyles();
    planViewsAndUcss();
    checkEntities();
    planEntities();
    checkInsertCycles();

    const auto currentLayer = plan_.layerOf.find(drawing_.header.currentLayer);
    plan_.currentLayer =
        currentLayer == plan_.layerOf.end() ? plan_.layerZero() : currentLayer->second;
    plan_.settings = drawing_.header;
    plan_.modelExtents = modelSpaceExtents(drawing_, plan_.modelSpace().source);
    planViewports();
    planClasses();
    plan_.nextHandle = next_;
    return std::move(plan_);
}

}  // namespace

}  // namespace dwg::detail

namespace dwg {

bool canWrite(const Entity& entity, Version version) {
    return std::visit(
        [&](const auto& data) {
            using T = std::decay_t<decltype(data)>;
            if constexpr (std::is_same_v<T, AcisData>)
                return detail::canWriteBody(entity.typeName, version);
            else if constexpr (std::is_same_v<T, Helix>)
                return version >= Version::R2007;  // AutoCAD 2007 brought helices
            else if constexpr (std::is_same_v<T, Text>)
                return data.kind != Text::Kind::Attribute;  // ATTRIBs belong to an INSERT
            else if constexpr (std::is_same_v<T, SubdivisionMesh>)
                return version >= Version::R2010;
            else
                return std::is_same_v<T, Line> || std::is_same_v<T, Face> ||
                       std::is_same_v<T, Insert> || std::is_same_v<T, Polyline> ||
                       std::is_same_v<T, Dimension> || std::is_same_v<T, Leader> ||
                       std::is_same_v<T, Tolerance> ||
                       std::is_same_v<T, ConstructionLine> || std::is_same_v<T, Point> ||
                       std::is_same_v<T, Circle> || std::is_same_v<T, Arc> ||
                       std::is_same_v<T, Ellipse> || std::is_same_v<T, LwPolyline> ||
                       std::is_same_v<T, Spline> || std::is_same_v<T, MText> ||
                       std::is_same_v<T, Hatch> || std::is_same_v<T, MLine> ||
                       std::is_same_v<T, Viewport> || std::is_same_v<T, RasterImage>;
        },
        entity.data);
}

}  // namespace dwg

namespace dwg::detail {

std::optional<std::size_t> ownedRecordCount(const Entity& entity) {
    if (const auto* polyline = std::get_if<Polyline>(&entity.data))
        return polyline->vertices.size() +
               (polyline->kind == Polyline::Kind::PolyfaceMesh ? polyline->faces.size() : 0);
    if (const auto* insert = std::get_if<Insert>(&entity.data); insert && !insert->attributes.empty())
        return insert->attributes.size();
    return std::nullopt;
}

int WritePlan::classNumber(std::string_view dxfName) const {
    for (const WriterClass& c : classes)
        if (c.dxfName == dxfName) return c.number;
    throw WriteError("não é possível gravar o desenho: classe não declarada " +
                     std::string(dxfName));
}

WritePlan planDrawing(const Drawing& drawing, Version version) {
    return Planner(drawing, version).run();
}

}  // namespace dwg::detail
