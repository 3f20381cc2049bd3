#include "platform/ComponentLoader.h"

#include "fixtures/TempFolder.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <dlfcn.h>

namespace mallow::platform {
namespace {

using namespace registry;

const std::string ClassId = "{00000000-1111-2222-3333-444444444444}";

/// A store in which "Test.Thing" is registered at `library`.
std::string StoreRegistering(const test::TempFolder& folder, const std::string& library)
{
    Store store(folder.File("registry"));
    store.SetValue(HKEY_CLASSES_ROOT, "Test.Thing\\CLSID", StringValue("", ClassId));
    store.SetValue(HKEY_CLASSES_ROOT, "CLSID\\" + ClassId + "\\InprocServer32",
                   StringValue("", library));
    store.Save();
    return store.Path();
}

/// The description of the error that creating "Test.Thing" raises.
std::string CreateError(const std::string& storePath)
{
    try {
        GetClassObjectByProgID("Test.Thing", "{iid}", storePath);
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 429);
        return e.Description();
    }
    return "(no error)";
}

TEST(ComponentLoader, SaysWhyAnObjectCannotBeCreated)
{
    // Not registered, or registered where the library is gone: the date chooser's tests show
    // those. Here, what else can be wrong with a registration.
    test::TempFolder folder;
    Store partial(folder.File("partial")); // a class whose library entry is missing
    partial.SetValue(HKEY_CLASSES_ROOT, "Test.Thing\\CLSID", StringValue("", ClassId));
    partial.Save();
    EXPECT_NE(CreateError(partial.Path()).find("it is not registered"), std::string::npos);

    EXPECT_NE(CreateError(StoreRegistering(folder, "libthing.so")).find("does not exist"),
              std::string::npos); // only absolute paths are loaded, never a search of the system

    const std::string text = folder.File("libtext.so");
    test::WriteFile(text, "not a library");
    EXPECT_NE(CreateError(StoreRegistering(folder, text))
                  .find("its library " + text + " cannot be loaded ("),
              std::string::npos);

    // A real shared library that serves no classes: the C library itself.
    Dl_info info{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&std::printf), &info), 0);
    EXPECT_EQ(CreateError(StoreRegistering(folder, info.dli_fname)),
              "Can't create the object \"Test.Thing\": " + std::string(info.dli_fname) +
                  " is not a component library.");

    test::WriteFile(folder.File("damaged"), "Mallow registry store 1\nvalue\t1\t\tx\n");
    EXPECT_EQ(CreateError(folder.File("damaged")),
              "Can't create the object \"Test.Thing\": The registry store " +
                  folder.File("damaged") + " is damaged: line 2 holds a value before any key.");
}

} // namespace
} // namespace mallow::platform
