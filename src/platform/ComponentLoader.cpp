#include "ComponentLoader.h"

#include "util/Paths.h"

#include "util/MallowError.h"

#include <cstdio>

#include <dlfcn.h>
#include <sys/stat.h>

namespace mallow::platform {

namespace {

constexpr long CantCreateObject = 429;
constexpr std::int32_t S_OK = 0;

[[noreturn]] void CannotCreate(const std::string& progId, const std::string& why)
{
    throw MallowError(CantCreateObject, "CreateObject",
                      "Can't create the object \"" + progId + "\": " + why);
}

std::string HexCode(std::int32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

} // namespace

std::optional<ClassRegistration> FindClassRegistration(const registry::Store& store,
                                                       const std::string& progId)
{
    using registry::HKEY_CLASSES_ROOT;
    const registry::Value* clsid = store.Find(HKEY_CLASSES_ROOT, progId + "\\CLSID", "");
    if (progId.empty() || !clsid || registry::TextOf(*clsid).empty())
        return std::nullopt;
    ClassRegistration found{registry::TextOf(*clsid), {}};
    const registry::Value* library =
        store.Find(HKEY_CLASSES_ROOT, "CLSID\\" + found.clsid + "\\InprocServer32", "");
    if (!library || registry::TextOf(*library).empty())
        return std::nullopt;
    found.libraryPath = registry::TextOf(*library);
    return found;
}

ComponentLibrary::ComponentLibrary(const std::string& path, const std::string& progId)
    : path(path), progId(progId)
{
    struct stat info
    {
    };
    if (path.empty() || path.front() != '/' || ::stat(path.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode))
        CannotCreate(progId, "its library " + path + " does not exist.");
    // RTLD_LOCAL keeps the component's own symbols from resolving anything of the program.
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        CannotCreate(progId, "its library " + path + " cannot be loaded (" +
                                 (why ? why : "unknown reason") + ").");
    }
    getClassObject = reinterpret_cast<GetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(::dlsym(handle, "DllCanUnloadNow"));
    if (!getClassObject) {
        ::dlclose(handle);
        CannotCreate(progId, path + " is not a component library.");
    }
}

ComponentLibrary::~ComponentLibrary()
{
    // A library with live objects stays loaded: their code would be gone under them.
    if (canUnloadNow && canUnloadNow() == S_OK)
        ::dlclose(handle);
}

void* ComponentLibrary::GetClassObject(const std::string& clsid, const std::string& iid) const
{
    void* object = nullptr;
    const std::int32_t result = getClassObject(clsid.c_str(), iid.c_str(), &object);
    if (result != S_OK || !object)
        CannotCreate(progId, "its library " + path + " does not serve the class " + clsid +
                                 " (error " + HexCode(result) + ").");
    return object;
}

ClassObject GetClassObjectByProgID(const std::string& progId, const std::string& iid,
                                   const std::string& storePath)
{
    std::optional<ClassRegistration> registration;
    try {
        registration = FindClassRegistration(registry::Store::Load(storePath), progId);
        // The user's own registrations come first; an installed program's components are
        // registered in the machine's store, which only root (or this user) may have written.
        if (!registration && storePath == registry::Store::DefaultPath())
            registration = FindClassRegistration(
                registry::Store::Load(StateFolder() + "/registry",
                                      registry::Store::Writers::RootOrSelf),
                progId);
    } catch (const registry::StoreError& e) {
        CannotCreate(progId, e.what());
    }
    if (!registration)
        CannotCreate(progId, "it is not registered (registry store " + storePath + ").");
    ClassObject created;
    created.library = std::make_shared<ComponentLibrary>(registration->libraryPath, progId);
    created.object = created.library->GetClassObject(registration->clsid, iid);
    return created;
}

} // namespace mallow::platform
