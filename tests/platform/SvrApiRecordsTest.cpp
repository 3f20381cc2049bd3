#include "platform/SvrApiRecords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace mallow::platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32At(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

std::uint16_t U16At(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

/// The ANSI string at the address stored at `at`.
std::string TextAt(const Bytes& b, std::size_t at)
{
    return reinterpret_cast<const char*>(b.data() + U32At(b, at));
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

TEST(SvrRecords, FileSessionAndShareRecordsAtTheirOffsets)
{
    Bytes buffer(200, 0xEE);
    SvrBufferWriter writer(buffer, buffer.size());
    ASSERT_TRUE(
        WriteFileInfo50(writer, {0x01020304, 0x23, 2, "C:\\DATA\\APP.MDB", "ALICE", "DATA"}));
    ASSERT_TRUE(WriteSessionInfo50(writer, {"WS01", "BOB", 77, 3, 4, 600, 30, 5}));
    // Records lie one after the other from the start.
    EXPECT_EQ(U32At(buffer, 0), 0x01020304u);
    EXPECT_EQ(U16At(buffer, 4), 0x23);
    EXPECT_EQ(U16At(buffer, 6), 2);
    EXPECT_EQ(TextAt(buffer, 8), "C:\\DATA\\APP.MDB");
    EXPECT_EQ(TextAt(buffer, 12), "ALICE");
    EXPECT_EQ(TextAt(buffer, 16), "DATA");
    EXPECT_EQ(TextAt(buffer, 20), "WS01");
    EXPECT_EQ(TextAt(buffer, 24), "BOB");
    EXPECT_EQ(U32At(buffer, 28), 77u);
    EXPECT_EQ(U16At(buffer, 32), 3);
    EXPECT_EQ(U16At(buffer, 34), 4);
    EXPECT_EQ(U32At(buffer, 36), 600u);
    EXPECT_EQ(U32At(buffer, 40), 30u);
    EXPECT_EQ(buffer[44], 5);
    EXPECT_EQ(buffer[45], 0); // padding

    Bytes share(42 + 16);
    SvrBufferWriter w(share, share.size());
    ASSERT_TRUE(WriteShareInfo50(w, {"TWELVECHARSX", 0, 0x0102, "Files", "C:\\S", "rw", "ro"}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(share.data())), "TWELVECHARSX");
    EXPECT_EQ(share[12 + 1], 0); // type, right after the 13-character field
    EXPECT_EQ(U16At(share, 14), 0x0102);
    EXPECT_EQ(TextAt(share, 16), "Files");
    EXPECT_EQ(TextAt(share, 20), "C:\\S");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(share.data() + 24)), "rw");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(share.data() + 33)), "ro");
}

TEST(SvrRecords, EveryLevelReadsBackWhatWasWritten)
{
    // Addresses count from the start of the buffer, so each record gets a buffer of its own.
    const auto roundTrip = [](auto write, auto read) {
        Bytes buffer(256);
        SvrBufferWriter writer(buffer, buffer.size());
        EXPECT_TRUE(write(writer));
        return read(std::span<const std::uint8_t>(buffer));
    };
    const session_info_2 session{"WS01", "alice", 1, 2, 1, 300, 20, 2, "DOS LM"};
    const auto s2 = roundTrip([&](auto& w) { return WriteSessionInfo(w, 2, session); },
                              [](auto b) { return ReadSessionInfo(b, 2, 0); });
    EXPECT_EQ(s2.sesi2_cname, "WS01");
    EXPECT_EQ(s2.sesi2_user_flags, 2u);
    EXPECT_EQ(s2.sesi2_cltype_name, "DOS LM");
    const auto s1 = roundTrip([&](auto& w) { return WriteSessionInfo(w, 1, session); },
                              [](auto b) { return ReadSessionInfo(b, 1, 0); });
    EXPECT_EQ(s1.sesi2_idle_time, 20u);
    EXPECT_EQ(s1.sesi2_cltype_name, "");

    const server_info_50 server{"FS1", 4, 10, 0x403, "Peer", 1, 2, "c", "abs", "abd"};
    const auto v = roundTrip([&](auto& w) { return WriteServerInfo(w, 50, server); },
                             [](auto b) { return ReadServerInfo(b, 50); });
    EXPECT_EQ(v.sv50_name, "FS1");
    EXPECT_EQ(v.sv50_version_minor, 10);
    EXPECT_EQ(v.sv50_type, 0x403u);
    EXPECT_EQ(v.sv50_auditing, 2);
    EXPECT_EQ(v.sv50_ab_dll, "abd");
    const auto v1 = roundTrip([&](auto& w) { return WriteServerInfo(w, 1, server); },
                              [](auto b) { return ReadServerInfo(b, 1); });
    EXPECT_EQ(v1.sv50_comment, "Peer");
    EXPECT_EQ(v1.sv50_container, ""); // level 1 stops at the comment

    const auto c = roundTrip(
        [](auto& w) {
            return WriteConnectionInfo50(w, {7, 3, 90, "DATA", "bob"});
        },
        [](auto b) { return ReadConnectionInfo50(b, 0); });
    EXPECT_EQ(c.coni50_type, 7);
    EXPECT_EQ(c.coni50_num_opens, 3);
    EXPECT_EQ(c.coni50_netname, "DATA");
    EXPECT_EQ(c.coni50_username, "bob");
    const auto one = roundTrip(
        [](auto& w) {
            return WriteShareInfo1(w, {"LASER", 1, "Printer"});
        },
        [](auto b) { return ReadShareInfo1(b, 0); });
    EXPECT_EQ(one.shi1_netname, "LASER");
    EXPECT_EQ(one.shi1_type, 1);
    EXPECT_EQ(one.shi1_remark, "Printer");
}

TEST(SvrRecords, WriterKeepsRecordsAndStringsInsideTheCount)
{
    Bytes buffer(64, 0xEE);
    SvrBufferWriter writer(buffer, 40);
    ASSERT_TRUE(WriteFileInfo50(writer, {1, 0, 0, "P", "U", "S"})); // 20 + 6 bytes
    EXPECT_FALSE(WriteFileInfo50(writer, {2, 0, 0, "P", "U", "S"}));
    EXPECT_EQ(writer.Needed(), 26u);
    EXPECT_EQ(writer.RecordsWritten(), 1u);
    for (std::size_t i = 40; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], 0xEE) << i;
    // A name too long for its fixed field is cut, keeping the NUL.
    Bytes share(60);
    SvrBufferWriter w(share, share.size());
    ASSERT_TRUE(WriteShareInfo50(w, {"FOURTEENCHARSX", 0, 0, "", "p", "toolongpassword", ""}));
    EXPECT_EQ(ReadShareInfo50(share, 0).shi50_netname, "FOURTEENCHAR");
    EXPECT_EQ(ReadShareInfo50(share, 0).shi50_rw_password, "toolongp");
}

TEST(SvrRecords, BrokenBuffersRaiseInsteadOfReadingOutside)
{
    Bytes buffer(64);
    SvrBufferWriter writer(buffer, buffer.size());
    ASSERT_TRUE(WriteFileInfo50(writer, {1, 0, 0, "PATH", "USER", "SHARE"}));
    EXPECT_EQ(ReadFileInfo50(buffer, 0).fi50_sharename, "SHARE");

    // A record that does not fit, or an index whose offset would overflow.
    EXPECT_THROW(ReadFileInfo50(std::span(buffer).first(19), 0), SvrRecordError);
    EXPECT_THROW(ReadFileInfo50(buffer, 4), SvrRecordError);
    EXPECT_THROW(ReadFileInfo50(buffer, SIZE_MAX / 20 + 1), SvrRecordError);
    EXPECT_THROW(ReadSessionInfo50({}, 0), SvrRecordError);
    EXPECT_THROW(ReadServerInfo(std::span(buffer).first(25), 1), SvrRecordError);

    // Addresses past the end, and a string cut off by the end of the buffer.
    Bytes bad = buffer;
    PutU32(bad, 8, 64);
    EXPECT_THROW(ReadFileInfo50(bad, 0), SvrRecordError);
    PutU32(bad, 8, 0xFFFFFFFF);
    EXPECT_THROW(ReadFileInfo50(bad, 0), SvrRecordError);
    bad = buffer;
    PutU32(bad, 16, 60);
    std::memset(bad.data() + 60, 'X', 4);
    EXPECT_THROW(ReadFileInfo50(bad, 0), SvrRecordError);
    // The null address is an empty text, not an error.
    bad = buffer;
    PutU32(bad, 12, 0);
    EXPECT_EQ(ReadFileInfo50(bad, 0).fi50_username, "");

    // A fixed field without its NUL gives the whole field and no more.
    Bytes share(42, 'N');
    PutU32(share, 16, 0);
    PutU32(share, 20, 0);
    const auto s = ReadShareInfo50(share, 0);
    EXPECT_EQ(s.shi50_netname, std::string(13, 'N'));
    EXPECT_EQ(s.shi50_ro_password, std::string(9, 'N'));
}

TEST(SvrRecords, AnsiIsWindows1252)
{
    EXPECT_EQ(ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(FromAnsi("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    // Characters the code page lacks become one "?" each, outside the basic plane too.
    EXPECT_EQ(ToAnsi("\xE4\xB8\xAD|\xF0\x9F\x98\x80"), "?|?");
}
