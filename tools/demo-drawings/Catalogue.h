// The demo library: a few recognisable blocks for each of the 14 categories,
// drawn in centimetres, and the description of each package.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Sketch.h"

namespace demo {

struct DemoBlock {
    std::string name;  // the block's file name without .DWG
    std::function<void(Sketch&)> draw;
};

struct DemoCategory {
    int index;
    std::vector<DemoBlock> blocks;
};

const std::vector<DemoCategory>& catalogue();

}  // namespace demo
