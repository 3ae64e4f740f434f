// A rotary control. Dragging, the wheel, the arrow keys and Control+click edit its value; what it
// looks like is up to subclasses (this one draws only its background bitmap). Portable.
//
// Angles are in radians, clockwise from the positive x axis (y grows downward); the value v
// (0..1 of the range) points at start + v * range. Drags are linear (200 px of right+up movement
// span the range, Shift multiplies that by the zoom factor, Shift+Control makes each pixel one
// fine step) or circular (the value follows the
// mouse's angle around the view's centre), as the frame's knob mode says; Alt swaps the two for
// one drag. The relative circular mode drags circularly.
#pragma once

#include "control.h"

namespace VSTGUI {

class CKnob : public CControl {
  public:
    static constexpr float kLinearRange = 200.f;  // pixels for the whole range

    // background and handle: optional; the knob keeps a reference of each.
    CKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
          CBitmap* handle, const CPoint& offset = CPoint());
    ~CKnob() override;

    void setStartAngle(float radians) { startAngle = radians; }
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float radians) { rangeAngle = radians; }
    float getRangeAngle() const { return rangeAngle; }
    void setZoomFactor(float factor) { zoomFactor = factor; }
    // The fine step, a part of the range (0 for none): Control with the wheel or an arrow key
    // moves the value to the next multiple of it, and a drag with Shift+Control moves the value
    // by one step per pixel.
    void setFineStep(float step) { fineStep = step; }
    float getFineStep() const { return fineStep; }
    float getZoomFactor() const { return zoomFactor; }
    const CPoint& getOffset() const { return offset; }
    CBitmap* getHandleBitmap() const { return handle; }

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;

    // The value the angle of `point` (relative to the view's top-left) stands for; points beyond
    // either end of the scale give that end.
    float valueFromPoint(const CPoint& point) const;

  private:
    // One step of the wheel or the arrow keys; a tenth with Shift, the fine step with Control.
    // Reported as a whole edit.
    void step(float distance, int32_t modifiers);
    int32_t dragMode(const CButtonState& buttons) const;
    bool fineDrag(const CButtonState& buttons) const;
    // Pixels of linear movement for the whole range with these buttons held.
    float linearRange(const CButtonState& buttons) const;

    float startAngle;
    float rangeAngle;
    float zoomFactor = 1.5f;
    float fineStep = 0.f;
    CPoint offset;
    CBitmap* handle;

    struct Drag {
        CPoint firstPoint;
        CPoint lastPoint;
        float valueAtDown = 0.f;
        float entryState = 0.f;  // linear: the value at zero movement
        float range = kLinearRange;
        float coef = 0.f;        // value per pixel
        float startValue = 0.f;  // circular: the last value accepted
        CButtonState oldButtons;
        bool linear = false;
    } drag;
};

}  // namespace VSTGUI
