// What a frame asks of the editor that owns it. Header-only and portable.
#pragma once

#include <cstdint>

namespace VSTGUI {

class CFrame;

enum PlatformType : int32_t {
    kHWND = 0,
    kX11EmbedWindowID = 5,  // an X window id, as the plug-in interface hands it
    kDefaultNative = -1,    // the platform's own window type
};

class VSTGUIEditorInterface {
  public:
    virtual void doIdleStuff() {}
    // The CKnobMode the editor's knobs drag in; -1 for no preference (circular).
    virtual int32_t getKnobMode() const { return -1; }
    virtual void beginEdit(int32_t /*index*/) {}
    virtual void endEdit(int32_t /*index*/) {}
    virtual CFrame* getFrame() const { return frame; }

  protected:
    VSTGUIEditorInterface() = default;
    virtual ~VSTGUIEditorInterface() = default;

    CFrame* frame = nullptr;
};

}  // namespace VSTGUI
