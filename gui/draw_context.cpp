#include "draw_context.h"

namespace VSTGUI {
namespace {

CRect bitmapRect(Gdiplus::Bitmap* bitmap) {
    if (!bitmap)
        return {};
    return {0, 0, static_cast<CCoord>(bitmap->GetWidth()),
            static_cast<CCoord>(bitmap->GetHeight())};
}

std::unique_ptr<Gdiplus::Graphics> usable(Gdiplus::Graphics* graphics) {
    std::unique_ptr<Gdiplus::Graphics> owned(graphics);
    if (owned && owned->GetLastStatus() != Gdiplus::Ok)
        owned.reset();
    return owned;
}

Gdiplus::RectF toRectF(const CRect& rect) {
    return {static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
            static_cast<Gdiplus::REAL>(rect.getWidth()),
            static_cast<Gdiplus::REAL>(rect.getHeight())};
}

}  // namespace

GdiplusDrawContext::GdiplusDrawContext(Gdiplus::Bitmap* bitmap, double scale)
    : CDrawContext(bitmapRect(bitmap)),
      graphics(usable(bitmap ? Gdiplus::Graphics::FromImage(bitmap) : nullptr)) {
    scaleFactor = scale;
    resetTransform();
}

#if defined(_WIN32)
GdiplusDrawContext::GdiplusDrawContext(HDC dc, const CRect& surface, double scale)
    : CDrawContext(surface), graphics(usable(dc ? new Gdiplus::Graphics(dc) : nullptr)) {
    scaleFactor = scale;
    resetTransform();
}
#endif

void GdiplusDrawContext::resetTransform() {
    if (!graphics)
        return;
    graphics->ResetTransform();
    if (scaleFactor != 1.0) {
        const auto f = static_cast<Gdiplus::REAL>(scaleFactor);
        graphics->ScaleTransform(f, f);
    }
}

void GdiplusDrawContext::setClipRect(const CRect& clip) {
    if (graphics)
        graphics->SetClip(toRectF(clip));
}

void GdiplusDrawContext::fillRect(const CRect& rect, const CColor& color) {
    if (!graphics)
        return;
    Gdiplus::SolidBrush brush(Gdiplus::Color(color.alpha, color.red, color.green, color.blue));
    graphics->FillRectangle(&brush, toRectF(rect));
}

}  // namespace VSTGUI
