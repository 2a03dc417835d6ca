// Pattern lines of a hatch: each family of parallel, dashed lines cut to the
// inside of the boundary rings (even-odd, so holes and islands work).
#pragma once

#include <render/Geometry.h>

#include <utility>
#include <vector>

#include "WorkBudget.h"

namespace render::detail {

// One line of a pattern definition, as stored in the hatch (already scaled
// and rotated): lines through base + k * offset in direction angle.
struct HatchFamily {
    double angle = 0;
    Vec2 base;
    Vec2 offset;
    std::vector<double> dashes;  // dash > 0, gap < 0, dot = 0; empty: solid
};

struct HatchLineBudget {
    std::size_t maxLinesPerFamily = 20'000;
    std::size_t maxSegments = 200'000;
};

struct HatchSegments {
    std::vector<std::pair<Vec2, Vec2>> segments;  // a dot has both ends equal
    std::size_t familiesDropped = 0;              // too dense, or over the budget
};

// Charges `work` for every line, crossing and dash repeat; when it runs out
// the segments so far are returned.
HatchSegments hatchSegments(const std::vector<std::vector<Vec2>>& rings,
                            const std::vector<HatchFamily>& families, const HatchLineBudget& budget,
                            WorkBudget& work);

}  // namespace render::detail
