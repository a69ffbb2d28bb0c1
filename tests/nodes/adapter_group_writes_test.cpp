// Writes and action parameters on the repeated groups below an adapter
// (ports, channels, priority groups, application entries, profiles, NC-SI
// and trace modes), checked against their tables before any handler: the
// values the back end and its clients rely on getting through or not.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_ncsi_logs.h"
#include "mgmt/aw/vexo-backend/nodes_port.h"
#include "mgmt/aw/vexo-backend/nodes_profile.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

const char kPort[] = "PortDiscoveryAndConfiguration0";
const char kBaseT[] = "PortDiscoveryAndConfiguration0/BaseT10G";
const char kChannel[] = "PortDiscoveryAndConfiguration0/ChannelManagement/Channel0";
const char kAdminPG[] = "PortDiscoveryAndConfiguration0/DCBX/PriorityGroups/AdministratorPGSetting/PG0";
const char kAdminTLV[] = "PortDiscoveryAndConfiguration0/DCBX/ApplicationTLVGroups/AdministratorTLVSetting";
const char kAdminApp[] =
    "PortDiscoveryAndConfiguration0/DCBX/ApplicationTLVGroups/AdministratorTLVSetting/ApplicationTLV0";
const char kPeerApp[] = "PortDiscoveryAndConfiguration0/DCBX/ApplicationTLVGroups/PeerTLVSetting/ApplicationTLV0";
const char kActivePort[] = "ProfileManagement/ActiveProfile/Port0";
const char kConfiguredPort[] = "ProfileManagement/ConfiguredProfile/Port0";
const char kMode[] = "ExtFATData/ExtFATModule0/ExtFATMode0";
const char kNCSIStatic[] = "NCSI/NCSIStaticConfiguration0";
const char kNCSIDynamic[] = "NCSI/NCSIDynamicConfiguration0";

struct WriteCase {
    const char *group; // path below the adapter
    const char *property;
    const char *value;
    int status; // 0: accepted and handed to the handler
};

const WriteCase kWrites[] = {
    // A string of one or two characters: the handler, not validation,
    // decides about "3".
    {kPort, "TXThrottle", "3", 0},
    {kPort, "TXThrottle", "100", 8},
    // The cached default "N/A" is not a value a client may write.
    {kPort, "TxFlowControl", "N/A", 6},
    {kPort, "TxFlowControl", "disabled", 0},
    {kPort, "PortNumber", "1", 10},
    {kChannel, "LPVID", "4094", 0},
    {kChannel, "LPVID", "4095", 7},
    {kChannel, "MinBandWidth", "10", 10},
    {kAdminApp, "PriorityBitMap", "0x08", 0},
    {kPeerApp, "PriorityBitMap", "0x08", 10},
    // Both multichannel lists hold every type, whatever their order.
    {kConfiguredPort, "MCType", "zmr", 0},
    {kConfiguredPort, "MCType", "HLFlexQBG", 0},
    {kConfiguredPort, "MCType", "Flex", 6},
    {kActivePort, "MCType", "ZMR", 10},
    {kMode, "TraceLevel", "255", 0},
    {kMode, "TraceLevel", "2", 6},
    {kMode, "PortMask", "FF", 8},
    {kMode, "PortMask", "0x1F", 0},
    {kNCSIDynamic, "MgmtVLANId", "4095", 0},
    {kNCSIDynamic, "MgmtVLANId", "4096", 7},
    {kNCSIDynamic, "Port0MAC", "00:11:22:33:44:5", 8},
    {kNCSIDynamic, "Port0MAC", "00:11:22:33:44:555", 8},
    {kNCSIDynamic, "Port0MAC", "00:11:22:33:44:55", 0},
    {kNCSIStatic, "EnableWOLPort0", "Yes", 10},
};

struct ActionCase {
    const char *group; // path below the adapter
    const char *action;
    std::vector<const char *> params; // nullptr: absent
    int status;                       // 0: accepted and handed to the handler
    const char *text;                 // last-status text of a refusal
};

const ActionCase kActions[] = {
    // The parameters are named "...Bandwidth", the properties "...BandWidth".
    {kChannel, "ConfigureQoS", {"10", "100"}, 0, nullptr},
    {kChannel, "ConfigureQoS", {"101", "100"}, 7, "MinBandwidth: Value out of range. Valid range is from 0 to 100."},
    {kChannel, "ConfigureQoS", {"10", nullptr}, 9, "MaxBandwidth: Parameter missing."},
    // 255 is no limit for the administrator priority group.
    {kAdminPG, "ConfigurePGSettings", {"0x3", "255"}, 0, nullptr},
    {kAdminPG, "ConfigurePGSettings", {"0x3", "256"}, 7,
     "Bandwidth: Value out of range. Valid range is from 0 to 255."},
    {kAdminTLV, "DeleteApplicationTLV", {"14"}, 0, nullptr},
    {kAdminTLV, "DeleteApplicationTLV", {"15"}, 7,
     "InstanceNumber: Value out of range. Valid range is from 0 to 14."},
    {kAdminTLV, "AddApplicationTLV", {"1", "3260", "0x10", nullptr}, 0, nullptr},
    {kAdminTLV, "AddApplicationTLV", {"2", "3260", "0x10", nullptr}, 7,
     "ProtocolSelector: Value out of range. Valid range is from 0 to 1."},
    {kPort, "Beacon", {nullptr, nullptr, "enabled"}, 0, nullptr},
    {kPort, "SetPortSpeed", {nullptr, "Default", nullptr}, 0, nullptr},
    {kPort, "SetPortSpeed", {"20Gb/10Gb/1Gb", "Force", "10"}, 0, nullptr},
    {kPort, "SetPortSpeed", {"All Supported Speeds", "Auto-Negotiate", nullptr}, 6, "Speed: Invalid value."},
    {kPort, "DumpTransceiverData", {"A1"}, 6, "WireAddress: Invalid value."},
    {kBaseT, "SelfTest", {"CrossTalk", "PairA", nullptr}, 0, nullptr},
    {kBaseT, "SelfTest", {"Noise", nullptr, nullptr}, 9, "SourceCable: Parameter missing."},
};

class AdapterGroupWrites : public NodeTreeTest {
protected:
    void SetUp() override
    {
        NodeTreeTest::SetUp();
        adapter_ = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, adapter_);
        node *port = initialize_PortDiscoveryAndConfiguration(adapter_, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, port);
        ASSERT_NE(nullptr, initialize_Channel(fixed_group(port, "ChannelManagement"), nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_AdministratorPGSetting_PG(
                               fixed_group(port, "DCBX/PriorityGroups/AdministratorPGSetting"), nullptr, nullptr,
                               nullptr));
        ASSERT_NE(nullptr, initialize_AdministratorTLVSetting_ApplicationTLV(
                               fixed_group(port, "DCBX/ApplicationTLVGroups/AdministratorTLVSetting"), nullptr,
                               nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_PeerTLVSetting_ApplicationTLV(
                               fixed_group(port, "DCBX/ApplicationTLVGroups/PeerTLVSetting"), nullptr, nullptr,
                               nullptr));
        ASSERT_NE(nullptr, initialize_ActiveProfile_Port(fixed_group(adapter_, "ProfileManagement/ActiveProfile"),
                                                         nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_ConfiguredProfile_Port(
                               fixed_group(adapter_, "ProfileManagement/ConfiguredProfile"), nullptr, nullptr,
                               nullptr));
        node *module = initialize_ExtFATModule(fixed_group(adapter_, "ExtFATData"), nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, module);
        ASSERT_NE(nullptr, initialize_ExtFATMode(module, nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr,
                  initialize_NCSIStaticConfiguration(fixed_group(adapter_, "NCSI"), nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr,
                  initialize_NCSIDynamicConfiguration(fixed_group(adapter_, "NCSI"), nullptr, nullptr, nullptr));
    }

    node *adapter_ = nullptr;
};

TEST_F(AdapterGroupWrites, PropertyWritesAreCheckedAgainstTheTables)
{
    for (const WriteCase &c : kWrites) {
        SCOPED_TRACE(std::string(c.group) + " " + c.property + " = \"" + c.value + "\"");
        expect_write_checked(fixed_group(adapter_, c.group), c.property, c.value, c.status);
    }
}

TEST_F(AdapterGroupWrites, ActionParametersAreCheckedAgainstTheTables)
{
    for (const ActionCase &c : kActions) {
        SCOPED_TRACE(std::string(c.group) + " " + c.action);
        expect_action_checked(fixed_group(adapter_, c.group), c.action, c.params, c.status, c.text);
    }
}

} // namespace
