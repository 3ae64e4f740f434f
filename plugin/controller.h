// The plug-in's edit controller: the framework's controller, plus keeping the processor told
// of the delay ("u0", float "uk0") so that it can report its latency.
#pragma once

#include "controller_base.h"
#include "editor.h"
#include "parameters.h"

namespace quenvale {

class Controller : public corvane::vst::ControllerBase<Controller, Parameters, Editor> {
  public:
    using Base = corvane::vst::ControllerBase<Controller, Parameters, Editor>;

    // Sends "u0" when the delay differs from the value last sent: compared in double against
    // the narrowed value, so a value a float cannot hold always goes out.
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                     Steinberg::Vst::ParamValue value) override;

  private:
    float lastSentDelay = 800.0f;  // outside 0..1: the first delay always goes out
};

}  // namespace quenvale
