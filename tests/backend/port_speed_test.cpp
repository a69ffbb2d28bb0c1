// Port link and speed, the speed setting and its change, the speed a
// function shows, and the bandwidth caps of NIC and iSCSI functions, read
// from simulated adapters of every generation; the command log shows what
// an action sent, and that a refused one sent nothing.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using json = nlohmann::json;
using namespace backendtest;

namespace {

enum { kAw3 = 0, kTrl = 1, kAw2 = 2, kVrw = 3 };
const char *const kSerials[] = {"AW3SP1", "TRLSP1", "AW2SP1", "VRWSP1"};

// PHY details that make the back end list supported speeds: masks of
// 10Mb 0x1, 100Mb 0x2, 1Gb 0x4, 10Gb 0x8.
json phy(int interface_type, int fixed, int autoneg)
{
    return {{"interface_type", interface_type}, {"extended", 0xFEEC}, {"fixed_speeds", fixed},
            {"auto_speeds", autoneg}};
}

json nic(int bus, int fn, const char *device, int port, const char *mac)
{
    return {{"bus", bus}, {"function", fn}, {"kind", "nic"}, {"vendor", "0x19A2"}, {"device_id", device},
            {"port", port}, {"mac", mac}};
}

// AW3: port 0 SFP+ (Force "100Mb,1Gb,10Gb", Auto "1Gb,10Gb") with an FCoE
// port name, port 1 QSFP; NIC 0x0 and FCoE 0x3 on port 0, iSCSI 0x2 on
// port 0, NIC 0x1 on port 1. Trelmont: NIC 0x0 on a 10GBASE-T port 0.
// AW2 and Varrow: one NIC function each.
json machine()
{
    json aw3 = {{"name", "aw3"}, {"family", "converged"}, {"generation", "AW3"}, {"serial", kSerials[kAw3]},
                {"capabilities", 89},
                {"firmware", {{"active", "10.2.370.15"}, {"flash", "10.2.370.15"}, {"boot", "10.2.370.1"}}}};
    aw3["ports"] = {{{"mc_type", 5}, {"phy", phy(3, 0x0E, 0x0C)}, {"fcoe_wwpn", "10:00:00:00:c9:b3:00:23"}},
                    {{"mc_type", 5}, {"phy", phy(10, 0x0C, 0x0C)}}};
    json n0 = nic(4, 0, "0x0710", 0, "00:00:C9:B3:00:20");
    n0["bw_min"] = 25;
    n0["bw_max"] = 60;
    json is = {{"bus", 4}, {"function", 2}, {"kind", "iscsi"}, {"vendor", "0x19A2"}, {"device_id", "0x0712"},
               {"port", 0}, {"mac", "00:00:C9:B3:00:22"}, {"bw_min", 20}, {"bw_max", 50}};
    json fc = {{"bus", 4}, {"function", 3}, {"kind", "fcoe"}, {"vendor", "0x19A2"}, {"device_id", "0x0714"},
               {"port", 0}, {"mac", "00:00:C9:B3:00:23"}, {"bw_min", 5}, {"bw_max", 5}};
    aw3["functions"] = {n0, nic(4, 1, "0x0710", 1, "00:00:C9:B3:00:21"), is, fc};

    json trl = {{"name", "trl"}, {"family", "converged"}, {"generation", "Trelmont"}, {"serial", kSerials[kTrl]},
                {"firmware", {{"active", "11.1.183.23"}, {"flash", "11.1.183.23"}, {"boot", "11.1.183.1"}}},
                {"max_pf_count", 4}, {"active_profile", 5}, {"capabilities", 520},
                {"profiles", {{{"id", 5}, {"description", "NIC"}, {"caps", {"nic"}}}}}};
    trl["ports"] = {{{"mc_type", 5}, {"phy", phy(6, 0x0C, 0x08)}}};
    json t0 = nic(5, 0, "0x0720", 0, "00:00:C9:C4:00:30");
    t0["bw_min"] = 10;
    t0["bw_max"] = 25;
    trl["functions"] = {t0};

    json aw2 = {{"name", "aw2"}, {"family", "converged"}, {"generation", "AW2"}, {"serial", kSerials[kAw2]},
                {"firmware", {{"active", "4.2.433.604"}, {"flash", "4.2.433.604"}, {"boot", "4.2.433.1"}}}};
    json a0 = nic(3, 0, "0x0700", 0, "00:00:C9:A2:00:10");
    a0["qos_max_bps"] = 70;
    aw2["functions"] = {a0};

    json vrw = {{"name", "vrw"}, {"family", "converged"}, {"generation", "Varrow"}, {"serial", kSerials[kVrw]},
                {"firmware", {{"active", "11.4.204.20"}, {"flash", "11.4.204.20"}, {"boot", "11.4.204.1"}}}};
    json v0 = nic(6, 0, "0xE228", 0, "00:00:C9:D5:00:40");
    v0["vendor"] = "0x10DF";
    vrw["functions"] = {v0};
    return {{"adapters", {aw3, trl, aw2, vrw}}};
}

struct Outcome {
    int result;
    int status;
};

class PortSpeed : public ::testing::Test {
protected:
    // A host of `m`, started; `edit` changes the description first.
    void start(const json &m)
    {
        host_.reset(); // one simulated host at a time
        host_ = std::make_unique<SimHost>(m.dump());
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
    }
    const std::string &root() const { return host_->root(); }
    // The start does not build the initiator yet: LogicalHBA0 of the first
    // iSCSI function, with its iSCSIQoS group.
    void build_initiator(int which)
    {
        node *fn = get_node(tag_at(adapter(which) + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, fn);
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
        ASSERT_TRUE(get_first_instance(fn, "LogicalHBA") || initialize_LogicalHBA(fn, nullptr, nullptr, params));
    }
    std::string adapter(int which) { return adapter_path(kSerials[which]); }
    std::string port(int which, int p) { return adapter(which) + "/PortDiscoveryAndConfiguration" + std::to_string(p); }

    Outcome set_speed(const std::string &port_path, const char *speed, const char *mode, const char *dac)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        const char *given[] = {speed, mode, dac};
        for (int i = 0; i < 3; ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(port_path, VEXO_NODE_GROUP), tag_at(port_path + "/SetPortSpeed",
                                                                                VEXO_NODE_ACTION),
                                  params, tags.data());
        o.status = last_status().first;
        return o;
    }
    std::vector<json> sent(int opcode)
    {
        std::vector<json> out;
        for (const json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == 1 && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }
    // Byte `at` of a logged payload (its hex dump).
    static unsigned payload_byte(const json &e, size_t at)
    {
        std::string hex = e.value("payload", "");
        return hex.size() >= 2 * at + 2 ? static_cast<unsigned>(std::stoul(hex.substr(2 * at, 2), nullptr, 16)) : 0;
    }

    std::unique_ptr<SimHost> host_;
};

TEST_F(PortSpeed, SetPortSpeedChecksAndSends)
{
    start(machine());
    const std::string sfp = port(kAw3, 0), qsfp = port(kAw3, 1), baset = port(kTrl, 0);
    ASSERT_EQ("SFP_PLUS_10GB_TYPE", value_at(sfp + "/InterfaceType"));
    ASSERT_EQ("100Mb,1Gb,10Gb", value_at(sfp + "/ForceSpeedsSupported"));
    const struct {
        const char *what;
        std::string port;
        const char *speed, *mode, *dac;
        int result, status;
        int code;         // speed code sent; -1: nothing sent
        unsigned cable;   // cable length sent
    } rows[] = {
        {"Default writes code 0", sfp, "10Gb", "Default", nullptr, 0, 0, 0, 0},
        {"only the first two Force entries count", sfp, "10Gb", "Force", "3", 1, 229, -1, 0},
        {"Force on SFP+ needs a cable length", sfp, "1Gb", "Force", nullptr, 1, 224, -1, 0},
        {"Force on SFP+ sends the cable length", sfp, "1Gb", "Force", "3", 0, 0, 2, 3},
        {"Force 100Mb", sfp, "100Mb", "Force", "0", 0, 0, 12, 0},
        {"Auto-Negotiate needs a speed", sfp, nullptr, "Auto-Negotiate", nullptr, 1, 225, -1, 0},
        {"Auto-Negotiate first entry", sfp, "1Gb", "Auto-Negotiate", nullptr, 0, 0, 4, 0},
        {"Auto-Negotiate second entry", sfp, "10Gb", "Auto-Negotiate", nullptr, 0, 0, 3, 0},
        {"Auto-Negotiate table row", sfp, "10Gb/1Gb", "Auto-Negotiate", nullptr, 0, 0, 6, 0},
        // Any speed of the table is taken once the list has a second entry.
        {"Auto-Negotiate table speed", sfp, "100Mb", "Auto-Negotiate", nullptr, 0, 0, 5, 0},
        {"Auto-Negotiate one-speed list", baset, "1Gb", "Auto-Negotiate", nullptr, 1, 229, -1, 0},
        {"QSFP sends the cable length", qsfp, "10Gb", "Force", "7", 0, 0, 1, 7},
        {"other interfaces send no cable length", baset, "10Gb", "Force", "7", 0, 0, 1, 0},
        {"AW2 refuses", port(kAw2, 0), "10Gb", "Force", nullptr, 1, 226, -1, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        clear_log(root());
        Outcome o = set_speed(r.port, r.speed, r.mode, r.dac);
        EXPECT_EQ(r.result, o.result);
        EXPECT_EQ(r.status, o.status);
        std::vector<json> s = sent(57);
        if (r.code < 0) {
            EXPECT_TRUE(s.empty());
            continue;
        }
        ASSERT_EQ(1u, s.size());
        EXPECT_EQ(1, s[0]["version"]);
        EXPECT_EQ(static_cast<unsigned>(r.code), payload_byte(s[0], 2) | payload_byte(s[0], 3) << 8);
        EXPECT_EQ(r.cable, payload_byte(s[0], 4));
    }
}

TEST_F(PortSpeed, TheSettingReadsBackAndTheSameValuesSendNothing)
{
    start(machine());
    const std::string p = port(kAw3, 0);
    EXPECT_EQ("All Supported Speeds", value_at(p + "/ConfiguredSpeed"));
    EXPECT_EQ("Default", value_at(p + "/Mode"));
    ASSERT_EQ(0, set_speed(p, "1Gb", "Force", "3").result);
    EXPECT_EQ("1Gb", value_at(p + "/ConfiguredSpeed"));
    EXPECT_EQ("Force", value_at(p + "/Mode"));
    EXPECT_EQ("3", value_at(p + "/DACCableLength"));
    clear_log(root());
    Outcome o = set_speed(p, "1gb", "force", "3");
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_SPEED_ALREADY_CONFIGURED, o.status);
    EXPECT_TRUE(sent(57).empty());
}

TEST_F(PortSpeed, FailedSpeedSetsAreFailures)
{
    start(machine());
    const struct {
        int fw_status, additional;
        int status;
    } rows[] = {{3, 0, 229}, {2, 0, 222}};
    for (const auto &r : rows) {
        plan_status(root(), 1, 57, r.fw_status, r.additional, false);
        Outcome o = set_speed(port(kAw3, 0), "10Gb", "Auto-Negotiate", nullptr);
        EXPECT_EQ(1, o.result) << r.fw_status << "/" << r.additional;
        EXPECT_EQ(r.status, o.status) << r.fw_status << "/" << r.additional;
    }
}

TEST_F(PortSpeed, APortWithoutItsNicFunctionSendsNothing)
{
    json m = machine();
    // The AW3's only function on port 1 is iSCSI.
    m["adapters"][kAw3]["functions"][1]["kind"] = "iscsi";
    m["adapters"][kAw3]["functions"][1]["device_id"] = "0x0712";
    start(m);
    clear_log(root());
    Outcome o = set_speed(port(kAw3, 1), "10Gb", "Force", "1");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_LINK_SPEED_FAILED, o.status);
    EXPECT_TRUE(sent(57).empty());
}

TEST_F(PortSpeed, LinkSpeedSettingReadBack)
{
    const struct {
        int code;
        const char *speed, *mode;
    } rows[] = {
        {7, "10Gb/1Gb/100Mb", "Auto-Negotiate"}, {13, "10Mb", "Force"}, {19, "20Gb", "Force"},
        {20, "20Gb", "Auto-Negotiate"},          {22, "20Gb/1Gb", "Auto-Negotiate"},
        {24, "0", "Auto-Negotiate"}, // unknown code: ConfiguredSpeed keeps its value
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.code);
        json m = machine();
        m["adapters"][kAw3]["ports"][0]["configured_speed"] = r.code;
        m["adapters"][kAw3]["ports"][0]["dac_cable_length"] = 2;
        start(m);
        EXPECT_EQ(r.speed, value_at(port(kAw3, 0) + "/ConfiguredSpeed"));
        EXPECT_EQ(r.mode, value_at(port(kAw3, 0) + "/Mode"));
        EXPECT_EQ("2", value_at(port(kAw3, 0) + "/DACCableLength"));
        TearDown();
    }
}

TEST_F(PortSpeed, LinkSpeedSettingNotAvailableOrFailing)
{
    start(machine());
    EXPECT_EQ("N/A", value_at(port(kAw2, 0) + "/ConfiguredSpeed"));
    // Firmware that does not know the command.
    plan_status(root(), 1, 134, 2, 30, false);
    EXPECT_EQ("N/A", value_at(port(kAw3, 0) + "/Mode"));
    plan_status(root(), 1, 134, 2, 0, false);
    EXPECT_EQ("error 1", value_at(port(kAw3, 1) + "/Mode"));
    EXPECT_EQ(VEXO_STATUS_GET_LINK_SPEED_FAILED, last_status().first);
}

TEST_F(PortSpeed, PhysicalLinkAndFcoePortName)
{
    json m = machine();
    m["adapters"][kAw3]["functions"][1]["physical_port_speed"] = 0;
    start(m);
    EXPECT_EQ("Up", value_at(port(kAw3, 0) + "/PhysicalLinkStatus"));
    EXPECT_EQ("Down", value_at(port(kAw3, 1) + "/PhysicalLinkStatus"));
    EXPECT_EQ("10:00:00:00:c9:b3:00:23", value_at(port(kAw3, 0) + "/FCoEWWPN"));
    EXPECT_EQ("00:00:00:00:00:00:00:00", value_at(port(kAw3, 1) + "/FCoEWWPN"));
    EXPECT_EQ("N/A", value_at(port(kAw3, 1) + "/FCoELinkSpeed"));
    plan_status(root(), 1, 121, 2, 0, false);
    EXPECT_EQ("error", value_at(port(kAw3, 0) + "/FCoEWWPN").substr(0, 5));
    EXPECT_EQ(VEXO_STATUS_CNTR_ADDITIONAL_ATTRIBS_FAILED, last_status().first);
}

TEST_F(PortSpeed, FcoeShareOfTheLink)
{
    const struct {
        int speed_code, bw_max;
        const char *text;
    } rows[] = {
        {4, 5, "500Mb"}, {4, 15, "1.5Gb"}, {4, 50, "5Gb"}, {3, 50, "500Mb"},
        {1, 15, "1.5Mb"}, {3, 0, "1Gb"},   {0, 50, "0 (Link Down)"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.speed_code) + "/" + std::to_string(r.bw_max));
        json m = machine();
        for (json &f : m["adapters"][kAw3]["functions"])
            f["physical_port_speed"] = r.speed_code;
        m["adapters"][kAw3]["functions"][3]["bw_max"] = r.bw_max;
        start(m);
        EXPECT_EQ(r.text, value_at(port(kAw3, 0) + "/FCoELinkSpeed"));
        TearDown();
    }
}

TEST_F(PortSpeed, FunctionSpeed)
{
    const struct {
        const char *what;
        int adapter;
        const char *field;
        json value;
        const char *text;
    } rows[] = {
        {"share of 100 x 10 Mb", kAw3, "qos_link_speed", 100, "1Gb"},
        {"share of 25 x 10 Mb", kAw3, "qos_link_speed", 25, "250Mb"},
        {"share of 250 x 10 Mb", kAw3, "qos_link_speed", 250, "2.5Gb"},
        {"no share: the port's speed", kAw3, "physical_port_speed", 3, "1Gb"},
        {"no share, unknown speed", kAw3, "physical_port_speed", 9, "0 (Link Down)"},
        // Trelmont shows its cap: bw_max 25 of 10 Gb is 25 x 100 Mb...
        {"Trelmont cap 25", kTrl, "mac_speed", 4, "2.5Gb"},
        // ... and of 1 Gb the cap "2.5", which is 250 Mb.
        {"Trelmont cap 2.5", kTrl, "mac_speed", 3, "250Mb"},
        {"Trelmont without a cap", kTrl, "bw_max", 0, "0 (Link Down)"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        json m = machine();
        m["adapters"][r.adapter]["functions"][0][r.field] = r.value;
        start(m);
        EXPECT_EQ(r.text, value_at(adapter(r.adapter) + "/NICPhysicalHBA0/PortSpeed"));
        TearDown();
    }
}

TEST_F(PortSpeed, ActivePortAndLogicalLink)
{
    const struct {
        json active;
        const char *text;
    } rows[] = {{0, "0"}, {1, "1"}, {15, "None"}, {7, "Port 0"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.active.dump());
        json m = machine();
        m["adapters"][kAw3]["functions"][2]["active_port"] = r.active;
        m["adapters"][kAw3]["functions"][2]["logical_link"] = 0;
        start(m);
        const std::string nc = adapter(kAw3) + "/iSCSIPhysicalHBA0/Network/NICConfiguration";
        EXPECT_EQ(r.text, value_at(nc + "/ActivePort"));
        EXPECT_EQ("Down", value_at(nc + "/LogicalLinkStatus"));
        TearDown();
    }
    start(machine());
    plan_status(root(), 1, 5, 2, 0, false);
    EXPECT_EQ("error 1", value_at(adapter(kAw3) + "/iSCSIPhysicalHBA0/Network/NICConfiguration/ActivePort"));
    EXPECT_EQ(VEXO_STATUS_ACTIVE_PORT, last_status().first);
}

TEST_F(PortSpeed, BandwidthCaps)
{
    const struct {
        const char *what;
        int adapter;
        int mac_speed; // -1: the default
        const char *path, *text;
        int status;
    } rows[] = {
        {"NIC at 10 Gb", kAw3, 4, "NICPhysicalHBA0/MinBitsPerSecond", "25", 0},
        {"NIC at 1 Gb", kAw3, 3, "NICPhysicalHBA0/MinBitsPerSecond", "2.5", 0},
        {"NIC max at 1 Gb", kAw3, 3, "NICPhysicalHBA0/MaxBitsPerSecond", "6", 0},
        {"NIC, link without speed", kAw3, 0, "NICPhysicalHBA0/MaxBitsPerSecond", "0", 0},
        {"iSCSI at 10 Gb", kAw3, 4, "iSCSIPhysicalHBA0/LogicalHBA0/iSCSIQoS/MaxBitsPerSecond", "50", 0},
        {"AW2 legacy maximum", kAw2, -1, "NICPhysicalHBA0/MaxBitsPerSecond", "70", 0},
        {"AW2 minimum", kAw2, -1, "NICPhysicalHBA0/MinBitsPerSecond", "N/A", 0},
        {"Varrow minimum", kVrw, -1, "NICPhysicalHBA0/MinBitsPerSecond", "N/A", 0},
        {"Varrow maximum", kVrw, -1, "NICPhysicalHBA0/MaxBitsPerSecond", "error 1",
         VEXO_STATUS_NOT_SUPPORTED_FOR_VARROW},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        json m = machine();
        if (r.mac_speed >= 0)
            for (json &f : m["adapters"][r.adapter]["functions"])
                f["mac_speed"] = r.mac_speed;
        start(m);
        if (r.adapter == kAw3)
            build_initiator(kAw3);
        EXPECT_EQ(r.text, value_at(adapter(r.adapter) + "/" + r.path));
        EXPECT_EQ(r.status, static_cast<int>(last_status().first));
        TearDown();
    }
}

TEST_F(PortSpeed, BandwidthCapFailures)
{
    start(machine());
    build_initiator(kAw3);
    const std::string qos = adapter(kAw3) + "/iSCSIPhysicalHBA0/LogicalHBA0/iSCSIQoS";
    EXPECT_EQ("20", value_at(qos + "/MinBitsPerSecond"));
    plan_status(root(), 1, 5, 2, 0, false);
    EXPECT_EQ("error 1", value_at(qos + "/MaxBitsPerSecond"));
    EXPECT_EQ(VEXO_STATUS_NIC_CONFIG_FAILED, last_status().first);
    // A failed iSCSI read leaves both values "N/A".
    node *min = get_node(tag_at(qos + "/MinBitsPerSecond", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, min);
    EXPECT_STREQ("N/A", min->u.prop->val);
    plan_status(root(), 1, 27, 2, 0, false);
    EXPECT_EQ("error", value_at(adapter(kAw2) + "/NICPhysicalHBA0/MaxBitsPerSecond").substr(0, 5));
    EXPECT_EQ(VEXO_STATUS_GET_QOS_FAILED, last_status().first);
}

} // namespace

namespace {

// Inside a virtual function the reads answer "N/A" with status 256 and the
// speed change is refused; the function's own speed is still shown, from
// its share of the link.
TEST_F(PortSpeed, VirtualFunction)
{
    json m = machine();
    json &f = m["adapters"][kAw3]["functions"][0];
    f["vf"] = 1;
    f["qos_link_speed"] = 25;
    start(m);
    for (const char *path :
         {"PortDiscoveryAndConfiguration0/PhysicalLinkStatus", "PortDiscoveryAndConfiguration0/FCoEWWPN",
          "PortDiscoveryAndConfiguration0/FCoELinkSpeed", "PortDiscoveryAndConfiguration0/Mode",
          "NICPhysicalHBA0/MinBitsPerSecond", "NICPhysicalHBA0/MaxBitsPerSecond"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ("error 1", value_at(adapter(kAw3) + "/" + path));
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    }
    clear_log(root());
    Outcome o = set_speed(port(kAw3, 0), "10Gb", "Auto-Negotiate", nullptr);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, o.status);
    EXPECT_TRUE(sent(57).empty());
    EXPECT_EQ("250Mb", value_at(adapter(kAw3) + "/NICPhysicalHBA0/PortSpeed"));
}

} // namespace
