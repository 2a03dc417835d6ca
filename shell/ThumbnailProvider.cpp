#include "ThumbnailProvider.h"

#include <PictureJob.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace shell {
namespace {

std::atomic<LONG> objects{0};

// MinGW's uuid library lacks it: {E357FCCD-A995-4576-B01F-234630154E96}.
constexpr IID kThumbnailProviderIid = {
    0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};

// The drawing runs on a thread of its own with a stack of this size: the
// reader and renderer bound their depth, and Explorer's threads may have
// less stack than a program's main thread.
constexpr SIZE_T kWorkerStack = SIZE_T{16} << 20;

DWORD WINAPI runJob(void* job) {
    static_cast<thumbnailer::PictureJob*>(job)->run();
    return 0;
}

// The stream's bytes, at most `limit`; false when it says or holds more, or
// cannot be read.
bool readAtMost(IStream* stream, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    STATSTG stat{};
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && stat.cbSize.QuadPart > limit)
        return false;
    constexpr ULONG kChunk = 1u << 20;
    for (;;) {
        if (bytes.size() > limit) return false;
        const std::size_t had = bytes.size();
        bytes.resize(had + kChunk);
        ULONG read = 0;
        const HRESULT result = stream->Read(bytes.data() + had, kChunk, &read);
        bytes.resize(had + std::min<ULONG>(read, kChunk));
        if (FAILED(result)) return false;
        if (read == 0 || result == S_FALSE) return bytes.size() <= limit;
    }
}

HBITMAP toBitmap(const render::Picture& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // rows from the top, as the picture's
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return nullptr;
    // 0xFFRRGGBB words are B, G, R, A in memory: the layout of a 32-bit DIB.
    std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
    return bitmap;
}

}  // namespace

LONG liveObjects() { return objects.load(); }
void addObject() { ++objects; }
void removeObject() { --objects; }

ThumbnailProvider::ThumbnailProvider() { addObject(); }
ThumbnailProvider::~ThumbnailProvider() { removeObject(); }

IFACEMETHODIMP ThumbnailProvider::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInitializeWithStream))
        *object = static_cast<IInitializeWithStream*>(this);
    else if (IsEqualIID(riid, kThumbnailProviderIid))
        *object = static_cast<IThumbnailProvider*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

IFACEMETHODIMP_(ULONG) ThumbnailProvider::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

IFACEMETHODIMP_(ULONG) ThumbnailProvider::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
}

IFACEMETHODIMP ThumbnailProvider::Initialize(IStream* stream, DWORD) {
    if (!stream) return E_POINTER;
    if (initialised_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    initialised_ = true;
    try {
        if (!readAtMost(stream, thumbnailer::PictureLimits{}.maxFileBytes, file_)) {
            file_.clear();
            file_.shrink_to_fit();
            return E_FAIL;
        }
        return S_OK;
    } catch (...) {
        file_.clear();
        return E_OUTOFMEMORY;
    }
}

IFACEMETHODIMP ThumbnailProvider::GetThumbnail(UINT side, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) {
    if (!bitmap || !alpha) return E_POINTER;
    *bitmap = nullptr;
    *alpha = WTSAT_UNKNOWN;
    if (!initialised_) return E_UNEXPECTED;
    if (file_.empty()) return E_FAIL;
    try {
        const int asked = side > UINT(thumbnailer::kMaxSide) ? thumbnailer::kMaxSide : int(side);
        thumbnailer::PictureJob job(file_, asked);
        HANDLE worker = CreateThread(nullptr, kWorkerStack, runJob, &job,
                                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (!worker) return E_OUTOFMEMORY;
        const render::Picture picture = job.waitFor();
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
        if (picture.pixels.empty()) return E_FAIL;
        *bitmap = toBitmap(picture);
        if (!*bitmap) return E_OUTOFMEMORY;
        *alpha = WTSAT_RGB;
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace shell
