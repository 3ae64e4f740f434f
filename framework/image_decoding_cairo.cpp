// Image bytes decoded by the drawing layer (PNG, through cairo). Linux only.
#include <stdexcept>

#include "resource_cache.h"

namespace corvane::vst {

std::shared_ptr<Gdiplus::Bitmap> ResourceCache::decodeImage(
    const std::vector<unsigned char>& bytes) {
    std::shared_ptr<Gdiplus::Bitmap> bitmap = Gdiplus::Cairo::decodePng(bytes.data(), bytes.size());
    if (!bitmap || bitmap->GetWidth() == 0 || bitmap->GetHeight() == 0)
        throw std::runtime_error("image: the bytes are not an image GDI+ can decode");
    return bitmap;
}

}  // namespace corvane::vst
