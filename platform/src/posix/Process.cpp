#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace platform {

namespace {

std::optional<int> exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return std::nullopt;
}

constexpr int kPollMilliseconds = 20;

}  // namespace

Process::~Process() {
    kill();
}

bool Process::start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    Output output, std::error_code& error) {
    int pipeEnds[2] = {-1, -1};
    if (output == Output::Captured && ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = {errno, std::generic_category()};
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output == Output::Captured) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    } else if (output == Output::Discarded) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    // A group of its own, led by it: kill() ends whatever it started too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (output == Output::Captured) ::close(pipeEnds[1]);
    if (spawned != 0) {
        if (output == Output::Captured) ::close(pipeEnds[0]);
        error = {spawned, std::generic_category()};
        return false;
    }
    started(pid, pipeEnds[0], output);
    error.clear();
    return true;
}

std::optional<std::size_t> Process::readPiece(char* into, std::size_t size) {
    pollfd ready{static_cast<int>(pipe_), POLLIN, 0};
    const int polled = ::poll(&ready, 1, kPollMilliseconds);
    if (polled == 0 || (polled < 0 && errno == EINTR)) return std::nullopt;
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(pipe_), into, size);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

std::optional<int> Process::waitForExit(std::chrono::steady_clock::time_point deadline) {
    if (process_ <= 0) return -1;
    for (;;) {
        // WNOWAIT: the ended program stays a zombie, so its pid, which names
        // its group, cannot go to another program before kill() reaps it.
        siginfo_t info{};
        const int waited = ::waitid(P_PID, static_cast<id_t>(process_), &info,
                                    WEXITED | WNOHANG | WNOWAIT);
        if (waited == 0 && info.si_pid == static_cast<pid_t>(process_))
            return info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
        if (waited < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Process::kill() {
    if (process_ > 0) {
        const auto pid = static_cast<pid_t>(process_);
        ::killpg(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!exitCode_) exitCode_ = exitCodeOf(status).value_or(-1);
        process_ = -1;
    }
    // Whatever held its output is gone with the group.
    finishReading(std::chrono::steady_clock::now() + std::chrono::seconds(1));
}

void Process::closePipe() {
    if (pipe_ >= 0) ::close(static_cast<int>(std::exchange(pipe_, -1)));
}

}  // namespace platform
