// Opening a database in the database program the registry names.

#include "fixtures/TempFolder.h"
#include "launcher/Launcher.h"
#include "platform/ProgramStart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace mallow;
using namespace mallow::launcher;
namespace fs = std::filesystem;

namespace {

struct Launcher : ::testing::Test
{
    test::TempFolder folder;
    registry::Places places{folder.File("registry"), "", folder.File("autostart")};
    void Set(const char* key, const char* name, const std::string& value)
    {
        registry::SaveRegString(registry::HKEY_LOCAL_MACHINE, key, name, value, places);
    }
};

TEST_F(Launcher, EveryValueIsQuotedInTheCommandLine)
{
    EXPECT_EQ(AccessCommandLine("C:\\Office\\msaccess.exe", "X:\\app.mdb", "X:\\sys.mdw", "admin",
                                "secret"),
              "\"C:\\\\Office\\\\msaccess.exe\" \"X:\\\\app.mdb\" /wrkgrp \"X:\\\\sys.mdw\" "
              "/User \"admin\" /Pwd \"secret\"");
    // No password is an empty argument; a user name with blanks stays one.
    EXPECT_EQ(AccessCommandLine("E", "D", "M", "ann smith", ""),
              "\"E\" \"D\" /wrkgrp \"M\" /User \"ann smith\" /Pwd \"\"");
    // Without a workgroup file the database alone, whatever its password.
    EXPECT_EQ(AccessCommandLine("E", "/srv/app.mdb", "", "admin", "pw"), "\"E\" \"/srv/app.mdb\"");
    EXPECT_EQ(AccessProgram("C:\\Office\\"), "C:\\Office\\\\msaccess.exe");
    EXPECT_EQ(AccessProgram("/opt/office"), "/opt/office/msaccess.exe");
    // What the command line is split into is each value as it was.
    for (const std::string value : {"a b", "say \"hi\"", "/excl /ro", "\\\\srv\\Data\\a.mdb",
                                    "$(x) `y` \\\"", "", " lead and trail "})
        EXPECT_EQ(platform::SplitCommandLine(QuotedArgument(value)),
                  std::vector<std::string>{value});
}

TEST_F(Launcher, TheNewerInstallationWinsAndNoneIsNothing)
{
    EXPECT_EQ(AccessFolder(places), "");
    Set(Office8Key, Office8Value, "/opt/office8");
    EXPECT_EQ(AccessFolder(places), "/opt/office8");
    Set(Office9Key, Office9Value, "/opt/office9");
    EXPECT_EQ(AccessFolder(places), "/opt/office9");
}

// The program gets each value as one argument: what looks like commands in a path or a
// password runs nothing, and a blank or a slash in a user name or a password adds no option.
TEST_F(Launcher, StartsTheProgramWithEachValueAsOneArgument)
{
    const std::string office = folder.File("office");
    fs::create_directories(office);
    const std::string program = AccessProgram(office);
    test::WriteFile(program, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args\"\n");
    fs::permissions(program, fs::perms::owner_all);
    Set(Office9Key, Office9Value, office);
    const std::string marker = folder.File("x");
    const std::string database = folder.File("$(touch " + marker + ").mdb");
    const std::string password = "`touch " + marker + "` /excl \"x\"";
    platform::StartProgram(AccessCommandLine(AccessProgram(AccessFolder(places)), database,
                                             folder.File("sys.mdw"), "ann smith", password));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(program + ".args") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(test::ReadFile(program + ".args"), database + "\n/wrkgrp\n" + folder.File("sys.mdw") +
                                                     "\n/User\nann smith\n/Pwd\n" + password +
                                                     "\n");
    EXPECT_FALSE(fs::exists(marker));
}

} // namespace
