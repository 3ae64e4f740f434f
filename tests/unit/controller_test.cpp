// The edit controller as a host drives it: the parameters it registers, the delay it passes on to
// the processor, saved states (the processor's and its own), display texts, the processor's
// messages, attached editors, and a controller and processor connected to each other.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "controller.h"
#include "controller_host.h"
#include "processor.h"

namespace quenvale {
namespace {

using namespace controller_testing;
using Steinberg::IPtr;
using Steinberg::Vst::ParameterInfo;

constexpr ParamID kBypass = Parameters::kParamBypass;
constexpr ParamID kDelay = Parameters::kParamDelay;
constexpr double kDefaultDelay = static_cast<double>(Parameters::kDefaultDelay);
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Rig = ControllerRig<Controller>;

// An editor that records what it is told and can run something while it is told.
class TestEditor : public Steinberg::Vst::EditorView {
  public:
    explicit TestEditor(Steinberg::Vst::EditController* c) : EditorView(c) {}
    void onParameterChanged(ParamID id, ParamValue value) {
        calls.emplace_back(id, value);
        if (whenTold)
            whenTold(*this);
    }
    std::vector<std::pair<ParamID, ParamValue>> calls;
    std::function<void(TestEditor&)> whenTold;
};

class TestController : public corvane::vst::ControllerBase<TestController, Parameters, TestEditor> {
};

using EditorRig = ControllerRig<TestController>;

IPtr<TestEditor> makeEditor(TestController* controller) {
    return IPtr<TestEditor>(new TestEditor(controller), false);
}

std::string displayText(Controller& controller, ParamID id, double value, tresult* result) {
    Steinberg::Vst::String128 text{};
    *result = controller.getParamStringByValue(id, value, text);
    return ascii(text);
}

std::optional<double> parsed(Controller& controller, ParamID id, const std::string& text) {
    HostString host = hostString(text);
    ParamValue value = -12345;
    if (controller.getParamValueByString(id, host.data(), value) != kResultOk)
        return {};
    return value;
}

TEST(ControllerParameters, BypassAndDelayAreRegisteredInThatOrderWithTheirDescriptions) {
    Rig rig;
    ASSERT_EQ(rig->getParameterCount(), 2);
    ParameterInfo info{};
    ASSERT_EQ(rig->getParameterInfo(0, info), kResultOk);
    EXPECT_EQ(info.id, 0u);
    EXPECT_EQ(ascii(info.title), "Bypass");
    EXPECT_EQ(ascii(info.shortTitle), "");
    EXPECT_EQ(ascii(info.units), "");
    EXPECT_EQ(info.stepCount, 1);
    EXPECT_EQ(info.defaultNormalizedValue, 0.0);
    EXPECT_EQ(info.flags, 65537);
    EXPECT_EQ(info.unitId, 0);
    ASSERT_EQ(rig->getParameterInfo(1, info), kResultOk);
    EXPECT_EQ(info.id, 1u);
    EXPECT_EQ(ascii(info.title), "Delay");
    EXPECT_EQ(ascii(info.shortTitle), "");
    EXPECT_EQ(ascii(info.units), "ms");
    EXPECT_EQ(info.stepCount, 0);
    EXPECT_EQ(info.defaultNormalizedValue, 0.5024999976158142);
    EXPECT_EQ(info.flags, 1);
    EXPECT_EQ(info.unitId, 0);
    EXPECT_EQ(rig->getParamNormalized(kBypass), 0.0);
    EXPECT_EQ(rig->getParamNormalized(kDelay), kDefaultDelay);
}

TEST(ControllerParameters, AnIndexOutsideTheListIsAnsweredFalse) {
    Rig rig;
    ParameterInfo info{};
    for (int32 index : {-1, 2, 1000, std::numeric_limits<int32>::min()}) {
        EXPECT_EQ(rig->getParameterInfo(index, info), kResultFalse) << index;
    }
}

TEST(ControllerParameters, ASecondInitializeSucceedsAndRegistersNothingMore) {
    Rig rig;
    EXPECT_EQ(rig->initialize(&rig.application), kResultOk);
    EXPECT_EQ(rig->getParameterCount(), 2);
}

// A host that passes no context the first time must not get every parameter twice.
TEST(ControllerParameters, ASecondInitializeAfterOneWithoutContextRegistersNothingMore) {
    IPtr<Controller> controller(new Controller, false);
    Steinberg::Vst::HostApplication application;
    EXPECT_EQ(controller->initialize(nullptr), kResultOk);
    EXPECT_EQ(controller->initialize(&application), kResultOk);
    EXPECT_EQ(controller->getParameterCount(), 2);
    controller->terminate();
}

TEST(ControllerDelayMessage, TheFirstDelayGoesOutWhateverItsValue) {
    for (double value : {0.0, kDefaultDelay, 0.5, 1.0}) {
        Rig rig;
        EXPECT_EQ(rig->setParamNormalized(kDelay, value), kResultOk);
        ASSERT_EQ(rig.peer->messages.size(), 1u) << value;
        EXPECT_EQ(rig.peer->messages[0].id, "u0");
        EXPECT_EQ(rig.peer->messages[0].uk0, value);
    }
}

TEST(ControllerDelayMessage, AValueAFloatHoldsGoesOutOnlyWhenItChanges) {
    Rig rig;
    for (double value : {0.25, 0.25, 0.25, 0.75, 0.75, 0.25})
        rig->setParamNormalized(kDelay, value);
    ASSERT_EQ(rig.peer->messages.size(), 3u);
    EXPECT_EQ(rig.peer->messages[0].uk0, 0.25);
    EXPECT_EQ(rig.peer->messages[1].uk0, 0.75);
    EXPECT_EQ(rig.peer->messages[2].uk0, 0.25);
}

TEST(ControllerDelayMessage, AValueAFloatCannotHoldGoesOutEveryTimeAndNaNNever) {
    Rig rig;
    for (int i = 0; i < 3; ++i)
        rig->setParamNormalized(kDelay, 0.1);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(rig->setParamNormalized(kDelay, kNaN), kResultFalse);
    ASSERT_EQ(rig.peer->messages.size(), 3u);
    EXPECT_EQ(rig.peer->messages[2].uk0, 0.1);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 0.1);
}

TEST(ControllerDelayMessage, BypassChangesSendNothing) {
    Rig rig;
    for (double value : {1.0, 0.0, 0.3})
        EXPECT_EQ(rig->setParamNormalized(kBypass, value), kResultOk);
    EXPECT_TRUE(rig.peer->messages.empty());
}

TEST(ControllerDelayMessage, AValueAboveOneIsStoredClampedButSentAsGiven) {
    Rig rig;
    EXPECT_EQ(rig->setParamNormalized(kDelay, 1.5), kResultOk);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 1.0);
    ASSERT_EQ(rig.peer->messages.size(), 1u);
    EXPECT_EQ(rig.peer->messages[0].uk0, 1.5);
}

TEST(ControllerDelayMessage, WithoutAHostApplicationOrAPeerTheDelayIsStillStored) {
    // A context that cannot make messages: nothing reaches the peer.
    IPtr<Steinberg::FObject> notAHost(new Steinberg::FObject, false);
    IPtr<RecordingPeer> peer(new RecordingPeer, false);
    IPtr<Controller> controller(new Controller, false);
    ASSERT_EQ(controller->initialize(notAHost), kResultOk);
    ASSERT_EQ(controller->connect(peer), kResultOk);
    EXPECT_EQ(controller->setParamNormalized(kDelay, 0.3), kResultOk);
    EXPECT_EQ(controller->getParamNormalized(kDelay), 0.3);
    EXPECT_TRUE(peer->messages.empty());
    controller->terminate();

    // A host but no peer: the message is made and dropped.
    Rig unconnected(false);
    unconnected->disconnect(unconnected.peer);
    EXPECT_EQ(unconnected->setParamNormalized(kDelay, 0.3), kResultOk);
    EXPECT_EQ(unconnected->getParamNormalized(kDelay), 0.3);
    EXPECT_TRUE(unconnected.peer->messages.empty());
}

TEST(ControllerComponentState, TheProcessorsSavedValuesAreTakenAndTheDelayPassedOnSilently) {
    IPtr<Processor> processor(new Processor, false);
    ASSERT_EQ(fromBytes(stateBytes(R"({"bypass":1,"delay":0.25})"),
                        [&](auto* s) { return processor->setState(s); }),
              kResultOk);
    const std::string saved = toBytes([&](auto* s) { return processor->getState(s); });

    Rig rig;
    EXPECT_EQ(fromBytes(saved, [&](auto* s) { return rig->setComponentState(s); }), kResultOk);
    EXPECT_EQ(rig->getParamNormalized(kBypass), 1.0);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 0.25);
    ASSERT_EQ(rig.peer->messages.size(), 1u);
    EXPECT_EQ(rig.peer->messages[0].id, "u0");
    EXPECT_EQ(rig.peer->messages[0].uk0, 0.25);
    EXPECT_TRUE(rig.handler->calls.empty());  // the host loaded it: no edits to report
}

TEST(ControllerComponentState, AnEmptyObjectRestoresTheDefaults) {
    Rig rig;
    rig->setParamNormalized(kBypass, 1.0);
    rig->setParamNormalized(kDelay, 0.9);
    EXPECT_EQ(fromBytes(stateBytes("{}"), [&](auto* s) { return rig->setComponentState(s); }),
              kResultOk);
    EXPECT_EQ(rig->getParamNormalized(kBypass), 0.0);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 0.5024999976158142);
    EXPECT_TRUE(rig.handler->calls.empty());
}

TEST(ControllerComponentState, ABrokenStateIsRefusedAndChangesNothing) {
    Rig rig;
    rig->setParamNormalized(kBypass, 1.0);
    rig->setParamNormalized(kDelay, 0.9);
    const std::pair<const char*, std::string> broken[] = {
        {"nothing", ""},
        {"only the count", stateBytes("", 10u)},
        {"a short text", stateBytes(R"({"delay":0.1})", 40u)},
        {"an array", stateBytes("[0.1,0.2]")},
        {"a huge count", stateBytes(R"({"delay":0.1})", 0xFFFFFFF0u)},
    };
    for (const auto& [what, bytes] : broken) {
        EXPECT_EQ(fromBytes(bytes, [&](auto* s) { return rig->setComponentState(s); }),
                  kResultFalse)
            << what;
    }
    EXPECT_EQ(rig->setComponentState(nullptr), kResultFalse);
    EXPECT_EQ(rig->getParamNormalized(kBypass), 1.0);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 0.9);
    EXPECT_EQ(rig.peer->messages.size(), 1u);  // only the 0.9 set above
    EXPECT_TRUE(rig.handler->calls.empty());
}

TEST(ControllerOwnState, LoadingReportsEachValueAsAnEditBypassFirst) {
    Rig rig;
    EXPECT_EQ(fromBytes(stateBytes(R"({"delay":0.375,"bypass":1})"),
                        [&](auto* s) { return rig->setState(s); }),
              kResultOk);
    const std::vector<HandlerCall> expected = {begin(kBypass), perform(kBypass, 1.0),  end(kBypass),
                                               begin(kDelay),  perform(kDelay, 0.375), end(kDelay)};
    EXPECT_EQ(rig.handler->calls, expected);
    EXPECT_EQ(rig->getParamNormalized(kBypass), 1.0);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 0.375);
}

TEST(ControllerOwnState, ASavedStateLoadsIntoAFreshControllerExactly) {
    Rig first;
    first->setParamNormalized(kBypass, 0.7);
    first->setParamNormalized(kDelay, 0.1234567890123456789);
    tresult saved = kResultFalse;
    const std::string bytes = toBytes([&](auto* s) { return first->getState(s); }, &saved);
    EXPECT_EQ(saved, kResultOk);

    Rig second;
    EXPECT_EQ(fromBytes(bytes, [&](auto* s) { return second->setState(s); }), kResultOk);
    EXPECT_EQ(second->getParamNormalized(kBypass), 0.7);
    EXPECT_EQ(second->getParamNormalized(kDelay), 0.1234567890123456789);
}

TEST(ControllerOwnState, AFreshControllerSavesTheSameBytesAsAFreshProcessor) {
    Rig rig;
    IPtr<Processor> processor(new Processor, false);
    const std::string ours = toBytes([&](auto* s) { return rig->getState(s); });
    EXPECT_EQ(ours, toBytes([&](auto* s) { return processor->getState(s); }));
    EXPECT_EQ(ours.substr(4),
              R"({"bypass":0,"delay":0.50249999761581421,"format":1,"product":"Quenvale"})");
}

TEST(ControllerOwnState, SavingFailsOnAStreamThatTakesTooLittle) {
    Rig rig;
    for (int32 room : {0, 2, 4, 20}) {
        IPtr<ShortStream> stream(new ShortStream(room), false);
        EXPECT_EQ(rig->getState(stream), kResultFalse) << room;
    }
    EXPECT_EQ(rig->getState(nullptr), kResultFalse);
}

// The SDK lets NaN through its clamping, and NaN cannot be written as JSON: it is refused, so a
// project saved afterwards keeps the value before it.
TEST(ControllerOwnState, ANaNIsRefusedSoSavingStillWritesTheValueBeforeIt) {
    Rig rig;
    rig->setParamNormalized(kDelay, 0.3);
    const std::string before = toBytes([&](auto* s) { return rig->getState(s); });
    EXPECT_EQ(rig->setParamNormalized(kDelay, kNaN), kResultFalse);
    tresult result = kResultFalse;
    EXPECT_EQ(toBytes([&](auto* s) { return rig->getState(s); }, &result), before);
    EXPECT_EQ(result, kResultOk);
}

TEST(ControllerTexts, ValuesShowAsOnOffAndMillisecondsEvenBeforeInitialize) {
    IPtr<Controller> bare(new Controller, false);
    Rig rig;
    for (Controller* controller : {bare.get(), rig.controller.get()}) {
        tresult r = kResultFalse;
        EXPECT_EQ(displayText(*controller, kBypass, 0.5, &r), "On");
        EXPECT_EQ(displayText(*controller, kBypass, 0.49, &r), "Off");
        EXPECT_EQ(displayText(*controller, kDelay, 0.5025, &r), "2.00");
        EXPECT_EQ(displayText(*controller, kDelay, 0.0, &r), "-400.00");
        EXPECT_EQ(displayText(*controller, kDelay, 1.0, &r), "400.00");
        EXPECT_EQ(r, kResultOk);
        displayText(*controller, 2, 0.5, &r);
        EXPECT_EQ(r, kResultFalse);
    }
}

TEST(ControllerTexts, ATextGivesTheUnclampedNumberItStartsWith) {
    Rig rig;
    EXPECT_EQ(parsed(*rig.controller, kDelay, "0,25"), 0.25);
    EXPECT_EQ(parsed(*rig.controller, kDelay, "100"), 100.0);
    EXPECT_EQ(parsed(*rig.controller, kDelay, "  0.5ms"), 0.5);
    EXPECT_EQ(parsed(*rig.controller, kDelay, "-1e-1"), -0.1);
    EXPECT_EQ(parsed(*rig.controller, kBypass, "1"), 1.0);
    EXPECT_EQ(parsed(*rig.controller, kDelay, "inf"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(parsed(*rig.controller, kDelay, "abc"), std::nullopt);
    EXPECT_EQ(parsed(*rig.controller, kDelay, ""), std::nullopt);
    EXPECT_EQ(parsed(*rig.controller, 5, "0.5"), std::nullopt);
    IPtr<Controller> bare(new Controller, false);
    EXPECT_EQ(parsed(*bare, kDelay, "0.5"), std::nullopt);  // no parameter yet
}

TEST(ControllerTexts, ATextIsReadTheSameUnderACommaDecimalLocale) {
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
                             "de-DE", "German_Germany.1252", "German"}) {
        if (std::setlocale(LC_ALL, name) &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            found = name;
            break;
        }
    }
    if (!found) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    Rig rig;
    const auto point = parsed(*rig.controller, kDelay, "0.25");
    const auto comma = parsed(*rig.controller, kDelay, "0,25");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(point, 0.25) << found;
    EXPECT_EQ(comma, 0.25) << found;
}

tresult sendTo(Controller& controller, const char* id, std::optional<int64> b0 = std::nullopt) {
    IPtr<Steinberg::Vst::IMessage> message(new Steinberg::Vst::HostMessage, false);
    message->setMessageID(id);
    if (b0)
        message->getAttributes()->setInt("b0", *b0);
    return controller.notify(message);
}

TEST(ControllerNotify, ALatencyMessageRestartsTheComponentOnce) {
    Rig rig;
    EXPECT_EQ(sendTo(*rig.controller, "b1"), kResultOk);
    const std::vector<HandlerCall> expected = {restart(Steinberg::Vst::kLatencyChanged)};
    EXPECT_EQ(rig.handler->calls, expected);

    Rig withoutHandler(false);
    EXPECT_EQ(sendTo(*withoutHandler.controller, "b1"), kResultOk);
}

TEST(ControllerNotify, OnlyTheExactIdIsTheLatencyMessage) {
    Rig rig;
    for (const char* id : {"b10", "b", "B1", "", " b1"})
        sendTo(*rig.controller, id);
    EXPECT_TRUE(rig.handler->calls.empty());
}

TEST(ControllerNotify, TheActivityMessageSetsWhetherTheProcessorIsActive) {
    Rig rig;
    EXPECT_FALSE(rig->isProcessorActive());
    EXPECT_EQ(sendTo(*rig.controller, "b0", 1), kResultOk);
    EXPECT_TRUE(rig->isProcessorActive());
    EXPECT_EQ(sendTo(*rig.controller, "b0"), kResultFalse);  // no value: nothing changes
    EXPECT_TRUE(rig->isProcessorActive());
    EXPECT_EQ(sendTo(*rig.controller, "b0", 0), kResultOk);
    EXPECT_FALSE(rig->isProcessorActive());
}

TEST(ControllerNotify, TheRateMessageKeepsTheRateAndRetellsAttachedEditorsEveryValue) {
    EditorRig rig;
    const IPtr<TestEditor> editor = makeEditor(rig.controller);
    rig->editorAttached(editor);
    EXPECT_EQ(rig->processorSampleRate(), 0.0);
    IPtr<Steinberg::Vst::IMessage> message(new Steinberg::Vst::HostMessage, false);
    message->setMessageID("b3");
    EXPECT_EQ(rig->notify(message), kResultFalse);  // no rate: nothing changes
    message->getAttributes()->setFloat("b3", 48000.0);
    EXPECT_EQ(rig->notify(message), kResultOk);
    EXPECT_EQ(rig->processorSampleRate(), 48000.0);
    const std::vector<std::pair<ParamID, ParamValue>> told = {{0, rig->getParamNormalized(0)},
                                                              {1, rig->getParamNormalized(1)}};
    EXPECT_EQ(editor->calls, told);
    rig->editorRemoved(editor);
}

TEST(ControllerNotify, ANullOrAttributelessMessageIsAnsweredWithoutCrashing) {
    Rig rig;
    EXPECT_EQ(rig->notify(nullptr), Steinberg::kInvalidArgument);
    for (const char* id : {"b0", "TextMessage", "u0", static_cast<const char*>(nullptr)}) {
        IPtr<MessageWithoutAttributes> message(new MessageWithoutAttributes(id), false);
        EXPECT_EQ(rig->notify(message), kResultFalse) << (id ? id : "null id");
    }
    IPtr<MessageWithoutAttributes> latency(new MessageWithoutAttributes("b1"), false);
    EXPECT_EQ(rig->notify(latency), kResultOk);
    EXPECT_EQ(rig.handler->calls.size(), 1u);
    EXPECT_FALSE(rig->isProcessorActive());
}

TEST(ControllerEditors, OnlyTheEditorViewIsCreatedAndOnlyWhenThereIsAnEditor) {
    EditorRig rig;
    Steinberg::IPlugView* view = rig->createView(Steinberg::Vst::ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(dynamic_cast<TestEditor*>(view), nullptr);
    view->release();
    EXPECT_EQ(rig->createView("other"), nullptr);
    EXPECT_EQ(rig->createView(nullptr), nullptr);

    // The plug-in's own controller has its editor on every platform.
    Rig plain;
    for (const char* name : {"other", ""}) {
        EXPECT_EQ(plain->createView(name), nullptr) << name;
    }
    Steinberg::IPlugView* editor = plain->createView(Steinberg::Vst::ViewType::kEditor);
    ASSERT_NE(editor, nullptr);
    editor->release();
}

TEST(ControllerEditors, AnEditorIsToldOnceForEveryTimeItIsListed) {
    EditorRig rig;
    auto editor = makeEditor(rig.controller);
    IPtr<Steinberg::Vst::EditorView> stranger(new Steinberg::Vst::EditorView(rig.controller),
                                              false);
    rig->editorAttached(stranger);  // not this controller's editor type: ignored
    rig->editorAttached(editor);
    rig->editorAttached(editor);
    EXPECT_EQ(rig->attachedEditors().size(), 2u);
    rig->setParamNormalized(kDelay, 0.3);
    EXPECT_EQ(editor->calls.size(), 2u);
    rig->editorRemoved(editor);
    rig->setParamNormalized(kDelay, 0.4);
    EXPECT_EQ(editor->calls.size(), 3u);
    rig->editorRemoved(editor);
    rig->editorRemoved(editor);  // no longer listed: no effect
    rig->setParamNormalized(kDelay, 0.5);
    EXPECT_EQ(editor->calls.size(), 3u);
}

TEST(ControllerEditors, EditorsHearEveryIdAndTheValueAsPassed) {
    EditorRig rig;
    auto editor = makeEditor(rig.controller);
    rig->editorAttached(editor);
    EXPECT_EQ(rig->setParamNormalized(kBypass, 1.0), kResultOk);
    EXPECT_EQ(rig->setParamNormalized(kDelay, 1.5), kResultOk);
    EXPECT_EQ(rig->setParamNormalized(7, 0.2), kResultFalse);
    const std::vector<std::pair<ParamID, ParamValue>> expected = {
        {kBypass, 1.0}, {kDelay, 1.5}, {7u, 0.2}};
    EXPECT_EQ(editor->calls, expected);
    EXPECT_EQ(rig->getParamNormalized(kDelay), 1.0);
}

// One editor closing in response to a change must not make another miss that change.
TEST(ControllerEditors, AnEditorLeavingWhileToldDoesNotMakeTheNextOneMissTheChange) {
    EditorRig rig;
    auto leaving = makeEditor(rig.controller);
    auto staying = makeEditor(rig.controller);
    leaving->whenTold = [&](TestEditor& self) { rig->editorRemoved(&self); };
    rig->editorAttached(leaving);
    rig->editorAttached(staying);
    rig->setParamNormalized(kDelay, 0.3);
    EXPECT_EQ(leaving->calls.size(), 1u);
    EXPECT_EQ(staying->calls.size(), 1u);
    EXPECT_EQ(rig->attachedEditors().size(), 1u);
}

TEST(ControllerEditors, TerminateForgetsEveryEditor) {
    EditorRig rig;
    auto editor = makeEditor(rig.controller);
    rig->editorAttached(editor);
    EXPECT_EQ(rig->terminate(), kResultOk);
    EXPECT_TRUE(rig->attachedEditors().empty());
    rig->setParamNormalized(kDelay, 0.3);
    EXPECT_TRUE(editor->calls.empty());
}

TEST(ControllerEditors, AnEditorDestroyedWithoutBeingRemovedLeavesTheList) {
    EditorRig rig;
    auto kept = makeEditor(rig.controller);
    {
        auto dropped = makeEditor(rig.controller);
        rig->editorAttached(dropped);
        rig->editorAttached(kept);
        rig->editorAttached(dropped);
    }  // released while still attached, as a careless host might
    ASSERT_EQ(rig->attachedEditors().size(), 1u);
    rig->setParamNormalized(kDelay, 0.3);
    EXPECT_EQ(kept->calls.size(), 1u);
}

TEST(ControllerEditors, ATimerTickAsksTheProcessorForFreshValues) {
    Rig rig;
    auto* timer = dynamic_cast<corvane::vst::IOnEditorTimer*>(rig.controller.get());
    ASSERT_NE(timer, nullptr);
    timer->onEditorTimer();
    EXPECT_EQ(rig.peer->ids(), std::vector<std::string>{"b2"});
}

// A processor and a controller connected to each other through one host, as a host runs them.
struct Pair {
    Pair() {
        EXPECT_EQ(processor->initialize(&application), kResultOk);
        EXPECT_EQ(controller->initialize(&application), kResultOk);
        EXPECT_EQ(processor->connect(controller), kResultOk);
        EXPECT_EQ(controller->connect(processor), kResultOk);
        EXPECT_EQ(controller->setComponentHandler(handler), kResultOk);
    }
    ~Pair() {
        controller->terminate();
        processor->terminate();
    }
    Steinberg::Vst::HostApplication application;
    IPtr<RecordingHandler> handler{new RecordingHandler, false};
    IPtr<Processor> processor{new Processor, false};
    IPtr<Controller> controller{new Controller, false};
};

TEST(ControllerAndProcessor, ADelayChangeBecomesLatencyAndTheHostIsToldOnce) {
    Pair pair;
    EXPECT_EQ(pair.controller->setParamNormalized(kDelay, 0.375), kResultOk);  // -100 ms
    EXPECT_EQ(pair.processor->getLatencySamples(), 4410u);
    const std::vector<HandlerCall> expected = {restart(Steinberg::Vst::kLatencyChanged)};
    EXPECT_EQ(pair.handler->calls, expected);

    EXPECT_EQ(pair.processor->setActive(true), kResultOk);
    EXPECT_TRUE(pair.controller->isProcessorActive());
    EXPECT_EQ(pair.processor->setActive(false), kResultOk);
    EXPECT_FALSE(pair.controller->isProcessorActive());
}

TEST(ControllerAndProcessor, TheProcessorsStateLoadedIntoTheControllerSetsTheLatency) {
    IPtr<Processor> source(new Processor, false);
    ASSERT_EQ(
        fromBytes(stateBytes(R"({"delay":0.25})"), [&](auto* s) { return source->setState(s); }),
        kResultOk);
    const std::string saved = toBytes([&](auto* s) { return source->getState(s); });

    Pair pair;
    EXPECT_EQ(fromBytes(saved, [&](auto* s) { return pair.controller->setComponentState(s); }),
              kResultOk);
    EXPECT_EQ(pair.processor->getLatencySamples(), 8820u);  // -200 ms at 44100 Hz
    const std::vector<HandlerCall> expected = {restart(Steinberg::Vst::kLatencyChanged)};
    EXPECT_EQ(pair.handler->calls, expected);
}

}  // namespace
}  // namespace quenvale
