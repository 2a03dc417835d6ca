// Explorer finds the thumbnail handler of .dwg files in the registry. Ours
// is registered for the current user alone, and only where no other program
// (AutoCAD, DWG TrueView) has registered one: theirs is never replaced, and
// unregistering removes only what is ours.
#pragma once

#include <windows.h>

#include <string>

namespace shell {

// {C53135CC-289E-455C-A833-78E17858FA60}
inline constexpr CLSID kProviderClsid = {
    0xc53135cc, 0x289e, 0x455c, {0xa8, 0x33, 0x78, 0xe1, 0x78, 0x58, 0xfa, 0x60}};
inline constexpr wchar_t kProviderClsidText[] = L"{C53135CC-289E-455C-A833-78E17858FA60}";
// The shell's name for "the thumbnail handler" under a type's ShellEx key.
inline constexpr wchar_t kThumbnailHandlerKey[] = L"{E357FCCD-A995-4576-B01F-234630154E96}";

enum class DwgHandler {
    None,     // .dwg files have no thumbnail handler
    Ours,     // they have ours
    Another,  // they have another program's, wherever it is registered
};

// What Explorer would take for .dwg files, looking where it looks: the
// handler under .dwg itself, under the program type .dwg names, and under
// the system's associations of .dwg, for this user and for the machine.
DwgHandler dwgHandler();

// Registers the class of `dllPath` for this user and makes it the handler
// of .dwg files unless another program's is there. S_OK either way.
HRESULT registerProvider(const std::wstring& dllPath);

// Removes the class and, when it is ours, the handler of .dwg files.
HRESULT unregisterProvider();

}  // namespace shell
