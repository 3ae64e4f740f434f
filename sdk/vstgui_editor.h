// An editor view whose content is a toolkit frame: the plug-in side of IPlugView on an HWND
// (Windows) or in an X window (Linux, "X11EmbedWindowID"). Subclasses build the frame in open()
// and release it in close(). The editor's timer (100 ms, changeable) runs while the view is
// attached and reports to notify(), which lets the frame redraw its dirty views.
//
// On Linux everything runs from the host's run loop (Steinberg::Linux::IRunLoop, asked of the
// IPlugFrame given by setFrame): the X connection's descriptor and every timer are registered
// there while the view is attached, and nothing else runs. A host without a run loop gets
// kResultFalse from attached().
#pragma once

#include <memory>

#include "editor_interface.h"
#include "frame.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "vstgui_timer.h"

namespace Steinberg {
namespace Vst {

class VSTGUIEditor : public EditorView,
                     public VSTGUI::VSTGUIEditorInterface,
                     public VSTGUI::CBaseObject {
  public:
    // controller: an EditController; the view keeps a reference of it.
    explicit VSTGUIEditor(void* controller, ViewRect* size = nullptr);
    ~VSTGUIEditor() override;

    // Builds the frame (in `frame`) and opens it on `parent`; false when that is impossible.
    virtual bool PLUGIN_API open(void* parent,
                                 const VSTGUI::PlatformType& type = VSTGUI::kDefaultNative) = 0;
    // Closes and releases the frame.
    virtual void PLUGIN_API close() = 0;

    void setIdleRate(int32 milliseconds);

    // "timer fired": the frame's idle processing, answered kMessageNotified.
    VSTGUI::CMessageResult notify(VSTGUI::CBaseObject* sender, const char* message) override;

    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    // Relative circular when the host chose it, linear otherwise.
    int32_t getKnobMode() const override;

    tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override;
    tresult PLUGIN_API attached(void* parent, FIDString type) override;
    tresult PLUGIN_API removed() override;
    tresult PLUGIN_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) override;
    tresult PLUGIN_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) override;
    tresult PLUGIN_API onWheel(float distance) override;

    OBJ_METHODS(VSTGUIEditor, EditorView)
    REFCOUNT_METHODS(EditorView)

  protected:
    VSTGUI::CVSTGUITimer* timer;

  private:
    void releaseRunLoop();

    // The host's run loop while attached (Linux); the toolkit's frames and timers use it.
    std::shared_ptr<void> heldRunLoop;
};

}  // namespace Vst
}  // namespace Steinberg
