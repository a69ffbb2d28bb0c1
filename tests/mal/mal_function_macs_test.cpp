// The client layer's function records on simulated adapters: MAC addresses
// (current and configured) and the PCI configuration space that the dump
// actions give, with its revision byte, and what the records hold when the
// firmware cannot answer.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;

namespace {

const char kMachine[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2R0001",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE602", "revision": "0x02",
          "mac": "00:00:C9:A2:00:10", "permanent_mac": "02:00:C9:A2:01:10" } ] },
    { "name": "aw3r", "family": "converged", "generation": "AW3", "serial": "AW3R0001",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x10",
          "mac": "00:00:C9:B3:00:20", "permanent_mac": "02:00:C9:B3:01:20" },
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE70E", "revision": "0x10",
          "mac": "00:00:C9:B3:00:22", "permanent_mac": "02:00:C9:B3:01:22" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWR0001",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE22A", "revision": "0x21",
          "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

// Adapters in tree order: the AW3 adapter (it has an iSCSI function), then
// the NIC-only ones in machine order.
enum { AW3 = 0, AW2 = 1, VARROW = 2 };

std::vector<uint8_t> mac(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint8_t e, uint8_t f)
{
    return {a, b, c, d, e, f};
}

std::vector<uint8_t> six(const uint8_t *p)
{
    return std::vector<uint8_t>(p, p + 6);
}

class MalFunctionMacs : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, adapters_));
        ASSERT_EQ(3, count);
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    node_tag_t function(int adapter, int kind)
    {
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(static_cast<node_tag_t>(adapters_[adapter]), kind, &count, tags));
        EXPECT_GE(count, 1);
        return count >= 1 ? static_cast<node_tag_t>(tags[0]) : VEXO_NO_TAG;
    }
    void plan(int opcode)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = 1;
        f.opcode = opcode;
        f.kind = "status";
        f.status = 2;
        f.always = true;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }

    SimHost host_{kMachine};
    int start_ = 0;
    uint32_t adapters_[MAL_MAX_TAGS] = {};
};

TEST_F(MalFunctionMacs, RecordsCarryMacsAndConfigurationSpace)
{
    const struct {
        int adapter;
        std::vector<uint8_t> current;
        std::vector<uint8_t> configured;
        uint16_t vendor;
        uint8_t revision;
    } nics[] = {
        {AW3, mac(0, 0, 0xC9, 0xB3, 0, 0x20), mac(2, 0, 0xC9, 0xB3, 1, 0x20), 0x19A2, 0x10},
        {AW2, mac(0, 0, 0xC9, 0xA2, 0, 0x10), mac(2, 0, 0xC9, 0xA2, 1, 0x10), 0x19A2, 0x02},
        {VARROW, mac(0, 0, 0xC9, 0xD5, 0, 0x40), mac(0, 0, 0xC9, 0xD5, 0, 0x40), 0x10DF, 0x21},
    };
    for (const auto &n : nics) {
        SCOPED_TRACE(n.adapter);
        MAL_NicPhysicalProperties rec;
        std::memset(&rec, 0, sizeof rec);
        ASSERT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(function(n.adapter, MAL_HBA_NIC), &rec));
        EXPECT_EQ(n.current, six(rec.MACAddress));
        EXPECT_EQ(n.configured, six(rec.PermanentMACAddress));
        EXPECT_EQ(n.vendor, rec.PciConfigSpace[0] | rec.PciConfigSpace[1] << 8);
        EXPECT_EQ(n.revision, rec.PciConfigSpace[8]);
        EXPECT_EQ(0x02, rec.PciConfigSpace[0x0B]) << "network controller";
        EXPECT_EQ(0x10DF, rec.PciConfigSpace[0x2C] | rec.PciConfigSpace[0x2D] << 8);
    }

    node_tag_t iscsi = function(AW3, MAL_HBA_ISCSI);
    uint8_t space[MAL_PCI_CONFIG_SIZE] = {};
    EXPECT_EQ(RM_STATUS_OK, MAL_Dump_PciConfigRegion(iscsi, "DumpiSCSIPCIConfigRegion", space));
    EXPECT_EQ(0x0712, space[2] | space[3] << 8);
    EXPECT_EQ(0x10, space[8]);
    EXPECT_EQ(0x01, space[0x0B]) << "mass storage controller";
    // The whole record also needs the function's domain, which its logical
    // HBA (built at back-end start) names.
    ASSERT_NE(nullptr, get_first_instance(get_node(iscsi), "LogicalHBA"));
    MAL_iSCSIPhysicalProperties phys;
    std::memset(&phys, 0, sizeof phys);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSIPhysicalProperties(iscsi, &phys));
    EXPECT_EQ(0x10, phys.PciConfigSpace[8]);
    EXPECT_EQ(2u, phys.pci.FunctionNumber);
    MAL_iSCSINicConfigProperties config;
    std::memset(&config, 0, sizeof config);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSINicConfigProperties(iscsi, &config));
    EXPECT_EQ(mac(0, 0, 0xC9, 0xB3, 0, 0x22), six(config.MACAddress));
    EXPECT_EQ(mac(2, 0, 0xC9, 0xB3, 1, 0x22), six(config.PermanentMACAddress));
}

// Without the configured MAC the current one stands in; a configuration
// space that cannot be read is a failure of the dump, and the NIC record
// keeps zeros for it.
TEST_F(MalFunctionMacs, WhatTheRecordsHoldWhenTheFirmwareCannotAnswer)
{
    plan(164); // profile configuration
    plan(72);  // configuration space
    MAL_NicPhysicalProperties nic;
    std::memset(&nic, 0, sizeof nic);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetNicPhysicalProperties(function(AW3, MAL_HBA_NIC), &nic));
    EXPECT_EQ(mac(0, 0, 0xC9, 0xB3, 0, 0x20), six(nic.MACAddress));
    EXPECT_EQ(mac(0, 0, 0xC9, 0xB3, 0, 0x20), six(nic.PermanentMACAddress));
    EXPECT_EQ(0, nic.PciConfigSpace[8]);

    node_tag_t iscsi = function(AW3, MAL_HBA_ISCSI);
    MAL_iSCSINicConfigProperties config;
    std::memset(&config, 0, sizeof config);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetiSCSINicConfigProperties(iscsi, &config));
    EXPECT_EQ(mac(0, 0, 0xC9, 0xB3, 0, 0x22), six(config.PermanentMACAddress));
    uint8_t space[MAL_PCI_CONFIG_SIZE] = {};
    EXPECT_NE(RM_STATUS_OK, MAL_Dump_PciConfigRegion(iscsi, "DumpiSCSIPCIConfigRegion", space));
}

} // namespace
