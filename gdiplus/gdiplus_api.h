// The drawing API of the widgets: GDI+ on Windows; elsewhere the same names, served by cairo
// and FreeType (gdiplus_cairo.h).
#pragma once

#if defined(_WIN32)
#include <windows.h>

#include <gdiplus.h>
#else
#include "gdiplus_cairo.h"
#endif
