#include "platform/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include "paths/Utf8Path.h"

namespace platform {

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(paths::pathToUtf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return arguments;
}

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

}  // namespace platform
