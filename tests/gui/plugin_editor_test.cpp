// The plug-in's editor in a real window, with its edit controller and a host that records what
// it is told and offers context menus.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "base/source/fobject.h"
#include "controller.h"
#include "drawables.h"
#include "editor.h"
#include "my_knob.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "window_support.h"

namespace {

using gui_test::parentWindow;
using gui_test::pump;
using Steinberg::int32;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;
using Steinberg::Vst::IContextMenu;
using Steinberg::Vst::IContextMenuTarget;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;
using Calls = std::vector<std::string>;

std::string call(const char* name, ParamID id) {
    return std::string(name) + " " + std::to_string(id);
}
std::string call(const char* name, ParamID id, ParamValue value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %u %.17g", name, static_cast<unsigned>(id), value);
    return text;
}

std::string narrow(const Steinberg::Vst::TChar* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(static_cast<char>(*text));
    return out;
}

class RecordingMenu : public Steinberg::FObject, public IContextMenu {
  public:
    struct Added {
        std::string title;
        int32 tag;
        int32 flags;
        IContextMenuTarget* target;
    };

    int32 PLUGIN_API getItemCount() override { return static_cast<int32>(items.size()); }
    tresult PLUGIN_API getItem(int32, Item&, IContextMenuTarget**) override { return kResultFalse; }
    tresult PLUGIN_API addItem(const Item& item, IContextMenuTarget* target) override {
        items.push_back({narrow(item.name), item.tag, item.flags, target});
        return kResultOk;
    }
    tresult PLUGIN_API removeItem(const Item&, IContextMenuTarget*) override {
        return kResultFalse;
    }
    tresult PLUGIN_API popup(Steinberg::UCoord, Steinberg::UCoord) override {
        ++popups;
        return kResultOk;
    }

    std::vector<Added> items;
    int popups = 0;

    OBJ_METHODS(RecordingMenu, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(IContextMenu)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

// The host: records edits into `calls` and makes context menus (keeping one reference of the
// last for the test).
class MenuHandler : public Steinberg::FObject,
                    public Steinberg::Vst::IComponentHandler,
                    public Steinberg::Vst::IComponentHandler3 {
  public:
    explicit MenuHandler(Calls& calls) : calls(calls) {}
    ~MenuHandler() override {
        if (menu)
            menu->release();
    }

    tresult PLUGIN_API beginEdit(ParamID id) override {
        calls.push_back(call("begin", id));
        return kResultOk;
    }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        calls.push_back(call("perform", id, value));
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID id) override {
        calls.push_back(call("end", id));
        return kResultOk;
    }
    tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }

    IContextMenu* PLUGIN_API createContextMenu(Steinberg::IPlugView* view,
                                               const ParamID* id) override {
        menuView = view;
        menuParameter = id ? static_cast<int>(*id) : -1;
        ++menusAsked;
        if (!giveMenus)
            return nullptr;
        if (menu)
            menu->release();
        menu = new RecordingMenu;
        menu->addRef();
        return menu;
    }

    Calls& calls;
    bool giveMenus = true;
    int menusAsked = 0;
    Steinberg::IPlugView* menuView = nullptr;
    int menuParameter = -1;
    RecordingMenu* menu = nullptr;

    OBJ_METHODS(MenuHandler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Vst::IComponentHandler)
    DEF_INTERFACE(Steinberg::Vst::IComponentHandler3)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

class RecordingController : public quenvale::Controller {
  public:
    explicit RecordingController(Calls& calls) : calls(calls) {}
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override {
        calls.push_back(call("set", id, value));
        return Controller::setParamNormalized(id, value);
    }
    Calls& calls;
};

class TestEditor : public quenvale::Editor {
  public:
    using Editor::Editor;
    using EditorBase::manualSystem;
    using EditorBase::views;
};

class PluginEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        controller = new RecordingController(calls);
        ASSERT_EQ(controller->initialize(&host), kResultOk);
        handler = new MenuHandler(calls);
        controller->setComponentHandler(handler);
        controller->setKnobMode(Steinberg::Vst::kLinearMode);
        editor = new TestEditor(controller);
        ASSERT_EQ(editor->attached(parentWindow(), Steinberg::kPlatformTypeHWND), kResultOk);
        knob = dynamic_cast<corvane::vst::MyKnob*>(editor->views.at(quenvale::kKnobView));
        ASSERT_NE(knob, nullptr);
        window = static_cast<HWND>(editor->getFrame()->getPlatformHandle());
        pump();
        calls.clear();
    }
    void TearDown() override {
        editor->removed();
        editor->release();
        controller->terminate();
        controller->release();
        handler->release();
    }

    VSTGUI::CPoint knobCentre() const { return knob->getMouseableArea().getCenter(); }
    corvane::vst::KOValueText& readout() const {
        return dynamic_cast<corvane::vst::KOValueText&>(*editor->views.at(quenvale::kValueView));
    }
    void tellRate(double rate) {
        Steinberg::IPtr<Steinberg::Vst::IMessage> message(new Steinberg::Vst::HostMessage, false);
        message->setMessageID("b3");
        message->getAttributes()->setFloat("b3", rate);
        ASSERT_EQ(controller->notify(message), kResultOk);
    }
    // Types `text` into the open value field, as the keyboard does through the frame's
    // window, and presses Enter.
    void typeAndEnter(const wchar_t* text) {
        ASSERT_TRUE(editor->valueEntry().isOpen());
        for (const wchar_t* c = text; *c; ++c)
            PostMessageW(window, WM_CHAR, *c, 0);
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
        pump();
    }
    void key(WPARAM virtualKey) {
        PostMessageW(window, WM_KEYDOWN, virtualKey, 0);
        PostMessageW(window, WM_KEYUP, virtualKey, 0);
        pump();
    }
    // Pixels of the window in the field's rectangle that are mostly red.
    int redPixelsInTheField() {
        const VSTGUI::CTextEdit* field = editor->valueEntry().getField();
        if (!field)
            return 0;
        UpdateWindow(window);
        const VSTGUI::CRect& area = field->getViewSize();
        const HDC dc = GetDC(window);
        int red = 0;
        for (int y = static_cast<int>(area.top); y < static_cast<int>(area.bottom); ++y) {
            for (int x = static_cast<int>(area.left); x < static_cast<int>(area.right); ++x) {
                const COLORREF pixel = GetPixel(dc, x, y);
                red += GetRValue(pixel) > 200 && GetGValue(pixel) < 160 && GetBValue(pixel) < 160;
            }
        }
        ReleaseDC(window, dc);
        return red;
    }
    void post(UINT message, WPARAM keys, VSTGUI::CPoint where) {
        PostMessageW(window, message, keys,
                     MAKELPARAM(static_cast<int>(where.x), static_cast<int>(where.y)));
        pump();
    }

    Steinberg::Vst::HostApplication host;
    Calls calls;
    RecordingController* controller = nullptr;
    MenuHandler* handler = nullptr;
    TestEditor* editor = nullptr;
    corvane::vst::MyKnob* knob = nullptr;
    HWND window = nullptr;
};

TEST_F(PluginEditor, TheShippedLayoutAppliesWithoutAFailure) {
    std::istringstream log(editor->getLayoutLog());
    std::string line;
    int assignments = 0;
    while (std::getline(log, line) && line != "done") {
        EXPECT_NE(line.find(" = "), std::string::npos) << line;
        ++assignments;
    }
    EXPECT_EQ(line, "done");
    EXPECT_GT(assignments, 40);
    for (const auto& view : editor->views)
        EXPECT_FALSE(view.second->getViewSize().isEmpty()) << view.first;
}

TEST_F(PluginEditor, KnobFollowsTheDelayAndNotTheBypass) {
    EXPECT_EQ(knob->getValue(), 0.5025f);  // shown at open
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.3);
    EXPECT_EQ(knob->getValue(), 0.3f);
    controller->setParamNormalized(quenvale::Parameters::kParamBypass, 1.0);
    EXPECT_EQ(knob->getValue(), 0.3f);
}

TEST_F(PluginEditor, DraggingTheKnobEditsTheDelay) {
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.25);
    calls.clear();
    VSTGUI::CPoint from = knobCentre(), to = knobCentre();
    to.y -= 20;  // a tenth of the range
    post(WM_LBUTTONDOWN, MK_LBUTTON, from);
    post(WM_MOUSEMOVE, MK_LBUTTON, to);
    post(WM_LBUTTONUP, 0, to);
    const double value = 0.35f;
    EXPECT_EQ(calls, (Calls{call("begin", 1), call("set", 1, value), call("perform", 1, value),
                            call("end", 1)}));
    EXPECT_EQ(controller->getParamNormalized(1), value);
}

TEST_F(PluginEditor, RightClickShowsTheHostsMenuWithResetAndManual) {
    post(WM_RBUTTONDOWN, MK_RBUTTON, knobCentre());
    post(WM_RBUTTONUP, 0, knobCentre());
    ASSERT_EQ(handler->menusAsked, 1);
    EXPECT_EQ(handler->menuParameter, 1);
    EXPECT_EQ(handler->menuView, static_cast<Steinberg::IPlugView*>(editor));
    ASSERT_NE(handler->menu, nullptr);
    ASSERT_EQ(handler->menu->items.size(), 2u);
    const auto& reset = handler->menu->items[0];
    const auto& manual = handler->menu->items[1];
    EXPECT_EQ(reset.title, "Reset to default");
    EXPECT_EQ(reset.tag, 1001);
    EXPECT_EQ(manual.title, "Open manual");
    EXPECT_EQ(manual.tag, 2001);
    EXPECT_EQ(reset.flags | manual.flags, 0);
    EXPECT_EQ(reset.target, static_cast<IContextMenuTarget*>(editor));
    EXPECT_EQ(handler->menu->popups, 1);
    EXPECT_TRUE(calls.empty());

    // Left clicks with modifiers, and clicks beside the knob, ask for no menu.
    post(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_SHIFT, knobCentre());
    post(WM_LBUTTONUP, 0, knobCentre());
    post(WM_RBUTTONDOWN, MK_RBUTTON, VSTGUI::CPoint(2, 2));
    post(WM_RBUTTONUP, 0, VSTGUI::CPoint(2, 2));
    EXPECT_EQ(handler->menusAsked, 1);

    // A host without menus: nothing happens.
    handler->giveMenus = false;
    EXPECT_EQ(editor->controlModifierClicked(knob, VSTGUI::kRButton), 0);
    EXPECT_EQ(handler->menusAsked, 2);
}

TEST_F(PluginEditor, MenuItemsResetTheParameterOrOpenTheManual) {
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.9);
    calls.clear();
    EXPECT_EQ(editor->executeMenuItem(1001), kResultOk);
    const double delayDefault = 0.5024999976158142;
    EXPECT_EQ(calls, (Calls{call("begin", 1), call("set", 1, delayDefault),
                            call("perform", 1, delayDefault), call("end", 1)}));
    EXPECT_EQ(knob->getValue(), 0.5025f);

    calls.clear();
    EXPECT_EQ(editor->executeMenuItem(1000), kResultOk);
    EXPECT_EQ(calls.at(1), call("set", 0, 0.0));
    calls.clear();
    for (int32 tag : {1002, 999, 3001, -1001})
        EXPECT_EQ(editor->executeMenuItem(tag), kResultFalse) << tag;
    EXPECT_TRUE(calls.empty());

    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string opened;
    editor->manualSystem.temporaryFolder = [&] { return std::string(folder); };
    editor->manualSystem.userLanguage = [] { return static_cast<unsigned short>(1033); };
    editor->manualSystem.open = [&](const std::string& path) {
        opened = path;
        return true;
    };
    EXPECT_EQ(editor->executeMenuItem(2001), kResultOk);
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.rfind(folder, 0), 0u);
    EXPECT_TRUE(std::ifstream(opened).good()) << opened;
}

TEST_F(PluginEditor, FindsTheDelayUnderTheKnobOnly) {
    ParamID found = 99;
    const VSTGUI::CPoint centre = knobCentre();
    EXPECT_EQ(
        editor->findParameter(static_cast<int32>(centre.x), static_cast<int32>(centre.y), found),
        kResultOk);
    EXPECT_EQ(found, 1u);
    found = 99;
    EXPECT_EQ(editor->findParameter(2, 2, found), kResultFalse);
    EXPECT_EQ(found, 99u);

    // A knob tagged beyond the parameters takes no part.
    knob->setTag(2);
    EXPECT_EQ(
        editor->findParameter(static_cast<int32>(centre.x), static_cast<int32>(centre.y), found),
        kResultFalse);
    EXPECT_EQ(editor->controlModifierClicked(knob, VSTGUI::kRButton), 0);
    editor->valueChanged(knob);
    editor->controlBeginEdit(knob);
    editor->controlEndEdit(knob);
    EXPECT_TRUE(calls.empty());
    knob->setTag(1);
}

TEST_F(PluginEditor, AnswersItsInterfaces) {
    Steinberg::FUnknownPtr<Steinberg::Vst::IParameterFinder> finder(
        static_cast<Steinberg::IPlugView*>(editor));
    Steinberg::FUnknownPtr<IContextMenuTarget> target(static_cast<Steinberg::IPlugView*>(editor));
    EXPECT_TRUE(finder);
    EXPECT_TRUE(target);
}

// The readout under the knob: what the user reads and types.
const std::string kMinus = "\xE2\x88\x92";

TEST_F(PluginEditor, TheReadoutFollowsTheKnobTheHostALoadAResetAndTheRate) {
    EXPECT_EQ(readout().getText(), "2.00 ms");  // shown at open
    pump();

    // The host automates: only the knob and the readout are redrawn.
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.375);
    EXPECT_EQ(readout().getText(), kMinus + "100.00 ms");
    VSTGUI::CRect both = knob->getViewSize();
    both.unite(readout().getViewSize());
    VSTGUI::CRect invalid = editor->getFrame()->getInvalidArea();
    EXPECT_EQ(invalid.unite(both), both);

    tellRate(48000);  // the processor's set-up
    EXPECT_EQ(readout().getText(), kMinus + "100.00 ms  (" + kMinus + "4800 smp)");

    // A drag of a tenth of the range, up from -200 ms.
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.25);
    VSTGUI::CPoint to = knobCentre();
    to.y -= 20;
    post(WM_LBUTTONDOWN, MK_LBUTTON, knobCentre());
    post(WM_MOUSEMOVE, MK_LBUTTON, to);
    EXPECT_EQ(readout().getText(), kMinus + "120.00 ms  (" + kMinus + "5760 smp)");
    post(WM_LBUTTONUP, 0, to);

    Steinberg::MemoryStream state;
    const std::string json = R"({"bypass":0,"delay":0.5})";
    const char count[4] = {char(json.size()), 0, 0, 0};
    state.write(const_cast<char*>(count), 4, nullptr);
    state.write(const_cast<char*>(json.data()), static_cast<int32>(json.size()), nullptr);
    state.seek(0, Steinberg::IBStream::kIBSeekSet, nullptr);
    ASSERT_EQ(controller->setComponentState(&state), kResultOk);
    EXPECT_EQ(readout().getText(), "0.00 ms  (0 smp)");

    ASSERT_EQ(editor->executeMenuItem(1001), kResultOk);
    EXPECT_EQ(readout().getText(), "2.00 ms  (95 smp)");
}

TEST_F(PluginEditor, ATypedDelayIsOneEditAndRefusedTextChangesNothing) {
    // A double-click on the readout opens the field, holding the value shown.
    post(WM_LBUTTONDBLCLK, MK_LBUTTON, readout().getViewSize().getCenter());
    ASSERT_TRUE(editor->valueEntry().isOpen());
    EXPECT_EQ(editor->valueEntry().getText(), "2.00 ms");
    const VSTGUI::CTextEdit* field = editor->valueEntry().getField();
    EXPECT_EQ(field->getSelectionStart(), 0u);  // all selected
    EXPECT_EQ(field->getSelectionEnd(), 7u);
    EXPECT_EQ(editor->getFrame()->getFocusView(), field);

    typeAndEnter(L" -3,5 ms ");
    const double value = static_cast<float>(0.5 - 3.5 / 800);
    EXPECT_EQ(calls, (Calls{call("begin", 1), call("set", 1, value), call("perform", 1, value),
                            call("end", 1)}));
    EXPECT_FALSE(editor->valueEntry().isOpen());
    EXPECT_EQ(readout().getText(), kMinus + "3.50 ms");

    calls.clear();
    ASSERT_TRUE(editor->openValueEntry());
    typeAndEnter(L"ten ms");
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(editor->valueEntry().isOpen());
    EXPECT_TRUE(editor->valueEntry().isRefused());
    EXPECT_GT(redPixelsInTheField(), 10);  // shown in the refused colour
    typeAndEnter(L"4800 smp");             // samples need the processor's rate
    EXPECT_TRUE(editor->valueEntry().isOpen());
    key(VK_ESCAPE);
    EXPECT_FALSE(editor->valueEntry().isOpen());
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(controller->getParamNormalized(1), value);

    // Enter while the knob has the focus opens it too; a click elsewhere closes it unused.
    post(WM_LBUTTONDOWN, MK_LBUTTON, knobCentre());
    post(WM_LBUTTONUP, 0, knobCentre());
    SendMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(editor->valueEntry().isOpen());
    tellRate(48000);
    typeAndEnter(L"+4801 samples");
    EXPECT_EQ(quenvale::Parameters::delaySamples(
                  static_cast<float>(controller->getParamNormalized(1)), 48000),
              4801);
    EXPECT_EQ(editor->getFrame()->getFocusView(), knob);  // the arrows move the knob again

    ASSERT_TRUE(editor->openValueEntry());
    ASSERT_EQ(editor->getFrame()->getFocusView(), editor->valueEntry().getField());
    calls.clear();
    post(WM_LBUTTONDOWN, MK_LBUTTON, VSTGUI::CPoint(2, 2));
    post(WM_LBUTTONUP, 0, VSTGUI::CPoint(2, 2));
    EXPECT_FALSE(editor->valueEntry().isOpen());
    EXPECT_TRUE(calls.empty());
}

TEST_F(PluginEditor, TheReadoutsFieldEditsWithTheKeysOfAnyTextField) {
    post(WM_LBUTTONDBLCLK, MK_LBUTTON, readout().getViewSize().getCenter());  // "2.00 ms"
    for (const WPARAM k :
         {VK_END, VK_BACK, VK_BACK, VK_BACK, VK_HOME, VK_DELETE, VK_RIGHT, VK_LEFT})
        key(k);
    typeAndEnter(L"-3");  // "-3.00"
    EXPECT_FALSE(editor->valueEntry().isOpen());
    EXPECT_EQ(readout().getText(), kMinus + "3.00 ms");
}

TEST_F(PluginEditor, FineStepsReachEverySampleAt48kHz) {
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.5);
    tellRate(48000);
    VSTGUI::VstKeyCode up;
    up.virt = VSTGUI::VKEY_UP;
    up.modifier = VSTGUI::MODIFIER_CONTROL;
    for (const char* expected : {"0.01 ms  (0 smp)", "0.02 ms  (0 smp)", "0.03 ms  (1 smp)"}) {
        EXPECT_EQ(knob->onKeyDown(up), 1);
        EXPECT_EQ(readout().getText(), expected);
    }
    EXPECT_TRUE(knob->onWheel(knobCentre(), -1.f, VSTGUI::CButtonState(VSTGUI::kControl)));
    EXPECT_EQ(readout().getText(), "0.02 ms  (0 smp)");

    // Shift+Control drags a fine step per pixel; Shift alone a tenth of a normal drag.
    VSTGUI::CPoint to = knobCentre();
    to.y -= 3;
    post(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, knobCentre());
    post(WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT | MK_CONTROL, to);
    post(WM_LBUTTONUP, 0, to);
    EXPECT_EQ(readout().getText(), "0.05 ms  (2 smp)");
}

TEST_F(PluginEditor, AtTwiceTheScaleTheViewIsTwiceAsLargeAndHitsAndDragsAsAtOnce) {
    Steinberg::FUnknownPtr<Steinberg::IPlugViewContentScaleSupport> scaling(
        static_cast<Steinberg::IPlugView*>(editor));
    ASSERT_TRUE(scaling);
    for (const float refused : {0.4f, 4.5f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(scaling->setContentScaleFactor(refused), kResultFalse);
    Steinberg::ViewRect size;
    ASSERT_EQ(editor->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth() * 1000 + size.getHeight(), 246160);
    ASSERT_EQ(scaling->setContentScaleFactor(1.25f), kResultOk);
    ASSERT_EQ(editor->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth() * 1000 + size.getHeight(), 308200);
    ASSERT_EQ(scaling->setContentScaleFactor(2.f), kResultOk);
    ASSERT_EQ(editor->getSize(&size), kResultOk);
    EXPECT_EQ(size.getWidth() * 1000 + size.getHeight(), 492320);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right * 1000 + client.bottom, 492320);
    Steinberg::ViewRect small(0, 0, 100, 100);
    editor->checkSizeConstraint(&small);
    EXPECT_EQ(small.getWidth() * 1000 + small.getHeight(), 492320);
    Steinberg::ViewRect large(0, 0, 900, 900);
    editor->checkSizeConstraint(&large);
    EXPECT_EQ(large.getWidth() * 1000 + large.getHeight(), 592420);

    const VSTGUI::CPoint centre(knobCentre().x * 2, knobCentre().y * 2);
    ParamID found = 99;
    EXPECT_EQ(
        editor->findParameter(static_cast<int32>(centre.x), static_cast<int32>(centre.y), found),
        kResultOk);
    EXPECT_EQ(found, 1u);
    EXPECT_EQ(editor->findParameter(static_cast<int32>(knobCentre().x * 2 + 90),
                                    static_cast<int32>(centre.y), found),
              kResultFalse);

    // The drag of DraggingTheKnobEditsTheDelay, in pixels twice as many.
    controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.25);
    calls.clear();
    VSTGUI::CPoint to = centre;
    to.y -= 40;
    post(WM_LBUTTONDOWN, MK_LBUTTON, centre);
    post(WM_MOUSEMOVE, MK_LBUTTON, to);
    post(WM_LBUTTONUP, 0, to);
    EXPECT_EQ(controller->getParamNormalized(1), static_cast<double>(0.35f));

    ASSERT_EQ(scaling->setContentScaleFactor(1.f), kResultOk);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right * 1000 + client.bottom, 246160);
}

}  // namespace
