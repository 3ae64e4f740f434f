#include "png_file.h"

#include <vector>

namespace corvane::vst {
namespace {

std::wstring widePath(const std::string& path) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(),
                        length);
    return wide;
}

}  // namespace

bool pngEncoder(CLSID& clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

bool savePng(Gdiplus::Bitmap& bitmap, const std::string& path) {
    CLSID png{};
    if (path.empty() || !pngEncoder(png))
        return false;
    return bitmap.Save(widePath(path).c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace corvane::vst
