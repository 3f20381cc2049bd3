#include "platform/SvrApiLayer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mallow::platform;

namespace {

SvrApiLayer Layer()
{
    SvrApiState state;
    auto& fs = state.Server("\\\\fs1");
    for (std::uint32_t id = 1; id <= 3; ++id)
        fs.files.push_back({id, 1, 0, "C:\\DATA\\F" + std::to_string(id), "ALICE", "DATA", "WS01"});
    fs.sessions.push_back({"WS01", "ALICE", 1, 1, 3, 60, 5, 0, 0, ""});
    fs.shares.push_back({"DATA", 0, 0x0102, "Files", "C:\\DATA", "", ""});
    state.Server("NT4", true);
    return SvrApiLayer(std::move(state));
}

} // namespace

TEST(SvrLayer, EnumerationsStopAtTheCountWithMoreData)
{
    auto layer = Layer();
    std::vector<std::uint8_t> buffer(256, 0xEE);
    std::uint16_t read = 0, total = 0;
    // Two of the three records with their strings (42 bytes each) fit into 90 bytes.
    EXPECT_EQ(layer.NetFileEnum("\\\\FS1", "", 50, buffer, 90, &read, &total), ERROR_MORE_DATA);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(total, 3);
    for (std::size_t i = 90; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], 0xEE) << i;
    EXPECT_EQ(ReadFileInfo50(std::span(buffer).first(90), 1).fi50_pathname, "C:\\DATA\\F2");

    EXPECT_EQ(layer.NetFileEnum("\\\\fs1", "c:\\data\\f3", 50, buffer, 256, &read, &total), 0u);
    EXPECT_EQ(read, 1);
    EXPECT_EQ(layer.NetFileEnum("\\\\fs1", "", 1, buffer, 256, &read, &total), ERROR_INVALID_LEVEL);

    std::uint16_t available = 0;
    EXPECT_EQ(layer.NetServerGetInfo("\\\\fs1", 50, buffer, 30, &available), NERR_BufTooSmall);
    EXPECT_EQ(available, SERVER_INFO_50_SIZE + 4);
}

TEST(SvrLayer, ServersNamesAndFamilies)
{
    auto layer = Layer();
    std::vector<std::uint8_t> buffer(512);
    std::uint16_t read = 0, total = 0, available = 0;
    EXPECT_EQ(layer.NetShareEnum("\\\\nobody", 50, buffer, 512, &read, &total), ERROR_BAD_NETPATH);
    EXPECT_EQ(layer.NetShareEnum("", 50, buffer, 512, &read, &total), NERR_ServerNotStarted);
    EXPECT_EQ(layer.NetShareEnum("fs1", 50, buffer, 512, &read, &total), NERR_InvalidComputer);
    // The NT family answers level 1 only and refuses deletions from a 9x client.
    EXPECT_EQ(layer.NetServerGetInfo("\\\\nt4", 50, buffer, 512, &available), ERROR_INVALID_LEVEL);
    EXPECT_EQ(layer.NetServerGetInfo("\\\\nt4", 1, buffer, 512, &available), 0u);
    EXPECT_EQ(layer.NetShareDel("\\\\nt4", "DATA", 0), ERROR_INVALID_LEVEL);
    // A forced answer for one level leaves the others alone.
    layer.state.Server("FS1").failures["NetShareEnum 50"] = 5;
    EXPECT_EQ(layer.NetShareEnum("\\\\fs1", 50, buffer, 512, &read, &total), 5u);
    EXPECT_EQ(layer.NetShareEnum("\\\\fs1", 1, buffer, 512, &read, &total), 0u);
    EXPECT_EQ(ReadShareInfo1(buffer, 0).shi1_remark, "Files");
}

TEST(SvrLayer, RefusesInputRecordsItCannotRead)
{
    auto layer = Layer();
    std::vector<std::uint8_t> record(42 + 8);
    SvrBufferWriter writer(record, record.size());
    ASSERT_TRUE(WriteShareInfo50(writer, {"NEW", 0, 0x0102, "r", "C:\\N", "", ""}));
    EXPECT_EQ(layer.NetShareAdd("\\\\fs1", 50, std::span(record).first(41), 41),
              ERROR_INVALID_PARAMETER);
    // A count larger than the bytes handed in, or a text address beyond them.
    EXPECT_EQ(layer.NetShareAdd("\\\\fs1", 50, std::span(record).first(42), 50),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(layer.NetShareAdd("\\\\fs1", 50, std::span(record).first(42), 42),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(layer.NetShareAdd("\\\\fs1", 50, record, 42), 0u);
    EXPECT_EQ(layer.NetShareAdd("\\\\fs1", 50, record, 42), NERR_DuplicateShare);
    EXPECT_EQ(layer.state.Server("fs1").shares.back().shi50_path, "C:\\N");
}
