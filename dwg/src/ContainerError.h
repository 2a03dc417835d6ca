// One way out for every fault the R2004+ container code finds, so that the
// reader reports them all as the same kind of error.
#pragma once

#include <string>

namespace dwg::container {

// Fuzz builds let damaged checksums and codewords through, so that the fuzzer
// reaches the decoders behind them instead of stopping at every check.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr bool kEnforceChecks = false;
#else
inline constexpr bool kEnforceChecks = true;
#endif

// Throws dwg::Error with the message "arquivo DWG danificado: <detail>".
[[noreturn]] void throwDamaged(const std::string& detail);

// Throws dwg::Error for a valid file this reader cannot open.
[[noreturn]] void throwUnsupported(const std::string& detail);

}  // namespace dwg::container
