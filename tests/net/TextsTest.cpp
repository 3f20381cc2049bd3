#include "net/modErrMsgs.h"
#include "net/modNetCommon.h"
#include "platform/MessageTable.h"
#include "platform/SambaStatus.h"

#include <gtest/gtest.h>

using namespace mallow::net::modNetCommon;
using mallow::net::modErrMsgs::GetMessageTableText;
using mallow::net::modErrMsgs::GetNetErrorText;

TEST(NetCommon, StringHelpers)
{
    EXPECT_EQ(AddServerPrefix("  fs1 "), "\\\\fs1");
    EXPECT_EQ(AddServerPrefix("\\\\fs1"), "\\\\fs1");
    EXPECT_EQ(AddServerPrefix("\\fs1"), "\\\\\\fs1");
    EXPECT_EQ(AddServerPrefix("   "), "");
    EXPECT_EQ(StripAtNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(StripAtNull(std::string("\0cd", 3)), "");
    EXPECT_EQ(StripAtNull("  ab  "), "ab");
    EXPECT_EQ(AppendPiped("", "a"), "a");
    EXPECT_EQ(AppendPiped("  ", "a"), "  a");
    EXPECT_EQ(AppendPiped("a", "b"), "a|b");
    EXPECT_EQ(PtrToStrA(nullptr), "");
    EXPECT_EQ(PtrToStrA("x"), "x");
    EXPECT_EQ(PtrToStrW(u"d\u00e9j\u00e0"), "d\xC3\xA9j\xC3\xA0");
    EXPECT_EQ(PtrToStrW(nullptr), "");
    const std::int32_t value = -7;
    EXPECT_EQ(PtrToLong(&value), -7);
    EXPECT_EQ(PtrToLong(nullptr), 0);
}

TEST(NetCommon, CodeTables)
{
    EXPECT_EQ(DisplayTypeText(-1), "UNKNOWN");
    EXPECT_EQ(DisplayTypeText(3), "Share");
    EXPECT_EQ(DisplayTypeText(9), "Unknown Display Type");
    EXPECT_EQ(ScopeText(0), "Unknown Scope");
    EXPECT_EQ(ScopeText(5), "In network context of user");
    EXPECT_EQ(ResourceTypeText(-1), "UNKNOWN Resource");
    EXPECT_EQ(ResourceTypeText(8), "Reserved Resource");
    EXPECT_EQ(ResourceTypeText(3), "UNKNOWN");
    EXPECT_EQ(ShareTypeText(3), "Interprocess communication");
    EXPECT_EQ(ShareTypeText(static_cast<std::int32_t>(0x80000000)),
              "Special share reserved for interprocess communication");
    EXPECT_EQ(ShareTypeText(static_cast<std::int32_t>(0x80000003)), "UNKNOWN");
    EXPECT_EQ(SessionFlagText(0), "No Flags");
    EXPECT_EQ(SessionFlagText(3), "No Flags");
    EXPECT_EQ(SessionFlagText(1), "The user specified by the sesi502_username member established "
                                  "the session using a guest account.");
    EXPECT_EQ(NetStatusText(1222), "No Network");
    EXPECT_EQ(NetStatusText(5), "No Flags");
    EXPECT_EQ(ProviderTypeText(2), "LAN Manager");
    EXPECT_EQ(ProviderTypeText(25), "DCE");
    EXPECT_EQ(ProviderTypeText(28), "UNKNOWN");
    EXPECT_EQ(ProviderTypeText(36), "Twins");
}

TEST(NetCommon, BitSets)
{
    EXPECT_EQ(ServerTypeText(0x1003), "A LAN Manager workstation|A LAN Manager server|Windows "
                                      "NT/Windows 2000 workstation or server");
    EXPECT_EQ(ServerTypeText(0), "Unknown");
    // The browser-maintained bit is listed before the print-queue bit.
    EXPECT_EQ(ServerTypeText(0x40000200),
              "Servers maintained by the browser|Server sharing print queue");
    EXPECT_EQ(ServerTypeText(static_cast<std::int32_t>(0x80400000)),
              "Primary domain|Windows 95 Or later");
    EXPECT_EQ(PermissionText(0x23), "Read/Execute.|Write.|Modify Attributes.");
    EXPECT_EQ(PermissionText(0), "NONE");
    EXPECT_EQ(PermissionText(-1), "UNKNOWN");
    EXPECT_EQ(UsageText(0), "Unknown");
    EXPECT_EQ(UsageText(-1), "UNKNOWN");
    EXPECT_EQ(UsageText(static_cast<std::int32_t>(0x80000003)), "Connectable|Container|Reserved");
}

namespace {

class NoProgramResource : public mallow::platform::MessageSource
{
public:
    std::optional<std::span<const std::uint8_t>> ModuleTable(std::string_view m) const override
    {
        return mallow::platform::BuiltInMessages().ModuleTable(m);
    }
    std::span<const std::uint8_t> SystemTable() const override
    {
        return mallow::platform::BuiltInMessages().SystemTable();
    }
    std::optional<std::span<const std::uint8_t>> ProgramResource(std::uint32_t,
                                                                 std::uint32_t) const override
    {
        return std::nullopt;
    }
};

} // namespace

TEST(ErrMsgs, TextsComeFromTheTableOfTheirRange)
{
    EXPECT_EQ(GetNetErrorText(2102, false), "The workstation driver is not installed.");
    EXPECT_EQ(GetNetErrorText(5, false), "Access is denied.");
    EXPECT_EQ(GetNetErrorText(2, false), "The system cannot find the file specified.");
    EXPECT_EQ(GetNetErrorText(2314, true),
              "There is not an open file with that identification number.");
    EXPECT_EQ(GetNetErrorText(2102, true, NoProgramResource()), "");
    EXPECT_EQ(GetNetErrorText(12029, false),
              "A connection with the server could not be established");
    EXPECT_EQ(GetNetErrorText(12172, false), "");
    EXPECT_EQ(GetNetErrorText(987654, false), "");
    for (long code : {53L, 64L, 67L, 86L, 87L, 123L, 124L, 234L, 1219L, 1326L, 2250L, 2310L})
        EXPECT_FALSE(GetNetErrorText(code, false).empty()) << code;
}

TEST(ErrMsgs, EveryCodeTheLayerProducesHasItsText)
{
    const auto codes = mallow::platform::OwnResultCodes();
    ASSERT_GT(codes.size(), 40u);
    for (const auto code : codes)
        EXPECT_FALSE(GetNetErrorText(static_cast<long>(code), false).empty()) << code;
    EXPECT_EQ(GetNetErrorText(121, false), "The semaphore timeout period has expired.");
    EXPECT_EQ(GetNetErrorText(6118, false),
              "The list of servers for this workgroup is not currently available");
}

TEST(ErrMsgs, MessageTableTextReadsTheLayout)
{
    const mallow::platform::MessageEntry entries[] = {{10, "ten"}, {11, "eleven"}, {12, "x"}};
    const auto image = mallow::platform::BuildMessageTableImage(entries, true);
    EXPECT_EQ(GetMessageTableText(image, 11), "eleven");
    EXPECT_EQ(GetMessageTableText(image, 13), "");
    EXPECT_EQ(GetMessageTableText(std::vector<std::uint8_t>{1, 0, 0, 0}, 1), "");
    EXPECT_EQ(GetMessageTableText(image, -1), "");
}
