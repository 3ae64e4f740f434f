// The host side of the edit controller's tests: a component handler and a peer that record what
// the controller tells them, a message without attributes, a stream that takes only so many
// bytes, and helpers for host strings and saved states.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/source/fobject.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace quenvale::controller_testing {

using Steinberg::int32;
using Steinberg::int64;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::tresult;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;
using Steinberg::Vst::TChar;

using HostString = std::basic_string<TChar>;

// ASCII to host units, one unit per character.
inline HostString hostString(const std::string& text) {
    HostString out;
    for (const char c : text)
        out.push_back(static_cast<TChar>(static_cast<unsigned char>(c)));
    return out;
}

// Host units back to ASCII, unit by unit; anything beyond ASCII shows as '?'.
inline std::string ascii(const TChar* text) {
    std::string out;
    for (std::size_t i = 0; text[i] != 0; ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return out;
}

struct HandlerCall {
    enum Kind { kBegin, kPerform, kEnd, kRestart } kind;
    ParamID id = 0;        // edits only
    ParamValue value = 0;  // performEdit only
    int32 flags = 0;       // restartComponent only

    bool operator==(const HandlerCall& o) const {
        return kind == o.kind && id == o.id && value == o.value && flags == o.flags;
    }
    friend std::ostream& operator<<(std::ostream& os, const HandlerCall& c) {
        static const char* const names[] = {"begin", "perform", "end", "restart"};
        return os << names[c.kind] << "(id " << c.id << ", value " << c.value << ", flags "
                  << c.flags << ")";
    }
};

inline HandlerCall begin(ParamID id) {
    return {HandlerCall::kBegin, id, 0, 0};
}
inline HandlerCall perform(ParamID id, ParamValue v) {
    return {HandlerCall::kPerform, id, v, 0};
}
inline HandlerCall end(ParamID id) {
    return {HandlerCall::kEnd, id, 0, 0};
}
inline HandlerCall restart(int32 flags) {
    return {HandlerCall::kRestart, 0, 0, flags};
}

class RecordingHandler : public Steinberg::FObject, public Steinberg::Vst::IComponentHandler {
  public:
    tresult PLUGIN_API beginEdit(ParamID id) override {
        calls.push_back(begin(id));
        return kResultOk;
    }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        calls.push_back(perform(id, value));
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID id) override {
        calls.push_back(end(id));
        return kResultOk;
    }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        calls.push_back(restart(flags));
        return kResultOk;
    }

    std::vector<HandlerCall> calls;

    OBJ_METHODS(RecordingHandler, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Vst::IComponentHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

struct ReceivedMessage {
    std::string id;
    std::optional<double> uk0;  // the float "uk0", when there is one
    std::optional<int64> b0;    // the int "b0", when there is one
};

class RecordingPeer : public Steinberg::FObject, public Steinberg::Vst::IConnectionPoint {
  public:
    tresult PLUGIN_API connect(IConnectionPoint*) override { return kResultOk; }
    tresult PLUGIN_API disconnect(IConnectionPoint*) override { return kResultOk; }
    tresult PLUGIN_API notify(Steinberg::Vst::IMessage* message) override {
        ReceivedMessage received;
        if (const char* id = message->getMessageID())
            received.id = id;
        if (Steinberg::Vst::IAttributeList* attributes = message->getAttributes()) {
            double value = 0;
            if (attributes->getFloat("uk0", value) == kResultOk)
                received.uk0 = value;
            int64 flag = 0;
            if (attributes->getInt("b0", flag) == kResultOk)
                received.b0 = flag;
        }
        messages.push_back(received);
        return kResultOk;
    }

    std::vector<std::string> ids() const {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.id);
        return out;
    }

    std::vector<ReceivedMessage> messages;

    OBJ_METHODS(RecordingPeer, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Vst::IConnectionPoint)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)
};

// A message whose attribute list is missing.
class MessageWithoutAttributes : public Steinberg::FObject, public Steinberg::Vst::IMessage {
  public:
    explicit MessageWithoutAttributes(const char* id) : id(id) {}
    const char* PLUGIN_API getMessageID() override { return id; }
    void PLUGIN_API setMessageID(const char*) override {}
    Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() override { return nullptr; }

    OBJ_METHODS(MessageWithoutAttributes, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::Vst::IMessage)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

  private:
    const char* id;
};

// Takes `room` bytes and then no more, like a full disk; has nothing to read.
class ShortStream : public Steinberg::FObject, public Steinberg::IBStream {
  public:
    explicit ShortStream(int32 room) : room(room) {}
    tresult PLUGIN_API read(void*, int32, int32* got) override {
        if (got)
            *got = 0;
        return kResultFalse;
    }
    tresult PLUGIN_API write(void*, int32 size, int32* written) override {
        const int32 taken = std::min(size, room);
        room -= taken;
        if (written)
            *written = taken;
        return kResultOk;
    }
    tresult PLUGIN_API seek(int64, int32, int64*) override { return kResultFalse; }
    tresult PLUGIN_API tell(int64*) override { return kResultFalse; }

    OBJ_METHODS(ShortStream, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Steinberg::IBStream)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

  private:
    int32 room;
};

// `text` behind a 4-byte little-endian byte count: the text's size unless `count` is given.
inline std::string stateBytes(const std::string& text,
                              std::optional<std::uint32_t> count = std::nullopt) {
    const std::uint32_t n = count.value_or(static_cast<std::uint32_t>(text.size()));
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((n >> shift) & 0xFFu);
    return bytes + text;
}

// Hands `bytes` as a stream to `load` (setState, setComponentState).
template <typename Load>
tresult fromBytes(std::string bytes, Load&& load) {
    Steinberg::MemoryStream stream(bytes.data(), static_cast<Steinberg::TSize>(bytes.size()));
    return load(&stream);
}

// What `save` (getState) writes into a growing stream, and what it answered.
template <typename Save>
std::string toBytes(Save&& save, tresult* result = nullptr) {
    Steinberg::MemoryStream stream;
    const tresult r = save(&stream);
    if (result)
        *result = r;
    return stream.getSize() > 0
               ? std::string(stream.getData(), static_cast<std::size_t>(stream.getSize()))
               : std::string();
}

// A controller of type C, initialized with a host application, connected to a recording peer
// and given a recording component handler.
template <class C>
class ControllerRig {
  public:
    explicit ControllerRig(bool withHandler = true) {
        EXPECT_EQ(controller->initialize(&application), kResultOk);
        EXPECT_EQ(controller->connect(peer), kResultOk);
        if (withHandler) {
            EXPECT_EQ(controller->setComponentHandler(handler), kResultOk);
        }
    }
    ~ControllerRig() { controller->terminate(); }
    ControllerRig(const ControllerRig&) = delete;
    ControllerRig& operator=(const ControllerRig&) = delete;

    C* operator->() const { return controller.get(); }

    Steinberg::Vst::HostApplication application;
    Steinberg::IPtr<RecordingPeer> peer{new RecordingPeer, false};
    Steinberg::IPtr<RecordingHandler> handler{new RecordingHandler, false};
    Steinberg::IPtr<C> controller{new C, false};
};

}  // namespace quenvale::controller_testing
