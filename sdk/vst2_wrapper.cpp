#include "vst2_wrapper.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "public.sdk/source/common/memorystream.h"

namespace Steinberg {
namespace Vst {

namespace {

// The VST 3 class names carry suffixes that are no part of the name hosts should show.
constexpr const char* kProductName = "Quenvale";
constexpr const char* kProgramName = "Default";
constexpr std::size_t kTextCapacity = 64;  // bytes, terminating zero included
constexpr int32 kChannels = 2;
constexpr std::uint64_t kSizeBytes = 4;

template <typename Char>
void copyText(void* target, const Char* text) {
    char* out = static_cast<char*>(target);
    std::size_t n = 0;
    for (; text && text[n] != 0 && n + 1 < kTextCapacity; ++n) {
        const auto unit = static_cast<std::uint32_t>(text[n]);
        out[n] = unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    out[n] = '\0';
}

// "major.minor.patch" as major * 10000 + minor * 100 + patch, each part at most 99.
int32 versionNumber(const char* text) {
    long parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end == text) {
            break;
        }
        parts[i] = std::clamp(n, 0L, 99L);
        if (*end != '.') {
            break;
        }
        text = end + 1;
    }
    return static_cast<int32>(parts[0] * 10000 + parts[1] * 100 + parts[2]);
}

template <class Interface>
IPtr<Interface> queryOf(FUnknown* unknown) {
    void* object = nullptr;
    if (!unknown || unknown->queryInterface(Interface::iid, &object) != kResultOk || !object) {
        return nullptr;
    }
    return owned(static_cast<Interface*>(object));
}

template <class Interface>
IPtr<Interface> createFrom(IPluginFactory& factory, const TUID classId) {
    void* object = nullptr;
    if (factory.createInstance(classId, Interface::iid, &object) != kResultOk || !object) {
        return nullptr;
    }
    return owned(static_cast<Interface*>(object));
}

// What `owner.getState` writes, or false when it fails.
template <class Owner>
bool saveState(Owner& owner, std::string& bytes) {
    MemoryStream stream;
    if (owner.getState(&stream) != kResultOk) {
        return false;
    }
    const auto size = static_cast<std::size_t>(stream.getSize());
    bytes.assign(size > 0 ? stream.getData() : "", size);
    return true;
}

template <typename Load>
bool loadState(const char* bytes, std::uint64_t size, Load&& load) {
    MemoryStream stream(const_cast<char*>(bytes), static_cast<TSize>(size));
    return load(&stream) == kResultOk;
}

void appendSize(std::vector<char>& out, std::uint64_t size) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((size >> shift) & 0xFFu));
    }
}

std::uint64_t readSize(const unsigned char* in) {
    return std::uint64_t{in[0]} | std::uint64_t{in[1]} << 8 | std::uint64_t{in[2]} << 16 |
           std::uint64_t{in[3]} << 24;
}

short toShort(int32 value) {
    return static_cast<short>(std::clamp<int32>(value, SHRT_MIN, SHRT_MAX));
}

void setBuffers(AudioBusBuffers& bus, float** buffers) {
    bus.channelBuffers32 = buffers;
}
void setBuffers(AudioBusBuffers& bus, double** buffers) {
    bus.channelBuffers64 = buffers;
}

template <typename Sample>
void silence(Sample* const* outputs, int32 frames) {
    for (int32 c = 0; c < kChannels; ++c) {
        std::fill(outputs[c], outputs[c] + frames, Sample(0));
    }
}

Vst2Wrapper* wrapperOf(AEffect* effect) {
    return effect ? static_cast<Vst2Wrapper*>(effect->object) : nullptr;
}

}  // namespace

// Creation and destruction

Vst2Wrapper* Vst2Wrapper::create(IPluginFactory* factory, const TUID processorClassId,
                                 int32 vst2UniqueId, audioMasterCallback hostCallback) {
    Vst2Wrapper* wrapper = nullptr;
    try {
        wrapper = new Vst2Wrapper(hostCallback);
        if (wrapper->build(factory, processorClassId, vst2UniqueId)) {
            return wrapper;
        }
    } catch (...) {
    }
    delete wrapper;
    return nullptr;
}

Vst2Wrapper::Vst2Wrapper(audioMasterCallback callback) : hostCallback(callback) {}

bool Vst2Wrapper::build(IPluginFactory* factory, const TUID processorClassId, int32 vst2UniqueId) {
    if (!factory || !processorClassId) {
        return false;
    }
    component = createFrom<IComponent>(*factory, processorClassId);
    processor = queryOf<IAudioProcessor>(component);
    if (!processor || component->initialize(&hostContext) != kResultOk) {
        return false;
    }
    componentInitialized = true;

    TUID controllerClassId = {};
    if (component->getControllerClassId(controllerClassId) != kResultOk) {
        return false;
    }
    controller = createFrom<IEditController>(*factory, controllerClassId);
    if (!controller || controller->initialize(&hostContext) != kResultOk) {
        return false;
    }
    controllerInitialized = true;

    // Both ways, as a VST 3 host connects them: each half talks to the other directly.
    componentConnection = queryOf<IConnectionPoint>(component);
    controllerConnection = queryOf<IConnectionPoint>(controller);
    if (componentConnection && controllerConnection) {
        componentConnection->connect(controllerConnection);
        controllerConnection->connect(componentConnection);
    }

    SpeakerArrangement input = SpeakerArr::kStereo;
    SpeakerArrangement output = SpeakerArr::kStereo;
    if (processor->setBusArrangements(&input, 1, &output, 1) != kResultOk) {
        return false;
    }

    // The handler is set afterwards: nothing reaches the host before it holds the effect.
    MemoryStream state;
    if (component->getState(&state) == kResultOk) {
        state.seek(0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState(&state);
    }

    const int32 count = controller->getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        ParameterInfo info{};
        if (controller->getParameterInfo(i, info) != kResultOk) {
            return false;
        }
        parameterIds.push_back(info.id);
    }
    pending = std::vector<PendingValue>(parameterIds.size());
    changes.queues.resize(parameterIds.size());
    controller->setComponentHandler(this);

    PFactoryInfo factoryInfo;
    if (factory->getFactoryInfo(&factoryInfo) == kResultOk) {
        const char* name = factoryInfo.vendor;
        vendor.assign(name, std::find(name, name + PFactoryInfo::kNameSize, '\0'));
    }
    int32 version = 0;
    if (auto factory2 = queryOf<IPluginFactory2>(factory)) {
        for (int32 i = 0; i < factory2->countClasses(); ++i) {
            PClassInfo2 info;
            if (factory2->getClassInfo2(i, &info) == kResultOk &&
                std::memcmp(info.cid, processorClassId, sizeof(TUID)) == 0) {
                info.version[PClassInfo2::kVersionSize - 1] = '\0';
                version = versionNumber(info.version);
            }
        }
    }

#if SMTG_OS_WINDOWS
    if (IPtr<IPlugView> probe = owned(controller->createView(ViewType::kEditor))) {
        editorAvailable = probe->isPlatformTypeSupported(kPlatformTypeHWND) == kResultTrue;
    }
#endif

    effect.magic = kEffectMagic;
    effect.dispatcher = dispatcherProc;
    effect.process = processProc;
    effect.setParameter = setParameterProc;
    effect.getParameter = getParameterProc;
    effect.numPrograms = 1;
    effect.numParams = static_cast<int32>(parameterIds.size());
    effect.numInputs = kChannels;
    effect.numOutputs = kChannels;
    effect.flags = effFlagsCanReplacing | effFlagsProgramChunks;
    if (processor->canProcessSampleSize(kSample64) == kResultTrue) {
        effect.flags |= effFlagsCanDoubleReplacing;
    }
    if (editorAvailable) {
        effect.flags |= effFlagsHasEditor;
    }
    updateLatency();
    effect.object = this;
    effect.uniqueID = vst2UniqueId;
    effect.version = version;
    effect.processReplacing = processReplacingProc;
    effect.processDoubleReplacing = processDoubleReplacingProc;
    return true;
}

Vst2Wrapper::~Vst2Wrapper() {
    try {
        closeEditor();
        suspend();
        if (controller) {
            controller->setComponentHandler(nullptr);
        }
        if (componentConnection && controllerConnection) {
            componentConnection->disconnect(controllerConnection);
            controllerConnection->disconnect(componentConnection);
        }
        if (controllerInitialized) {
            controller->terminate();
        }
        if (componentInitialized) {
            component->terminate();
        }
    } catch (...) {
    }
}

// The host's entry points

VstIntPtr Vst2Wrapper::dispatcherProc(AEffect* effect, int opcode, int index, VstIntPtr value,
                                      void* ptr, float opt) {
    Vst2Wrapper* wrapper = wrapperOf(effect);
    if (!wrapper) {
        return 0;
    }
    try {
        if (opcode == effClose) {
            delete wrapper;
            return 0;
        }
        return wrapper->dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void Vst2Wrapper::setParameterProc(AEffect* effect, int index, float value) {
    try {
        if (Vst2Wrapper* wrapper = wrapperOf(effect)) {
            wrapper->setParameter(index, value);
        }
    } catch (...) {
    }
}

float Vst2Wrapper::getParameterProc(AEffect* effect, int index) {
    try {
        if (Vst2Wrapper* wrapper = wrapperOf(effect)) {
            return wrapper->getParameter(index);
        }
    } catch (...) {
    }
    return 0.0f;
}

void Vst2Wrapper::processProc(AEffect*, float**, float**, int) {}

void Vst2Wrapper::processReplacingProc(AEffect* effect, float** inputs, float** outputs,
                                       int frames) {
    if (Vst2Wrapper* wrapper = wrapperOf(effect)) {
        wrapper->process(inputs, outputs, frames, kSample32);
    }
}

void Vst2Wrapper::processDoubleReplacingProc(AEffect* effect, double** inputs, double** outputs,
                                             int frames) {
    if (Vst2Wrapper* wrapper = wrapperOf(effect)) {
        wrapper->process(inputs, outputs, frames, kSample64);
    }
}

VstIntPtr Vst2Wrapper::dispatch(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case effGetProgramName:
            if (ptr) {
                copyText(ptr, kProgramName);
            }
            return 0;
        case effGetProgramNameIndexed:
            if (!ptr || index != 0) {
                return 0;
            }
            copyText(ptr, kProgramName);
            return 1;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            return parameterText(opcode, index, static_cast<char*>(ptr));
        case effCanBeAutomated: {
            ParameterInfo info{};
            return validIndex(index) && controller->getParameterInfo(index, info) == kResultOk &&
                           (info.flags & ParameterInfo::kCanAutomate) != 0
                       ? 1
                       : 0;
        }
        case effSetSampleRate:
            if (opt > 0.0f) {
                sampleRate = opt;
            }
            return 0;
        case effSetBlockSize:
            if (value > 0) {
                blockSize = static_cast<int32>(std::min<VstIntPtr>(value, INT32_MAX));
            }
            return 0;
        case effMainsChanged:
            if (value) {
                resume();
            } else {
                suspend();
            }
            return 0;
        case effEditGetRect:
        case effEditOpen:
        case effEditClose:
        case effEditIdle:
            return editorOpcode(opcode, ptr);
        case effGetChunk:
            return ptr ? getChunk(static_cast<void**>(ptr)) : 0;
        case effSetChunk:
            return setChunk(ptr, value);
        case effGetPlugCategory:
            return kPlugCategEffect;
        case effGetEffectName:
        case effGetProductString:
            if (!ptr) {
                return 0;
            }
            copyText(ptr, kProductName);
            return 1;
        case effGetVendorString:
            if (!ptr) {
                return 0;
            }
            copyText(ptr, vendor.c_str());
            return 1;
        case effGetVendorVersion:
            return effect.version;
        case effCanDo: {
            // No time info, no events, and no effSetBypass: fst knows no number for it.
            static const char* const kCannot[] = {"receiveVstTimeInfo",  "receiveVstEvents",
                                                  "receiveVstMidiEvent", "sendVstEvents",
                                                  "sendVstMidiEvent",    "bypass"};
            for (const char* name : kCannot) {
                if (ptr && std::strcmp(static_cast<const char*>(ptr), name) == 0) {
                    return -1;
                }
            }
            return 0;
        }
        case effGetVstVersion:
            return kVstVersion;
        case effSetProcessPrecision:
            if (active) {
                return 0;
            }
            if (value == kVstProcessPrecision32) {
                sampleSize = kSample32;
                return 1;
            }
            if (value == kVstProcessPrecision64 && (effect.flags & effFlagsCanDoubleReplacing)) {
                sampleSize = kSample64;
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}

// Parameters

bool Vst2Wrapper::validIndex(int32 index) const {
    return index >= 0 && index < static_cast<int32>(parameterIds.size());
}

int32 Vst2Wrapper::indexOf(ParamID id) const {
    const auto found = std::find(parameterIds.begin(), parameterIds.end(), id);
    return found == parameterIds.end() ? -1 : static_cast<int32>(found - parameterIds.begin());
}

VstIntPtr Vst2Wrapper::parameterText(int32 opcode, int32 index, char* text) {
    if (!text) {
        return 0;
    }
    text[0] = '\0';
    if (!validIndex(index)) {
        return 0;
    }
    if (opcode == effGetParamDisplay) {
        const ParamID id = parameterIds[index];
        String128 string = {};
        if (controller->getParamStringByValue(id, controller->getParamNormalized(id), string) ==
            kResultOk) {
            copyText(text, string);
        }
        return 0;
    }
    ParameterInfo info{};
    if (controller->getParameterInfo(index, info) == kResultOk) {
        copyText(text, opcode == effGetParamName ? info.title : info.units);
    }
    return 0;
}

float Vst2Wrapper::getParameter(int32 index) {
    return validIndex(index)
               ? static_cast<float>(controller->getParamNormalized(parameterIds[index]))
               : 0.0f;
}

void Vst2Wrapper::setParameter(int32 index, float value) {
    if (!validIndex(index)) {
        return;
    }
    controller->setParamNormalized(parameterIds[index], value);
    queueForProcessor(index, value);
}

void Vst2Wrapper::queueForProcessor(int32 index, ParamValue value) {
    pending[index].value.store(value, std::memory_order_relaxed);
    pending[index].waiting.store(true, std::memory_order_release);
}

tresult PLUGIN_API Vst2Wrapper::beginEdit(ParamID id) {
    const int32 index = indexOf(id);
    if (index < 0) {
        return kInvalidArgument;
    }
    callHost(audioMasterBeginEdit, index);
    return kResultOk;
}

// The host takes the edit as automation only: the processor must be told by the wrapper.
tresult PLUGIN_API Vst2Wrapper::performEdit(ParamID id, ParamValue valueNormalized) {
    const int32 index = indexOf(id);
    if (index < 0) {
        return kInvalidArgument;
    }
    queueForProcessor(index, valueNormalized);
    callHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(valueNormalized));
    return kResultOk;
}

tresult PLUGIN_API Vst2Wrapper::endEdit(ParamID id) {
    const int32 index = indexOf(id);
    if (index < 0) {
        return kInvalidArgument;
    }
    callHost(audioMasterEndEdit, index);
    return kResultOk;
}

tresult PLUGIN_API Vst2Wrapper::restartComponent(int32 flags) {
    if (flags & kLatencyChanged) {
        updateLatency();
        callHost(kHostIoChanged);
    }
    return kResultOk;
}

tresult PLUGIN_API Vst2Wrapper::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, IComponentHandler::iid)) {
        *obj = static_cast<IComponentHandler*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

// Processing

bool Vst2Wrapper::resume() {
    if (active) {
        return true;
    }
    ProcessSetup setup{kRealtime, sampleSize, blockSize, sampleRate};
    if (processor->setupProcessing(setup) != kResultOk || component->setActive(true) != kResultOk) {
        return false;
    }
    processor->setProcessing(true);  // processors without it answer kNotImplemented
    active = true;
    updateLatency();
    return true;
}

void Vst2Wrapper::suspend() {
    if (!active) {
        return;
    }
    active = false;
    processor->setProcessing(false);
    component->setActive(false);
}

void Vst2Wrapper::updateLatency() {
    effect.initialDelay =
        static_cast<int32>(std::min<uint32>(processor->getLatencySamples(), INT32_MAX));
}

void Vst2Wrapper::takePendingChanges() noexcept {
    changes.used = 0;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (pending[i].waiting.exchange(false, std::memory_order_acquire)) {
            PointQueue& queue = changes.queues[changes.used++];
            queue.id = parameterIds[i];
            queue.value = pending[i].value.load(std::memory_order_relaxed);
        }
    }
}

// Host blocks longer than the block size given to the processor are rendered in slices; the
// parameter changes go with the first.
template <typename Sample>
void Vst2Wrapper::process(Sample** inputs, Sample** outputs, int32 frames, int32 size) noexcept {
    if (!outputs || frames <= 0 || !outputs[0] || !outputs[1]) {
        return;
    }
    if (!active || size != sampleSize || !inputs || !inputs[0] || !inputs[1]) {
        silence(outputs, frames);
        return;
    }
    takePendingChanges();
    for (int32 done = 0; done < frames;) {
        const int32 count = std::min(frames - done, blockSize);
        Sample* in[kChannels] = {inputs[0] + done, inputs[1] + done};
        Sample* out[kChannels] = {outputs[0] + done, outputs[1] + done};
        AudioBusBuffers inBus;
        AudioBusBuffers outBus;
        inBus.numChannels = outBus.numChannels = kChannels;
        setBuffers(inBus, in);
        setBuffers(outBus, out);
        ProcessData data;
        data.processMode = kRealtime;
        data.symbolicSampleSize = size;
        data.numSamples = count;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = &changes;
        try {
            if (processor->process(data) != kResultOk) {
                silence(out, count);
            }
        } catch (...) {
            silence(out, count);
        }
        changes.used = 0;
        done += count;
    }
}

tresult PLUGIN_API Vst2Wrapper::PointQueue::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, IParamValueQueue::iid)) {
        *obj = static_cast<IParamValueQueue*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API Vst2Wrapper::PointQueue::getPoint(int32 index, int32& sampleOffset,
                                                     ParamValue& v) {
    if (index != 0) {
        return kResultFalse;
    }
    sampleOffset = 0;
    v = value;
    return kResultOk;
}

tresult PLUGIN_API Vst2Wrapper::ParameterChanges::queryInterface(const TUID iid, void** obj) {
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, IParameterChanges::iid)) {
        *obj = static_cast<IParameterChanges*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

IParamValueQueue* PLUGIN_API Vst2Wrapper::ParameterChanges::getParameterData(int32 index) {
    return index >= 0 && index < used ? &queues[static_cast<std::size_t>(index)] : nullptr;
}

// State

VstIntPtr Vst2Wrapper::getChunk(void** data) {
    *data = nullptr;
    std::string processorState;
    std::string controllerState;
    if (!saveState(*component, processorState) || !saveState(*controller, controllerState) ||
        processorState.size() + controllerState.size() > INT32_MAX - 2 * kSizeBytes) {
        return 0;
    }
    std::vector<char> framed;
    framed.reserve(2 * kSizeBytes + processorState.size() + controllerState.size());
    appendSize(framed, processorState.size());
    framed.insert(framed.end(), processorState.begin(), processorState.end());
    appendSize(framed, controllerState.size());
    framed.insert(framed.end(), controllerState.begin(), controllerState.end());
    chunk.swap(framed);
    *data = chunk.data();
    return static_cast<VstIntPtr>(chunk.size());
}

VstIntPtr Vst2Wrapper::setChunk(const void* data, VstIntPtr size) {
    if (!data || size < static_cast<VstIntPtr>(2 * kSizeBytes) || size > INT32_MAX) {
        return 0;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    const auto total = static_cast<std::uint64_t>(size);
    const std::uint64_t processorSize = readSize(bytes);
    if (processorSize > total - 2 * kSizeBytes) {
        return 0;
    }
    const std::uint64_t controllerAt = kSizeBytes + processorSize;
    const std::uint64_t controllerSize = readSize(bytes + controllerAt);
    if (controllerAt + kSizeBytes + controllerSize != total) {
        return 0;
    }
    const char* processorState = reinterpret_cast<const char*>(bytes + kSizeBytes);
    const char* controllerState = reinterpret_cast<const char*>(bytes + controllerAt + kSizeBytes);

    // The processor refuses a corrupt state without changing; the controller's part can only
    // be tried, so what both held is kept to go back to. The controller's values may be ahead
    // of the processor's state by changes still waiting for a process call.
    std::string previous;
    const bool canGoBack = saveState(*component, previous);
    std::vector<ParamValue> values;
    for (const ParamID id : parameterIds) {
        values.push_back(controller->getParamNormalized(id));
    }
    if (!loadState(processorState, processorSize,
                   [&](IBStream* stream) { return component->setState(stream); })) {
        return 0;
    }
    // Values set before the load are not to reach the processor after it.
    for (PendingValue& value : pending) {
        value.waiting.store(false, std::memory_order_relaxed);
    }
    const bool loaded =
        loadState(processorState, processorSize,
                  [&](IBStream* stream) { return controller->setComponentState(stream); }) &&
        (controllerSize == 0 || loadState(controllerState, controllerSize, [&](IBStream* stream) {
             return controller->setState(stream);
         }));
    if (!loaded) {
        if (canGoBack) {
            loadState(previous.data(), previous.size(),
                      [&](IBStream* stream) { return component->setState(stream); });
            loadState(previous.data(), previous.size(),
                      [&](IBStream* stream) { return controller->setComponentState(stream); });
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            controller->setParamNormalized(parameterIds[i], values[i]);
            queueForProcessor(static_cast<int32>(i), values[i]);
        }
        return 0;
    }
    return 1;
}

// Editor

VstIntPtr Vst2Wrapper::editorOpcode(int32 opcode, void* ptr) {
    if (!editorAvailable) {
        return 0;
    }
    switch (opcode) {
        case effEditGetRect: {
            if (!ptr) {
                return 0;
            }
            if (!view) {
                view = owned(controller->createView(ViewType::kEditor));
            }
            ViewRect size;
            if (!view || view->getSize(&size) != kResultOk) {
                return 0;
            }
            editorRect = {toShort(size.top), toShort(size.left), toShort(size.bottom),
                          toShort(size.right)};
            *static_cast<ERect**>(ptr) = &editorRect;
            return 1;
        }
        case effEditOpen:
            if (viewAttached) {
                return 1;
            }
            if (!view) {
                view = owned(controller->createView(ViewType::kEditor));
            }
            if (!view || view->attached(ptr, kPlatformTypeHWND) != kResultOk) {
                view = nullptr;
                return 0;
            }
            viewAttached = true;
            return 1;
        case effEditClose:
            closeEditor();
            return 1;
        default:
            return 0;
    }
}

void Vst2Wrapper::closeEditor() {
    if (view && viewAttached) {
        view->removed();
    }
    viewAttached = false;
    view = nullptr;
}

VstIntPtr Vst2Wrapper::callHost(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt) {
    return hostCallback ? hostCallback(&effect, opcode, index, value, ptr, opt) : 0;
}

}  // namespace Vst
}  // namespace Steinberg
