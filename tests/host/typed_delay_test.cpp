// A user lining up tracks types a delay into the editor's readout of the built module: the
// engine then delays (or, negative, reports as latency) exactly what was typed. Windows only: it
// needs the editor in a window.
#include <gtest/gtest.h>

#include <vector>

#include "editor_rig.h"
#include "host_rig.h"

namespace {

using namespace host_test;

constexpr int32 kBlock = 480;

class EditRecorder : public RecordingHandler {
  public:
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        if (id == 1)
            edits.push_back(value);
        return kResultOk;
    }
    std::vector<ParamValue> edits;
};

// One stereo block: an impulse at its start or silence; answers where the left output sounds.
std::vector<int32> block(IAudioProcessor& processor, bool impulse, int32 first,
                         IParameterChanges* changes = nullptr) {
    std::vector<float> left(kBlock), right(kBlock);
    left[0] = right[0] = impulse ? 1.f : 0.f;
    float* channels[2] = {left.data(), right.data()};
    AudioBusBuffers bus{};
    bus.numChannels = 2;
    bus.channelBuffers32 = channels;  // processed in place
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = kBlock;
    data.numInputs = data.numOutputs = 1;
    data.inputs = data.outputs = &bus;
    data.inputParameterChanges = changes;
    EXPECT_EQ(processor.process(data), kResultOk);
    std::vector<int32> at;
    for (int32 i = 0; i < kBlock; ++i) {
        if (left[i] != 0.f)
            at.push_back(first + i);
    }
    return at;
}

// True while the value field covers the readout: its background shows left of the text.
bool fieldShown(HWND frame) {
    UpdateWindow(frame);
    const HDC dc = GetDC(frame);
    const COLORREF pixel = GetPixel(dc, 123 - 44, 148);
    ReleaseDC(frame, dc);
    return pixel == RGB(32, 34, 40);
}

// Double-clicks the readout of the editor shown in the host's window and types `text` into the
// field that opens, as the keyboard does through the editor's window, then Enter.
void typeIntoReadout(const wchar_t* text) {
    const HWND frame = FindWindowExW(gui_test::parentWindow(), nullptr, nullptr, nullptr);
    ASSERT_NE(frame, nullptr);
    PostMessageW(frame, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(123, 148));  // the readout
    gui_test::pump();
    ASSERT_TRUE(fieldShown(frame));
    for (const wchar_t* c = text; *c; ++c)
        PostMessageW(frame, WM_CHAR, *c, 0);
    PostMessageW(frame, WM_KEYDOWN, VK_RETURN, 0);
    gui_test::pump();
    EXPECT_FALSE(fieldShown(frame));  // taken, closed
}

TEST_F(ModuleFixture, ASampleCountTypedIntoTheReadoutIsTheDelayTheEngineApplies) {
    HostContext context;
    auto plugin = instance(&context);
    ASSERT_TRUE(plugin->ready);
    EditRecorder handler;
    ASSERT_EQ(plugin->controller->setComponentHandler(&handler), kResultOk);
    ProcessSetup setup{kRealtime, kSample32, kBlock, 48000};
    ASSERT_EQ(plugin->processor->setupProcessing(setup), kResultOk);  // tells the rate
    plugin->activate(true);
    struct Case {
        const wchar_t* typed;
        int32 delay;    // samples heard
        int32 latency;  // samples reported
    };
    for (const Case& c : {Case{L"4801 smp", 4801, 0}, Case{L" 1 samples", 1, 0},
                          Case{L"\u2212"
                               L"4799 smp",
                               0, 4799},
                          Case{L"-1,5 ms", 0, 72}}) {
        SCOPED_TRACE(testing::Message() << c.delay << " / " << c.latency);
        handler.edits.clear();
        showEditor(*plugin->controller, false, [&](IPlugView&) { typeIntoReadout(c.typed); });
        ASSERT_EQ(handler.edits.size(), 1u);
        EXPECT_EQ(plugin->processor->getLatencySamples(), static_cast<uint32>(c.latency));
        // The host plays the edit back as automation; once the glide has settled, an impulse.
        Automation edit(1, {{0, handler.edits[0]}});
        block(*plugin->processor, false, 0, &edit);
        for (int i = 0; i < 100; ++i)
            block(*plugin->processor, false, 0);
        std::vector<int32> heard;
        for (int32 b = 0; b < 12; ++b) {
            const auto at = block(*plugin->processor, b == 0, b * kBlock);
            heard.insert(heard.end(), at.begin(), at.end());
        }
        EXPECT_EQ(heard, std::vector<int32>{c.delay});
    }
    plugin->activate(false);
    plugin->controller->setComponentHandler(nullptr);
}

}  // namespace
