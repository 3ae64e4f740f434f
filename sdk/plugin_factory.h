// Steinberg::CPluginFactory: the VST 3 class factory helper, which the installed SDK sources
// lack. Holds the factory information and the registered classes; createInstance calls a
// class's create function and hands out the requested interface of the new object.
// Reference counted; a new factory carries one reference.
#pragma once

#include <vector>

#include "pluginterfaces/base/ipluginbase.h"

namespace Steinberg {

class CPluginFactory : public IPluginFactory3 {
  public:
    // Creates an object with one reference, as its FUnknown.
    using CreateFunction = FUnknown* (*)(void* context);

    explicit CPluginFactory(const PFactoryInfo& info);
    virtual ~CPluginFactory();
    CPluginFactory(const CPluginFactory&) = delete;
    CPluginFactory& operator=(const CPluginFactory&) = delete;

    // False (and nothing registered) when the class ID is taken or the arguments are null.
    bool registerClass(const PClassInfo2* info, CreateFunction create, void* context = nullptr);
    bool isClassRegistered(const FUID& cid) const;

    // FUnknown
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) SMTG_OVERRIDE;
    uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
    uint32 PLUGIN_API release() SMTG_OVERRIDE;

    // IPluginFactory
    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
    int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) SMTG_OVERRIDE;

    // IPluginFactory2
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;

    // IPluginFactory3
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
    tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;

  private:
    struct Entry {
        PClassInfo2 info;
        CreateFunction create;
        void* context;
    };
    const Entry* entryAt(int32 index) const;

    int32 refCount = 1;
    PFactoryInfo factoryInfo;
    std::vector<Entry> classes;
};

}  // namespace Steinberg
