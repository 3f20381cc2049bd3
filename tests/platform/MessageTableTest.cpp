#include "platform/MessageTable.h"
#include "platform/MessageTexts.h"

#include <gtest/gtest.h>

using namespace mallow::platform;

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutEntry(std::vector<std::uint8_t>& out, const std::string& text, bool unicode)
{
    std::vector<std::uint8_t> body;
    for (char c : text) {
        body.push_back(static_cast<std::uint8_t>(c));
        if (unicode)
            body.push_back(0);
    }
    body.insert(body.end(), unicode ? 2 : 1, 0);
    while (body.size() % 4)
        body.push_back(0);
    const auto length = static_cast<std::uint16_t>(body.size() + 4);
    out.insert(out.end(),
               {static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(unicode ? 1 : 0), 0});
    out.insert(out.end(), body.begin(), body.end());
}

/// One block for ids 10 to 12, the second entry in UTF-16.
std::vector<std::uint8_t> SmallImage()
{
    std::vector<std::uint8_t> image;
    Put32(image, 1);
    Put32(image, 10);
    Put32(image, 12);
    Put32(image, 16);
    PutEntry(image, "Ten ANSI", false);
    PutEntry(image, "Eleven wide", true);
    PutEntry(image, "Twelve", false);
    return image;
}

} // namespace

TEST(MessageTable, ReadsEntriesOfEitherWidth)
{
    const auto image = SmallImage();
    EXPECT_EQ(MessageTableText(image, 10), "Ten ANSI");
    EXPECT_EQ(MessageTableText(image, 11), "Eleven wide");
    EXPECT_EQ(MessageTableText(image, 12), "Twelve");
    EXPECT_EQ(MessageTableText(image, 13), "");
    EXPECT_EQ(MessageTableText(image, 9), "");
}

TEST(MessageTable, DamagedImagesGiveEmptyTextAndStayInBounds)
{
    const auto image = SmallImage();
    // Every truncation, read from a heap copy of exactly that size.
    for (std::size_t size = 0; size < image.size(); ++size) {
        const std::vector<std::uint8_t> cut(image.begin(), image.begin() + size);
        const std::string text = MessageTableText(cut, 12);
        EXPECT_TRUE(text.empty() || std::string("Twelve").rfind(text, 0) == 0) << size;
    }
    auto hugeBlocks = image;
    hugeBlocks[0] = hugeBlocks[1] = hugeBlocks[2] = hugeBlocks[3] = 0xFF;
    EXPECT_EQ(MessageTableText(hugeBlocks, 99), "");
    auto farOffset = image;
    farOffset[12] = 0xFF;
    farOffset[13] = 0xFF;
    EXPECT_EQ(MessageTableText(farOffset, 11), "");
    auto zeroLength = image;
    zeroLength[16] = zeroLength[17] = 0;
    EXPECT_EQ(MessageTableText(zeroLength, 12), "");
    auto wideRange = image;
    wideRange[8] = wideRange[9] = wideRange[10] = wideRange[11] = 0xFF;
    EXPECT_EQ(MessageTableText(wideRange, 0xFFFFFFF0u), "");
}

TEST(MessageTable, BuiltImagesReadBack)
{
    const MessageEntry entries[] = {{1, "one"}, {2, "two"}, {7, "seven"}};
    for (bool unicode : {false, true}) {
        const auto image = BuildMessageTableImage(entries, unicode);
        EXPECT_EQ(MessageTableText(image, 2), "two");
        EXPECT_EQ(MessageTableText(image, 7), "seven");
        EXPECT_EQ(MessageTableText(image, 3), "");
    }
}

TEST(MessageTable, BuiltInTablesHoldTheCodesServersReturn)
{
    const auto& source = BuiltInMessages();
    for (std::uint32_t code : {2u, 5u, 53u, 64u, 67u, 86u, 87u, 123u, 124u, 234u, 1219u, 1326u})
        EXPECT_FALSE(MessageTableText(source.SystemTable(), code).empty()) << code;
    const auto lanManager = source.ModuleTable("NETMSG.DLL");
    ASSERT_TRUE(lanManager);
    for (std::uint32_t code : {2102u, 2106u, 2114u, 2221u, 2250u, 2310u, 2311u, 2314u})
        EXPECT_FALSE(MessageTableText(*lanManager, code).empty()) << code;
    const auto internet = source.ModuleTable("wininet.dll");
    ASSERT_TRUE(internet);
    EXPECT_EQ(MessageTableText(*internet, 12029),
              "A connection with the server could not be established\r\n");
    EXPECT_FALSE(source.ModuleTable("other.dll"));
    const auto resource = source.ProgramResource(11, 1);
    ASSERT_TRUE(resource);
    EXPECT_EQ(MessageTableText(*resource, 2314),
              "There is not an open file with that identification number.\r\n");
}
