// The back end's little-endian readers and writers: the byte order, the high
// bits (no sign spreading into the result), unaligned places, and writers
// touching only their own bytes.
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/byte_order.h"

namespace {

TEST(ByteOrder, ReadsLittleEndianAtAnyOffset)
{
    const uint8_t bytes[] = {0xAA, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFE, 0xFD, 0x80};
    EXPECT_EQ(le16_at(bytes + 1), 0x0201u);
    EXPECT_EQ(le32_at(bytes + 1), 0x04030201u);
    // High bytes stay unsigned: 0xFF in the top byte must not spread.
    EXPECT_EQ(le16_at(bytes + 4), 0xFF04u);
    EXPECT_EQ(le32_at(bytes + 5), 0x80FDFEFFu);
}

TEST(ByteOrder, WritersRoundTripAndStayInTheirBytes)
{
    const struct {
        uint16_t v16;
        uint32_t v32;
    } cases[] = {{0, 0}, {0x1234, 0x12345678u}, {0xFFFF, 0xFFFFFFFFu}, {0x8001, 0x80000001u}};
    for (const auto &c : cases) {
        uint8_t buf[9];
        std::memset(buf, 0x5A, sizeof buf);
        put_le16(buf + 1, c.v16);
        EXPECT_EQ(buf[1], static_cast<uint8_t>(c.v16));
        EXPECT_EQ(le16_at(buf + 1), c.v16);
        EXPECT_EQ(buf[0], 0x5A);
        EXPECT_EQ(buf[3], 0x5A);

        std::memset(buf, 0x5A, sizeof buf);
        put_le32(buf + 3, c.v32);
        EXPECT_EQ(buf[3], static_cast<uint8_t>(c.v32));
        EXPECT_EQ(buf[6], static_cast<uint8_t>(c.v32 >> 24));
        EXPECT_EQ(le32_at(buf + 3), c.v32);
        EXPECT_EQ(buf[2], 0x5A);
        EXPECT_EQ(buf[7], 0x5A);
    }
}

} // namespace
