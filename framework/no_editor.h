#pragma once

#include "public.sdk/source/vst/vsteditcontroller.h"

namespace corvane::vst {

// The editor type of a controller that has no editor of its own (hosts then show generic
// controls): its createView answers null, so no NoEditor is ever made.
class NoEditor : public Steinberg::Vst::EditorView {
  public:
    explicit NoEditor(Steinberg::Vst::EditController* controller) : EditorView(controller) {}
    void onParameterChanged(Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue) {}
};

}  // namespace corvane::vst
