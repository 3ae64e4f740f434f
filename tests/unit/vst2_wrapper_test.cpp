// The VST 2 effect built over the plug-in's processor and controller, driven only through the
// AEffect as a VST 2 host drives it: description, parameters, latency, audio in both
// precisions, chunks, and creation and closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "controller.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "processor.h"
#include "vst2_wrapper.h"

namespace quenvale {
namespace {

using Steinberg::FUID;
using Steinberg::IPtr;
using Steinberg::kResultOk;
using Steinberg::tresult;
using Steinberg::uint32;
using Steinberg::Vst::Vst2Wrapper;

const FUID kProcessorCid(0x5175656E, 0x76616C65, 0x50726F63, 0x00000001);
const FUID kControllerCid(0x5175656E, 0x76616C65, 0x436F6E74, 0x00000002);
const FUID kUnknownCid(0x5175656E, 0x76616C65, 0x4E6F6E65, 0x00000003);
constexpr int kUniqueId = 0x51766C32;

// Creates the plug-in's two classes, keeping a reference to the last of each made.
class TestFactory : public Steinberg::IPluginFactory2 {
  public:
    bool offerProcessor = true;
    bool offerController = true;
    IPtr<Processor> processor;
    IPtr<Controller> controller;

    // Test-owned: reference counting is not exercised.
    tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override {
        if (FUID::fromTUID(iid) == FUnknown::iid || FUID::fromTUID(iid) == IPluginFactory::iid ||
            FUID::fromTUID(iid) == IPluginFactory2::iid) {
            *obj = static_cast<IPluginFactory2*>(this);
            return kResultOk;
        }
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override {
        *info = Steinberg::PFactoryInfo("Test Vendor", "", "", Steinberg::PFactoryInfo::kUnicode);
        return kResultOk;
    }
    Steinberg::int32 PLUGIN_API countClasses() override { return 2; }
    tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override {
        Steinberg::PClassInfo2 full;
        if (getClassInfo2(index, &full) != kResultOk) {
            return Steinberg::kInvalidArgument;
        }
        *info = Steinberg::PClassInfo(full.cid, full.cardinality, full.category, full.name);
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(Steinberg::int32 index,
                                     Steinberg::PClassInfo2* info) override {
        if (index < 0 || index > 1) {
            return Steinberg::kInvalidArgument;
        }
        const FUID& cid = index == 0 ? kProcessorCid : kControllerCid;
        *info =
            Steinberg::PClassInfo2(cid, Steinberg::PClassInfo::kManyInstances,
                                   index == 0 ? kVstAudioEffectClass : kVstComponentControllerClass,
                                   index == 0 ? "Quenvale64" : "Quenvale64Controller", 0,
                                   "Fx|Delay", "", "0.1.0", kVstVersionString);
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                      void** obj) override {
        *obj = nullptr;
        if (offerProcessor && FUID::fromTUID(cid) == kProcessorCid) {
            processor = Steinberg::owned(new Processor);
            processor->setControllerClass(kControllerCid);
            return processor->queryInterface(iid, obj);
        }
        if (offerController && FUID::fromTUID(cid) == kControllerCid) {
            controller = Steinberg::owned(new Controller);
            return controller->queryInterface(iid, obj);
        }
        return Steinberg::kNoInterface;
    }
};

template <class Object>
uint32 references(Object& object) {
    object.addRef();
    return object.release();
}

struct HostCall {
    int opcode;
    int index;
    float opt;
};
std::vector<HostCall> hostCalls;

VstIntPtr recordingHost(AEffect*, int opcode, int index, VstIntPtr, void*, float opt) {
    hostCalls.push_back({opcode, index, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* createEffect(TestFactory& factory, const FUID& cid = kProcessorCid) {
    Vst2Wrapper* wrapper = Vst2Wrapper::create(&factory, cid, kUniqueId, recordingHost);
    return wrapper ? wrapper->getAeffect() : nullptr;
}

std::uint32_t readSize(const std::vector<char>& bytes, std::size_t at) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) {
        n = n << 8 | static_cast<unsigned char>(bytes.at(at + i));
    }
    return n;
}

class Vst2Effect : public ::testing::Test {
  protected:
    void SetUp() override {
        hostCalls.clear();
        effect = createEffect(factory);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) {
            dispatch(effClose);
        }
    }

    VstIntPtr dispatch(int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // A text opcode's answer, checking that it stays within 64 bytes.
    std::string text(int opcode, int index = 0) {
        char buffer[128];
        std::memset(buffer, '#', sizeof buffer);
        dispatch(opcode, index, 0, buffer);
        EXPECT_NE(std::memchr(buffer, '\0', 64), nullptr);
        EXPECT_EQ(buffer[64], '#');
        return buffer;
    }

    void resume(float rate) {
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effMainsChanged, 0, 1);
    }
    void suspend() { dispatch(effMainsChanged, 0, 0); }

    // Whether the host heard `opcode` (for parameter `index`, with `opt`, when given).
    bool hostWasTold(int opcode, int index = -1, std::optional<float> opt = std::nullopt) const {
        for (const HostCall& call : hostCalls) {
            if (call.opcode == opcode && (index < 0 || call.index == index) &&
                (!opt || call.opt == *opt)) {
                return true;
            }
        }
        return false;
    }

    std::vector<char> chunk() {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
        EXPECT_GT(size, 0);
        return size > 0
                   ? std::vector<char>(static_cast<char*>(data), static_cast<char*>(data) + size)
                   : std::vector<char>();
    }
    VstIntPtr loadChunk(std::vector<char> bytes) {
        return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), bytes.data());
    }

    // Runs left = impulse, right = -impulse / 2 through the effect in host calls of `hostBlock`
    // frames; returns where each channel is not silent.
    template <typename S>
    std::vector<std::vector<int>> impulseResponse(int length, int hostBlock) {
        std::vector<std::vector<S>> in(2, std::vector<S>(length));
        std::vector<std::vector<S>> out(2, std::vector<S>(length, S(7)));
        in[0][0] = S(1);
        in[1][0] = S(-0.5);
        for (int done = 0; done < length; done += hostBlock) {
            S* inputs[2] = {in[0].data() + done, in[1].data() + done};
            S* outputs[2] = {out[0].data() + done, out[1].data() + done};
            const int frames = std::min(hostBlock, length - done);
            if constexpr (std::is_same_v<S, float>) {
                effect->processReplacing(effect, inputs, outputs, frames);
            } else {
                effect->processDoubleReplacing(effect, inputs, outputs, frames);
            }
        }
        std::vector<std::vector<int>> heard(2);
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < length; ++i) {
                if (out[c][i] != S(0)) {
                    heard[c].push_back(i);
                    EXPECT_EQ(out[c][i], in[c][0]) << "channel " << c << " sample " << i;
                }
            }
        }
        return heard;
    }

    // One block of silence, in place: carries the host's changes to the processor.
    template <typename S>
    void carry() {
        std::vector<S> left(256), right(256);
        S* buffers[2] = {left.data(), right.data()};
        if constexpr (std::is_same_v<S, float>) {
            effect->processReplacing(effect, buffers, buffers, 256);
        } else {
            effect->processDoubleReplacing(effect, buffers, buffers, 256);
        }
    }

    // Sets the delay, lets one block carry it to the processor and resumes at `rate`, so that
    // the engine starts at the new delay instead of gliding to it.
    template <typename S>
    void settleDelay(float value, float rate) {
        effect->setParameter(effect, Parameters::kParamDelay, value);
        carry<S>();
        suspend();
        resume(rate);
    }

    TestFactory factory;
    AEffect* effect = nullptr;
};

TEST_F(Vst2Effect, DescribesItselfAsAStereoEffectWithTheControllersParameters) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numParams, 2);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->uniqueID, kUniqueId);
    EXPECT_EQ(effect->version, 100);  // "0.1.0"
    EXPECT_EQ(effect->flags & effFlagsCanReplacing, effFlagsCanReplacing);
    EXPECT_EQ(effect->flags & effFlagsCanDoubleReplacing, effFlagsCanDoubleReplacing);
    EXPECT_EQ(effect->flags & effFlagsProgramChunks, effFlagsProgramChunks);
#ifdef _WIN32
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);
#else
    EXPECT_EQ(effect->flags & effFlagsHasEditor, 0) << "the editor is for Windows only";
#endif
    EXPECT_EQ(effect->initialDelay, 0);

    EXPECT_EQ(text(effGetEffectName), "Quenvale");
    EXPECT_EQ(text(effGetProductString), "Quenvale");
    EXPECT_EQ(text(effGetVendorString), "Test Vendor");
    EXPECT_EQ(dispatch(effGetVendorVersion), 100);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfo")), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent")), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("somethingNew")), 0);

    ERect* rect = nullptr;
#ifdef _WIN32
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 246);
    EXPECT_EQ(rect->bottom - rect->top, 160);
    EXPECT_EQ(dispatch(effEditOpen), 0) << "no window to open in";
#else
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(dispatch(effEditOpen), 0);
#endif

    EXPECT_TRUE(hostCalls.empty()) << "the host is called before it holds the effect";
}

TEST_F(Vst2Effect, NamesLabelsAndShowsEachParameterAsTheControllerDoes) {
    EXPECT_EQ(text(effGetParamName, 0), "Bypass");
    EXPECT_EQ(text(effGetParamName, 1), "Delay");
    EXPECT_EQ(text(effGetParamLabel, 0), "");
    EXPECT_EQ(text(effGetParamLabel, 1), "ms");
    EXPECT_EQ(text(effGetParamDisplay, 0), "Off");
    EXPECT_EQ(text(effGetParamDisplay, 1), "2.00");
    EXPECT_EQ(dispatch(effCanBeAutomated, 0), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, 1), 1);

    effect->setParameter(effect, Parameters::kParamBypass, 1.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.0f);
    EXPECT_EQ(text(effGetParamDisplay, 0), "On");
    EXPECT_EQ(text(effGetParamDisplay, 1), "-400.00");

    for (int outside : {-1, 2}) {
        EXPECT_EQ(text(effGetParamName, outside), "");
        EXPECT_EQ(text(effGetParamDisplay, outside), "");
        EXPECT_EQ(dispatch(effCanBeAutomated, outside), 0);
        effect->setParameter(effect, outside, 0.5f);
        EXPECT_EQ(effect->getParameter(effect, outside), 0.0f);
    }
}

TEST_F(Vst2Effect, ANegativeDelayIsReportedAsLatencyAndTheHostIsToldWhenItChanges) {
    dispatch(effSetBlockSize, 0, 512);
    resume(44100.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.375f);  // -100 ms
    EXPECT_EQ(effect->getParameter(effect, Parameters::kParamDelay), 0.375f);
    EXPECT_TRUE(hostWasTold(Vst2Wrapper::kHostIoChanged));
    EXPECT_EQ(effect->initialDelay, 4410);
    EXPECT_FALSE(hostWasTold(audioMasterAutomate)) << "the host's own change is echoed";

    carry<float>();
    suspend();
    resume(48000.0f);
    EXPECT_EQ(effect->initialDelay, 4800);

    hostCalls.clear();
    effect->setParameter(effect, Parameters::kParamDelay, 0.625f);  // +100 ms: no latency
    EXPECT_TRUE(hostWasTold(Vst2Wrapper::kHostIoChanged));
    EXPECT_EQ(effect->initialDelay, 0);
}

TEST_F(Vst2Effect, RendersTheDelaySetThroughTheHostInBlocksLongerThanTheBlockSize) {
    dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(impulseResponse<float>(1000, 1000)[0], std::vector<int>())
        << "a suspended effect must write silence";

    resume(44100.0f);
    settleDelay<float>(0.625f, 44100.0f);  // +100 ms
    const auto heard = impulseResponse<float>(6000, 1000);
    EXPECT_EQ(heard[0], std::vector<int>{4410});
    EXPECT_EQ(heard[1], std::vector<int>{4410});

    settleDelay<float>(0.375f, 44100.0f);  // -100 ms: the host plays the track 4410 earlier
    EXPECT_EQ(effect->initialDelay, 4410);
    EXPECT_EQ(impulseResponse<float>(6000, 1000)[0], std::vector<int>{0});
}

TEST_F(Vst2Effect, Renders64BitSamplesOnceThePrecisionIsSetWhileSuspended) {
    EXPECT_EQ(dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64), 1);
    resume(48000.0f);
    EXPECT_EQ(dispatch(effSetProcessPrecision, 0, kVstProcessPrecision32), 0)
        << "the precision changed while resumed";
    settleDelay<double>(0.625f, 48000.0f);
    const auto heard = impulseResponse<double>(6000, 1024);
    EXPECT_EQ(heard[0], std::vector<int>{4800});
    EXPECT_EQ(heard[1], std::vector<int>{4800});
}

TEST_F(Vst2Effect, AChunkBringsBackWhatTheProcessorAndTheControllerHeldWhenItWasTaken) {
    resume(44100.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.375f);
    carry<float>();
    const std::vector<char> saved = chunk();
    ASSERT_GE(saved.size(), 8u);
    const std::uint32_t processorSize = readSize(saved, 0);
    ASSERT_LE(processorSize + 8u, saved.size());
    EXPECT_EQ(8u + processorSize + readSize(saved, 4 + processorSize), saved.size());

    effect->setParameter(effect, Parameters::kParamBypass, 1.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.9f);
    carry<float>();
    ASSERT_EQ(effect->initialDelay, 0);
    hostCalls.clear();

    EXPECT_EQ(loadChunk(saved), 1);
    EXPECT_EQ(effect->getParameter(effect, Parameters::kParamBypass), 0.0f);
    EXPECT_EQ(effect->getParameter(effect, Parameters::kParamDelay), 0.375f);
    EXPECT_EQ(effect->initialDelay, 4410) << "the processor's part was not loaded";
    EXPECT_TRUE(hostWasTold(Vst2Wrapper::kHostIoChanged));
    EXPECT_TRUE(hostWasTold(audioMasterBeginEdit, 1));
    EXPECT_TRUE(hostWasTold(audioMasterAutomate, 1, 0.375f));
    EXPECT_TRUE(hostWasTold(audioMasterEndEdit, 1));
    EXPECT_EQ(chunk(), saved);
    suspend();
    resume(44100.0f);
    EXPECT_EQ(effect->initialDelay, 4410)
        << "the processor's own state did not take the loaded delay";
}

TEST_F(Vst2Effect, AMalformedChunkIsRefusedAndChangesNothing) {
    resume(44100.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.375f);
    carry<float>();
    const std::vector<char> good = chunk();
    const std::uint32_t processorSize = readSize(good, 0);
    effect->setParameter(effect, Parameters::kParamDelay, 0.625f);
    carry<float>();
    ASSERT_EQ(effect->initialDelay, 0);
    // Not yet processed: the controller is ahead of the processor's state.
    effect->setParameter(effect, Parameters::kParamBypass, 1.0f);

    auto with = [&](auto change) {
        std::vector<char> bytes = good;
        change(bytes);
        return bytes;
    };
    const std::vector<std::vector<char>> malformed = {
        {},
        std::vector<char>(good.begin(), good.begin() + 7),
        std::vector<char>(good.begin(), good.end() - 1),
        with([](std::vector<char>& b) { b.push_back('\0'); }),
        with([](std::vector<char>& b) { b[0] = static_cast<char>(b[0] + 1); }),
        with([](std::vector<char>& b) { b[3] = static_cast<char>(0x80); }),
        // framed correctly, but the processor's part or only the controller's part is corrupt
        with([](std::vector<char>& b) { std::memset(b.data() + 8, 'x', 4); }),
        with([&](std::vector<char>& b) { std::memset(b.data() + 12 + processorSize, 'x', 4); }),
    };
    for (std::size_t i = 0; i < malformed.size(); ++i) {
        EXPECT_EQ(loadChunk(malformed[i]), 0) << "chunk " << i;
        EXPECT_EQ(effect->getParameter(effect, Parameters::kParamDelay), 0.625f) << "chunk " << i;
        EXPECT_EQ(effect->getParameter(effect, Parameters::kParamBypass), 1.0f) << "chunk " << i;
        EXPECT_EQ(effect->initialDelay, 0) << "chunk " << i;
    }
    EXPECT_EQ(dispatch(effSetChunk, 0, 100, nullptr), 0);

    carry<float>();
    suspend();
    resume(44100.0f);
    EXPECT_EQ(effect->initialDelay, 0) << "the processor kept part of a refused chunk";
    EXPECT_EQ(impulseResponse<float>(6000, 1000)[0], std::vector<int>{0})
        << "the processor lost the bypass set before the refused chunks";
}

TEST(Vst2EffectLifetime, CreationNeedsBothClassesAndLeavesNothingBehindWhenItFails) {
    TestFactory factory;
    EXPECT_EQ(Vst2Wrapper::create(nullptr, kProcessorCid, kUniqueId, recordingHost), nullptr);
    EXPECT_EQ(createEffect(factory, kUnknownCid), nullptr);

    factory.offerController = false;
    EXPECT_EQ(createEffect(factory), nullptr);
    ASSERT_TRUE(factory.processor);
    EXPECT_EQ(references(*factory.processor), 1u);

    factory.offerController = true;
    factory.offerProcessor = false;
    factory.processor = nullptr;
    EXPECT_EQ(createEffect(factory), nullptr);
}

TEST(Vst2EffectLifetime, ClosingAResumedEffectReleasesTheProcessorAndTheController) {
    TestFactory factory;
    AEffect* effect = createEffect(factory);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect->setParameter(effect, Parameters::kParamDelay, 0.375f);
    void* data = nullptr;
    EXPECT_GT(effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f), 0);

    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(references(*factory.processor), 1u);
    EXPECT_EQ(references(*factory.controller), 1u);
}

}  // namespace
}  // namespace quenvale
