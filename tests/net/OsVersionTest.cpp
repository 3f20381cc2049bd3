#include "FakeServices.h"
#include "net/cOsVersion.h"
#include "net/modGetOS.h"

#include <gtest/gtest.h>

using mallow::net::cOsVersion;
using mallow::test::FixedVersion;

TEST(OsVersion, ClassifiesTheRecordsOfBothFamilies)
{
    const cOsVersion nt4(FixedVersion(2, 4, 0, 1381, "Service Pack 6"));
    EXPECT_EQ(nt4.TypeValidOS(), 2);
    EXPECT_TRUE(nt4.IsValidOS());
    EXPECT_EQ(nt4.OS_VersionText(), "NT 4.0 4.0 Build 1381 SP 6");
    EXPECT_EQ(nt4.OS_TypeError(), "");

    const cOsVersion win98(FixedVersion(1, 4, 10, 0x040A08AE));
    EXPECT_EQ(win98.TypeValidOS(), 6);
    EXPECT_EQ(win98.OS_VersionText(), "Windows 98 4.10 Build 2222");

    EXPECT_EQ(cOsVersion(FixedVersion(1, 4, 0)).TypeValidOS(), 5);
    EXPECT_EQ(cOsVersion(FixedVersion(1, 4, 90)).TypeValidOS(), 7);
    EXPECT_EQ(cOsVersion(FixedVersion(2, 3, 51)).TypeValidOS(), 1);
    EXPECT_EQ(cOsVersion(FixedVersion(2, 5, 0)).OS_VersionText(), "Windows 2000 5.0");
    EXPECT_EQ(cOsVersion(FixedVersion(2, 5, 1, 2600)).OS_VersionText(),
              "Windows XP 5.1 Build 2600");
}

TEST(OsVersion, ServicePackAndBuildEdges)
{
    EXPECT_EQ(cOsVersion(FixedVersion(2, 4, 0, 1381, "Service Pack B")).OS_VersionText(),
              "NT 4.0 4.0 Build 1381");
    FixedVersion noNul(2, 4, 0, 1381);
    noNul.record.szCSDVersion.fill('6');
    EXPECT_EQ(cOsVersion(noNul).OS_VersionText(), "NT 4.0 4.0 Build 1381");
    EXPECT_EQ(cOsVersion(FixedVersion(2, 4, 0, 1381, "  SP 3  ")).OS_VersionText(),
              "NT 4.0 4.0 Build 1381 SP 3");
    // The low 16 bits read as a signed value: 0x9000 is negative and so not shown.
    EXPECT_EQ(cOsVersion(FixedVersion(2, 5, 1, 0x9000)).OS_VersionText(), "Windows XP 5.1");
}

TEST(OsVersion, RejectedSystems)
{
    const cOsVersion nt31(FixedVersion(2, 3, 1));
    EXPECT_EQ(nt31.TypeValidOS(), 0);
    EXPECT_FALSE(nt31.IsValidOS());
    EXPECT_EQ(nt31.OS_TypeError(), "You are running 3.1. You must be running at least NT 3.5");
    EXPECT_EQ(nt31.OS_VersionText(), "3.1");

    const cOsVersion vista(FixedVersion(2, 6, 0));
    EXPECT_EQ(vista.TypeValidOS(), 0);
    EXPECT_EQ(vista.OS_TypeError(), "Unknown operating system: 6.0");
    EXPECT_EQ(cOsVersion(FixedVersion(3, 5, 1)).OS_TypeError(), "Unknown operating system: 5.1");
}

TEST(OsVersion, FamilyTestAndThisMachine)
{
    EXPECT_FALSE(mallow::net::modGetOS::IsWin9xFamily(FixedVersion(2, 3, 51)));
    EXPECT_FALSE(mallow::net::modGetOS::IsWin9xFamily(FixedVersion(2, 5, 1)));
    for (std::uint32_t minor : {0u, 10u, 90u})
        EXPECT_TRUE(mallow::net::modGetOS::IsWin9xFamily(FixedVersion(1, 4, minor)));
    EXPECT_FALSE(mallow::net::modGetOS::IsWin9xFamily());
    const cOsVersion here;
    EXPECT_GE(here.TypeValidOS(), 1);
    EXPECT_LE(here.TypeValidOS(), 4);
}
