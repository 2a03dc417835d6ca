#include "Registration.h"

#include <shlobj.h>

#include <optional>

namespace shell {
namespace {

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kClassKey = kClasses + L"CLSID\\" + kProviderClsidText;
const std::wstring kOurDwgHandler = kClasses + L".dwg\\ShellEx\\" + kThumbnailHandlerKey;
const std::wstring kApproved =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The default value of a key of the classes, the user's over the machine's,
// as HKEY_CLASSES_ROOT merges them on Windows (Wine's does not: both are
// asked here).
std::optional<std::wstring> classesValue(const std::wstring& subKey) {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        wchar_t value[256];
        DWORD bytes = sizeof(value);
        if (RegGetValueW(root, (kClasses + subKey).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                         &bytes) == ERROR_SUCCESS)
            return std::wstring(value);
    }
    return std::nullopt;
}

LSTATUS setString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                           DWORD((value.size() + 1) * sizeof(wchar_t)));
}

bool sameClsid(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Keys our handler needed that hold nothing else now: left, an empty .dwg of
// the user's would stand over the machine's in the classes Explorer reads.
void removeIfEmpty(const std::wstring& subKey) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subKeys = 0, values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && subKeys == 0 && values == 0)
        RegDeleteKeyW(HKEY_CURRENT_USER, subKey.c_str());
}

HRESULT fromStatus(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

}  // namespace

DwgHandler dwgHandler() {
    std::wstring where[3] = {L".dwg\\ShellEx\\", L"SystemFileAssociations\\.dwg\\ShellEx\\", L""};
    if (const auto programType = classesValue(L".dwg"); programType && !programType->empty())
        where[2] = *programType + L"\\ShellEx\\";
    bool ours = false;
    for (const std::wstring& key : where) {
        if (key.empty()) continue;
        const auto handler = classesValue(key + kThumbnailHandlerKey);
        if (!handler) continue;
        if (!sameClsid(*handler, kProviderClsidText)) return DwgHandler::Another;
        ours = true;
    }
    return ours ? DwgHandler::Ours : DwgHandler::None;
}

HRESULT registerProvider(const std::wstring& dllPath) {
    const std::wstring server = kClassKey + L"\\InprocServer32";
    LSTATUS status = setString(kClassKey, nullptr, L"Miniaturas de desenhos DWG do Tessaly");
    if (status == ERROR_SUCCESS) status = setString(server, nullptr, dllPath);
    if (status == ERROR_SUCCESS) status = setString(server, L"ThreadingModel", L"Apartment");
    if (status == ERROR_SUCCESS)
        status = setString(kApproved, kProviderClsidText, L"Miniaturas de desenhos DWG do Tessaly");
    if (status == ERROR_SUCCESS && dwgHandler() == DwgHandler::None) {
        status = setString(kOurDwgHandler, nullptr, kProviderClsidText);
        if (status == ERROR_SUCCESS)
            SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS) unregisterProvider();
    return fromStatus(status);
}

HRESULT unregisterProvider() {
    bool removedHandler = false;
    wchar_t handler[64];
    DWORD bytes = sizeof(handler);
    if (RegGetValueW(HKEY_CURRENT_USER, kOurDwgHandler.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     handler, &bytes) == ERROR_SUCCESS &&
        sameClsid(handler, kProviderClsidText)) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kOurDwgHandler.c_str());
        removeIfEmpty(kClasses + L".dwg\\ShellEx");
        removeIfEmpty(kClasses + L".dwg");
        removedHandler = true;
    }
    HKEY approved;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kApproved.c_str(), 0, KEY_SET_VALUE, &approved) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(approved, kProviderClsidText);
        RegCloseKey(approved);
    }
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kClassKey.c_str());
    if (removedHandler) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : fromStatus(status);
}

}  // namespace shell
