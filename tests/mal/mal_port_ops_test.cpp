// The client layer's personality, link configuration, port speed, SR-IOV,
// boot and erase operations on a test group whose actions and writes are
// recorded.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_port_ops.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mal_recorder.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace
{

// One group standing in for the adapter, port, NIC function, session,
// target and LUN the operations address.
const hm_node_row unit_rows[] = {
    RW("ANSpeedsSupported", "1Gb,10Gb"), RW("ForceSpeedsSupported", "10Gb"), RW("ConfiguredSpeed", "10Gb"),
    RW("Mode", "Force"), RW("DACCableLength", "3"), RW("BootLUN", "False"), RW("iSCSIBoot", "false"),
    ACT("SetPortSpeed", 3), ACT("ConfigureBootTarget", 2), ACT("AddTargetPortal", 2), ACT("EraseAll", 1),
    HM_GROUP("Personality", "personality", nullptr),
        RW("CurrentPersonality", "NIC"), RW("AvailablePersonalities", "NIC/iSCSI/FCoE"),
        RW("ConfiguredPersonality", "iSCSI"),
        ACT("SetPersonality", 1),
    HM_END(),
    HM_GROUP("LinkReconfiguration", "link configurations", nullptr),
        RW("ActiveLinkConfigID", "2"), RW("ConfiguredLinkConfigID", "3"),
        ACT("SetLinkConfigID", 1), ACT("SetLinkConfigFactoryDefaults", 0),
    HM_END(),
};
const hm_node_row link_rows[] = {RW("LinkConfigID", "0"), RW("LinkConfigDescription", "")};
const hm_node_row vf_rows[] = {RW("MACAddress", "00-00-00-00-00-00"), RW("LinkStatus", "Up"), RW("VLANID", "5"),
                               RW("TxRate", "1000")};

uint8_t unit_bits[HM_BIT_FIELD_BYTES(2, 1)];
uint8_t link_bits[HM_BIT_FIELD_BYTES(64, 2)];
uint8_t vf_bits[HM_BIT_FIELD_BYTES(8, 2)];
const hm_group_type unit_type = {"Unit", "a unit", 2, 0, nullptr, unit_bits, sizeof unit_bits, unit_rows,
                                 HM_ROW_COUNT(unit_rows)};
const hm_group_type link_type = {"LinkConfig", "a link configuration", 64, 0, nullptr, link_bits, sizeof link_bits,
                                 link_rows, HM_ROW_COUNT(link_rows)};
const hm_group_type vf_type = {"NICLogicalHBA", "a virtual function", 8, 0, nullptr, vf_bits, sizeof vf_bits,
                               vf_rows, HM_ROW_COUNT(vf_rows)};

class MalPortOps : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(1, VEXO_init());
        unit_ = hm_build_group(&unit_type, get_node(0), nullptr, nullptr, nullptr);
        ASSERT_TRUE(unit_);
        u_ = unit_->node_tag;
        calls.clear();
        outcomes.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    node *child(const char *name) { return internal_get_node(unit_, name, VEXO_NODE_GROUP); }
    // A virtual function with this MAC text.
    node *add_vf(const char *mac)
    {
        node *vf = hm_build_group(&vf_type, unit_, nullptr, nullptr, nullptr);
        set_value(vf, "MACAddress", mac);
        return vf;
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *unit_ = nullptr;
    node_tag_t u_ = -1;
};

TEST_F(MalPortOps, PersonalityListIsSplitAndBounded)
{
    MAL_PersonalityInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetAdapterPersonalityInfo(u_, &info));
    EXPECT_STREQ("NIC", info.CurrentPersonality);
    EXPECT_STREQ("iSCSI", info.ConfiguredPersonality);
    ASSERT_EQ(3, info.AvailableCount);
    EXPECT_STREQ("FCoE", info.AvailablePersonalities[2]);

    // 50 names, the fourth longer than its field.
    std::string list;
    for (int i = 0; i < 50; ++i)
        list += (i == 3 ? "AVeryLongPersonalityName" : "P" + std::to_string(i)) + "//";
    set_value(child("Personality"), "AvailablePersonalities", list.c_str());
    ASSERT_EQ(RM_STATUS_OK, MAL_GetAdapterPersonalityInfo(u_, &info));
    EXPECT_EQ(48, info.AvailableCount);
    EXPECT_STREQ("P47", info.AvailablePersonalities[47]);
    EXPECT_STREQ("AVeryLongPersonalit", info.AvailablePersonalities[3]);
}

TEST_F(MalPortOps, PersonalityChangeOutcomes)
{
    struct Case {
        Outcome outcome;
        RM_STATUS expected;
    } cases[] = {
        {{VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS}, RM_STATUS_OK},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_PERSONALITY_NOT_SUPPORTED}, RM_STATUS_ERROR_PERSONALITY_NOT_SUPPORTED},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE}, RM_STATUS_ERROR_PERSONALITY_NOT_SUPPORTED},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_ADAPTER_BUSY}, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_SUCCESS}, RM_STATUS_OK},
    };
    for (const Case &c : cases) {
        outcomes["SetPersonality"] = c.outcome;
        EXPECT_EQ(c.expected, MAL_ChangeAdapterPersonality(u_, "FCoE")) << c.outcome.code;
    }
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_ChangeAdapterPersonality(u_, nullptr));
    EXPECT_EQ(Calls(5, "SetPersonality(FCoE)"), calls);
}

TEST_F(MalPortOps, LinkConfigurationsFillAtMost32)
{
    node *group = child("LinkReconfiguration");
    for (int i = 0; i < 40; ++i) {
        node *lc = hm_build_group(&link_type, group, nullptr, nullptr, nullptr);
        ASSERT_TRUE(lc);
        set_value(lc, "LinkConfigID", i % 4 == 0 ? "0" : std::to_string(100 + i).c_str());
        set_value(lc, "LinkConfigDescription", ("configuration number " + std::to_string(i) + " of forty").c_str());
    }
    MAL_LinkReconfigInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetPortLinkReconfigInfo(u_, &info));
    EXPECT_EQ(2, info.ActiveLinkConfigID);
    EXPECT_EQ(3, info.ConfiguredLinkConfigID);
    EXPECT_EQ(24, info.ConfigCount); // ids of 0 are filled, not counted
    EXPECT_EQ(0, info.Configs[0].LinkConfigID);
    EXPECT_EQ(131, info.Configs[31].LinkConfigID);
    EXPECT_STREQ("configuration number 31 of fort", info.Configs[31].LinkConfigDescription);

    EXPECT_EQ(RM_STATUS_OK, MAL_SetPortLinkReConfigInfo(u_, 7, 0));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPortLinkReConfigInfo(u_, 7, 1));
    EXPECT_EQ((Calls{"SetLinkConfigID(7)", "SetLinkConfigFactoryDefaults()"}), calls);
}

TEST_F(MalPortOps, PortSpeedRead)
{
    MAL_PhyPortSpeedSettings s;
    std::memset(&s, 0, sizeof s);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetPhyPortSpeedSettings(u_, &s));
    EXPECT_EQ(MAL_SPEED_MODE_FORCE, s.Mode);
    EXPECT_EQ(3, s.DACCableLength);

    set_value(unit_, "ConfiguredSpeed", "N/A");
    std::memset(&s, 0, sizeof s);
    EXPECT_EQ(RM_STATUS_ERROR_NOT_AVAILABLE, MAL_GetPhyPortSpeedSettings(u_, &s));
    EXPECT_STREQ("1Gb,10Gb", s.ANSpeedsSupported);
    EXPECT_STREQ("10Gb", s.ForceSpeedsSupported);
    EXPECT_STREQ("N/A", s.ConfiguredSpeed);
}

TEST_F(MalPortOps, PortSpeedChange)
{
    struct Case {
        const char *speed;
        int32_t mode;
        int32_t cable;
        int code; // last status of a failing action; 0: it succeeds
        RM_STATUS expected;
        const char *sent; // null: nothing
    } cases[] = {
        {"", 1, -1, 0, RM_STATUS_OK, "SetPortSpeed(,Default,)"},
        {"10Gb", 3, 5, 0, RM_STATUS_OK, "SetPortSpeed(10Gb,Force,5)"},
        {"1Gb", 2, 0, 0, RM_STATUS_OK, "SetPortSpeed(1Gb,Auto-Negotiate,0)"},
        {"10Gb", 4, 5, 0, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr},
        {"10Gb", 3, -1, VEXO_STATUS_SPEED_ALREADY_CONFIGURED, RM_STATUS_OK, "SetPortSpeed(10Gb,Force,)"},
        {"10Gb", 3, -1, VEXO_STATUS_SPEED_FORCE, RM_STATUS_ERROR_SPEED_INVALID, "SetPortSpeed(10Gb,Force,)"},
        {"10Gb", 3, -1, VEXO_STATUS_SPEED_DAC_CABLE, RM_STATUS_ERROR_SPEED_DAC_CABLE, "SetPortSpeed(10Gb,Force,)"},
        {"10Gb", 3, -1, VEXO_STATUS_SET_PORTSPEED_NOT_SUPPORTED, RM_STATUS_ERROR_SPEED_NOT_SUPPORTED,
         "SetPortSpeed(10Gb,Force,)"},
        {"1Gb", 3, -1, VEXO_STATUS_1GBSPEED_NOT_SUPPORTED, RM_STATUS_ERROR_1G_SPEED_NOT_SUPPORTED,
         "SetPortSpeed(1Gb,Force,)"},
        {"1Gb", 3, -1, VEXO_STATUS_FAILURE, RM_STATUS_ERROR_MANAGEMENT_LIBRARY, "SetPortSpeed(1Gb,Force,)"},
    };
    for (const Case &c : cases) {
        calls.clear();
        outcomes.clear();
        if (c.code != 0)
            outcomes["SetPortSpeed"] = {VEXO_STATUS_FAILURE, static_cast<VEXO_status_t>(c.code)};
        EXPECT_EQ(c.expected, MAL_SetPhyPortSpeedSettings(u_, c.speed, c.mode, c.cable)) << c.code;
        EXPECT_EQ(c.sent ? Calls{c.sent} : Calls{}, calls) << c.code;
    }
}

TEST_F(MalPortOps, VirtualFunctions)
{
    const char *macs[] = {"00-90-fa-00-00-01", "00-90-fa-00-00-02", "00-90-fa-00-00-03", "00-90-fa-00-00-04",
                          "00-90-fa-00-00-05"};
    for (const char *m : macs)
        ASSERT_TRUE(add_vf(m));
    // Room for two: the needed count comes back and nothing is written.
    uint8_t buffer[4 + 6 * 5];
    std::memset(buffer, 0xEE, sizeof buffer);
    auto *list = reinterpret_cast<MAL_SRIOV_VFList *>(buffer);
    list->count = 2;
    EXPECT_EQ(RM_STATUS_ERROR_BUFFER_TOO_SMALL, MAL_EnumNIC_SRIOV_VFs(u_, list));
    EXPECT_EQ(5u, list->count);
    EXPECT_EQ(0xEE, buffer[4]);

    list->count = 5;
    ASSERT_EQ(RM_STATUS_OK, MAL_EnumNIC_SRIOV_VFs(u_, list));
    EXPECT_EQ(5u, list->count);
    const uint8_t last[6] = {0x00, 0x90, 0xfa, 0x00, 0x00, 0x05};
    EXPECT_EQ(0, std::memcmp(buffer + 4 + 6 * 4, last, 6));

    node_tag_t tag = -1;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetNICLogicalHbaTag(u_, last, &tag));
    MAL_SRIOV_VFProps props;
    std::memset(&props, 0x5A, sizeof props);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetNIC_SRIOV_VFProps(u_, last, &props));
    EXPECT_EQ(5, props.VLANID);
    EXPECT_EQ(1000, props.TxRate);
    EXPECT_STREQ("Up", props.LinkStatus);
    EXPECT_EQ(0, props.reserved1 | props.reserved2 | props.reserved3);

    const uint8_t unknown[6] = {0x00, 0x90, 0xfa, 0x00, 0x00, 0x99};
    EXPECT_EQ(MAL_STATUS_NO_MATCHING_VF, MAL_GetNICLogicalHbaTag(u_, unknown, &tag));
    EXPECT_EQ(0, tag);
    EXPECT_EQ(RM_STATUS_ERROR_NOT_SUPPORTED, MAL_SetNIC_SRIOV_VFProps(u_, last, &props));
}

TEST_F(MalPortOps, BootAndPortalSettings)
{
    MAL_BootTargetSetting boot = {1, "secondary"};
    EXPECT_EQ(0, MAL_ConfigureBootTarget(u_, &boot));
    MAL_BootTargetSetting other = {0, "Tertiary"};
    EXPECT_EQ(0, MAL_ConfigureBootTarget(u_, &other));
    outcomes["ConfigureBootTarget"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE};
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, MAL_ConfigureBootTarget(u_, &other));

    MAL_TargetPortalProperties portal;
    std::memset(&portal, 0, sizeof portal);
    const uint8_t v4[4] = {10, 0, 0, 9};
    std::memcpy(portal.TargetIPAddress.ipv4, v4, 4);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_AddTargetPortalToTarget(u_, &portal)); // port 0
    portal.TargetPortNumber = 3260;
    EXPECT_EQ(RM_STATUS_OK, MAL_AddTargetPortalToTarget(u_, &portal));
    portal.AddressFlags = 1;
    portal.TargetIPAddress.ipv6[0] = 0xfe;
    portal.TargetIPAddress.ipv6[1] = 0x80;
    portal.TargetIPAddress.ipv6[15] = 0x01;
    outcomes["AddTargetPortal"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_PORTAL_FOUND};
    EXPECT_EQ(RM_STATUS_ERROR_DUPLICATE_ENTRY, MAL_AddTargetPortalToTarget(u_, &portal));

    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_Set_BootLUN(u_, 2));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetSession_iSCSIBoot(u_, 2));
    EXPECT_EQ(RM_STATUS_OK, MAL_Set_BootLUN(u_, 1));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetSession_iSCSIBoot(u_, 0));
    EXPECT_EQ((Calls{"ConfigureBootTarget(True,secondary)", "ConfigureBootTarget(False,None)",
                     "ConfigureBootTarget(False,None)", "AddTargetPortal(10.0.0.9,3260)",
                     "AddTargetPortal(fe80:0000:0000:0000:0000:0000:0000:0001,3260)", "BootLUN=True",
                     "iSCSIBoot=false"}),
              calls);
}

TEST_F(MalPortOps, EraseOutcomes)
{
    struct Case {
        Outcome outcome;
        RM_STATUS expected;
    } cases[] = {
        {{VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS}, RM_STATUS_OK},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_REBOOT_REQUIRED}, RM_STATUS_REBOOT_REQUIRED},
        {{VEXO_STATUS_ADAPTER_BUSY, VEXO_STATUS_ADAPTER_BUSY}, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
        {{VEXO_STATUS_FAILURE, VEXO_STATUS_FAILURE}, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
    };
    for (const Case &c : cases) {
        outcomes["EraseAll"] = c.outcome;
        EXPECT_EQ(c.expected, MAL_EraseConfig(u_, "EraseAll", '1')) << c.outcome.code;
    }
    calls.clear();
    outcomes.clear();
    EXPECT_EQ(RM_STATUS_OK, MAL_EraseConfig(u_, "EraseAll", 0xFF));
    EXPECT_EQ((Calls{"EraseAll()"}), calls);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_EraseConfig(u_, "NoSuchAction", 0xFF));
}

} // namespace
