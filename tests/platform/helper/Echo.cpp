// Prints its arguments after the first, one a line, as UTF-8, then ends with
// the status the first names; "sleep" waits a minute first.
#include <platform/CommandLine.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = platform::utf8Arguments(argc, argv);
    for (std::size_t i = 2; i < arguments.size(); ++i) std::printf("%s\n", arguments[i].c_str());
    std::fflush(stdout);
    if (argc > 1 && arguments[1] == "sleep") std::this_thread::sleep_for(std::chrono::minutes(1));
    return argc > 1 ? std::atoi(arguments[1].c_str()) : 0;
}
