// Parsers of the DWG data sections, independent of how the section bytes are
// obtained. R13-R2000 files hand them the byte ranges named by the section
// locators; R2004+ containers hand them the decompressed section buffers
// (AcDb:Header, AcDb:Classes, AcDb:Handles, AcDb:AcDbObjects).
#pragma once

#include <dwg/Drawing.h>
#include <dwg/Version.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "MemoryBudget.h"
#include "Text.h"

namespace dwg::detail {

using Bytes = std::span<const std::uint8_t>;

// What every section parser needs to know about the file.
struct FileContext {
    Version version = Version::R2000;
    int codePage = 30;
    const TextDecoder* text = nullptr;  // decodes R13-R2004 strings in the file's code page
    // What the read may still allocate; none where a test drives one parser alone.
    MemoryBudget* budget = nullptr;

    // Charges `count` items of `each` bytes before they are allocated.
    void charge(std::uint64_t count, std::size_t each) const {
        if (budget) budget->charge(count, each);
    }
};

struct ClassDef {
    int number = 0;
    int proxyFlags = 0;
    std::string applicationName;
    std::string cppName;
    std::string dxfName;
    bool wasZombie = false;
    bool isEntity = false;
};

// Keyed by class number (500 and up); object types >= 500 name a class.
using ClassTable = std::map<int, ClassDef>;

struct ObjectLocation {
    Handle handle = 0;
    std::uint64_t offset = 0;  // into the bytes handed to parseObjects
};

// In stored order; handles are unique.
using ObjectMap = std::vector<ObjectLocation>;

// Bounds the work done on a hostile file.
inline constexpr std::size_t kMaxObjects = 4'000'000;

// `section` starts at the section's start sentinel.
HeaderVariables parseHeaderVariables(Bytes section, const FileContext& context);
ClassTable parseClasses(Bytes section, const FileContext& context);
ObjectMap parseObjectMap(Bytes section, const FileContext& context);

// Decodes every object the map points to and assembles the drawing.
// `objects` are the bytes the map's offsets count from: the whole file for
// R13-R2000, the AcDb:AcDbObjects section for R2004+.
Drawing parseObjects(Bytes objects, const ObjectMap& map, const ClassTable& classes,
                     const HeaderVariables& header, const FileContext& context);

}  // namespace dwg::detail
