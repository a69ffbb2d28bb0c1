// The rules that decide whether an image fits an adapter and which optional
// components are written: the ASIC revision rules of AW3 and Trelmont, the
// AW3 NC-SI and PHY firmware, and a failing configuration query.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/aw/vexo-backend/firmware_flash.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/flash_model.h"

using namespace flashtest;

namespace
{

class Rules : public FlashTest
{
  protected:
    std::string machine() const override
    {
        return R"({
  "host": { "release": "VMware ESXi 6.7.0 build-8169922" },
  "adapters": [
    { "name": "aw3-r01", "family": "converged", "generation": "AW3", "serial": "AW3R01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [ { "bus": 4, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "revision": "0x01",
                       "port": 0, "mac": "00:00:C9:B3:01:20" } ] },
    { "name": "aw3-r10", "family": "converged", "generation": "AW3", "serial": "AW3R10",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "phy": { "type": 13, "interface_type": 6 },
      "functions": [ { "bus": 5, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "revision": "0x10",
                       "port": 0, "mac": "00:00:C9:B3:02:20" } ] },
    { "name": "aw3-r11", "family": "converged", "generation": "AW3", "serial": "AW3R11",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [ { "bus": 6, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "revision": "0x11",
                       "port": 0, "mac": "00:00:C9:B3:03:20" } ] },
    { "name": "trl-r00", "family": "converged", "generation": "Trelmont", "serial": "TRLR00",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.23" },
      "functions": [ { "bus": 7, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "revision": "0x00",
                       "port": 0, "mac": "00:00:C9:C4:01:30" } ] },
    { "name": "trl-r10", "family": "converged", "generation": "Trelmont", "serial": "TRLR10",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.23" },
      "functions": [ { "bus": 8, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "revision": "0x10",
                       "port": 0, "mac": "00:00:C9:C4:02:30" } ] }
  ]
})";
    }

    // An image without components: accepted images write nothing.
    std::string empty_image(int generation, uint8_t asic_support, const std::string &file) const
    {
        hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(generation, "10.6.100.1");
        s.components.clear();
        s.asic_support = asic_support;
        return make_ufi(s, file);
    }
};

TEST_F(Rules, AsicRevisionDecidesWhichImagesFit)
{
    struct Case {
        const char *adapter;
        int generation;
        uint8_t asic_support; // gives flash_ufi_type 3, 4, 11 (AW3); 16, 17, 32 or none (Trelmont)
        bool accepted;
    } cases[] = {
        {"aw3-r01", 3, 0x00, true},   {"aw3-r01", 3, 0x10, true},   {"aw3-r01", 3, 0x11, true},
        {"aw3-r10", 3, 0x00, false},  {"aw3-r10", 3, 0x10, true},   {"aw3-r10", 3, 0x11, true},
        {"aw3-r11", 3, 0x00, false},  {"aw3-r11", 3, 0x10, false},  {"aw3-r11", 3, 0x11, true},
        {"trl-r00", 4, 0x05, true},   {"trl-r00", 4, 0x10, true},   {"trl-r10", 4, 0x05, false},
        {"trl-r10", 4, 0x10, true},   {"trl-r10", 4, 0x11, true},   {"trl-r10", 4, 0x20, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.adapter << " ASIC_Support " << int(c.asic_support));
        Outcome o = upgrade(c.adapter, empty_image(c.generation, c.asic_support, "e.ufi"));
        EXPECT_EQ(c.accepted ? 0 : 1, o.result);
        EXPECT_EQ(c.accepted ? VEXO_STATUS_REBOOT_REQUIRED : VEXO_STATUS_INVALID_FLASH, o.status);
    }
}

TEST_F(Rules, NcsiFirmwareFromRelease3_102_148_0On)
{
    struct Case {
        const char *active;
        int required;
    } cases[] = {
        {"3.102.148.0", 1}, {"3.102.147.9", 0}, {"3.103.0.0", 1}, {"10.2.370.15", 1},
        {"2.999.999.999", 0}, {"3.102", 0},     {"abc", 0},       {"", 0},
    };
    node *a = adapter("aw3-r01");
    ASSERT_NE(nullptr, a);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.active);
        set_active("aw3-r01", c.active);
        EXPECT_EQ(c.required, is_ncsi_required(a));
    }
}

TEST_F(Rules, NcsiComponentIsWrittenOnlyForNewEnoughFirmware)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(3, "10.6.100.1");
    s.components = {{0x10, 0xFFFF, 0}};
    std::string file = make_ufi(s, "ncsi.ufi");
    set_active("aw3-r01", "3.102.147.9");
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw3-r01", file).status);
    EXPECT_TRUE(writes(fw_log()).empty());
    set_active("aw3-r01", "3.102.148.0");
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw3-r01", file).status);
    EXPECT_TRUE(flash("aw3-r01") == expected_flash(read_bytes(file), 3, false));
}

TEST_F(Rules, PhyFirmwareOnlyOnA10GBaseTPhyAndItsRefusalsPassOver)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(3, "10.6.100.1");
    s.components = {{0xC0, 0xFFFF, 0}};
    s.asic_support = 0x10; // fits revision 0x10 too
    std::string file = make_ufi(s, "phy.ufi");
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw3-r01", file).status);
    EXPECT_TRUE(writes(fw_log()).empty()) << "not a 10GBASE-T PHY";

    struct Case {
        int status; // of the first PHY chunk; 0 none
        int result, last;
    } cases[] = {{0, 0, 55}, {2, 0, 55}, {3, 0, 55}, {1, 1, 166}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        hlvdsim::fault_clear(host().root());
        if (c.status)
            plan_status(7, c.status, 0);
        clear_log();
        Outcome o = upgrade("aw3-r10", file);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.last, o.status);
        std::vector<json> w = writes(fw_log());
        ASSERT_FALSE(w.empty());
        EXPECT_EQ(99u, chunk_of(w[0]).op_type);
        if (c.status == 0) {
            EXPECT_TRUE(flash("aw3-r10") == expected_flash(read_bytes(file), 3, false));
        }
    }
}

TEST_F(Rules, AFailingConfigurationQueryLeavesAFailingStatus)
{
    plan_status(58, 2, 0);
    Outcome o = upgrade("aw3-r01", empty_image(3, 0, "e.ufi"));
    EXPECT_EQ(1, o.result);
    EXPECT_NE(VEXO_STATUS_SUCCESS, o.status);
    EXPECT_NE(VEXO_STATUS_REBOOT_REQUIRED, o.status);
    EXPECT_TRUE(writes(fw_log()).empty());
}

} // namespace
