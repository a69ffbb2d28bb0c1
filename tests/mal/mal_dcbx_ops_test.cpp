// The data-centre-bridging and loopback operations on a port group built in
// the shape of the back end's, whose handlers record every text written and
// every action run, so the tests see exactly what reached the tree.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_dcbx_ops.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mal_tree.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace maltest;

namespace {

// "Group/Property=value" per write, "Group/Action a,b,..." per action run
// ("-" for a parameter not given).
std::vector<std::string> calls;

VEXO_status_t record_property(node *p, char *value, int type)
{
    if (type == 1)
        calls.push_back(std::string(p->parent->node_name) + "/" + p->node_name + "=" + value);
    return handle_internal_property(p, value, type);
}

VEXO_status_t failing_property(node *, char *, int)
{
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t record_action(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    std::string line = std::string(context->node_name) + "/" + action->node_name + " ";
    int n = action->u.act->p.param_count;
    for (int i = 0; i < n; ++i) {
        if (i)
            line += ",";
        line += static_cast<unsigned char>(params[i][0]) == 0xFF || params[i][0] == '\0' ? "-" : params[i];
    }
    calls.push_back(line);
    return VEXO_STATUS_SUCCESS;
}

// Only entry 0 exists.
VEXO_status_t delete_entry(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    record_action(context, action, params);
    return std::strcmp(params[0], "0") == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

#define OPT(name) {0, name, name, VEXO_TYPE_STRING, "", 0, 255}
action configure_pg = {record_action, 0, {2, {OPT("PriorityMembership"), OPT("Bandwidth")}}};
action add_tlv = {record_action, 0,
                  {4, {OPT("ProtocolSelector"), OPT("ProtocolID"), OPT("PriorityBitMap"), OPT("OUI")}}};
action delete_tlv = {delete_entry, 0, {1, {OPT("InstanceNumber")}}};
action enter_loopback = {record_action, 0,
                         {3, {OPT("SourcePortNumber"), OPT("DestinationPortNumber"), OPT("LoopbackType")}}};
action exit_loopback = {record_action, 0, {2, {OPT("SourcePortNumber"), OPT("DestinationPortNumber")}}};

constexpr hm_node_row W(const char *name, const char *value)
{
    return HM_PROPERTY(name, "a value", VEXO_PROP_READWRITE, VEXO_TYPE_STRING, 0, 255, value, nullptr,
                       record_property);
}

#define PG_BEGIN(n) HM_GROUP("PG" #n, "a priority group", nullptr), W("Bandwidth", "12"), W("PriorityMembership", "0x0f"),
#define ADMIN_PG(n) PG_BEGIN(n) HM_ACTION("ConfigurePGSettings", "sets", &configure_pg), HM_END(),
#define OPER_PG(n) PG_BEGIN(n) HM_END(),

const hm_node_row port_rows[] = {
    HM_GROUP("LLDP", "lldp", nullptr),
        HM_GROUP("LocalConfiguration", "local", nullptr),
            W("TxState", "Enabled"), W("RxState", "Disabled"), W("PortDescriptionTLV", "Enabled"),
            W("SystemDescriptionTLV", "Enabled"), W("SystemNameTLV", "Disabled"),
            W("SystemCapabilitiesTLV", "Enabled"),
        HM_END(),
    HM_END(),
    HM_GROUP("DCBX", "dcbx", nullptr),
        HM_GROUP("DCBXPortVars", "vars", nullptr),
            W("OperatingVersion", "1"), W("MaxVersion", "2"), W("DCBXMode", "CIN"), W("DCBXState", "Enabled"),
        HM_END(),
        HM_GROUP("PFC", "pfc", nullptr),
            HM_GROUP("AdministratorPFCSetting", "admin", nullptr),
                W("Advertise", "Yes"), W("Enabled", "No"), W("PriorityBitMap", "0x08"), W("Willing", "Yes"),
            HM_END(),
            HM_GROUP("OperationalPFCSettings", "oper", nullptr),
                W("Error", "No"), W("OperationalMode", "True"), W("PriorityBitMap", "0x18"), W("Synced", "Yes"),
            HM_END(),
        HM_END(),
        HM_GROUP("PriorityGroups", "pg", nullptr),
            HM_GROUP("AdministratorPGSetting", "admin", nullptr),
                W("PG15PriorityMemberShip", "0xf0"), W("Advertise", "Yes"), W("Enabled", "Yes"),
                W("Willing", "No"),
                HM_PROPERTY("NumPGSupported", "unreadable", VEXO_PROP_READONLY, VEXO_TYPE_STRING, 0, 255, "4",
                            nullptr, failing_property),
                ADMIN_PG(0) ADMIN_PG(1) ADMIN_PG(2) ADMIN_PG(3) ADMIN_PG(4) ADMIN_PG(5) ADMIN_PG(6) ADMIN_PG(7)
            HM_END(),
            HM_GROUP("OperationalPGSettings", "oper", nullptr),
                W("Error", "No"), W("OperationalMode", "True"), W("Synced", "No"),
                OPER_PG(0) OPER_PG(1) OPER_PG(2) OPER_PG(3) OPER_PG(4) OPER_PG(5) OPER_PG(6) OPER_PG(7)
            HM_END(),
        HM_END(),
        HM_GROUP("ApplicationTLVGroups", "apps", nullptr),
            HM_GROUP("AdministratorTLVSetting", "admin", nullptr),
                W("Advertise", "Yes"), W("Enabled", "No"), W("Willing", "Yes"),
                HM_GROUP("ApplicationTLV0", "entry", nullptr),
                    W("OUI", "0x1b21"), W("PriorityBitMap", "0x08"), W("ProtocolID", "0x8906"),
                    W("ProtocolSelector", "0"),
                HM_END(),
                HM_ACTION("AddApplicationTLV", "adds", &add_tlv),
                HM_ACTION("DeleteApplicationTLV", "deletes", &delete_tlv),
            HM_END(),
            HM_GROUP("OperationalTLVSettings", "oper", nullptr),
                W("Error", "No"), W("OperationalMode", "False"), W("Synced", "Yes"),
            HM_END(),
        HM_END(),
        HM_GROUP("QCN", "qcn", nullptr),
            HM_GROUP("AdministratorQCNSetting", "admin", nullptr),
                W("Advertise", "Yes"), W("Enabled", "No"), W("CNPVBitMap", "0x8"), W("Willing", "Yes"),
            HM_END(),
            HM_GROUP("PeerQCNSetting", "peer", nullptr),
                W("Advertise", "No"), W("Enabled", "Yes"), W("Error", "No"), W("CNPVBitMap", "0x4"),
                W("Willing", "No"), W("ReadyBitMap", "0xc"),
            HM_END(),
            HM_GROUP("OperationalQCNSettings", "oper", nullptr),
                W("Error", "Yes"), W("OperationalMode", "True"), W("CNPVBitMap", "0x2"), W("Synced", "No"),
                W("ReadyBitMap", "0x3"),
            HM_END(),
        HM_END(),
    HM_END(),
    HM_GROUP("Diagnostics", "diagnostics", nullptr),
        HM_ACTION("EnterLoopBackMode", "enters", &enter_loopback),
        HM_ACTION("ExitLoopBackMode", "exits", &exit_loopback),
    HM_END(),
};

uint8_t port_bits[HM_BIT_FIELD_BYTES(1, 1)];
const hm_group_type port_type = {"DcbxPort", "a port", 1, 0, nullptr, port_bits, sizeof port_bits,
                                 port_rows, HM_ROW_COUNT(port_rows)};

class MalDcbx : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        calls.clear();
        ASSERT_EQ(1, VEXO_init());
        port_ = hm_build_group(&port_type, get_node(0), nullptr, nullptr, nullptr);
        ASSERT_TRUE(port_);
        p_ = port_->node_tag;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
    }
    node *group(const char *path)
    {
        node *g = port_;
        std::string rest = path;
        while (g && !rest.empty()) {
            size_t slash = rest.find('/');
            g = internal_get_node(g, rest.substr(0, slash).c_str(), VEXO_NODE_GROUP);
            rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        }
        return g;
    }

    SimHost host_{kNoAdapterMachine};
    int start_ = 0;
    node *port_ = nullptr;
    node_tag_t p_ = -1;
};

// Every setter: all -1 writes nothing; a 5 in the third value stops with 21
// after the first two values were written (in the setter's own order).
TEST_F(MalDcbx, SettersSkipMinusOneAndStopAtAnUnknownFlag)
{
    using Setter = std::function<RM_STATUS(node_tag_t, int32_t, int32_t, int32_t)>;
    struct Case {
        const char *name;
        Setter set;
        std::vector<std::string> written;
    } cases[] = {
        {"LLDP",
         [](node_tag_t p, int32_t a, int32_t b, int32_t c) {
             MAL_LldpProperties r = {-1, -1, -1, -1, -1, -1};
             r.PortDescriptionTLV = a;
             r.RxState = b;
             r.SystemCapabilitiesTLV = c;
             return MAL_SetLldpProperties(p, &r);
         },
         {"LocalConfiguration/PortDescriptionTLV=enabled", "LocalConfiguration/RxState=disabled"}},
        {"PFC",
         [](node_tag_t p, int32_t a, int32_t b, int32_t c) {
             MAL_PfcProperties r;
             std::memset(&r, 0, sizeof r);
             r.Admin = {c, b, a, -1};
             return MAL_SetPfcProperties(p, &r);
         },
         {"AdministratorPFCSetting/Enabled=yes", "AdministratorPFCSetting/Advertise=no"}},
        {"PG",
         [](node_tag_t p, int32_t a, int32_t b, int32_t c) {
             MAL_PGProperties r;
             std::memset(&r, 0, sizeof r);
             r.Admin.Enabled = a;
             r.Admin.Advertise = b;
             r.Admin.Willing = c;
             return MAL_SetPGProperties(p, &r);
         },
         {"AdministratorPGSetting/Enabled=yes", "AdministratorPGSetting/Advertise=no"}},
        {"QCN",
         [](node_tag_t p, int32_t a, int32_t b, int32_t c) {
             MAL_QCNProperties r;
             std::memset(&r, 0, sizeof r);
             r.Admin = {b, a, 0, c};
             return MAL_SetQCNProperties(p, &r);
         },
         {"AdministratorQCNSetting/Enabled=yes", "AdministratorQCNSetting/Advertise=no"}},
        {"application TLV",
         [](node_tag_t p, int32_t a, int32_t b, int32_t c) {
             MAL_AppTlvProperties r;
             std::memset(&r, 0, sizeof r);
             r.Admin.Advertise = a;
             r.Admin.Enabled = b;
             r.Admin.Willing = c;
             return MAL_SetAppTlvProperties(p, &r);
         },
         {"AdministratorTLVSetting/Advertise=yes", "AdministratorTLVSetting/Enabled=no"}},
        // Two values only: the mode, then the state (the middle value unused).
        {"port variables",
         [](node_tag_t p, int32_t a, int32_t, int32_t c) {
             MAL_DcbxPortVars r = {0, 0, a, c};
             return MAL_SetDcbxPortVars(p, &r);
         },
         {"DCBXPortVars/DCBXMode=CEE"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        EXPECT_EQ(RM_STATUS_OK, c.set(p_, -1, -1, -1));
        EXPECT_TRUE(calls.empty());
        EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, c.set(p_, 1, 0, 5));
        EXPECT_EQ(c.written, calls);
    }
}

TEST_F(MalDcbx, PfcBitMapIsWrittenAsHexBeforeTheFlags)
{
    MAL_PfcProperties r;
    std::memset(&r, 0, sizeof r);
    r.Admin = {-1, -1, 1, 3};
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPfcProperties(p_, &r));
    EXPECT_EQ((std::vector<std::string>{"AdministratorPFCSetting/PriorityBitMap=0x3",
                                        "AdministratorPFCSetting/Enabled=yes"}),
              calls);
}

TEST_F(MalDcbx, PriorityGroupsKeepCurrentValuesForMinusOne)
{
    MAL_PGProperties r;
    std::memset(&r, 0, sizeof r);
    for (MAL_PGEntry &e : r.Admin.PG)
        e = {-1, -1};
    r.Admin.PG[2] = {0x11, 40};
    r.Admin.PG15PriorityMembership = -1;
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPGPriorities(p_, &r));
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i)
        expected.push_back("PG" + std::to_string(i) + "/ConfigurePGSettings " + (i == 2 ? "0x11,40" : "0xf,12"));
    EXPECT_EQ(expected, calls);

    calls.clear();
    r.Admin.PG15PriorityMembership = 3;
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPGBandwidths(p_, &r));
    ASSERT_EQ(9u, calls.size());
    EXPECT_EQ("AdministratorPGSetting/PG15PriorityMemberShip=3", calls.back());
}

TEST_F(MalDcbx, PriorityGroupReadFillsBothHalves)
{
    MAL_PGProperties r;
    std::memset(&r, 0x5a, sizeof r);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetPGProperties(p_, &r));
    // No operational NumPGSupported: 0; an unreadable administrator one: 8.
    EXPECT_EQ(0, r.Oper.NumPGSupported);
    EXPECT_EQ(8, r.Admin.NumPGSupported);
    EXPECT_EQ(1, r.Admin.Advertise);
    EXPECT_EQ(0, r.Admin.Willing);
    EXPECT_EQ(0, r.Oper.Synced);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(0xf, r.Admin.PG[i].PriorityMembership);
        EXPECT_EQ(12, r.Oper.PG[i].Bandwidth);
    }
    EXPECT_EQ(0xf0, r.Admin.PG15PriorityMembership);
    EXPECT_EQ(0, r.Oper.PG15PriorityMembership);

    // A missing member group is a failure.
    remove_child(group("DCBX/PriorityGroups/OperationalPGSettings"), "PG5");
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetPGProperties(p_, &r));
}

TEST_F(MalDcbx, ReadersFillTheirRecords)
{
    MAL_LldpProperties l;
    std::memset(&l, 0x5a, sizeof l);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetLldpProperties(p_, &l));
    EXPECT_EQ(1, l.TxState);
    EXPECT_EQ(0, l.RxState);
    EXPECT_EQ(0, l.SystemNameTLV);

    MAL_PfcProperties f;
    std::memset(&f, 0x5a, sizeof f);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetPfcProperties(p_, &f));
    EXPECT_EQ(8, f.Admin.PriorityBitMap);
    EXPECT_EQ(0, f.Admin.Enabled);
    EXPECT_EQ(0x18, f.Oper.PriorityBitMap);
    EXPECT_EQ(1, f.Oper.OperationalMode);

    MAL_QCNProperties q;
    std::memset(&q, 0x5a, sizeof q);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetQCNProperties(p_, &q));
    EXPECT_EQ(8, q.Admin.CNPVBitMap);
    EXPECT_EQ(0xc, q.Peer.ReadyBitMap);
    EXPECT_EQ(0, q.Peer.Advertise);
    EXPECT_EQ(3, q.Oper.ReadyBitMap);
    EXPECT_EQ(1, q.Oper.Error);

    MAL_AppTlvProperties a;
    std::memset(&a, 0, sizeof a);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetAppTlvProperties(p_, &a));
    EXPECT_EQ(0x8906, a.Admin.Entries[0].ProtocolID);
    EXPECT_EQ(0x1b21, a.Admin.Entries[0].OUI);
    EXPECT_EQ(0, a.Admin.Entries[1].ProtocolID); // the list ends at the first missing entry
    EXPECT_EQ(0, a.Oper.OperationalMode);

    MAL_DcbxPortVars v;
    std::memset(&v, 0x5a, sizeof v);
    EXPECT_EQ(RM_STATUS_OK, MAL_GetDcbxPortVars(p_, &v));
    EXPECT_EQ(1, v.OperatingVersion);
    EXPECT_EQ(2, v.MaxVersion);
    EXPECT_EQ(0, v.DCBXMode);
    EXPECT_EQ(1, v.DCBXState);

    // Without MaxVersion the read stops before the flags.
    remove_child(group("DCBX/DCBXPortVars"), "MaxVersion");
    v.DCBXMode = 7;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetDcbxPortVars(p_, &v));
    EXPECT_EQ(7, v.DCBXMode);
    EXPECT_TRUE(calls.empty());
}

TEST_F(MalDcbx, TagLookupsWriteOnlyOnSuccess)
{
    node_tag_t a = -7, o = -7, q = -7;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetTags_PFC(p_, &a, &o));
    EXPECT_EQ(group("DCBX/PFC/AdministratorPFCSetting")->node_tag, a);
    remove_child(group("DCBX/QCN"), "PeerQCNSetting");
    a = o = -7;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetTags_QCN(p_, &a, &o, &q));
    EXPECT_EQ(-7, a);
    EXPECT_EQ(-7, o);
    EXPECT_EQ(-7, q);
}

TEST_F(MalDcbx, ApplicationEntriesAreAddedAndDeleted)
{
    MAL_AppTlv t = {1, 3260, 48};
    EXPECT_EQ(RM_STATUS_OK, MAL_AddAppTlv(p_, &t));
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("AdministratorTLVSetting/AddApplicationTLV 1,3260,48,-", calls[0]);

    // Deleting every slot answers 0 although only entry 0 exists.
    calls.clear();
    EXPECT_EQ(RM_STATUS_OK, MAL_DelAppTlv(p_));
    ASSERT_EQ(15u, calls.size());
    EXPECT_EQ("AdministratorTLVSetting/DeleteApplicationTLV 14", calls.front());
    EXPECT_EQ("AdministratorTLVSetting/DeleteApplicationTLV 0", calls.back());

    EXPECT_EQ(RM_STATUS_ERROR_NOT_SUPPORTED, MAL_GetTlvProperties());
    EXPECT_EQ(RM_STATUS_ERROR_NOT_SUPPORTED, MAL_SetTlvProperties());
}

TEST_F(MalDcbx, LoopbackKinds)
{
    struct Case {
        int32_t kind;
        RM_STATUS result;
        const char *call; // null: nothing runs
    } cases[] = {
        {1, RM_STATUS_OK, "Diagnostics/EnterLoopBackMode 0,1,MacLoopBack"},
        {2, RM_STATUS_OK, "Diagnostics/EnterLoopBackMode 0,1,PhyLoopBack"},
        {3, RM_STATUS_OK, "Diagnostics/EnterLoopBackMode 0,1,OnePortLoopBack"},
        {4, RM_STATUS_ERROR_INVALID_VALUE, nullptr},
        {0, RM_STATUS_ERROR_INVALID_VALUE, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        calls.clear();
        EXPECT_EQ(c.result, MAL_EnterLoopbackMode(p_, 0, 1, c.kind));
        EXPECT_EQ(c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{}, calls);
    }
    calls.clear();
    EXPECT_EQ(RM_STATUS_OK, MAL_ExitLoopbackMode(p_, 0, 1));
    EXPECT_EQ(std::vector<std::string>{"Diagnostics/ExitLoopBackMode 0,1"}, calls);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_ExitLoopbackMode(group("DCBX")->node_tag, 0, 1));
}

} // namespace
