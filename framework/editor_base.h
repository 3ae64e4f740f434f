// EditorBase: the generic editor. It builds a frame of fixed size with the plug-in's widgets
// (createViews), sets their looks from a JSON layout description (applyLayout), passes the
// user's edits of controls tagged with a parameter id to the edit controller, follows the
// controller's changes (onParameterChanged), and offers a context menu on those controls
// (reset to the default, open the manual). It is also the host's parameter finder.
//
// Every host call and every toolkit callback contains its exceptions. Everything runs on the
// host's user-interface thread.
#pragma once

#include <picojson.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "bounded_json.h"
#include "contain.h"
#include "control.h"
#include "error_texts.h"
#include "frame.h"
#include "manual.h"
#include "on_editor_timer.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivstplugview.h"
#include "property_target.h"
#include "resource_cache.h"
#include "resource_registry.h"
#include "text.h"
#include "vstgui_editor.h"

namespace corvane::vst {

constexpr Steinberg::int32 kEditorWidth = 246;
constexpr Steinberg::int32 kEditorHeight = 160;
constexpr Steinberg::int32 kResetMenuTagBase = 1000;
constexpr Steinberg::int32 kManualMenuTagBase = 2000;

// The layout log: "<view>.<property> = <value>" before each assignment, "<view>.<property>
// <error>" or "<view> <error>" after a failure, and a closing line.
constexpr const char* kLayoutAssignmentMark = "= ";
constexpr const char* kLayoutUnknownError = "unknown error";
constexpr const char* kLayoutClosingWord = "done";

constexpr const char* kResetMenuTitle = "Reset to default";
constexpr const char* kManualMenuTitle = "Open manual";

// Hosts whose executable path holds this fragment (compared in lower case) show their own
// menu only. It names no host: a host can be made menu-less by an executable named so.
constexpr const char* kMenulessHostFragment = "corvane-menuless";

// Time in 100-nanosecond ticks.
Steinberg::int64 systemTicks();
constexpr Steinberg::int64 kFullRedrawTicks = 50'000'000;  // 5 seconds

// The text of the exception being handled; for use inside a catch block.
std::string currentErrorText();

// Runs `body`; the text of what it threw, or nothing.
template <class Body>
std::optional<std::string> failureOf(Body&& body) {
    try {
        body();
        return std::nullopt;
    } catch (...) {
        return currentErrorText();
    }
}

// A text file read whole (empty when it cannot be read) and written whole, in text mode.
std::string readTextFile(const std::string& path);
void writeTextFile(const std::string& path, const std::string& text);

// True when `path`, lower-cased byte by byte, holds `fragment`.
bool pathContainsFragment(std::string path, const std::string& fragment);
std::string hostExecutablePath();

template <class Parameters>
class EditorBase : public Steinberg::Vst::VSTGUIEditor,
                   public VSTGUI::IControlListener,
                   public Steinberg::Vst::IParameterFinder,
                   public Steinberg::Vst::IContextMenuTarget,
                   public Steinberg::IPlugViewContentScaleSupport {
  public:
    using int32 = Steinberg::int32;
    using tresult = Steinberg::tresult;
    using ParamID = Steinberg::Vst::ParamID;

    explicit EditorBase(Steinberg::Vst::EditController* controller)
        : VSTGUIEditor(controller), lastFullRedraw(systemTicks()) {
        setIdleRate(50);
        Steinberg::ViewRect size(0, 0, width, height);
        setRect(size);
    }

    ~EditorBase() override { releaseFrame(); }

    // Builds the frame with its widgets and their looks (build) and opens it in `parent`.
    // False when a frame exists already or no window could be made (then nothing stays built).
    bool PLUGIN_API open(void* parent, const VSTGUI::PlatformType&) override {
        if (frame || !build())
            return false;
        try {
            if (frame && frame->open(parent, VSTGUI::kDefaultNative))
                return true;
        } catch (...) {
        }
        close();
        return false;
    }

    // Builds the frame without a window: a resource cache, the frame, the widgets, the layout,
    // and the current parameter values shown. A failure on the way leaves what was built.
    // False when a frame exists already. Pictures of the editor are drawn from such a frame.
    bool build() {
        if (frame)
            return false;
        try {
            resourceCache = std::make_unique<ResourceCache>(getEditorResources());
            frame = new VSTGUI::CFrame(VSTGUI::CRect(0, 0, width, height), this);
            frame->setScaleFactor(scaleFactor);
            frame->setBackgroundColor(VSTGUI::CColor(127, 127, 127, 255));
            createViews();
            applyLayout(getLayoutJson());
            for (int32 id = 0; id < Parameters::kParamCount; ++id)
                onParameterChanged(id, controller->getParamNormalized(id));
        } catch (...) {
        }
        return true;
    }

    void PLUGIN_API close() override { releaseFrame(); }

    virtual void onParameterChanged(int32 /*id*/, double /*value*/) {}
    virtual void createViews() {}
    virtual std::string getLayoutJson() = 0;
    virtual std::string getLayoutWatchPath() = 0;
    virtual std::string getLayoutLogPath() = 0;
    virtual const ResourceRegistry& getEditorResources() = 0;
    virtual const ResourceRegistry& getManualResources() = 0;

    // Sets the widgets' properties from a layout description: {"<view>": {"<property>":
    // <value>, ...}, ...}, views and properties in ascending byte order. Text that is not
    // JSON changes nothing; every other failure is logged and the rest still applied.
    // Nesting deeper than picojson allows arrays to nest counts as not JSON, for objects too:
    // picojson's parser recurses into objects without limit, and a watched file nested some
    // ten thousand levels deep would overflow the stack.
    void applyLayout(const std::string& text) {
        picojson::value document;
        if (!parseFirstJsonValue(document, text.begin(), text.end(), picojson::DEFAULT_MAX_DEPTHS))
            return;
        std::string log;
        if (!document.is<picojson::object>()) {
            log += *failureOf([&] { document.get<picojson::object>(); }) + "\n";
        } else {
            for (const auto& view : document.get<picojson::object>())
                applyViewLayout(view.first, view.second, log);
        }
        log += std::string(kLayoutClosingWord) + "\n";
        layoutLog = log;
        const std::string logPath = getLayoutLogPath();
        if (!logPath.empty())
            writeTextFile(logPath, log);
    }

    const std::string& getLayoutLog() const { return layoutLog; }

    // The timer: re-applies a watched layout file, redraws everything every 5 seconds and
    // gives the controller its tick.
    VSTGUI::CMessageResult notify(VSTGUI::CBaseObject* sender, const char* message) override {
        if (!message || std::strcmp(message, VSTGUI::CVSTGUITimer::kMsgTimer) != 0)
            return VSTGUIEditor::notify(sender, message);
        try {
            const std::string watchPath = getLayoutWatchPath();
            if (!watchPath.empty())
                applyLayout(readTextFile(watchPath));
        } catch (...) {
        }
        try {
            const Steinberg::int64 now = clock();
            if (now - lastFullRedraw > kFullRedrawTicks && frame) {
                frame->invalid();
                lastFullRedraw = now;
            }
            if (auto* timerClient = dynamic_cast<IOnEditorTimer*>(controller))
                timerClient->onEditorTimer();
            return VSTGUIEditor::notify(sender, message);
        } catch (...) {
            return VSTGUI::kMessageUnknown;
        }
    }

    // The controls of the parameters (tags 0 and 1) edit them on the controller.
    void valueChanged(VSTGUI::CControl* control) override {
        try {
            if (const auto id = parameterOf(control)) {
                const double value = control->getValue();
                controller->setParamNormalized(*id, value);
                controller->performEdit(*id, value);
            }
        } catch (...) {
        }
    }

    void controlBeginEdit(VSTGUI::CControl* control) override {
        try {
            if (const auto id = parameterOf(control))
                controller->beginEdit(*id);
        } catch (...) {
        }
    }

    void controlEndEdit(VSTGUI::CControl* control) override {
        try {
            if (const auto id = parameterOf(control))
                controller->endEdit(*id);
        } catch (...) {
        }
    }

    // A right click on a parameter's control: the host's context menu for the parameter with
    // our two items. 1 when the menu was shown.
    int32_t controlModifierClicked(VSTGUI::CControl* control,
                                   VSTGUI::CButtonState buttons) override {
        try {
            const auto id = parameterOf(control);
            if (!id || !(buttons & VSTGUI::kRButton))
                return 0;
            if (pathContainsFragment(hostExecutablePath(), kMenulessHostFragment))
                return 0;
            Steinberg::FUnknownPtr<Steinberg::Vst::IComponentHandler3> handler(
                controller->getComponentHandler());
            if (!handler)
                return 0;
            const ParamID parameter = *id;
            Steinberg::IPtr<Steinberg::Vst::IContextMenu> menu =
                Steinberg::owned(handler->createContextMenu(this, &parameter));
            if (!menu)
                return 0;
            addMenuItem(*menu, kResetMenuTitle, kResetMenuTagBase + static_cast<int32>(parameter));
            addMenuItem(*menu, kManualMenuTitle,
                        kManualMenuTagBase + static_cast<int32>(parameter));
            VSTGUI::CPoint where;
            if (frame && frame->getCurrentMouseLocation(where)) {
                menu->popup(static_cast<Steinberg::UCoord>(where.x),
                            static_cast<Steinberg::UCoord>(where.y));
            }
            return 1;
        } catch (...) {
            return 0;
        }
    }

    // 1000 + id: the parameter back to its default, as one edit; 2000 + anything: the manual.
    tresult PLUGIN_API executeMenuItem(int32 tag) override {
        return contain([&]() -> tresult {
            const int32 group = tag / 1000;
            const int32 item = tag % 1000;
            if (group == kResetMenuTagBase / 1000) {
                if (item < 0 || item >= Parameters::kParamCount)
                    return Steinberg::kResultFalse;
                const auto id = static_cast<ParamID>(item);
                const double value = Parameters::info(item).defaultNormalizedValue;
                controller->beginEdit(id);
                controller->setParamNormalized(id, value);
                controller->performEdit(id, value);
                controller->endEdit(id);
                return Steinberg::kResultOk;
            }
            if (group == kManualMenuTagBase / 1000) {
                return openManual(getManualResources(), manualSystem).empty()
                           ? Steinberg::kResultFalse
                           : Steinberg::kResultOk;
            }
            return Steinberg::kResultFalse;
        });
    }

    // The parameter of the control directly under (x, y), pixels of the view.
    tresult PLUGIN_API findParameter(int32 x, int32 y, ParamID& resultTag) override {
        return contain([&]() -> tresult {
            if (!frame)
                return Steinberg::kResultFalse;
            const VSTGUI::CPoint where(x / scaleFactor, y / scaleFactor);
            const auto id = parameterOf(dynamic_cast<VSTGUI::CControl*>(frame->getViewAt(where)));
            if (!id)
                return Steinberg::kResultFalse;
            resultTag = *id;
            return Steinberg::kResultOk;
        });
    }

    // Sizes from the editor's own up to 50 pixels larger in each direction, both at the
    // display scale.
    tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override {
        if (!rect)
            return Steinberg::kInvalidArgument;
        const auto within = [&](int32 wanted, int32 own) {
            return std::clamp(wanted, scaled(own), scaled(own) + scaled(50));
        };
        rect->right = rect->left + within(rect->getWidth(), width);
        rect->bottom = rect->top + within(rect->getHeight(), height);
        return Steinberg::kResultOk;
    }

    // The host's display scale: the view becomes round(246 × f) × round(160 × f) pixels and
    // everything in it is drawn at that resolution. Factors outside 0.5..4 change nothing.
    tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override {
        return contain([&]() -> tresult {
            if (!(factor >= 0.5f && factor <= 4.0f))
                return Steinberg::kResultFalse;
            scaleFactor = factor;
            onScaleChanging();
            Steinberg::ViewRect size(0, 0, scaled(width), scaled(height));
            setRect(size);
            if (frame)
                frame->setScaleFactor(scaleFactor);
            if (plugFrame && frame)
                plugFrame->resizeView(this, &size);
            return Steinberg::kResultOk;
        });
    }

    tresult PLUGIN_API canResize() override { return Steinberg::kResultFalse; }

    tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override {
        QUERY_INTERFACE(iid, object, Steinberg::Vst::IParameterFinder::iid,
                        Steinberg::Vst::IParameterFinder)
        QUERY_INTERFACE(iid, object, Steinberg::Vst::IContextMenuTarget::iid,
                        Steinberg::Vst::IContextMenuTarget)
        QUERY_INTERFACE(iid, object, Steinberg::IPlugViewContentScaleSupport::iid,
                        Steinberg::IPlugViewContentScaleSupport)
        QUERY_INTERFACE(iid, object, Steinberg::IPlugView::iid, Steinberg::IPlugView)
        return VSTGUIEditor::queryInterface(iid, object);
    }
    REFCOUNT_METHODS(VSTGUIEditor)

  protected:
    // Called before a new display scale takes effect.
    virtual void onScaleChanging() {}

    // Pixels of the view for a length in the frame's units.
    int32 scaled(int32 length) const {
        return static_cast<int32>(std::lround(length * scaleFactor));
    }

    // Enters `view` under `name` and gives it to the frame.
    void addView(const std::string& name, VSTGUI::CView* view) {
        views[name] = view;
        frame->addView(view);
    }

    std::map<std::string, VSTGUI::CView*> views;  // not owned: the frame owns the views
    std::unique_ptr<ResourceCache> resourceCache;
    int32 width = kEditorWidth;
    int32 height = kEditorHeight;
    double scaleFactor = 1.0;  // the host's display scale
    Steinberg::int64 lastFullRedraw;
    std::function<Steinberg::int64()> clock = systemTicks;  // replaceable for tests
    ManualSystem manualSystem = ManualSystem::native();     // replaceable for tests

  private:
    // The parameter id a control stands for: its tag, if that is a parameter's.
    static std::optional<ParamID> parameterOf(const VSTGUI::CControl* control) {
        if (!control)
            return std::nullopt;
        const auto tag = static_cast<std::uint32_t>(control->getTag());
        if (tag >= static_cast<std::uint32_t>(Parameters::kParamCount))
            return std::nullopt;
        return static_cast<ParamID>(tag);
    }

    void applyViewLayout(const std::string& viewName, const picojson::value& properties,
                         std::string& log) {
        const auto failure = failureOf([&] {
            VSTGUI::CView* view = memberAt(views, viewName);
            for (const auto& property : properties.get<picojson::object>()) {
                const std::string prefix = viewName + "." + property.first + " ";
                log += prefix + kLayoutAssignmentMark + property.second.serialize() + "\n";
                const auto propertyFailure =
                    failureOf([&] { setViewProperty(*view, property.first, property.second); });
                if (propertyFailure)
                    log += prefix + *propertyFailure + "\n";
            }
        });
        if (failure)
            log += viewName + " " + *failure + "\n";
    }

    static void setViewProperty(VSTGUI::CView& view, const std::string& name,
                                const picojson::value& value) {
        if (auto* target = dynamic_cast<IPropertyTarget*>(&view))
            target->setProperty(name, value);
        else
            setCommonProperty(view, name, value);
    }

    void addMenuItem(Steinberg::Vst::IContextMenu& menu, const char* title, int32 tag) {
        Steinberg::Vst::IContextMenu::Item item{};
        const TString name = utf8ToUtf16(title).substr(0, 127);
        std::copy(name.begin(), name.end(), item.name);
        item.name[name.size()] = 0;
        item.tag = tag;
        item.flags = 0;
        menu.addItem(item, this);
    }

    // Views go first, then the frame (and with it the widgets), then the resources the
    // widgets used.
    void releaseFrame() {
        views.clear();
        if (frame) {
            frame->close();
            frame = nullptr;
        }
        resourceCache.reset();
    }

    std::string layoutLog;
};

}  // namespace corvane::vst
