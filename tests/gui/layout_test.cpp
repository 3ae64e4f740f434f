// Applying a layout description to an editor's views, and the editor's timer tick. The editor is
// built without a window.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "editor_base.h"
#include "parameters.h"
#include "test_views.h"

namespace {

using corvane::vst::EditorBase;
using gui_test::SolidView;
using VSTGUI::CColor;
using VSTGUI::CRect;

// Records the properties it is given; some names fail in the ways a widget can fail.
class RecordingView : public VSTGUI::CView, public corvane::vst::IPropertyTarget {
  public:
    RecordingView() : CView(CRect(40, 40, 50, 50)) {}
    void setProperty(const std::string& name, const picojson::value& value) override {
        names.push_back(name);
        if (name == "fail")
            throw std::runtime_error("no good");
        if (name == "string")
            throw std::string("plain words");
        if (name == "int")
            throw 42;
        corvane::vst::setCommonProperty(*this, name, value);
    }
    std::vector<std::string> names;
};

class TimerController : public Steinberg::Vst::EditController, public corvane::vst::IOnEditorTimer {
  public:
    void onEditorTimer() override { ++ticks; }
    int ticks = 0;
};

class LayoutEditor : public EditorBase<quenvale::Parameters> {
  public:
    using EditorBase::clock;
    using EditorBase::EditorBase;
    using EditorBase::lastFullRedraw;
    using EditorBase::views;

    void createViews() override {
        addView("a", new SolidView(CRect(0, 0, 10, 10), CColor(255, 0, 0)));
        addView("b", new SolidView(CRect(20, 20, 30, 30), CColor(0, 255, 0)));
        addView("c", recording = new RecordingView);
    }
    std::string getLayoutJson() override { return layout; }
    std::string getLayoutWatchPath() override { return watchPath; }
    std::string getLayoutLogPath() override { return logPath; }
    const corvane::vst::ResourceRegistry& getEditorResources() override { return registry; }
    const corvane::vst::ResourceRegistry& getManualResources() override { return registry; }

    std::string layout, watchPath, logPath;
    corvane::vst::ResourceRegistry registry;
    RecordingView* recording = nullptr;
};

std::string temporaryPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class Layout : public ::testing::Test {
  protected:
    void SetUp() override {
        controller = new TimerController;
        editor = new LayoutEditor(controller);
        ASSERT_TRUE(editor->build());
    }
    void TearDown() override {
        editor->close();
        editor->release();
        controller->release();
    }
    const CRect& sizeOf(const char* name) { return editor->views.at(name)->getViewSize(); }

    TimerController* controller;
    LayoutEditor* editor;
};

const char* const kObjectTypeError =
    R"x("type mismatch! call is<type>() before get<type>()" && is<object>())x";

TEST_F(Layout, AppliesInByteOrderAndLogsEveryFailure) {
    editor->applyLayout(R"({
        "c": {"zeta": 1, "size": [1, 2, 3, 4], "alpha": true, "fail": 0, "string": 0, "int": 0},
        "0unknown": {"size": [0, 0, 1, 1]},
        "a": 5,
        "b": {"size": [10, 10, 20, 20]}
    } and text after the document)");
    EXPECT_EQ(editor->getLayoutLog(),
              "0unknown invalid map<K, T> key\n"
              "a " +
                  std::string(kObjectTypeError) +
                  "\n"
                  "b.size = [10,10,20,20]\n"
                  "c.alpha = true\n"
                  "c.alpha setProperty alpha true not found\n"
                  "c.fail = 0\n"
                  "c.fail no good\n"
                  "c.int = 0\n"
                  "c.int unknown error\n"
                  "c.size = [1,2,3,4]\n"
                  "c.string = 0\n"
                  "c.string plain words\n"
                  "c.zeta = 1\n"
                  "c.zeta setProperty zeta 1 not found\n"
                  "done\n");
    EXPECT_EQ(editor->recording->names,
              (std::vector<std::string>{"alpha", "fail", "int", "size", "string", "zeta"}));
    EXPECT_EQ(sizeOf("b"), CRect(10, 10, 20, 20));
    EXPECT_EQ(sizeOf("c"), CRect(1, 2, 3, 4));
    EXPECT_EQ(sizeOf("a"), CRect(0, 0, 10, 10));
}

TEST_F(Layout, WritesTheLogOnlyWhenAPathIsSetAndTheTextIsJson) {
    editor->logPath = temporaryPath("corvane-layout-test.log");
    std::remove(editor->logPath.c_str());
    editor->applyLayout("");
    editor->applyLayout("{\"b\": ");
    EXPECT_FALSE(std::ifstream(editor->logPath).good());
    EXPECT_EQ(editor->getLayoutLog(), "");
    EXPECT_EQ(sizeOf("b"), CRect(20, 20, 30, 30));

    editor->applyLayout("[1, 2]");
    const std::string expected = std::string(kObjectTypeError) + "\ndone\n";
    EXPECT_EQ(editor->getLayoutLog(), expected);
    EXPECT_EQ(fileText(editor->logPath), expected);

    editor->applyLayout("{}");  // replaces the file's content
    EXPECT_EQ(fileText(editor->logPath), "done\n");
    std::remove(editor->logPath.c_str());
}

TEST_F(Layout, TimerReappliesTheWatchedFileAndRedrawsEveryFiveSeconds) {
    Steinberg::int64 now = 1'000'000'000;
    editor->clock = [&] { return now; };
    editor->lastFullRedraw = now;
    VSTGUI::CFrame* frame = editor->getFrame();
    Gdiplus::Bitmap bitmap(246, 160, PixelFormat32bppPARGB);
    VSTGUI::GdiplusDrawContext context(&bitmap);
    frame->drawRect(&context, frame->getViewSize());
    EXPECT_TRUE(frame->getInvalidArea().isEmpty());
    editor->views.at("c")->invalid();
    const CRect viewsOnly(40, 40, 50, 50);

    const char* timer = VSTGUI::CVSTGUITimer::kMsgTimer;
    now += 50'000'000;  // exactly 5 s: not yet
    EXPECT_EQ(editor->notify(nullptr, timer), VSTGUI::kMessageNotified);
    EXPECT_EQ(frame->getInvalidArea(), viewsOnly);
    now += 1;
    editor->notify(nullptr, timer);
    EXPECT_EQ(frame->getInvalidArea(), CRect(0, 0, 246, 160));
    EXPECT_EQ(editor->lastFullRedraw, now);
    EXPECT_EQ(controller->ticks, 2);
    EXPECT_EQ(editor->notify(nullptr, "another message"), VSTGUI::kMessageUnknown);
    EXPECT_EQ(controller->ticks, 2);

    editor->watchPath = temporaryPath("corvane-layout-watch.json");
    std::ofstream(editor->watchPath) << R"({"b": {"size": [5, 5, 6, 6]}})";
    editor->notify(nullptr, timer);
    EXPECT_EQ(sizeOf("b"), CRect(5, 5, 6, 6));
    std::remove(editor->watchPath.c_str());
    editor->notify(nullptr, timer);  // a missing file is an empty text: nothing changes
    EXPECT_EQ(sizeOf("b"), CRect(5, 5, 6, 6));
    EXPECT_EQ(controller->ticks, 4);
}

TEST_F(Layout, SizeConstraintKeepsWithinFiftyPixelsOfTheEditor) {
    auto constrained = [&](Steinberg::int32 width, Steinberg::int32 height) {
        Steinberg::ViewRect rect(10, 20, 10 + width, 20 + height);
        EXPECT_EQ(editor->checkSizeConstraint(&rect), Steinberg::kResultOk);
        EXPECT_EQ(rect.left, 10);
        EXPECT_EQ(rect.top, 20);
        return std::make_pair(rect.getWidth(), rect.getHeight());
    };
    EXPECT_EQ(constrained(100, 100), std::make_pair(246, 160));
    EXPECT_EQ(constrained(400, 400), std::make_pair(296, 210));
    EXPECT_EQ(constrained(270, 180), std::make_pair(270, 180));
    EXPECT_EQ(editor->checkSizeConstraint(nullptr), Steinberg::kInvalidArgument);
    EXPECT_EQ(editor->canResize(), Steinberg::kResultFalse);
    Steinberg::ViewRect size;
    editor->getSize(&size);
    EXPECT_EQ(size.getWidth(), 246);
    EXPECT_EQ(size.getHeight(), 160);
}

TEST_F(Layout, OpenOnAnEditorWithAFrameChangesNothing) {
    VSTGUI::CFrame* frame = editor->getFrame();
    EXPECT_FALSE(editor->open(nullptr, VSTGUI::kHWND));
    EXPECT_FALSE(editor->build());
    EXPECT_EQ(editor->getFrame(), frame);
    EXPECT_EQ(editor->views.size(), 3u);
}

}  // namespace
