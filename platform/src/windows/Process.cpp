#include "platform/Process.h"

#include <windows.h>

#include <algorithm>
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
    } else if (output == Output::Discarded) {
        writeEnd = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inheritable, OPEN_EXISTING, 0, nullptr);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output == Output::Inherited ? GetStdHandle(STD_OUTPUT_HANDLE) : writeEnd;
    startup.hStdError = output == Output::Inherited ? GetStdHandle(STD_ERROR_HANDLE) : writeEnd;
    PROCESS_INFORMATION launched{};
    // Suspended until it is in its job, so that nothing it starts escapes it.
    const BOOL created =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr, nullptr, &startup, &launched);
    const DWORD failure = GetLastError();
    if (writeEnd != INVALID_HANDLE_VALUE) CloseHandle(writeEnd);
    if (!created) {
        if (readEnd != INVALID_HANDLE_VALUE) CloseHandle(readEnd);
        error = detail::errorOf(failure);
        return false;
    }
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job && !AssignProcessToJobObject(job, launched.hProcess)) {
        CloseHandle(job);
        job = nullptr;  // then kill() ends the program alone
    }
    job_ = reinterpret_cast<std::intptr_t>(job);
    ResumeThread(launched.hThread);
    CloseHandle(launched.hThread);
    started(reinterpret_cast<std::intptr_t>(launched.hProcess),
            reinterpret_cast<std::intptr_t>(readEnd), output);
    error.clear();
    return true;
}

std::optional<std::size_t> Process::readPiece(char* into, std::size_t size) {
    // An anonymous pipe has no read with a timeout: look before reading.
    HANDLE pipe = reinterpret_cast<HANDLE>(pipe_);
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return 0;
    if (available == 0) {
        Sleep(20);
        return std::nullopt;
    }
    DWORD got = 0;
    if (!ReadFile(pipe, into, static_cast<DWORD>(std::min<std::size_t>(size, available)), &got,
                  nullptr))
        return 0;
    return got;
}

std::optional<int> Process::waitForExit(std::chrono::steady_clock::time_point deadline) {
    if (process_ == -1) return -1;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (WaitForSingleObject(process, static_cast<DWORD>(std::max<long long>(left.count(), 0))) !=
        WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    return GetExitCodeProcess(process, &code) ? static_cast<int>(code) : -1;
}

void Process::kill() {
    if (process_ != -1) {
        HANDLE process = reinterpret_cast<HANDLE>(process_);
        if (job_)
            TerminateJobObject(reinterpret_cast<HANDLE>(job_), 1);
        else
            TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
        if (!exitCode_) exitCode_ = -1;
        CloseHandle(process);
        process_ = -1;
    }
    if (job_) CloseHandle(reinterpret_cast<HANDLE>(std::exchange(job_, 0)));
    finishReading(std::chrono::steady_clock::now() + std::chrono::seconds(1));
}

void Process::closePipe() {
    if (pipe_ != -1) CloseHandle(reinterpret_cast<HANDLE>(std::exchange(pipe_, -1)));
}

}  // namespace platform
