// Sending a message from one half of the plug-in to the other (processor <-> controller).
#pragma once

#include "pluginterfaces/vst/ivstmessage.h"
#include "public.sdk/source/vst/vstcomponentbase.h"

namespace corvane::vst {

// Sends message `id` to the sender's peer, with attributes set by `fill(IAttributeList&)`.
// Without a host context, or when the host gives no message object, nothing is sent; without
// a peer the message is released unsent.
template <typename Fill>
void sendMessage(const Steinberg::Vst::ComponentBase& sender, const char* id, Fill&& fill) {
    Steinberg::Vst::IMessage* message = sender.allocateMessage();
    if (!message) {
        return;
    }
    message->setMessageID(id);
    if (Steinberg::Vst::IAttributeList* attributes = message->getAttributes()) {
        fill(*attributes);
    }
    sender.sendMessage(message);
    message->release();
}

inline void sendMessage(const Steinberg::Vst::ComponentBase& sender, const char* id) {
    sendMessage(sender, id, [](Steinberg::Vst::IAttributeList&) {});
}

}  // namespace corvane::vst
