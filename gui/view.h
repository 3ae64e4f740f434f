// A rectangle of the frame that draws itself and may take the mouse and keys. Views are
// reference counted: the frame holds one reference of each view added to it. Portable.
#pragma once

#include "base_object.h"
#include "events.h"
#include "geometry.h"

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class CFrame;

class CView : public CBaseObject {
  public:
    explicit CView(const CRect& size);
    ~CView() override;

    // Draws the background bitmap (the disabled one while the mouse is disabled, if set) and
    // clears the dirty flag.
    virtual void draw(CDrawContext* context);

    // Marks the view's rectangle for redrawing and clears the dirty flag.
    virtual void invalid();
    virtual void invalidRect(const CRect& rect);
    virtual void setDirty(bool value = true) { dirty = value; }
    virtual bool isDirty() const { return dirty; }

    const CRect& getViewSize() const { return size; }
    // doInvalid: the new rectangle is redrawn. The mouse area stays as it is.
    virtual void setViewSize(const CRect& rect, bool doInvalid = true);
    CCoord getWidth() const { return size.getWidth(); }
    CCoord getHeight() const { return size.getHeight(); }

    // Where the view takes the mouse; the view's rectangle at construction.
    const CRect& getMouseableArea() const { return mouseableArea; }
    void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual bool hitTest(const CPoint& where) const { return mouseableArea.pointInside(where); }

    void setMouseEnabled(bool enabled);
    bool getMouseEnabled() const { return mouseEnabled; }
    void setWantsFocus(bool wants) { wantsFocus = wants; }
    bool getWantsFocus() const { return wantsFocus; }

    // The view keeps a reference of the bitmap; null removes it.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    void setDisabledBackground(CBitmap* bitmap);
    CBitmap* getDisabledBackground() const { return disabledBackground; }

    // Points are in frame coordinates. kMouseEventHandled on a mouse-down asks for the moves
    // and the release that follow.
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    // A drag ended without a release (the window lost the mouse).
    virtual CMouseEventResult onMouseCancel();
    // distance: wheel steps, positive away from the user. True when handled.
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    // 1 when handled, -1 when not.
    virtual int32_t onKeyDown(VstKeyCode& key);
    virtual int32_t onKeyUp(VstKeyCode& key);

    // The view no longer gets the keys: another view took the focus, or the window lost the
    // keyboard.
    virtual void looseFocus() {}
    // True for a view that gives up the focus when the user clicks anywhere outside it (a text
    // field); others keep it until another view takes it.
    virtual bool wantsFocusLossOnClickOutside() const { return false; }

    CFrame* getFrame() const { return parentFrame; }
    // Called by the frame when it adds or removes the view.
    virtual void attached(CFrame* frame) { parentFrame = frame; }
    virtual void removed() { parentFrame = nullptr; }

  private:
    CRect size;
    CRect mouseableArea;
    bool dirty = false;
    bool mouseEnabled = true;
    bool wantsFocus = false;
    CBitmap* background = nullptr;
    CBitmap* disabledBackground = nullptr;
    CFrame* parentFrame = nullptr;
};

}  // namespace VSTGUI
