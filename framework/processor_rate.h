#pragma once

namespace corvane::vst {

// The sample rate the processor last reported ("b3"); 0 until it has. A plain C++ interface:
// the editor finds it on its controller by a dynamic cast, as it does IOnEditorTimer.
class IProcessorRate {
  public:
    virtual ~IProcessorRate() = default;
    virtual double processorSampleRate() const = 0;
};

}  // namespace corvane::vst
