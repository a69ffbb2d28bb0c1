// Region reads of a gen-2 image and the directory search: a region or a
// search start the file does not hold is refused without reading past it or
// taking a buffer for it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/firmware_flash.h"
#include "mgmt/vexo/core/debug.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace
{

TEST(ImageRegions, OnlyRegionsTheFileHoldsWholeAreRead)
{
    std::string dir = hlvdtest::make_temp_dir("hlvdregions");
    // Header and directory only: 96 + 2256 bytes.
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(2, "4.2.500.1");
    s.compact = true;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(hlvdsim::build_ufi(s, bytes, nullptr));
    ASSERT_EQ(2352u, bytes.size());
    const std::string file = dir + "/a2.ufi";
    ASSERT_TRUE(hlvdsim::write_ufi(s, file, nullptr));

    const struct {
        uint32_t offset, length;
        int result;
    } cases[] = {
        {0, 2256, 0},                  // the whole rest of the file
        {2255, 1, 0},                  // its last byte
        {2256, 1, 1},                  // one past it
        {0x100, 0x40000, 1},           // a region of the real layout
        {0xFFFFFFFFu, 0xFFFFFFFFu, 1}, // sizes no file of 4 GiB holds
    };
    for (const auto &c : cases) {
        const int counted = vexo_counter;
        uint8_t *data = nullptr;
        EXPECT_EQ(c.result, ProcessFlashFirmwareCmd(file.c_str(), c.offset, c.length, &data)) << c.offset;
        if (c.result == 0) {
            ASSERT_NE(nullptr, data);
            EXPECT_EQ(0, std::memcmp(data, bytes.data() + 96 + c.offset, c.length));
            vexo_dfree(data);
        } else {
            EXPECT_EQ(nullptr, data);
        }
        EXPECT_EQ(counted, vexo_counter);
    }

    FILE *fp = std::fopen(file.c_str(), "rb");
    ASSERT_NE(nullptr, fp);
    static FLASHDIR_TYPE d;
    EXPECT_EQ(1, get_flash_dir_aw3(uint64_t(128) + 48ull * 0xFFFFFFFFu, fp, &d));
    EXPECT_EQ(1, get_flash_dir_aw3(bytes.size() + 1, fp, &d));
    std::fclose(fp);
    hlvdtest::remove_tree(dir);
}

} // namespace
