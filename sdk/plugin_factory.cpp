#include "plugin_factory.h"

#include <atomic>
#include <cstring>

#include "pluginterfaces/base/funknown.h"

namespace Steinberg {

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : factoryInfo(info) {}

CPluginFactory::~CPluginFactory() = default;

bool CPluginFactory::registerClass(const PClassInfo2* info, CreateFunction create, void* context) {
    if (!info || !create || isClassRegistered(FUID::fromTUID(info->cid))) {
        return false;
    }
    classes.push_back({*info, create, context});
    return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid) const {
    for (const Entry& entry : classes) {
        if (FUnknownPrivate::iidEqual(entry.info.cid, cid.toTUID())) {
            return true;
        }
    }
    return false;
}

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID iid, void** obj) {
    if (!obj) {
        return kInvalidArgument;
    }
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid)) {
        addRef();
        *obj = static_cast<IPluginFactory3*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API CPluginFactory::addRef() {
    return FUnknownPrivate::atomicAdd(refCount, 1);
}

uint32 PLUGIN_API CPluginFactory::release() {
    const int32 left = FUnknownPrivate::atomicAdd(refCount, -1);
    if (left == 0) {
        delete this;
    }
    return static_cast<uint32>(left);
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info) {
    if (!info) {
        return kInvalidArgument;
    }
    *info = factoryInfo;
    return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses() {
    return static_cast<int32>(classes.size());
}

const CPluginFactory::Entry* CPluginFactory::entryAt(int32 index) const {
    if (index < 0 || index >= static_cast<int32>(classes.size())) {
        return nullptr;
    }
    return &classes[static_cast<std::size_t>(index)];
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info) {
    const Entry* entry = entryAt(index);
    if (!entry || !info) {
        return kInvalidArgument;
    }
    *info = PClassInfo(entry->info.cid, entry->info.cardinality, entry->info.category,
                       entry->info.name);
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
    const Entry* entry = entryAt(index);
    if (!entry || !info) {
        return kInvalidArgument;
    }
    *info = entry->info;
    return kResultOk;
}

namespace {

// The class texts are ASCII; widening byte by byte keeps them as they are.
template <std::size_t N>
void widen(char16 (&target)[N], const char8* source) {
    std::size_t i = 0;
    for (; i + 1 < N && source[i] != 0; ++i) {
        target[i] = static_cast<char16>(static_cast<unsigned char>(source[i]));
    }
    target[i] = 0;
}

}  // namespace

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
    const Entry* entry = entryAt(index);
    if (!entry || !info) {
        return kInvalidArgument;
    }
    *info = PClassInfoW();
    std::memcpy(info->cid, entry->info.cid, sizeof(TUID));
    info->cardinality = entry->info.cardinality;
    std::memcpy(info->category, entry->info.category, sizeof info->category);
    widen(info->name, entry->info.name);
    info->classFlags = entry->info.classFlags;
    std::memcpy(info->subCategories, entry->info.subCategories, sizeof info->subCategories);
    widen(info->vendor, entry->info.vendor);
    widen(info->version, entry->info.version);
    widen(info->sdkVersion, entry->info.sdkVersion);
    return kResultOk;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown*) {
    return kNotImplemented;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (!cid || !iid || !obj) {
        return kInvalidArgument;
    }
    *obj = nullptr;
    for (const Entry& entry : classes) {
        if (!FUnknownPrivate::iidEqual(entry.info.cid, cid)) {
            continue;
        }
        FUnknown* instance = nullptr;
        try {
            instance = entry.create(entry.context);
        } catch (...) {
            return kOutOfMemory;
        }
        if (!instance) {
            return kOutOfMemory;
        }
        // The caller gets the interface's own reference; the creation reference goes.
        const tresult result = instance->queryInterface(iid, obj);
        instance->release();
        if (result != kResultOk) {
            *obj = nullptr;
            return kNoInterface;
        }
        return kResultOk;
    }
    return kNoInterface;
}

}  // namespace Steinberg
