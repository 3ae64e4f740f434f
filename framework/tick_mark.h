// The knob's tick marks: short radial strokes around its face. This is their only definition;
// the knob names them as its own (MyKnob::TickMark, MyKnob::TickMarkProperty) through aliases.
//
#pragma once

#include "gdiplus_api.h"

#include "properties.h"

namespace corvane::vst {

struct TickMark {
    double width = 0, startRadius = 0, endRadius = 0;
    Gdiplus::Color color = Gdiplus::Color(0);
};

// {"width", "startRadius", "endRadius", "color"}: each member present replaces its field of the
// current value; absent ones keep theirs. "color" reads as ColorProperty does.
class TickMarkProperty : public SimpleProperty<TickMark> {
  public:
    using SimpleProperty::SimpleProperty;
    void setFromJson(const picojson::value& json) override;
};

}  // namespace corvane::vst
