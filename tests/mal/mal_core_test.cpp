// The client layer's core: wrappers and their status mapping, the busy
// adapter, start and stop, enumerations, lookups, converters and the trace.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "flash/engine_log.h"
#include "mal/mal_core.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace {

class MalCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        tree_state = TreeState();
        ASSERT_EQ(1, VEXO_init()); // the machine has no converged adapter
        adapter_ = build_adapter();
        ASSERT_TRUE(adapter_);
        a_ = adapter_->node_tag;
    }
    void TearDown() override
    {
        Options.LOG_MODE = 0;
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    node_tag_t tag(node_tag_t parent, const char *name, int type) { return tag_of(parent, name, type); }

    static void params_of(MAL_ActionParams params, const char *first)
    {
        std::memset(params, 0, sizeof(MAL_ActionParams));
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", first);
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *adapter_ = nullptr;
    node_tag_t a_ = -1;
};

TEST_F(MalCore, WrappersMapTheLibraryStatus)
{
    node_tag_t t = -1;
    EXPECT_EQ(RM_STATUS_OK, MAL_get_node_tag(0, "arcwright0", &t, MAL_NODE_GROUP)); // names ignore case
    EXPECT_EQ(a_, t);
    t = 77;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_get_node_tag(a_, "NoSuchThing", &t, MAL_NODE_PROPERTY));
    EXPECT_EQ(77, t);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_get_node_tag(a_, "Label", &t, 9));
    std::string too_long(300, 'x');
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_get_node_tag(a_, too_long.c_str(), &t, 0));

    node_tag_t label = tag(a_, "Label", VEXO_NODE_PROPERTY);
    char value[MAL_VALUE_SIZE] = "";
    EXPECT_EQ(RM_STATUS_OK, MAL_get_property_val(a_, label, value, sizeof value));
    EXPECT_STREQ("abc", value);
    EXPECT_EQ(RM_STATUS_OK, MAL_set_property_val(a_, label, "wxyz", 5));
    EXPECT_EQ(RM_STATUS_OK, MAL_get_property_val(a_, label, value, sizeof value));
    EXPECT_STREQ("wxyz", value);
    // A value the library refuses: 114, with the library's reason kept.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_set_property_val(a_, label, "ab", 3));
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, MAL_get_last_status(&code, text));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, code);
    EXPECT_STREQ("Number of characters should be from 3 to 20.", text);
    // A read-only property and a property of another group.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY,
              MAL_set_property_val(a_, tag(a_, "SerialNumber", VEXO_NODE_PROPERTY), "X", 2));
    node *nic = build_nic(adapter_);
    ASSERT_TRUE(nic);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_get_property_val(nic->node_tag, label, value, sizeof value));

    int instances[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    ASSERT_TRUE(build_nic(adapter_));
    EXPECT_EQ(RM_STATUS_OK, MAL_get_valid_instances(a_, "NICPhysicalHBA", instances, &count));
    ASSERT_EQ(2, count);
    EXPECT_EQ(0, instances[0]);
    EXPECT_EQ(1, instances[1]);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_get_valid_instances(9999, "NICPhysicalHBA", instances, &count));

    node *port = build_port(adapter_);
    ASSERT_TRUE(port);
    EXPECT_EQ(RM_STATUS_OK, MAL_refresh_group(tag(port->node_tag, "ChannelManagement", VEXO_NODE_GROUP)));
    EXPECT_EQ(1, tree_state.channel_refreshes);
}

TEST_F(MalCore, AnotherProcessHoldingTheAdapterLockGivesBusy)
{
    node *port = build_port(adapter_);
    ASSERT_TRUE(port);
    node_tag_t label = tag(a_, "Label", VEXO_NODE_PROPERTY);
    node_tag_t count_action = tag(a_, "Count", VEXO_NODE_ACTION);
    node_tag_t channels = tag(port->node_tag, "ChannelManagement", VEXO_NODE_GROUP);

    LockHolder other("SER0");
    ASSERT_TRUE(other.holding());
    char value[MAL_VALUE_SIZE] = "unchanged";
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_get_property_val(a_, label, value, sizeof value));
    EXPECT_STREQ("unchanged", value);
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_set_property_val(a_, label, "wxyz", 5));
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_refresh_group(channels));
    EXPECT_EQ(0, tree_state.channel_refreshes);
    MAL_ActionParams params;
    params_of(params, "3");
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_do_action(a_, count_action, params, nullptr, 1));
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    EXPECT_EQ(RM_STATUS_ERROR_ADAPTER_BUSY, MAL_do_action_with_status(a_, count_action, params, nullptr, &code, text));
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, code);
    EXPECT_STREQ("Failed to execute command because adapter is in busy state.", text);

    // Lookups take no adapter lock.
    node_tag_t t = -1;
    EXPECT_EQ(RM_STATUS_OK, MAL_get_node_tag(a_, "Label", &t, MAL_NODE_PROPERTY));
    int count = MAL_MAX_TAGS;
    uint32_t tags[MAL_MAX_TAGS];
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(a_, MAL_HBA_PORT, &count, tags));
    EXPECT_EQ(1, count);
}

TEST_F(MalCore, ActionsPassTheLibraryStatusThroughOnlyWhenAsked)
{
    node_tag_t act = tag(a_, "Count", VEXO_NODE_ACTION);
    MAL_ActionParams params;
    params_of(params, "abc");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_do_action(a_, act, params, nullptr, 0));
    params_of(params, "abc");
    EXPECT_EQ(VEXO_STATUS_FAILURE, MAL_do_action(a_, act, params, nullptr, 1));

    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    params_of(params, "abc");
    EXPECT_EQ(VEXO_STATUS_FAILURE, MAL_do_action_with_status(a_, act, params, nullptr, &code, text));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, code);
    EXPECT_STREQ("Count: Invalid value.", text);

    params_of(params, "3");
    std::vector<node_tag_t> new_tags(VEXO_MAX_NEW_TAGS, 5);
    EXPECT_EQ(RM_STATUS_OK, MAL_do_action_with_status(a_, act, params, new_tags.data(), &code, text));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, code);
    EXPECT_STREQ("counted", text);
    EXPECT_EQ(0, new_tags[0]); // no group was made
    params_of(params, "3");
    EXPECT_EQ(RM_STATUS_OK, MAL_do_action(a_, act, params, nullptr, 1));
    // An action that does not exist.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_do_action(a_, 99999, params, nullptr, 0));
}

TEST_F(MalCore, EnumerationsListInstancesAsTags)
{
    node *second = build_adapter();
    ASSERT_TRUE(second);
    node *p0 = build_port(adapter_);
    node *p1 = build_port(adapter_);
    node *nic = build_nic(adapter_);
    node *iscsi = build_iscsi(adapter_);
    node *logical = build_logical(iscsi);
    node *target = build_target(logical);
    node *portal0 = build_portal(logical);
    node *portal1 = build_portal(logical);
    node *channel = build_channel(p1);
    node *pm_port = build_pm_port(adapter_);
    ASSERT_TRUE(p0 && p1 && nic && iscsi && logical && target && portal0 && portal1 && channel && pm_port);

    uint32_t tags[MAL_MAX_TAGS + 1];
    int count = 0;
    auto reset = [&] {
        count = MAL_MAX_TAGS;
        std::memset(tags, 0xEE, sizeof tags);
    };
    auto as_tags = [&] { return std::vector<uint32_t>(tags, tags + count); };
    auto of = [](std::initializer_list<node *> nodes) {
        std::vector<uint32_t> v;
        for (node *n : nodes)
            v.push_back(static_cast<uint32_t>(n->node_tag));
        return v;
    };

    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
    EXPECT_EQ(of({adapter_, second}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(a_, MAL_HBA_PORT, &count, tags));
    EXPECT_EQ(of({p0, p1}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(a_, MAL_HBA_NIC, &count, tags));
    EXPECT_EQ(of({nic}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(a_, MAL_HBA_ISCSI, &count, tags));
    EXPECT_EQ(of({iscsi}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(iscsi->node_tag, MAL_HBA_LOGICAL, &count, tags));
    EXPECT_EQ(of({logical}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(second->node_tag, MAL_HBA_NIC, &count, tags));
    EXPECT_EQ(0, count);
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateTargets(logical->node_tag, &count, tags));
    EXPECT_EQ(of({target}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateTargetSubGroup(target->node_tag, MAL_TARGET_SESSION, &count, tags));
    EXPECT_EQ(0, count);
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateSendTargetPortals(logical->node_tag, &count, tags));
    EXPECT_EQ(of({portal0, portal1}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateChannels(p1->node_tag, &count, tags));
    EXPECT_EQ(of({channel}), as_tags());
    EXPECT_EQ(1, tree_state.channel_refreshes);
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumeratePMPorts(a_, "ActiveProfile", &count, tags));
    EXPECT_EQ(of({pm_port}), as_tags());
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumeratePMPortFunctions(pm_port->node_tag, &count, tags));
    EXPECT_EQ(0, count);
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateProfiles(a_, &count, tags));
    EXPECT_EQ(0, count);
    reset();
    EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateExtFatModules(a_, &count, tags));
    EXPECT_EQ(0, count);

    // Missing groups on the way are failures of the library.
    reset();
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_EnumeratePMPorts(a_, "ConfiguredProfile", &count, tags));
    reset();
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_EnumerateSendTargetPortals(a_, &count, tags));
    reset();
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_EnumerateProtocols(99999, &count, tags));
}

TEST_F(MalCore, EnumerationsCheckCapacityBeforeKind)
{
    uint32_t tags[MAL_MAX_TAGS];
    std::memset(tags, 0xEE, sizeof tags);
    struct Case {
        int count;
        int kind;
        RM_STATUS expected;
    } cases[] = {
        {1023, MAL_HBA_PORT, RM_STATUS_ERROR_ARRAY_TOO_SMALL},
        {10, 4, RM_STATUS_ERROR_ARRAY_TOO_SMALL},
        {1024, 4, RM_STATUS_ERROR_INVALID_VALUE},
        {1024, -1, RM_STATUS_ERROR_INVALID_VALUE},
        {1024, MAL_HBA_NIC, RM_STATUS_OK},
    };
    for (const Case &c : cases) {
        int count = c.count;
        EXPECT_EQ(c.expected, MAL_EnumerateHbas(a_, c.kind, &count, tags)) << c.count << "/" << c.kind;
        EXPECT_EQ(c.expected != RM_STATUS_OK ? c.count : 0, count);
    }
    EXPECT_EQ(0xEEEEEEEEu, tags[0]);
    int count = 1023;
    EXPECT_EQ(RM_STATUS_ERROR_ARRAY_TOO_SMALL, MAL_EnumerateArcwrights(&count, tags));
    count = 1024;
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_EnumerateTargetSubGroup(a_, 3, &count, tags));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_EnumerateArcwrights(nullptr, tags));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_EnumerateArcwrights(&count, nullptr));
}

TEST_F(MalCore, TagToInstanceFindsTheMember)
{
    node *n0 = build_nic(adapter_);
    node *n1 = build_nic(adapter_);
    node *n2 = build_nic(adapter_);
    ASSERT_TRUE(n0 && n1 && n2);
    delete_node(n1); // instances 0 and 2 remain
    int instance = -5;
    EXPECT_EQ(RM_STATUS_OK, MAL_TagToInstance(a_, "NICPhysicalHBA", n2->node_tag, &instance));
    EXPECT_EQ(2, instance);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_TagToInstance(a_, "NICPhysicalHBA", a_, &instance));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_TagToInstance(99999, "NICPhysicalHBA", a_, &instance));
    EXPECT_EQ(2, instance);
}

TEST_F(MalCore, TraceIsWrittenOnlyWhileEnabled)
{
    std::string dir = host_.root() + "/";
    std::snprintf(binDIR, sizeof binDIR, "%s", dir.c_str());
    std::string log = dir + "ovndbg.log";
    hlvdtest::write_file(log, "");

    node_tag_t t = -1;
    MAL_get_node_tag(0, "Arcwright0", &t, MAL_NODE_GROUP);
    EXPECT_EQ("", hlvdtest::read_file(log));

    Options.LOG_MODE = LOG_MODE_CLIENT_TRACE;
    MAL_get_node_tag(0, "Arcwright0", &t, MAL_NODE_GROUP);
    MAL_get_node_tag(a_, "Nope", &t, MAL_NODE_PROPERTY);
    char value[MAL_VALUE_SIZE];
    MAL_get_property_val(a_, tag(a_, "Label", VEXO_NODE_PROPERTY), value, sizeof value);
    MAL_ActionParams params;
    params_of(params, "3");
    std::snprintf(params[5], VEXO_VALUE_SIZE, "sixth");
    node_tag_t count_action = tag(a_, "Count", VEXO_NODE_ACTION);
    MAL_do_action(a_, count_action, params, nullptr, 0);
    MAL_VEXO_Exit();

    std::string text = hlvdtest::read_file(log);
    char expect[256];
    std::snprintf(expect, sizeof expect, "get_node_tag:     parent=0, name=Arcwright0, type=1: tag=%d\n\n", a_);
    EXPECT_NE(std::string::npos, text.find(expect)) << text;
    std::snprintf(expect, sizeof expect, "get_node_tag:     parent=%d, name=Nope, type=2: ERROR: status=1\n\n", a_);
    EXPECT_NE(std::string::npos, text.find(expect)) << text;
    // A failed call also shows the library's message.
    EXPECT_NE(std::string::npos, text.find("get_last_status: string=")) << text;
    EXPECT_NE(std::string::npos, text.find("val=abc\n")) << text;
    std::snprintf(expect, sizeof expect, "do_action:        parent=%d, action=%d:  \n  params[0]: 3\nOK\n", a_,
                  count_action);
    EXPECT_NE(std::string::npos, text.find(expect)) << text;
    EXPECT_EQ(std::string::npos, text.find("sixth"));
    EXPECT_NE(std::string::npos, text.find("MAL_VEXO_exit:\n\nOK\n")) << text;
}

TEST(MalStart, StartReadsTheVersionsAndStopKeepsTheLockUsable)
{
    SimHost host(kNoAdapterMachine);
    int start = vexo_counter;
    char service[MAL_VALUE_SIZE] = "x";
    char hierarchy[MAL_VALUE_SIZE] = "y";
    // Without adapters the library starts but reports no adapter: 114.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_VEXO_Init(service, hierarchy));
    EXPECT_STREQ("x", service);
    EXPECT_TRUE(get_node(0));
    EXPECT_EQ(1, vexo_client_count);
    ASSERT_TRUE(build_adapter());
    // A second client finds the library up and reads the root's versions.
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    EXPECT_STREQ("0", service);
    EXPECT_STREQ("0", hierarchy);
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(start, vexo_counter);
    EXPECT_EQ(0, MAL_EnterCriticalSection());
    EXPECT_EQ(0, MAL_LeaveCriticalSection());
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit()); // nothing left to stop
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_VEXO_Init(service, hierarchy));
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
}

TEST(MalStart, ThreadsStartingAndStoppingStaySerialised)
{
    SimHost host(kNoAdapterMachine);
    int start = vexo_counter;
    auto worker = [] {
        for (int i = 0; i < 100; ++i) {
            char service[MAL_VALUE_SIZE];
            char hierarchy[MAL_VALUE_SIZE];
            MAL_VEXO_Init(service, hierarchy);
            node_tag_t t = -1;
            MAL_get_node_tag(0, "VEXOServiceVersion", &t, MAL_NODE_PROPERTY);
            MAL_VEXO_Exit();
        }
    };
    std::thread a(worker);
    std::thread b(worker);
    a.join();
    b.join();
    EXPECT_EQ(0, vexo_client_count);
    EXPECT_EQ(nullptr, get_node(0));
    EXPECT_EQ(start, vexo_counter);
}

TEST(MalConvert, StrToByteArray)
{
    struct Case {
        const char *text;
        uint32_t capacity;
        RM_STATUS expected;
        uint32_t length;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"abc", 2, RM_STATUS_OK, 2, {0xAB, 0x0C}},
        {"abc", 1, RM_STATUS_ERROR_BUFFER_TOO_SMALL, 2, {}},
        {"abc", 1537, RM_STATUS_ERROR_INVALID_ARGUMENT, 1537, {}},
        {"", 4, RM_STATUS_OK, 0, {}},
        {"00ff10", 3, RM_STATUS_OK, 3, {0x00, 0xFF, 0x10}},
        {"zz1g", 2, RM_STATUS_OK, 2, {0x00, 0x01}}, // reading stops at a non-digit
        {" 5-1", 2, RM_STATUS_OK, 2, {0x05, 0xFF}},  // blank and sign as strtoul takes them
    };
    for (const Case &c : cases) {
        uint8_t out[8];
        std::memset(out, 0xEE, sizeof out);
        uint32_t length = c.capacity;
        EXPECT_EQ(c.expected, MAL_StrToByteArray(out, c.text, &length)) << c.text;
        EXPECT_EQ(c.length, length) << c.text;
        if (c.expected == RM_STATUS_OK) {
            EXPECT_EQ(c.bytes, std::vector<uint8_t>(out, out + length)) << c.text;
        } else {
            EXPECT_EQ(0xEE, out[0]) << c.text;
        }
    }
    uint32_t length = 4;
    uint8_t out[4];
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_StrToByteArray(nullptr, "ab", &length));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_StrToByteArray(out, nullptr, &length));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_StrToByteArray(out, "ab", nullptr));
}

TEST(MalConvert, IPv6TextToBytes)
{
    auto groups = [](std::initializer_list<unsigned> g) {
        std::vector<uint8_t> v;
        for (unsigned x : g) {
            v.push_back(static_cast<uint8_t>(x >> 8));
            v.push_back(static_cast<uint8_t>(x & 0xFF));
        }
        return v;
    };
    const std::vector<uint8_t> zero(16, 0);
    struct Case {
        const char *text;
        std::vector<uint8_t> expected;
        const char *cut;
    } cases[] = {
        {"fe80::1%vmk1", groups({0xfe80, 0, 0, 0, 0, 0, 0, 1}), "fe80::1"},
        {"::1", groups({0, 0, 0, 0, 0, 0, 0, 1}), "::1"},
        {"::a:b", groups({0, 0, 0, 0, 0, 0, 0xa, 0xb}), "::a:b"},
        {"2001:db8::8:800:200c:417a/64", groups({0x2001, 0xdb8, 0, 0, 8, 0x800, 0x200c, 0x417a}),
         "2001:db8::8:800:200c:417a"},
        {"1:2:3:4:5:6:7:8", groups({1, 2, 3, 4, 5, 6, 7, 8}), "1:2:3:4:5:6:7:8"},
        {"fe80::", groups({0xfe80, 0, 0, 0, 0, 0, 0, 0}), "fe80::"},
        {"1:2:3:4:5:6:7", zero, "1:2:3:4:5:6:7"},
        {"fe80::12345", zero, "fe80::12345"},
        {"1::2::3", zero, "1::2::3"},
        {"1:2:3:4:5:6:7:8:9", zero, "1:2:3:4:5:6:7:8:9"},
        {"::", zero, "::"},
        {"ab", zero, "ab"},
        {"N/A", zero, ""},
    };
    for (const Case &c : cases) {
        char text[64];
        std::snprintf(text, sizeof text, "%s", c.text);
        uint8_t out[16];
        std::memset(out, 0xEE, sizeof out);
        MAL_IPv6_StrToBin(text, out);
        EXPECT_EQ(c.expected, std::vector<uint8_t>(out, out + 16)) << c.text;
        if (std::strlen(c.text) >= 3) {
            EXPECT_STREQ(c.cut, text) << c.text;
        }
    }
}

TEST(MalConvert, AddressPredicates)
{
    const uint8_t zero4[4] = {0, 0, 0, 0};
    const uint8_t ones4[4] = {255, 255, 255, 255};
    const uint8_t ip[4] = {10, 0, 0, 1};
    EXPECT_TRUE(isIpAddressAllZeros(zero4));
    EXPECT_FALSE(isIpAddressAllZeros(ip));
    EXPECT_FALSE(isNewIpAddress(zero4));
    EXPECT_FALSE(isNewIpAddress(ones4));
    EXPECT_TRUE(isNewIpAddress(ip));

    uint8_t v6[16] = {};
    EXPECT_TRUE(isIpv6AddressAllZeros(v6));
    EXPECT_FALSE(isNewIpv6Address(v6));
    std::memset(v6, 0xFF, sizeof v6);
    EXPECT_FALSE(isIpv6AddressAllZeros(v6));
    EXPECT_FALSE(isNewIpv6Address(v6));
    v6[15] = 0;
    EXPECT_TRUE(isNewIpv6Address(v6));

    const uint8_t mac_ones[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t mac_zero[6] = {};
    const uint8_t mac_one[6] = {0, 0, 0, 0, 0, 1};
    EXPECT_FALSE(isNewMacAddress(mac_ones));
    EXPECT_FALSE(isNewMacAddress(mac_zero));
    EXPECT_TRUE(isNewMacAddress(mac_one));

    struct Case {
        const char *text;
        bool expected;
    } cases[] = {
        {"10.1.2.3", true},    {"10.1.2", false},    {"10.1.2.3.4", false}, {"1234.1.1.1", false},
        {"10.a.2.3", false},   {"10.1.2.3456", true}, {"10.1.2.", true},    {"", false},
        {"...", true},         {nullptr, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, IsIpv4(c.text)) << (c.text ? c.text : "(null)");
}

} // namespace
