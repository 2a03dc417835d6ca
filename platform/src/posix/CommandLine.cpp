#include "platform/CommandLine.h"

namespace platform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void useUtf8Console() {}

}  // namespace platform
