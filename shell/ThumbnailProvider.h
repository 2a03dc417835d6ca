// The thumbnail of a DWG file for Explorer: a COM object that Explorer
// initialises with the file's stream and asks for a bitmap of a size. It
// runs inside Explorer, so it reads at most a bounded part of the stream,
// draws on a thread of its own with a deadline, and lets no failure or
// exception out: a file it cannot picture gets the file's usual icon.
#pragma once

#include <propsys.h>
#include <thumbcache.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace shell {

class ThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
  public:
    ThumbnailProvider();
    ThumbnailProvider(const ThumbnailProvider&) = delete;
    ThumbnailProvider& operator=(const ThumbnailProvider&) = delete;

    // IUnknown
    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override;
    IFACEMETHODIMP_(ULONG) AddRef() override;
    IFACEMETHODIMP_(ULONG) Release() override;
    // IInitializeWithStream: reads the file, once.
    IFACEMETHODIMP Initialize(IStream* stream, DWORD mode) override;
    // IThumbnailProvider: a 32-bit top-down bitmap, at most side x side.
    IFACEMETHODIMP GetThumbnail(UINT side, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) override;

  private:
    ~ThumbnailProvider();

    LONG references_ = 1;
    bool initialised_ = false;
    std::vector<std::uint8_t> file_;
};

// Objects alive and locks held, for DllCanUnloadNow.
LONG liveObjects();
void addObject();
void removeObject();

}  // namespace shell
