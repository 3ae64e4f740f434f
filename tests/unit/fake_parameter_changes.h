// A host's parameter-change list as the engine sees it, built by hand in tests: queues with
// points, points whose getPoint fails, and null entries.
#pragma once

#include <memory>
#include <vector>

#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace quenvale::testing {

using Steinberg::int32;
using Steinberg::tresult;
using Steinberg::uint32;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

// Reference counting is not exercised: the test owns these objects and they outlive every user.
#define QUENVALE_UNCOUNTED_FUNKNOWN                                                 \
    tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override { \
        *obj = nullptr;                                                             \
        return Steinberg::kNoInterface;                                             \
    }                                                                               \
    uint32 PLUGIN_API addRef() override {                                           \
        return 1;                                                                   \
    }                                                                               \
    uint32 PLUGIN_API release() override {                                          \
        return 1;                                                                   \
    }

struct FakePoint {
    int32 offset = 0;
    ParamValue value = 0.0;
    bool fails = false;
};

class FakeQueue : public Steinberg::Vst::IParamValueQueue {
  public:
    FakeQueue(ParamID id, std::vector<FakePoint> points) : id(id), points(std::move(points)) {}
    QUENVALE_UNCOUNTED_FUNKNOWN
    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        if (index < 0 || index >= getPointCount() || points[index].fails) {
            return Steinberg::kResultFalse;
        }
        offset = points[index].offset;
        value = points[index].value;
        return Steinberg::kResultOk;
    }
    tresult PLUGIN_API addPoint(int32 offset, ParamValue value, int32& index) override {
        index = getPointCount();
        points.push_back({offset, value, false});
        return Steinberg::kResultOk;
    }

  private:
    ParamID id;
    std::vector<FakePoint> points;
};

class FakeChanges : public Steinberg::Vst::IParameterChanges {
  public:
    QUENVALE_UNCOUNTED_FUNKNOWN
    // Adds a queue; returns it for further points.
    FakeQueue& add(ParamID id, std::vector<FakePoint> points = {}) {
        queues.push_back(std::make_unique<FakeQueue>(id, std::move(points)));
        return *queues.back();
    }
    // An entry for which getParameterData answers null.
    void addNull() { queues.push_back(nullptr); }

    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index >= 0 && index < getParameterCount() ? queues[index].get() : nullptr;
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id,
                                                                  int32& index) override {
        index = getParameterCount();
        return &add(id);
    }

  private:
    std::vector<std::unique_ptr<FakeQueue>> queues;
};

}  // namespace quenvale::testing
