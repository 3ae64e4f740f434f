// Writing a bitmap as a PNG file through the drawing layer (cairo). Linux only.
#include "png_file.h"

namespace corvane::vst {

bool savePng(Gdiplus::Bitmap& bitmap, const std::string& path) {
    return !path.empty() && Gdiplus::Cairo::savePng(bitmap, path.c_str());
}

}  // namespace corvane::vst
