#pragma once

#include "platform/RegistryStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace mallow::platform {

/// Where the registry store says a class lives: the class identifier registered for a
/// programmatic identifier and the library that serves it.
struct ClassRegistration
{
    std::string clsid;
    std::string libraryPath;
};

/// Reads the registration of `progId` the way components register themselves: the default value
/// of HKEY_CLASSES_ROOT\<progId>\CLSID names the class, and the default value of
/// HKEY_CLASSES_ROOT\CLSID\<clsid>\InprocServer32 its library. Nothing when either is missing.
std::optional<ClassRegistration> FindClassRegistration(const registry::Store& store,
                                                       const std::string& progId);

/// A component library loaded into the program. It is unloaded when the last owner lets it go and
/// the library answers DllCanUnloadNow with S_OK, that is when none of its objects is alive.
class ComponentLibrary
{
public:
    /// Loads the library. Throws MallowError 429 naming `progId` when the file does not exist,
    /// cannot be loaded or exports no DllGetClassObject.
    ComponentLibrary(const std::string& path, const std::string& progId);
    ~ComponentLibrary();
    ComponentLibrary(const ComponentLibrary&) = delete;
    ComponentLibrary& operator=(const ComponentLibrary&) = delete;

    const std::string& Path() const { return path; }
    /// The class object of `clsid` with interface `iid`; throws MallowError 429 when the library
    /// does not serve it.
    void* GetClassObject(const std::string& clsid, const std::string& iid) const;

private:
    using GetClassObjectFunction = std::int32_t (*)(const char*, const char*, void**);
    using CanUnloadNowFunction = std::int32_t (*)();

    std::string path;
    std::string progId;
    void* handle = nullptr;
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
};

/// A class object together with the library that serves it; the library stays loaded while this
/// (or a copy of `library`) lives.
struct ClassObject
{
    std::shared_ptr<ComponentLibrary> library;
    void* object = nullptr;
};

/// What creating an object by its programmatic identifier does: finds `progId` in the registry
/// store at `storePath`, loads its library and asks it for the class object with interface
/// `iid`. Every failure (a store that cannot be read, an identifier that is not registered, a
/// library that is gone or broken) throws MallowError 429 with a description that says which.
ClassObject GetClassObjectByProgID(const std::string& progId, const std::string& iid,
                                   const std::string& storePath = registry::Store::DefaultPath());

} // namespace mallow::platform
