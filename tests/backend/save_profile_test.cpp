// SaveProfile on simulated Trelmonts: the whole-table write built from the
// staged configured profile, the reboot it raises, the configured profile
// and channels rebuilt with their settings carried across, the refusals
// that write nothing, and the MAC reset and WWN erase of OEM adapters when
// the configured mode goes back to None.
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "sim/machine.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;
using nlohmann::json;

namespace {

// "trl": port 0 holds NIC 0x0 (VLAN 12, 25-75 %) and iSCSI 0x1 (15-40 %,
// logical link down), port 1 NICs 0x2 and 0x3; both ports run NPAR, HLZMR
// is supported. "oem": the same generation with an OEM subsystem id, NICs
// 0x0 and 0x2 on port 0 and 0x1 on port 1. "duo": two NICs, one per port.
// "aw3": a generation without SaveProfile.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trl", "family": "converged", "generation": "Trelmont", "serial": "TRLSV01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 8, "active_profile": 5, "capabilities": 520,
      "profiles": [ { "id": 5, "description": "NIC iSCSI", "caps": ["nic", "iscsi"] },
                    { "id": 24, "description": "SR-IOV", "caps": ["nic"] } ],
      "ports": [ { "mc_type": 5 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "vlan_id": 12, "bw_min": 25, "bw_max": 75 },
        { "bus": 5, "function": 1, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:31", "bw_min": 15, "bw_max": 40, "lld": true },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:32" },
        { "bus": 5, "function": 3, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:33" } ] },
    { "name": "oem", "family": "converged", "generation": "Trelmont", "serial": "TRLSV02",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5, "capabilities": 520,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "ports": [ { "mc_type": 5 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:50" },
        { "bus": 7, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:51" },
        { "bus": 7, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "subvendor": "0x10DF", "subdevice": "0xE820", "mac": "00:00:C9:E1:00:52" } ] },
    { "name": "duo", "family": "converged", "generation": "Trelmont", "serial": "TRLSV03",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5, "capabilities": 520,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "ports": [ { "mc_type": 5 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 8, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C6:00:60" },
        { "bus": 8, "function": 1, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C6:00:61" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3SV01", "capabilities": 41,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] }
  ]
})";

enum { kTrl, kOem, kDuo };

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// What one function's PCIe descriptor of the write must hold.
struct FnWant {
    uint8_t sriov_state;
    uint8_t pf_state;
    uint8_t pf_type;
    uint16_t number_vfs;
};

const FnWant kNic{0, 1, 1, 0};
const FnWant kIscsi{0, 1, 2, 0};
const FnWant kOff{0, 0, 1, 0};

class SaveProfile : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override
    {
        hlvdsim::fault_clear(root());
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    const std::string &root() const { return host_->root(); }
    void start()
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        trl_ = adapter_path("TRLSV01");
        oem_ = adapter_path("TRLSV02");
        duo_ = adapter_path("TRLSV03");
        ASSERT_FALSE(trl_.empty());
        ASSERT_FALSE(oem_.empty());
        ASSERT_FALSE(duo_.empty());
        clear_log(root());
    }
    // A new start on the same machine.
    void restart()
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
        start();
    }
    // A new start on a new machine.
    void fresh()
    {
        while (vexo_client_count > 0)
            EXPECT_EQ(0, VEXO_exit());
        host_.reset(); // the old host goes first: its destructor clears the sysroot setting
        host_ = std::make_unique<SimHost>(kMachine);
        start();
    }

    std::string cp(const std::string &adapter) { return adapter + "/ProfileManagement/ConfiguredProfile"; }
    // Path of the profile function numbered `pf` below `profile` of `adapter`.
    std::string profile_function(const std::string &adapter, const char *profile, const char *pf)
    {
        for (int p = 0; p < 4; ++p)
            for (int f = 0; f < 8; ++f) {
                std::string path = adapter + "/ProfileManagement/" + profile + "/Port" + std::to_string(p) +
                                   "/Function" + std::to_string(f);
                if (tag_at(path, VEXO_NODE_GROUP) >= 0 && value_at(path + "/FunctionNumber") == pf)
                    return path;
            }
        return "";
    }
    std::string staged(const std::string &adapter, const char *pf)
    {
        return profile_function(adapter, "ConfiguredProfile", pf);
    }

    // Runs SaveProfile of `adapter`; its result and the last status.
    std::pair<VEXO_status_t, VEXO_status_t> save(const std::string &adapter)
    {
        std::string pm = adapter + "/ProfileManagement";
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        VEXO_status_t r = VEXO_do_action(tag_at(pm, VEXO_NODE_GROUP), tag_at(pm + "/SaveProfile", VEXO_NODE_ACTION),
                                         params, tags.data());
        return {r, last_status().first};
    }

    std::vector<json> commands_of(const std::string &adapter, int subsystem, int opcode)
    {
        std::vector<json> out;
        for (const json &e : fw_entries(root()))
            if (e.value("adapter", "") == adapter && e.value("subsystem", -1) == subsystem &&
                e.value("opcode", -1) == opcode)
                out.push_back(e);
        return out;
    }
    json fw_state(size_t adapter)
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(root(), m, &err)) << err;
        return m.doc.at("adapters").at(adapter).value("fw_state", json::object());
    }

    // The whole-table write expected for `adapter`: the running PCIe
    // descriptor of each function with `fns` applied, then the ISAP.
    std::vector<uint8_t> expected(const std::string &adapter, uint8_t pid, const std::vector<FnWant> &fns,
                                  std::array<uint8_t, 4> mc)
    {
        std::vector<uint8_t> want(8 + 88 * fns.size() + 68, 0);
        want[0] = pid;
        want[3] = 0x80;
        want[4] = static_cast<uint8_t>(fns.size() + 1);
        node *a = get_node(tag_at(adapter, VEXO_NODE_GROUP));
        EXPECT_NE(nullptr, a);
        GET_PROFILE_CONFIG_PARAMS *list = a ? VEXO_get_profile(a, PROFILE_CONFIG_ACTIVE, 0, 0) : nullptr;
        EXPECT_NE(nullptr, list);
        if (!list)
            return want;
        profile_walk w;
        profile_walk_start(&w, list, VEXO_PROFILE_CONFIG_SIZE);
        size_t i = 0;
        for (const uint8_t *d = profile_walk_next(&w); d && i < fns.size(); d = profile_walk_next(&w)) {
            if (resc_desc_type(d) != RESC_DESC_PCIE)
                continue;
            uint8_t *at = want.data() + 8 + 88 * i;
            std::copy(d, d + 88, at);
            at[1] = 88;
            at[3] &= 0x3F; // immediate and no_save clear
            at[12] = fns[i].sriov_state;
            at[13] = fns[i].pf_state;
            at[14] = fns[i].pf_type;
            at[16] = static_cast<uint8_t>(fns[i].number_vfs);
            at[17] = static_cast<uint8_t>(fns[i].number_vfs >> 8);
            ++i;
        }
        vexo_dfree(list);
        EXPECT_EQ(fns.size(), i);
        uint8_t *isap = want.data() + 8 + 88 * fns.size();
        isap[0] = 0x56;
        isap[1] = 68;
        std::copy(mc.begin(), mc.end(), isap + 52);
        return want;
    }

    std::unique_ptr<SimHost> host_;
    int start_ = 0;
    std::string trl_, oem_, duo_;
};

TEST_F(SaveProfile, WritesTheStagedLayoutAsOneTable)
{
    const FnWant kAllVfsNic{1, 1, 1, 255};
    const FnWant kAllVfsIscsi{1, 1, 2, 255};
    const struct {
        const char *name;
        bool duo;
        std::vector<std::pair<std::string, std::string>> sets; // ConfiguredProfile-relative path, value
        const char *unlisted;                                   // a staged function taken away
        uint8_t pid;
        std::vector<FnWant> fns;
        std::array<uint8_t, 4> mc;
    } rows[] = {
        {"profile 24 runs SR-IOV everywhere", false, {{"ProfileId", "24"}}, nullptr, 24,
         {kAllVfsNic, kAllVfsIscsi, kAllVfsNic, kAllVfsNic}, {5, 5, 0, 0}},
        {"protocol None is a disabled function", false,
         {{"fn:0x3/Protocol", "None"}, {"fn:0x3/SRIOVState", "Enabled"}}, nullptr, 5, {kNic, kIscsi, kNic, kOff},
         {5, 5, 0, 0}},
        {"a function no port lists is disabled", false, {}, "0x3", 5, {kNic, kIscsi, kNic, kOff}, {5, 5, 0, 0}},
        {"iSCSI with SR-IOV enabled", false, {{"fn:0x1/SRIOVState", "Enabled"}}, nullptr, 5,
         {kNic, kAllVfsIscsi, kNic, kNic}, {5, 5, 0, 0}},
        {"HLZMR on port 1", false, {{"Port1/MCType", "HLZMR"}}, nullptr, 5, {kNic, kIscsi, kNic, kNic},
         {5, 10, 0, 0}},
        {"two functions make 252 bytes", true, {}, nullptr, 5, {kNic, kNic}, {5, 5, 0, 0}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        const std::string &a = r.duo ? duo_ : trl_;
        for (const auto &s : r.sets) {
            std::string path = s.first;
            if (path.compare(0, 3, "fn:") == 0) {
                size_t slash = path.find('/');
                std::string fn = staged(a, path.substr(3, slash - 3).c_str());
                ASSERT_FALSE(fn.empty());
                path = fn + path.substr(slash);
            } else {
                path = cp(a) + "/" + path;
            }
            ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(path, s.second)) << path;
        }
        if (r.unlisted) {
            node *fn = get_node(tag_at(staged(a, r.unlisted), VEXO_NODE_GROUP));
            ASSERT_NE(nullptr, fn);
            ASSERT_EQ(VEXO_STATUS_SUCCESS, delete_node(fn));
        }
        std::vector<uint8_t> want = expected(a, r.pid, r.fns, r.mc);
        clear_log(root());

        std::pair<VEXO_status_t, VEXO_status_t> o = save(a);
        EXPECT_EQ(VEXO_STATUS_SUCCESS, o.first);
        EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, o.second);
        std::vector<json> w = commands_of(r.duo ? "duo" : "trl", 1, 165);
        ASSERT_FALSE(w.empty());
        EXPECT_EQ(static_cast<int>(want.size()), w[0].value("request_length", 0));
        EXPECT_EQ(hlvdsim::to_hex(want.data(), 64), w[0].value("payload", ""));
        EXPECT_EQ(hlvdsim::crc32_of(want.data(), want.size()), w[0].value("payload_crc", 0u));
        if (r.duo) {
            EXPECT_EQ(252u, want.size());
            EXPECT_EQ(3u, le32(want, 4));
        }
        EXPECT_EQ(1, fw_state(r.duo ? kDuo : kTrl).value("reset_needed", 0));
    }
}

TEST_F(SaveProfile, RebootRunsTheSavedLayout)
{
    std::string nic2 = staged(trl_, "0x2");
    std::string nic3 = staged(trl_, "0x3");
    ASSERT_FALSE(nic2.empty());
    ASSERT_FALSE(nic3.empty());
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(nic2 + "/SRIOVState", "Enabled"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(nic3 + "/Protocol", "None"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(trl_) + "/Port1/MCType", "HLZMR"));
    std::pair<VEXO_status_t, VEXO_status_t> o = save(trl_);
    ASSERT_EQ(VEXO_STATUS_SUCCESS, o.first);
    EXPECT_EQ(VEXO_STATUS_CONFIG_STATE_CHANGED, o.second);
    // Until the reboot the running layout is the old one.
    EXPECT_EQ("NPAR", value_at(trl_ + "/ProfileManagement/ActiveProfile/Port1/MCType"));

    EXPECT_EQ(0, VEXO_exit());
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(root(), "trl", nullptr, &err)) << err;
    start();
    EXPECT_EQ("HLZMR", value_at(trl_ + "/ProfileManagement/ActiveProfile/Port1/MCType"));
    EXPECT_EQ("NPAR", value_at(trl_ + "/ProfileManagement/ActiveProfile/Port0/MCType"));
    std::string act2 = profile_function(trl_, "ActiveProfile", "0x2");
    ASSERT_FALSE(act2.empty());
    EXPECT_EQ("Enabled", value_at(act2 + "/SRIOVState"));
    std::string act3 = profile_function(trl_, "ActiveProfile", "0x3");
    ASSERT_FALSE(act3.empty());
    EXPECT_EQ("None", value_at(act3 + "/Protocol"));
}

TEST_F(SaveProfile, RebuildsTheConfiguredProfileFromTheFirmware)
{
    // The configured profile now shows what the firmware holds.
    std::string nic2 = staged(trl_, "0x2");
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(nic2 + "/SRIOVState", "Enabled"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(trl_) + "/Port1/MCType", "HLZMR"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, save(trl_).first);
    EXPECT_EQ("HLZMR", value_at(cp(trl_) + "/Port1/MCType"));
    nic2 = staged(trl_, "0x2");
    ASSERT_FALSE(nic2.empty());
    EXPECT_EQ("Enabled", value_at(nic2 + "/SRIOVState"));
    EXPECT_EQ(1, fw_state(kTrl).value("reset_needed", 0));
}

TEST_F(SaveProfile, ChannelsAreRebuiltWithTheirSettingsCarriedAcross)
{
    const std::string port0 = trl_ + "/PortDiscoveryAndConfiguration0/ChannelManagement";
    // Which channel is which function depends on the build order.
    std::string nic_ch, iscsi_ch;
    for (int c = 0; c < 4; ++c) {
        std::string ch = port0 + "/Channel" + std::to_string(c);
        std::string number = value_at(ch + "/FunctionNumber");
        if (number == "0x0")
            nic_ch = ch;
        else if (number == "0x1")
            iscsi_ch = ch;
    }
    ASSERT_FALSE(nic_ch.empty());
    ASSERT_FALSE(iscsi_ch.empty());
    EXPECT_EQ("12", value_at(nic_ch + "/LPVID"));
    EXPECT_EQ("Disabled", value_at(iscsi_ch + "/LogicalLinkState"));
    clear_log(root());

    ASSERT_EQ(VEXO_STATUS_SUCCESS, save(trl_).first);
    std::vector<json> w = commands_of("trl", 1, 165);
    ASSERT_GE(w.size(), 2u);
    // After the table: one-descriptor writes that put the saved values back.
    bool bandwidth = false, lpvid = false, lld = false;
    for (size_t i = 1; i < w.size(); ++i) {
        std::vector<uint8_t> p = hex_bytes(w[i].value("payload", ""));
        ASSERT_GE(p.size(), 64u);
        EXPECT_EQ(1u, le32(p, 4)) << "one descriptor";
        uint32_t pf = (le32(p, 12) >> 16) & 0x3FF;
        if (p[8] == 0x51 && pf == 0) {
            bandwidth = bandwidth || (le32(p, 8 + 48) == 25 && le32(p, 8 + 52) == 75);
            lpvid = lpvid || ((le32(p, 8) & (1u << 26)) != 0 && (le32(p, 8 + 36) & 0xFFFF) == 12);
        }
        if (p[8] == 0x52 && pf == 1)
            lld = lld || ((le32(p, 8) & (1u << 23)) != 0 && (le32(p, 8 + 32) & (1u << 9)) != 0);
    }
    EXPECT_TRUE(bandwidth) << "bandwidth reapplied";
    EXPECT_TRUE(lpvid) << "LPVID reapplied";
    EXPECT_TRUE(lld) << "logical link kept down";
    // The rebuilt channels show the same settings.
    EXPECT_EQ("12", value_at(nic_ch + "/LPVID"));
    EXPECT_EQ("25", value_at(nic_ch + "/MinBandWidth"));
    EXPECT_EQ("75", value_at(nic_ch + "/MaxBandWidth"));
    EXPECT_EQ("Disabled", value_at(iscsi_ch + "/LogicalLinkState"));
}

TEST_F(SaveProfile, PortWhoseActiveModeIsNoneKeepsItsRebuiltChannels)
{
    set_adapter_field(root(), kTrl, "ports", json::array({{{"mc_type", 1}}, {{"mc_type", 1}}}));
    restart();
    ASSERT_EQ(VEXO_STATUS_SUCCESS, save(trl_).first);
    std::vector<json> w = commands_of("trl", 1, 165);
    ASSERT_EQ(1u, w.size()) << "nothing but the table is written";
    EXPECT_GE(tag_at(trl_ + "/PortDiscoveryAndConfiguration0/ChannelManagement/Channel0", VEXO_NODE_GROUP), 0);
}

TEST_F(SaveProfile, RefusalsWriteNothing)
{
    const struct {
        const char *name;
        std::string adapter;
        std::string unused;
        const char *value; // a profile id staged in the file
        bool drop_port1_functions;
        VEXO_status_t status; // 0: any
    } rows[] = {
        {"generation without profiles", adapter_path("AW3SV01"), "", nullptr, false, VEXO_STATUS_CMD_NOT_SUPPORTED},
        {"profile id beyond 8 bits", trl_, "", "300", false, VEXO_STATUS_INVALID_VALUE},
        {"port without a function", trl_, "", nullptr, true, static_cast<VEXO_status_t>(0)},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        if (r.value) {
            // The API keeps ids small; the file the id is staged in need not.
            std::string path = root() + "/etc/config/TAQ/vexo/config_prof.txt";
            std::string text = hlvdtest::read_file(path), out;
            size_t at = 0;
            while (at < text.size()) {
                size_t nl = text.find('\n', at);
                std::string line = text.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
                at = nl == std::string::npos ? text.size() : nl + 1;
                if (line.compare(0, 8, "TRLSV01,") == 0) {
                    size_t second = line.find(',', line.find(',') + 1);
                    size_t third = line.find(',', second + 1);
                    line = line.substr(0, second + 1) + r.value + line.substr(third);
                }
                out += line + "\n";
            }
            hlvdtest::write_file(path, out);
            EXPECT_EQ(r.value, value_at(cp(trl_) + "/ProfileId"));
        }
        if (r.drop_port1_functions) {
            node *port1 = get_node(tag_at(cp(trl_) + "/Port1", VEXO_NODE_GROUP));
            ASSERT_NE(nullptr, port1);
            ASSERT_EQ(VEXO_STATUS_SUCCESS, purge_nodes_within(port1, "Function"));
        }
        clear_log(root());
        std::pair<VEXO_status_t, VEXO_status_t> o = save(r.adapter);
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.first);
        if (r.status != 0) {
            EXPECT_EQ(r.status, o.second);
        }
        for (const char *a : {"trl", "aw3"})
            EXPECT_TRUE(commands_of(a, 1, 165).empty()) << "written on " << a;
        EXPECT_EQ(0, fw_state(kTrl).value("reset_needed", 0));
    }
}

TEST_F(SaveProfile, FirmwareFailuresGiveTheirStatuses)
{
    const struct {
        const char *name;
        int opcode;
        VEXO_status_t status;
    } rows[] = {
        {"the active read fails", 164, VEXO_STATUS_GET_PROFILE_CONFIG_FAILED},
        {"the write is refused", 165, VEXO_STATUS_SAVE_PROFILE_FAILED},
        {"the reset query fails", 84, VEXO_STATUS_GET_RESET_FAILED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(trl_) + "/Port1/MCType", "HLZMR"));
        hlvdsim::FaultSpec f;
        f.adapter = "trl";
        f.subsystem = 1;
        f.opcode = r.opcode;
        f.kind = "status";
        f.status = 1;
        f.always = true;
        if (r.opcode == 164)
            f.from = 2; // the census answers, the active read does not
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(root(), f, &err), 0) << err;
        std::pair<VEXO_status_t, VEXO_status_t> o = save(trl_);
        hlvdsim::fault_clear(root());
        EXPECT_EQ(VEXO_STATUS_FAILURE, o.first);
        EXPECT_EQ(r.status, o.second);
        if (r.opcode == 165) {
            // Rebuilt from the firmware, which kept NPAR.
            EXPECT_EQ("NPAR", value_at(cp(trl_) + "/Port1/MCType"));
        }
    }
}

TEST_F(SaveProfile, OemAdapterResetsMacsAndErasesWwnsWhenGoingBackToNone)
{
    const struct {
        const char *name;
        bool oem;
        const char *mode;
        bool erased;
    } rows[] = {
        {"OEM adapter back to None", true, "None", true},
        {"OEM adapter staying in NPAR", true, "NPAR", false},
        {"other adapter back to None", false, "None", false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        const std::string &a = r.oem ? oem_ : trl_;
        const char *name = r.oem ? "oem" : "trl";
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a) + "/Port0/MCType", r.mode));
        clear_log(root());
        EXPECT_EQ(VEXO_STATUS_SUCCESS, save(a).first);
        std::vector<json> erase = commands_of(name, 1, 7);
        if (!r.erased) {
            EXPECT_TRUE(erase.empty());
            EXPECT_FALSE(fw_state(r.oem ? kOem : kTrl).value("fcoe_wwns_erased", false));
            continue;
        }
        ASSERT_EQ(1u, erase.size());
        std::vector<uint8_t> p = hex_bytes(erase[0].value("payload", ""));
        ASSERT_GE(p.size(), 20u);
        EXPECT_EQ(3u, le32(p, 0));
        EXPECT_EQ(27u, le32(p, 4));
        for (size_t i = 8; i < 20; ++i)
            EXPECT_EQ(0, p[i]) << "byte " << i;
        EXPECT_TRUE(fw_state(kOem).value("fcoe_wwns_erased", false));
        // The MAC reset reads the NIC regions first.
        bool region_read = false;
        for (const json &e : fw_entries(root()))
            region_read = region_read || (e.value("adapter", "") == "oem" && e.value("subsystem", 0) == 1 &&
                                          e.value("opcode", 0) == 171);
        EXPECT_TRUE(region_read);
    }
}

TEST_F(SaveProfile, EraseFailureNeverHidesAnEarlierOne)
{
    const struct {
        const char *name;
        bool fail_reset_query;
        VEXO_status_t want;
    } rows[] = {
        {"only the erase fails", false, VEXO_STATUS_INSUFFICIENT_BUFFER},
        {"the reset query failed before", true, VEXO_STATUS_FAILURE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        fresh();
        ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(oem_) + "/Port0/MCType", "None"));
        plan_status(root(), 1, 7, 4); // answered as an insufficient buffer
        if (r.fail_reset_query)
            plan_status(root(), 1, 84, 1);
        std::pair<VEXO_status_t, VEXO_status_t> o = save(oem_);
        hlvdsim::fault_clear(root());
        EXPECT_FALSE(commands_of("oem", 1, 7).empty()) << "the erase is sent";
        EXPECT_EQ(r.want, o.first);
        if (r.fail_reset_query) {
            EXPECT_EQ(VEXO_STATUS_GET_RESET_FAILED, o.second);
        }
    }
}

} // namespace
