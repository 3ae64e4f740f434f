#include "vstgui_editor.h"

#include <cmath>
#include <cstring>

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/gui/iplugview.h"

#if SMTG_OS_LINUX
#include "host_run_loop.h"
#endif

namespace Steinberg {
namespace Vst {
namespace {

VSTGUI::VstKeyCode keyCodeOf(char16 key, int16 keyCode, int16 modifiers) {
    VSTGUI::VstKeyCode code;
    code.character = key;
    code.virt = keyCode;  // the host's key codes are numbered as the toolkit's
    code.modifier = static_cast<uint8_t>(modifiers & 0x0F);
    return code;
}

}  // namespace

VSTGUIEditor::VSTGUIEditor(void* controller, ViewRect* size)
    : EditorView(static_cast<EditController*>(controller), size),
      timer(new VSTGUI::CVSTGUITimer(this, 100)) {}

VSTGUIEditor::~VSTGUIEditor() {
    timer->forget();
    releaseRunLoop();  // a host that released the view without removing it first
}

void VSTGUIEditor::setIdleRate(int32 milliseconds) {
    timer->setFireTime(static_cast<uint32_t>(milliseconds));
}

VSTGUI::CMessageResult VSTGUIEditor::notify(VSTGUI::CBaseObject*, const char* message) {
    if (message && std::strcmp(message, VSTGUI::CVSTGUITimer::kMsgTimer) == 0) {
        if (frame)
            frame->idle();
        return VSTGUI::kMessageNotified;
    }
    return VSTGUI::kMessageUnknown;
}

void VSTGUIEditor::beginEdit(int32_t index) {
    if (controller)
        controller->beginEdit(static_cast<ParamID>(index));
}

void VSTGUIEditor::endEdit(int32_t index) {
    if (controller)
        controller->endEdit(static_cast<ParamID>(index));
}

int32_t VSTGUIEditor::getKnobMode() const {
    return EditController::getHostKnobMode() == kRelativCircularMode ? VSTGUI::kRelativCircularMode
                                                                     : VSTGUI::kLinearMode;
}

namespace {

#if SMTG_OS_WINDOWS
const FIDString kNativeType = kPlatformTypeHWND;
constexpr VSTGUI::PlatformType kToolkitType = VSTGUI::kHWND;
#else
const FIDString kNativeType = kPlatformTypeX11EmbedWindowID;
constexpr VSTGUI::PlatformType kToolkitType = VSTGUI::kX11EmbedWindowID;
#endif

}  // namespace

tresult PLUGIN_API VSTGUIEditor::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kNativeType) == 0 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API VSTGUIEditor::attached(void* parent, FIDString type) {
    if (!parent || isPlatformTypeSupported(type) != kResultTrue || frame)
        return kResultFalse;
#if SMTG_OS_LINUX
    // Nothing of ours may run but from the host's loop: without one there is no editor.
    try {
        FUnknownPtr<Linux::IRunLoop> hostLoop(plugFrame);
        std::shared_ptr<VSTGUI::X11::IRunLoop> loop = adaptHostRunLoop(hostLoop);
        if (!loop)
            return kResultFalse;
        VSTGUI::X11::RunLoop::hold(loop);
        heldRunLoop = loop;
    } catch (...) {
        releaseRunLoop();
        return kResultFalse;
    }
#endif
    timer->start();
    if (!open(parent, kToolkitType)) {
        timer->stop();
        releaseRunLoop();
        return kResultFalse;
    }
    if (frame) {
        // The window's pixels: the frame's size at its display scale.
        const double scale = frame->getScaleFactor();
        ViewRect size(0, 0, static_cast<int32>(std::lround(frame->getWidth() * scale)),
                      static_cast<int32>(std::lround(frame->getHeight() * scale)));
        setRect(size);
        if (plugFrame)
            plugFrame->resizeView(this, &size);
    }
    return EditorView::attached(parent, type);
}

tresult PLUGIN_API VSTGUIEditor::removed() {
    timer->stop();
    close();
    releaseRunLoop();
    return EditorView::removed();
}

void VSTGUIEditor::releaseRunLoop() {
#if SMTG_OS_LINUX
    // Whatever is still registered goes with the adapter, once nobody holds it.
    if (heldRunLoop) {
        VSTGUI::X11::RunLoop::release(static_cast<VSTGUI::X11::IRunLoop*>(heldRunLoop.get()));
        heldRunLoop.reset();
    }
#endif
}

tresult PLUGIN_API VSTGUIEditor::onKeyDown(char16 key, int16 keyCode, int16 modifiers) {
    VSTGUI::VstKeyCode code = keyCodeOf(key, keyCode, modifiers);
    return frame && frame->onKeyDown(code) == 1 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API VSTGUIEditor::onKeyUp(char16 key, int16 keyCode, int16 modifiers) {
    VSTGUI::VstKeyCode code = keyCodeOf(key, keyCode, modifiers);
    return frame && frame->onKeyUp(code) == 1 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API VSTGUIEditor::onWheel(float distance) {
    VSTGUI::CPoint where;
    if (!frame || !frame->getCurrentMouseLocation(where))
        return kResultFalse;
    return frame->onWheel(where, distance, VSTGUI::CButtonState(frame->getCurrentModifiers()))
               ? kResultTrue
               : kResultFalse;
}

}  // namespace Vst
}  // namespace Steinberg
