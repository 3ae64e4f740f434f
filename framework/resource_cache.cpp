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

}  // namespace corvane::vst
