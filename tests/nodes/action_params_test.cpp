// Parameters of the actions of the adapter, NIC-function and iSCSI-function
// tables, validated through VEXO_do_action as a client runs them: refusals
// leave their status and text in the last status and never reach the
// handler; accepted parameters reach it, absent optional ones zero-filled.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/nodes_nic.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "node_table_check.h"

using namespace nodestest;

namespace {

// What the stand-in handler saw.
struct ProbeLog {
    int calls = 0;
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
};
ProbeLog probe_log;

VEXO_status_t probe(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    probe_log.calls++;
    std::memcpy(probe_log.params, params, sizeof probe_log.params);
    return VEXO_STATUS_SUCCESS;
}

// A parameter text: nullptr is absent; "*N" is N letters, and "*256"
// fills the whole slot with no terminator.
struct ParamCase {
    const char *group; // path below Arcwright0, "" for the adapter group
    const char *action;
    std::vector<const char *> params;
    int status;       // 0: accepted and handed to the handler
    const char *text;     // expected last-status text of a refusal
};


const ParamCase kCases[] = {
    // Image path of the firmware upgrade: 3 to 255 characters.
    {"", "UpgradeFlashROM", {nullptr}, 9, "UFIFileName: Parameter missing."},
    {"", "UpgradeFlashROM", {"ab"}, 8, "UFIFileName: Number of characters should be from 3 to 255."},
    {"", "UpgradeFlashROM", {"abc"}, 0, nullptr},
    {"", "UpgradeFlashROM", {"*255"}, 0, nullptr},
    {"", "UpgradeFlashROM", {"*256"}, 8, "UFIFileName: Number of characters should be from 3 to 255."},
    {"", "RetrieveStratolinkCoreDump", {"core.bin", "Test live"}, 0, nullptr},
    {"", "RetrieveStratolinkCoreDump", {"core.bin", "live test"}, 6, "CoreDumpString: Invalid value."},
    {"", "RetrieveFwCliData", {"out.txt", "x"}, 8, "FWCliString: Number of characters should be from 2 to 255."},
    {"", "RetrieveFwCliData", {"out.txt", nullptr}, 9, "FWCliString: Parameter missing."},
    {"", "ResetFactoryDefaults", {nullptr}, 0, nullptr},
    {"", "ResetFactoryDefaults", {"257"}, 7, "ProfileId: Value out of range. Valid range is from 0 to 256."},
    {"", "EraseAllConfiguration", {}, 0, nullptr},
    {"Personality", "SetPersonality", {"fcoe"}, 0, nullptr},
    {"Personality", "SetPersonality", {"FC"}, 6, "NewPersonality: Invalid value."},
    {"ChannelManagement", "ConfigureChannelManagement", {"enabled"}, 0, nullptr},
    {"ChannelManagement", "ConfigureChannelManagement", {"Enabled", "HLFlex"}, 6, "ChannelType: Invalid value."},
    {"LinkReconfiguration", "SetLinkConfigID", {"32"}, 0, nullptr},
    {"LinkReconfiguration", "SetLinkConfigID", {"33"}, 7,
     "LinkConfigID: Value out of range. Valid range is from 0 to 32."},
    {"ProfileManagement", "SetProfileId", {"0"}, 7, "ProfileId: Value out of range. Valid range is from 1 to 256."},
    {"ProfileManagement", "SetProfileId", {"256"}, 0, nullptr},
    {"ProfileManagement/ConfiguredProfile", "SetMaxFunctionNumber", {nullptr}, 0, nullptr},
    {"ProfileManagement/ConfiguredProfile", "SetMaxFunctionNumber", {"16"}, 7,
     "FunctionNumber: Value out of range. Valid range is from 0 to 15."},
    {"ExtFATData", "EnableLoggingOnAllModules", {"255"}, 6, "TraceLevel: Invalid value."},
    {"ExtFATData", "EnableLoggingOnAllModules", {"128", "yes", nullptr}, 0, nullptr},
    {"ExtFATData", "RetrieveARMLog", {"arm.log", "ram"}, 0, nullptr},
    {"FATData", "RetrieveFATData", {"fa"}, 8, "FATFileName: Number of characters should be from 3 to 255."},
    // The byte counts of the two diagnostic tests.
    {"Diagnostics", "NetworkLoopBackTest", {"AABBCCDD", "1499", "1", "0", "0", "MacLoopBack"}, 7,
     "ByteCount: Value out of range. Valid range is from 1500 to 8192."},
    {"Diagnostics", "NetworkLoopBackTest", {"AABBCCDD", "1500", "1", "0", "0", "MacLoopBack"}, 0, nullptr},
    {"Diagnostics", "NetworkLoopBackTest", {"AABBCCDD", "8192", "1", "1", "1", "twoportloopback"}, 0, nullptr},
    {"Diagnostics", "NetworkLoopBackTest", {"AABBCCDD", "8193", "1", "0", "0", "MacLoopBack"}, 7,
     "ByteCount: Value out of range. Valid range is from 1500 to 8192."},
    {"Diagnostics", "NetworkLoopBackTest", {"AABBCCDD", "1500", "1", "0", "0", "Loop"}, 6,
     "LoopbackType: Invalid value."},
    {"Diagnostics", "HostToDDRDMATest", {"AABBCCDD", "63", "1"}, 7,
     "ByteCount: Value out of range. Valid range is from 64 to 4096."},
    {"Diagnostics", "HostToDDRDMATest", {"AABBCCDD", "64", "1"}, 0, nullptr},
    {"Diagnostics", "HostToDDRDMATest", {"AABBCCDD", "4096", "4096"}, 0, nullptr},
    {"Diagnostics", "HostToDDRDMATest", {"AABBCCDD", "4097", "1"}, 7,
     "ByteCount: Value out of range. Valid range is from 64 to 4096."},
    {"Diagnostics", "HostToDDRDMATest", {"AABBCCDD", "64", "0"}, 7,
     "LoopCount: Value out of range. Valid range is from 1 to 4096."},
    {"Diagnostics", "HostToDDRDMATest", {"*17", "64", "1"}, 8,
     "Pattern: Number of characters should be from 3 to 16."},
    {"Diagnostics", "EnterLoopBackMode", {"0", "4", "PhyLoopBack"}, 7,
     "DestinationPortNumber: Value out of range. Valid range is from 0 to 3."},
    {"Diagnostics", "ExitLoopBackMode", {"3", "3"}, 0, nullptr},
    // NIC function.
    {"NICPhysicalHBA0/NetworkBootConfiguration", "SetNetworkBoot", {"Enabled", nullptr}, 0, nullptr},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "SetNetworkBoot", {"On"}, 6, "NetworkBootState: Invalid value."},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "ConfigureVLAN", {"4095"}, 0, nullptr},
    {"NICPhysicalHBA0/NetworkBootConfiguration", "ConfigureVLAN", {"4096"}, 7,
     "VLANId: Value out of range. Valid range is from 0 to 4095."},
    {"NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", {"252", "64"}, 0, nullptr},
    {"NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", {"253", "1"}, 7,
     "RegisterOffset: Value out of range. Valid range is from 0 to 252."},
    {"NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", {"0", "0"}, 7,
     "Count: Value out of range. Valid range is from 1 to 64."},
    {"NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", {"0", "65"}, 7,
     "Count: Value out of range. Valid range is from 1 to 64."},
    {"NICPhysicalHBA0", "ResetMACAddress", {}, 0, nullptr},
    // iSCSI function: instance numbers stop at the instance limits.
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/RouteTable", "DeleteRouteTableEntry", {"1023"}, 0, nullptr},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/RouteTable", "DeleteRouteTableEntry", {"1024"}, 7,
     "InstanceNumber: Value out of range. Valid range is from 0 to 1023."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/RouteTable", "AddRouteTableEntry",
     {"10.1.0.0", "255.255.0.0", "10.0.0.1"}, 0, nullptr},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/RouteTable", "AddRouteTableEntry",
     {"10.1.0.0", "255.0.255.0", "10.0.0.1"}, 6, "SubnetMask: Invalid value."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/ARPTable", "DeleteARPTableEntry", {"64"}, 7,
     "InstanceNumber: Value out of range. Valid range is from 0 to 63."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/ARPTable", "AddARPTableEntry", {"10.0.0.7", "00:11:22:33:44:5"},
     8, "MACAddress: Number of characters should be from 17 to 17."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/ARPTable", "AddARPTableEntry", {"10.0.0.7", "00:11:22:33:44:55"},
     0, nullptr},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration", "ConfigureVLAN", {"4095"}, 7,
     "VLANId: Value out of range. Valid range is from 0 to 4094."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration", "Ping", {"not-an-address"}, 6, "IPAddress: Invalid value."},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/IPv6Configuration", "AutoAssignEnable", {"dhcp"}, 0, nullptr},
    {"iSCSIPhysicalHBA0/Network/TCPIPConfiguration/IPv6Configuration", "ConfigureIPv6Address", {"3", "fe80::1"}, 6,
     "AddressType: Invalid value."},
    {"iSCSIPhysicalHBA0/iSNS", "DeleteiSNSServer", {"3"}, 0, nullptr},
    {"iSCSIPhysicalHBA0/iSNS", "DeleteiSNSServer", {"4"}, 7,
     "InstanceNumber: Value out of range. Valid range is from 0 to 3."},
    {"iSCSIPhysicalHBA0/iSNS", "ConfigureiSNSServer", {"10.0.0.9", nullptr}, 0, nullptr},
    {"iSCSIPhysicalHBA0/iSNS", "ConfigureiSNSServer", {"10.0.0.9", "1023"}, 7,
     "PortNum: Value out of range. Valid range is from 1024 to 65535."},
    {"iSCSIPhysicalHBA0", "EraseConfiguration", {nullptr}, 0, nullptr},
    {"iSCSIPhysicalHBA0", "EraseConfiguration", {"0"}, 0, nullptr},
    {"iSCSIPhysicalHBA0", "EraseConfiguration", {"1"}, 7,
     "LogicalHBAInstanceNumber: Value out of range. Valid range is from 0 to 0."},
};

class ActionParams : public NodeTreeTest {
protected:
    void SetUp() override
    {
        NodeTreeTest::SetUp();
        adapter_ = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, adapter_);
        ASSERT_NE(nullptr, initialize_NICPhysicalHBA(adapter_, nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, initialize_iSCSIPhysicalHBA(adapter_, nullptr, nullptr, nullptr));
    }

    // Runs one action as a client does; the action's handler is the probe
    // for the call, so that what validation passes is seen.
    VEXO_status_t run(const ParamCase &c)
    {
        node *group = c.group[0] ? fixed_group(adapter_, c.group) : adapter_;
        if (!group) {
            ADD_FAILURE() << "no group " << c.group;
            return VEXO_STATUS_UNKNOWN_ERROR;
        }
        node_tag_t act = -1;
        char name[VEXO_VALUE_SIZE];
        std::snprintf(name, sizeof name, "%s", c.action);
        if (VEXO_get_node_tag(group->node_tag, name, &act, VEXO_NODE_ACTION) != VEXO_STATUS_SUCCESS) {
            ADD_FAILURE() << "no action " << c.action << " in " << c.group;
            return VEXO_STATUS_UNKNOWN_ERROR;
        }
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        for (int i = 0; i < VEXO_MAX_PARAMS; ++i)
            params[i][0] = static_cast<char>(VEXO_PARAM_ABSENT);
        for (size_t i = 0; i < c.params.size(); ++i) {
            const char *p = c.params[i];
            if (!p)
                continue;
            if (p[0] == '*') {
                size_t n = std::strtoul(p + 1, nullptr, 10);
                std::memset(params[i], 'a', n < VEXO_VALUE_SIZE ? n : VEXO_VALUE_SIZE);
                if (n < VEXO_VALUE_SIZE)
                    params[i][n] = '\0';
            } else {
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", p);
            }
        }
        action *record = get_node(act)->u.act;
        action_function bound = record->func;
        record->func = probe;
        probe_log = ProbeLog();
        node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
        VEXO_status_t r = VEXO_do_action(group->node_tag, act, params, new_tags);
        record->func = bound;
        return r;
    }

    node *adapter_ = nullptr;
};

TEST_F(ActionParams, ParametersAreValidatedAsTheTablesSay)
{
    for (const ParamCase &c : kCases) {
        SCOPED_TRACE(std::string(c.group) + " " + c.action);
        VEXO_status_t r = run(c);
        VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
        char text[VEXO_LAST_STATUS_SIZE] = "";
        VEXO_get_last_status(&code, text);
        if (c.status != 0) {
            EXPECT_EQ(VEXO_STATUS_FAILURE, r);
            EXPECT_EQ(c.status, static_cast<int>(code));
            EXPECT_STREQ(c.text, text);
            EXPECT_EQ(0, probe_log.calls) << "refused parameters reached the handler";
            continue;
        }
        EXPECT_EQ(VEXO_STATUS_SUCCESS, r) << text;
        EXPECT_EQ(VEXO_STATUS_SUCCESS, code) << text;
        ASSERT_EQ(1, probe_log.calls);
        for (size_t i = 0; i < c.params.size(); ++i) {
            const char *p = c.params[i];
            if (!p) {
                char zero[VEXO_VALUE_SIZE] = {};
                EXPECT_EQ(0, std::memcmp(zero, probe_log.params[i], VEXO_VALUE_SIZE))
                    << "absent parameter " << i << " is not zero-filled";
            } else if (p[0] != '*') {
                EXPECT_STREQ(p, probe_log.params[i]);
            }
        }
    }
}

TEST_F(ActionParams, ActionsWithoutHandlerAnswerOneAfterValidation)
{
    // Every action still bound null: with all parameters absent it is
    // either refused for its first mandatory parameter or answers 1 with
    // last status 0; nothing is called.
    node *nic = get_first_instance(adapter_, "NICPhysicalHBA");
    node *iscsi = get_first_instance(adapter_, "iSCSIPhysicalHBA");
    int unbound = 0;
    for (node *instance : {adapter_, nic, iscsi}) {
        for (const OwnNode &o : own_nodes(instance)) {
            if (o.n->node_type != VEXO_NODE_ACTION || o.n->u.act->func)
                continue;
            ++unbound;
            const VEXO_param_info &info = o.n->u.act->p;
            bool mandatory = false;
            for (int i = 0; i < info.param_count && !mandatory; ++i)
                mandatory = info.params[i].mandatory != 0;
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
            std::memset(params, 0xFF, sizeof params);
            VEXO_status_t r = VEXO_do_action(o.n->parent->node_tag, o.n->node_tag, params, nullptr);
            VEXO_status_t code = VEXO_STATUS_UNKNOWN_ERROR;
            char text[VEXO_LAST_STATUS_SIZE];
            VEXO_get_last_status(&code, text);
            EXPECT_EQ(VEXO_STATUS_FAILURE, r) << o.n->node_name;
            EXPECT_EQ(mandatory ? VEXO_STATUS_MISSING_MANDATORY_PARAM : VEXO_STATUS_SUCCESS, code) << o.n->node_name;
        }
    }
    SUCCEED() << unbound << " actions without handler";
}

} // namespace
