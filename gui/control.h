// A view with a value: a tag that names it to its listener, a value kept within min..max, a
// default value and a wheel step. Edits are reported to the listener, bracketed by
// controlBeginEdit/controlEndEdit (nested begins report once). Portable.
#pragma once

#include "view.h"

namespace VSTGUI {

class CControl;

class IControlListener {
  public:
    virtual void valueChanged(CControl* control) = 0;
    // Offered every mouse-down on the control before the control sees it; non-zero takes it.
    virtual int32_t controlModifierClicked(CControl* /*control*/, CButtonState /*buttons*/) {
        return 0;
    }
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}

  protected:
    ~IControlListener() = default;
};

class CControl : public CView {
  public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1);

    // Clamped to min..max (NaN becomes min); a changed value marks the view dirty.
    virtual void setValue(float value);
    float getValue() const { return value; }
    void setValueNormalized(float normalized);
    float getValueNormalized() const;

    void setMin(float value) { minValue = value; }
    float getMin() const { return minValue; }
    void setMax(float value) { maxValue = value; }
    float getMax() const { return maxValue; }
    float getRange() const { return maxValue - minValue; }

    void setDefaultValue(float value) { defaultValue = value; }
    float getDefaultValue() const { return defaultValue; }
    void setWheelInc(float value) { wheelInc = value; }
    float getWheelInc() const { return wheelInc; }

    void setTag(int32_t value) { tag = value; }
    int32_t getTag() const { return tag; }
    void setListener(IControlListener* value) { listener = value; }
    IControlListener* getListener() const { return listener; }

    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing > 0; }
    // Tells the listener about the current value.
    virtual void valueChanged();

  protected:
    // Control with a left click sets the default value (one edit, when it differs). True when
    // the click was such a click.
    bool checkDefaultValue(const CButtonState& buttons);
    void bounceValue();  // value back into min..max

    float value = 0.f;

  private:
    IControlListener* listener;
    int32_t tag;
    float minValue = 0.f;
    float maxValue = 1.f;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    int32_t editing = 0;
};

}  // namespace VSTGUI
