// Profile configuration access on simulated converged adapters: reads, both
// shapes of a configuration write read back through VEXO_get_profile, the
// failures of the firmware and MaxFunctionsPerPort on every generation.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// A Trelmont adapter with two ports (NIC functions 0 and 1, iSCSI function
// 2) and one adapter of each older generation.
const char kProfiles[] = R"({
  "adapters": [
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLPRF01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 6,
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:31" },
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32" } ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2PRF01",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3PRF01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWPRF01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

std::string max_functions(const std::string &adapter)
{
    return value_at(adapter + "/ProfileManagement/MaxFunctionsPerPort");
}

// A PCIe descriptor of function `pf` copied out of one read.
struct Pcie {
    bool found = false;
    uint8_t bytes[RESC_DESC_SIZE] = {};
    const SLI4_RESC_DESC_PCIE *desc() const { return reinterpret_cast<const SLI4_RESC_DESC_PCIE *>(bytes); }
};

class ProfileConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        trelmont_ = adapter_path("TRLPRF01");
        ASSERT_FALSE(trelmont_.empty());
        adapter_ = get_node(tag_at(trelmont_, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, adapter_);
    }
    void TearDown() override
    {
        vm_flag = 0;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    Pcie pcie_of(int config_type, int census, uint32_t pf)
    {
        Pcie out;
        GET_PROFILE_CONFIG_PARAMS *p = VEXO_get_profile(adapter_, config_type, 0, census);
        if (!p)
            return out;
        profile_walk w;
        profile_walk_start(&w, p, VEXO_PROFILE_CONFIG_SIZE);
        for (const uint8_t *d = profile_walk_next(&w); d && !out.found; d = profile_walk_next(&w))
            if (resc_desc_type(d) == RESC_DESC_PCIE && resc_desc_pf_number(d) == pf) {
                std::memcpy(out.bytes, d, RESC_DESC_SIZE);
                out.found = true;
            }
        vexo_dfree(p);
        return out;
    }
    // mc_type of every port descriptor of the configured configuration.
    std::vector<uint8_t> configured_mc_types()
    {
        std::vector<uint8_t> out;
        GET_PROFILE_CONFIG_PARAMS *p = VEXO_get_profile(adapter_, PROFILE_CONFIG_CONFIGURED, 0, 0);
        if (!p)
            return out;
        profile_walk w;
        profile_walk_start(&w, p, VEXO_PROFILE_CONFIG_SIZE);
        for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w))
            if (resc_desc_type(d) == RESC_DESC_PORT)
                out.push_back(d[5]);
        vexo_dfree(p);
        return out;
    }
    // A whole-table write of the census that disables function `off`.
    int write_table_disabling(uint32_t off, const uint8_t mc[4])
    {
        GET_PROFILE_CONFIG_PARAMS *census = VEXO_get_profile(adapter_, PROFILE_CONFIG_CONFIGURED, 0, 1);
        if (!census)
            return -1;
        port_protocol table[VEXO_PROFILE_MAX_FUNCTIONS];
        bool malformed = true;
        size_t n = profile_census_entries(census, table, &malformed);
        EXPECT_FALSE(malformed);
        EXPECT_EQ(3u, n);
        const uint8_t *chosen[VEXO_PROFILE_MAX_FUNCTIONS];
        for (size_t i = 0; i < n; ++i)
            chosen[i] = table[i].pcie_res_desc;
        size_t size = 0;
        SET_PROFILE_CONFIG_PARAMS *req = profile_table_request(1, chosen, n, mc, &size);
        vexo_dfree(census);
        if (!req)
            return -1;
        EXPECT_EQ(8 + 88 * n + 68, size);
        EXPECT_EQ(n + 1, req->resource_descriptor_count);
        EXPECT_EQ(1u | SET_PROFILE_ISAP, req->word0);
        for (size_t i = 0; i < n; ++i) {
            SLI4_RESC_DESC_PCIE *d = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(req->resources + 88 * i);
            if (resc_desc_pf_number(req->resources + 88 * i) == off) {
                d->pf_state = 0;
                d->pf_type = PROFILE_PF_NIC;
                d->sriov_state = 0;
            }
        }
        int r = profile_send_write(adapter_, req, size);
        vexo_dfree(req);
        return r;
    }

    SimHost host_{kProfiles};
    int start_ = 0;
    std::string trelmont_;
    node *adapter_ = nullptr;
};

TEST_F(ProfileConfig, WholeTableWriteReachesTheConfiguredProfile)
{
    const uint8_t npar[4] = {5, 5, 0, 0};
    ASSERT_EQ(0, write_table_disabling(1, npar));
    Pcie configured = pcie_of(PROFILE_CONFIG_CONFIGURED, 0, 1);
    ASSERT_TRUE(configured.found);
    EXPECT_EQ(0, configured.desc()->pf_state);
    EXPECT_EQ((std::vector<uint8_t>{5, 5}), configured_mc_types());
    // Untouched functions keep their personality; what runs waits for a reboot.
    EXPECT_EQ(1, pcie_of(PROFILE_CONFIG_CONFIGURED, 0, 0).desc()->pf_state);
    EXPECT_EQ(1, pcie_of(PROFILE_CONFIG_ACTIVE, 0, 1).desc()->pf_state);
}

TEST_F(ProfileConfig, FailingWholeTableWriteIsAFailureAndChangesNothing)
{
    plan_status(host_.root(), 1, 165, 1, 0);
    const uint8_t npar[4] = {5, 5, 0, 0};
    EXPECT_EQ(1, write_table_disabling(1, npar));
    EXPECT_EQ(VEXO_STATUS_SET_PROFILE_CONFIG_FAILED, last_status().first);
    hlvdsim::fault_clear(host_.root());
    EXPECT_EQ(1, pcie_of(PROFILE_CONFIG_CONFIGURED, 0, 1).desc()->pf_state);
}

TEST_F(ProfileConfig, OneDescriptorWriteOfAnSriovOnlyChange)
{
    Pcie before = pcie_of(PROFILE_CONFIG_CONFIGURED, 0, 0);
    ASSERT_TRUE(before.found);
    EXPECT_EQ(0, before.desc()->sriov_state);

    SET_PROFILE_CONFIG_PARAMS req;
    profile_one_desc_prepare(&req, before.bytes, 0, false);
    EXPECT_EQ(0u, req.word0);
    EXPECT_EQ(1u, req.resource_descriptor_count);
    SLI4_RESC_DESC_PCIE *d = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(req.resources);
    d->pf_state = 0xFF; // state and personality stay as they are
    d->sriov_state = 1;
    ASSERT_EQ(0, profile_send_write(adapter_, &req, VEXO_SET_PROFILE_ONE_DESC_SIZE));

    Pcie after = pcie_of(PROFILE_CONFIG_CONFIGURED, 0, 0);
    EXPECT_EQ(1, after.desc()->sriov_state);
    EXPECT_EQ(before.desc()->pf_state, after.desc()->pf_state);
    EXPECT_EQ(before.desc()->pf_type, after.desc()->pf_type);
    EXPECT_EQ(0, pcie_of(PROFILE_CONFIG_ACTIVE, 0, 0).desc()->sriov_state);
}

TEST(ProfileConfigPrepare, OneDescriptorWriteKeepsWhatItDoesNotChange)
{
    SLI4_RESC_DESC_NIC nic;
    std::memset(&nic, 0, sizeof nic);
    nic.word0 = RESC_DESC_NO_SAVE | RESC_DESC_VF_TEMPLATE; // stale type and length
    nic.word1 = 0xFC000000u | 7u << RESC_DESC_PF_SHIFT;
    nic.bw_min = 10;
    nic.bw_max = 20;
    reinterpret_cast<uint8_t *>(&nic)[0] = RESC_DESC_NIC;

    SET_PROFILE_CONFIG_PARAMS req;
    profile_one_desc_prepare(&req, reinterpret_cast<const uint8_t *>(&nic), 0x3FF, false);
    const SLI4_RESC_DESC_NIC *d = reinterpret_cast<const SLI4_RESC_DESC_NIC *>(req.resources);
    EXPECT_EQ(RESC_DESC_NIC | 88u << 8 | RESC_DESC_VF_TEMPLATE, d->word0); // no_save cleared
    EXPECT_EQ(0x3FFu, resc_desc_pf_number(req.resources));
    EXPECT_EQ(0xFC000000u, d->word1 & 0xFC000000u);
    EXPECT_EQ(0xFFFFFFFFu, d->bw_min);
    EXPECT_EQ(0xFFFF, d->tunnel_iface_count);
    EXPECT_EQ(0xFFFF, d->mac_unicast_count);

    profile_one_desc_prepare(&req, reinterpret_cast<const uint8_t *>(&nic), 7, true);
    EXPECT_EQ(10u, d->bw_min);
    EXPECT_EQ(20u, d->bw_max);
}

TEST_F(ProfileConfig, MaxFunctionsPerPortPerGeneration)
{
    EXPECT_EQ("6", max_functions(trelmont_));
    for (const char *serial : {"AW2PRF01", "AW3PRF01", "VRWPRF01"}) {
        std::string a = adapter_path(serial);
        ASSERT_FALSE(a.empty()) << serial;
        EXPECT_EQ("N/A", max_functions(a)) << serial;
    }
    vm_flag = 1;
    EXPECT_NE("6", max_functions(trelmont_));
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
}

TEST_F(ProfileConfig, MalformedOrFailedAnswersGiveNoValue)
{
    // A short answer announces more descriptors than it carries.
    hlvdsim::FaultSpec shortened;
    shortened.subsystem = 1;
    shortened.opcode = 164;
    shortened.kind = "short";
    shortened.length = 4 + 88;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_.root(), shortened, &err), 0) << err;
    EXPECT_NE("6", max_functions(trelmont_));
    EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, last_status().first);

    plan_status(host_.root(), 1, 164, 1, 0, false);
    EXPECT_EQ(nullptr, VEXO_get_profile(adapter_, PROFILE_CONFIG_CONFIGURED, 0, 0));
    EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, last_status().first);
    EXPECT_EQ("6", max_functions(trelmont_));
}

} // namespace
