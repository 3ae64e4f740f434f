// Writing a GDI+ bitmap as a PNG file.
#pragma once

#include "gdiplus_api.h"

#include <string>

namespace corvane::vst {

#if defined(_WIN32)
// GDI+'s PNG encoder; false when there is none.
bool pngEncoder(CLSID& clsid);
#endif

// path: UTF-8. False when there is no PNG encoder or the file cannot be written.
bool savePng(Gdiplus::Bitmap& bitmap, const std::string& path);

}  // namespace corvane::vst
