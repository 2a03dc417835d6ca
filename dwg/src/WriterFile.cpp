// The AC1015 file around the objects, in the order AutoCAD 2000 lays it out:
// file header with section locators, auxiliary header, preview, header
// variables, classes, objects, object map, second file header, template.
// And the entry points, which pick the layout of the version.
#include <algorithm>
#include <fstream>
#include <system_error>

#include "Crc.h"
#include "WriterFile.h"

namespace dwg::detail {
namespace {

constexpr Sentinel kFileHeaderEnd = {0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                     0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
constexpr Sentinel kSecondHeaderStart = {0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                         0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};

constexpr std::size_t kFileHeaderSize = 0x61;
constexpr std::uint32_t kObjectsMarker = 0x0DCA;

enum Locator : std::uint8_t {
    kHeaderSection = 0,
    kClassesSection = 1,
    kObjectMapSection = 2,
    kFreeSpaceSection = 3,
    kTemplateSection = 4,
    kAuxHeaderSection = 5,
};
struct Section {
    std::uint32_t seeker = 0;
    std::uint32_t size = 0;
};
using Sections = std::array<Section, 6>;

void append(Bytes& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The second file header: a bit-coded copy of the section locators and of the
// handles of the control objects, for recovery.
Bytes secondHeader(std::uint32_t location, const Sections& sections, const WritePlan& plan) {
    const std::uint8_t maintenance = maintenanceRelease(Version::R2000);
    const std::uint16_t format = formatNumber(Version::R2000);
    BitWriter d;
    d.bitLong(static_cast<std::int32_t>(location));
    for (char c : versionCode(Version::R2000)) d.rawChar(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 5; ++i) d.rawChar(0);
    d.rawChar(maintenance);
    d.rawChar(1);
    d.bitShort(static_cast<std::int16_t>(maintenance << 8 | format));
    d.twoBits(0);
    for (std::uint8_t b : {0x78, 0x01, 0x06}) d.rawChar(b);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        d.rawChar(static_cast<std::uint8_t>(i));
        d.bitLong(static_cast<std::int32_t>(sections[i].seeker));
        d.bitLong(static_cast<std::int32_t>(sections[i].size));
    }
    const Handle handles[] = {plan.nextHandle,
                              plan.blockControl,
                              plan.layerControl,
                              plan.styleControl,
                              plan.linetypeControl,
                              plan.viewControl,
                              plan.ucsControl,
                              plan.vportControl,
                              plan.appIdControl,
                              plan.dimStyleControl,
                              plan.viewportEntityControl,
                              plan.namedObjects,
                              plan.mlineStyles,
                              plan.groups};
    d.bitShort(static_cast<std::int16_t>(std::size(handles)));
    for (std::size_t i = 0; i < std::size(handles); ++i) {
        std::uint8_t length = 0;
        for (Handle rest = handles[i]; rest != 0; rest >>= 8) ++length;
        d.rawChar(length);
        d.rawChar(static_cast<std::uint8_t>(i));
        for (int k = length - 1; k >= 0; --k)
            d.rawChar(static_cast<std::uint8_t>(handles[i] >> (8 * k)));
    }
    const Bytes data = d.take();

    Bytes out(kSecondHeaderStart.begin(), kSecondHeaderStart.end());
    constexpr std::size_t kTrailing = 2 + 8;  // CRC and eight unused bytes, counted in the size
    appendRawLong(out, static_cast<std::uint32_t>(4 + data.size() + kTrailing));
    append(out, data);
    appendRawShort(out, crc16(std::span(out).subspan(kSecondHeaderStart.size())));
    out.insert(out.end(), 8, 0);
    for (std::uint8_t byte : kSecondHeaderStart) out.push_back(static_cast<std::uint8_t>(~byte));
    return out;
}

void fileHeader(Bytes& file, std::uint32_t previewSeeker, const Sections& sections) {
    Bytes header;
    for (char c : versionCode(Version::R2000)) header.push_back(static_cast<std::uint8_t>(c));
    header.insert(header.end(), 5, 0);
    header.push_back(maintenanceRelease(Version::R2000));
    header.push_back(1);
    appendRawLong(header, previewSeeker);
    // The version and maintenance release of the writing program.
    header.push_back(static_cast<std::uint8_t>(formatNumber(Version::R2000)));
    header.push_back(maintenanceRelease(Version::R2000));
    appendRawShort(header, kWriterCodePage);
    appendRawLong(header, static_cast<std::uint32_t>(sections.size()));
    for (std::size_t i = 0; i < sections.size(); ++i) {
        header.push_back(static_cast<std::uint8_t>(i));
        appendRawLong(header, sections[i].seeker);
        appendRawLong(header, sections[i].size);
    }
    appendRawShort(header, crc16(header));
    append(header, kFileHeaderEnd);
    std::copy(header.begin(), header.end(), file.begin());
}

}  // namespace

Bytes assembleR2000(const WritePlan& plan, EncodedObjects&& objects, const Raster* preview) {
    std::sort(objects.begin(), objects.end(),
              [](const EncodedObject& a, const EncodedObject& b) { return a.handle < b.handle; });
    Sections sections{};
    Bytes file(kFileHeaderSize, 0);

    const Bytes aux = auxiliaryHeader(plan);
    sections[kAuxHeaderSection] = {static_cast<std::uint32_t>(file.size()),
                                   static_cast<std::uint32_t>(aux.size())};
    append(file, aux);

    const auto previewSeeker = static_cast<std::uint32_t>(file.size());
    append(file, previewSection(storedPreview(plan.version, preview), previewSeeker));

    const Bytes header = headerSection(plan, drawingIdentity(objects));
    sections[kHeaderSection] = {static_cast<std::uint32_t>(file.size()),
                                static_cast<std::uint32_t>(header.size())};
    append(file, header);

    const Bytes classSection = classesSection(plan);
    sections[kClassesSection] = {static_cast<std::uint32_t>(file.size()),
                                 static_cast<std::uint32_t>(classSection.size())};
    append(file, classSection);
    appendRawLong(file, kObjectsMarker);

    std::vector<std::pair<Handle, std::uint32_t>> locations;
    locations.reserve(objects.size());
    for (const EncodedObject& object : objects) {
        locations.emplace_back(object.handle, static_cast<std::uint32_t>(file.size()));
        append(file, object.bytes);
    }

    const Bytes map = objectMapSection(locations);
    sections[kObjectMapSection] = {static_cast<std::uint32_t>(file.size()),
                                   static_cast<std::uint32_t>(map.size())};
    append(file, map);

    // AutoCAD's copy of the locators leaves the template out; it follows the
    // second header.
    const Bytes second = secondHeader(static_cast<std::uint32_t>(file.size()), sections, plan);
    append(file, second);
    sections[kTemplateSection] = {static_cast<std::uint32_t>(file.size()), 4};
    appendRawShort(file, 0);  // no template description
    appendRawShort(file, 1);  // MEASUREMENT metric

    fileHeader(file, previewSeeker, sections);
    return file;
}

}  // namespace dwg::detail

namespace dwg {

std::vector<std::uint8_t> writeDwg(const Drawing& drawing, Version version,
                                   const WriteOptions& options) {
    if (version != Version::R2000 && version != Version::R2004 && version != Version::R2010 &&
        version != Version::R2013 && version != Version::R2018)
        throw WriteError("não é possível gravar o desenho na versão " +
                         std::string(versionCode(version)));
    const Raster* preview = options.preview ? &*options.preview : nullptr;
    if (preview && (preview->width <= 0 || preview->height <= 0 ||
                    std::int64_t{preview->width} * preview->height > kMaxPreviewPixels ||
                    preview->pixels.size() != std::size_t(preview->width) * preview->height))
        throw WriteError("não é possível gravar o desenho: imagem de visualização inválida");
    const detail::WritePlan plan = detail::planDrawing(drawing, version);
    detail::EncodedObjects objects;
    detail::encodeTables(plan, objects);
    detail::encodeEntities(plan, objects);
    return version == Version::R2000 ? detail::assembleR2000(plan, std::move(objects), preview)
                                     : detail::assembleContainer(plan, std::move(objects), preview);
}

void writeDwg(const Drawing& drawing, Version version, const std::filesystem::path& path,
              const WriteOptions& options) {
    const std::vector<std::uint8_t> bytes = writeDwg(drawing, version, options);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out)
        throw std::system_error(std::make_error_code(std::errc::io_error),
                                "não foi possível gravar " + path.string());
}

std::vector<std::uint8_t> writeR2000(const Drawing& drawing) {
    return writeDwg(drawing, Version::R2000);
}

void writeR2000(const Drawing& drawing, const std::filesystem::path& path) {
    writeDwg(drawing, Version::R2000, path);
}

}  // namespace dwg
