#include "config/ApplicationList.h"

#include <gtest/gtest.h>

using namespace mallow;
using namespace std::string_literals;

TEST(FileList, SinglePathIsOneFile)
{
    EXPECT_EQ(CountFilesInList("C:\\Data\\a.mdb"), 1);
    EXPECT_EQ(GetFileFromList("C:\\Data\\a.mdb", 1), "C:\\Data\\a.mdb");
}

TEST(FileList, FolderAndNames)
{
    const std::string list = "C:\\Data\0a.mdb\0b.mdb"s;
    EXPECT_EQ(CountFilesInList(list), 2);
    EXPECT_EQ(GetFileFromList(list, 1), "C:\\Data\\a.mdb");
    EXPECT_EQ(GetFileFromList(list, 2), "C:\\Data\\b.mdb");
    // A folder that already ends in a separator gets none added.
    EXPECT_EQ(GetFileFromList("C:\\\0a.mdb"s, 1), "C:\\a.mdb");
    EXPECT_EQ(GetFileFromList("/srv/data\0x y.mdb\0z.mdb"s, 2), "/srv/data/z.mdb");
}

TEST(FileList, TrailingSeparatorCountsAsAnotherName)
{
    // The count is the number of NULs, so a trailing NUL promises one more (empty) name.
    const std::string list = "C:\\Data\0a.mdb\0"s;
    EXPECT_EQ(CountFilesInList(list), 2);
    EXPECT_EQ(GetFileFromList(list, 1), "C:\\Data\\a.mdb");
    EXPECT_EQ(GetFileFromList(list, 2), "C:\\Data\\");
}
