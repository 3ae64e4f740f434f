#include "bitmap.h"

#include <algorithm>

#include "draw_context.h"

namespace VSTGUI {

CCoord CBitmap::getWidth() const {
    return image ? image->GetWidth() : 0;
}
CCoord CBitmap::getHeight() const {
    return image ? image->GetHeight() : 0;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset,
                   float alpha) const {
    auto* gdiplus = dynamic_cast<GdiplusDrawContext*>(context);
    if (!image || !gdiplus || !gdiplus->getGraphics())
        return;
    const Gdiplus::REAL opacity = std::clamp(alpha, 0.f, 1.f);
    Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                    {0, 1, 0, 0, 0},
                                    {0, 0, 1, 0, 0},
                                    {0, 0, 0, opacity, 0},
                                    {0, 0, 0, 0, 1}}};
    Gdiplus::ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix);
    const Gdiplus::RectF target(
        static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
        static_cast<Gdiplus::REAL>(rect.getWidth()), static_cast<Gdiplus::REAL>(rect.getHeight()));
    gdiplus->getGraphics()->DrawImage(image.get(), target, static_cast<Gdiplus::REAL>(offset.x),
                                      static_cast<Gdiplus::REAL>(offset.y), target.Width,
                                      target.Height, Gdiplus::UnitPixel, &attributes);
}

}  // namespace VSTGUI
