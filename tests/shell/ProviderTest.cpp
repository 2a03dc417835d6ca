// The thumbnail provider as Windows uses it: registered by its DLL's own
// entry (as the installer does), found in the registry and created through
// COM, initialised with a file's stream and asked for a bitmap, as Explorer
// does; on the sample drawings, on hostile files and streams, and beside
// another program's handler, which it must leave alone.
#include <gtest/gtest.h>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>
#include <windows.h>

#include <Registration.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "HostileFiles.h"
#include "Samples.h"

namespace {

constexpr IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};
const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kHandlerKey = std::wstring(L"\\ShellEx\\") + shell::kThumbnailHandlerKey;
constexpr wchar_t kAnotherHandler[] = L"{11111111-2222-3333-4444-555555555555}";

// The DLL beside the test program, loaded and called as the installer does.
class ProviderDll {
  public:
    ProviderDll() {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path(self);
        path = path.substr(0, path.find_last_of(L'\\') + 1) + L"TessalyMiniaturas.dll";
        module_ = LoadLibraryW(path.c_str());
    }
    ~ProviderDll() {
        if (module_) FreeLibrary(module_);
    }
    bool loaded() const { return module_ != nullptr; }
    HRESULT call(const char* entry) const {
        const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, entry)));
        return function ? function() : E_NOTIMPL;
    }

  private:
    HMODULE module_ = nullptr;
};

std::wstring value(const std::wstring& key) {
    wchar_t text[256];
    DWORD bytes = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return {};
    return text;
}

bool exists(const std::wstring& key) {
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void setValue(const std::wstring& key, const std::wstring& text) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, REG_SZ, text.c_str(),
                              DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

const std::wstring kOurClass = kClasses + L"CLSID\\" + shell::kProviderClsidText;

// Every key a case of these tests may have made, gone.
void clearClasses() {
    for (const wchar_t* key : {L".dwg", L"AutoCAD.Drawing.24", L"SystemFileAssociations\\.dwg"})
        RegDeleteTreeW(HKEY_CURRENT_USER, (kClasses + key).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kOurClass.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kOurClass.c_str());
}

bool underWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Registered as the installer registers it. Wine's COM looks for classes in
// the machine's registry alone, where Windows' looks in the user's first:
// under Wine the class the DLL registered for the user is copied there.
HRESULT registerAsInstalled(const ProviderDll& dll) {
    const HRESULT result = dll.call("DllRegisterServer");
    if (SUCCEEDED(result) && underWine()) {
        HKEY machine;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOurClass.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &machine, nullptr) != ERROR_SUCCESS)
            return E_ACCESSDENIED;
        const LSTATUS copied = RegCopyTreeW(HKEY_CURRENT_USER, kOurClass.c_str(), machine);
        RegCloseKey(machine);
        if (copied != ERROR_SUCCESS) return HRESULT_FROM_WIN32(copied);
    }
    return result;
}

class Provider : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        clearClasses();
        ASSERT_TRUE(dll.loaded());
    }
    void TearDown() override {
        clearClasses();
        CoUninitialize();
    }
    ProviderDll dll;
};

// What Explorer finds for .dwg files, created as Explorer creates it. The
// user's classes come before the machine's (Wine's HKEY_CLASSES_ROOT does not
// merge them as Windows' does).
IInitializeWithStream* createHandler() {
    wchar_t text[64];
    DWORD bytes = sizeof(text);
    const std::wstring key = kClasses + L".dwg" + kHandlerKey;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
            ERROR_SUCCESS &&
        RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &(bytes = sizeof(text))) != ERROR_SUCCESS)
        return nullptr;
    CLSID clsid;
    if (FAILED(CLSIDFromString(text, &clsid))) return nullptr;
    IInitializeWithStream* handler = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                                reinterpret_cast<void**>(&handler))))
        return nullptr;
    return handler;
}

struct Thumbnail {
    HRESULT initialised = E_FAIL;
    HRESULT drawn = E_FAIL;
    int width = 0, height = 0, bits = 0;
    bool ink = false;
};

Thumbnail thumbnailOf(IStream* stream, UINT side) {
    Thumbnail result;
    IInitializeWithStream* handler = createHandler();
    if (!handler) return result;
    result.initialised = handler->Initialize(stream, STGM_READ);
    IThumbnailProvider* provider = nullptr;
    if (SUCCEEDED(handler->QueryInterface(kThumbnailProviderIid, reinterpret_cast<void**>(&provider)))) {
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        result.drawn = provider->GetThumbnail(side, &bitmap, &alpha);
        if (SUCCEEDED(result.drawn) && bitmap) {
            DIBSECTION section{};
            if (GetObjectW(bitmap, sizeof(section), &section) == sizeof(section)) {
                result.width = section.dsBm.bmWidth;
                result.height = std::abs(section.dsBm.bmHeight);
                result.bits = section.dsBm.bmBitsPixel;
                const auto* pixels = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
                const std::size_t count = std::size_t(result.width) * std::size_t(result.height);
                result.ink = pixels && std::any_of(pixels, pixels + count, [&](std::uint32_t p) {
                                 return (p & 0xFFFFFFu) != (pixels[0] & 0xFFFFFFu);
                             });
            }
            DeleteObject(bitmap);
        }
        provider->Release();
    }
    handler->Release();
    return result;
}

Thumbnail thumbnailOf(const std::vector<std::uint8_t>& bytes, UINT side) {
    IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    const Thumbnail result = thumbnailOf(stream, side);
    if (stream) stream->Release();
    return result;
}

// A stream that says it holds `claimed` bytes and fails every read after
// `goodBytes`: a file on a network drive that went away, or that lies.
class BrokenStream final : public IStream {
  public:
    BrokenStream(ULONGLONG claimed, ULONG goodBytes) : claimed_(claimed), good_(goodBytes) {}
    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream) ||
            IsEqualIID(riid, IID_ISequentialStream)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    IFACEMETHODIMP_(ULONG) Release() override { return --references_; }
    IFACEMETHODIMP Read(void* into, ULONG wanted, ULONG* read) override {
        const ULONG given = std::min(wanted, good_ - std::min(good_, position_));
        std::fill_n(static_cast<char*>(into), given, 'A');
        position_ += given;
        if (read) *read = given;
        return given > 0 ? S_OK : E_FAIL;
    }
    IFACEMETHODIMP Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    IFACEMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    IFACEMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP Revert() override { return E_NOTIMPL; }
    IFACEMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP Stat(STATSTG* stat, DWORD) override {
        *stat = {};
        stat->cbSize.QuadPart = claimed_;
        return S_OK;
    }
    IFACEMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
    ULONG references() const { return references_; }

  private:
    ULONGLONG claimed_;
    ULONG good_;
    ULONG position_ = 0;
    ULONG references_ = 1;
};

TEST_F(Provider, RegistersWhereNoOtherHandlerIsAndRemovesOnlyItsOwn) {
    const std::wstring ours = shell::kProviderClsidText;
    const struct {
        const char* name;
        std::wstring plantedKey;  // another program's handler, where it registered it
        std::wstring programType;  // the default value of .dwg
    } cases[] = {
        {"none", L"", L""},
        {"under .dwg", kClasses + L".dwg" + kHandlerKey, L""},
        {"under the program type", kClasses + L"AutoCAD.Drawing.24" + kHandlerKey,
         L"AutoCAD.Drawing.24"},
        {"under the system's associations", kClasses + L"SystemFileAssociations\\.dwg" + kHandlerKey,
         L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearClasses();
        if (!c.plantedKey.empty()) setValue(c.plantedKey, kAnotherHandler);
        if (!c.programType.empty()) setValue(kClasses + L".dwg", c.programType);

        ASSERT_EQ(dll.call("DllRegisterServer"), S_OK);
        EXPECT_TRUE(exists(kClasses + L"CLSID\\" + ours + L"\\InprocServer32"));
        const std::wstring atDwg = value(kClasses + L".dwg" + kHandlerKey);
        if (c.plantedKey.empty()) {
            EXPECT_EQ(atDwg, ours);
            EXPECT_EQ(shell::dwgHandler(), shell::DwgHandler::Ours);
        } else {
            EXPECT_EQ(value(c.plantedKey), kAnotherHandler);
            EXPECT_NE(atDwg, ours);
            EXPECT_EQ(shell::dwgHandler(), shell::DwgHandler::Another);
        }
        // Registered again, as an update does: the same.
        ASSERT_EQ(dll.call("DllRegisterServer"), S_OK);
        EXPECT_EQ(value(kClasses + L".dwg" + kHandlerKey), atDwg);

        ASSERT_EQ(dll.call("DllUnregisterServer"), S_OK);
        EXPECT_FALSE(exists(kClasses + L"CLSID\\" + ours));
        if (c.plantedKey.empty()) {
            EXPECT_FALSE(exists(kClasses + L".dwg"));  // nothing of ours left to stand over the machine's
        } else {
            EXPECT_EQ(value(c.plantedKey), kAnotherHandler);
        }
        if (!c.programType.empty()) {
            EXPECT_EQ(value(kClasses + L".dwg"), c.programType);
        }
    }
}

TEST_F(Provider, EverySampleGivesABitmapThroughCom) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    ASSERT_EQ(registerAsInstalled(dll), S_OK);
    int files = 0, bitmaps = 0, inked = 0;
    std::vector<long long> milliseconds;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(testsupport::samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        ++files;
        IStream* stream = nullptr;
        ASSERT_EQ(SHCreateStreamOnFileEx(entry.path().wstring().c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                         FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream),
                  S_OK);
        const auto start = std::chrono::steady_clock::now();
        const Thumbnail thumbnail = thumbnailOf(stream, 256);
        milliseconds.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
        stream->Release();
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(thumbnail.initialised, S_OK);
        if (FAILED(thumbnail.drawn)) continue;
        ++bitmaps;
        EXPECT_EQ(thumbnail.bits, 32);
        EXPECT_LE(std::max(thumbnail.width, thumbnail.height), 256);
        EXPECT_GE(std::min(thumbnail.width, thumbnail.height), 1);
        inked += thumbnail.ink;
    }
    ASSERT_GT(files, 100);
    // The drawings that draw nothing give none, or their blank preview.
    EXPECT_GE(bitmaps, files - 3);
    EXPECT_GE(inked, files - 3);
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("miniaturas por COM: %d de %d desenhos, mediana %lld ms, máximo %lld ms\n", bitmaps,
                files, milliseconds[milliseconds.size() / 2], milliseconds.back());
}

TEST_F(Provider, HostileFilesAndStreamsEndInABitmapOrAFailure) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    ASSERT_EQ(registerAsInstalled(dll), S_OK);
    for (const auto& file : testsupport::hostileFiles()) {
        SCOPED_TRACE(file.name);
        const Thumbnail thumbnail = thumbnailOf(file.bytes, 128);
        if (SUCCEEDED(thumbnail.drawn)) {
            EXPECT_LE(std::max(thumbnail.width, thumbnail.height), 128);
        }
    }
    const struct {
        const char* name;
        ULONGLONG claimed;
        ULONG good;
    } streams[] = {
        {"claims 4 GiB", ULONGLONG{4} << 30, 1000},
        {"fails after 13 bytes", 100000, 13},
        {"fails at once", 100000, 0},
        {"claims nothing, gives 40 MiB", 0, 40u << 20},
    };
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        BrokenStream stream(s.claimed, s.good);
        const Thumbnail thumbnail = thumbnailOf(&stream, 128);
        EXPECT_NE(thumbnail.initialised, S_OK);
        EXPECT_TRUE(FAILED(thumbnail.drawn));
        EXPECT_EQ(stream.references(), 1u);  // the provider kept no hold on it
    }
}

TEST_F(Provider, CallsOutOfOrderAreRefused) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    ASSERT_EQ(registerAsInstalled(dll), S_OK);
    IInitializeWithStream* handler = createHandler();
    ASSERT_NE(handler, nullptr);
    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(handler->QueryInterface(kThumbnailProviderIid, reinterpret_cast<void**>(&provider)), S_OK);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha;
    EXPECT_EQ(provider->GetThumbnail(64, &bitmap, &alpha), E_UNEXPECTED);  // not initialised
    EXPECT_EQ(provider->GetThumbnail(64, nullptr, &alpha), E_POINTER);
    EXPECT_EQ(handler->Initialize(nullptr, STGM_READ), E_POINTER);
    const std::vector<std::uint8_t> bytes =
        testsupport::fileBytes(testsupport::samplesFolder() / "R2000" / "libredwg_circle.dwg");
    IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    EXPECT_EQ(handler->Initialize(stream, STGM_READ), S_OK);
    EXPECT_EQ(handler->Initialize(stream, STGM_READ), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
    stream->Release();
    for (const UINT side : {0u, 1u, 100000u}) {
        ASSERT_EQ(provider->GetThumbnail(side, &bitmap, &alpha), S_OK) << side;
        BITMAP shown{};
        GetObjectW(bitmap, sizeof(shown), &shown);
        EXPECT_LE(std::max(shown.bmWidth, std::abs(shown.bmHeight)), 1024) << side;
        EXPECT_EQ(alpha, WTSAT_RGB);
        DeleteObject(bitmap);
    }
    // While an object lives the DLL stays; once none does it may go.
    EXPECT_EQ(dll.call("DllCanUnloadNow"), S_FALSE);
    provider->Release();
    handler->Release();
    EXPECT_EQ(dll.call("DllCanUnloadNow"), S_OK);
}

}  // namespace
