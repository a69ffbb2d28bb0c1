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

int property_calls = 0;
int action_calls = 0;
char action_params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

VEXO_status_t property_probe(node *, char *, int type)
{
    property_calls += type == 1;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t action_probe(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    action_calls++;
    std::memcpy(action_params, params, sizeof action_params);
    return VEXO_STATUS_SUCCESS;
}

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
        node *group = fixed_group(adapter_, c.group);
        ASSERT_NE(nullptr, group);
        node *p = internal_get_node(group, c.property, VEXO_NODE_PROPERTY);
        ASSERT_NE(nullptr, p);

        // The probe stands in for the property's handler during the call.
        property_function bound = p->u.prop->func;
        p->u.prop->func = property_probe;
        property_calls = 0;
        char value[VEXO_VALUE_SIZE];
        std::snprintf(value, sizeof value, "%s", c.value);
        VEXO_status_t r = VEXO_set_property_val(group->node_tag, p->node_tag, value, sizeof value);
        p->u.prop->func = bound;

        VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
        char text[VEXO_LAST_STATUS_SIZE];
        VEXO_get_last_status(&code, text);
        if (c.status == 0) {
            EXPECT_EQ(VEXO_STATUS_SUCCESS, r) << text;
            EXPECT_EQ(1, property_calls);
        } else {
            EXPECT_EQ(VEXO_STATUS_FAILURE, r);
            EXPECT_EQ(c.status, static_cast<int>(code)) << text;
            EXPECT_EQ(0, property_calls) << "a refused value reached the handler";
        }
    }
}

TEST_F(AdapterGroupWrites, ActionParametersAreCheckedAgainstTheTables)
{
    for (const ActionCase &c : kActions) {
        SCOPED_TRACE(std::string(c.group) + " " + c.action);
        node *group = fixed_group(adapter_, c.group);
        ASSERT_NE(nullptr, group);
        node_tag_t act = -1;
        char name[VEXO_VALUE_SIZE];
        std::snprintf(name, sizeof name, "%s", c.action);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(group->node_tag, name, &act, VEXO_NODE_ACTION));
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
            params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
        for (size_t i = 0; i < c.params.size(); ++i)
            if (c.params[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", c.params[i]);

        action *record = get_node(act)->u.act;
        action_function bound = record->func;
        record->func = action_probe;
        action_calls = 0;
        node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
        VEXO_status_t r = VEXO_do_action(group->node_tag, act, params, new_tags);
        record->func = bound;

        VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
        char text[VEXO_LAST_STATUS_SIZE] = "";
        VEXO_get_last_status(&code, text);
        if (c.status != 0) {
            EXPECT_EQ(VEXO_STATUS_FAILURE, r);
            EXPECT_EQ(c.status, static_cast<int>(code));
            EXPECT_STREQ(c.text, text);
            EXPECT_EQ(0, action_calls) << "refused parameters reached the handler";
            continue;
        }
        EXPECT_EQ(VEXO_STATUS_SUCCESS, r) << text;
        ASSERT_EQ(1, action_calls);
        for (size_t i = 0; i < c.params.size(); ++i) {
            if (c.params[i]) {
                EXPECT_STREQ(c.params[i], action_params[i]);
            }
        }
    }
}

} // namespace
