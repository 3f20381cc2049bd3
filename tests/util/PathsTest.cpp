#include "util/Paths.h"

#include <gtest/gtest.h>

using namespace mallow;

TEST(Paths, FileAndFolderOfPath)
{
    EXPECT_EQ(FileNameOfPath("C:\\data\\sales.mdb"), "sales.mdb");
    EXPECT_EQ(FolderOfPath("C:\\data\\sales.mdb"), "C:\\data\\");
    EXPECT_EQ(FileNameOfPath("/srv/data/sales.mdb"), "sales.mdb");
    EXPECT_EQ(FolderOfPath("/srv/data/sales.mdb"), "/srv/data/");
    // The last separator wins, whichever kind it is.
    EXPECT_EQ(FileNameOfPath("\\\\srv\\share/dir\\a.mdb"), "a.mdb");
    EXPECT_EQ(FolderOfPath("C:\\"), "C:\\");
    EXPECT_EQ(FileNameOfPath("C:\\"), "");
}

TEST(Paths, NoSeparatorGivesMinusOne)
{
    EXPECT_EQ(FileNameOfPath("sales.mdb"), "-1");
    EXPECT_EQ(FolderOfPath("sales.mdb"), "-1");
    EXPECT_EQ(FileNameOfPath(""), "-1");
}

TEST(Paths, NativePathTurnsBackslashes)
{
    EXPECT_EQ(NativePath("/opt/mallow\\Compact20.mdb"), "/opt/mallow/Compact20.mdb");
    EXPECT_EQ(NativePath("/a//b"), "/a//b");
}
