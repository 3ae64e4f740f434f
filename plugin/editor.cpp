#include "editor.h"

#include "drawables.h"
#include "my_knob.h"

namespace quenvale {

using corvane::vst::KOLine;
using corvane::vst::KORect;
using corvane::vst::KOText;
using corvane::vst::MyKnob;

Editor::Editor(Steinberg::Vst::EditController* controller) : EditorBase(controller) {}

void Editor::onParameterChanged(Steinberg::int32 id, double value) {
    try {
        if (id != Parameters::kParamDelay)
            return;
        const auto found = views.find(kKnobView);
        if (found == views.end())
            return;
        if (auto* knob = dynamic_cast<MyKnob*>(found->second))
            knob->setValue(static_cast<float>(value));
    } catch (...) {
    }
}

void Editor::createViews() {
    const VSTGUI::CPoint origin(0, 0);
    addView(kBackgroundView, new KORect());
    for (int i = 0; i < 3; ++i)
        addView(kLabelViewPrefix + std::to_string(i), new KOText(origin, resourceCache.get()));
    addView(kLineView, new KOLine(origin));
    addView(kTitleView, new KOText(origin, resourceCache.get()));
    addView(kUnitView, new KOText(origin, resourceCache.get()));
    addView(kKnobView, new MyKnob(origin, this, Parameters::kParamDelay, resourceCache.get()));
}

std::string Editor::getLayoutJson() {
    return getEditorResources().loadResourceText(kLayoutResource);
}

const corvane::vst::ResourceRegistry& Editor::getEditorResources() {
    return corvane::vst::editorResources();
}

const corvane::vst::ResourceRegistry& Editor::getManualResources() {
    return corvane::vst::manualResources();
}

}  // namespace quenvale
