// The plug-in's editor: a panel, a title, the delay knob with its scale labels and unit, and a
// line, laid out by the layout description among the editor resources. Windows only.
#pragma once

#include "editor_base.h"
#include "parameters.h"

namespace quenvale {

// Names of the widgets: the keys of the layout description.
constexpr const char* kBackgroundView = "background";
constexpr const char* kLabelViewPrefix = "label";  // label0, label1, label2
constexpr const char* kLineView = "line";
constexpr const char* kTitleView = "title";
constexpr const char* kUnitView = "unit";
constexpr const char* kKnobView = "knob";
// The layout description's entry among the editor resources.
constexpr const char* kLayoutResource = "layout.json";

class Editor : public corvane::vst::EditorBase<Parameters> {
  public:
    explicit Editor(Steinberg::Vst::EditController* controller);

    // The knob follows the delay; the bypass shows nowhere.
    void onParameterChanged(Steinberg::int32 id, double value) override;
    void createViews() override;
    std::string getLayoutJson() override;
    std::string getLayoutWatchPath() override { return {}; }
    std::string getLayoutLogPath() override { return {}; }
    const corvane::vst::ResourceRegistry& getEditorResources() override;
    const corvane::vst::ResourceRegistry& getManualResources() override;
};

}  // namespace quenvale
