// Little-endian readers and writers for the adapter's byte layouts, done a
// byte at a time so they give the same result on any host and any alignment.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BYTE_ORDER_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BYTE_ORDER_H

#include <cstdint>

inline uint16_t le16_at(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t le32_at(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void put_le16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void put_le32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

#endif
