// Just enough host to drive quenvale::Processor in tests: the SDK's host application (which
// creates the messages the processor sends), a peer recording them, a broken stream, and helpers
// that set up, save, load, send the delay and render audio.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "fake_parameter_changes.h"
#include "processor.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace quenvale::testing {

using Steinberg::int32;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;
using Steinberg::uint32;
using namespace Steinberg::Vst;

struct SentMessage {
    std::string id;
    std::optional<Steinberg::int64> b0;  // the "b0" attribute, when there is one
    std::optional<double> b3;            // the "b3" attribute (a sample rate), when there is one
};

class RecordingPeer : public IConnectionPoint {
  public:
    QUENVALE_UNCOUNTED_FUNKNOWN
    tresult PLUGIN_API connect(IConnectionPoint*) override { return kResultOk; }
    tresult PLUGIN_API disconnect(IConnectionPoint*) override { return kResultOk; }
    tresult PLUGIN_API notify(IMessage* message) override {
        SentMessage& sent = messages.emplace_back();
        sent.id = message->getMessageID() ? message->getMessageID() : "";
        Steinberg::int64 value = 0;
        if (message->getAttributes()->getInt("b0", value) == kResultOk)
            sent.b0 = value;
        double rate = 0.0;
        if (message->getAttributes()->getFloat("b3", rate) == kResultOk)
            sent.b3 = rate;
        return kResultOk;
    }
    std::vector<SentMessage> messages;
};

// A message without an attribute list, as a careless host might send one.
class MessageWithoutAttributes : public IMessage {
  public:
    explicit MessageWithoutAttributes(const char* id) : id(id) {}
    QUENVALE_UNCOUNTED_FUNKNOWN
    const char* PLUGIN_API getMessageID() override { return id; }
    void PLUGIN_API setMessageID(const char*) override {}
    IAttributeList* PLUGIN_API getAttributes() override { return nullptr; }
    const char* id;
};

// A stream whose every call fails, or one with nothing to read that takes `room` more bytes and
// then no more, like a full disk.
class BrokenStream : public Steinberg::IBStream {
  public:
    BrokenStream(bool fails, int32 room) : fails(fails), room(room) {}
    QUENVALE_UNCOUNTED_FUNKNOWN
    tresult PLUGIN_API read(void*, int32, int32* numBytesRead) override {
        *numBytesRead = 0;
        return fails ? kResultFalse : kResultOk;
    }
    tresult PLUGIN_API write(void*, int32 numBytes, int32* numBytesWritten) override {
        *numBytesWritten = fails ? 0 : std::min(numBytes, room);
        room -= *numBytesWritten;
        return fails ? kResultFalse : kResultOk;
    }
    tresult PLUGIN_API seek(Steinberg::int64, int32, Steinberg::int64*) override {
        return kResultFalse;
    }
    tresult PLUGIN_API tell(Steinberg::int64*) override { return kResultFalse; }
    bool fails;
    int32 room;
};

// `text` behind a 4-byte little-endian byte count: the text's size unless `count` is given.
inline std::string stateBytes(const std::string& text, std::optional<std::uint32_t> count = {}) {
    const std::uint32_t n = count.value_or(static_cast<std::uint32_t>(text.size()));
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((n >> shift) & 0xFFu);
    return bytes + text;
}

// An initialized processor connected to a recording peer.
class TestHost {
  public:
    TestHost() : processor(new Processor, false) {
        EXPECT_EQ(processor->initialize(&application), kResultOk);
        EXPECT_EQ(processor->connect(&peer), kResultOk);
    }
    ~TestHost() { processor->terminate(); }

    tresult setup(double rate, int32 sampleSize = kSample32) {
        ProcessSetup setup{kRealtime, sampleSize, 1024, rate};
        return processor->setupProcessing(setup);
    }
    std::string save() {
        Steinberg::MemoryStream stream;
        EXPECT_EQ(processor->getState(&stream), kResultOk);
        return std::string(stream.getData() ? stream.getData() : "",
                           static_cast<std::size_t>(stream.getSize()));
    }
    tresult load(std::string bytes) {
        Steinberg::MemoryStream stream(bytes.data(), static_cast<Steinberg::TSize>(bytes.size()));
        return processor->setState(&stream);
    }
    tresult loadText(const std::string& text) { return load(stateBytes(text)); }

    // Sends "u0" as the controller does, with `delay` as "uk0" unless it is empty.
    tresult sendDelay(std::optional<double> delay) {
        Steinberg::IPtr<IMessage> message = Steinberg::owned(new HostMessage);
        message->setMessageID("u0");
        if (delay)
            message->getAttributes()->setFloat("uk0", *delay);
        return processor->notify(message);
    }

    HostApplication application;
    RecordingPeer peer;
    Steinberg::IPtr<Processor> processor;  // declared last: released before the peer
};

template <typename S>
using Channels = std::vector<std::vector<S>>;

// Runs `input` through `process` in calls of `block` samples; the first call gets `changes`.
template <typename S>
Channels<S> render(Processor& processor, const Channels<S>& input, int32 block,
                   IParameterChanges* changes = nullptr) {
    const std::size_t length = input[0].size();
    Channels<S> output(input.size(), std::vector<S>(length));
    std::vector<S*> in(input.size()), out(input.size());
    for (std::size_t done = 0; done < length; done += block) {
        for (std::size_t j = 0; j < input.size(); ++j) {
            in[j] = const_cast<S*>(input[j].data()) + done;
            out[j] = output[j].data() + done;
        }
        AudioBusBuffers inBus, outBus;
        inBus.numChannels = outBus.numChannels = static_cast<int32>(input.size());
        if constexpr (std::is_same_v<S, float>) {
            inBus.channelBuffers32 = in.data();
            outBus.channelBuffers32 = out.data();
        } else {
            inBus.channelBuffers64 = in.data();
            outBus.channelBuffers64 = out.data();
        }
        ProcessData data;
        data.symbolicSampleSize = std::is_same_v<S, float> ? kSample32 : kSample64;
        data.numSamples = static_cast<int32>(std::min<std::size_t>(block, length - done));
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inBus;
        data.outputs = &outBus;
        data.inputParameterChanges = done == 0 ? changes : nullptr;
        EXPECT_EQ(processor.process(data), kResultOk);
    }
    return output;
}

}  // namespace quenvale::testing
