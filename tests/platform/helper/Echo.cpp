// Prints its arguments after the first, one a line, as UTF-8, then ends with
// the status the first names; "sleep" waits a minute first, and "orphan"
// leaves a copy of itself on its output, in a process group of its own, that
// ends 20 s later, and ends at once.
#include <platform/CommandLine.h>
#include <platform/Process.h>

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
    const std::string mode = argc > 1 ? arguments[1] : "";
    if (mode == "sleep") std::this_thread::sleep_for(std::chrono::minutes(1));
    if (mode == "linger") std::this_thread::sleep_for(std::chrono::seconds(20));
    if (mode == "orphan") {
        platform::Process child;
        std::error_code error;
        if (!child.start(arguments[0], {"linger"}, platform::Process::Output::Inherited, error))
            return 1;
        std::_Exit(0);  // without ending the child, as a program that leaves one behind
    }
    return std::atoi(mode.c_str());
}
