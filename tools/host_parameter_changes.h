// The parameter changes a host hands to process(): per parameter, a queue of (offset, value)
// points. Fixed capacity, so filling it allocates nothing.
#pragma once

#include <array>

#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace quenvale::hosting {

class HostParamQueue : public Steinberg::Vst::IParamValueQueue {
  public:
    static constexpr Steinberg::int32 kCapacity = 64;

    Steinberg::Vst::ParamID id = 0;
    Steinberg::int32 count = 0;
    std::array<Steinberg::int32, kCapacity> offsets{};
    std::array<Steinberg::Vst::ParamValue, kCapacity> values{};

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }  // owned by the host
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return count; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& offset,
                                           Steinberg::Vst::ParamValue& value) override {
        if (index < 0 || index >= count)
            return Steinberg::kResultFalse;
        offset = offsets[index];
        value = values[index];
        return Steinberg::kResultOk;
    }
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 offset,
                                           Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override {
        if (count >= kCapacity)
            return Steinberg::kResultFalse;
        index = count;
        offsets[count] = offset;
        values[count] = value;
        ++count;
        return Steinberg::kResultOk;
    }
};

class HostParameterChanges : public Steinberg::Vst::IParameterChanges {
  public:
    static constexpr Steinberg::int32 kMaxParameters = 8;

    // Empties every queue, for the next block.
    void clear() { used = 0; }

    // Adds a point for parameter `id`, opening its queue on first use.
    void add(Steinberg::Vst::ParamID id, Steinberg::int32 offset,
             Steinberg::Vst::ParamValue value) {
        Steinberg::int32 index = 0;
        if (auto* queue = addParameterData(id, index)) {
            Steinberg::int32 point = 0;
            queue->addPoint(offset, value, point);
        }
    }

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    Steinberg::int32 PLUGIN_API getParameterCount() override { return used; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override {
        return index >= 0 && index < used ? &queues[index] : nullptr;
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API
    addParameterData(const Steinberg::Vst::ParamID& id, Steinberg::int32& index) override {
        for (Steinberg::int32 i = 0; i < used; ++i) {
            if (queues[i].id == id) {
                index = i;
                return &queues[i];
            }
        }
        if (used >= kMaxParameters)
            return nullptr;
        index = used;
        queues[used].id = id;
        queues[used].count = 0;
        return &queues[used++];
    }

  private:
    std::array<HostParamQueue, kMaxParameters> queues;
    Steinberg::int32 used = 0;
};

}  // namespace quenvale::hosting
