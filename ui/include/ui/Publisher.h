// Who publishes the program and how to reach them: shown in the About window
// and in the support message. Addresses under a reserved example domain until
// the publisher gives real ones; change them here only.
#pragma once

namespace ui::publisher {

// The program's version, 2.2 written without its decimal point.
inline constexpr char kVersion[] = "22";
// Shown as it is; opened with "http://" in front.
inline constexpr char kSite[] = "www.tessaly.example";
inline constexpr char kContact[] = "contato@tessaly.example";
inline constexpr char kSupport[] = "suporte@tessaly.example";
inline constexpr char kCopyrightFirstLine[] = "Copyright © Tessaly Software";
inline constexpr char kCopyrightClosingLine[] = "Todos os direitos reservados.";

}  // namespace ui::publisher
