// What the host-level tests share: the module path, the host's own counted objects, saved-state
// documents and streams, and a plug-in instance held the way a host holds one. Nothing of the
// plug-in's own code is included; the module is reached only through its entry points.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host_parameter_changes.h"
#include "module_loader.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace host_test {

using namespace Steinberg;
using namespace Steinberg::Vst;
using quenvale::hosting::LoadedModule;

// The module under test: compiled in, replaced by the program's first argument if given.
inline std::string& modulePath() {
    static std::string path = QUENVALE_MODULE_PATH;
    return path;
}

// The host-level test programs' main: the module under test may be named as the first argument.
inline int runHostTests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1)
        modulePath() = argv[1];
    return RUN_ALL_TESTS();
}

// A class ID as hosts print it (and moduleinfo.json holds it): 32 hex digits.
inline std::string cidText(const TUID cid) {
    char text[40] = {};
    FUID::fromTUID(cid).toString(text);
    return text;
}

// Host objects the test owns: counted, so that a reference the plug-in keeps shows, but never
// deleted by a release.
template <class Base>
class Counted : public Base {
  public:
    uint32 PLUGIN_API addRef() override { return static_cast<uint32>(++references); }
    uint32 PLUGIN_API release() override { return static_cast<uint32>(--references); }
    std::atomic<int32> references{1};
};

using HostContext = Counted<HostApplication>;  // the SDK's own counting does nothing

template <class Interface>
class HostObject : public Counted<Interface> {
  public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        const bool known = FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
                           FUnknownPrivate::iidEqual(iid, Interface::iid);
        *obj = known ? static_cast<Interface*>(this) : nullptr;
        if (known)
            this->addRef();
        return known ? kResultOk : kNoInterface;
    }
};

class RecordingHandler : public HostObject<IComponentHandler> {
  public:
    tresult PLUGIN_API beginEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API performEdit(ParamID, ParamValue) override { return kResultOk; }
    tresult PLUGIN_API endEdit(ParamID) override { return kResultOk; }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        restarts.push_back(flags);
        return kResultOk;
    }
    std::vector<int32> restarts;
};

// One block's automation of one parameter: points of (sample offset, normalized value), in the
// host's own parameter-change list, handed to every block it is passed to.
class Automation : public quenvale::hosting::HostParameterChanges {
  public:
    Automation(ParamID id, std::initializer_list<std::pair<int32, ParamValue>> points) {
        for (const auto& [offset, value] : points) {
            add(id, offset, value);
        }
    }
};

// A saved state as the plug-in writes it: little-endian byte count, then the JSON text.
inline std::string document(const std::string& json) {
    const auto n = static_cast<uint32>(json.size());
    const char count[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return std::string(count, 4) + json;
}

// Makes `bytes` the whole of `stream`, positioned at its start.
inline void fill(MemoryStream& stream, const std::string& bytes) {
    int32 written = 0;
    stream.seek(0, IBStream::kIBSeekSet, nullptr);
    stream.write(const_cast<char*>(bytes.data()), static_cast<int32>(bytes.size()), &written);
    stream.truncateToCursor();
    stream.seek(0, IBStream::kIBSeekSet, nullptr);
}

template <class Saver>
std::string saved(Saver& saver) {
    MemoryStream stream;
    EXPECT_EQ(saver.getState(&stream), kResultOk);
    return std::string(stream.getData(), static_cast<std::size_t>(stream.getSize()));
}

template <class Loader>
tresult load(Loader& loader, const std::string& bytes) {
    MemoryStream stream;
    fill(stream, bytes);
    return loader.setState(&stream);
}

template <class I>
IPtr<I> create(IPluginFactory& factory, const TUID cid) {
    void* obj = nullptr;
    const tresult result = factory.createInstance(cid, I::iid, &obj);
    EXPECT_EQ(result, kResultOk);
    return result == kResultOk ? owned(static_cast<I*>(obj)) : IPtr<I>();
}

// A plug-in instance the way a host holds one: both halves created, initialised with the
// host's context and connected to each other; taken down in the host's order.
struct Instance {
    Instance(IPluginFactory& factory, const TUID processorClass, const TUID controllerClass,
             FUnknown* context)
        : component(create<IComponent>(factory, processorClass)),
          controller(create<IEditController>(factory, controllerClass)),
          processor(component),
          processorPoint(component),
          controllerPoint(controller) {
        if (!processor || !processorPoint || !controllerPoint) {
            ADD_FAILURE() << "an interface is missing";
            return;
        }
        EXPECT_EQ(component->initialize(context), kResultOk);
        EXPECT_EQ(controller->initialize(context), kResultOk);
        EXPECT_EQ(processorPoint->connect(controllerPoint), kResultOk);
        EXPECT_EQ(controllerPoint->connect(processorPoint), kResultOk);
        ready = true;
    }
    ~Instance() {
        if (!ready)
            return;
        EXPECT_EQ(processorPoint->disconnect(controllerPoint), kResultOk);
        EXPECT_EQ(controllerPoint->disconnect(processorPoint), kResultOk);
        EXPECT_EQ(controller->terminate(), kResultOk);
        EXPECT_EQ(component->terminate(), kResultOk);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void activate(bool on) {
        EXPECT_EQ(component->setActive(on), kResultOk);
        const tresult result = processor->setProcessing(on);
        EXPECT_TRUE(result == kResultOk || result == kNotImplemented) << result;
    }

    IPtr<IComponent> component;
    IPtr<IEditController> controller;
    FUnknownPtr<IAudioProcessor> processor;
    FUnknownPtr<IConnectionPoint> processorPoint;
    FUnknownPtr<IConnectionPoint> controllerPoint;
    bool ready = false;
};

// The module loaded afresh for each test, with its factory and the two class IDs.
class ModuleFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        module = std::make_unique<LoadedModule>(modulePath());
        factory = owned(module->factory());
        ASSERT_TRUE(factory);
        PClassInfo info;
        ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
        std::memcpy(processorClass, info.cid, sizeof(TUID));
        ASSERT_EQ(factory->getClassInfo(1, &info), kResultOk);
        std::memcpy(controllerClass, info.cid, sizeof(TUID));
    }
    std::unique_ptr<Instance> instance(FUnknown* context) {
        return std::make_unique<Instance>(*factory, processorClass, controllerClass, context);
    }

    std::unique_ptr<LoadedModule> module;  // declared first: unloaded after everything else
    IPtr<IPluginFactory> factory;
    TUID processorClass = {};
    TUID controllerClass = {};
};

}  // namespace host_test
