// What the Windows half of the module shares: paths in the system's own
// form, errors, and the retry of operations another program holds up.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "SystemCommon.h"

namespace platform::detail {

// The path as the wide-character calls take it; long paths (past MAX_PATH)
// in the \\?\ form, which lifts the limit.
std::wstring nativePath(const std::filesystem::path& path);

// The error of the last failed call: the common ones as portable conditions
// (so that callers compare with std::errc), the rest as the system's own.
std::error_code lastError();
std::error_code errorOf(DWORD code);

// Whether code is another program holding the file (sharing or lock violation).
bool isHeldError(DWORD code);

// Runs attempt (a call that returns FALSE and sets the last error on
// failure) again while another program holds the file, a while at most.
template <typename Attempt>
bool retryWhileHeld(Attempt attempt) {
    for (int round = 0;; ++round) {
        if (attempt()) return true;
        const DWORD code = GetLastError();
        if (!isHeldError(code) || round >= kHeldRetries) {
            SetLastError(code);
            return false;
        }
        waitBeforeRetry(kHeldRetryMilliseconds);
    }
}

}  // namespace platform::detail
