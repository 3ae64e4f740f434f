#include "knob.h"

#include <cmath>

#include "bitmap.h"
#include "frame.h"

namespace VSTGUI {
namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

CKnob::CKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
             CBitmap* handle, const CPoint& offset)
    : CControl(size, listener, tag),
      startAngle(static_cast<float>(3 * kPi / 4)),
      rangeAngle(static_cast<float>(3 * kPi / 2)),
      offset(offset),
      handle(handle) {
    if (handle)
        handle->remember();
    setBackground(background);
    setWantsFocus(true);
    setDirty(false);
}

CKnob::~CKnob() {
    if (handle)
        handle->forget();
}

int32_t CKnob::dragMode(const CButtonState& buttons) const {
    const int32_t frameMode = getFrame() ? getFrame()->getKnobMode() : kCircularMode;
    const bool linear = frameMode == kLinearMode;
    return (linear != ((buttons & kAlt) != 0)) ? kLinearMode : kCircularMode;
}

bool CKnob::fineDrag(const CButtonState& buttons) const {
    return fineStep > 0.f && (buttons & kShift) && (buttons & kControl);
}

float CKnob::linearRange(const CButtonState& buttons) const {
    if (fineDrag(buttons))
        return 1.f / fineStep;
    return (buttons & kZoomModifier) ? kLinearRange * zoomFactor : kLinearRange;
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton())
        return kMouseEventNotHandled;
    // A click that restores the default is an edit of its own, and none when nothing changes.
    if (checkDefaultValue(buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    drag.firstPoint = where;
    drag.lastPoint = where;
    drag.valueAtDown = value;
    drag.entryState = value;
    drag.range = linearRange(buttons);
    drag.oldButtons = buttons;
    // Fine steps are distances: such a drag is linear whatever the mode.
    drag.linear = fineDrag(buttons) || dragMode(buttons) == kLinearMode;
    if (!drag.linear) {
        drag.startValue =
            valueFromPoint(CPoint(where).offset(-getViewSize().left, -getViewSize().top));
    }
    drag.coef = getRange() / drag.range;
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !isEditing())
        return kMouseEventNotHandled;
    auto movement = [&](const CPoint& point) {
        return (drag.firstPoint.y - point.y) + (point.x - drag.firstPoint.x);
    };
    if (drag.linear && buttons != drag.oldButtons) {
        // Shift or Control pressed or released: the value stays where the mouse was then and
        // goes on at the new speed.
        drag.range = linearRange(buttons);
        const float coef = getRange() / drag.range;
        drag.entryState += static_cast<float>(movement(drag.lastPoint) * (drag.coef - coef));
        drag.coef = coef;
        drag.oldButtons = buttons;
    }
    if (where == drag.lastPoint)
        return kMouseEventHandled;
    drag.lastPoint = where;
    const float before = value;
    if (drag.linear) {
        value = static_cast<float>(drag.entryState + movement(where) * drag.coef);
        bounceValue();
    } else {
        value = valueFromPoint(CPoint(where).offset(-getViewSize().left, -getViewSize().top));
        const float half = getRange() * 0.5f;
        // A jump across more than half the scale is the mouse passing the gap between the
        // ends: hold the end it came from.
        if (drag.startValue - value > half)
            value = getMax();
        else if (value - drag.startValue > half)
            value = getMin();
        else
            drag.startValue = value;
    }
    if (value != before) {
        setDirty();
        valueChanged();
    }
    if (isDirty())
        invalid();
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (isEditing())
        endEdit();
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseCancel() {
    if (!isEditing())
        return kMouseEventNotHandled;
    if (value != drag.valueAtDown) {
        value = drag.valueAtDown;
        valueChanged();
        invalid();
    }
    endEdit();
    return kMouseEventHandled;
}

void CKnob::step(float distance, int32_t modifiers) {
    const float before = value;
    if ((modifiers & kControl) && fineStep > 0.f) {
        // Onto the grid of fine steps first, so that steps from a typed value stay round.
        const double steps = std::round(double(getValueNormalized()) / fineStep);
        const double moved = steps + (distance > 0 ? 1 : distance < 0 ? -1 : 0);
        setValueNormalized(static_cast<float>(moved * fineStep));
    } else {
        float normalized = getValueNormalized();
        normalized += ((modifiers & kZoomModifier) ? 0.1f : 1.f) * distance * getWheelInc();
        setValueNormalized(normalized);
    }
    if (value != before) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
}

bool CKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (!getMouseEnabled())
        return false;
    step(distance, buttons.getModifierState());
    return true;
}

int32_t CKnob::onKeyDown(VstKeyCode& key) {
    float distance = 0.f;
    switch (key.virt) {
        case VKEY_UP:
        case VKEY_RIGHT:
            distance = 1.f;
            break;
        case VKEY_DOWN:
        case VKEY_LEFT:
            distance = -1.f;
            break;
        default:
            return -1;
    }
    if (!getMouseEnabled())
        return -1;
    step(distance, ((key.modifier & MODIFIER_SHIFT) ? kShift : 0) |
                       ((key.modifier & MODIFIER_CONTROL) ? kControl : 0));
    return 1;
}

float CKnob::valueFromPoint(const CPoint& point) const {
    double half = rangeAngle * 0.5;
    const double middle = startAngle + half;
    const CPoint centre(getWidth() / 2, getHeight() / 2);
    const double dx = centre.x > 0 ? (point.x - centre.x) / centre.x : 0;
    const double dy = centre.y > 0 ? (point.y - centre.y) / centre.y : 0;
    double alpha = std::atan2(dy, dx) - middle;
    alpha = std::remainder(alpha, 2 * kPi);  // into -pi..pi
    if (half < 0) {
        alpha = -alpha;
        half = -half;
    }
    double normalized;
    if (half == 0)
        normalized = 0.5;
    else if (alpha > half)
        normalized = 1;
    else if (alpha < -half)
        normalized = 0;
    else
        normalized = 0.5 + alpha / (2 * half);
    return getMin() + static_cast<float>(normalized) * getRange();
}

}  // namespace VSTGUI
