// The one rule that turns an SLI_CONFIG reply's library result, mailbox
// status, status and additional status into a code, and the transport's
// small helpers.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "hba/mbox_transport.h"
#include "hba/sli_config.h"

namespace {

struct RuleCase {
    int result;
    uint16_t mbox;
    uint8_t status;
    uint8_t add;
    int32_t code;
};

TEST(SliConfigStatusRule, FirstMatchingRowDecides)
{
    const RuleCase cases[] = {
        {0, 0, 0, 0, 0},           {0, 0x1234, 0, 0x55, 0},   {0, 0, 5, 0x67, 0},     {0, 0, 5, 0x66, 148},
        {0, 0, 1, 0, 148},         {2, 0x4001, 1, 0x67, 0},   {2, 1, 0x7E, 0x00, 60}, {2, 1, 1, 0xA7, 15},
        {2, 1, 2, 0x1E, 251},      {2, 1, 1, 0x1C, 204},      {2, 1, 3, 0x00, 248},   {2, 1, 3, 0x67, 248},
        {2, 1, 0, 0, 28},          {2, 1, 1, 0x67, 28},       {2, 0, 0, 0, 28},       {2, 0x4001, 0, 0, 28},
        {2, 0x4001, 1, 0x66, 28},  {2, 0x4001, 2, 0x67, 28},  {2, 7, 0, 0x12, 0},     {2, 7, 9, 0x67, 0},
        {2, 7, 9, 0x68, 28},       {3, 0, 0, 0, 28},          {-1, 0, 0, 0, 28},      {254, 0, 0, 0x67, 28},
        {1, 0x4001, 1, 0x67, 28},
    };
    for (const RuleCase &c : cases)
        EXPECT_EQ(c.code, SC_ProcessSliConfigResponseStatus(c.result, c.mbox, c.status, c.add))
            << "result " << c.result << " mbox " << c.mbox << " status " << int(c.status) << " add "
            << int(c.add);
}

TEST(MboxTransport, ObjectNameIsCopiedInWholeWords)
{
    struct {
        size_t length;
        size_t words;
    } cases[] = {{0, 1}, {3, 1}, {4, 2}, {99, 25}, {100, 26}, {103, 26}};
    for (const auto &c : cases) {
        uint8_t field[112];
        std::memset(field, 0, sizeof field);
        std::memset(field + 104, 0xEE, 8);
        std::string name(c.length, 'n');
        SwapString(field, name.c_str());
        size_t copied = c.words * 4;
        for (size_t i = 0; i < 104; ++i)
            EXPECT_EQ(i < c.length && i < copied ? 'n' : 0, field[i]) << "length " << c.length << " at " << i;
        EXPECT_EQ(0xEE, field[104]) << "ran past the name field for length " << c.length;
    }
}

TEST(MboxTransport, DiagnosticEnvironmentAndSmallHelpers)
{
    diagnosticMode = 0;
    EXPECT_EQ(0u, SetDiagEnv(0));
    EXPECT_EQ(0u, SetDiagEnv(2));
    EXPECT_EQ(2u, SetDiagEnv(0));
    EXPECT_EQ(0u, SetDiagEnv(3));
    EXPECT_EQ(2u, SetDiagEnv(0));
    EXPECT_EQ(0u, SetBrdEnv_Windows(0, 1));
    EXPECT_EQ(1u, diagnosticMode);

    EXPECT_EQ(0x12340u + 0x0010u, MapVirtualToPhysical(0x12340010u));
    EXPECT_FALSE(isBigEndian());
    uint8_t b[5] = {1, 2, 3, 4, 5};
    SwapSizeN(b, 5);
    EXPECT_EQ(0, std::memcmp(b, "\x05\x04\x03\x02\x01", 5));
    EXPECT_EQ(1u, gHostEndian);
}

} // namespace
