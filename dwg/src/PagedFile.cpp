// R2004 and later: the sections come out of the paged container and go
// through the same parsers as the R13-R2000 sections.
#include <dwg/Error.h>

#include "Containers.h"
#include "DataStore.h"
#include "SectionContainer.h"

namespace dwg::detail {

namespace {

constexpr std::size_t kCodePageOffset = 0x13;
constexpr const char* kDataStoreSection = "AcDb:AcDsPrototype_1b";

}  // namespace

Drawing readPagedFile(Bytes file, Version version) {
    const auto container = container::openSectionContainer(file);
    if (file.size() < kCodePageOffset + 2) throw Error::damaged("cabeçalho do arquivo truncado");
    const int codePage = file[kCodePageOffset] | file[kCodePageOffset + 1] << 8;
    const TextDecoder text(codePage);
    FileContext context;
    context.version = version;
    context.codePage = codePage;
    context.text = &text;
    context.budget = &container->budget();

    const HeaderVariables variables = parseHeaderVariables(container->read("AcDb:Header"), context);
    const ClassTable classes = parseClasses(container->read("AcDb:Classes"), context);
    const ObjectMap map = parseObjectMap(container->read("AcDb:Handles"), context);
    // Every object carries its own CRC: a damaged page costs the objects in it, not the drawing.
    const std::vector<std::uint8_t> objects =
        container->read("AcDb:AcDbObjects", container::DamagedPages::BestEffort);
    Drawing drawing = parseObjects(objects, map, classes, variables, context);
    // Solids of R2013 and later may keep their models in the data store. A
    // damaged store costs those models, not the drawing.
    if (version >= Version::R2013 && container->find(kDataStoreSection)) {
        try {
            attachDataStoreModels(drawing,
                                  readDataStoreModels(container->read(kDataStoreSection), context));
        } catch (const Error& error) {
            if (error.kind() == Error::Kind::TooLarge) throw;
        }
    }
    return drawing;
}

}  // namespace dwg::detail
