// Fonts and bitmaps made from named resource bytes, once per name, for one open editor.
// Misses are remembered too: a font GDI+ rejects stays null, an unknown image gives the fallback
// image, and neither is loaded again. User-interface thread only; GDI+ must be running.
#pragma once

#include "gdiplus_api.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvane::vst {

class ResourceRegistry;

class ResourceCache {
  public:
    using Loader = std::function<std::vector<unsigned char>(const std::string& name)>;

    // The image shown for a name that names no image.
    static constexpr const char* kFallbackImage = "images/fallback.png";

    // Loads from `registry` (which must outlive the cache).
    explicit ResourceCache(const ResourceRegistry& registry);
    explicit ResourceCache(Loader loader);

    // The family of the font resource `name`, or null when GDI+ cannot use its bytes.
    std::shared_ptr<Gdiplus::FontFamily> getFontFamily(const std::string& name);

    // The image resource `name` as a 32-bit premultiplied ARGB bitmap; the fallback image
    // (possibly null) for a name without bytes. Bytes that are no image throw
    // std::runtime_error, and nothing is remembered for the name.
    std::shared_ptr<Gdiplus::Bitmap> getImage(const std::string& name);

    // Decodes image bytes as getImage does.
    static std::shared_ptr<Gdiplus::Bitmap> decodeImage(const std::vector<unsigned char>& bytes);

  private:
    struct Font {
        std::shared_ptr<std::vector<unsigned char>> bytes;  // GDI+ may read them while in use
        std::shared_ptr<Gdiplus::PrivateFontCollection> collection;
        std::shared_ptr<Gdiplus::FontFamily> family;
    };

    Loader loader;
    std::map<std::string, std::shared_ptr<Gdiplus::Bitmap>> images;
    std::shared_ptr<Gdiplus::Bitmap> fallbackImage;
    bool fallbackLoaded = false;
    std::map<std::string, Font> fonts;
};

}  // namespace corvane::vst
