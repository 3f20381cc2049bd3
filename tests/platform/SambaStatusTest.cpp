#include "platform/SambaStatus.h"

#include <gtest/gtest.h>

using namespace mallow::platform;

// The texts are those Samba's server library prints while it fails to connect.
TEST(SambaStatus, AFailedConnectionGetsTheCodeOfItsStep)
{
    EXPECT_EQ(ConnectionFailureCode("session setup failed: NT_STATUS_LOGON_FAILURE\n"
                                    "session setup failed: NT_STATUS_LOGON_FAILURE\n"),
              1326u);
    EXPECT_EQ(ConnectionFailureCode("session setup failed: NT_STATUS_ACCOUNT_LOCKED_OUT\n"), 1909u);
    // A logon refused for a reason without a code of its own is still a logon failure.
    EXPECT_EQ(ConnectionFailureCode("session setup failed: NT_STATUS_INVALID_PARAMETER\n"), 1326u);
    EXPECT_EQ(ConnectionFailureCode("tree connect failed: NT_STATUS_BAD_NETWORK_NAME\n"), 67u);
    for (const char* unreachable :
         {"do_connect: Connection to nosuchhost.invalid failed (Error NT_STATUS_UNSUCCESSFUL)\n",
          "do_connect: Connection to 10.1.1.1 failed (Error NT_STATUS_IO_TIMEOUT)\n",
          "protocol negotiation failed: NT_STATUS_CONNECTION_RESET\n"})
        EXPECT_EQ(ConnectionFailureCode(unreachable), 53u) << unreachable;
    // The last step that failed ended the attempt.
    EXPECT_EQ(ConnectionFailureCode("do_connect: Connection to a failed (Error "
                                    "NT_STATUS_CONNECTION_REFUSED)\nsession setup failed: "
                                    "NT_STATUS_WRONG_PASSWORD\n"),
              86u);
    EXPECT_FALSE(ConnectionFailureCode("cli_rpc_pipe_open_noauth: rpc_pipe_bind for pipe "
                                       "srvsvc failed with error NT_STATUS_IO_TIMEOUT\n"));
    EXPECT_FALSE(ConnectionFailureCode(""));
}

TEST(SambaStatus, NtStatusesBecomeTheCodesOfAWindowsClient)
{
    EXPECT_EQ(CodeOfNtStatus(0xC00000B5, 1726), 121u);
    EXPECT_EQ(CodeOfNtStatus(0xC000020D, 1726), 64u);
    EXPECT_EQ(CodeOfNtStatus(0xC000006D, 1726), 1326u);
    EXPECT_EQ(CodeOfNtStatus(0xC0000001, 1726), 1726u);
    EXPECT_EQ(CodeOfNtStatusName("NT_STATUS_ACCESS_DENIED"), 5u);
    EXPECT_FALSE(CodeOfNtStatusName("NT_STATUS_OK"));
}
