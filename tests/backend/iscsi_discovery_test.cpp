// SendTargets discovery: the parsed answer is firmware bytes and is taken
// only as far as the buffer holds whole entries.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/iscsi_discovery.h"

namespace {

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// An entry with `addrs` address entries (the room of one when 0), its name
// filling the whole field when `full_name`.
void add_entry(std::vector<uint8_t> &b, uint32_t addrs, bool full_name = false)
{
    size_t at = b.size();
    b.resize(at + 228 + 32 * (addrs ? addrs : 1), 0);
    put32(b, at, addrs);
    std::string name = full_name ? std::string(224, 'a') : "iqn.2001-04.com.example:disk";
    std::memcpy(&b[at + 4], name.data(), name.size());
}

struct BoundCase {
    const char *what;
    uint32_t claimed;
    std::vector<uint32_t> entries; // address counts of the entries present
    size_t cut;                    // bytes taken off the end
    uint32_t kept;
};

TEST(SendTargetsAnswer, KeepsOnlyWholeEntriesWithinTheBuffer)
{
    const BoundCase cases[] = {
        {"all present", 3, {1, 2, 0}, 0, 3},
        {"count past the entries", 500, {1, 1}, 0, 2},
        {"count below the entries", 1, {1, 1}, 0, 1},
        {"last entry cut", 2, {1, 3}, 1, 1},
        {"empty entry cut", 2, {1, 0}, 1, 1},
        {"zero count", 0, {1}, 0, 0},
    };
    for (const BoundCase &c : cases) {
        std::vector<uint8_t> b;
        put32(b, 0, c.claimed);
        for (uint32_t a : c.entries)
            add_entry(b, a);
        b.resize(b.size() - c.cut);
        EXPECT_EQ(c.kept, vexo_bound_sendtargets_answer(b.data(), b.size())) << c.what;
        EXPECT_EQ(c.kept, get32(b, 0)) << c.what;
    }
}

TEST(SendTargetsAnswer, RefusesAnAddressCountLargerThanTheBufferAndEndsNames)
{
    std::vector<uint8_t> b;
    put32(b, 0, 2);
    add_entry(b, 1, true);
    add_entry(b, 1);
    put32(b, 4 + 260, 0xFFFFFFFFu); // second entry claims more addresses than exist
    EXPECT_EQ(1u, vexo_bound_sendtargets_answer(b.data(), b.size()));
    EXPECT_EQ(0, b[4 + 4 + 223]) << "a name filling its field ends inside it";

    uint8_t tiny[3] = {5, 0, 0};
    EXPECT_EQ(0u, vexo_bound_sendtargets_answer(tiny, sizeof tiny));
    EXPECT_EQ(0u, vexo_bound_sendtargets_answer(nullptr, 64));
}

} // namespace
