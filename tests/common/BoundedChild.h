// Work run in a forked child process under an address-space limit (POSIX),
// so that a piece of work that breaks its memory bound fails there instead
// of in the test runner. Each piece reports one line; the child sends the
// lines back through a pipe.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// The address sanitizer reserves terabytes of shadow memory: under it no
// address-space limit can be set.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kAddressLimitsApply = false;
#else
inline constexpr bool kAddressLimitsApply = true;
#endif

inline std::size_t addressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// Runs work(i) for i in [0, count) in one child, each allowed allowance(i)
// bytes of address space beyond what the child holds before it; each returns
// its line (without '\n'). The lines in order, or one line saying how the
// child died.
inline std::vector<std::string> runBoundedInChild(
    std::size_t count, const std::function<std::size_t(std::size_t)>& allowance,
    const std::function<std::string(std::size_t)>& work) {
    int channel[2];
    if (pipe(channel) != 0) return {"pipe failed"};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string lines;
        for (std::size_t i = 0; i < count; ++i) {
            rlimit bound{RLIM_INFINITY, RLIM_INFINITY};
            if (kAddressLimitsApply) bound.rlim_cur = addressSpaceInUse() + allowance(i);
            setrlimit(RLIMIT_AS, &bound);
            std::string line = work(i);
            bound.rlim_cur = RLIM_INFINITY;
            setrlimit(RLIMIT_AS, &bound);
            lines += line + "\n";
        }
        const ssize_t written = write(channel[1], lines.data(), lines.size());
        _exit(written == static_cast<ssize_t>(lines.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return {"killed by signal " + std::to_string(WTERMSIG(status))};
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(output.substr(start, end - start));
    return lines;
}

}  // namespace testsupport
