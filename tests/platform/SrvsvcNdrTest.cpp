#include "platform/SrvsvcNdr.h"

#include <gtest/gtest.h>

using namespace mallow::platform::srvsvc;

namespace {

SessionEnumReply TwoSessions(std::uint32_t level)
{
    SessionEnumReply reply;
    reply.level = level;
    SessionEntry a{u"WS01", u"alice", 3, 120, 5, 0, u"", u""};
    SessionEntry b{u"127.0.0.1", u"root", 1, 7, 0, 1, u"", u""};
    if (level == 502) {
        a.clientType = u"Windows 2000 2195";
        a.transport = u"\\Device\\NetBT_Tcpip";
    }
    reply.entries = {a, b};
    reply.totalEntries = 2;
    reply.resumeHandle = 0;
    return reply;
}

} // namespace

TEST(SrvsvcNdr, SessionRepliesRoundTripAtEveryLevel)
{
    for (std::uint32_t level : {1u, 2u, 502u}) {
        const auto sent = TwoSessions(level);
        const auto decoded = DecodeSessionEnumReply(EncodeSessionEnumReply(sent), level);
        EXPECT_EQ(decoded.status, 0u);
        EXPECT_EQ(decoded.entries, sent.entries) << "level " << level;
        EXPECT_EQ(decoded.totalEntries, 2u);
        EXPECT_EQ(decoded.resumeHandle, 0u);
    }
}

TEST(SrvsvcNdr, EmptyAndRefusedReplies)
{
    SessionEnumReply none;
    none.level = 1;
    EXPECT_TRUE(DecodeSessionEnumReply(EncodeSessionEnumReply(none), 1).entries.empty());

    SessionEnumReply refused;
    refused.level = 502;
    refused.status = 124;
    const auto decoded = DecodeSessionEnumReply(EncodeSessionEnumReply(refused), 502);
    EXPECT_EQ(decoded.status, 124u);
    EXPECT_TRUE(decoded.entries.empty());
}

TEST(SrvsvcNdr, ConnectionRepliesRoundTrip)
{
    ConnectionEnumReply sent;
    sent.level = 1;
    sent.entries = {{3, 3, 1, 1, 42, u"root", u"Data"}, {4, 3, 0, 1, 9, u"", u"IPC$"}};
    sent.totalEntries = 2;
    const auto decoded = DecodeConnectionEnumReply(EncodeConnectionEnumReply(sent), 1);
    EXPECT_EQ(decoded.entries, sent.entries);
    EXPECT_FALSE(decoded.resumeHandle.has_value());
}

TEST(SrvsvcNdr, SessionRequestLayout)
{
    const std::u16string server = u"\\\\S";
    const auto bytes = EncodeSessionEnumRequest(server, nullptr, nullptr, 502, 1000000, 0);
    // Referent, max count 4, offset 0, actual 4, the three characters and NUL (8 bytes), two null
    // pointers, the level twice, container pointer, count 0, null array, length, resume
    // pointer and resume handle.
    ASSERT_EQ(bytes.size(), 4u * 4 + 8 + 4 * 10);
    EXPECT_EQ(bytes[4], 4);
    EXPECT_EQ(bytes[16], '\\');
    EXPECT_EQ(bytes[22], 0);
    EXPECT_EQ(bytes[32], 0xF6); // 502, little-endian
    EXPECT_EQ(bytes[33], 0x01);
}

TEST(SrvsvcNdr, TruncatedRepliesRaiseAtEveryLength)
{
    // Cut a good reply at every 32-bit unit before its status and end it with a status of 0:
    // each must be rejected.
    const auto good = EncodeSessionEnumReply(TwoSessions(502));
    for (std::size_t length = 0; length + 4 < good.size(); length += 4) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + length);
        cut.insert(cut.end(), {0, 0, 0, 0});
        EXPECT_THROW(DecodeSessionEnumReply(cut, 502), NdrError) << "length " << length;
    }
}

TEST(SrvsvcNdr, InconsistentCountsAndLengthsRaise)
{
    auto reply = EncodeSessionEnumReply(TwoSessions(1));
    auto patch = [&](std::size_t at, std::uint32_t value) {
        auto copy = reply;
        for (int i = 0; i < 4; ++i)
            copy[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return copy;
    };
    // Offsets: level 0, discriminant 4, container 8, count 12, array 16, array size 20.
    EXPECT_THROW(DecodeSessionEnumReply(patch(12, 3), 1), NdrError);          // wrong count
    EXPECT_THROW(DecodeSessionEnumReply(patch(12, 0x40000000), 1), NdrError); // absurd count
    EXPECT_THROW(DecodeSessionEnumReply(patch(20, 3), 1), NdrError);          // array size
    EXPECT_THROW(DecodeSessionEnumReply(patch(0, 2), 1), NdrError);           // other level
    // First string: after 2 entries of 24 bytes; its actual count claims far too much.
    const std::size_t firstString = 24 + 2 * 24;
    EXPECT_THROW(DecodeSessionEnumReply(patch(firstString + 8, 0x7FFFFFFF), 1), NdrError);
    EXPECT_THROW(DecodeSessionEnumReply(patch(firstString + 4, 1), 1), NdrError); // offset
    EXPECT_THROW(DecodeSessionEnumReply(std::vector<std::uint8_t>{1, 2, 3}, 1), NdrError);
    EXPECT_THROW(DecodeSessionEnumReply(reply, 7), NdrError); // level the codec does not know
}

TEST(SrvsvcNdr, SessionDeletion)
{
    const std::u16string user = u"root";
    EXPECT_EQ(EncodeSessionDelRequest(u"\\\\S", nullptr, &user).size() % 4, 0u);
    EXPECT_EQ(DecodeSessionDelReply(std::vector<std::uint8_t>{0x18, 0x09, 0, 0}), 2328u);
    EXPECT_THROW(DecodeSessionDelReply(std::vector<std::uint8_t>{0, 0}), NdrError);
}
