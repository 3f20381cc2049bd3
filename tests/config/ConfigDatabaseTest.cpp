#include "config/ConfigDatabase.h"
#include "fixtures/ConfigFixture.h"
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
