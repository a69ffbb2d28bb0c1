// The client layer's channel management, FRU VPD and profile operations on
// a test group whose actions and writes are recorded.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_profile_ops.h"
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

// One group standing in for the adapter and a port.
const hm_node_row unit_rows[] = {
    ACT("RetrieveFwCliData", 2), ACT("ResetFactoryDefaults", 1),
    HM_GROUP("ChannelManagement", "channels", nullptr),
        RW("SupportedMCTypes", "vNIC2,NPAR,vNIC1,UFP,HLZMR,HLFlex,HLFlexQBG"), RW("CurrentManagementType", "UFP"),
        RW("ConfiguredManagementType", "NPAR"),
        ACT("ConfigureChannelManagement", 2),
    HM_END(),
    HM_GROUP("FRUVPD", "FRU VPD", nullptr),
        RW("FRUVPDData0", ""), RW("FRUVPDData1", ""), RW("FRUVPDData2", ""), RW("FRUVPDData3", ""),
        RW("FRUVPDData4", ""), RW("FRUVPDData5", ""), RW("FRUVPDData6", ""), RW("FRUVPDData7", ""),
        RW("FRUVPDData8", ""), RW("FRUVPDData9", ""), RW("FRUVPDData10", ""), RW("FRUVPDData11", ""),
    HM_END(),
    HM_GROUP("ProfileManagement", "profiles", nullptr),
        RW("RebootRequired", "Yes"),
        ACT("SetProfileId", 1), ACT("SetFactoryDefaults", 0), ACT("SaveProfile", 0),
        HM_GROUP("ActiveProfile", "active", nullptr),
            RW("ProfileId", "7"),
        HM_END(),
        HM_GROUP("ConfiguredProfile", "configured", nullptr),
            RW("ProfileId", "8"),
            ACT("SetMaxFunctionNumber", 1),
        HM_END(),
    HM_END(),
};
const hm_node_row channel_rows[] = {
    RW("Type", "vNIC"), RW("FunctionNumber", "0x1a"), RW("LogicalLinkState", "Enabled"),
    RW("MACAddress", "00-90-fa-00-00-21"), RW("LPVID", "12"), RW("OuterVLANID", "30"), RW("vNICName", "ch"),
    RW("MinBandwidth", "10"), RW("MaxBandwidth", "100"),
    ACT("ConfigureQoS", 2),
};
const hm_node_row profile_rows[] = {RW("ProfileDescription", "a profile"), RW("ProfileId", "1")};
const hm_node_row protocol_rows[] = {RW("ProtocolName", "NIC"), RW("FunctionCount", "2")};
const hm_node_row port_rows[] = {RW("MaxRoCEPFCount", "3")};
const hm_node_row function_rows[] = {RW("Protocol", "iSCSI"), RW("MACAddress", "00-90-fa-00-00-31"),
                                     RW("FunctionNumber", "0x3")};

uint8_t unit_bits[HM_BIT_FIELD_BYTES(2, 1)];
uint8_t channel_bits[HM_BIT_FIELD_BYTES(32, 2)];
uint8_t profile_bits[HM_BIT_FIELD_BYTES(40, 2)];
uint8_t protocol_bits[HM_BIT_FIELD_BYTES(8, 80)];
uint8_t port_bits[HM_BIT_FIELD_BYTES(4, 2)];
uint8_t function_bits[HM_BIT_FIELD_BYTES(8, 8)];

#define TYPE(var, name, max, bits, rows)                                                                    \
    const hm_group_type var = {name, name, max, 0, nullptr, bits, sizeof bits, rows, HM_ROW_COUNT(rows)}
TYPE(unit_type, "Unit", 2, unit_bits, unit_rows);
TYPE(channel_type, "Channel", 32, channel_bits, channel_rows);
TYPE(profile_type, "Profile", 40, profile_bits, profile_rows);
TYPE(protocol_type, "Protocol", 8, protocol_bits, protocol_rows);
TYPE(port_type, "Port", 4, port_bits, port_rows);
TYPE(function_type, "Function", 8, function_bits, function_rows);

node *build(const hm_group_type *type, node *parent)
{
    return hm_build_group(type, parent, nullptr, nullptr, nullptr);
}

class MalProfileOps : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(1, VEXO_init());
        unit_ = build(&unit_type, get_node(0));
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
    node *child(node *parent, const char *name) { return internal_get_node(parent, name, VEXO_NODE_GROUP); }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *unit_ = nullptr;
    node_tag_t u_ = -1;
};

TEST_F(MalProfileOps, ChannelModes)
{
    MAL_ChannelMgmtCnaInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetChannelMgmtCnaInfo(u_, &info));
    EXPECT_STREQ("vNIC2,NPAR,vNIC1,UFP,HLZMR,HLFlex,HLFlexQBG", info.SupportedMCTypes);
    EXPECT_STREQ("UFP", info.CurrentManagementType);
    EXPECT_STREQ("NPAR", info.ConfiguredManagementType);

    struct Case {
        const char *mode;
        RM_STATUS expected;
        const char *sent; // null: nothing
    } cases[] = {
        {"vnic1", RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {"HLFlex", RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {"N/A", RM_STATUS_OK, "ConfigureChannelManagement(Disabled,)"},
        {"UFP", RM_STATUS_OK, "ConfigureChannelManagement(Enabled,UFP)"},
    };
    for (const Case &c : cases) {
        calls.clear();
        std::snprintf(info.ConfiguredManagementType, sizeof info.ConfiguredManagementType, "%s", c.mode);
        EXPECT_EQ(c.expected, MAL_SetChannelMgmtCnaInfo(u_, &info)) << c.mode;
        EXPECT_EQ(c.sent ? Calls{c.sent} : Calls{}, calls) << c.mode;
    }
}

TEST_F(MalProfileOps, ChannelsOfAPort)
{
    MAL_ChannelInfo channels[MAL_MAX_CHANNELS + 1];
    std::memset(channels, 0x5A, sizeof channels);
    EXPECT_EQ(RM_STATUS_ERROR, MAL_GetChannelMgmtPortInfo(u_, channels));
    node *cm = child(unit_, "ChannelManagement");
    node *first = nullptr;
    for (int i = 0; i < 20; ++i) {
        node *ch = build(&channel_type, cm);
        ASSERT_TRUE(ch);
        set_value(ch, "LPVID", std::to_string(i).c_str());
        first = first ? first : ch;
    }
    ASSERT_EQ(RM_STATUS_OK, MAL_GetChannelMgmtPortInfo(u_, channels));
    EXPECT_EQ(15, channels[15].LPVID);
    EXPECT_EQ(0x5A5A5A5A, channels[16].LPVID); // the caller's 16 records only
    EXPECT_STREQ("vNIC", channels[0].Type);
    EXPECT_EQ(0x1au, channels[0].FunctionNumber);
    EXPECT_EQ(1, channels[0].LogicalLinkState);
    EXPECT_EQ(0x21, channels[0].MACAddress[5]);
    EXPECT_EQ(100, channels[0].MaxBandwidth);

    node_tag_t ch = first->node_tag;
    calls.clear();
    EXPECT_EQ(RM_STATUS_OK, MAL_SetChannelMgmtLogicalLinkState(ch, 0x101));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetChannelMgmtLogicalLinkState(ch, 0x200));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetChannelMgmtLogicalLinkState(ch, 0x102));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetChannelMgmtLPVID(ch, 44));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetChannelMgmtPortType(ch, "NIC"));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetChannelMgmtBandwidth(ch, 20, 80));
    outcomes["ConfigureQoS"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE};
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetChannelMgmtBandwidth(ch, 90, 80));
    EXPECT_EQ((Calls{"LogicalLinkState=Enabled", "LogicalLinkState=Disabled", "LPVID=44", "Type=NIC",
                     "ConfigureQoS(20,80)", "ConfigureQoS(90,80)"}),
              calls);
}

TEST_F(MalProfileOps, FruVpdBytes)
{
    uint8_t buffer[2000];
    uint32_t length = 1535;
    EXPECT_EQ(RM_STATUS_ERROR_BUFFER_TOO_SMALL, MAL_GetFRUVPD(u_, buffer, &length));
    EXPECT_EQ(1535u, length);

    node *fru = child(unit_, "FRUVPD");
    set_value(fru, "FRUVPDData0", "abc");  // odd: the last digit is a byte of its own
    set_value(fru, "FRUVPDData11", "ff"); // the twelfth segment is read too
    std::memset(buffer, 0x5A, sizeof buffer);
    length = sizeof buffer;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetFRUVPD(u_, buffer, &length));
    EXPECT_EQ(3u, length);
    EXPECT_EQ((std::vector<uint8_t>{0xab, 0x0c, 0xff, 0x5A}), std::vector<uint8_t>(buffer, buffer + 4));

    // Twelve full segments fill the 1536 bytes exactly.
    std::string full(256, 'e');
    for (int i = 0; i < 12; ++i)
        set_value(fru, ("FRUVPDData" + std::to_string(i)).c_str(), full.substr(0, 255).c_str());
    length = 1536;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetFRUVPD(u_, buffer, &length));
    EXPECT_EQ(12u * 128u, length);
    EXPECT_EQ(0x0e, buffer[1535]);

    remove_child(unit_, "FRUVPD");
    length = sizeof buffer;
    EXPECT_EQ(RM_STATUS_ERROR_NOT_AVAILABLE, MAL_GetFRUVPD(u_, buffer, &length));
}

TEST_F(MalProfileOps, ProfileInformation)
{
    node *pm = child(unit_, "ProfileManagement");
    node *p0 = build(&profile_type, pm);
    node *p1 = build(&profile_type, pm);
    ASSERT_TRUE(p0 && p1);
    set_value(p1, "ProfileId", "2");
    build(&protocol_type, p0);
    node *lower = build(&protocol_type, p0);
    set_value(lower, "ProtocolName", "nic");
    node *port = build(&port_type, child(pm, "ActiveProfile"));
    build(&function_type, port);
    node *roce = build(&function_type, port);
    set_value(roce, "Protocol", "NIC+RoCE");
    build(&function_type, build(&port_type, child(pm, "ConfiguredProfile")));

    auto info = std::make_unique<MAL_ProfileInfo>();
    std::memset(info.get(), 0, sizeof *info);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetProfileInfo(u_, info.get()));
    EXPECT_EQ(1, info->Valid);
    EXPECT_EQ(1, info->RebootRequired);
    EXPECT_EQ(4, info->Fixed1);
    EXPECT_EQ(4, info->Fixed2);
    ASSERT_EQ(2, info->ProfileCount);
    EXPECT_EQ(2, info->Profiles[1].ProfileId);
    ASSERT_EQ(2, info->Profiles[0].ProtocolCount);
    EXPECT_EQ(MAL_PROTOCOL_NIC, info->Profiles[0].Protocols[0].Protocol);
    EXPECT_EQ(MAL_PROTOCOL_OTHER, info->Profiles[0].Protocols[1].Protocol);
    EXPECT_EQ(2, info->Profiles[0].Protocols[1].FunctionCount);
    EXPECT_EQ(7, info->ActiveProfile.ProfileId);
    ASSERT_EQ(1, info->ActiveProfile.PortCount);
    EXPECT_EQ(3, info->ActiveProfile.Ports[0].MaxRoCEPFCount);
    ASSERT_EQ(2, info->ActiveProfile.Ports[0].FunctionCount);
    EXPECT_EQ(MAL_PROTOCOL_NIC_ROCE, info->ActiveProfile.Ports[0].Functions[1].Protocol);
    EXPECT_EQ(8, info->ConfiguredProfile.ProfileId);
    EXPECT_EQ(0, info->ConfiguredProfile.Ports[0].MaxRoCEPFCount);

    MAL_FunctionProfileSetting f;
    std::memset(&f, 0, sizeof f);
    ASSERT_EQ(RM_STATUS_OK, MAL_GetPMFunctionProfileSetting(roce->node_tag, &f));
    EXPECT_EQ(MAL_PROTOCOL_NIC_ROCE, f.Protocol);
    EXPECT_EQ(3u, f.FunctionNumber);
    EXPECT_EQ(0x31, f.MACAddress[5]);

    // 33 profiles: the record is left as it was.
    for (int i = 0; i < 31; ++i)
        ASSERT_TRUE(build(&profile_type, pm));
    std::memset(info.get(), 0x5A, sizeof *info);
    EXPECT_EQ(RM_STATUS_ERROR_TOO_MANY_PROFILES, MAL_GetProfileInfo(u_, info.get()));
    EXPECT_EQ(0x5A5A5A5A, info->ProfileCount);
    EXPECT_EQ(0x5A5A5A5A, info->Valid);
}

TEST_F(MalProfileOps, ProfileActions)
{
    EXPECT_EQ(RM_STATUS_OK, MAL_SetMaxFunctionNumber(u_, -1));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetMaxFunctionNumber(u_, 15));
    EXPECT_EQ(RM_STATUS_OK, MAL_PM_SetFactoryDefaults(u_));
    EXPECT_EQ(RM_STATUS_OK, MAL_PM_SaveProfile(u_));
    auto setting = std::make_unique<MAL_ProfileSetting>();
    std::memset(setting.get(), 0, sizeof *setting);
    setting->ProfileId = 3;
    setting->PortCount = 1;
    setting->Ports[0].FunctionCount = 3;
    setting->Ports[0].Functions[0].Protocol = MAL_PROTOCOL_NIC;
    setting->Ports[0].Functions[1].Protocol = MAL_PROTOCOL_NIC_ROCE;
    setting->Ports[0].Functions[2].Protocol = MAL_PROTOCOL_FCOE;
    // The profile id is set; the protocols action does not exist.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetPortProtocols(u_, setting.get()));
    setting->PortCount = 7;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_SetPortProtocols(u_, setting.get()));

    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_Run_FwCli(u_, "", "/tmp/out.txt"));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_Run_FwCli(u_, "showlog", nullptr));
    EXPECT_EQ(0, MAL_Run_FwCli(u_, "showlog", "/tmp/out.txt"));
    outcomes["RetrieveFwCliData"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE};
    EXPECT_EQ(VEXO_STATUS_FAILURE, MAL_Run_FwCli(u_, "showlog", "/tmp/out.txt"));

    EXPECT_EQ(0, MAL_ResetFactoryDefaults(u_));
    outcomes["ResetFactoryDefaults"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_INVALID_VALUE};
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, MAL_ResetFactoryDefaults(u_));
    outcomes["ResetFactoryDefaults"] = {VEXO_STATUS_FAILURE, VEXO_STATUS_SUCCESS};
    EXPECT_NE(0, MAL_ResetFactoryDefaults(u_));

    EXPECT_EQ((Calls{"SetMaxFunctionNumber()", "SetMaxFunctionNumber(15)", "SetFactoryDefaults()", "SaveProfile()",
                     "SetProfileId(3)", "RetrieveFwCliData(/tmp/out.txt,showlog)",
                     "RetrieveFwCliData(/tmp/out.txt,showlog)", "ResetFactoryDefaults()", "ResetFactoryDefaults()",
                     "ResetFactoryDefaults()"}),
              calls);
}

} // namespace
