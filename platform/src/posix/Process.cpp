#include "platform/Process.h"

#include <fcntl.h>
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
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
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

std::size_t Process::readPiece(char* into, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(pipe_), into, size);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? static_cast<std::size_t>(got) : 0;
    }
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    if (!exitCode_ && process_ > 0) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
            if (done == static_cast<pid_t>(process_)) {
                exitCode_ = exitCodeOf(status).value_or(-1);
                break;
            }
            if (done < 0 && errno != EINTR) {
                exitCode_ = -1;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Its output ends with it.
    if (reader_.joinable()) reader_.join();
    if (pipe_ >= 0) ::close(static_cast<int>(std::exchange(pipe_, -1)));
    return exitCode_;
}

void Process::kill() {
    if (process_ > 0 && !exitCode_) {
        ::kill(static_cast<pid_t>(process_), SIGKILL);
        int status = 0;
        while (::waitpid(static_cast<pid_t>(process_), &status, 0) < 0 && errno == EINTR) {
        }
        exitCode_ = exitCodeOf(status).value_or(-1);
    }
    wait(std::chrono::milliseconds(0));
}

}  // namespace platform
