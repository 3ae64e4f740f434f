#include "editor.h"

#include <algorithm>

#include "drawables.h"
#include "my_knob.h"
#include "processor_rate.h"

namespace quenvale {

using corvane::vst::KOLine;
using corvane::vst::KORect;
using corvane::vst::KOText;
using corvane::vst::KOValueText;
using corvane::vst::MyKnob;

namespace {

constexpr double kEntryWidth = 96;  // the edit field at least, in the frame's units
constexpr double kEntryHeight = 16;
constexpr double kEntryFontSize = 11;  // em height, in the frame's units

}  // namespace

Editor::Editor(Steinberg::Vst::EditController* controller) : EditorBase(controller) {}

// The field is one of the frame's views and draws with the resource cache's font: it goes first.
Editor::~Editor() {
    entry.close();
}

void PLUGIN_API Editor::close() {
    entry.close();
    EditorBase::close();
}

double Editor::processorRate() const {
    const auto* rate = dynamic_cast<const corvane::vst::IProcessorRate*>(controller);
    return rate ? rate->processorSampleRate() : 0.0;
}

std::string Editor::readoutText() const {
    const auto n = static_cast<float>(delay);
    std::string text = Parameters::delayReadout(n);
    const double rate = processorRate();
    if (rate > 0)
        text += "  (" + Parameters::delaySamplesReadout(n, rate) + ")";
    return text;
}

void Editor::onParameterChanged(Steinberg::int32 id, double value) {
    try {
        if (id != Parameters::kParamDelay)
            return;
        delay = value;
        const auto knob = views.find(kKnobView);
        if (knob != views.end()) {
            if (auto* control = dynamic_cast<MyKnob*>(knob->second))
                control->setValue(static_cast<float>(value));
        }
        const auto readout = views.find(kValueView);
        if (readout != views.end()) {
            if (auto* text = dynamic_cast<KOValueText*>(readout->second))
                text->setText(readoutText());
        }
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
    auto* knob = new MyKnob(origin, this, Parameters::kParamDelay, resourceCache.get());
    knob->setFineStep(static_cast<float>(kFineStepMs / (2.0 * Parameters::kMaxDelayMs)));
    addView(kKnobView, knob);
    auto* readout = new KOValueText(origin, resourceCache.get());
    readout->setOnDoubleClick([this] { openValueEntry(); });
    addView(kValueView, readout);
    frame->setKeyHook([this, knob](VSTGUI::VstKeyCode& key) -> int32_t {
        const bool enter = key.virt == VSTGUI::VKEY_RETURN || key.virt == VSTGUI::VKEY_ENTER;
        if (!enter || !frame || frame->getFocusView() != knob)
            return -1;
        return openValueEntry() ? 1 : -1;
    });
}

bool Editor::openValueEntry() {
    if (!frame)
        return false;
    const auto found = views.find(kValueView);
    if (found == views.end())
        return false;
    try {
        // Centred on the readout, and wide enough to type into.
        const VSTGUI::CRect shown = found->second->getViewSize();
        const VSTGUI::CPoint middle = shown.getCenter();
        const double w = std::max(kEntryWidth, shown.getWidth());
        const double h = std::max(kEntryHeight, shown.getHeight());
        const VSTGUI::CRect where(middle.x - w / 2, middle.y - h / 2, middle.x + w / 2,
                                  middle.y + h / 2);
        const auto font =
            resourceCache ? resourceCache->getFontFamily(KOText::kDefaultFont) : nullptr;
        return entry.open(*frame, where, font, kEntryFontSize,
                          Parameters::delayReadout(static_cast<float>(delay)),
                          [this](const std::string& text) { return applyTypedDelay(text); });
    } catch (...) {
        return false;
    }
}

bool Editor::applyTypedDelay(const std::string& text) {
    const auto n = Parameters::delayFromText(text, processorRate());
    if (!n)
        return false;
    const double value = *n;
    const auto id = static_cast<Steinberg::Vst::ParamID>(Parameters::kParamDelay);
    controller->beginEdit(id);
    controller->setParamNormalized(id, value);
    controller->performEdit(id, value);
    controller->endEdit(id);
    return true;
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
