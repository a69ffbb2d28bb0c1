// Little-endian byte access to command buffers, and numbers of the machine
// description, shared by the simulated firmware models.
#ifndef HLVD_SIM_WIRE_H
#define HLVD_SIM_WIRE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hlvdsim
{

inline uint16_t get16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t get32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Writes into an answer, growing it when the field lies past its end.
inline void put8(std::vector<uint8_t> &b, size_t at, uint8_t v)
{
    if (b.size() < at + 1)
        b.resize(at + 1);
    b[at] = v;
}

inline void put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    put8(b, at + 1, static_cast<uint8_t>(v >> 8));
    b[at] = static_cast<uint8_t>(v);
}

inline void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
    put16(b, at, static_cast<uint16_t>(v));
}

// A number of the description, written as a number, a boolean or a text.
inline long desc_number(const nlohmann::json &j, const char *key, long dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    const nlohmann::json &v = j.at(key);
    if (v.is_string())
        return std::strtol(v.get<std::string>().c_str(), nullptr, 0);
    if (v.is_boolean())
        return v.get<bool>() ? 1 : 0;
    if (v.is_number())
        return v.get<long>();
    return dflt;
}

} // namespace hlvdsim

#endif
