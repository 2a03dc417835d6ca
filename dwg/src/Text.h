// Turning the drawing's stored strings into UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class CodePageDecoder;
class CodePageEncoder;
}

namespace dwg::detail {

std::string utf16ToUtf8(std::u16string_view units);

// The code point at text[i], i moved past it; malformed UTF-8 gives U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& i);

// The Windows code page of a drawing's code page number (30 is 1252); 0 for
// one this program does not know.
unsigned windowsCodePage(int codePage);

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

// Strings into a drawing's code page, for the files that keep them in one
// (R13-R2004, DXF before AC1021): a character the code page lacks becomes
// \U+XXXX escapes, which readers expand again. One encoder per write.
class TextEncoder {
  public:
    // codePage: the drawing's number; Windows-1252 (30) where the system
    // does not know it.
    explicit TextEncoder(int codePage);
    ~TextEncoder();
    TextEncoder(const TextEncoder&) = delete;
    TextEncoder& operator=(const TextEncoder&) = delete;

    // The drawing's number of the code page it writes.
    int codePage() const { return codePage_; }
    std::string encode(std::string_view utf8) const;
    // Whether every character of the text is in the code page.
    bool holds(std::string_view utf8) const;

  private:
    std::optional<std::string> character(char32_t c) const;

    int codePage_ = 30;
    // Null for the built-in Windows-1252 table.
    std::unique_ptr<platform::CodePageEncoder> converter_;
};

}  // namespace dwg::detail
