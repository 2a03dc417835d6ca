#include "platform/Process.h"

namespace platform {

void Process::started(std::intptr_t process, std::intptr_t pipe, Output output) {
    process_ = process;
    if (output == Output::Captured) {
        pipe_ = pipe;
        reader_ = std::thread([this] { readUntilEnd(); });
    } else {
        ended_ = true;
    }
}

void Process::readUntilEnd() {
    char piece[4096];
    while (!stopReading_) {
        const std::optional<std::size_t> got = readPiece(piece, sizeof piece);
        if (!got) continue;
        const std::lock_guard lock(mutex_);
        if (*got == 0) break;
        buffer_.append(piece, *got);
        arrived_.notify_all();
    }
    const std::lock_guard lock(mutex_);
    ended_ = true;
    arrived_.notify_all();
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!exitCode_) exitCode_ = waitForExit(deadline);
    if (!exitCode_) return std::nullopt;
    finishReading(deadline);
    return exitCode_;
}

void Process::finishReading(std::chrono::steady_clock::time_point deadline) {
    if (reader_.joinable()) {
        {
            std::unique_lock lock(mutex_);
            arrived_.wait_until(lock, deadline, [this] { return ended_; });
        }
        stopReading_ = true;
        reader_.join();
    }
    closePipe();
}

std::optional<std::string> Process::readLine(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    std::size_t end = std::string::npos;
    const bool found = arrived_.wait_for(lock, timeout, [&] {
        end = buffer_.find('\n', consumed_);
        return end != std::string::npos || ended_;
    });
    if (!found || end == std::string::npos) return std::nullopt;
    std::string line = buffer_.substr(consumed_, end - consumed_);
    consumed_ = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string Process::output() {
    const std::lock_guard lock(mutex_);
    return buffer_;
}

ToolResult runToEnd(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout) {
    ToolResult result;
    Process process;
    std::error_code error;
    if (!process.start(program, arguments, Process::Output::Captured, error)) return result;
    const std::optional<int> code = process.wait(timeout);
    if (!code) process.kill();
    result.exitCode = code.value_or(-1);
    result.output = process.output();
    return result;
}

}  // namespace platform
