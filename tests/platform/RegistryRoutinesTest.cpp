// The registry routines the program uses: values in the user's store and the machine's, the
// session's start-up entries as autostart files, and the program-start routine.

#include "fixtures/TempFolder.h"
#include "platform/ProgramStart.h"
#include "platform/Registry.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

using namespace mallow;
using namespace mallow::registry;
namespace fs = std::filesystem;

namespace {

struct Registry : ::testing::Test
{
    test::TempFolder folder;
    Places places{folder.File("user/registry"), folder.File("machine/registry"),
                  folder.File("autostart")};
};

TEST_F(Registry, StringAndDoubleWordValues)
{
    SaveRegString(HKEY_LOCAL_MACHINE, "Software\\Test", "Name", "text", places);
    std::string value = "old";
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\test", "name", value, places));
    EXPECT_EQ(value, "text");
    // A double word reads as its number: 261 is stored as the bytes 05 01 00 00.
    Modify(places.userStore, [](Store& store) {
        return store.SetValue(HKEY_LOCAL_MACHINE, "Software\\Test", DwordValue("Size", 261));
    });
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, "Software\\Test", "Size", value, places));
    EXPECT_EQ(value, "261");
    // Missing key or value: false and an empty text.
    value = "old";
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "Software\\Test", "None", value, places));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "Software\\Nothing", "Name", value, places));

    // The walk compares names exactly; a value too long for its buffer ends it.
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\Test", "Name", places), "text");
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\Test", "name", places), "");
    SaveRegString(HKEY_LOCAL_MACHINE, "Software\\Long", "Big", std::string(300, 'x'), places);
    SaveRegString(HKEY_LOCAL_MACHINE, "Software\\Long", "After", "seen?", places);
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\Long", "After", places), "");

    DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\Test", "Name", places);
    DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\Test", "Name", places);
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "Software\\Test", "Name", value, places));
    EXPECT_TRUE(Store::Load(places.userStore).KeyExists(HKEY_LOCAL_MACHINE, "Software\\Test"));
    struct stat st = {};
    ASSERT_EQ(stat(places.userStore.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// What the package registers beside the program is read where the user's store has no such
// key; the user's own values come first.
TEST_F(Registry, TheMachinesStoreIsReadAfterTheUsers)
{
    Modify(places.machineStore, [](Store& store) {
        return store.SetValue(HKEY_LOCAL_MACHINE, "Software\\Shared", StringValue("Path", "/opt/x"));
    });
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\Shared", "Path", places), "/opt/x");
    SaveRegString(HKEY_LOCAL_MACHINE, "Software\\Shared", "Path", "/home/me/x", places);
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\Shared", "Path", places),
              "/home/me/x");
}

// The session's start-up values are desktop entries in the autostart folder: written with
// the program's absolute path (quoted as the format wants), removed again, the folder left.
TEST_F(Registry, StartUpValuesAreAutostartEntries)
{
    const std::string program = "/opt/mallow dir/mal\"low$";
    SaveRegString(HKEY_LOCAL_MACHINE, RunKey, "Mallow", program, places);
    const std::string entry = test::ReadFile(places.autostartFolder + "/Mallow.desktop");
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\nName=Mallow\n"), std::string::npos);
    EXPECT_NE(entry.find("Exec=\"/opt/mallow dir/mal\\\\\"low\\\\$\"\n"), std::string::npos)
        << entry;
    EXPECT_EQ(GetRegValueByEnum(HKEY_LOCAL_MACHINE, RunKey, "Mallow", places), program);
    if (std::system("command -v desktop-file-validate >/dev/null") == 0) {
        const std::string check = "desktop-file-validate '" + places.autostartFolder +
                                  "/Mallow.desktop' >/dev/null";
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
    DeleteRegValue(HKEY_LOCAL_MACHINE, RunKey, "Mallow", places);
    EXPECT_FALSE(fs::exists(places.autostartFolder + "/Mallow.desktop"));
    EXPECT_TRUE(fs::is_directory(places.autostartFolder));
    // Removing it again changes nothing.
    DeleteRegValue(HKEY_LOCAL_MACHINE, RunKey, "Mallow", places);
}

TEST_F(Registry, ADamagedStoreIsAnErrorAndIsNotWrittenOver)
{
    fs::create_directories(folder.File("user"));
    test::WriteFile(places.userStore, "not a store at all\n");
    std::string value;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { SaveRegString(HKEY_LOCAL_MACHINE, "Software\\X", "A", "b", places); },
             [&] { DeleteRegValue(HKEY_LOCAL_MACHINE, "Software\\X", "A", places); },
             [&] { GetRegValueByEnum(HKEY_LOCAL_MACHINE, "Software\\X", "A", places); },
             [&] { GetKeyValue(HKEY_LOCAL_MACHINE, "Software\\X", "A", value, places); }}) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const MallowError& error) {
            EXPECT_NE(error.Description().find(places.userStore), std::string::npos)
                << error.Description();
        }
    }
    EXPECT_EQ(test::ReadFile(places.userStore), "not a store at all\n");
}

TEST(ProgramStart, CommandLinesSplitAsAShellWouldWithoutRunningOne)
{
    using platform::SplitCommandLine;
    EXPECT_EQ(SplitCommandLine("\"/opt/db/msaccess.exe\" \"/d/app.mdb\"/wrkgrp\"/d/sys.mdw\" "
                               "/User ann smith /Pwd "),
              std::vector<std::string>({"/opt/db/msaccess.exe", "/d/app.mdb/wrkgrp/d/sys.mdw",
                                        "/User", "ann", "smith", "/Pwd"}));
    EXPECT_EQ(SplitCommandLine("a 'b c' \"d\\\"e\\\\f\\g\" h\\ i $(touch x);y"),
              std::vector<std::string>({"a", "b c", "d\"e\\f\\g", "h i", "$(touch", "x);y"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(ProgramStart, StartsTheProgramWithItsArgumentsAndRunsNothingElse)
{
    test::TempFolder folder;
    const std::string program = folder.File("record.sh");
    test::WriteFile(program, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args\"\n");
    fs::permissions(program, fs::perms::owner_all);
    const std::string marker = folder.File("ran");
    platform::StartProgram("\"" + program + "\" \"$(touch " + marker + ")\" `touch " + marker +
                           "` ;touch " + marker);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(program + ".args") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(test::ReadFile(program + ".args"),
              "$(touch " + marker + ")\n`touch\n" + marker + "`\n;touch\n" + marker + "\n");
    EXPECT_FALSE(fs::exists(marker));

    try {
        platform::StartProgram("\"" + folder.File("missing") + "\" x");
        ADD_FAILURE() << "a missing program started";
    } catch (const MallowError& error) {
        EXPECT_EQ(error.Number(), 53);
    }
}

} // namespace
