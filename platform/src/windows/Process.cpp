#include "platform/Process.h"

#include <windows.h>

#include <utility>

#include "Native.h"
#include "paths/Utf8Path.h"

namespace platform {

namespace {

// One argument as the C runtime of the program started splits them again.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < argument.size() && argument[i] == L'\\') {
            ++backslashes;
            ++i;
        }
        if (i == argument.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (argument[i] == L'"')
            out.append(backslashes * 2 + 1, L'\\');
        else
            out.append(backslashes, L'\\');
        out += argument[i];
    }
    return out + L"\"";
}

}  // namespace

Process::~Process() {
    kill();
}

bool Process::start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    Output output, std::error_code& error) {
    std::wstring command = quoted(program.native());
    for (const std::string& argument : arguments)
        command += L" " + quoted(paths::pathFromUtf8(argument).native());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = INVALID_HANDLE_VALUE, writeEnd = INVALID_HANDLE_VALUE;
    if (output == Output::Captured) {
        if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
            error = detail::lastError();
            return false;
        }
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    } else {
        writeEnd = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION launched{};
    const BOOL created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &launched);
    const DWORD failure = GetLastError();
    if (writeEnd != INVALID_HANDLE_VALUE) CloseHandle(writeEnd);
    if (!created) {
        if (readEnd != INVALID_HANDLE_VALUE) CloseHandle(readEnd);
        error = detail::errorOf(failure);
        return false;
    }
    CloseHandle(launched.hThread);
    started(reinterpret_cast<std::intptr_t>(launched.hProcess),
            reinterpret_cast<std::intptr_t>(readEnd), output);
    error.clear();
    return true;
}

std::size_t Process::readPiece(char* into, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(pipe_), into, static_cast<DWORD>(size), &got, nullptr))
        return 0;
    return got;
}

std::optional<int> Process::wait(std::chrono::milliseconds timeout) {
    if (!exitCode_ && process_ != -1) {
        HANDLE process = reinterpret_cast<HANDLE>(process_);
        if (WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD code = 0;
        exitCode_ = GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
        CloseHandle(process);
        process_ = -1;
    }
    if (reader_.joinable()) reader_.join();
    if (pipe_ != -1) CloseHandle(reinterpret_cast<HANDLE>(std::exchange(pipe_, -1)));
    return exitCode_;
}

void Process::kill() {
    if (process_ != -1 && !exitCode_) {
        HANDLE process = reinterpret_cast<HANDLE>(process_);
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        exitCode_ = -1;
        CloseHandle(process);
        process_ = -1;
    }
    wait(std::chrono::milliseconds(0));
}

}  // namespace platform
