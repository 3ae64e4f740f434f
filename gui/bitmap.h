// An image a view can show as its background. Portable.
#pragma once

#include "gdiplus_api.h"

#include <memory>

#include "base_object.h"
#include "geometry.h"

namespace VSTGUI {

class CDrawContext;

class CBitmap : public CBaseObject {
  public:
    explicit CBitmap(std::shared_ptr<Gdiplus::Bitmap> image) : image(std::move(image)) {}

    CCoord getWidth() const;
    CCoord getHeight() const;
    Gdiplus::Bitmap* getImage() const { return image.get(); }

    // Draws the part of the image that starts at `offset` into `rect`, at opacity `alpha`
    // (0..1). Draws nothing on a context without GDI+.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(),
              float alpha = 1.f) const;

  private:
    std::shared_ptr<Gdiplus::Bitmap> image;
};

}  // namespace VSTGUI
