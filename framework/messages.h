// Sending a message from one half of the plug-in to the other (processor <-> controller).
#pragma once

#include <new>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/vst/vstcomponentbase.h"

namespace corvane::vst {

// Sends message `id` to the sender's peer, with attributes set by `fill(IAttributeList&)`.
// Without a host context, or when the host gives no message object or memory runs out on the
// way, nothing is sent; without a peer the message is released unsent. True when the peer took
// it.
template <typename Fill>
bool sendMessage(const Steinberg::Vst::ComponentBase& sender, const char* id, Fill&& fill) {
    try {
        const Steinberg::IPtr<Steinberg::Vst::IMessage> message =
            Steinberg::owned(sender.allocateMessage());
        if (!message) {
            return false;
        }
        message->setMessageID(id);
        if (Steinberg::Vst::IAttributeList* attributes = message->getAttributes()) {
            fill(*attributes);
        }
        return sender.sendMessage(message) == Steinberg::kResultOk;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

inline bool sendMessage(const Steinberg::Vst::ComponentBase& sender, const char* id) {
    return sendMessage(sender, id, [](Steinberg::Vst::IAttributeList&) {});
}

}  // namespace corvane::vst
