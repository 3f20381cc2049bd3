#include "EngineTestSupport.h"

#include "engine/Connection.h"
#include "engine/JetError.h"
#include "engine/Security.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace mallow::engine {
namespace {

using test::ErrorNumberOf;
using test::Mallowdb;

using security::Hex;

TEST(PasswordHash, DigestsMatchPublishedVectors)
{
    EXPECT_EQ(Hex(security::Sha256("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(security::Sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(Hex(security::Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(security::Pbkdf2Sha256("passwd", "salt", 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    EXPECT_EQ(Hex(security::Pbkdf2Sha256("Password", "NaCl", 80000, 64)),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
}

TEST(PasswordHash, MatchesExactlyTheSamePassword)
{
    const std::string stored = security::HashPassword(" Secret ");
    EXPECT_NE(stored.find("pbkdf2-sha256$"), std::string::npos);
    EXPECT_EQ(stored.find("Secret"), std::string::npos);
    EXPECT_NE(security::HashPassword(" Secret "), stored) << "every hash has its own salt";
    EXPECT_TRUE(security::PasswordMatches(stored, " Secret "));
    for (const char* other : {"Secret", " Secret", " secret ", " Secret  ", ""})
        EXPECT_FALSE(security::PasswordMatches(stored, other)) << "'" << other << "'";
    // A damaged entry lets nobody in, not everybody.
    for (const char* broken : {"", "pbkdf2-sha256$0$00$00", "pbkdf2-sha256$10$zz$00",
                               "pbkdf2-sha256$10$00$", "md5$1$00$00", "pbkdf2-sha256$-1$00$00"})
        EXPECT_FALSE(security::PasswordMatches(broken, "")) << broken;
}

TEST(PasswordHash, LocaleCarriesThePasswordToItsEnd)
{
    EXPECT_EQ(security::PasswordOfLocale(";pwd=abc"), "abc");
    EXPECT_EQ(security::PasswordOfLocale(";PWD= a b "), " a b ");
    EXPECT_EQ(security::PasswordOfLocale(";pwd=a;b=c"), "a;b=c");
    EXPECT_EQ(security::PasswordOfLocale("dbLangGeneral;pwd=x"), "x");
    EXPECT_EQ(security::PasswordOfLocale("pwd=x"), "x");
    EXPECT_EQ(security::PasswordOfLocale(";xpwd=x"), "");
    EXPECT_EQ(security::PasswordOfLocale(""), "");
}

class Secured : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::MakeDatabase(database, "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1);");
        ASSERT_EQ(Mallowdb({"create-workgroup", workgroup}), 0);
        ASSERT_EQ(Mallowdb({"add-account", workgroup, "Fred", " fred pw"}), 0);
        ASSERT_EQ(Mallowdb({"create-workgroup", otherWorkgroup}), 0);
        ASSERT_EQ(Mallowdb({"add-account", otherWorkgroup, "Fred", " fred pw"}), 0);
    }

    long OpenError(const std::string& extra, const std::string& user = "",
                   const std::string& password = "")
    {
        return ErrorNumberOf([&] {
            Connection connection;
            connection.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database + extra,
                            user, password);
        });
    }

    test::TempFolder folder;
    std::string database = folder.File("app.mdb");
    std::string workgroup = folder.File("app.mdw");
    std::string otherWorkgroup = folder.File("other.mdw");
};

TEST_F(Secured, DatabasePasswordIsNeededExactly)
{
    ASSERT_EQ(Mallowdb({"set-password", database, " pw "}), 0);
    for (const char* wrong : {"", "pw", " pw", " PW ", " pw  "}) {
        EXPECT_EQ(ErrorNumberOf([&] {
                      Connection connection;
                      connection.OpenFile(database, wrong);
                  }),
                  jet::PasswordInvalid)
            << "'" << wrong << "'";
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File("app.ldb")));
    Connection connection;
    connection.OpenFile(database, " pw ");
    EXPECT_EQ(connection.Execute("UPDATE t SET x = 2"), 1);
    connection.Close();
    EXPECT_EQ(OpenError(";Jet OLEDB:Database Password=\" pw \""), 0);

    // The tool changes it only for whoever knows the old one; an empty one removes it.
    EXPECT_NE(Mallowdb({"set-password", database, "new"}), 0);
    EXPECT_EQ(Mallowdb({"set-password", database, "new", "--old", " pw "}), 0);
    EXPECT_EQ(OpenError(";Jet OLEDB:Database Password=new"), 0);
    EXPECT_EQ(Mallowdb({"set-password", database, "", "--old", "new"}), 0);
    EXPECT_EQ(OpenError(""), 0);
}

TEST_F(Secured, WorkgroupFileAndAccountAreChecked)
{
    const std::string system = ";Jet OLEDB:System database=";
    EXPECT_EQ(OpenError(system + folder.File("missing.mdw"), "Fred", " fred pw"),
              jet::WorkgroupMissing);
    // A database is no workgroup file, and neither is a file of text.
    EXPECT_EQ(OpenError(system + database, "Fred", " fred pw"), jet::WorkgroupMissing);
    test::WriteFile(folder.File("text.mdw"), "not a workgroup");
    EXPECT_EQ(OpenError(system + folder.File("text.mdw"), "Fred", " fred pw"),
              jet::WorkgroupMissing);

    EXPECT_EQ(OpenError(system + workgroup, "Fred", "fred pw"), jet::AccountInvalid);
    EXPECT_EQ(OpenError(system + workgroup, "Frederick", " fred pw"), jet::AccountInvalid);
    EXPECT_EQ(OpenError(system + workgroup, "fred", " fred pw"), 0) << "names ignore case";
    EXPECT_EQ(OpenError(system + workgroup + ";User ID=Fred;Password=\" fred pw\""), 0);
    EXPECT_EQ(OpenError(system + workgroup, "Admin", ""), 0);
    EXPECT_EQ(OpenError(system + workgroup, "Admin", "x"), jet::AccountInvalid);
}

TEST_F(Secured, SecuredDatabaseTakesOnlyItsWorkgroupsAllowedAccounts)
{
    ASSERT_EQ(Mallowdb({"secure", database, workgroup, "fred"}), 0);
    const std::string system = ";Jet OLEDB:System database=";
    EXPECT_EQ(OpenError(""), jet::AccountInvalid);
    EXPECT_EQ(OpenError(system + otherWorkgroup, "Fred", " fred pw"), jet::AccountInvalid);
    EXPECT_EQ(OpenError(system + workgroup, "Admin", ""), jet::AccountInvalid);
    EXPECT_EQ(OpenError(system + workgroup, "FRED", " fred pw"), 0);

    // The tool refuses accounts the workgroup does not have; without names all its accounts
    // may open the database.
    EXPECT_NE(Mallowdb({"secure", database, workgroup, "nobody"}), 0);
    ASSERT_EQ(Mallowdb({"secure", database, workgroup}), 0);
    EXPECT_EQ(OpenError(system + workgroup, "Admin", ""), 0);
    ASSERT_EQ(Mallowdb({"unsecure", database}), 0);
    EXPECT_EQ(OpenError(""), 0);
}

} // namespace
} // namespace mallow::engine
