#pragma once

#include "pluginterfaces/base/funknown.h"

namespace corvane::vst {

// Runs a host-facing operation, answering kResultFalse for anything it throws: no exception
// may reach a host.
template <typename Body>
Steinberg::tresult contain(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return Steinberg::kResultFalse;
    }
}

}  // namespace corvane::vst
