// The iSCSI BIOS switch, DHCP boot-target discovery, the boot LUN and the
// MPIO setting, through their properties on a simulated iSCSI function.
#include "boot_fixture.h"

#include "mgmt/aw/vexo-backend/nodes_target.h"

using namespace boottest;
using backendtest::last_status;

namespace
{

class BootSettings : public BootHost
{
protected:
    nlohmann::json adapter() const
    {
        return load().doc["adapters"][0];
    }
    // A LUN node below `t` whose handle holds `lun` and whose LUNNumber
    // shows it, the handle's first four bytes being 0.
    node *lun(node *t, const std::vector<uint8_t> &bytes)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        node *l = initialize_LUN(t, nullptr, nullptr, params);
        if (!l)
            return nullptr;
        node_handle *h = static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle)));
        std::memcpy(h->lun, bytes.data(), 4);
        l->u.grp->handle = h;
        char text[VEXO_VALUE_SIZE];
        std::snprintf(text, sizeof text, "00000000%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
        SET_CACHE_PROP_VAL(prop(l, "LUNNumber"), "%s", text);
        return l;
    }
    std::string sim_boot_lun(int handle) const
    {
        const nlohmann::json a = adapter();
        for (const auto &s : a["functions"][0]["initiator"]["sessions"])
            if (s.value("handle", -1) == handle)
                return s.value("boot_lun", std::string("none"));
        return "no session";
    }
    void TearDown() override
    {
        if (started_)
            for (node *t = get_first_instance(lhba_, "Target"); t; t = next(t))
                for (node *l = get_first_instance(t, "LUN"); l; l = next(l)) {
                    vexo_dfree(l->u.grp->handle);
                    l->u.grp->handle = nullptr;
                }
        BootHost::TearDown();
    }
};

TEST_F(BootSettings, BiosSwitchChangesOnlyBootStatus)
{
    start();
    backendtest::set_adapter_field(host_->root(), 0, "boot_config",
                                   {{"boot_status", 1}, {"bios_instance", 3}, {"native_mode", 1},
                                    {"boot_method", 2}, {"future", 77}});
    EXPECT_EQ("Yes", get(phba_, "iSCSIBIOSEnable"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(phba_, "iSCSIBIOSEnable", "No"));
    nlohmann::json want = {{"boot_status", 0}, {"bios_instance", 3}, {"native_mode", 1}, {"boot_method", 2},
                           {"future", 77}};
    EXPECT_EQ(want, adapter()["fw_state"]["boot_config"]);
    EXPECT_EQ("No", get(phba_, "iSCSIBIOSEnable"));
    backendtest::plan_status(host_->root(), 1, 66, 2);
    EXPECT_EQ("error 1", get(phba_, "iSCSIBIOSEnable"));
    EXPECT_EQ(VEXO_STATUS_GET_BOOT_CONFIG, last_status().first);
}

TEST_F(BootSettings, DhcpDiscoveryIsOneBitPerPortAndKeepsTheOtherBiosFields)
{
    start();
    node *phba1 = get_node(backendtest::tag_at(backendtest::adapter_path("BOOT0001") + "/iSCSIPhysicalHBA1",
                                               VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, phba1);
    node *lhba1 = get_first_instance(phba1, "LogicalHBA");
    if (!lhba1) {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        lhba1 = initialize_LogicalHBA(phba1, nullptr, nullptr, params);
    }
    ASSERT_NE(nullptr, lhba1);
    node *disc[2] = {internal_get_node(lhba_, "Discovery", VEXO_NODE_GROUP),
                     internal_get_node(lhba1, "Discovery", VEXO_NODE_GROUP)};
    ASSERT_TRUE(disc[0] && disc[1]);
    const struct {
        int flags;
        const char *port0, *port1;
    } reads[] = {{0, "Disabled", "Disabled"}, {1, "Enabled", "Disabled"}, {2, "Disabled", "Enabled"},
                 {3, "Enabled", "Enabled"}};
    nlohmann::json bios = adapter()["iscsi_bios"];
    for (const auto &r : reads) {
        SCOPED_TRACE(r.flags);
        bios["auto_discovery_flags"] = r.flags;
        backendtest::set_adapter_field(host_->root(), 0, "iscsi_bios", bios);
        EXPECT_EQ(r.port0, get(disc[0], "DiscoverBootTargetThruDHCP"));
        EXPECT_EQ(r.port1, get(disc[1], "DiscoverBootTargetThruDHCP"));
    }
    const struct {
        int port;
        const char *value;
        int flags_after;
    } writes[] = {{1, "Disabled", 1}, {0, "Disabled", 0}, {1, "Enabled", 2}, {0, "Enabled", 3}, {1, "Disabled", 1}};
    for (const auto &w : writes) {
        SCOPED_TRACE(std::to_string(w.port) + w.value);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set(disc[w.port], "DiscoverBootTargetThruDHCP", w.value));
        nlohmann::json now = adapter()["iscsi_bios"];
        EXPECT_EQ(w.flags_after, now["auto_discovery_flags"]);
        EXPECT_EQ(1, now["bios_int13_enabled"]);
        EXPECT_EQ(nlohmann::json({5, 0, 2}), now["ibft_pci_address"]);
        EXPECT_EQ(1234, now["bios_ver"]);
    }
    backendtest::plan_status(host_->root(), 6, 57, 2);
    EXPECT_EQ("error 1", get(disc[0], "DiscoverBootTargetThruDHCP"));
    EXPECT_EQ(VEXO_STATUS_BIOS_CONFIG_FAILED, last_status().first);
}

TEST_F(BootSettings, DhcpDiscoveryIsRefusedWhileAnySessionBoots)
{
    start("AW3", "0x0712");
    node *s2 = session("b", 2), *s3 = session("b", 3);
    ASSERT_TRUE(s2 && s3);
    ASSERT_NE(nullptr, target("empty")); // passed over
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set(s3, "iSCSIBoot", "True"));
    node *disc = internal_get_node(lhba_, "Discovery", VEXO_NODE_GROUP);
    EXPECT_EQ(VEXO_STATUS_FAILURE, set(disc, "DiscoverBootTargetThruDHCP", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_STATIC_BOOT_TARGET_CONFIGURED, last_status().first);
    EXPECT_EQ(0, adapter()["iscsi_bios"]["auto_discovery_flags"]);
}

TEST_F(BootSettings, BootLunMatchesAllEightBytesAndOnlyTrueMovesIt)
{
    start();
    node *s = session("a", 1);
    ASSERT_NE(nullptr, s);
    node *t = target("a");
    node *l5 = lun(t, {0, 0, 5, 0}), *l6 = lun(t, {0, 0, 6, 0});
    ASSERT_TRUE(l5 && l6);
    // Not a boot session yet.
    EXPECT_EQ("N/A", get(l5, "BootLUN"));
    EXPECT_EQ(VEXO_STATUS_FAILURE, set(l5, "BootLUN", "True"));
    EXPECT_EQ(VEXO_STATUS_CANNOT_CONF_BOOT_LUN, last_status().first);

    ASSERT_EQ(VEXO_STATUS_SUCCESS, set(s, "iSCSIBoot", "True"));
    backendtest::set_adapter_field(host_->root(), 0, "functions", [&] {
        nlohmann::json f = adapter()["functions"];
        f[0]["initiator"]["sessions"][0]["boot_lun"] = "0005000000000000";
        return f;
    }());
    // A LUN that shares one byte with the boot LUN is a different LUN.
    node *near = lun(t, {0, 0, 5, 1});
    ASSERT_NE(nullptr, near);
    const struct {
        node *l;
        const char *shown;
    } reads[] = {{l5, "True"}, {l6, "False"}, {near, "False"}};
    for (const auto &r : reads)
        EXPECT_EQ(r.shown, get(r.l, "BootLUN"));

    // "False" names no boot LUN: nothing is written.
    backendtest::clear_log(host_->root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(l6, "BootLUN", "False"));
    EXPECT_EQ(0, sent(6, 55));
    EXPECT_EQ("0005000000000000", sim_boot_lun(1));

    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(l6, "BootLUN", "True"));
    EXPECT_EQ("0006000000000000", sim_boot_lun(1));
    EXPECT_EQ("True", get(l6, "BootLUN"));
    EXPECT_EQ("False", get(l5, "BootLUN"));
    // The boot target entry carries the new boot LUN.
    std::vector<uint8_t> r3 = region(3);
    Entries e = entries(r3);
    ASSERT_EQ(1u, e.boot.size());
    size_t at = 16 + 8; // after the foreign entry
    ASSERT_GT(r3.size(), at + 16);
    EXPECT_EQ(std::vector<uint8_t>({0, 6, 0, 0, 0, 0, 0, 0}),
              std::vector<uint8_t>(r3.begin() + at + 8, r3.begin() + at + 16));

    // "False" on the boot LUN cannot be done: refused, the boot LUN stays.
    EXPECT_EQ(VEXO_STATUS_FAILURE, set(l6, "BootLUN", "False"));
    EXPECT_EQ("0006000000000000", sim_boot_lun(1));
}

TEST_F(BootSettings, MpioWritesOnlyItsEntry)
{
    start();
    EXPECT_EQ("False", get(phba_, "MPIOEnabled"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(phba_, "MPIOEnabled", "True"));
    EXPECT_EQ(backendtest::hex_bytes(std::string(kRegion2).replace(32, 10, "1202000101")), region(2));
    EXPECT_EQ("True", get(phba_, "MPIOEnabled"));
}

// Region 2 without an MPIO entry, or with no entries at all: a set changes
// nothing, and a get keeps showing the cached value.
struct MpioRegion {
    const char *name, *hex;
    int writes;
};

class BootSettingsMpio : public BootSettings, public ::testing::WithParamInterface<MpioRegion>
{
};

TEST_P(BootSettingsMpio, KeepsTheRegionAndTheCachedValue)
{
    start();
    backendtest::set_adapter_field(host_->root(), 0, "iscsi_regions",
                                   {{"/iscsidata/Port0/Instance0/Region2", GetParam().hex}});
    EXPECT_EQ("False", get(phba_, "MPIOEnabled"));
    backendtest::clear_log(host_->root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set(phba_, "MPIOEnabled", "True"));
    EXPECT_EQ(GetParam().writes, sent(1, 172));
    EXPECT_EQ(backendtest::hex_bytes(GetParam().hex), region(2));
    EXPECT_EQ("False", get(phba_, "MPIOEnabled"));
}

INSTANTIATE_TEST_SUITE_P(Regions, BootSettingsMpio,
                         ::testing::Values(MpioRegion{"NoMpioEntry", "5a5a5a5a030000000100000000000000210000", 1},
                                           MpioRegion{"NoEntries", "5a5a5a5a000000000100000000000000", 0}),
                         [](const ::testing::TestParamInfo<MpioRegion> &i) { return std::string(i.param.name); });

} // namespace
