// The module as a host sees it: the class factory with the processor and controller classes,
// the module start-up (GDI+ for the editor on Windows) and the VST 2 entry point.
#include "class_ids.h"
#include "controller.h"
#include "module_entry.h"
#include "plugin_factory.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "processor.h"

#if SMTG_OS_WINDOWS
#include "gdiplus_session.h"
#include "win32_frame.h"
#include "vst2_wrapper.h"
#define QUENVALE_EXPORT extern "C"  // the .def file names the exports
#else
#define QUENVALE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace quenvale {
namespace {

constexpr const char* kVendor = "Corvane Audio";
constexpr const char* kUrl = "https://quenvale.example";
constexpr const char* kEmail = "support@quenvale.example";
constexpr const char* kVersion = QUENVALE_VERSION;
constexpr const char* kSubCategories = "Fx|Delay|Tools";

Steinberg::FUnknown* createProcessor(void*) {
    auto* processor = new Processor;
    processor->setControllerClass(controllerClassId());
    return static_cast<Steinberg::Vst::IAudioProcessor*>(processor);
}

Steinberg::FUnknown* createController(void*) {
    return static_cast<Steinberg::Vst::IEditController*>(new Controller);
}

}  // namespace
}  // namespace quenvale

QUENVALE_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
    using namespace quenvale;
    using Steinberg::PClassInfo;
    using Steinberg::PClassInfo2;
    try {
        const Steinberg::PFactoryInfo info(kVendor, kUrl, kEmail,
                                           Steinberg::PFactoryInfo::kUnicode);
        auto* factory = new Steinberg::CPluginFactory(info);
        const PClassInfo2 processor(processorClassId().toTUID(), PClassInfo::kManyInstances,
                                    kVstAudioEffectClass, kProcessorName,
                                    Steinberg::Vst::kDistributable, kSubCategories, "", kVersion,
                                    kVstVersionString);
        factory->registerClass(&processor, createProcessor);
        const PClassInfo2 controller(controllerClassId().toTUID(), PClassInfo::kManyInstances,
                                     kVstComponentControllerClass, kControllerName, 0, "", "",
                                     kVersion, kVstVersionString);
        factory->registerClass(&controller, createController);
        return factory;
    } catch (...) {
        return nullptr;
    }
}

#if SMTG_OS_WINDOWS

bool InitModule() {
    return corvane::vst::acquireGdiplus();
}

bool DeinitModule() {
    // A class left registered would outlive the code of its window procedure.
    VSTGUI::Win32::unregisterWindowClass();
    corvane::vst::releaseGdiplus();
    return true;
}

// VST 2 hosts call this once per plug-in instance.
QUENVALE_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    try {
        if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
            return nullptr;
        }
        if (!InitModule()) {
            return nullptr;
        }
        Steinberg::IPluginFactory* factory = GetPluginFactory();
        Steinberg::Vst::Vst2Wrapper* wrapper = nullptr;
        if (factory) {
            wrapper = Steinberg::Vst::Vst2Wrapper::create(
                factory, quenvale::processorClassId().toTUID(), quenvale::vst2UniqueId(), host);
            factory->release();
        }
        if (!wrapper) {
            DeinitModule();  // no effect will ever give the start-up back
            return nullptr;
        }
        return wrapper->getAeffect();
    } catch (...) {
        return nullptr;
    }
}

#else

bool InitModule() {
    return true;
}
bool DeinitModule() {
    return true;
}

#endif
