// Widgets that paint themselves straight into GDI+ rather than through the toolkit's context.
//
#pragma once

#include "gdiplus_api.h"

#include <map>
#include <string>

#include "bitmap.h"
#include "draw_context.h"
#include "properties.h"
#include "view.h"

namespace corvane::vst {

class IDrawable {
  public:
    // Draws the widget in the coordinates its view rectangle is given in. The caller has saved
    // the graphics state and restores it afterwards.
    virtual void drawGdiplus(Gdiplus::Graphics* graphics) = 0;

  protected:
    ~IDrawable() = default;
};

// What every drawable draws with: antialiased, blending over what is there, and pixel centres at
// .5, so that edges at whole coordinates fall between pixels and stay crisp instead of half
// covering two.
inline void setDrawingModes(Gdiplus::Graphics& graphics) {
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
}

// A view's draw for a drawable: the background bitmap (the disabled one while the mouse is
// disabled, if there is one), then, on a GDI+ context only, drawGdiplus between a save and a
// restore of the graphics state. On any other context the view stays dirty. Nothing thrown
// while drawing leaves here: a widget that fails to draw must not take the frame's painting
// down with it.
template <class View>
void drawThroughGdiplus(View& view, IDrawable& drawable, VSTGUI::CDrawContext* context,
                        const VSTGUI::CPoint& backgroundOffset, bool resetTransform) {
    VSTGUI::CBitmap* background = view.getBackground();
    if (!view.getMouseEnabled() && view.getDisabledBackground())
        background = view.getDisabledBackground();
    if (background)
        background->draw(context, view.getViewSize(), backgroundOffset, 1.f);

    auto* gdiplus = dynamic_cast<VSTGUI::GdiplusDrawContext*>(context);
    Gdiplus::Graphics* graphics = gdiplus ? gdiplus->getGraphics() : nullptr;
    if (!graphics)
        return;
    const Gdiplus::GraphicsState state = graphics->Save();
    if (resetTransform)
        gdiplus->resetTransform();  // the display scale stays
    try {
        drawable.drawGdiplus(graphics);
    } catch (...) {
        // What was drawn stays; the rest of the frame still paints.
    }
    graphics->Restore(state);
    view.setDirty(false);
}

// Registers one of a widget's properties under its name, attaches the listener and assigns the
// property its starting value again, so that the listener runs once for it while the widget is
// being built.
template <class P, class Listener>
void addProperty(std::map<std::string, Property*>& properties, const char* name, P& property,
                 const Listener& listener) {
    properties[name] = &property;
    property.addListener(listener);
    property.set(property.get());
}

}  // namespace corvane::vst
