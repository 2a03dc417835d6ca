// The one exception the DWG reader throws. Its message is meant for the user
// (Portuguese); kind() lets callers react without parsing the text.
#pragma once

#include <stdexcept>
#include <string>

namespace dwg {

class Error : public std::runtime_error {
  public:
    enum class Kind {
        CannotOpen,          // the file could not be read from disk
        NotDwg,              // no DWG signature
        UnsupportedVersion,  // a DWG version this reader does not handle
        Damaged,             // inconsistent or truncated content
        TooLarge,            // would need more memory than a file of its size can justify
    };

    Error(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    Kind kind() const noexcept { return kind_; }

    static Error damaged(const std::string& detail) {
        return Error(Kind::Damaged, "arquivo DWG danificado: " + detail);
    }
    static Error tooLarge(const std::string& detail) {
        return Error(Kind::TooLarge, "arquivo DWG grande demais para ser lido: " + detail);
    }
    static Error unsupportedVersion(const std::string& code) {
        return Error(Kind::UnsupportedVersion, "versão de DWG não suportada: " + code);
    }

  private:
    Kind kind_;
};

}  // namespace dwg
