#pragma once

namespace corvane::vst {

// What an editor calls on every tick of its timer. A plain C++ interface, not a VST 3 one: the
// editor finds it on its controller by a dynamic cast.
class IOnEditorTimer {
  public:
    virtual ~IOnEditorTimer() = default;
    virtual void onEditorTimer() = 0;
};

}  // namespace corvane::vst
