#include "config/ConfigDatabase.h"
#include "fixtures/ConfigFixture.h"
#include "fixtures/TempFolder.h"
#include "util/Paths.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace mallow;

TEST(ConfigDatabase, PathAndConnectionString)
{
    EXPECT_EQ(ConfigDatabase::DatabasePath("/opt/mallow"), "/opt/mallow/Compact20.mdb");
    EXPECT_EQ(ConfigDatabase::DatabasePath("C:\\Mallow"), "C:\\Mallow\\Compact20.mdb");
    EXPECT_EQ(ConfigDatabase::ConnectionStringFor("/x/Compact20.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
              "Data Source=\"/x/Compact20.mdb\"");
    EXPECT_EQ(ConfigDatabase::ConnectionStringFor("/a;b/say \"hi\".mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;"
              "Data Source=\"/a;b/say \"\"hi\"\".mdb\"");
}

TEST(ConfigDatabase, OpensTheFourRowSetsAndClosesThem)
{
    test::ConfigFixture config;
    config.AddApp("/b.mdb");
    config.AddApp("/a.mdb");
    ConfigDatabase db;
    db.Open(config.ProgramFolder());
    ASSERT_TRUE(db.IsOpen());
    EXPECT_EQ(db.AppsRecordset->RecordCount(), 2);
    EXPECT_EQ(db.AppsRecordset->Field("App").ToText(), "/a.mdb");
    EXPECT_EQ(db.ScheduleRecordset->RecordCount(), 1);
    EXPECT_EQ(db.LogRecordset->RecordCount(), 0);
    EXPECT_EQ(db.LogBackupRecordset->RecordCount(), 0);
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(db.LogRecordset->IsOpen());
    EXPECT_FALSE(std::filesystem::exists(config.folder.File("Compact20.ldb")));
}

TEST(ConfigDatabase, ReplacedLogRowSetsKeepEveryRow)
{
    test::ConfigFixture config;
    ConfigDatabase db;
    db.Open(config.ProgramFolder());
    for (int i = 0; i < 2; ++i) {
        db.ReplaceLogRecordset();
        db.LogRecordset->AddNew();
        db.LogRecordset->SetField("App ID", 1);
        db.LogRecordset->SetField("Application", "/a.mdb");
        db.LogRecordset->SetField("Successful", true);
        db.LogRecordset->Update();
    }
    EXPECT_EQ(config.Scalar("SELECT COUNT(*) FROM Log"), "2");
}

// Every use of a row set that is not open is the engine's error for a closed object, never a
// crash: before opening, after a failed open and after closing.
TEST(ConfigDatabase, RowSetsThatAreNotOpenRefuseEveryUse)
{
    const auto refusals = [](ConfigDatabase& db) {
        int refused = 0;
        const auto count = [&](const std::function<void()>& use) {
            try {
                use();
            } catch (const MallowError& e) {
                refused += e.Number() == 3704 &&
                           e.Description() == "Operation is not allowed when the object is closed.";
            }
        };
        for (auto* rs : {db.AppsRecordset.get(), db.ScheduleRecordset.get(), db.LogRecordset.get(),
                         db.LogBackupRecordset.get()}) {
            count([&] { rs->MoveFirst(); });
            count([&] { rs->AddNew(); });
            count([&] { rs->Clone(); });
            count([&] { rs->RecordCount(); });
        }
        count([&] { db.ConfigConnection->Execute("DELETE FROM Log"); });
        return refused;
    };
    ConfigDatabase db;
    EXPECT_EQ(refusals(db), 17);
    test::TempFolder empty;
    EXPECT_THROW(db.Open(empty.Path()), MallowError);
    EXPECT_EQ(refusals(db), 17);

    test::ConfigFixture config;
    db.Open(config.ProgramFolder());
    EXPECT_EQ(refusals(db), 0);
    EXPECT_EQ(config.Scalar("SELECT COUNT(*) FROM Log"), "0");
    EXPECT_EQ(config.Scalar("SELECT COUNT(*) FROM Apps"), "0");
    db.Close();
    EXPECT_EQ(refusals(db), 17);
    db.Close();
}

TEST(ConfigDatabase, MissingFileIsTheEnginesError)
{
    test::TempFolder folder;
    ConfigDatabase db;
    try {
        db.Open(folder.Path());
        FAIL() << "opened a missing database";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 3024);
        EXPECT_EQ(e.Description(), "Could not find file '" + folder.Path() + "/Compact20.mdb'.");
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// The configuration database holds the databases' passwords: the build makes it its user's
// alone, and a link put in its place in the shared folder is not opened.
TEST(ConfigDatabase, ThePasswordsFileIsPrivateAndNeverOpenedThroughALink)
{
    namespace fs = std::filesystem;
    const fs::perms built = fs::status(test::BuiltConfigDatabase()).permissions();
    EXPECT_EQ(built & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);

    test::ConfigFixture config;
    test::TempFolder shared;
    fs::create_symlink(ConfigDatabase::DatabasePath(config.ProgramFolder()),
                       ConfigDatabase::DatabasePath(shared.Path()));
    ConfigDatabase db;
    try {
        db.Open(shared.Path());
        ADD_FAILURE() << "opened the configuration database through a link";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 3051);
    }
    EXPECT_FALSE(db.IsOpen());
    EXPECT_FALSE(fs::exists(shared.File("Compact20.ldb")));
}

// An installed program folder names its state folder; a build folder is its own.
TEST(ConfigDatabase, TheStateFolderIsNamedByTheProgramFolder)
{
    test::TempFolder root;
    const std::string program = root.File("opt/mallow");
    std::filesystem::create_directories(program);
    EXPECT_EQ(StateFolderOf(program), program);
    test::WriteFile(program + "/mallow.conf", "# comment\nStateFolder=../../var/lib/mallow\n");
    EXPECT_EQ(StateFolderOf(program), root.File("var/lib/mallow"));
    test::WriteFile(program + "/mallow.conf", "StateFolder=/srv/mallow/\n");
    EXPECT_EQ(StateFolderOf(program), "/srv/mallow");
}
