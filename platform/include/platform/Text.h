// Text in a Windows code page turned into UTF-8 and back: iconv on POSIX,
// MultiByteToWideChar and WideCharToMultiByte on Windows.
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

// Characters into a Windows code page one at a time, so that a writer can
// tell which ones the code page lacks and write those some other way.
class CodePageEncoder {
  public:
    explicit CodePageEncoder(unsigned codePage);
    ~CodePageEncoder();
    CodePageEncoder(const CodePageEncoder&) = delete;
    CodePageEncoder& operator=(const CodePageEncoder&) = delete;

    bool valid() const;
    // The character's bytes in the code page; nothing when it has no such
    // character (no look-alike stands in for it).
    std::optional<std::string> encode(char32_t character) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
