// Style objects that some entities defer to (MLEADERSTYLE for MULTILEADER,
// MLINESTYLE for MLINE). They are decoded with the other objects and applied to
// their entities once every object is read, since a style may come after the
// entities that use it.
#pragma once

#include <dwg/Drawing.h>

#include <cstdint>
#include <vector>

#include "Streams.h"

namespace dwg::detail {

// The leader look that a MULTILEADER may take from its style.
struct MLeaderLook {
    int leaderType = 1;
    Color leaderColor;
    Handle leaderLinetype = 0;
    int leaderLineweight = -1;
    bool dogleg = true;
    Handle arrowBlock = 0;
    bool textFrame = false;
};

struct MLeaderStyle {
    Handle handle = 0;
    MLeaderLook look;
};

// Bits of the MULTILEADER override flags: set where the entity's own value holds.
enum MLeaderOverride : std::uint32_t {
    kOverrideLeaderType = 1u << 0,
    kOverrideLeaderColor = 1u << 1,
    kOverrideLeaderLinetype = 1u << 2,
    kOverrideLeaderLineweight = 1u << 3,
    kOverrideDogleg = 1u << 6,
    kOverrideArrowBlock = 1u << 8,
    kOverrideTextFrame = 1u << 17,
};

// What a MULTILEADER keeps until its style is known.
struct MLeaderPending {
    Handle style = 0;
    std::uint32_t overrides = 0;
    MLeaderLook own;
    double arrowSize = 0;  // of the annotation context, in drawing units
    // Per leader line, in the order of MultiLeader::roots[].lines[]: the line
    // values it sets itself (bits as MLeaderLineOverride).
    std::vector<std::uint32_t> lineOverrides;
};

enum MLeaderLineOverride : std::uint32_t {
    kLineOverrideType = 1,
    kLineOverrideColor = 2,
    kLineOverrideLinetype = 4,
    kLineOverrideLineweight = 8,
    kLineOverrideArrowSize = 16,
    kLineOverrideArrowBlock = 32,
};

struct MLineStyle {
    Handle handle = 0;
    int flags = 0;  // as stored
    Color fillColor;
    double startAngle = 0;
    double endAngle = 0;
    std::vector<MLineElement> elements;
};

// Parse the object's own data; the common object data and handles are already read.
MLineStyle parseMLineStyle(Streams& streams, const FileContext& file, Handle own);
// DIMSTYLE: its data after the name, and the handles after the external reference block's.
DimensionStyle parseDimensionStyle(Streams& streams, const FileContext& file, Handle own);
MLeaderStyle parseMLeaderStyle(Streams& streams, const FileContext& file, Handle own);

void applyMLineStyle(MLine& line, const MLineStyle& style);

// Gives each leader line the look its flags, the entity and the style decide.
void applyMLeaderStyle(MultiLeader& leader, const MLeaderPending& pending,
                       const MLeaderStyle* style);

}  // namespace dwg::detail
