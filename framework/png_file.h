// Writing a GDI+ bitmap as a PNG file. Windows only.
#pragma once

#include <windows.h>

#include <gdiplus.h>

#include <string>

namespace corvane::vst {

// GDI+'s PNG encoder; false when there is none.
bool pngEncoder(CLSID& clsid);

// path: UTF-8. False when there is no PNG encoder or the file cannot be written.
bool savePng(Gdiplus::Bitmap& bitmap, const std::string& path);

}  // namespace corvane::vst
