// The parts of a written file around the objects, shared by the R2000 file
// and the R2004 container family, and the two layouts that hold them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "WriterModel.h"

namespace dwg::detail {

using Bytes = std::vector<std::uint8_t>;
using Sentinel = std::array<std::uint8_t, 16>;

// Creation and update time: fixed, so that the same drawing gives the same bytes
// (Julian day of 1 January 2000).
inline constexpr std::int32_t kJulianDay = 2451545;

// Identifiers of the drawing, made from its objects without randomness.
struct Identity {
    std::string fingerprint;  // FINGERPRINTGUID
    std::string version;      // VERSIONGUID
    std::uint64_t seed = 0;   // for the container's own random-looking fields
};
Identity drawingIdentity(const EncodedObjects& objects);

// The version's number in the auxiliary header (23 for AC1015...) and the
// maintenance release written with it.
std::uint16_t formatNumber(Version version);
std::uint8_t maintenanceRelease(Version version);

// Start sentinel, RL size, (R2010+) RL 0, data, CRC, end sentinel.
Bytes framedSection(Version version, const Sentinel& start, const Bytes& data);
Bytes headerSection(const WritePlan& plan, const Identity& identity);
Bytes classesSection(const WritePlan& plan);
// Pages of (handle, offset) deltas, both restarting from zero on every page.
Bytes objectMapSection(const std::vector<std::pair<Handle, std::uint32_t>>& locations);
Bytes auxiliaryHeader(const WritePlan& plan);

// The preview as the version stores it: a BMP up to R2010, a PNG from R2013;
// empty when there is no picture.
struct StoredPreview {
    int type = 0;  // 2 BMP, 6 PNG
    Bytes bytes;
};
StoredPreview storedPreview(Version version, const Raster* image);
// The preview section: sentinels around the list of images.
Bytes previewSection(const StoredPreview& preview, std::uint32_t sectionStart);

Bytes assembleR2000(const WritePlan& plan, EncodedObjects&& objects, const Raster* preview);
Bytes assembleContainer(const WritePlan& plan, EncodedObjects&& objects,
                        const Raster* preview);

}  // namespace dwg::detail
