#pragma once

#include "parameters.h"

namespace quenvale {

// The normalized values the processor persists and builds every engine from.
struct ProcessorState {
    float bypass = Parameters::kDefaultBypass;
    float delay = Parameters::kDefaultDelay;
};

// What an engine is built from.
struct RealtimeConfig {
    int32 sampleRate = 0;  // the set-up rate, truncated toward zero
    int32 channels = 0;
    ProcessorState state;
};

}  // namespace quenvale
