#include "platform/MountTable.h"
#include "platform/Utf16.h"

#include <gtest/gtest.h>

using namespace mallow::platform;

namespace {

const char* Table = R"(22 1 0:21 / / rw,relatime - ext4 /dev/sda1 rw
40 22 0:35 / /mnt/sales rw,relatime - cifs //fs1/Sales rw,vers=3.1.1,username=alice,uid=0
41 22 0:36 / /mnt/deep\040dir rw,relatime - smb3 //fs2/Data/Apps rw,username=bob
42 22 0:37 / /net rw,nosuid shared:5 - fuse.smbnetfs smbnetfs rw,user_id=0
)";

} // namespace

TEST(MountTable, NetworkConnectionsOfPaths)
{
    const auto mounts = ParseMountInfo(Table);
    ASSERT_EQ(mounts.size(), 4u);

    const auto sales = NetworkConnectionOf("/mnt/sales/app.mdb", mounts);
    ASSERT_TRUE(sales);
    EXPECT_EQ(sales->drive, "/mnt/sales");
    EXPECT_EQ(sales->remoteName, "//fs1/Sales");
    EXPECT_EQ(sales->userName, "alice");

    const auto deep = NetworkConnectionOf("/mnt/deep dir", mounts);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->remoteName, "//fs2/Data");

    const auto fuse = NetworkConnectionOf("/net/FS3/Share/x/y.mdb", mounts);
    ASSERT_TRUE(fuse);
    EXPECT_EQ(fuse->drive, "/net/FS3/Share");
    EXPECT_EQ(fuse->remoteName, "\\\\FS3\\Share");

    EXPECT_FALSE(NetworkConnectionOf("/net/FS3", mounts));
    EXPECT_FALSE(NetworkConnectionOf("/home/x.mdb", mounts));
    EXPECT_FALSE(NetworkConnectionOf("/mnt/salesX/a", mounts));
    EXPECT_EQ(MountedShares(mounts).size(), 2u);
}

TEST(Utf16, RoundTripsAndReplacesMalformedInput)
{
    const std::string text = "Caf\xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(ToUtf8(ToUtf16(text)), text);
    EXPECT_EQ(ToUtf16("\xC3"), u"\uFFFD");
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(static_cast<const char16_t*>(nullptr)), "");
}
