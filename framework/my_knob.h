// The editor's rotary control: CKnob's editing with a face drawn in GDI+ (tick marks, a soft
// drop shadow, an image cap with a tint, and a glowing pointer). Every measure and colour is a
// property the layout sets by name. User-interface thread only.
//
// Angles are degrees, 0 straight up, growing clockwise. The pointer and its glow are rendered
// once, at angle 0, into pointerCache and only rotated when the value changes: the blur is the
// expensive part. Geometry and pointer properties discard the cache.
#pragma once

#include "gdiplus_api.h"

#include <picojson.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drawable.h"
#include "knob.h"
#include "properties.h"
#include "property_target.h"
#include "resource_cache.h"
#include "tick_mark.h"

namespace corvane::vst {

class MyKnob : public VSTGUI::CKnob, public IDrawable, public IPropertyTarget {
  public:
    using TickMark = corvane::vst::TickMark;
    using TickMarkProperty = corvane::vst::TickMarkProperty;

    static constexpr const char* kDefaultCapImage = "images/knob-cap.png";

    // Four 32-bit floats per pixel in the bitmap's memory order (B, G, R, A, premultiplied),
    // row after row, 0..1 for 0..255.
    struct FloatImage {
        int width = 0;
        int height = 0;
        std::vector<float> pixels;
    };

    // resourceCache: not owned, may be null (then the cap shows its tint only); must outlive
    // the knob.
    MyKnob(const VSTGUI::CPoint& center, VSTGUI::IControlListener* listener, int32_t tag,
           ResourceCache* resourceCache);
    ~MyKnob() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void setProperty(const std::string& name, const picojson::value& value) override;
    void drawGdiplus(Gdiplus::Graphics* graphics) override;

    // The pointer and its glow at angle 0, as large as the view at the display scale it was
    // last drawn at; null until the next drawing after a geometry or pointer change.
    Gdiplus::Bitmap* getPointerCache() const { return pointerCache.get(); }

    // A blurred, amplified copy of `source` (premultiplied ARGB, same size): `passes` box
    // blurs of `radius`, then every channel times `gain`, clamped to 0..1.
    static std::unique_ptr<Gdiplus::Bitmap> makeGlow(Gdiplus::Bitmap& source, int radius,
                                                     double gain, int passes);
    // Every column, then every row, becomes its moving average over 2 * radius + 1 samples;
    // samples outside the image count as 0. Channels are separate; sums are in double.
    static void boxBlurPass(FloatImage& image, int radius);

  private:
    void updateGeometry();
    void discardPointer();
    void renderPointer(double scale);
    void drawTickMarks(Gdiplus::Graphics* graphics) const;
    void drawShadow(Gdiplus::Graphics* graphics) const;
    void drawCap(Gdiplus::Graphics* graphics);
    // The cap's image filtered once onto a disc of the cap's size at the display scale; null
    // without an image.
    void renderCap(double scale);
    void drawPointer(Gdiplus::Graphics* graphics);

    // Declared in the order the constructor registers them.
    DoubleProperty startAngle{-120};
    DoubleProperty endAngle{120};
    ArrayProperty<TickMarkProperty> tickMarks;
    DoubleProperty shadowRadius{40};
    ColorProperty shadowCenterColor{Gdiplus::Color(0xFF000000)};
    ColorProperty shadowEdgeColor{Gdiplus::Color(0x00000000)};
    DoubleProperty capRadius{28};
    DoubleProperty pointerInnerRadius{15};
    DoubleProperty pointerOuterRadius{24};
    DoubleProperty glowRadius{3};
    DoubleProperty glowGain{1};
    IntProperty glowPasses{3};
    ColorProperty capTintColor{Gdiplus::Color(0x20FFFFFF)};
    ColorProperty pointerColor{Gdiplus::Color(0xFF59DBDF)};
    ColorProperty pointerOutlineColor{Gdiplus::Color(0x50000000)};
    StringProperty capImage{kDefaultCapImage};
    DoubleProperty hitRadius{40};
    DoubleProperty viewRadius{40};
    PointProperty center;

    std::map<std::string, Property*> properties;  // not owning
    ResourceCache* resourceCache;                 // not owning
    std::unique_ptr<Gdiplus::Bitmap> pointerCache;
    double pointerScale = 1.0;  // device pixels per unit of pointerCache
    std::unique_ptr<Gdiplus::Bitmap> capCache;
    double capScale = 0.0;  // device pixels per unit of capCache; 0: to be made
};

}  // namespace corvane::vst
