#include "resource_cache.h"

#include <cstring>
#include <stdexcept>

#include "resource_registry.h"

namespace corvane::vst {

ResourceCache::ResourceCache(const ResourceRegistry& registry)
    : ResourceCache([&registry](const std::string& name) { return registry.loadResource(name); }) {}

ResourceCache::ResourceCache(Loader loader) : loader(std::move(loader)) {}

std::shared_ptr<Gdiplus::FontFamily> ResourceCache::getFontFamily(const std::string& name) {
    if (const auto cached = fonts.find(name); cached != fonts.end()) {
        return cached->second.family;
    }
    Font font;
    font.bytes = std::make_shared<std::vector<unsigned char>>(loader(name));
    auto collection = std::make_shared<Gdiplus::PrivateFontCollection>();
    const bool added = !font.bytes->empty() &&
                       collection->AddMemoryFont(
                           font.bytes->data(), static_cast<INT>(font.bytes->size())) == Gdiplus::Ok;
    if (added) {
        Gdiplus::FontFamily family;
        INT found = 0;
        if (collection->GetFamilies(1, &family, &found) == Gdiplus::Ok && found == 1) {
            font.collection = collection;
            font.family = std::shared_ptr<Gdiplus::FontFamily>(family.Clone());
        }
    }
    if (!font.family) {
        font = Font{};  // remembered as a failure; the bytes are not kept
    }
    return fonts.emplace(name, std::move(font)).first->second.family;
}

std::shared_ptr<Gdiplus::Bitmap> ResourceCache::getImage(const std::string& name) {
    if (const auto cached = images.find(name); cached != images.end()) {
        return cached->second;
    }
    const std::vector<unsigned char> bytes = loader(name);
    std::shared_ptr<Gdiplus::Bitmap> image;
    if (!bytes.empty()) {
        image = decodeImage(bytes);
    } else {
        if (!fallbackLoaded) {
            fallbackLoaded = true;
            const std::vector<unsigned char> fallback = loader(kFallbackImage);
            if (!fallback.empty()) {
                fallbackImage = decodeImage(fallback);
            }
        }
        image = fallbackImage;
    }
    images.emplace(name, image);
    return image;
}

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
