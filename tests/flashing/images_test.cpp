// Readers and rules of the flashing code on their own: the UFI type of a
// file, the flash directory search, the Trelmont write method, the Varrow
// object header and the word swaps.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/firmware_flash.h"
#include "mgmt/aw/vexo-backend/varrow_flash.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/ufi_generator.h"
#include "sim/varrow_object.h"
#include "support/sim_host.h"

namespace
{

class Images : public ::testing::Test
{
  protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdimages");
    ~Images() override { hlvdtest::remove_tree(dir); }

    std::string ufi(const hlvdsim::UfiSpec &s, const std::string &name) const
    {
        std::string p = dir + "/" + name;
        std::string err;
        EXPECT_TRUE(hlvdsim::write_ufi(s, p, &err)) << err;
        return p;
    }
};

hlvdsim::UfiSpec small(int generation, uint8_t asic_support = 0)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(generation, "10.6.100.1");
    s.components.clear();
    s.compact = generation == 2;
    s.asic_support = asic_support;
    return s;
}

TEST_F(Images, UfiTypeOfAFile)
{
    hlvdsim::UfiSpec no_sig = small(4);
    no_sig.faults = hlvdsim::UFI_FAULT_BAD_SIGNATURE;
    struct Case {
        const char *what;
        std::string file;
        int asked; // the adapter's generation
        int result;
        uint32_t flash_ufi_type; // starting from 0
    } cases[] = {
        {"AW2 file for AW2", ufi(small(2), "a2.ufi"), 2, 2, 0},
        {"AW3 file for AW2", ufi(small(3), "a3.ufi"), 2, 0xFFFF, 0},
        {"AW3 base", ufi(small(3), "a3.ufi"), 3, 3, 3},
        {"AW3 R", ufi(small(3, 0x10), "a3r.ufi"), 3, 3, 4},
        {"AW3 R P2", ufi(small(3, 0x11), "a3p.ufi"), 5, 3, 11},
        {"Trelmont R", ufi(small(4, 0x10), "t10.ufi"), 5, 5, 16},
        {"Trelmont 0x20", ufi(small(4, 0x20), "t20.ufi"), 5, 5, 32},
        {"Trelmont other", ufi(small(4, 0x05), "t05.ufi"), 5, 5, 0},
        {"AW2 file for Trelmont", ufi(small(2), "a2.ufi"), 5, 0xFFFF, 0},
        {"no signature", ufi(no_sig, "nosig.ufi"), 5, 0xFFFF, 0},
        {"no file", dir + "/missing.ufi", 5, 39, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        uint32_t type = 0;
        EXPECT_EQ(c.result, VEXO_get_ufi_type(c.file.c_str(), &type, c.asked));
        EXPECT_EQ(c.flash_ufi_type, type);
    }
}

TEST_F(Images, FlashDirectoryOnlyOnThe32ByteGrid)
{
    hlvdsim::UfiSpec far = small(4);
    far.dir_offset = 128 + 48 + 0x20000; // far from the headers, on the grid
    hlvdsim::UfiSpec off = small(4);
    off.faults = hlvdsim::UFI_FAULT_COOKIE_MISPLACED;
    hlvdsim::UfiSpec none = small(4);
    none.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
    struct Case {
        const char *what;
        std::string file;
        int found;
    } cases[] = {
        {"after the headers", ufi(small(4), "near.ufi"), 0},
        {"far on", ufi(far, "far.ufi"), 0},
        {"off the grid", ufi(off, "off.ufi"), 1},
        {"no cookie", ufi(none, "none.ufi"), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FILE *fp = std::fopen(c.file.c_str(), "rb");
        ASSERT_NE(nullptr, fp);
        FLASHDIR_TYPE d;
        EXPECT_EQ(c.found, get_flash_dir_aw3(128 + 48, fp, &d));
        std::fclose(fp);
    }

    // A cookie whose directory the file does not hold whole is no directory.
    std::string near = dir + "/near.ufi";
    std::string cut = hlvdtest::read_file(near).substr(0, 128 + 48 + 2000);
    hlvdtest::write_file(dir + "/cut.ufi", cut);
    FILE *fp = std::fopen((dir + "/cut.ufi").c_str(), "rb");
    ASSERT_NE(nullptr, fp);
    FLASHDIR_TYPE d;
    EXPECT_EQ(1, get_flash_dir_aw3(128 + 48, fp, &d));
    std::fclose(fp);

    // Every one of the 32 entries counts, whatever num_of_images says.
    std::memset(&d, 0, sizeof d);
    d.flashdir_entry[20].entry_type = 0xC0;
    d.flashdir_entry[31].entry_type = 0xC0;
    int index = -1;
    EXPECT_EQ(1, is_comp_in_ufi(&d, 0xC0, &index));
    EXPECT_EQ(20, index);
    EXPECT_EQ(0, is_comp_in_ufi(&d, 0xA0, &index));
}

TEST(TrelmontRegionMethod, OnlyTheTenZeroRelease)
{
    struct Case {
        const char *active;
        int region;
    } cases[] = {
        {"10.0.803.37", 1}, {"10.0", 1},      {"10.00.1.1", 1}, {"11.10.0.5", 0}, {"110.0.1.2", 0},
        {"10.2.370.15", 0}, {"1.10.0.2", 0},  {"10", 0},        {"v10.0.1", 0},  {"", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.active);
        EXPECT_EQ(c.region, trelmont_region_method(c.active));
    }
    EXPECT_EQ(0, trelmont_region_method(nullptr));
}

TEST(VarrowHeader, Checks)
{
    std::vector<uint8_t> sound;
    hlvdsim::VarrowObjectSpec s;
    s.version = "11.4.300.2";
    s.size = 400;
    ASSERT_TRUE(hlvdsim::build_varrow_object(s, sound, nullptr));
    auto changed = [&sound](std::vector<std::pair<size_t, uint8_t>> bytes) {
        std::vector<uint8_t> b = sound;
        for (const auto &x : bytes)
            b[x.first] = x.second;
        return b;
    };
    std::vector<uint8_t> big = sound;
    for (size_t w = 0; w < 3; ++w) {
        std::swap(big[4 * w], big[4 * w + 3]);
        std::swap(big[4 * w + 1], big[4 * w + 2]);
    }
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        uint64_t size;
        int result;
    } cases[] = {
        {"sound", sound, 400, 0},
        {"big-endian words", big, 400, 0},
        {"magicnumhi only", changed({{4, 0x77}}), 400, 0},
        {"magicnumlo only", changed({{7, 0x77}}), 400, 0},
        {"neither magic half", changed({{4, 0x77}, {7, 0x77}}), 400, 1},
        {"size differs", sound, 401, 1},
        {"another file type", changed({{11, 0xF1}}), 400, 1},
        {"183 bytes", std::vector<uint8_t>(sound.begin(), sound.begin() + 183), 183, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VARROW_OBJ_HEADER h;
        vexo_set_fixed_status(VEXO_STATUS_SUCCESS);
        EXPECT_EQ(c.result, process_obj_file(c.bytes.data(), c.size, &h));
        EXPECT_EQ(c.result ? VEXO_STATUS_INVALID_IMAGE_FORMAT : VEXO_STATUS_SUCCESS, vexo_last_status_code);
        if (c.result == 0) {
            EXPECT_EQ(400u, h.filesize);
            EXPECT_STREQ("11.4.300.2", h.revision);
        }
    }
}

TEST(VarrowHeader, WordSwaps)
{
    uint32_t words[2] = {0x11223344u, 0xAABBCCDDu};
    EXPECT_EQ(2, swap32_buffer(words, 5)) << "sizes round up to whole words";
    EXPECT_EQ(0x44332211u, words[0]);
    EXPECT_EQ(0xDDCCBBAAu, words[1]);
    EXPECT_EQ(1, swap16_buffer(words, 4));
    EXPECT_EQ(0x22114433u, words[0]);
    EXPECT_EQ(0xDDCCBBAAu, words[1]);
}

} // namespace
