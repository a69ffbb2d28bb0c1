// The walk over the descriptors of a profile-configuration answer: it steps
// by each descriptor's own length and never leaves the answer's buffer.
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/profile_config.h"

namespace {

struct Answer {
    std::unique_ptr<GET_PROFILE_CONFIG_PARAMS> buf{new GET_PROFILE_CONFIG_PARAMS()};
    size_t at = 4;

    uint8_t *bytes() { return reinterpret_cast<uint8_t *>(buf.get()); }
    // Appends a descriptor of `type` that claims `length` bytes.
    void add(uint8_t type, uint8_t length, uint32_t pf = 0)
    {
        uint8_t *d = bytes() + at;
        d[0] = type;
        d[1] = length;
        d[6] = static_cast<uint8_t>(pf);
        d[7] = static_cast<uint8_t>(pf >> 8);
        at += length;
    }
};

struct Seen {
    std::vector<uint8_t> types;
    std::vector<uint32_t> pfs;
    bool malformed;
};

Seen walk(Answer &a, uint32_t count)
{
    a.buf->word0 = count;
    profile_walk w;
    profile_walk_start(&w, a.buf.get(), VEXO_PROFILE_CONFIG_SIZE);
    Seen s;
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        s.types.push_back(resc_desc_type(d));
        s.pfs.push_back(resc_desc_pf_number(d));
    }
    s.malformed = w.malformed;
    return s;
}

TEST(ProfileWalk, StepsByEachDescriptorsLength)
{
    Answer a;
    a.add(RESC_DESC_PCIE, 88, 0x3FF);
    a.add(RESC_DESC_ISAP, 68);
    a.add(RESC_DESC_NIC, 88, 0x401); // pf_number is 10 bits wide
    Seen s = walk(a, 3);
    EXPECT_EQ((std::vector<uint8_t>{RESC_DESC_PCIE, RESC_DESC_ISAP, RESC_DESC_NIC}), s.types);
    EXPECT_EQ((std::vector<uint32_t>{0x3FF, 0, 1}), s.pfs);
    EXPECT_FALSE(s.malformed);
    // Only the announced descriptors are walked; none gives an empty walk.
    EXPECT_EQ(2u, walk(a, 2).types.size());
    EXPECT_TRUE(walk(a, 0).types.empty());
    // The count is the low 16 bits of the answer's first word.
    EXPECT_EQ(1u, walk(a, 0x80000001u).types.size());
}

TEST(ProfileWalk, StopsAtADescriptorItCannotStepOver)
{
    Answer a;
    a.add(RESC_DESC_PCIE, 88);
    a.add(RESC_DESC_NIC, 4); // too short to name a function
    Seen s = walk(a, 5);
    EXPECT_EQ(1u, s.types.size());
    EXPECT_TRUE(s.malformed);

    // A list that announces more than the buffer holds.
    Answer full;
    while (full.at + 88 <= VEXO_PROFILE_CONFIG_SIZE)
        full.add(RESC_DESC_NIC, 88);
    Seen f = walk(full, 0xFFFF);
    EXPECT_EQ(257u, f.types.size());
    EXPECT_TRUE(f.malformed);

    // A last descriptor whose length runs past the end of the buffer.
    Answer over;
    over.at = VEXO_PROFILE_CONFIG_SIZE - 40;
    over.add(RESC_DESC_NIC, 88);
    over.buf->word0 = 1;
    profile_walk w;
    profile_walk_start(&w, over.buf.get(), VEXO_PROFILE_CONFIG_SIZE);
    w.next = over.bytes() + VEXO_PROFILE_CONFIG_SIZE - 40;
    EXPECT_EQ(nullptr, profile_walk_next(&w));
    EXPECT_TRUE(w.malformed);
}

} // namespace
