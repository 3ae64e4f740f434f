// The root of the toolkit's objects: a reference count and a message hook. Header-only and
// portable. Objects start with one reference, owned by whoever created them; forget() drops one
// and deletes the object with the last.
#pragma once

#include <cstdint>

#include "events.h"

namespace VSTGUI {

class CBaseObject {
  public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject() = default;

    void remember() { ++references; }
    void forget() {
        if (--references == 0)
            delete this;
    }
    int32_t getNbReference() const { return references; }

    // A message from another object, e.g. a timer's "timer fired".
    virtual CMessageResult notify(CBaseObject* /*sender*/, const char* /*message*/) {
        return kMessageUnknown;
    }

  private:
    int32_t references = 1;
};

}  // namespace VSTGUI
