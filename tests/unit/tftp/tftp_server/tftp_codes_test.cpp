#include "tftp/tftp_interfaces/tftp_error_code.h"
#include "tftp/tftp_server/tftp_opcode.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(TFTPOpcodeTest, TextsAndDefault)
{
    EXPECT_EQ(0, static_cast<int>(CTFTPOpcode()));
    EXPECT_EQ("0", CTFTPOpcode().string());
    const char* texts[] = {"0", "rrq", "wrq", "data", "ack", "error", "oack", "7"};
    for (int v = 0; v <= 7; ++v) EXPECT_EQ(texts[v], CTFTPOpcode(v).string()) << v;
    EXPECT_EQ("-3", CTFTPOpcode(-3).string());
    EXPECT_EQ(CTFTPOpcode::wrq, static_cast<CTFTPOpcode::opcode>(CTFTPOpcode(2)));
}

TEST(TFTPErrorCodeTest, TextsAndDefault)
{
    EXPECT_EQ(255, static_cast<int>(CTFTPErrorCode()));
    EXPECT_EQ("no error", CTFTPErrorCode().string());
    const char* texts[] = {"undefined",   "file not found", "access_denied", "disk full",
                           "illegal opcode", "unknown tid", "file exists",   "no such user",
                           "option negotiation error"};
    for (int v = 0; v <= 8; ++v) EXPECT_EQ(texts[v], CTFTPErrorCode(v).string()) << v;
    EXPECT_EQ("9", CTFTPErrorCode(9).string());
    EXPECT_EQ("254", CTFTPErrorCode(254).string());
}

TEST(TFTPErrorCodeTest, FromErrno)
{
    EXPECT_EQ(1, CTFTPErrorCode::from_errno(ENOENT));
    EXPECT_EQ(2, CTFTPErrorCode::from_errno(EACCES));
    EXPECT_EQ(3, CTFTPErrorCode::from_errno(ENOSPC));
    EXPECT_EQ(6, CTFTPErrorCode::from_errno(EEXIST));
    EXPECT_EQ(6, CTFTPErrorCode::from_errno(80));
    for (int other : {0, EPERM, EIO, EISDIR, EMFILE, 81, -1})
        EXPECT_EQ(0, CTFTPErrorCode::from_errno(other)) << other;
}

} // namespace
