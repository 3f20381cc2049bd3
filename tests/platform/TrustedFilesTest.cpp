// Files that name secrets or programs are used only when nobody but their owner (or root)
// could have read or written them: the SMB credentials file and the machine's registry store.

#include "fixtures/TempFolder.h"
#include "platform/Registry.h"
#include "platform/RegistryStore.h"
#include "platform/SambaNetApi.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace mallow::platform {
namespace {

namespace fs = std::filesystem;

class CredentialsFile : public ::testing::Test
{
protected:
    CredentialsFile()
    {
        if (const char* old = std::getenv("MALLOW_SMB_CREDENTIALS"))
            saved = old;
    }
    ~CredentialsFile() override
    {
        if (saved)
            setenv("MALLOW_SMB_CREDENTIALS", saved->c_str(), 1);
        else
            unsetenv("MALLOW_SMB_CREDENTIALS");
    }
    // Reads the credentials named by a file of `mode`, and what was said meanwhile.
    std::optional<NetCredentials> Read(const std::string& path, std::string& said)
    {
        setenv("MALLOW_SMB_CREDENTIALS", path.c_str(), 1);
        ::testing::internal::CaptureStderr();
        auto credentials = ReadCredentialsFile();
        said = ::testing::internal::GetCapturedStderr();
        return credentials;
    }
    std::string Write(const std::string& name, mode_t mode)
    {
        const std::string path = folder.File(name);
        test::WriteFile(path, "username = admin\npassword = se cret\ndomain = OFFICE\n");
        chmod(path.c_str(), mode);
        return path;
    }

    test::TempFolder folder;
    std::optional<std::string> saved;
};

TEST_F(CredentialsFile, OnlyAFileOfYourOwnThatNobodyElseMayReadIsUsed)
{
    std::string said;
    const auto good = Read(Write("private", 0600), said);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->user, "admin");
    EXPECT_EQ(good->password, "se cret");
    EXPECT_EQ(good->domain, "OFFICE");
    EXPECT_EQ(said, "");
    EXPECT_TRUE(Read(Write("read-only", 0400), said));

    // Readable or writable by others: refused, once, with the file and what to do.
    for (const mode_t mode : {0644, 0666, 0640, 0620, 0604}) {
        const std::string path = Write("open" + std::to_string(mode), mode);
        EXPECT_FALSE(Read(path, said)) << mode;
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_NE(said.find("chmod 600 " + path), std::string::npos) << said;
        EXPECT_FALSE(Read(path, said));
        EXPECT_EQ(said, "") << "said twice";
    }

    // A link, even to a good file, and a folder.
    const std::string link = folder.File("link");
    fs::create_symlink(folder.File("private"), link);
    EXPECT_FALSE(Read(link, said));
    EXPECT_NE(said.find("symbolic link"), std::string::npos) << said;
    fs::create_directory(folder.File("folder"));
    EXPECT_FALSE(Read(folder.File("folder"), said));
    // No file at all is nothing to say.
    EXPECT_FALSE(Read(folder.File("none"), said));
    EXPECT_EQ(said, "");
}

TEST_F(CredentialsFile, AFileOfAnotherUserIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    const std::string path = Write("theirs", 0600);
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    std::string said;
    EXPECT_FALSE(Read(path, said));
    EXPECT_NE(said.find("does not belong to you"), std::string::npos) << said;
}

// The machine's registry store names the libraries Mallow loads and the programs it starts.
TEST(MachineRegistryStore, AStoreOthersCouldHaveWrittenIsNotUsed)
{
    test::TempFolder folder;
    const std::string store = folder.File("registry");
    registry::Places places{folder.File("user-registry"), store, folder.File("autostart")};
    const char* key = "Software\\Microsoft\\Office\\9.0\\Access\\InstallRoot";
    registry::Modify(store, [&](registry::Store& s) {
        return s.SetValue(registry::HKEY_LOCAL_MACHINE, key,
                          registry::StringValue("Path", "/opt/a"));
    });
    chmod(store.c_str(), 0644);
    EXPECT_EQ(registry::GetRegValueByEnum(registry::HKEY_LOCAL_MACHINE, key, "Path", places),
              "/opt/a");

    chmod(store.c_str(), 0664);
    std::string value;
    EXPECT_THROW(registry::GetKeyValue(registry::HKEY_LOCAL_MACHINE, key, "Path", value, places),
                 MallowError);
    chmod(store.c_str(), 0644);

    const std::string link = folder.File("link");
    fs::create_symlink(store, link);
    places.machineStore = link;
    EXPECT_THROW(registry::GetKeyValue(registry::HKEY_LOCAL_MACHINE, key, "Path", value, places),
                 MallowError);

    if (geteuid() == 0) {
        places.machineStore = store;
        ASSERT_EQ(chown(store.c_str(), 65534, 65534), 0);
        EXPECT_THROW(
            registry::GetKeyValue(registry::HKEY_LOCAL_MACHINE, key, "Path", value, places),
            MallowError);
    }
}

} // namespace
} // namespace mallow::platform
