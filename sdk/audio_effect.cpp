#include "audio_effect.h"

namespace Steinberg {
namespace Vst {

namespace {

AudioBus* audioBusAt(BusList& list, int32 index) {
    if (index < 0 || index >= static_cast<int32>(list.size())) {
        return nullptr;
    }
    return FCast<AudioBus>(list.at(index).get());
}

}  // namespace

AudioEffect::AudioEffect() {
    processSetup.maxSamplesPerBlock = 1024;
    processSetup.processMode = kRealtime;
    processSetup.sampleRate = 44100.0;
    processSetup.symbolicSampleSize = kSample32;
}

namespace {

template <typename BusType, typename Detail>
BusType* addBus(BusList& list, const TChar* name, Detail detail, Vst::BusType busType,
                int32 flags) {
    auto* bus = new BusType(name, busType, flags, detail);
    list.push_back(IPtr<Bus>(bus, false));
    return bus;
}

}  // namespace

AudioBus* AudioEffect::addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                     int32 flags) {
    return addBus<AudioBus>(audioInputs, name, arr, busType, flags);
}

AudioBus* AudioEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType,
                                      int32 flags) {
    return addBus<AudioBus>(audioOutputs, name, arr, busType, flags);
}

EventBus* AudioEffect::addEventInput(const TChar* name, int32 channels, BusType busType,
                                     int32 flags) {
    return addBus<EventBus>(eventInputs, name, channels, busType, flags);
}

EventBus* AudioEffect::addEventOutput(const TChar* name, int32 channels, BusType busType,
                                      int32 flags) {
    return addBus<EventBus>(eventOutputs, name, channels, busType, flags);
}

AudioBus* AudioEffect::getAudioInput(int32 index) {
    return audioBusAt(audioInputs, index);
}

AudioBus* AudioEffect::getAudioOutput(int32 index) {
    return audioBusAt(audioOutputs, index);
}

tresult PLUGIN_API AudioEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
    if (numIns < 0 || numOuts < 0 || numIns != static_cast<int32>(audioInputs.size()) ||
        numOuts != static_cast<int32>(audioOutputs.size()) || (numIns > 0 && !inputs) ||
        (numOuts > 0 && !outputs)) {
        return kResultFalse;
    }
    for (int32 i = 0; i < numIns; ++i) {
        getAudioInput(i)->setArrangement(inputs[i]);
    }
    for (int32 i = 0; i < numOuts; ++i) {
        getAudioOutput(i)->setArrangement(outputs[i]);
    }
    return kResultOk;
}

tresult PLUGIN_API AudioEffect::getBusArrangement(BusDirection dir, int32 index,
                                                  SpeakerArrangement& arr) {
    AudioBus* bus = dir == kInput ? getAudioInput(index) : getAudioOutput(index);
    if (!bus) {
        return kInvalidArgument;
    }
    arr = bus->getArrangement();
    return kResultOk;
}

tresult PLUGIN_API AudioEffect::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

tresult PLUGIN_API AudioEffect::setupProcessing(ProcessSetup& setup) {
    if (canProcessSampleSize(setup.symbolicSampleSize) != kResultOk) {
        return kResultFalse;
    }
    processSetup = setup;
    return kResultOk;
}

}  // namespace Vst
}  // namespace Steinberg
