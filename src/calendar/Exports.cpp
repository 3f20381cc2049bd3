// The library's exported entry points: self-registration in the registry store, the class
// object of tCal, and the unloading test. Nothing here lets an exception out to the host.

#include "quillon.h"
#include "tCal.h"

#include "platform/RegistryStore.h"

#include <QApplication>

#include <cstring>
#include <exception>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

using namespace mallow::registry;

thread_local std::string lastError;

const std::string ProgIdKey = QUILLON_PROGID_TCAL;
const std::string ClassKey = std::string("CLSID\\") + QUILLON_CLSID_TCAL;

/// The absolute path this library was loaded from.
std::string LibraryPath()
{
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&LibraryPath), &info) || !info.dli_fname)
        throw std::runtime_error("Cannot tell the path of the calendar library.");
    std::string path = info.dli_fname;
    if (!path.empty() && path.front() == '/')
        return path;
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        throw std::runtime_error("Cannot tell the absolute path of the calendar library " + path +
                                 ".");
    return resolved;
}

/// Runs a registration step; failures become SELFREG_E_CLASS with their text kept.
template <typename Body> QUILLON_HRESULT Registration(Body&& body)
{
    try {
        body();
        lastError.clear();
        return QUILLON_S_OK;
    } catch (const std::exception& e) {
        lastError = e.what();
    } catch (...) {
        lastError = "Unknown failure.";
    }
    return QUILLON_SELFREG_E_CLASS;
}

bool SameIdentifier(const char* a, const char* b)
{
    return a && b && ::strcasecmp(a, b) == 0;
}

quillon::tCal* Control(QuillonControl* control)
{
    return reinterpret_cast<quillon::tCal*>(control);
}

/// Adapts the host's property bag to the control's.
class HostBag : public quillon::PropertyBag
{
public:
    explicit HostBag(const QuillonPropertyBag& bag) : bag(bag) {}
    double ReadProperty(const char* name, double defaultValue) override
    {
        return bag.ReadProperty ? bag.ReadProperty(bag.context, name, defaultValue) : defaultValue;
    }
    void WriteProperty(const char* name, double value, double defaultValue) override
    {
        if (bag.WriteProperty)
            bag.WriteProperty(bag.context, name, value, defaultValue);
    }

private:
    const QuillonPropertyBag& bag;
};

QuillonControl* CreateInstance(void* parentWidget)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    try {
        auto* control = new quillon::tCal(static_cast<QWidget*>(parentWidget));
        return reinterpret_cast<QuillonControl*>(control);
    } catch (...) {
        return nullptr;
    }
}

void Destroy(QuillonControl* control)
{
    delete Control(control);
}

void* Widget(QuillonControl* control)
{
    return static_cast<QWidget*>(Control(control));
}

void ConnectDateChanged(QuillonControl* control, QuillonDateChangedHandler handler, void* context)
{
    if (control)
        Control(control)->ConnectDateChanged(handler, context);
}

void ConnectPropertyChanged(QuillonControl* control, QuillonPropertyChangedHandler handler,
                            void* context)
{
    if (control)
        Control(control)->ConnectPropertyChanged(handler, context);
}

double GetValue(QuillonControl* control)
{
    return control ? Control(control)->Logic().Value() : 0;
}

QUILLON_HRESULT SetValue(QuillonControl* control, double New_Value)
{
    if (!control)
        return QUILLON_E_INVALIDARG;
    try {
        return Control(control)->Logic().SetValue(New_Value) ? QUILLON_S_OK : QUILLON_E_INVALIDARG;
    } catch (...) {
        return QUILLON_E_FAIL;
    }
}

QUILLON_HRESULT ReadProperties(QuillonControl* control, const QuillonPropertyBag* bag)
{
    if (!control || !bag)
        return QUILLON_E_INVALIDARG;
    HostBag host(*bag);
    return Control(control)->Logic().ReadProperties(host) ? QUILLON_S_OK : QUILLON_E_INVALIDARG;
}

QUILLON_HRESULT WriteProperties(QuillonControl* control, const QuillonPropertyBag* bag)
{
    if (!control || !bag)
        return QUILLON_E_INVALIDARG;
    HostBag host(*bag);
    Control(control)->Logic().WriteProperties(host);
    return QUILLON_S_OK;
}

const QuillonTCalFactory Factory = {
    sizeof(QuillonTCalFactory), CreateInstance, Destroy,  Widget,         ConnectDateChanged,
    ConnectPropertyChanged,     GetValue,       SetValue, ReadProperties, WriteProperties,
};

} // namespace

QUILLON_HRESULT DllRegisterServer(void)
{
    return Registration([] {
        const std::string path = LibraryPath();
        Modify(Store::DefaultPath(), [&](Store& store) {
            const std::string before = store.Serialize();
            store.SetValue(HKEY_CLASSES_ROOT, ProgIdKey, StringValue("", "tCal"));
            store.SetValue(HKEY_CLASSES_ROOT, ProgIdKey + "\\CLSID",
                           StringValue("", QUILLON_CLSID_TCAL));
            store.SetValue(HKEY_CLASSES_ROOT, ClassKey, StringValue("", "tCal"));
            store.SetValue(HKEY_CLASSES_ROOT, ClassKey + "\\InprocServer32", StringValue("", path));
            store.SetValue(HKEY_CLASSES_ROOT, ClassKey + "\\ProgID",
                           StringValue("", QUILLON_PROGID_TCAL));
            store.SetValue(HKEY_CLASSES_ROOT, ClassKey + "\\Version",
                           StringValue("", QUILLON_VERSION));
            store.CreateKey(HKEY_CLASSES_ROOT, ClassKey + "\\Control");
            // Registering again changes nothing, so the file is left alone.
            return store.Serialize() != before;
        });
    });
}

QUILLON_HRESULT DllUnregisterServer(void)
{
    return Registration([] {
        Modify(Store::DefaultPath(), [](Store& store) {
            const bool removedName = store.DeleteKey(HKEY_CLASSES_ROOT, ProgIdKey);
            const bool removedClass = store.DeleteKey(HKEY_CLASSES_ROOT, ClassKey);
            return removedName || removedClass;
        });
    });
}

QUILLON_HRESULT DllGetClassObject(const char* clsid, const char* iid, void** object)
{
    if (!object)
        return QUILLON_E_INVALIDARG;
    *object = nullptr;
    if (!clsid || !iid)
        return QUILLON_E_INVALIDARG;
    if (!SameIdentifier(clsid, QUILLON_CLSID_TCAL))
        return QUILLON_CLASS_E_CLASSNOTAVAILABLE;
    if (!SameIdentifier(iid, QUILLON_IID_TCALFACTORY))
        return QUILLON_E_NOINTERFACE;
    *object = const_cast<QuillonTCalFactory*>(&Factory);
    return QUILLON_S_OK;
}

QUILLON_HRESULT DllCanUnloadNow(void)
{
    return quillon::LiveControls() == 0 ? QUILLON_S_OK : QUILLON_S_FALSE;
}

const char* QuillonVersion(void)
{
    return QUILLON_VERSION;
}

const char* QuillonLastError(void)
{
    return lastError.c_str();
}
