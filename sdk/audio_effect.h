// Steinberg::Vst::AudioEffect: the audio-processor helper of the VST 3 SDK, which the installed
// SDK sources lack. A Component with buses that is also an IAudioProcessor:
// - processSetup starts at 44100 Hz, 1024 samples, 32-bit, realtime;
// - bus helpers add audio and event buses to the component's bus lists;
// - getBusArrangement answers the stored arrangement; setBusArrangements stores the requested
//   arrangements on the existing audio buses when the counts match;
// - canProcessSampleSize accepts 32-bit only; setupProcessing stores the set-up once its sample
//   size is accepted;
// - setProcessing answers kNotImplemented; latency and tail are 0; no process context is needed.
// Derived processors override what they support.
#pragma once

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vstcomponent.h"

namespace Steinberg {
namespace Vst {

class AudioEffect : public Component, public IAudioProcessor, public IProcessContextRequirements {
  public:
    AudioEffect();

    AudioBus* addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                            int32 flags = BusInfo::kDefaultActive);
    AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                             int32 flags = BusInfo::kDefaultActive);
    EventBus* addEventInput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                            int32 flags = BusInfo::kDefaultActive);
    EventBus* addEventOutput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                             int32 flags = BusInfo::kDefaultActive);

    // The audio bus at `index`, or null.
    AudioBus* getAudioInput(int32 index);
    AudioBus* getAudioOutput(int32 index);

    // IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                          SpeakerArrangement* outputs, int32 numOuts) SMTG_OVERRIDE;
    tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                         SpeakerArrangement& arr) SMTG_OVERRIDE;
    tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) SMTG_OVERRIDE;
    uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE { return 0; }
    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) SMTG_OVERRIDE;
    tresult PLUGIN_API setProcessing(TBool) SMTG_OVERRIDE { return kNotImplemented; }
    tresult PLUGIN_API process(ProcessData&) SMTG_OVERRIDE { return kNotImplemented; }
    uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE { return 0; }

    // IProcessContextRequirements
    uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE { return 0; }

    OBJ_METHODS(AudioEffect, Component)
    DEFINE_INTERFACES
    DEF_INTERFACE(IAudioProcessor)
    DEF_INTERFACE(IProcessContextRequirements)
    END_DEFINE_INTERFACES(Component)
    REFCOUNT_METHODS(Component)

  protected:
    ProcessSetup processSetup;
};

}  // namespace Vst
}  // namespace Steinberg
