// Turning the drawing's stored strings into UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {
class CodePageDecoder;
}

namespace dwg::detail {

std::string utf16ToUtf8(std::u16string_view units);

// Names in the drawing compare without regard to the case of ASCII letters.
std::string asciiUpper(std::string_view text);

// Replaces the \U+XXXX escapes that stand for characters outside the code page.
std::string expandUnicodeEscapes(std::string_view text);

// Converts strings stored in the file's code page (R13-R2004). One decoder per
// read: the conversion state is not shared between threads.
class TextDecoder {
  public:
    explicit TextDecoder(int codePage);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    std::string decode(std::string_view bytes) const;

  private:
    // Null for the built-in Windows-1252 table.
    std::unique_ptr<platform::CodePageDecoder> converter_;
};

}  // namespace dwg::detail
