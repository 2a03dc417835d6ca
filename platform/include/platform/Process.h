// Another program run beside this one, its output read through a pipe: the
// tools and servers that tests and benchmarks start.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

// What the program starts is ended with it: it runs in a process group (a job
// object on Windows) of its own, so that kill() also reaches a child it left
// behind holding its output.
class Process {
  public:
    // Inherited: it writes where this program writes.
    enum class Output { Captured, Discarded, Inherited };

    Process() = default;
    // Ends the program and what it started, if they still run.
    ~Process();
    Process(Process&&) = delete;
    Process& operator=(Process&&) = delete;

    // Starts program with its arguments (UTF-8); with Output::Captured what it
    // writes on its standard output and error is kept for readLine/output.
    bool start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               Output output, std::error_code& error);

    // The next line it wrote, without its end; nothing once it closed its
    // output or when no line came within timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Waits up to timeout for the end: the exit code (128 + the signal for a
    // POSIX program ended by one), or nothing while it still runs. Its output
    // is read until it closes, but not past timeout: a child it left behind
    // may hold it open for long.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // Ends it and what it started at once, and waits for it.
    void kill();
    // Everything it wrote so far (after wait: everything).
    std::string output();

  private:
    // After the system started it: keeps its handle and, for Output::Captured,
    // reads its output on a thread of its own until it closes it.
    void started(std::intptr_t process, std::intptr_t pipe, Output output);
    void readUntilEnd();
    // The system's read of the pipe: what came, 0 once it is closed, nothing
    // when nothing came within a few milliseconds.
    std::optional<std::size_t> readPiece(char* into, std::size_t size);
    // The exit code once the program ended, waiting until deadline; POSIX
    // leaves it unreaped, so that its group stays its own until kill().
    std::optional<int> waitForExit(std::chrono::steady_clock::time_point deadline);
    // Reads what is left of its output until it closes or deadline passes.
    void finishReading(std::chrono::steady_clock::time_point deadline);
    void closePipe();

    std::intptr_t process_ = -1;  // a pid, or a Windows process HANDLE
    std::intptr_t job_ = 0;       // Windows: the job object holding it and its children
    std::intptr_t pipe_ = -1;     // our end of its output
    std::atomic<bool> stopReading_ = false;
    std::optional<int> exitCode_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string buffer_;
    std::size_t consumed_ = 0;  // of buffer_, by readLine
    bool ended_ = false;        // the output is closed
    std::thread reader_;
};

// A tool run to its end within timeout (killed past it): its exit code, or -1
// when it could not start or had to be killed, and what it wrote.
struct ToolResult {
    int exitCode = -1;
    std::string output;
};
ToolResult runToEnd(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout);

}  // namespace platform
