// Network boot of NIC functions (state, method, boot VLAN), the VEPA mode of
// the embedded switch, RoCE and the MTU, read and written on simulated
// adapters of every generation; the command log shows what was sent, and
// that a refused request sent nothing.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mgmt/aw/vexo-backend/nic_boot.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "backend_fixture.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using json = nlohmann::json;
using namespace backendtest;

namespace {

enum { kAw3 = 0, kTrl = 1, kAw2 = 2, kVrw = 3 };
const char *const kSerials[] = {"AW3NB1", "TRLNB1", "AW2NB1", "VRWNB1"};

json nic(int bus, int fn, const char *device, int port, const char *mac)
{
    return {{"bus", bus}, {"function", fn}, {"kind", "nic"}, {"vendor", "0x19A2"}, {"device_id", device},
            {"port", port}, {"mac", mac}};
}

// Each adapter has NIC function 0 on port 0; AW3 and Trelmont also PCI
// function 9 on port 1. Trelmont's function 0 runs SR-IOV and RoCE.
json machine()
{
    json aw3 = {{"name", "aw3"}, {"family", "converged"}, {"generation", "AW3"}, {"serial", kSerials[kAw3]},
                {"firmware", {{"active", "10.2.370.15"}, {"flash", "10.2.370.15"}, {"boot", "10.2.370.1"}}}};
    aw3["functions"] = {nic(4, 0, "0x0710", 0, "00:00:C9:B3:00:20"), nic(4, 9, "0x0710", 1, "00:00:C9:B3:00:29")};

    json trl = {{"name", "trl"}, {"family", "converged"}, {"generation", "Trelmont"}, {"serial", kSerials[kTrl]},
                {"firmware", {{"active", "11.1.183.23"}, {"flash", "11.1.183.23"}, {"boot", "11.1.183.1"}}},
                {"active_profile", 5},
                {"profiles", {{{"id", 5}, {"description", "NIC"}, {"caps", {"nic"}}, {"counts", {{"nic", 2}}}}}},
                {"ports", {{{"mc_type", 5}}, {{"mc_type", 5}}}}};
    json t0 = nic(5, 0, "0x0720", 0, "00:00:C9:C4:00:30");
    t0["sriov_state"] = 1;
    t0["roce"] = 1;
    t0["mtu"] = 9000;
    trl["functions"] = {t0, nic(5, 9, "0x0720", 1, "00:00:C9:C4:00:39")};

    json aw2 = {{"name", "aw2"}, {"family", "converged"}, {"generation", "AW2"}, {"serial", kSerials[kAw2]},
                {"firmware", {{"active", "4.2.433.604"}, {"flash", "4.2.433.604"}, {"boot", "4.2.433.1"}}}};
    aw2["functions"] = {nic(3, 0, "0x0700", 0, "00:00:C9:A2:00:10")};

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

class NicBoot : public ::testing::Test {
protected:
    void start(const json &m)
    {
        host_.reset();
        host_ = std::make_unique<SimHost>(m.dump());
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
    }
    const std::string &root() const { return host_->root(); }

    // The NIC function with PCI function number `fn` ("0x9") of an adapter.
    std::string function(int which, const char *fn)
    {
        const std::string a = adapter_path(kSerials[which]);
        for (int i = 0; i < 8; ++i) {
            std::string p = a + "/NICPhysicalHBA" + std::to_string(i);
            if (value_at(p + "/PCI/FunctionNumber") == fn)
                return p;
        }
        return "";
    }
    std::string boot(int which, const char *fn) { return function(which, fn) + "/NetworkBootConfiguration"; }

    Outcome act(const std::string &group, const char *name, const char *p0, const char *p1)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0xFF, sizeof params);
        const char *given[] = {p0, p1};
        for (int i = 0; i < 2; ++i)
            if (given[i])
                std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        Outcome o;
        o.result = VEXO_do_action(tag_at(group, VEXO_NODE_GROUP), tag_at(group + "/" + name, VEXO_NODE_ACTION),
                                  params, tags.data());
        o.status = last_status().first;
        return o;
    }
    std::vector<json> sent(int subsystem, int opcode)
    {
        std::vector<json> out;
        for (const json &e : fw_entries(root()))
            if (e.value("subsystem", -1) == subsystem && e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }
    static std::vector<unsigned> payload(const json &e)
    {
        std::string hex = e.value("payload", "");
        std::vector<unsigned> b;
        for (size_t i = 0; i + 2 <= hex.size(); i += 2)
            b.push_back(static_cast<unsigned>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        return b;
    }
    static unsigned word(const std::vector<unsigned> &b, size_t at)
    {
        return at + 4 <= b.size() ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24 : 0xDEADu;
    }
    // Cached text of a property.
    std::string cached(const std::string &path)
    {
        node *p = get_node(tag_at(path, VEXO_NODE_PROPERTY));
        return p && p->u.prop ? p->u.prop->val : "missing";
    }

    std::unique_ptr<SimHost> host_;
};

TEST_F(NicBoot, BootStateFollowsTheOptionRomBitOfEachGeneration)
{
    const struct {
        const char *what;
        int adapter;
        const char *fn;
        long rom_bits;
        const char *methods, *state;
        bool mapping_read;
    } rows[] = {
        {"AW3 function 9 tests bit 1", kAw3, "0x9", 0x2, "PXE", "Enabled", true},
        {"AW3 function 9 ignores bit 9", kAw3, "0x9", 0x200, "PXE", "N/A", true},
        {"Trelmont function 9 tests bit 9", kTrl, "0x9", 0x200, "PXE", "Enabled", true},
        {"Trelmont function 9 ignores bit 1", kTrl, "0x9", 0x2, "PXE", "N/A", true},
        {"AW2 function 0 without its bit", kAw2, "0x0", 0x2, "PXE", "N/A", true},
        {"Varrow reads only the boot configuration", kVrw, "0x0", 0, "PXE,iBFT", "Enabled", false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        json m = machine();
        m["adapters"][r.adapter]["expansion_rom_enabled"] = r.rom_bits;
        start(m);
        const std::string g = boot(r.adapter, r.fn);
        ASSERT_NE("/NetworkBootConfiguration", g);
        EXPECT_EQ(r.methods, value_at(g + "/AvailableNetworkBootMethods"));
        clear_log(root());
        EXPECT_EQ(r.state, value_at(g + "/NetworkBootState"));
        EXPECT_EQ(r.mapping_read ? 1u : 0u, sent(1, 83).size());
        TearDown();
    }
}

TEST_F(NicBoot, BootMethodAndStateReadTheBootConfiguration)
{
    const struct {
        int status, method;
        const char *state_text, *method_text;
    } rows[] = {{1, 0, "Enabled", "PXE"}, {1, 1, "Enabled", "PXE"}, {0, 2, "Disabled", "iBFT"},
                {2, 7, "Disabled", "iBFT"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.status) + "/" + std::to_string(r.method));
        json m = machine();
        for (int a : {kTrl, kVrw})
            m["adapters"][a]["boot_config"] = {{"boot_status", r.status}, {"boot_method", r.method}};
        start(m);
        for (int a : {kTrl, kVrw}) {
            EXPECT_EQ(r.state_text, value_at(boot(a, "0x0") + "/NetworkBootState"));
            EXPECT_EQ(r.method_text, value_at(boot(a, "0x0") + "/NetworkBootMethod"));
        }
        TearDown();
    }
    start(machine());
    plan_status(root(), 1, 66, 2, 0, false);
    EXPECT_EQ("error 1", value_at(boot(kTrl, "0x0") + "/NetworkBootMethod"));
    EXPECT_EQ(VEXO_STATUS_GET_BOOT_CONFIG, last_status().first);
    plan_status(root(), 1, 83, 2, 0, false);
    EXPECT_EQ("error 1", value_at(boot(kTrl, "0x0") + "/NetworkBootState"));
    EXPECT_EQ(VEXO_STATUS_GET_BOOT_CONFIG, last_status().first);
}

TEST_F(NicBoot, SetNetworkBootWritesOnlyStateAndMethod)
{
    json m = machine();
    for (int a : {kAw3, kTrl, kVrw})
        m["adapters"][a]["boot_config"] = {
            {"boot_status", 1}, {"bios_instance", 5}, {"native_mode", 1}, {"boot_method", 1}, {"future", 0x11223344}};
    // Trelmont function 9 has no option ROM.
    m["adapters"][kTrl]["expansion_rom_enabled"] = 0x1;
    start(m);
    const struct {
        const char *what;
        int adapter;
        const char *fn, *state, *method;
        int result, status;
        int boot_status, boot_method; // -1: nothing written
    } rows[] = {
        {"disable without a method", kTrl, "0x0", "Disabled", nullptr, 0, 0, 0, 0},
        {"disable ignores the method", kTrl, "0x0", "disabled", "iBFT", 0, 0, 0, 0},
        {"enable PXE", kTrl, "0x0", "Enabled", "pxe", 0, 0, 1, 1},
        {"enable iBFT on Varrow", kVrw, "0x0", "Enabled", "iBFT", 0, 0, 1, 2},
        {"enable iBFT on AW3", kAw3, "0x0", "Enabled", "iBFT", 1, VEXO_STATUS_NTWK_BOOT_NOT_SUPPORTED, -1, -1},
        {"enable without a method", kTrl, "0x0", "Enabled", nullptr, 1, VEXO_STATUS_NTWK_BOOT_METHOD_NEEDED, -1, -1},
        {"function without option ROM", kTrl, "0x9", "Enabled", "PXE", 1,
         VEXO_STATUS_NTWK_BOOT_NOT_SUPPORTED_ON_FUNC, -1, -1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        clear_log(root());
        const std::string g = boot(r.adapter, r.fn);
        Outcome o = act(g, "SetNetworkBoot", r.state, r.method);
        EXPECT_EQ(r.result, o.result);
        EXPECT_EQ(r.status, o.status);
        std::vector<json> writes = sent(1, 67);
        if (r.boot_status < 0) {
            EXPECT_TRUE(writes.empty());
            if (r.status != VEXO_STATUS_NTWK_BOOT_NOT_SUPPORTED_ON_FUNC) {
                EXPECT_TRUE(fw_entries(root()).empty());
            }
            continue;
        }
        ASSERT_EQ(1u, writes.size());
        std::vector<unsigned> b = payload(writes[0]);
        ASSERT_EQ(8u, b.size());
        EXPECT_EQ(static_cast<unsigned>(r.boot_status), b[0]);
        EXPECT_EQ(5u, b[1]);
        EXPECT_EQ(1u, b[2]);
        EXPECT_EQ(static_cast<unsigned>(r.boot_method), b[3]);
        EXPECT_EQ(0x11223344u, word(b, 4));
        EXPECT_EQ(r.state, cached(g + "/NetworkBootState"));
    }
}

TEST_F(NicBoot, SetNetworkBootFailuresAreFailures)
{
    start(machine());
    const std::string g = boot(kTrl, "0x0");
    plan_status(root(), 1, 67, 2, 0, false);
    Outcome o = act(g, "SetNetworkBoot", "Disabled", nullptr);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_SET_BOOT_CONFIG, o.status);
    EXPECT_EQ("Enabled", cached(g + "/NetworkBootState"));
    // The state read fails: nothing is written.
    clear_log(root());
    plan_status(root(), 1, 83, 2, 0, false);
    o = act(g, "SetNetworkBoot", "Disabled", nullptr);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_GET_BOOT_CONFIG, o.status);
    EXPECT_TRUE(sent(1, 67).empty());
}

TEST_F(NicBoot, BootVlanWritesWithTheCachedPriorityAndReadsBack)
{
    start(machine());
    const std::string g = boot(kTrl, "0x0");
    ASSERT_EQ(0, act(g, "ConfigureVLAN", "7", "5").result);
    // The action leaves the cache alone; the next get reads the firmware.
    EXPECT_EQ("0", cached(g + "/VLANPriority"));
    EXPECT_EQ("7", value_at(g + "/VLANId"));
    EXPECT_EQ("5", cached(g + "/VLANPriority"));
    clear_log(root());
    Outcome o = act(g, "ConfigureVLAN", "100", nullptr);
    EXPECT_EQ(0, o.result);
    std::vector<json> writes = sent(21, 4);
    ASSERT_EQ(1u, writes.size());
    std::vector<unsigned> b = payload(writes[0]);
    ASSERT_EQ(48u, b.size());
    EXPECT_EQ(0x80000002u, word(b, 0));
    EXPECT_EQ(100u, b[12] | b[13] << 8);
    EXPECT_EQ(5u, b[14]);
    EXPECT_EQ(0x80u, b[15]);
    for (size_t i = 4; i < b.size(); ++i)
        if (i < 12 || i > 15) {
            EXPECT_EQ(0u, b[i]) << i;
        }
    EXPECT_EQ("5", value_at(g + "/VLANPriority"));
    EXPECT_EQ("100", cached(g + "/VLANId"));
}

TEST_F(NicBoot, BootVlanRefusalsAndFailures)
{
    start(machine());
    // AW2 has no boot VLAN: the get succeeds without an answer and sends
    // nothing.
    clear_log(root());
    EXPECT_EQ("", value_at(boot(kAw2, "0x0") + "/VLANId"));
    Outcome o = act(boot(kAw2, "0x0"), "ConfigureVLAN", "7", "1");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED, o.status);
    EXPECT_TRUE(fw_entries(root()).empty());

    const std::string g = boot(kAw3, "0x0");
    plan_status(root(), 21, 4, 2, 0, false);
    o = act(g, "ConfigureVLAN", "7", "1");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_VLAN, o.status);
    plan_status(root(), 21, 4, 2, 0, false);
    EXPECT_EQ("error 1", value_at(g + "/VLANId"));

    // A cached priority that is no priority is not written as one.
    node *prio = get_node(tag_at(g + "/VLANPriority", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, prio);
    std::snprintf(prio->u.prop->val, VEXO_VALUE_SIZE, "N/A");
    clear_log(root());
    o = act(g, "ConfigureVLAN", "7", nullptr);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_SET_VLAN, o.status);
    EXPECT_TRUE(sent(21, 4).empty());
}

TEST_F(NicBoot, VepaOnlyWhereTheSwitchCanDoIt)
{
    start(machine());
    const std::string f = function(kTrl, "0x0");
    clear_log(root());
    EXPECT_EQ("Disabled", value_at(f + "/VEPAState"));
    std::vector<json> reads = sent(1, 152);
    ASSERT_EQ(1u, reads.size());
    EXPECT_EQ(0x80000000u, word(payload(reads[0]), 0));

    clear_log(root());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(f + "/VEPAState", "Enabled"));
    std::vector<json> writes = sent(1, 153);
    ASSERT_EQ(1u, writes.size());
    std::vector<unsigned> b = payload(writes[0]);
    ASSERT_EQ(20u, b.size());
    EXPECT_EQ(0x80000000u, word(b, 0));
    EXPECT_EQ(3u << 6, word(b, 4));
    for (size_t i = 8; i < b.size(); ++i)
        EXPECT_EQ(0u, b[i]) << i;
    EXPECT_EQ("Enabled", value_at(f + "/VEPAState"));

    // The same value again: no write.
    clear_log(root());
    EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(f + "/VEPAState", "enabled"));
    EXPECT_TRUE(sent(1, 153).empty());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(f + "/VEPAState", "Disabled"));
    writes = sent(1, 153);
    ASSERT_EQ(1u, writes.size());
    EXPECT_EQ(2u << 6, word(payload(writes[0]), 4));

    // Function 9 on port 1 runs without SR-IOV.
    const std::string f9 = function(kTrl, "0x9");
    EXPECT_EQ("Disabled", value_at(f9 + "/VEPAState"));
    clear_log(root());
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(f9 + "/VEPAState", "Enabled"));
    EXPECT_EQ(VEXO_STATUS_VEPA_NOT_SUPPORTED, last_status().first);
    EXPECT_TRUE(sent(1, 153).empty());

    for (int a : {kAw2, kAw3, kVrw}) {
        SCOPED_TRACE(kSerials[a]);
        const std::string p = function(a, "0x0") + "/VEPAState";
        clear_log(root());
        EXPECT_EQ("N/A", value_at(p));
        EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(p, "Enabled"));
        EXPECT_EQ(VEXO_STATUS_VEPA_NOT_SUPPORTED, last_status().first);
        EXPECT_TRUE(sent(1, 152).empty());
        EXPECT_TRUE(sent(1, 153).empty());
    }

    // Firmware without the switch command.
    plan_status(root(), 1, 152, 66, 0, false);
    EXPECT_EQ("error 1", value_at(f + "/VEPAState"));
    EXPECT_EQ(VEXO_STATUS_NOT_SUPPORTED, last_status().first);
    EXPECT_EQ("N/A", cached(f + "/VEPAState"));
    plan_status(root(), 1, 153, 2, 0, false);
    EXPECT_NE(VEXO_STATUS_SUCCESS, set_at(f + "/VEPAState", "Enabled"));
}

TEST_F(NicBoot, RoceAndMtu)
{
    start(machine());
    const struct {
        int adapter;
        const char *fn, *roce, *mtu;
    } rows[] = {
        {kTrl, "0x0", "True", "9000"}, {kTrl, "0x9", "False", "1500"}, {kAw3, "0x0", "N/A", "1500"},
        {kAw2, "0x0", "N/A", "1500"},  {kVrw, "0x0", "N/A", "1500"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(kSerials[r.adapter]) + " " + r.fn);
        const std::string f = function(r.adapter, r.fn);
        EXPECT_EQ(r.roce, value_at(f + "/IsRoCEEnabled"));
        EXPECT_EQ(r.mtu, value_at(f + "/MTUSize"));
    }
    // The active configuration of profile 0 is asked for, through the NIC driver.
    clear_log(root());
    value_at(function(kTrl, "0x0") + "/IsRoCEEnabled");
    std::vector<json> reads = sent(1, 164);
    ASSERT_EQ(1u, reads.size());
    EXPECT_EQ(0x200u, word(payload(reads[0]), 0));
    EXPECT_EQ("nic", reads[0].value("driver", ""));

    plan_status(root(), 1, 164, 2, 0, false);
    EXPECT_EQ("error 1", value_at(function(kTrl, "0x0") + "/IsRoCEEnabled"));
    EXPECT_EQ(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED, last_status().first);
    EXPECT_EQ("False", cached(function(kTrl, "0x0") + "/IsRoCEEnabled"));
}

// Inside a virtual function the boot and switch settings are refused with
// 256; the boot VLAN is still read, and a failed read leaves "N/A".
TEST_F(NicBoot, VirtualFunction)
{
    json m = machine();
    m["adapters"][kTrl]["functions"][0]["vf"] = 1;
    start(m);
    const std::string f = function(kTrl, "0x0"), g = f + "/NetworkBootConfiguration";
    for (const char *p : {"/NetworkBootConfiguration/NetworkBootState", "/NetworkBootConfiguration/NetworkBootMethod",
                          "/VEPAState"}) {
        SCOPED_TRACE(p);
        EXPECT_EQ("error 1", value_at(f + p));
        EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, last_status().first);
    }
    clear_log(root());
    Outcome o = act(g, "ConfigureVLAN", "7", "1");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, o.status);
    o = act(g, "SetNetworkBoot", "Disabled", nullptr);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM, o.status);
    EXPECT_TRUE(sent(21, 4).empty());
    EXPECT_TRUE(sent(1, 67).empty());

    EXPECT_EQ("0", value_at(g + "/VLANId"));
    EXPECT_EQ(1u, sent(21, 4).size());
    node *id = get_node(tag_at(g + "/VLANId", VEXO_NODE_PROPERTY));
    ASSERT_NE(nullptr, id);
    plan_status(root(), 21, 4, 2, 0, false);
    char value[VEXO_VALUE_SIZE] = "";
    EXPECT_NE(VEXO_STATUS_SUCCESS, handle_vlan_properties(id, value, 0));
    EXPECT_STREQ("N/A", value);
}

} // namespace
