// Text in a Windows code page turned into UTF-8: iconv on POSIX,
// MultiByteToWideChar on Windows.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class CodePageDecoder {
  public:
    // codePage: a Windows code page number (1252, 932, 28591...).
    explicit CodePageDecoder(unsigned codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // Whether the system knows the code page.
    bool valid() const;
    // The bytes as UTF-8, a byte the code page cannot map shown as U+FFFD.
    std::string toUtf8(std::string_view bytes) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
