// Image bytes decoded by GDI+ (through a COM stream over a copy of them). Windows only.
#include <cstring>
#include <stdexcept>

#include "resource_cache.h"

namespace corvane::vst {

namespace {

// Owns what decoding borrows from Win32 and COM, released on every exit.
struct DecodeScope {
    HGLOBAL memory = nullptr;
    IStream* stream = nullptr;
    ~DecodeScope() {
        if (stream)
            stream->Release();
        if (memory)
            GlobalFree(memory);
    }
};

}  // namespace

std::shared_ptr<Gdiplus::Bitmap> ResourceCache::decodeImage(
    const std::vector<unsigned char>& bytes) {
    DecodeScope scope;
    scope.memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!scope.memory) {
        throw std::runtime_error("image: no memory for the image bytes");
    }
    void* target = GlobalLock(scope.memory);
    if (!target) {
        throw std::runtime_error("image: no memory for the image bytes");
    }
    std::memcpy(target, bytes.data(), bytes.size());
    GlobalUnlock(scope.memory);
    if (CreateStreamOnHGlobal(scope.memory, FALSE, &scope.stream) != S_OK || !scope.stream) {
        throw std::runtime_error("image: no stream over the image bytes");
    }
    Gdiplus::Image source(scope.stream);
    const UINT width = source.GetLastStatus() == Gdiplus::Ok ? source.GetWidth() : 0;
    const UINT height = source.GetLastStatus() == Gdiplus::Ok ? source.GetHeight() : 0;
    auto bitmap = std::make_shared<Gdiplus::Bitmap>(
        static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppPARGB);
    if (width == 0 || height == 0 || bitmap->GetLastStatus() != Gdiplus::Ok) {
        throw std::runtime_error("image: the bytes are not an image GDI+ can decode");
    }
    Gdiplus::Graphics graphics(bitmap.get());
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    graphics.DrawImage(&source, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
    return bitmap;
}

}  // namespace corvane::vst
