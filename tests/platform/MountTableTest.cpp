#include "platform/MountTable.h"
#include "platform/Utf16.h"

#include <gtest/gtest.h>

using namespace mallow::platform;

namespace {

const char* Table = R"(22 1 0:21 / / rw,relatime - ext4 /dev/sda1 rw
40 22 0:35 / /mnt/sales rw,relatime - cifs //fs1/Sales rw,vers=3.1.1,username=alice,uid=0
41 22 0:36 / /mnt/deep\040dir rw,relatime - smb3 //fs2/Data/Apps rw,username=bob
42 22 0:37 / /net rw,nosuid shared:5 - fuse.smbnetfs smbnetfs rw,user_id=0
43 22 0:35 /Reports/2024 /mnt/reports rw - cifs //fs1/Sales rw,username=alice
44 22 0:38 /Apps /mnt/walked rw - cifs //fs2/Data/Apps rw
45 22 0:36 /Old /mnt/old rw - smb3 //fs2/Data/Apps rw
)";

} // namespace

TEST(MountTable, NetworkConnectionsOfPaths)
{
    const auto mounts = ParseMountInfo(Table);
    ASSERT_EQ(mounts.size(), 7u);

    const auto sales = NetworkConnectionOf("/mnt/sales/app.mdb", mounts);
    ASSERT_TRUE(sales);
    EXPECT_EQ(sales->drive, "/mnt/sales");
    EXPECT_EQ(sales->remoteName, "//fs1/Sales");
    EXPECT_EQ(sales->userName, "alice");

    // A mount of a folder inside a share keeps the folder: the path key of a database below
    // it names the folder too.
    const auto deep = NetworkConnectionOf("/mnt/deep dir/sales.mdb", mounts);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->drive, "/mnt/deep dir");
    EXPECT_EQ(deep->remoteName, "//fs2/Data/Apps");
    // A bind mount of part of a share, a folder the kernel reached from the share's root, and
    // a bind mount of part of a mounted folder.
    EXPECT_EQ(NetworkConnectionOf("/mnt/reports/a.mdb", mounts)->remoteName,
              "//fs1/Sales/Reports/2024");
    EXPECT_EQ(NetworkConnectionOf("/mnt/walked/a.mdb", mounts)->remoteName, "//fs2/Data/Apps");
    EXPECT_EQ(NetworkConnectionOf("/mnt/old", mounts)->remoteName, "//fs2/Data/Apps/Old");

    const auto fuse = NetworkConnectionOf("/net/FS3/Share/x/y.mdb", mounts);
    ASSERT_TRUE(fuse);
    EXPECT_EQ(fuse->drive, "/net/FS3/Share");
    EXPECT_EQ(fuse->remoteName, "\\\\FS3\\Share");

    EXPECT_FALSE(NetworkConnectionOf("/net/FS3", mounts));
    EXPECT_FALSE(NetworkConnectionOf("/home/x.mdb", mounts));
    EXPECT_FALSE(NetworkConnectionOf("/mnt/salesX/a", mounts));
    const auto shares = MountedShares(mounts);
    ASSERT_EQ(shares.size(), 5u);
    EXPECT_EQ(shares[1].remoteName, "//fs2/Data/Apps");
}

TEST(MountTable, KnownServersComeOnceEach)
{
    const auto mounts = ParseMountInfo(Table);
    EXPECT_EQ(KnownServers({"\\\\FS9", "fs1"}, "fs7, FS9;fs8  ", mounts),
              (std::vector<std::string>{"FS9", "fs1", "fs7", "fs8", "fs2"}));
    EXPECT_TRUE(KnownServers({}, "", {}).empty());
}

TEST(Utf16, RoundTripsAndReplacesMalformedInput)
{
    const std::string text = "Caf\xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(ToUtf8(ToUtf16(text)), text);
    EXPECT_EQ(ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(static_cast<const char16_t*>(nullptr)), "");
}
