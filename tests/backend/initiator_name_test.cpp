// The initiator's name, alias and iSCSI rate limits of a LogicalHBA through
// the management API, the version-0 fallback of the name commands, and the
// reader of the discovery parameters.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/initiator_name.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

const char kIscsi[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3INIT01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22",
          "initiator": { "name": "iqn.2004-02.com.orvane:first", "alias": "first-alias",
                         "qos": { "ios": 7, "bytes": 20480 } } } ] }
  ]
})";

class InitiatorName : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        a_ = adapter_path("AW3INIT01");
        ASSERT_FALSE(a_.empty());
        // The start does not build the LogicalHBA yet: build it here.
        node *iscsi = get_node(tag_at(a_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, iscsi);
        ASSERT_TRUE(get_first_instance(iscsi, "LogicalHBA") || initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr));
        lhba_ = a_ + "/iSCSIPhysicalHBA0/LogicalHBA0";
        clear_log(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string name_path() const { return lhba_ + "/InitiatoriSCSIName/InitiatoriSCSIName"; }
    std::string alias_path() const { return lhba_ + "/InitiatoriSCSIName/InitiatorAlias"; }
    std::string qos_path(const char *p) const { return lhba_ + "/iSCSIQoS/" + p; }
    // The function's initiator state as the simulated firmware keeps it.
    nlohmann::json initiator()
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        return m.doc["adapters"][0]["functions"][0]["initiator"];
    }
    // (opcode, version) of the subsystem-6 commands sent.
    std::vector<std::pair<int, int>> name_commands()
    {
        std::vector<std::pair<int, int>> out;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == 6)
                out.emplace_back(e.value("opcode", -1), e.value("version", -1));
        return out;
    }
    void set_initiator_field(const char *key, const nlohmann::json &value)
    {
        hlvdsim::Machine m;
        std::string err;
        ASSERT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
        nlohmann::json f = m.doc["adapters"][0]["functions"];
        f[0]["initiator"][key] = value;
        set_adapter_field(host_.root(), 0, "functions", f);
    }
    void plan(int subsystem, int opcode, int version, int status, int additional)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = subsystem;
        f.opcode = opcode;
        f.version = version;
        f.kind = "status";
        f.status = status;
        f.additional_status = additional;
        f.always = true;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }

    SimHost host_{kIscsi};
    int start_ = 0;
    std::string a_, lhba_;
};

TEST_F(InitiatorName, NameAndAliasComeFromTheFirmware)
{
    EXPECT_EQ("iqn.2004-02.com.orvane:first", value_at(name_path()));
    EXPECT_EQ("first-alias", value_at(alias_path()));
    EXPECT_EQ((std::vector<std::pair<int, int>>{{6, 1}, {6, 1}}), name_commands());
}

TEST_F(InitiatorName, WritingOneKeepsTheOther)
{
    struct Row {
        bool name;
        const char *value;
        const char *want_name;
        const char *want_alias;
    } rows[] = {
        {false, "rack-7", "iqn.2004-02.com.orvane:first", "rack-7"},
        // Upper case is folded before the name is written.
        {true, "IQN.2026-01.COM.Example:Host1", "iqn.2026-01.com.example:host1", "rack-7"},
        {false, "", "iqn.2026-01.com.example:host1", ""},
        // An alias that fills its field whole is kept whole.
        {false, "abcdefghijklmnopqrstuvwxyz01234", "iqn.2026-01.com.example:host1", "abcdefghijklmnopqrstuvwxyz01234"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(r.name ? name_path() : alias_path(), r.value));
        // Read the record, then write it whole, both as version 1.
        EXPECT_EQ((std::vector<std::pair<int, int>>{{6, 1}, {7, 1}}), name_commands());
        nlohmann::json st = initiator();
        EXPECT_EQ(r.want_name, st.value("name", ""));
        EXPECT_EQ(r.want_alias, st.value("alias", ""));
        EXPECT_EQ(r.want_name, value_at(name_path()));
        EXPECT_EQ(r.want_alias, value_at(alias_path()));
    }
}

TEST_F(InitiatorName, InvalidNameIsRefusedBeforeAnyCommand)
{
    for (const char *bad : {"iqn.bad name", "iqn_underscore", "iqn.x/y"}) {
        SCOPED_TRACE(bad);
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(name_path(), bad));
        EXPECT_EQ(VEXO_STATUS_INVALID_ISCSI_NAME, last_status().first);
        EXPECT_TRUE(name_commands().empty());
    }
    EXPECT_EQ("iqn.2004-02.com.orvane:first", initiator().value("name", ""));
}

TEST_F(InitiatorName, FirmwareWithoutVersionOneIsServedByVersionZero)
{
    set_initiator_field("name_v1", false);
    EXPECT_EQ("first-alias", value_at(alias_path()));
    EXPECT_EQ((std::vector<std::pair<int, int>>{{6, 1}, {6, 0}}), name_commands());
    clear_log(host_.root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(alias_path(), "fallback"));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, last_status().first);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{6, 1}, {6, 0}, {7, 1}, {7, 0}}), name_commands());
    EXPECT_EQ("fallback", initiator().value("alias", ""));
    EXPECT_EQ("iqn.2004-02.com.orvane:first", initiator().value("name", ""));
}

TEST_F(InitiatorName, FailuresKeepTheirStatuses)
{
    struct Row {
        const char *what;
        bool v1; // the firmware knows the version-1 commands
        int opcode, version;
        bool write; // a write of the alias, else a read
        VEXO_status_t last;
    } rows[] = {
        {"read refused", true, 6, -1, false, VEXO_STATUS_GET_INTR_NAME_FAILED},
        {"read before a write refused", true, 6, -1, true, VEXO_STATUS_GET_INTR_NAME_FAILED},
        {"version-0 read after 213 refused", false, 6, 0, false, VEXO_STATUS_GET_INTR_NAME_FAILED},
        {"version-0 write after 213 refused", false, 7, 0, true, VEXO_STATUS_SET_INTR_NAME_FAILED},
        // The transport leaves no status of its own: still a failed write.
        {"version-1 write refused", true, 7, 1, true, VEXO_STATUS_SET_INTR_NAME_FAILED},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        hlvdsim::fault_clear(host_.root());
        set_initiator_field("name_v1", r.v1);
        plan(6, r.opcode, r.version, 2, 0);
        if (r.write)
            EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(alias_path(), "never"));
        else
            EXPECT_EQ(0u, value_at(alias_path()).rfind("error ", 0));
        EXPECT_EQ(r.last, last_status().first);
        EXPECT_EQ("first-alias", initiator().value("alias", ""));
    }
}

TEST_F(InitiatorName, RateLimitsSendOnlyTheirOwnField)
{
    EXPECT_EQ("20", value_at(qos_path("MaxBytesPerSecond")));
    EXPECT_EQ("7", value_at(qos_path("MaxIosPerSecond")));
    struct Row {
        const char *property;
        const char *value;
        uint32_t valid, ios, bytes;
        const char *want_bytes, *want_ios;
    } rows[] = {
        {"MaxBytesPerSecond", "100", 0x40, 0, 102400, "100", "7"},
        {"MaxIosPerSecond", "250", 0x4, 250, 0, "100", "250"},
        {"MaxBytesPerSecond", "1280", 0x40, 0, 1310720, "1280", "250"},
        // 0 removes the limit.
        {"MaxIosPerSecond", "0", 0x4, 0, 0, "1280", "0"},
        {"MaxBytesPerSecond", "0", 0x40, 0, 0, "0", "0"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.property) + "=" + r.value);
        clear_log(host_.root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(qos_path(r.property), r.value));
        std::vector<nlohmann::json> sets;
        for (const nlohmann::json &e : fw_entries(host_.root()))
            if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == 28)
                sets.push_back(e);
        ASSERT_EQ(1u, sets.size());
        // valid_flags, NIC bits, NIC packets, iSCSI I/Os, iSCSI bytes, OEM.
        char want[73];
        auto le = [](uint32_t v) {
            char s[9];
            std::snprintf(s, sizeof s, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24);
            return std::string(s);
        };
        std::snprintf(want, sizeof want, "%s%s%s%s%s%s%s%s%s", le(r.valid).c_str(), le(0).c_str(), le(0).c_str(),
                      le(r.ios).c_str(), le(r.bytes).c_str(), le(0).c_str(), le(0).c_str(), le(0).c_str(),
                      le(0).c_str());
        EXPECT_EQ(want, sets[0].value("payload", ""));
        EXPECT_EQ(r.want_bytes, value_at(qos_path("MaxBytesPerSecond")));
        EXPECT_EQ(r.want_ios, value_at(qos_path("MaxIosPerSecond")));
    }
}

TEST_F(InitiatorName, RateLimitFailures)
{
    plan_status(host_.root(), 1, 28, 2, 0);
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(qos_path("MaxIosPerSecond"), "9"));
    EXPECT_EQ(VEXO_STATUS_SET_QOS_FAILED, last_status().first);
    EXPECT_EQ(7, initiator()["qos"].value("ios", -1));
    plan_status(host_.root(), 1, 27, 2, 0);
    EXPECT_EQ(0u, value_at(qos_path("MaxBytesPerSecond")).rfind("error ", 0));
    EXPECT_EQ(VEXO_STATUS_GET_QOS_FAILED, last_status().first);
}

TEST_F(InitiatorName, DiscoveryParametersGiveIsnsEnabled)
{
    node *isns = get_node(tag_at(a_ + "/iSCSIPhysicalHBA0/iSNS", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, isns);
    char value[VEXO_VALUE_SIZE];
    for (uint8_t flags : {0x01, 0x00, 0x51, 0x50}) {
        SCOPED_TRACE(flags);
        DISCOVERY_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        rec.data[544] = flags;
        ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_set_discoveryparams(1, &rec, 0, 0));
        EXPECT_EQ(0, get_discovery_params(1, 0, 0, isns));
        ASSERT_EQ(VEXO_STATUS_SUCCESS, internal_get_property(isns, "iSNSEnabled", value));
        EXPECT_STREQ((flags & 1) ? "Yes" : "No", value);
    }
    EXPECT_EQ(1, get_discovery_params(1, 0, 0, nullptr));
    plan_status(host_.root(), 2, 28, 2, 0);
    EXPECT_NE(0, get_discovery_params(1, 0, 0, isns));
    EXPECT_EQ(VEXO_STATUS_GET_DISCOVERY_FAILED, last_status().first);
}

TEST_F(InitiatorName, DiscoveryParametersAreKeptByteExact)
{
    DISCOVERY_PARAMS rec, back;
    for (size_t i = 0; i < sizeof rec.data; ++i)
        rec.data[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
    rec.data[560] = 0; // an entity name with bytes after its terminator
    std::memset(rec.data + 776 + 3 * 28, 0, 28); // the last server entry empty
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_set_discoveryparams(1, &rec, 0, 0));
    std::memset(&back, 0, sizeof back);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, ioctl_get_discoveryparams(1, &back, 0, 0));
    EXPECT_EQ(0, std::memcmp(rec.data, back.data, sizeof rec.data));
    EXPECT_EQ(rec.data[544] | rec.data[545] << 8, initiator()["discovery"].value("isns_flags", -1));
}

} // namespace
