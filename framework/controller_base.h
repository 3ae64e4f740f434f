// ControllerBase: the generic edit controller. It registers the parameters of `Parameters`,
// gives their display texts, reads the processor's saved state and its own (the same document
// layout), tells every attached editor about every parameter change, creates editors of type
// `Editor` for the host, and answers the processor's messages:
//   "b1" (latency changed) -> restartComponent(kLatencyChanged);
//   "b0" (int "b0") -> processorActive;
//   "b3" (float "b3", the sample rate set up) -> processorSampleRate, and every attached editor
//   is told every parameter's value again, so that what it shows in samples follows the rate;
// and sends "b2" every 50 ms from initialize to terminate (Windows) and on every editor tick, so
// that the processor can report a latency that automation alone changed. A "b1" that arrives
// before the host has set a component handler has no one to tell and is answered kResultOk.
//
// Every host-facing operation contains its exceptions. Everything runs on the host's
// user-interface thread.
//
// Editor: an EditorView made from (EditController*), with onParameterChanged(id, value);
// corvane::vst::NoEditor for none.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

#include "contain.h"
#include "messages.h"
#include "no_editor.h"
#include "on_editor_timer.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "processor_rate.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "state_document.h"
#include "text.h"
#include "ui_thread_timer.h"

namespace corvane::vst {

template <class Controller, class Parameters, class Editor>
class ControllerBase : public Steinberg::Vst::EditController,
                       public IOnEditorTimer,
                       public IProcessorRate {
  public:
    using Document = StateDocument<Parameters>;
    using ParamID = Steinberg::Vst::ParamID;
    using ParamValue = Steinberg::Vst::ParamValue;
    using tresult = Steinberg::tresult;

    tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override {
        return contain([&]() -> tresult {
            // Initialised before (the SDK refuses a second context), or registered already by
            // an earlier initialize without a context: the parameters exist.
            if (EditController::initialize(context) != Steinberg::kResultOk ||
                parameters.getParameterCount() > 0) {
                return Steinberg::kResultOk;
            }
            latencyPoll.start();
            for (int id = 0; id < Parameters::kParamCount; ++id) {
                const auto& info = Parameters::info(id);
                const TString title = utf8ToUtf16(info.title);
                const TString units = utf8ToUtf16(info.units);
                parameters.addParameter(title.c_str(), units.c_str(), info.stepCount,
                                        info.defaultNormalizedValue, info.flags, id, info.unitId);
            }
            return Steinberg::kResultOk;
        });
    }

    tresult PLUGIN_API terminate() override {
        return contain([&]() -> tresult {
            latencyPoll.stop();
            editors.clear();
            return EditController::terminate();
        });
    }

    tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
        return contain([&]() -> tresult {
            if (!message) {
                return Steinberg::kInvalidArgument;
            }
            const char* id = message->getMessageID();
            if (id && std::strcmp(id, "b1") == 0) {
                if (componentHandler) {
                    componentHandler->restartComponent(Steinberg::Vst::kLatencyChanged);
                }
                return Steinberg::kResultOk;
            }
            Steinberg::Vst::IAttributeList* attributes = message->getAttributes();
            if (id && std::strcmp(id, "b0") == 0) {
                Steinberg::int64 active = 0;
                if (!attributes || attributes->getInt("b0", active) != Steinberg::kResultOk) {
                    return Steinberg::kResultFalse;
                }
                processorActive = active != 0;
                return Steinberg::kResultOk;
            }
            if (id && std::strcmp(id, "b3") == 0) {
                double rate = 0.0;
                if (!attributes || attributes->getFloat("b3", rate) != Steinberg::kResultOk ||
                    !(rate > 0.0)) {
                    return Steinberg::kResultFalse;
                }
                sampleRate = rate;
                for (int parameter = 0; parameter < Parameters::kParamCount; ++parameter) {
                    tellEditors(parameter, getParamNormalized(parameter));
                }
                return Steinberg::kResultOk;
            }
            if (!attributes) {
                return Steinberg::kResultFalse;  // the SDK's text handling would follow it
            }
            return EditController::notify(message);
        });
    }

    // The processor's state: its values become this controller's, through the plug-in's own
    // setParamNormalized, so editors follow and the processor hears of the delay. Nothing is
    // reported to the host.
    tresult PLUGIN_API setComponentState(Steinberg::IBStream* stream) override {
        return contain([&]() -> tresult {
            const auto values = readDocument(stream);
            if (!values) {
                return Steinberg::kResultFalse;
            }
            for (int id = 0; id < Parameters::kParamCount; ++id) {
                setParamNormalized(id, (*values)[id]);
            }
            return Steinberg::kResultOk;
        });
    }

    // This controller's own state: the restored values are reported to the host as edits.
    tresult PLUGIN_API setState(Steinberg::IBStream* stream) override {
        return contain([&]() -> tresult {
            const auto values = readDocument(stream);
            if (!values) {
                return Steinberg::kResultFalse;
            }
            for (int id = 0; id < Parameters::kParamCount; ++id) {
                beginEdit(id);
                setParamNormalized(id, (*values)[id]);
                performEdit(id, (*values)[id]);
                endEdit(id);
            }
            return Steinberg::kResultOk;
        });
    }

    // Values are always finite (setParamNormalized refuses others), so this fails only for a
    // stream that cannot be written.
    tresult PLUGIN_API getState(Steinberg::IBStream* stream) override {
        return contain([&]() -> tresult {
            if (!stream) {
                return Steinberg::kResultFalse;
            }
            typename Document::Values values{};
            for (int id = 0; id < Parameters::kParamCount; ++id) {
                values[id] = getParamNormalized(id);
            }
            return Document::write(*stream, values) ? Steinberg::kResultOk
                                                    : Steinberg::kResultFalse;
        });
    }

    // The installed SDK's version throws for an index out of range.
    tresult PLUGIN_API getParameterInfo(Steinberg::int32 index,
                                        Steinberg::Vst::ParameterInfo& info) override {
        return contain([&]() -> tresult {
            if (index < 0 || index >= parameters.getParameterCount()) {
                return Steinberg::kResultFalse;
            }
            return EditController::getParameterInfo(index, info);
        });
    }

    // Texts come from the parameter model, so they are available before initialize.
    tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue value,
                                             Steinberg::Vst::String128 string) override {
        return contain([&]() -> tresult {
            if (!string) {
                return Steinberg::kInvalidArgument;
            }
            if (id == Parameters::kParamBypass) {
                widenInto(string, Parameters::bypassText(static_cast<float>(value)));
                return Steinberg::kResultOk;
            }
            if (id == Parameters::kParamDelay) {
                widenInto(string, Parameters::delayText(static_cast<float>(value)));
                return Steinberg::kResultOk;
            }
            return EditController::getParamStringByValue(id, value, string);
        });
    }

    // The number at the start of the text is the normalized value itself, unclamped.
    tresult PLUGIN_API getParamValueByString(ParamID id, Steinberg::Vst::TChar* string,
                                             ParamValue& value) override {
        return contain([&]() -> tresult {
            if (!getParameterObject(id)) {
                return Steinberg::kResultFalse;
            }
            const auto number = leadingNumber(string);
            if (!number) {
                return Steinberg::kResultFalse;
            }
            value = *number;
            return Steinberg::kResultOk;
        });
    }

    // Stores the value (clamped by the SDK) and tells every attached editor the value as
    // passed, whatever the SDK answered. A value that is not finite is refused and changes
    // nothing: kept, it could never be saved.
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override {
        return contain([&]() -> tresult {
            if (!std::isfinite(value)) {
                return Steinberg::kResultFalse;
            }
            const tresult result = EditController::setParamNormalized(id, value);
            tellEditors(id, value);
            return result;
        });
    }

    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override {
        if constexpr (std::is_same_v<Editor, NoEditor>) {
            (void)name;
            return nullptr;
        } else {
            try {
                if (!name || std::strcmp(name, Steinberg::Vst::ViewType::kEditor) != 0) {
                    return nullptr;
                }
                return new Editor(this);
            } catch (...) {
                return nullptr;
            }
        }
    }

    // The editors list holds no references: an editor is listed while it is on screen.
    void editorAttached(Steinberg::Vst::EditorView* view) override {
        try {
            if (auto* editor = dynamic_cast<Editor*>(view)) {
                editors.push_back(editor);
            }
        } catch (...) {
        }
    }

    void editorRemoved(Steinberg::Vst::EditorView* view) override {
        if (auto* editor = dynamic_cast<Editor*>(view)) {
            const auto found = std::find(editors.begin(), editors.end(), editor);
            if (found != editors.end()) {
                editors.erase(found);
            }
        }
    }

    // An editor the host releases without removing it first must not stay listed. This runs in
    // the view's destructor, where its dynamic type is gone: compare addresses instead.
    void editorDestroyed(Steinberg::Vst::EditorView* view) override {
        editors.erase(std::remove_if(editors.begin(), editors.end(),
                                     [view](Editor* editor) {
                                         return static_cast<Steinberg::Vst::EditorView*>(editor) ==
                                                view;
                                     }),
                      editors.end());
    }

    void onEditorTimer() override { sendTick(); }

    bool isProcessorActive() const { return processorActive; }
    double processorSampleRate() const override { return sampleRate; }
    const std::vector<Editor*>& attachedEditors() const { return editors; }

  protected:
    // The period of the processor's latency poll ("b2"): a latency that automation alone changed
    // reaches the host within about this time.
    static constexpr std::uint32_t kLatencyPollMs = 50;

    void sendTick() {
        try {
            corvane::vst::sendMessage(*this, "b2");
        } catch (...) {
        }
    }

    static std::optional<typename Document::Values> readDocument(Steinberg::IBStream* stream) {
        if (!stream) {
            return std::nullopt;
        }
        return Document::read(*stream);
    }

    // Editors may leave the list while they are told (an editor closing itself): tell each
    // listed entry once, and only while it is still listed.
    void tellEditors(ParamID id, ParamValue value) {
        const std::vector<Editor*> listed = editors;
        for (Editor* editor : listed) {
            if (editor && std::find(editors.begin(), editors.end(), editor) != editors.end()) {
                editor->onParameterChanged(id, value);
            }
        }
    }

    std::vector<Editor*> editors;
    bool processorActive = false;
    double sampleRate = 0.0;  // unknown until the processor's "b3"
    UiThreadTimer latencyPoll{kLatencyPollMs, [this] { sendTick(); }};
};

}  // namespace corvane::vst
