#include "controller.h"

#include <cmath>

namespace quenvale {

Steinberg::tresult PLUGIN_API Controller::setParamNormalized(Steinberg::Vst::ParamID id,
                                                             Steinberg::Vst::ParamValue value) {
    const Steinberg::tresult result = Base::setParamNormalized(id, value);
    if (id != Parameters::kParamDelay || !std::isfinite(value)) {
        return result;  // a value that is not finite was refused
    }
    corvane::vst::contain([&]() -> Steinberg::tresult {
        if (!(value == static_cast<double>(lastSentDelay))) {
            corvane::vst::sendMessage(*this, "u0", [&](Steinberg::Vst::IAttributeList& attributes) {
                attributes.setFloat("uk0", value);
            });
        }
        lastSentDelay = static_cast<float>(value);
        return Steinberg::kResultOk;
    });
    return result;
}

}  // namespace quenvale
