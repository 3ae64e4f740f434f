// Where views draw. CDrawContext is the drawing surface the frame hands to every view;
// GdiplusDrawContext is the one that exists here: a GDI+ graphics object on a window's back
// buffer or on an offscreen bitmap (on Linux the GDI+ names are served by cairo, see gdiplus/).
// Portable.
#pragma once

#include "gdiplus_api.h"

#include <memory>

#include "geometry.h"

namespace VSTGUI {

class CDrawContext {
  public:
    explicit CDrawContext(const CRect& surface) : surface(surface) {}
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;
    virtual ~CDrawContext() = default;

    const CRect& getSurfaceRect() const { return surface; }
    // Device pixels per unit of the coordinates views draw in (the display scale).
    double getScaleFactor() const { return scaleFactor; }

    // Drawing outside `clip` (frame coordinates) changes nothing; the whole surface by default.
    virtual void setClipRect(const CRect& clip) = 0;
    virtual void fillRect(const CRect& rect, const CColor& color) = 0;

  protected:
    double scaleFactor = 1.0;

  private:
    CRect surface;
};

class GdiplusDrawContext : public CDrawContext {
  public:
    // Draws into `bitmap` (not owned; must outlive the context). `scale`: device pixels per
    // unit; views draw in units and the graphics' world transform scales them.
    explicit GdiplusDrawContext(Gdiplus::Bitmap* bitmap, double scale = 1.0);
#if defined(_WIN32)
    // Draws into a device context of the given size in pixels (e.g. a window's back buffer).
    GdiplusDrawContext(HDC dc, const CRect& surface, double scale = 1.0);
#endif

    // The world transform of the display scale alone, as the context starts with.
    void resetTransform();

    // Null when GDI+ could not make a graphics object for the surface.
    Gdiplus::Graphics* getGraphics() const { return graphics.get(); }

    void setClipRect(const CRect& clip) override;
    void fillRect(const CRect& rect, const CColor& color) override;

  private:
    std::unique_ptr<Gdiplus::Graphics> graphics;
};

}  // namespace VSTGUI
