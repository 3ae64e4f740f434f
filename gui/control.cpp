#include "control.h"

#include <cmath>

namespace VSTGUI {

CControl::CControl(const CRect& size, IControlListener* listener, int32_t tag)
    : CView(size), listener(listener), tag(tag) {}

void CControl::setValue(float newValue) {
    const float before = value;
    value = newValue;
    bounceValue();
    if (value != before)
        setDirty();
}

void CControl::setValueNormalized(float normalized) {
    if (std::isnan(normalized) || normalized < 0.f)
        normalized = 0.f;
    else if (normalized > 1.f)
        normalized = 1.f;
    setValue(minValue + normalized * getRange());
}

float CControl::getValueNormalized() const {
    const float range = getRange();
    return range == 0.f ? 0.f : (value - minValue) / range;
}

void CControl::beginEdit() {
    if (editing++ == 0 && listener)
        listener->controlBeginEdit(this);
}

void CControl::endEdit() {
    if (editing == 0)
        return;
    if (--editing == 0 && listener)
        listener->controlEndEdit(this);
}

void CControl::valueChanged() {
    if (listener)
        listener->valueChanged(this);
}

bool CControl::checkDefaultValue(const CButtonState& buttons) {
    if (!buttons.isLeftButton() || buttons.getModifierState() != kDefaultValueModifier)
        return false;
    if (defaultValue != value) {
        beginEdit();
        setValue(defaultValue);
        valueChanged();
        endEdit();
    }
    return true;
}

void CControl::bounceValue() {
    if (std::isnan(value) || value < minValue)
        value = minValue;
    else if (value > maxValue)
        value = maxValue;
}

}  // namespace VSTGUI
