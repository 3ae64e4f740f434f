// The plug-in's editor: a panel, a title, the delay knob with its scale labels and unit, a line,
// and the readout of the delay, which takes typed values; laid out by the layout description
// among the editor resources.
#pragma once

#include <string>

#include "editor_base.h"
#include "parameters.h"
#include "text_entry.h"

namespace quenvale {

// Names of the widgets: the keys of the layout description.
constexpr const char* kBackgroundView = "background";
constexpr const char* kLabelViewPrefix = "label";  // label0, label1, label2
constexpr const char* kLineView = "line";
constexpr const char* kTitleView = "title";
constexpr const char* kUnitView = "unit";
constexpr const char* kKnobView = "knob";
constexpr const char* kValueView = "value";
// The layout description's entry among the editor resources.
constexpr const char* kLayoutResource = "layout.json";

// The knob's fine step (Control with the wheel or an arrow key, Shift+Control drags per pixel):
// 0.01 ms, under half a sample at 48 kHz, so that every whole sample can be reached.
constexpr double kFineStepMs = 0.01;

class Editor : public corvane::vst::EditorBase<Parameters> {
  public:
    explicit Editor(Steinberg::Vst::EditController* controller);
    ~Editor() override;

    // The knob and the readout follow the delay; the bypass shows nowhere.
    void onParameterChanged(Steinberg::int32 id, double value) override;
    void createViews() override;
    void PLUGIN_API close() override;
    std::string getLayoutJson() override;
    std::string getLayoutWatchPath() override { return {}; }
    std::string getLayoutLogPath() override { return {}; }
    const corvane::vst::ResourceRegistry& getEditorResources() override;
    const corvane::vst::ResourceRegistry& getManualResources() override;

    // The edit field over the readout (a double-click on it, or Enter on the knob), holding
    // the delay as the readout shows it, in the embedded font. False without a frame (one
    // without a window will do).
    bool openValueEntry();
    const corvane::vst::TextEntry& valueEntry() const { return entry; }
    corvane::vst::TextEntry& valueEntry() { return entry; }

    // A typed delay (Parameters::delayFromText at the processor's rate) set as one edit; false,
    // changing nothing, for text that is no delay.
    bool applyTypedDelay(const std::string& text);

    // What the readout shows now.
    std::string readoutText() const;

  protected:
    void onScaleChanging() override { entry.close(); }

  private:
    double processorRate() const;

    double delay = Parameters::kDefaultDelay;  // the last value the editor was told
    corvane::vst::TextEntry entry;
};

}  // namespace quenvale
