#include "platform/RegistryStore.h"

#include "fixtures/SmallDisk.h"
#include "fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mallow::registry {
namespace {

const std::string RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

mode_t ModeOf(const std::string& path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::string LoadError(const std::string& path)
{
    try {
        Store::Load(path);
    } catch (const StoreError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(RegistryStore, KeepsEveryKindOfValueAcrossSaveAndLoad)
{
    test::TempFolder folder;
    const std::string path = folder.File("registry");
    Store store(path);
    ASSERT_TRUE(store.SetValue(HKEY_LOCAL_MACHINE, RunKey,
                               StringValue("Mallow", "/opt/mallow/Mallow.exe")));
    ASSERT_TRUE(store.SetValue(HKEY_LOCAL_MACHINE, RunKey, DwordValue("Count", 0xDEADBEEF)));
    const std::string awkward = "tab\there, line\r\nend, 100% \x7f and caf\xc3\xa9";
    ASSERT_TRUE(store.SetValue(HKEY_CURRENT_USER, "Odd\tKey%", StringValue("odd\nname", awkward)));
    ASSERT_TRUE(
        store.SetValue(HKEY_CLASSES_ROOT, "Bytes", Value{"", 3, std::string("\0\x01\xff", 3)}));
    ASSERT_TRUE(
        store.SetValue(HKEY_CURRENT_USER, "Counted", Value{"", REG_SZ, std::string("ab\0", 3)}));
    store.Save();

    const Store loaded = Store::Load(path);
    EXPECT_EQ(loaded.Serialize(), store.Serialize());
    EXPECT_EQ(TextOf(*loaded.Find(HKEY_LOCAL_MACHINE, RunKey, "Mallow")), "/opt/mallow/Mallow.exe");
    EXPECT_EQ(DwordOf(*loaded.Find(HKEY_LOCAL_MACHINE, RunKey, "Count")), 0xDEADBEEFu);
    EXPECT_EQ(loaded.Find(HKEY_CURRENT_USER, "Odd\tKey%", "odd\nname")->data, awkward);
    EXPECT_EQ(loaded.Find(HKEY_CLASSES_ROOT, "Bytes", "")->data, std::string("\0\x01\xff", 3));
    EXPECT_EQ(loaded.Find(HKEY_CURRENT_USER, "Counted", "")->data.size(), 3u);
    EXPECT_EQ(TextOf(*loaded.Find(HKEY_CURRENT_USER, "Counted", "")), "ab");
    // The file is one line per key and value, every control character escaped.
    const std::string text = test::ReadFile(path);
    EXPECT_EQ(text.substr(0, text.find('\n')), "Mallow registry store 1");
    EXPECT_NE(text.find("key\tHKEY_CURRENT_USER\tOdd%09Key%25\n"), std::string::npos);
    EXPECT_NE(text.find("value\t4\tCount\t3735928559\n"), std::string::npos);
}

TEST(RegistryStore, ComparesKeysAndNamesWithoutCaseAndKeepsTheirOrder)
{
    Store store("unused");
    store.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Zeta", "1"));
    store.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Alpha", "2"));
    store.SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\microsoft\\WINDOWS\\currentversion\\run",
                   StringValue("ZETA", "3"));
    const auto values =
        store.Values(HKEY_LOCAL_MACHINE, "software\\Microsoft\\Windows\\CurrentVersion\\Run");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "Zeta"); // replaced in its place, with its first spelling
    EXPECT_EQ(TextOf(values[0]), "3");
    EXPECT_EQ(values[1].name, "Alpha");
    // Keys of different roots are different keys.
    EXPECT_EQ(store.Find(HKEY_CURRENT_USER, RunKey, "Zeta"), nullptr);
    // Writing a value makes its key's parents exist, as they do in Windows.
    EXPECT_TRUE(store.KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft"));
    EXPECT_FALSE(store.KeyExists(HKEY_LOCAL_MACHINE, "Software\\Micro"));
}

TEST(RegistryStore, DeletesValuesAndWholeKeys)
{
    Store store("unused");
    store.SetValue(HKEY_CLASSES_ROOT, "Quillon.tCal\\CLSID", StringValue("", "{x}"));
    store.SetValue(HKEY_CLASSES_ROOT, "Quillon.tCalendar", StringValue("", "neighbour"));
    store.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Mallow", "m"));

    EXPECT_TRUE(store.DeleteValue(HKEY_LOCAL_MACHINE, RunKey, "MALLOW"));
    EXPECT_FALSE(store.DeleteValue(HKEY_LOCAL_MACHINE, RunKey, "Mallow"));
    EXPECT_TRUE(store.KeyExists(HKEY_LOCAL_MACHINE, RunKey)); // the key stays

    EXPECT_TRUE(store.DeleteKey(HKEY_CLASSES_ROOT, "quillon.tcal"));
    EXPECT_FALSE(store.KeyExists(HKEY_CLASSES_ROOT, "Quillon.tCal\\CLSID"));
    EXPECT_NE(store.Find(HKEY_CLASSES_ROOT, "Quillon.tCalendar", ""), nullptr);
    EXPECT_FALSE(store.DeleteKey(HKEY_CLASSES_ROOT, "Quillon.tCal"));
}

TEST(RegistryStore, RefusesNamesWindowsRefuses)
{
    Store store("unused");
    EXPECT_FALSE(store.SetValue(HKEY_LOCAL_MACHINE, "\\Software", StringValue("a", "b")));
    EXPECT_FALSE(store.SetValue(HKEY_LOCAL_MACHINE, "Software\\\\Mallow", StringValue("a", "b")));
    EXPECT_FALSE(store.SetValue(0x12345678, "Software", StringValue("a", "b")));
    EXPECT_FALSE(store.SetValue(HKEY_LOCAL_MACHINE, "Software", Value{"n", REG_DWORD, "12"}));
    EXPECT_EQ(store.Serialize(), "Mallow registry store 1\n");
}

TEST(RegistryStore, IsFoundWhereTheEnvironmentSays)
{
    const auto keep = [](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name))
            return value;
        return std::nullopt;
    };
    const auto registry = keep("MALLOW_REGISTRY"), config = keep("XDG_CONFIG_HOME"),
               home = keep("HOME");
    ::unsetenv("MALLOW_REGISTRY");
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/elsewhere/config", 1);
    EXPECT_EQ(Store::DefaultPath(), "/elsewhere/config/mallow/registry");
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: ignored
    EXPECT_EQ(Store::DefaultPath(), "/home/someone/.config/mallow/registry");
    ::setenv("MALLOW_REGISTRY", "/tmp/test-store", 1);
    EXPECT_EQ(Store::DefaultPath(), "/tmp/test-store");
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    restore("MALLOW_REGISTRY", registry);
    restore("XDG_CONFIG_HOME", config);
    restore("HOME", home);
}

TEST(RegistryStore, IsWrittenByRenameForItsOwnerOnly)
{
    test::TempFolder folder;
    const std::string path = folder.File("config/mallow/registry");
    EXPECT_TRUE(Store::Load(path).Values(HKEY_LOCAL_MACHINE, RunKey).empty()); // no file yet

    const mode_t oldMask = ::umask(0);
    Store first(path);
    first.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Mallow", "first"));
    first.Save();
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(path), 0600u);
    EXPECT_EQ(ModeOf(folder.File("config/mallow")), 0700u);

    // A reader that opened the old store keeps reading all of it while the new one is written.
    ::chmod(path.c_str(), 0644);
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    Store second = Store::Load(path);
    second.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Mallow", "second"));
    second.Save();
    std::string old(4096, '\0');
    old.resize(static_cast<std::size_t>(::read(reader, old.data(), old.size())));
    ::close(reader);
    EXPECT_EQ(old, first.Serialize());
    EXPECT_EQ(TextOf(*Store::Load(path).Find(HKEY_LOCAL_MACHINE, RunKey, "Mallow")), "second");
    EXPECT_EQ(ModeOf(path), 0600u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("config/mallow")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(RegistryStore, AFailedSaveLeavesTheOldStore)
{
    test::SmallDisk disk(64 << 10);
    if (!disk.SkipReason().empty())
        GTEST_SKIP() << disk.SkipReason();
    const std::string path = disk.File("registry");
    Store store(path);
    store.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Mallow", "kept"));
    store.Save();
    const std::string before = test::ReadFile(path);

    store.SetValue(HKEY_LOCAL_MACHINE, RunKey, StringValue("Big", std::string(200 << 10, 'x')));
    try {
        store.Save();
        FAIL() << "saving onto a full disk succeeded";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot write the registry store " + path),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(test::ReadFile(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(RegistryStore, ADamagedOrForeignFileIsReportedAndNeverWrittenOver)
{
    test::TempFolder folder;
    const std::string path = folder.File("registry");
    const std::string header = "Mallow registry store 1\n";
    const struct
    {
        std::string contents;
        std::string message;
    } cases[] = {
        {"", "is empty; it is not a Mallow registry store"},
        {"[HKEY_LOCAL_MACHINE\\Software]\n", "is not a Mallow registry store"},
        {"\x89PNG\r\n\x1a\n", "is not a Mallow registry store"},
        {"Mallow registry store 2\n", "was written by a newer version of Mallow"},
        {header + "value\t1\tname\tdata\n", "line 2 holds a value before any key"},
        {header + "key\tHKEY_NOWHERE\tSoftware\n", "line 2 names no root key"},
        {header + "key\tHKEY_USERS\tA\\\\B\n", "line 2 holds a key path that is not valid"},
        {header + "key\tHKEY_USERS\tA\nkey\tHKEY_USERS\ta\n", "line 3 names a key a second time"},
        {header + "key\tHKEY_USERS\tA\nvalue\t1\tn\t50%\n", "line 3 holds data that is not valid"},
        {header + "key\tHKEY_USERS\tA\nvalue\t4\tn\t4294967296\n", "line 3 holds a REG_DWORD"},
        {header + "key\tHKEY_USERS\tA\nvalue\t1\tn\tcut", "line 3 is cut short"},
        {header + "key\tHKEY_USERS\tA\r\n", "line 2 holds a key path that is not valid"},
        {header + "\x01garbage\n", "line 2 is neither a key nor a value"},
    };
    for (const auto& c : cases) {
        test::WriteFile(path, c.contents);
        const std::string error = LoadError(path);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        // Changing the store refuses before anything is written.
        bool changed = false;
        EXPECT_THROW(Modify(path, [&](Store&) { return changed = true; }), StoreError);
        EXPECT_FALSE(changed);
        EXPECT_EQ(test::ReadFile(path), c.contents);
    }
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_NE(LoadError(path).find("is not a file"), std::string::npos);
}

TEST(RegistryStore, ChangesFromTwoProcessesAtOnceAreAllKept)
{
    test::TempFolder folder;
    const std::string path = folder.File("registry");
    constexpr int PerProcess = 40;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            for (int i = 0; i < PerProcess; ++i)
                Modify(path, [&](Store& store) {
                    return store.SetValue(
                        HKEY_CURRENT_USER, "Counts",
                        DwordValue("p" + std::to_string(child) + "-" + std::to_string(i),
                                   static_cast<std::uint32_t>(i)));
                });
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Store::Load(path).Values(HKEY_CURRENT_USER, "Counts").size(), 2u * PerProcess);
}

} // namespace
} // namespace mallow::registry
