// The simulated adapters' flash on its own: where staged chunks land, what a
// power loss leaves, what the firmware refuses, and the command line's
// reboot and object generator.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/hm.h"
#include "sim/flash_model.h"

using namespace flashtest;

namespace
{

// An adapter whose firmware takes unsigned data.
const char kAdapter[] = "aw3";

class SimFlash : public FlashTest
{
  protected:
    // Writes `data` through the flash write command, in chunks.
    VEXO_status_t write(uint32_t op_type, uint32_t offset, const std::vector<uint8_t> &data, bool offset_method) const
    {
        std::vector<uint8_t> rec(20 + data.size(), 0);
        FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(rec.data());
        p->op_code = FLASHROM_OPER_FLASH;
        p->op_type = op_type;
        p->offset = offset;
        p->data_buffer_size = static_cast<uint32_t>(data.size());
        std::copy(data.begin(), data.end(), rec.begin() + 16);
        return ioctl_upgrade_flash(nic(), p, 0, 0, VEXO_DRIVER_NIC, offset_method ? 1 : 0);
    }

    // The function index of the adapter's first NIC function.
    int nic() const { return get_port_number(get_first_instance(adapter(kAdapter), "NICPhysicalHBA")); }

    static std::vector<uint8_t> pattern(size_t n, uint8_t seed)
    {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i)
            v[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 8));
        return v;
    }

    std::vector<uint8_t> at(uint32_t offset, uint32_t len) const
    {
        std::vector<uint8_t> out;
        EXPECT_TRUE(hlvdsim::flash_contents(host().root(), kAdapter, offset, len, out));
        return out;
    }

    static std::string tool()
    {
        std::string t = hlvdtest::binary_path("bin/hlvdsim");
#if defined(__i386__)
        return "qemu-i386 " + t;
#else
        return t;
#endif
    }
};

TEST_F(SimFlash, ChunksLandWhereTheirRegionOrOffsetSays)
{
    hlvdsim::FlashRegion fw;
    ASSERT_TRUE(hlvdsim::flash_region("AW3", 0, &fw));
    std::vector<uint8_t> a = pattern(70000, 1), b = pattern(40000, 2);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, write(0, 0, a, false));
    EXPECT_TRUE(at(fw.base, 70000) == a) << "a region write starts at the region";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, write(7, 0x300000, b, true));
    EXPECT_TRUE(at(0x300000, 40000) == b) << "op type 7 writes at the absolute offset";

    // The read-back answers the bytes of the region.
    uint8_t rec[24] = {};
    FLASHROM_PARAMS *p = reinterpret_cast<FLASHROM_PARAMS *>(rec);
    p->op_code = FLASHROM_OPER_REPORT;
    p->op_type = 0;
    p->offset = 69996;
    p->data_buffer_size = 4;
    ASSERT_EQ(0, ioctl_get_flash_component_details(nic(), p, 0, 0, VEXO_DRIVER_NIC));
    EXPECT_TRUE(std::equal(rec + 16, rec + 20, a.begin() + 69996));

    // Beyond the region, or the flash: refused, nothing written.
    std::vector<uint8_t> before = flash(kAdapter);
    EXPECT_EQ(1, write(13, 0, pattern(0x40001, 3), false));
    EXPECT_EQ(1, write(7, hlvdsim::kFlashSize - 100, pattern(200, 4), true));
    EXPECT_EQ(1, write(5, 0, pattern(10, 5), false)) << "a region the generation lacks";
    EXPECT_TRUE(flash(kAdapter) == before);
}

TEST_F(SimFlash, PowerLossLeavesWhatARealFlashWould)
{
    std::vector<uint8_t> old = pattern(70000, 9);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, write(7, 0x300000, old, true));

    // The power goes during a save chunk: the staged bytes die with the RAM,
    // the flash keeps what it had.
    hlvdsim::FaultSpec f;
    f.opcode = 7;
    f.kind = "power-loss";
    f.length = 100;
    f.from = 2;
    plan(f);
    EXPECT_NE(VEXO_STATUS_SUCCESS, write(7, 0x300000, pattern(70000, 10), true));
    EXPECT_TRUE(at(0x300000, 70000) == old);

    // During the flash chunk: erased, and programmed up to the loss.
    hlvdsim::fault_clear(host().root());
    f.from = 3;
    f.length = 5000;
    plan(f);
    std::vector<uint8_t> fresh = pattern(70000, 11);
    EXPECT_NE(VEXO_STATUS_SUCCESS, write(7, 0x300000, fresh, true));
    std::vector<uint8_t> now = at(0x300000, 70000);
    EXPECT_TRUE(std::equal(now.begin(), now.begin() + 5000, fresh.begin()));
    EXPECT_TRUE(std::all_of(now.begin() + 5000, now.end(), [](uint8_t x) { return x == 0xFF; }));

    // A later write starts afresh.
    hlvdsim::fault_clear(host().root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, write(7, 0x300000, fresh, true));
    EXPECT_TRUE(at(0x300000, 70000) == fresh);
}

TEST_F(SimFlash, CommandLineRebootAndObjectFiles)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), "t.ufi");
    const std::string trelmont = active_version("trelmont"), aw3 = active_version("aw3");
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("trelmont", file).status);
    std::string out = path("out.txt");
    EXPECT_NE(0, std::system((tool() + " reboot " + host().root() + " nosuch 2>/dev/null").c_str()));
    EXPECT_EQ(trelmont, active_version("trelmont"));
    ASSERT_EQ(0, std::system((tool() + " reboot " + host().root() + " trelmont > " + out).c_str()));
    EXPECT_EQ("trelmont rebooted\n", hlvdtest::read_file(out));
    EXPECT_EQ("11.2.100.7", active_version("trelmont"));
    EXPECT_EQ(aw3, active_version("aw3"));

    std::string obj = path("v.obj");
    ASSERT_EQ(0, std::system((tool() + " make-obj --version 11.4.300.2 --size 5000 --big-endian -o " + obj +
                              " > /dev/null").c_str()));
    std::vector<uint8_t> bytes = read_bytes(obj);
    std::string revision;
    EXPECT_EQ(5000u, bytes.size());
    EXPECT_TRUE(hlvdsim::read_varrow_object(bytes.data(), bytes.size(), &revision));
    EXPECT_EQ("11.4.300.2", revision);
    ASSERT_EQ(0, std::system((tool() + " make-obj --version 1.0 --fault bad-size -o " + obj + " > /dev/null").c_str()));
    bytes = read_bytes(obj);
    EXPECT_FALSE(hlvdsim::read_varrow_object(bytes.data(), bytes.size(), nullptr));
    EXPECT_NE(0, std::system((tool() + " make-obj --version 1.0 --fault nonsense -o " + obj + " 2>/dev/null").c_str()));
}

} // namespace
