// Steinberg::Vst::Vst2Wrapper: a VST 2 effect built over the VST 3 processor and controller
// classes of a factory, speaking only the VST 2 ABI of the fst headers.
//
// Covers: one stereo input and one stereo output bus; the controller's parameters by index
// (normalized values, name, units, display text, automatable), host edits in both directions
// (setParameter reaches the controller at once and the processor at the start of the next
// process call; the controller's edits reach the host as begin/automate/end); 32- and 64-bit
// replacing processing in realtime mode, in the precision set while suspended (a call in the
// other one gets silence), host blocks longer than the block size in slices; suspend/resume
// with sample rate, block size and precision; the processor's latency as initialDelay,
// announced with audioMasterIOChanged when it changes; the whole state as one chunk; names,
// vendor, version and category; on Windows, the controller's editor when it has one (HWND,
// fixed size).
//
// Does not cover: programs (one fixed program, no program changes), MIDI or other events,
// other bus layouts or side chains, time info, offline processing, bypass and tail opcodes,
// editor resizing, and the obsolete accumulating process() (which leaves the outputs as they
// are; 2.4 hosts call processReplacing, announced by effFlagsCanReplacing).
//
// Texts written into host buffers are ASCII (other characters become '?') and cut to 63 bytes
// plus the terminating zero. The ABI promises parameter names, labels and displays only 8
// bytes, but hosts give 64 or more; this plug-in's parameter texts fit in 8 anyway. The effect
// and product name is the product's, not the VST 3 class name, which carries a suffix.
//
// Chunk layout: [4-byte LE size][processor state][4-byte LE size][controller state].
//
// Threads: processReplacing/processDoubleReplacing on the audio thread (no allocation, no
// locks); everything else on the host's main thread. No exception leaves an entry point.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include "fst.h"

namespace Steinberg {
namespace Vst {

class Vst2Wrapper final : public IComponentHandler {
  public:
    // fst has only a placeholder for audioMasterIOChanged; 13 is the opcode hosts answer to
    // (the number fst.h marks as "sending latency").
    static constexpr int kHostIoChanged = 13;

    // The effect for the processor class `processorClassId` of `factory` and the controller
    // class it names, or null when either cannot be created, initialized or connected. The
    // factory is not kept.
    static Vst2Wrapper* create(IPluginFactory* factory, const TUID processorClassId,
                               int32 vst2UniqueId, audioMasterCallback hostCallback);

    // Owned by the wrapper; effClose deletes the wrapper.
    AEffect* getAeffect() { return &effect; }

    // IComponentHandler: the controller's edits and restarts, passed on to the host.
    tresult PLUGIN_API beginEdit(ParamID id) override;
    tresult PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) override;
    tresult PLUGIN_API endEdit(ParamID id) override;
    tresult PLUGIN_API restartComponent(int32 flags) override;

    // Not reference-counted: the effect owns the wrapper.
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

  private:
    // A parameter's value set since the last process call: written on the main thread, taken
    // on the audio thread.
    struct PendingValue {
        std::atomic<double> value{0.0};
        std::atomic<bool> waiting{false};
    };

    // One parameter's change for one process call: a single point at offset 0. Values set
    // between two blocks all apply at the start of the next, so only the latest is kept.
    class PointQueue final : public IParamValueQueue {
      public:
        ParamID id = 0;
        ParamValue value = 0.0;

        tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }
        ParamID PLUGIN_API getParameterId() override { return id; }
        int32 PLUGIN_API getPointCount() override { return 1; }
        tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& v) override;
        tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override { return kResultFalse; }
    };

    // The changes handed to one process call; room for every parameter, made in create.
    class ParameterChanges final : public IParameterChanges {
      public:
        std::vector<PointQueue> queues;
        int32 used = 0;

        tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
        uint32 PLUGIN_API addRef() override { return 1; }
        uint32 PLUGIN_API release() override { return 1; }
        int32 PLUGIN_API getParameterCount() override { return used; }
        IParamValueQueue* PLUGIN_API getParameterData(int32 index) override;
        IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override {
            return nullptr;
        }
    };

    explicit Vst2Wrapper(audioMasterCallback hostCallback);
    ~Vst2Wrapper();
    Vst2Wrapper(const Vst2Wrapper&) = delete;
    Vst2Wrapper& operator=(const Vst2Wrapper&) = delete;

    bool build(IPluginFactory* factory, const TUID processorClassId, int32 vst2UniqueId);

    VstIntPtr dispatch(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr parameterText(int32 opcode, int32 index, char* text);
    bool resume();
    void suspend();
    VstIntPtr getChunk(void** data);
    VstIntPtr setChunk(const void* data, VstIntPtr size);
    VstIntPtr editorOpcode(int32 opcode, void* ptr);
    void closeEditor();

    void setParameter(int32 index, float value);
    float getParameter(int32 index);
    void queueForProcessor(int32 index, ParamValue value);
    template <typename Sample>
    void process(Sample** inputs, Sample** outputs, int32 frames, int32 sampleSize) noexcept;
    void takePendingChanges() noexcept;

    int32 indexOf(ParamID id) const;
    bool validIndex(int32 index) const;
    void updateLatency();
    VstIntPtr callHost(int32 opcode, int32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    static VstIntPtr dispatcherProc(AEffect* effect, int opcode, int index, VstIntPtr value,
                                    void* ptr, float opt);
    static void setParameterProc(AEffect* effect, int index, float value);
    static float getParameterProc(AEffect* effect, int index);
    static void processProc(AEffect* effect, float** inputs, float** outputs, int frames);
    static void processReplacingProc(AEffect* effect, float** inputs, float** outputs, int frames);
    static void processDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                           int frames);

    audioMasterCallback hostCallback;
    AEffect effect{};

    HostApplication hostContext;  // not reference-counted: outlives both halves
    IPtr<IComponent> component;
    IPtr<IAudioProcessor> processor;
    IPtr<IEditController> controller;
    IPtr<IConnectionPoint> componentConnection;
    IPtr<IConnectionPoint> controllerConnection;
    bool componentInitialized = false;
    bool controllerInitialized = false;

    std::vector<ParamID> parameterIds;  // by VST 2 index
    std::vector<PendingValue> pending;  // by VST 2 index
    ParameterChanges changes;

    double sampleRate = 44100.0;
    int32 blockSize = 1024;
    int32 sampleSize = kSample32;
    std::atomic<bool> active{false};

    std::string vendor;
    std::vector<char> chunk;  // the last chunk handed to the host

    bool editorAvailable = false;
    IPtr<IPlugView> view;
    bool viewAttached = false;
    ERect editorRect{};
};

}  // namespace Vst
}  // namespace Steinberg
