// Node helpers on a small adapter tree made with the generic builder:
// locating a node's function, port, adapter and domain, the ASIC family,
// the OEM-system check, purging instances and the configuration signature.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "transport_fixture.h"

using namespace transporttest;

namespace
{

// Node tables of the tree: the names the helpers look for.
const hm_node_row function_rows[] = {
    HM_PROPERTY("PortNumber", "physical port", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "0", nullptr,
                handle_internal_property),
    HM_GROUP("PCI", "PCI location", nullptr),
    HM_PROPERTY("DeviceID", "device id", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "", nullptr,
                handle_internal_property),
    HM_PROPERTY("SubsysDeviceID", "subsystem id", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "", nullptr,
                handle_internal_property),
    HM_END(),
};
const hm_node_row lhba_rows[] = {
    HM_GROUP("InitiatoriSCSIName", "initiator name", nullptr),
    HM_PROPERTY("InitiatoriSCSIName", "initiator name", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, "", nullptr,
                handle_internal_property),
    HM_END(),
};
const hm_node_row leaf_rows[] = {
    HM_PROPERTY("Value", "a value", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "", nullptr,
                handle_internal_property),
};
const hm_node_row port_rows[] = {
    HM_PROPERTY("PortNumber", "port", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "3", nullptr,
                handle_internal_property),
};

uint8_t adapter_bits[HM_BIT_FIELD_BYTES(16, 1)];
uint8_t iscsi_bits[HM_BIT_FIELD_BYTES(8, 16)];
uint8_t nic_bits[HM_BIT_FIELD_BYTES(32, 16)];
uint8_t port_bits[HM_BIT_FIELD_BYTES(4, 16)];
uint8_t lhba_bits[HM_BIT_FIELD_BYTES(8, 16 * 8)];
uint8_t session_bits[HM_BIT_FIELD_BYTES(16, 16 * 8 * 8)];
uint8_t conn_bits[HM_BIT_FIELD_BYTES(4, 16 * 8 * 8 * 16)];

const hm_group_type adapter_type = {
    "Arcwright", "adapter", 16, 0, nullptr, adapter_bits, sizeof adapter_bits, leaf_rows, HM_ROW_COUNT(leaf_rows)};
const hm_group_type iscsi_type = {
    "iSCSIPhysicalHBA", "iSCSI function",           8, 0, nullptr, iscsi_bits, sizeof iscsi_bits,
    function_rows,      HM_ROW_COUNT(function_rows)};
const hm_group_type nic_type = {
    "NICPhysicalHBA",           "NIC function", 32, 0, nullptr, nic_bits, sizeof nic_bits, function_rows,
    HM_ROW_COUNT(function_rows)};
const hm_group_type port_type = {
    "PortDiscoveryAndConfiguration", "port", 4, 0, nullptr, port_bits, sizeof port_bits, port_rows,
    HM_ROW_COUNT(port_rows)};
const hm_group_type lhba_type = {"LogicalHBA", "logical HBA",          8, 0, nullptr, lhba_bits, sizeof lhba_bits,
                                 lhba_rows,    HM_ROW_COUNT(lhba_rows)};
const hm_group_type session_type = {
    "Session", "session", 16, 0, nullptr, session_bits, sizeof session_bits, leaf_rows, HM_ROW_COUNT(leaf_rows)};
const hm_group_type conn_type = {"Connection", "connection",           4, 0, nullptr, conn_bits, sizeof conn_bits,
                                 leaf_rows,    HM_ROW_COUNT(leaf_rows)};

node *build(const hm_group_type &t, node *parent)
{
    node *n = hm_build_group(&t, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, n) << t.name;
    return n;
}

// A counted node handle, as the back end keeps in a group.
node_handle *attach_handle(node *grp, int aw_port_number)
{
    node_handle *h = static_cast<node_handle *>(vexo_dmalloc(sizeof(node_handle)));
    std::memset(h, 0, sizeof *h);
    h->aw_port_number = aw_port_number;
    grp->u.grp->handle = h;
    return h;
}

void set(node *grp, const char *path, const char *name, const char *value)
{
    node *g = path ? internal_get_node(grp, path, VEXO_NODE_GROUP) : grp;
    ASSERT_NE(nullptr, g);
    char buf[VEXO_VALUE_SIZE];
    std::snprintf(buf, sizeof buf, "%s", value);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, internal_set_property(g, name, buf));
}

class NodeHelpers : public TransportTest
{
  protected:
    int start_ = 0;
    node *adapter = nullptr;
    node *other = nullptr;
    node *iscsi = nullptr;
    node *nic = nullptr;
    node *port = nullptr;
    node *lhba0 = nullptr;
    node *lhba1 = nullptr;

    void SetUp() override
    {
        TransportTest::SetUp();
        start_ = vexo_counter;
        VEXO_init();
        ASSERT_NE(nullptr, get_node(0));
        // The back end builds the machine's adapters; these tests want the
        // root alone and the fixture's driver tables.
        VEXO_free_all_node_handles();
        while (node *a = get_first_instance(&ROOT, "Arcwright"))
            ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(a));
        backend_exit();
        TransportTest::SetUp();
        other = build(adapter_type, &ROOT);   // Arcwright0, no functions
        adapter = build(adapter_type, &ROOT); // Arcwright1
        iscsi = build(iscsi_type, adapter);
        nic = build(nic_type, adapter);
        port = build(port_type, adapter);
        lhba0 = build(lhba_type, iscsi);
        lhba1 = build(lhba_type, iscsi);
        attach_handle(iscsi, kIscsiCallback);
        attach_handle(nic, 7);
        set(iscsi, nullptr, "PortNumber", "1");
        set(nic, nullptr, "PortNumber", "2");
        set(iscsi, "PCI", "DeviceID", "0x0712");
        set(iscsi, "PCI", "SubsysDeviceID", "0xE82B");
        set(nic, "PCI", "DeviceID", "0x0700");
        set(nic, "PCI", "SubsysDeviceID", "0xE830");
    }

    void TearDown() override
    {
        for (node *f : {iscsi, nic}) {
            if (f && f->u.grp->handle) {
                vexo_dfree(f->u.grp->handle);
                f->u.grp->handle = nullptr;
            }
        }
        VEXO_exit();
        EXPECT_EQ(start_, vexo_counter) << "handles and copies are all released";
        TransportTest::TearDown();
    }

    node *prop(node *grp, const char *name)
    {
        return internal_get_node(grp, name, VEXO_NODE_PROPERTY);
    }
};

TEST_F(NodeHelpers, LocatorsWalkUpToTheirGroup)
{
    node *session = build(session_type, lhba1);
    node *conn = build(conn_type, session);
    attach_handle(session, 5)->session_handle = 77;
    attach_handle(conn, 0); // a connection carries no function index
    node *deep = prop(conn, "Value");

    EXPECT_EQ(5, get_port_number(deep)) << "the session's index, passing the connection's 0";
    EXPECT_EQ(kIscsiCallback, get_port_number(lhba0));
    EXPECT_EQ(7, get_port_number(nic));
    EXPECT_EQ(-1, get_port_number(other));
    EXPECT_EQ(-1, get_port_number(&ROOT));
    EXPECT_EQ(-1, get_port_number(nullptr));

    EXPECT_EQ(1, get_aw_instance(deep));
    EXPECT_EQ(0, get_aw_instance(other));
    EXPECT_EQ(0, get_aw_instance(&ROOT));

    EXPECT_EQ(1u, get_domain_id(deep));
    EXPECT_EQ(0u, get_domain_id(lhba0));
    EXPECT_EQ(0u, get_domain_id(nic));

    EXPECT_EQ(1u, get_phba_port_number(deep));
    EXPECT_EQ(2u, get_phba_port_number(internal_get_node(nic, "PCI", VEXO_NODE_GROUP)));
    EXPECT_EQ(3u, get_phba_port_number(port));
    EXPECT_EQ(0u, get_phba_port_number(adapter));

    vexo_dfree(conn->u.grp->handle);
    conn->u.grp->handle = nullptr;
    EXPECT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(lhba1, "Session"));
}

TEST_F(NodeHelpers, AsicFamilyFromTheFirstFunctionsDeviceId)
{
    struct Row {
        const char *device_id;
        int family;
    } rows[] = {
        {"700", 2},      {"0x0700", 2}, {"217", 2},  {"218", 0xFFFF}, {"0x0710", 3}, {"714", 3},
        {"713", 0xFFFF}, {"E228", 4},   {"e220", 4}, {"721", 0xFFFF}, {"728", 5},    {"0x0723", 5},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.device_id);
        set(iscsi, "PCI", "DeviceID", r.device_id);
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        EXPECT_EQ(r.family, get_aw_type(adapter));
        VEXO_status_t code;
        char text[VEXO_LAST_STATUS_SIZE];
        vexo_get_last_status(&code, text);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, code);
    }
    for (const char *bad : {"22G", "-5", ""}) {
        SCOPED_TRACE(bad);
        set(iscsi, "PCI", "DeviceID", bad);
        EXPECT_EQ(1, get_aw_type(adapter));
        EXPECT_EQ(VEXO_STATUS_FAILED_GET_AWTYPE, last_status().code);
        EXPECT_EQ("Failed to get the controller type.", last_status().text);
    }
    EXPECT_EQ(1, get_aw_type(other)) << "no function";
    EXPECT_EQ(1, get_aw_type(nullptr));
}

TEST_F(NodeHelpers, NicFunctionDecidesWithoutAnIscsiFunction)
{
    node *solo = build(adapter_type, &ROOT);
    node *f = build(nic_type, solo);
    set(f, "PCI", "DeviceID", "0x0720");
    set(f, "PCI", "SubsysDeviceID", "0xE82B");
    EXPECT_EQ(5, get_aw_type(solo));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_DetermineIfDellSystem(solo));
}

TEST_F(NodeHelpers, OemSystemBySubsystemDeviceId)
{
    struct Row {
        const char *device_id;
        const char *subsys;
        VEXO_status_t result;
    } rows[] = {
        {"0x0712", "0xE82B", VEXO_STATUS_SUCCESS}, {"0x0712", "E820", VEXO_STATUS_SUCCESS},
        {"0x0712", "E839", VEXO_STATUS_SUCCESS},   {"0x0712", "0xE830", VEXO_STATUS_FAILURE},
        {"0x0712", "0", VEXO_STATUS_FAILURE},      // the table's terminator is no id
        {"0x1234", "0x1F7E", VEXO_STATUS_SUCCESS}, // an unknown family is still looked up
        {"22G", "0xE82B", VEXO_STATUS_FAILURE},    {"0x0712", "E82Bx", VEXO_STATUS_FAILURE},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.device_id << " " << r.subsys);
        set(iscsi, "PCI", "DeviceID", r.device_id);
        set(iscsi, "PCI", "SubsysDeviceID", r.subsys);
        EXPECT_EQ(r.result, VEXO_DetermineIfDellSystem(adapter));
    }
    EXPECT_EQ(VEXO_STATUS_FAILURE, VEXO_DetermineIfDellSystem(nullptr));
    EXPECT_EQ(0, DellSupportedPciSubSysDevIdTable[DELL_SUBSYS_ID_COUNT - 1]);
}

TEST_F(NodeHelpers, InitiatorNameAndSelectedGroups)
{
    node *name_group = internal_get_node(lhba1, "InitiatoriSCSIName", VEXO_NODE_GROUP);
    set(name_group, nullptr, "InitiatoriSCSIName", "iqn.2024-01.test:host");
    node *child = internal_get_node(iscsi, "PCI", VEXO_NODE_GROUP);
    char name[VEXO_VALUE_SIZE] = "";
    EXPECT_EQ(VEXO_STATUS_SUCCESS, get_initiator_name(child, name, 1));
    EXPECT_STREQ("iqn.2024-01.test:host", name);
    EXPECT_EQ(VEXO_STATUS_FAILURE, get_initiator_name(child, name, 5));
    EXPECT_EQ(VEXO_STATUS_FAILURE, get_initiator_name(nullptr, name, 1));

    EXPECT_EQ(lhba1, get_selected_group_node(iscsi, "LogicalHBA", "1"));
    EXPECT_EQ(nullptr, get_selected_group_node(iscsi, "LogicalHBA", "9"));
    EXPECT_EQ(nullptr, get_selected_group_node(iscsi, "LogicalHBA", ""));
    std::string long_name(300, 'x');
    EXPECT_EQ(nullptr, get_selected_group_node(iscsi, long_name.c_str(), "1"));
}

TEST_F(NodeHelpers, PurgeDeletesConnectionsFirstAndStopsAtALinkedInstance)
{
    node *sessions[3];
    for (node *&s : sessions) {
        s = build(session_type, lhba0);
        attach_handle(s, kIscsiCallback);
        attach_handle(build(conn_type, s), 0);
    }
    // Something still refers to the second session.
    node *link = create_link(lhba1, "Pin", sessions[1], nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(VEXO_STATUS_IN_USE, purge_nodes_within(lhba0, "Session"));
    node *first = get_first_instance(lhba0, "Session");
    ASSERT_EQ(sessions[1], first) << "the linked instance and those after it stay";
    EXPECT_NE(nullptr, first->u.grp->handle) << "and keep their handles";

    ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(link));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(lhba0, "Session"));
    EXPECT_EQ(nullptr, get_first_instance(lhba0, "Session"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(lhba0, "Session")) << "nothing left to purge";
}

TEST_F(NodeHelpers, PersistenceRecordOfAGroup)
{
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    std::strcpy(params[0], "10.0.0.1");
    EXPECT_EQ(VEXO_STATUS_FAILURE, backend_make_persistent(prop(adapter, "Value"), adapter, nullptr, params));
    uint32_t next = persistency_priority;
    ASSERT_EQ(VEXO_STATUS_SUCCESS, backend_make_persistent(lhba0, iscsi, nullptr, params));
    EXPECT_EQ(next, lhba0->u.grp->persistency_info.priority);
    EXPECT_EQ(iscsi, lhba0->u.grp->persistency_info.context);
    EXPECT_STREQ("10.0.0.1", lhba0->u.grp->persistency_info.params[0]);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, backend_make_persistent(lhba0, adapter, nullptr, nullptr));
    EXPECT_EQ(next, lhba0->u.grp->persistency_info.priority) << "a priority is given once";
    EXPECT_STREQ("10.0.0.1", lhba0->u.grp->persistency_info.params[0]);
}

TEST_F(NodeHelpers, FunctionLocationFromTheControllerAttributes)
{
    char bus[VEXO_VALUE_SIZE], dev[VEXO_VALUE_SIZE], fn[VEXO_VALUE_SIZE], prt[VEXO_VALUE_SIZE];
    EXPECT_EQ(4, get_lhba_count(iscsi, bus, dev, fn, prt));
    EXPECT_STREQ("4", bus);
    EXPECT_STREQ("0", dev);
    EXPECT_STREQ("2", fn);
    EXPECT_STREQ("1", prt);
    plan_transport("driver", 32);
    EXPECT_EQ(1, get_lhba_count(iscsi, bus, dev, fn, prt));
}

} // namespace
